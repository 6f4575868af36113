// The sound setup dialog "Music System v1.1.2 Setup" and its "Custom Sound
// Quality" dialog. The dialogs' logic (what they show on opening, what each
// control and key does, what OK stores) is plain state and functions here,
// so it runs without a display; setup_dialog_window.cpp draws it.
#pragma once

#include <string>
#include <vector>

#include "music/music_settings.h"

// The dialog's texts. '&' marks the letter that Alt selects (Windows style);
// the window shows the label without it and underlines nothing.
extern const char* const kSetupDialogTitle;
extern const char* const kCustomDialogTitle;
extern const char* const kQualityLabels[6];  // the five presets, then "&Custom..."
constexpr int kQualityCustom = 5;
extern const int kCustomRateChoicesHz[8];

enum class SetupControl {
  kNone,
  kQuality,  // one of the radio buttons (SetupDialogState::quality)
  kStereo,
  kSoundCard,
  kBufferLength,
  kDirectSoundBuffer,
  kNeverUseDirectSound,
};

struct CustomQualityState {
  std::string rate_text;  // the typed or chosen rate
  int interpolation = 0;  // 0 "Normal (low quality)", 1 "Interpolating (high quality)"
};

struct SetupDialogState {
  int quality = 0;  // 0..4 the presets, kQualityCustom
  bool stereo = true;
  std::vector<std::string> sound_cards;  // "No Sound", "Default" (and a preset WAV file)
  int sound_card = 1;
  std::string buffer_text;
  std::string directsound_buffer_text;
  bool never_use_directsound = false;
  // What "&Custom..." stands for: the rate and interpolation of the custom
  // dialog's last OK (the current settings until then).
  int custom_rate_hz = 44100;
  int custom_interpolation = 0;
  bool custom_dialog_open = false;
  CustomQualityState custom;
};

// The label without its '&', and its Alt letter in lower case (0 for none).
std::string LabelText(const char* label);
char LabelAccelerator(const char* label);

// The dialog as it opens over the current settings.
SetupDialogState OpenSetupDialog(const MusicSettings& settings);

// A radio button clicked; "&Custom..." opens the custom dialog.
void ChooseQuality(SetupDialogState* state, int quality);
// Alt+letter: selects a radio button or toggles a check box at once and
// returns the control, so the window can move the keyboard focus to it.
SetupControl PressAccelerator(SetupDialogState* state, char letter);

// The custom dialog's OK: a rate that reads as a nonzero number within the
// mixing limits is taken; the interpolation choice always is.
void AcceptCustomDialog(SetupDialogState* state);
void CancelCustomDialog(SetupDialogState* state);

// OK: stores the dialog's choices in the settings. Cancel stores nothing.
void AcceptSetupDialog(const SetupDialogState& state, MusicSettings* settings);

// Reads a whole field as a positive decimal number within [low, high]; 0
// when it does not ("", "abc", "0", "12x", out of range).
int ReadNumberField(const std::string& text, int low, int high);

enum class SetupDialogResult { kOk, kCancel, kCannotShow };

// Shows the dialog in a window of its own and waits for OK or Cancel
// (Enter, Escape or closing the window cancel likewise). The settings
// change only on OK. kCannotShow with the reason when no window opens.
SetupDialogResult RunSetupDialog(MusicSettings* settings, std::string* reason);
