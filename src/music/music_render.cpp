// Offline rendering of a module file (see music_render.h).
#include "music/music_render.h"

#include <cmath>
#include <mutex>

#include "music/mixer.h"
#include "music/music_errors.h"
#include "music/music_settings.h"
#include "music/music_system.h"
#include "music/player.h"
#include "music/s3m_reader.h"
#include "music/wav_file.h"

namespace {

// The tick code that stops a render at the song's end; not a music error.
constexpr int kSongEndedCode = -1;

int TickOneState(void* context) {
  auto* state = static_cast<PlayState*>(context);
  if (PlayerSongEnded(state)) return kSongEndedCode;
  return PlayerTickState(state);
}

// Points the player at the renderer's mixer for the length of one call and
// gives the live music system its mixer back afterwards.
class DeviceSwap {
 public:
  explicit DeviceSwap(Mixer* mixer) : hold_(MusicCriticalSection()), previous_(PlayerDevice()) {
    PlayerSetDevice(mixer);
  }
  ~DeviceSwap() { PlayerSetDevice(previous_); }
  DeviceSwap(const DeviceSwap&) = delete;
  DeviceSwap& operator=(const DeviceSwap&) = delete;

 private:
  std::lock_guard<std::mutex> hold_;
  Mixer* previous_;
};

int64_t SecondsToFrames(double seconds, int rate_hz) {
  return static_cast<int64_t>(std::llround(seconds * rate_hz));
}

}  // namespace

MusicRenderer::MusicRenderer() = default;

MusicRenderer::~MusicRenderer() {
  Close();
}

void MusicRenderer::Close() {
  if (state_ != nullptr) {
    std::lock_guard<std::mutex> hold(MusicCriticalSection());
    PlayerStop(state_);
  }
  state_ = nullptr;
  FreeModule(module_);
  module_ = nullptr;
  mixer_.reset();
  finished_ = true;
}

bool MusicRenderer::Open(const char* module_path, const MusicRenderOptions& options,
                         std::string* error) {
  Close();
  path_ = module_path;
  if (options.rate_hz < kMinMixingRateHz || options.rate_hz > kMaxMixingRateHz ||
      (options.channels != 1 && options.channels != 2) || !(options.start_seconds >= 0)) {
    *error = path_ + ": cannot render at " + std::to_string(options.rate_hz) + " Hz with " +
             std::to_string(options.channels) + " channels from " +
             std::to_string(options.start_seconds) + " s";
    return false;
  }
  std::string reason;
  const int load_code = LoadModuleChecked(module_path, &module_, &reason);
  if (load_code != kMusicOk) {
    *error = path_ + ": " + reason;
    module_ = nullptr;
    return false;
  }
  mixer_ = std::make_unique<Mixer>();
  channels_ = options.channels;
  int code = mixer_->Configure(options.rate_hz, channels_ == 1 ? kMixerMono : kMixerStereo,
                               options.interpolation);
  if (code == kMusicOk) {
    DeviceSwap swap(mixer_.get());
    code = PlayerStart(module_, nullptr, 0, &state_);
  }
  if (code != kMusicOk) {
    *error = path_ + ": cannot start playing: " + MusicErrorText(code);
    Close();
    return false;
  }
  finished_ = false;
  frames_rendered_ = 0;
  frames_limit_ =
      options.length_seconds < 0 ? -1 : SecondsToFrames(options.length_seconds, options.rate_hz);
  // Advance to the start: mixed and thrown away, so every voice stands
  // where a render from 0 would have it.
  int64_t skip = SecondsToFrames(options.start_seconds, options.rate_hz);
  std::vector<int16_t> discard(4096 * static_cast<size_t>(channels_));
  while (skip > 0 && !finished_) {
    const int frames = static_cast<int>(std::min<int64_t>(skip, 4096));
    int mixed = 0;
    code = MixUnderLock(discard.data(), frames, &mixed);
    if (code == kSongEndedCode) finished_ = frames_limit_ < 0;
    if (code != kMusicOk && code != kSongEndedCode) {
      *error = path_ + ": playing failed: " + MusicErrorText(code);
      Close();
      return false;
    }
    skip -= frames;
  }
  return true;
}

int MusicRenderer::MixUnderLock(int16_t* out, int frames, int* mixed) {
  DeviceSwap swap(mixer_.get());
  return mixer_->Render(out, frames, TickOneState, state_, mixed);
}

int MusicRenderer::Render(int16_t* out, int frames, std::string* error) {
  if (finished_ || mixer_ == nullptr || frames <= 0) return 0;
  if (frames_limit_ >= 0) {
    frames = static_cast<int>(std::min<int64_t>(frames, frames_limit_ - frames_rendered_));
  }
  int mixed = frames;
  const int code = frames > 0 ? MixUnderLock(out, frames, &mixed) : kMusicOk;
  if (code == kSongEndedCode) {
    // With a length given the sound goes on as the player left it.
    if (frames_limit_ < 0) {
      finished_ = true;
    } else {
      mixed = frames;
    }
  } else if (code != kMusicOk) {
    *error = path_ + ": playing failed: " + MusicErrorText(code);
    finished_ = true;
    return -1;
  }
  frames_rendered_ += mixed;
  if (frames_limit_ >= 0 && frames_rendered_ >= frames_limit_) finished_ = true;
  return mixed;
}

namespace {

// Renders the whole piece and hands each block to sink; progress once per
// second of sound.
int RenderAll(const char* module_path, const MusicRenderOptions& options,
              const std::function<bool(const int16_t*, int, std::string*)>& sink,
              std::string* error) {
  MusicRenderer renderer;
  if (!renderer.Open(module_path, options, error)) return 0;
  const double total = options.length_seconds;
  std::vector<int16_t> block(static_cast<size_t>(options.rate_hz) * options.channels / 10);
  const int block_frames = options.rate_hz / 10;
  int64_t next_report = 0;
  while (!renderer.Finished()) {
    const int frames = renderer.Render(block.data(), block_frames, error);
    if (frames < 0) return 0;
    if (frames > 0 && !sink(block.data(), frames, error)) return 0;
    if (options.progress && renderer.FramesRendered() >= next_report) {
      next_report += options.rate_hz;
      if (!options.progress(static_cast<double>(renderer.FramesRendered()) / options.rate_hz,
                            total)) {
        *error = std::string(module_path) + ": rendering cancelled";
        return 0;
      }
    }
  }
  return 1;
}

}  // namespace

int RenderMusicFile(const char* module_path, const MusicRenderOptions& options,
                    std::vector<int16_t>* samples, std::string* error) {
  samples->clear();
  return RenderAll(
      module_path, options,
      [samples, &options](const int16_t* block, int frames, std::string*) {
        samples->insert(samples->end(), block,
                        block + static_cast<size_t>(frames) * options.channels);
        return true;
      },
      error);
}

int RenderMusicToWav(const char* module_path, const std::string& wav_path,
                     const MusicRenderOptions& options, std::string* error) {
  WavWriter writer;
  if (!writer.Open(wav_path, options.rate_hz, options.channels, error)) return 0;
  const int rendered = RenderAll(
      module_path, options,
      [&writer](const int16_t* block, int frames, std::string* sink_error) {
        return writer.Write(block, static_cast<size_t>(frames), sink_error);
      },
      error);
  if (!rendered) return 0;  // the writer abandons its temporary file
  return writer.Close(error) ? 1 : 0;
}
