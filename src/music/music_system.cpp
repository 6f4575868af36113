// The music system's calling interface (see music_system.h): settings,
// sound output, the playback thread, modules and their plays.
#include "music/music_system.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "music/background_player.h"
#include "music/mixer.h"
#include "music/module_loader.h"
#include "music/music_errors.h"
#include "music/music_options.h"
#include "music/music_settings.h"
#include "music/player.h"
#include "music/s3m_reader.h"
#include "music/setup_dialog.h"
#include "music/sound_output.h"

struct MusicModule {
  Module* module = nullptr;
};

namespace {

constexpr int kFreeChannel = 0;

struct MusicSystem {
  Mixer mixer;
  std::unique_ptr<SoundOutput> output;
  bool initialised = false;
  PlayState* plays[kPlaySlots] = {};               // play handle h is plays[h - 1]
  uint32_t channel_owner[kMixerMaxChannels] = {};  // play handle, or kFreeChannel
  std::atomic<int> last_error{0};
  int dialog_failed = 0;
  double start_time_s = 0.0;
  // Last, so that at process exit the thread is stopped before the mixer and
  // the output it uses are destroyed.
  BackgroundPlayer background;
};

MusicSystem& System() {
  static MusicSystem system;
  return system;
}

// Ticks the music system's own plays only: an offline render (music_render.h)
// may hold a play state of its own in another slot at the same time.
int TickAllPlays(void* /*context*/) {
  for (PlayState* state : System().plays) {
    if (state == nullptr) continue;
    const int code = PlayerTickState(state);
    if (code != kMusicOk) return code;
  }
  return kMusicOk;
}

int RenderLive(int16_t* out, int frames, void* /*context*/) {
  return System().mixer.Render(out, frames, TickAllPlays, nullptr);
}

int Fail(int code) {
  System().last_error = code;
  return 0;
}

// Mixes and throws away frames, ticking the player as playing would: the
// song then stands exactly where a play from the start would be.
int SkipFrames(Mixer& mixer, int64_t frames, TickFunction tick, void* context) {
  int16_t discard[2048];
  const int chunk = static_cast<int>(sizeof discard / sizeof discard[0] / 2);
  while (frames > 0) {
    const int now = static_cast<int>(std::min<int64_t>(frames, chunk));
    const int code = mixer.Render(discard, now, tick, context);
    if (code != kMusicOk) return code;
    frames -= now;
  }
  return kMusicOk;
}

void StopPlay(MusicSystem& system, uint32_t handle) {
  PlayerStop(system.plays[handle - 1]);
  system.plays[handle - 1] = nullptr;
  for (int channel = 0; channel < kMixerMaxChannels; ++channel) {
    if (system.channel_owner[channel] != handle) continue;
    system.mixer.StopSound(channel);
    system.channel_owner[channel] = kFreeChannel;
  }
}

bool ValidHandle(const MusicSystem& system, uint32_t handle) {
  return handle >= 1 && handle <= kPlaySlots && system.plays[handle - 1] != nullptr;
}

std::unique_ptr<SoundOutput> OpenOutput(const MusicSettings& settings, std::string* error) {
  const SoundFormat format{settings.mixing_rate_hz, OutputChannels(settings)};
  if (settings.output_device == kOutputDeviceWavFile) {
    return OpenWavOutput(format, settings.wav_path, error);
  }
  if (settings.output_device == kOutputDeviceAuto) {
    std::unique_ptr<SoundOutput> card = OpenSdlOutput(format, settings.buffer_length_ms, error);
    if (card) return card;
    std::fprintf(stderr, "Music system: %s; playing without sound\n", error->c_str());
  }
  return OpenSilentOutput(format);
}

}  // namespace

std::mutex& MusicCriticalSection() {
  return System().background.Lock();
}

int LoadModuleChecked(const char* path, Module** module, std::string* reason) {
  return LoadModuleFile(path, module, reason);
}

int MusicStartup() {
  MusicClose();
  MusicSystem& system = System();
  CurrentMusicSettings() = MusicSettings();
  ApplyMusicPresets(&CurrentMusicSettings());
  system.last_error = 0;
  system.dialog_failed = 0;
  return 1;
}

int MusicSetupDialog() {
  MusicSystem& system = System();
  system.dialog_failed = 0;
  if (MusicSetupDialogSkipped()) return 1;
  std::string reason;
  switch (RunSetupDialog(&CurrentMusicSettings(), &reason)) {
    case SetupDialogResult::kOk:
      return 1;
    case SetupDialogResult::kCancel:
      return 0;
    case SetupDialogResult::kCannotShow:
      break;
  }
  std::fprintf(stderr,
               "Music System v1.1.2 Setup: cannot show the setup dialog: %s\n"
               "(give --no-setup to play with the command line's sound settings)\n",
               reason.c_str());
  system.dialog_failed = 1;
  return Fail(kMusicUndefinedError);
}

int MusicSetupDialogFailed() {
  return System().dialog_failed;
}

int MusicInit() {
  MusicSystem& system = System();
  std::lock_guard<std::mutex> hold(system.background.Lock());
  if (system.initialised) return 1;
  const MusicSettings& settings = CurrentMusicSettings();
  const int mode = OutputChannels(settings) == 1 ? kMixerMono : kMixerStereo;
  const int code = system.mixer.Configure(settings.mixing_rate_hz, mode, settings.interpolation);
  if (code != kMusicOk) {
    std::fprintf(stderr, "Music system: cannot mix at %d Hz: %s\n", settings.mixing_rate_hz,
                 MusicErrorText(code));
    return Fail(code);
  }
  std::string error;
  system.output = OpenOutput(settings, &error);
  if (!system.output) {
    std::fprintf(stderr, "Music system: %s\n", error.c_str());
    return Fail(kMusicNoSoundDevice);
  }
  PlayerSetDevice(&system.mixer);
  system.background.SetOutput(system.output.get());
  system.background.SetSilentFallback({settings.mixing_rate_hz, OutputChannels(settings)});
  system.background.SetRender(RenderLive, nullptr);
  system.initialised = true;
  return 1;
}

int MusicStartBackgroundPlay(uint32_t rate) {
  System().background.Start(rate);
  return 1;
}

MusicModule* MusicLoadModule(const char* path) {
  if (path == nullptr) {
    Fail(kMusicInvalidArgument);
    return nullptr;
  }
  std::string reason;
  Module* module = nullptr;
  const int code = LoadModuleChecked(path, &module, &reason);
  if (code != kMusicOk) {
    std::fprintf(stderr, "%s: %s\n", path, reason.c_str());
    Fail(code);
    return nullptr;
  }
  return new MusicModule{module};
}

uint32_t MusicPlayModule(MusicModule* module, int loop) {
  if (module == nullptr) return static_cast<uint32_t>(Fail(kMusicInvalidArgument));
  MusicSystem& system = System();
  std::lock_guard<std::mutex> hold(system.background.Lock());
  if (!system.initialised) return static_cast<uint32_t>(Fail(kMusicNoSoundDevice));
  uint32_t handle = 0;
  for (uint32_t slot = 0; slot < kPlaySlots && handle == 0; ++slot) {
    if (system.plays[slot] == nullptr) handle = slot + 1;
  }
  const int channel_count = ModuleChannelCount(module->module);
  std::vector<int> channels;
  for (int channel = 0; channel < kMixerMaxChannels; ++channel) {
    if (static_cast<int>(channels.size()) == channel_count) break;
    if (system.channel_owner[channel] == kFreeChannel) channels.push_back(channel);
  }
  if (handle == 0 || static_cast<int>(channels.size()) < channel_count) {
    return static_cast<uint32_t>(Fail(kMusicOutOfResources));
  }
  PlayState* state = nullptr;
  const int code = PlayerStart(module->module, channels.data(), loop, &state);
  if (code != kMusicOk) return static_cast<uint32_t>(Fail(code));
  bool others_playing = false;
  for (const PlayState* other : system.plays) others_playing = others_playing || other != nullptr;
  system.plays[handle - 1] = state;
  for (int channel : channels) system.channel_owner[channel] = handle;
  if (system.start_time_s > 0) {
    const auto frames =
        static_cast<int64_t>(std::llround(system.start_time_s * system.mixer.mixing_rate_hz()));
    const int skip_code = SkipFrames(system.mixer, frames, TickAllPlays, nullptr);
    if (skip_code != kMusicOk) {
      MusicFatalError((std::string("Music system: ") + MusicErrorText(skip_code)).c_str());
    }
  }
  // Until now the output only held silence: drop it and queue the song's
  // first sound at once, so it is heard when the demo clock starts.
  if (!others_playing) {
    system.output->DropQueued();
    system.background.FillOutput();
  }
  return handle;
}

int MusicStopModule(uint32_t handle) {
  MusicSystem& system = System();
  std::lock_guard<std::mutex> hold(system.background.Lock());
  if (!ValidHandle(system, handle)) return Fail(kMusicInvalidArgument);
  StopPlay(system, handle);
  return 1;
}

int MusicFreeModule(MusicModule* module) {
  if (module == nullptr) return Fail(kMusicInvalidArgument);
  MusicSystem& system = System();
  {
    std::lock_guard<std::mutex> hold(system.background.Lock());
    // A play must never outlive the module it reads.
    for (uint32_t handle = 1; handle <= kPlaySlots; ++handle) {
      if (ValidHandle(system, handle) && system.plays[handle - 1]->module == module->module) {
        StopPlay(system, handle);
      }
    }
    // Nor a fade-out of one of its notes.
    system.mixer.ForgetSamples(module->module->samples, module->module->sample_count);
  }
  FreeModule(module->module);
  delete module;
  return 1;
}

int MusicStopBackgroundPlay() {
  System().background.Stop();
  return 1;
}

int MusicClose() {
  MusicSystem& system = System();
  system.background.Stop();
  std::lock_guard<std::mutex> hold(system.background.Lock());
  for (uint32_t handle = 1; handle <= kPlaySlots; ++handle) {
    if (ValidHandle(system, handle)) StopPlay(system, handle);
  }
  system.background.SetOutput(nullptr);
  system.background.SetRender(nullptr, nullptr);
  if (PlayerDevice() == &system.mixer) PlayerSetDevice(nullptr);
  system.initialised = false;
  if (!system.output) return 1;
  std::string error;
  const bool closed = system.output->Close(&error);
  system.output.reset();
  if (!closed) {
    std::fprintf(stderr, "Music system: %s\n", error.c_str());
    return Fail(kMusicFileWriteFailed);
  }
  return 1;
}

int MusicLastError() {
  return System().last_error;
}

void MusicSetStartTime(double seconds) {
  std::lock_guard<std::mutex> hold(System().background.Lock());
  System().start_time_s = seconds > 0 ? seconds : 0.0;
}

int MusicGetPlayStatus(uint32_t handle, PlayStatus* status) {
  MusicSystem& system = System();
  std::lock_guard<std::mutex> hold(system.background.Lock());
  if (!ValidHandle(system, handle)) return 0;
  *status = system.plays[handle - 1]->status;
  return 1;
}

int MusicSongEnded(uint32_t handle) {
  MusicSystem& system = System();
  std::lock_guard<std::mutex> hold(system.background.Lock());
  return ValidHandle(system, handle) && PlayerSongEnded(system.plays[handle - 1]);
}
