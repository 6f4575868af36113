// The sound track of captures (see capture_sound.h).
#include "shell/capture_sound.h"

#include <algorithm>
#include <vector>

#include "music/music_options.h"
#include "music/music_render.h"
#include "music/music_settings.h"
#include "music/wav_file.h"

CaptureSoundSettings CaptureSoundFromMusicOptions() {
  MusicSettings settings;
  ApplyMusicPresets(&settings);
  CaptureSoundSettings sound;
  sound.rate_hz = settings.mixing_rate_hz;
  sound.channels = OutputChannels(settings);
  sound.interpolation = settings.interpolation;
  return sound;
}

bool RenderCaptureSound(const CaptureSoundSettings& settings, const std::atomic<int>* interrupted,
                        const CaptureSoundOutput& output, std::string* warning,
                        std::string* error) {
  MusicRenderOptions options;
  options.rate_hz = settings.rate_hz;
  options.channels = settings.channels;
  options.interpolation = settings.interpolation;
  options.start_seconds = settings.start_seconds;
  MusicRenderer renderer;
  std::string render_error;
  // The demo plays on without its music when the module cannot be read;
  // the capture does the same with a silent track of the right length.
  bool playing = renderer.Open(settings.module_path.c_str(), options, &render_error);
  if (!playing) *warning = render_error + "; the capture's sound track is silent";

  constexpr int kChunkFrames = 4096;
  std::vector<int16_t> chunk(static_cast<size_t>(kChunkFrames) * settings.channels);
  int64_t left = settings.frames;
  while (left > 0) {
    if (interrupted && interrupted->load() != 0) {
      *error = "interrupted";
      return false;
    }
    const int want = static_cast<int>(std::min<int64_t>(left, kChunkFrames));
    int got = 0;
    if (playing) {
      got = renderer.Render(chunk.data(), want, &render_error);
      if (got < 0) {
        *error = settings.module_path + ": " + render_error;
        return false;
      }
      // Past the song's end the track goes on in silence, as the demo does.
      if (got < want) playing = false;
    }
    std::fill(chunk.begin() + static_cast<std::ptrdiff_t>(got) * settings.channels,
              chunk.begin() + static_cast<std::ptrdiff_t>(want) * settings.channels, 0);
    if (!output(chunk.data(), want, error)) return false;
    left -= want;
  }
  return true;
}

bool WriteCaptureSound(const CaptureSoundSettings& settings, const std::string& wav_path,
                       const std::atomic<int>* interrupted, std::string* warning,
                       std::string* error) {
  WavWriter writer;
  if (!writer.Open(wav_path, settings.rate_hz, settings.channels, error)) return false;
  const CaptureSoundOutput to_file = [&writer](const int16_t* samples, int frames,
                                               std::string* reason) {
    return writer.Write(samples, static_cast<size_t>(frames), reason);
  };
  if (!RenderCaptureSound(settings, interrupted, to_file, warning, error)) {
    writer.Abandon();
    return false;
  }
  return writer.Close(error);
}
