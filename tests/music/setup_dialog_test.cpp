// The setup dialogs driven through their logic (no display needed), and
// once for real in a window under Xvfb with keys pushed as SDL events.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

#include "music/setup_dialog.h"
#include "platform/display.h"

// SDL's video and audio start-up open a D-Bus connection whose buffers
// libdbus keeps for the life of the process; the leak checker of the
// sanitizer builds is told that this one is not ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}

namespace {

TEST(SetupDialog, QualityButtonsMatchTheSettingsBothWays) {
  // Each button gives its rate and interpolation, and opening over them
  // checks it again; settings no button stands for check "Custom".
  const struct {
    int rate_hz;
    int interpolation;
    int quality;
  } table[] = {{22050, 0, 0},
               {32000, 0, 1},
               {44100, 0, 2},
               {32000, 1, 3},
               {44100, 1, 4},
               {22050, 1, kQualityCustom},
               {11025, 0, kQualityCustom}};
  for (const auto& row : table) {
    MusicSettings settings;
    settings.mixing_rate_hz = row.rate_hz;
    settings.interpolation = row.interpolation;
    EXPECT_EQ(OpenSetupDialog(settings).quality, row.quality) << row.rate_hz;
    if (row.quality == kQualityCustom) continue;
    MusicSettings chosen;
    chosen.mixing_rate_hz = 11025;  // something no button stands for
    SetupDialogState state = OpenSetupDialog(chosen);
    ChooseQuality(&state, row.quality);
    EXPECT_FALSE(state.custom_dialog_open);
    AcceptSetupDialog(state, &chosen);
    EXPECT_EQ(chosen.mixing_rate_hz, row.rate_hz) << "button " << row.quality;
    EXPECT_EQ(chosen.interpolation, row.interpolation) << "button " << row.quality;
  }
}

TEST(SetupDialog, OpensOverTheSettingsAndOkStoresOnlyNonzeroNumbers) {
  MusicSettings settings;
  SetupDialogState state = OpenSetupDialog(settings);
  EXPECT_TRUE(state.stereo);  // output mode 0: not chosen yet
  EXPECT_EQ(state.buffer_text, "500");
  settings.output_mode = kOutputModeMono16;
  EXPECT_FALSE(OpenSetupDialog(settings).stereo);

  state.stereo = false;
  state.never_use_directsound = true;
  state.buffer_text = " 250 ";
  state.directsound_buffer_text = "80";
  state.sound_card = 0;
  AcceptSetupDialog(state, &settings);
  EXPECT_EQ(settings.output_mode, kOutputModeMono16);
  EXPECT_EQ(settings.never_use_directsound, 1);
  EXPECT_EQ(settings.output_device, kOutputDeviceSilent);
  EXPECT_EQ(OpenSetupDialog(settings).sound_card, 0);  // a preset survives
  for (const char* text : {"", "0", "abc", "12x", "-5", "1e3", "99999999999"}) {
    state.buffer_text = text;
    state.directsound_buffer_text = text;
    AcceptSetupDialog(state, &settings);
    EXPECT_EQ(settings.buffer_length_ms, 250) << '"' << text << '"';
    EXPECT_EQ(settings.directsound_buffer_ms, 80) << '"' << text << '"';
  }
  state.stereo = true;
  state.sound_card = 1;
  AcceptSetupDialog(state, &settings);
  EXPECT_EQ(settings.output_mode, kOutputModeStereo16);
  EXPECT_EQ(settings.output_device, kOutputDeviceAuto);
}

TEST(SetupDialog, CustomDialogTakesTypedRateAndCancelKeepsEarlierValues) {
  MusicSettings settings;
  SetupDialogState state = OpenSetupDialog(settings);
  ChooseQuality(&state, kQualityCustom);
  ASSERT_TRUE(state.custom_dialog_open);
  EXPECT_EQ(state.custom.rate_text, "44100");
  state.custom.rate_text = "37800";
  state.custom.interpolation = 1;
  AcceptCustomDialog(&state);
  EXPECT_FALSE(state.custom_dialog_open);
  // Reopened, it shows the last accepted values; Cancel drops the edits.
  ChooseQuality(&state, kQualityCustom);
  EXPECT_EQ(state.custom.rate_text, "37800");
  state.custom.rate_text = "8000";
  CancelCustomDialog(&state);
  // A rate that does not read as a usable number keeps the earlier rate,
  // but the mixing mode is taken.
  ChooseQuality(&state, kQualityCustom);
  state.custom.rate_text = "0";
  state.custom.interpolation = 0;
  AcceptCustomDialog(&state);
  AcceptSetupDialog(state, &settings);
  EXPECT_EQ(settings.mixing_rate_hz, 37800);
  EXPECT_EQ(settings.interpolation, 0);
}

TEST(SetupDialog, AcceleratorsActOnTheirControls) {
  EXPECT_EQ(LabelText("V&ery Low (smallest CPU usage)"), "Very Low (smallest CPU usage)");
  EXPECT_EQ(LabelText("Save && Quit"), "Save & Quit");
  EXPECT_EQ(LabelAccelerator("Save && Quit"), 0);
  MusicSettings settings;
  SetupDialogState state = OpenSetupDialog(settings);
  const struct {
    char letter;
    SetupControl control;
  } presses[] = {{'E', SetupControl::kQuality},      {'v', SetupControl::kQuality},
                 {'s', SetupControl::kStereo},       {'n', SetupControl::kNeverUseDirectSound},
                 {'b', SetupControl::kBufferLength}, {'d', SetupControl::kDirectSoundBuffer},
                 {'o', SetupControl::kSoundCard},    {'x', SetupControl::kNone}};
  for (const auto& press : presses)
    EXPECT_EQ(PressAccelerator(&state, press.letter), press.control);
  EXPECT_EQ(state.quality, 4);  // 'v' after 'E'
  EXPECT_FALSE(state.stereo);
  EXPECT_TRUE(state.never_use_directsound);
  EXPECT_EQ(PressAccelerator(&state, 'c'), SetupControl::kQuality);
  EXPECT_TRUE(state.custom_dialog_open);
  // The main dialog's letters do nothing while the custom dialog is up.
  EXPECT_EQ(PressAccelerator(&state, 'e'), SetupControl::kNone);
  EXPECT_EQ(state.quality, kQualityCustom);
}

void PushKey(SDL_Keycode key, Uint16 modifiers) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.keysym.sym = key;
  event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
  event.key.keysym.mod = modifiers;
  ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

TEST(SetupDialog, RealWindowAnswersEscapeAndEnter) {
  if (platform::IsHeadless() || !platform::DisplayAvailable()) {
    GTEST_SKIP() << "no display (the suite runs under xvfb-run)";
  }
  MusicSettings settings;
  std::string reason;
  PushKey(SDLK_e, KMOD_LALT);  // "V&ery Low", then Escape: nothing is kept
  PushKey(SDLK_ESCAPE, KMOD_NONE);
  EXPECT_EQ(RunSetupDialog(&settings, &reason), SetupDialogResult::kCancel) << reason;
  EXPECT_EQ(settings.mixing_rate_hz, 44100);
  PushKey(SDLK_e, KMOD_LALT);
  PushKey(SDLK_s, KMOD_LALT);  // stereo off
  PushKey(SDLK_RETURN, KMOD_NONE);
  EXPECT_EQ(RunSetupDialog(&settings, &reason), SetupDialogResult::kOk) << reason;
  EXPECT_EQ(settings.mixing_rate_hz, 22050);
  EXPECT_EQ(settings.output_mode, kOutputModeMono16);
}

}  // namespace
