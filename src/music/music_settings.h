// The music system's settings: mixing rate, output mode, interpolation,
// output device and buffer lengths. They live for one run only: every start
// begins with the defaults, then the command line's presets, then the setup
// dialog.
#pragma once

#include <string>

// Output modes: 0 until the setup dialog chooses; bit 1 is the stereo bit.
constexpr int kOutputModeNotChosen = 0;
constexpr int kOutputModeMono16 = 9;
constexpr int kOutputModeStereo16 = 10;
constexpr int kOutputModeStereoBit = 2;

// Output devices: automatic detection (the default sound card, else
// silence), the silent "No Sound" device, and a WAV file.
constexpr int kOutputDeviceAuto = -1;
constexpr int kOutputDeviceSilent = 0;
constexpr int kOutputDeviceWavFile = 1;

// Rates and lengths outside these bounds are refused wherever they are
// typed: below them the mixer has nothing useful to do, above them the
// buffers would grow without reason.
constexpr int kMinMixingRateHz = 4000;
constexpr int kMaxMixingRateHz = 96000;
constexpr int kMinBufferLengthMs = 10;
constexpr int kMaxBufferLengthMs = 10000;

struct MusicSettings {
  int mixing_rate_hz = 44100;
  int output_mode = kOutputModeNotChosen;
  int interpolation = 0;  // 1: interpolating mixer
  int output_device = kOutputDeviceAuto;
  int buffer_length_ms = 500;
  int directsound_buffer_ms = 100;
  int never_use_directsound = 0;
  std::string wav_path;  // the file of kOutputDeviceWavFile
};

// The one set of settings of this process.
MusicSettings& CurrentMusicSettings();

// 1 for the mono mode, 2 for stereo and for a mode not yet chosen.
int OutputChannels(const MusicSettings& settings);

// The five fixed sound qualities of the setup dialog, lowest first.
struct QualityPreset {
  const char* option_name;  // command line: --quality NAME
  int rate_hz;
  int interpolation;
};
constexpr int kQualityPresetCount = 5;
extern const QualityPreset kQualityPresets[kQualityPresetCount];

// The preset with this rate and interpolation, or -1 when none has both.
int FindQualityPreset(int rate_hz, int interpolation);
