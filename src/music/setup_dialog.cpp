// The setup dialogs' logic (see setup_dialog.h).
#include "music/setup_dialog.h"

#include <cctype>

const char* const kSetupDialogTitle = "Music System v1.1.2 Setup";
const char* const kCustomDialogTitle = "Custom Sound Quality";
const char* const kQualityLabels[6] = {
    "V&ery Low (smallest CPU usage)", "&Low",       "&Medium", "&High",
    "&Very High (largest CPU usage)", "&Custom...",
};
const int kCustomRateChoicesHz[8] = {8000, 11025, 16000, 22050, 27429, 32000, 37800, 44100};

namespace {

constexpr int kSoundCardNoSound = 0;
constexpr int kSoundCardDefault = 1;
constexpr int kSoundCardWavFile = 2;

struct AcceleratedControl {
  const char* label;
  SetupControl control;
};
const AcceleratedControl kOtherControls[] = {
    {"&Stereo", SetupControl::kStereo},
    {"S&ound Card:", SetupControl::kSoundCard},
    {"&Buffer Length:", SetupControl::kBufferLength},
    {"&DirectSound Buffer:", SetupControl::kDirectSoundBuffer},
    {"&Never Use DirectSound", SetupControl::kNeverUseDirectSound},
};

}  // namespace

std::string LabelText(const char* label) {
  std::string text;
  for (const char* at = label; *at != '\0'; ++at) {
    if (*at == '&' && at[1] != '\0') ++at;  // "&&" stands for one '&'
    text += *at;
  }
  return text;
}

char LabelAccelerator(const char* label) {
  for (const char* at = label; *at != '\0'; ++at) {
    if (*at != '&') continue;
    if (at[1] == '&') {
      ++at;
      continue;
    }
    return static_cast<char>(std::tolower(static_cast<unsigned char>(at[1])));
  }
  return 0;
}

SetupDialogState OpenSetupDialog(const MusicSettings& settings) {
  SetupDialogState state;
  state.sound_cards = {"No Sound", "Default"};
  // The list opens on "Default", unless the command line already chose the
  // silent device or a WAV file: a preset must not be undone by pressing OK.
  state.sound_card = kSoundCardDefault;
  if (settings.output_device == kOutputDeviceSilent) state.sound_card = kSoundCardNoSound;
  if (settings.output_device == kOutputDeviceWavFile) {
    state.sound_cards.push_back("WAV File (" + settings.wav_path + ")");
    state.sound_card = kSoundCardWavFile;
  }
  state.stereo = settings.output_mode == kOutputModeNotChosen ||
                 (settings.output_mode & kOutputModeStereoBit) != 0;
  const int preset = FindQualityPreset(settings.mixing_rate_hz, settings.interpolation);
  state.quality = preset >= 0 ? preset : kQualityCustom;
  state.custom_rate_hz = settings.mixing_rate_hz;
  state.custom_interpolation = settings.interpolation != 0 ? 1 : 0;
  state.buffer_text = std::to_string(settings.buffer_length_ms);
  state.directsound_buffer_text = std::to_string(settings.directsound_buffer_ms);
  state.never_use_directsound = settings.never_use_directsound != 0;
  return state;
}

void ChooseQuality(SetupDialogState* state, int quality) {
  if (quality < 0 || quality > kQualityCustom) return;
  state->quality = quality;
  if (quality != kQualityCustom) return;
  state->custom_dialog_open = true;
  state->custom.rate_text = std::to_string(state->custom_rate_hz);
  state->custom.interpolation = state->custom_interpolation;
}

SetupControl PressAccelerator(SetupDialogState* state, char letter) {
  letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
  if (letter == 0 || state->custom_dialog_open) return SetupControl::kNone;
  for (int quality = 0; quality <= kQualityCustom; ++quality) {
    if (LabelAccelerator(kQualityLabels[quality]) == letter) {
      ChooseQuality(state, quality);
      return SetupControl::kQuality;
    }
  }
  for (const AcceleratedControl& other : kOtherControls) {
    if (LabelAccelerator(other.label) != letter) continue;
    if (other.control == SetupControl::kStereo) state->stereo = !state->stereo;
    if (other.control == SetupControl::kNeverUseDirectSound) {
      state->never_use_directsound = !state->never_use_directsound;
    }
    return other.control;
  }
  return SetupControl::kNone;
}

void AcceptCustomDialog(SetupDialogState* state) {
  const int rate_hz = ReadNumberField(state->custom.rate_text, kMinMixingRateHz, kMaxMixingRateHz);
  if (rate_hz != 0) state->custom_rate_hz = rate_hz;
  state->custom_interpolation = state->custom.interpolation != 0 ? 1 : 0;
  state->custom_dialog_open = false;
}

void CancelCustomDialog(SetupDialogState* state) {
  state->custom_dialog_open = false;
}

void AcceptSetupDialog(const SetupDialogState& state, MusicSettings* settings) {
  if (state.quality == kQualityCustom) {
    settings->mixing_rate_hz = state.custom_rate_hz;
    settings->interpolation = state.custom_interpolation;
  } else {
    settings->mixing_rate_hz = kQualityPresets[state.quality].rate_hz;
    settings->interpolation = kQualityPresets[state.quality].interpolation;
  }
  settings->output_mode = state.stereo ? kOutputModeStereo16 : kOutputModeMono16;
  if (state.sound_card == kSoundCardNoSound) settings->output_device = kOutputDeviceSilent;
  if (state.sound_card == kSoundCardDefault) settings->output_device = kOutputDeviceAuto;
  if (state.sound_card == kSoundCardWavFile) settings->output_device = kOutputDeviceWavFile;
  const int buffer_ms = ReadNumberField(state.buffer_text, kMinBufferLengthMs, kMaxBufferLengthMs);
  if (buffer_ms != 0) settings->buffer_length_ms = buffer_ms;
  const int directsound_ms =
      ReadNumberField(state.directsound_buffer_text, kMinBufferLengthMs, kMaxBufferLengthMs);
  if (directsound_ms != 0) settings->directsound_buffer_ms = directsound_ms;
  settings->never_use_directsound = state.never_use_directsound ? 1 : 0;
}

int ReadNumberField(const std::string& text, int low, int high) {
  size_t begin = text.find_first_not_of(' ');
  size_t end = text.find_last_not_of(' ');
  if (begin == std::string::npos) return 0;
  long value = 0;
  for (size_t at = begin; at <= end; ++at) {
    if (!std::isdigit(static_cast<unsigned char>(text[at]))) return 0;
    value = value * 10 + (text[at] - '0');
    if (value > high) return 0;
  }
  return value >= low && value > 0 ? static_cast<int>(value) : 0;
}
