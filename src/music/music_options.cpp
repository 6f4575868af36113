// Command-line presets of the music settings (see music_options.h).
#include "music/music_options.h"

#include <charconv>
#include <cstring>
#include <optional>

#include "music/music_settings.h"

namespace {

struct MusicPresets {
  std::optional<int> rate_hz;
  std::optional<int> interpolation;
  std::optional<int> output_mode;
  std::optional<int> output_device;
  std::optional<int> buffer_length_ms;
  std::string wav_path;
  bool skip_dialog = false;
};

MusicPresets& Presets() {
  static MusicPresets presets;
  return presets;
}

// Reads a whole argument as a decimal integer within [low, high].
bool ReadInteger(const char* text, int low, int high, int* value) {
  const char* end = text + std::strlen(text);
  int parsed = 0;
  const auto result = std::from_chars(text, end, parsed);
  if (result.ec != std::errc() || result.ptr != end || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

// The option's value: after '=' in the same argument, else the next argument.
const char* TakeValue(int argc, char** argv, int* index, const char* inline_value) {
  if (inline_value != nullptr) {
    ++*index;
    return inline_value;
  }
  if (*index + 1 >= argc) return nullptr;
  *index += 2;
  return argv[*index - 1];
}

int ReadValued(const std::string& name, const char* value, std::string* error) {
  MusicPresets& presets = Presets();
  int number = 0;
  if (name == "--sound") {
    if (std::strcmp(value, "default") == 0) {
      presets.output_device = kOutputDeviceAuto;
    } else if (std::strcmp(value, "none") == 0) {
      presets.output_device = kOutputDeviceSilent;
    } else {
      *error = "--sound: expects 'default' or 'none', not '" + std::string(value) + "'";
      return -1;
    }
  } else if (name == "--sound-file") {
    if (*value == '\0') {
      *error = "--sound-file: expects the name of a WAV file to write";
      return -1;
    }
    presets.output_device = kOutputDeviceWavFile;
    presets.wav_path = value;
  } else if (name == "--quality") {
    for (const QualityPreset& preset : kQualityPresets) {
      if (std::strcmp(value, preset.option_name) == 0) {
        presets.rate_hz = preset.rate_hz;
        presets.interpolation = preset.interpolation;
        return 1;
      }
    }
    *error = "--quality: expects very-low, low, medium, high or very-high, not '" +
             std::string(value) + "'";
    return -1;
  } else if (name == "--rate") {
    if (!ReadInteger(value, kMinMixingRateHz, kMaxMixingRateHz, &number)) {
      *error = "--rate: expects a mixing rate in Hz from " + std::to_string(kMinMixingRateHz) +
               " to " + std::to_string(kMaxMixingRateHz) + ", not '" + value + "'";
      return -1;
    }
    presets.rate_hz = number;
  } else {  // --buffer
    if (!ReadInteger(value, kMinBufferLengthMs, kMaxBufferLengthMs, &number)) {
      *error = "--buffer: expects a buffer length in ms from " +
               std::to_string(kMinBufferLengthMs) + " to " + std::to_string(kMaxBufferLengthMs) +
               ", not '" + value + "'";
      return -1;
    }
    presets.buffer_length_ms = number;
  }
  return 1;
}

}  // namespace

int ParseMusicArgument(int argc, char** argv, int* index, std::string* error) {
  if (*index < 0 || *index >= argc) return 0;
  const char* argument = argv[*index];
  const char* equals = std::strchr(argument, '=');
  const std::string name = equals ? std::string(argument, equals) : std::string(argument);
  const char* inline_value = equals ? equals + 1 : nullptr;
  MusicPresets& presets = Presets();

  const bool is_flag = name == "--interpolate" || name == "--mono" || name == "--no-setup";
  if (is_flag) {
    if (inline_value != nullptr) {
      *error = name + ": takes no value";
      return -1;
    }
    if (name == "--interpolate") presets.interpolation = 1;
    if (name == "--mono") presets.output_mode = kOutputModeMono16;
    if (name == "--no-setup") presets.skip_dialog = true;
    ++*index;
    return 1;
  }
  const bool is_valued = name == "--sound" || name == "--sound-file" || name == "--quality" ||
                         name == "--rate" || name == "--buffer";
  if (!is_valued) return 0;
  const char* value = TakeValue(argc, argv, index, inline_value);
  if (value == nullptr) {
    *error = name + ": needs a value";
    return -1;
  }
  return ReadValued(name, value, error);
}

const char* MusicOptionsHelp() {
  return "  --sound default|none  play through the default sound device (the default)\n"
         "                        or play nothing ('No Sound')\n"
         "  --sound-file FILE     write the music to a 16-bit WAV file instead\n"
         "  --quality Q           very-low (22050 Hz), low (32000 Hz), medium (44100 Hz),\n"
         "                        high (32000 Hz, interpolated), very-high (44100 Hz,\n"
         "                        interpolated)\n"
         "  --rate HZ             mixing rate, 4000 to 96000 (default 44100)\n"
         "  --interpolate         interpolating (high quality) mixing\n"
         "  --mono                mono output (default stereo)\n"
         "  --buffer MS           sound buffer length in ms, 10 to 10000 (default 500)\n"
         "  --no-setup            take these settings without showing the setup dialog\n";
}

void MusicSkipSetupDialog(bool skip) {
  Presets().skip_dialog = skip;
}

bool MusicSetupDialogSkipped() {
  return Presets().skip_dialog;
}

void ApplyMusicPresets(MusicSettings* settings) {
  const MusicPresets& presets = Presets();
  if (presets.rate_hz) settings->mixing_rate_hz = *presets.rate_hz;
  if (presets.interpolation) settings->interpolation = *presets.interpolation;
  if (presets.output_mode) settings->output_mode = *presets.output_mode;
  if (presets.output_device) settings->output_device = *presets.output_device;
  if (presets.buffer_length_ms) settings->buffer_length_ms = *presets.buffer_length_ms;
  settings->wav_path = presets.wav_path;
}

void ResetMusicPresets() {
  Presets() = MusicPresets();
}
