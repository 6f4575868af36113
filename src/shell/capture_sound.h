// The sound track of a capture: the music rendered offline from the capture's
// start time, exactly as long as its pictures, into a 16-bit WAV file. It is
// rendered on the capture's own clock, so the sound of the player's tick at
// demo time t lies at sample (t - start) x rate of the file.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

struct CaptureSoundSettings {
  std::string module_path = "music.s3m";
  double start_seconds = 0.0;
  int64_t frames = 0;  // sample frames to write
  int rate_hz = 44100;
  int channels = 2;
  int interpolation = 0;
};

// The mixing rate, channels and interpolation that the command line's music
// options choose (the setup dialog's defaults otherwise).
CaptureSoundSettings CaptureSoundFromMusicOptions();

// Takes the rendered sound a chunk at a time (frames x channels samples);
// false with the reason stops the rendering.
using CaptureSoundOutput =
    std::function<bool(const int16_t* samples, int frames, std::string* error)>;

// Renders settings.frames frames of sound into output. A module that cannot
// be read gives a silent track of the same length, with the reason in
// *warning. Stops when *interrupted becomes nonzero. False with the reason.
bool RenderCaptureSound(const CaptureSoundSettings& settings, const std::atomic<int>* interrupted,
                        const CaptureSoundOutput& output, std::string* warning, std::string* error);

// The same into wav_path (under a temporary name until complete). On
// failure nothing is left under wav_path.
bool WriteCaptureSound(const CaptureSoundSettings& settings, const std::string& wav_path,
                       const std::atomic<int>* interrupted, std::string* warning,
                       std::string* error);
