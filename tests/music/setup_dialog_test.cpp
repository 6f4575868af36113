// The setup dialogs driven through their logic (no display needed), and
// once for real in a window under Xvfb with keys pushed as SDL events.
#include <SDL.h>
#include <gtest/gtest.h>

#include <set>
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

TEST(SetupDialog, EachQualityButtonGivesItsRateAndInterpolation) {
  struct Expected {
    int quality;
    int rate_hz;
    int interpolation;
  };
  const Expected table[] = {
      {0, 22050, 0}, {1, 32000, 0}, {2, 44100, 0}, {3, 32000, 1}, {4, 44100, 1}};
  for (const Expected& row : table) {
    MusicSettings settings;
    settings.mixing_rate_hz = 11025;  // something no button stands for
    settings.interpolation = 1;
    SetupDialogState state = OpenSetupDialog(settings);
    ChooseQuality(&state, row.quality);
    EXPECT_FALSE(state.custom_dialog_open);
    AcceptSetupDialog(state, &settings);
    EXPECT_EQ(settings.mixing_rate_hz, row.rate_hz) << "button " << row.quality;
    EXPECT_EQ(settings.interpolation, row.interpolation) << "button " << row.quality;
    // Opening again over the stored settings checks the same button.
    EXPECT_EQ(OpenSetupDialog(settings).quality, row.quality);
  }
}

TEST(SetupDialog, OpensOverTheCurrentSettings) {
  MusicSettings defaults;
  const SetupDialogState opened = OpenSetupDialog(defaults);
  EXPECT_EQ(opened.quality, 2);  // 44100 Hz without interpolation is "Medium"
  EXPECT_TRUE(opened.stereo);    // output mode 0: not chosen yet
  ASSERT_EQ(opened.sound_cards.size(), 2u);
  EXPECT_EQ(opened.sound_cards[0], "No Sound");
  EXPECT_EQ(opened.sound_cards[1], "Default");
  EXPECT_EQ(opened.sound_card, 1);
  EXPECT_EQ(opened.buffer_text, "500");
  EXPECT_EQ(opened.directsound_buffer_text, "100");
  EXPECT_FALSE(opened.never_use_directsound);

  MusicSettings mono;
  mono.output_mode = kOutputModeMono16;
  EXPECT_FALSE(OpenSetupDialog(mono).stereo);
  mono.output_mode = kOutputModeStereo16;
  EXPECT_TRUE(OpenSetupDialog(mono).stereo);

  MusicSettings odd;
  odd.mixing_rate_hz = 22050;
  odd.interpolation = 1;  // no button has 22050 Hz with interpolation
  odd.buffer_length_ms = 250;
  EXPECT_EQ(OpenSetupDialog(odd).quality, kQualityCustom);
  EXPECT_EQ(OpenSetupDialog(odd).buffer_text, "250");

  // A device preset on the command line survives OK.
  MusicSettings silent;
  silent.output_device = kOutputDeviceSilent;
  SetupDialogState state = OpenSetupDialog(silent);
  EXPECT_EQ(state.sound_card, 0);
  AcceptSetupDialog(state, &silent);
  EXPECT_EQ(silent.output_device, kOutputDeviceSilent);
  state.sound_card = 1;
  AcceptSetupDialog(state, &silent);
  EXPECT_EQ(silent.output_device, kOutputDeviceAuto);
}

TEST(SetupDialog, OkStoresStereoAndTakesOnlyNonzeroNumbers) {
  MusicSettings settings;
  SetupDialogState state = OpenSetupDialog(settings);
  state.stereo = false;
  state.never_use_directsound = true;
  state.buffer_text = " 250 ";
  state.directsound_buffer_text = "80";
  AcceptSetupDialog(state, &settings);
  EXPECT_EQ(settings.output_mode, kOutputModeMono16);
  EXPECT_EQ(settings.never_use_directsound, 1);
  EXPECT_EQ(settings.buffer_length_ms, 250);
  EXPECT_EQ(settings.directsound_buffer_ms, 80);

  for (const char* text : {"", "0", "abc", "12x", "-5", "1e3", "99999999999"}) {
    state.buffer_text = text;
    state.directsound_buffer_text = text;
    AcceptSetupDialog(state, &settings);
    EXPECT_EQ(settings.buffer_length_ms, 250) << '"' << text << '"';
    EXPECT_EQ(settings.directsound_buffer_ms, 80) << '"' << text << '"';
  }
  state.stereo = true;
  AcceptSetupDialog(state, &settings);
  EXPECT_EQ(settings.output_mode, kOutputModeStereo16);
}

TEST(SetupDialog, CustomDialogTakesTypedRateAndCancelKeepsEarlierValues) {
  MusicSettings settings;
  SetupDialogState state = OpenSetupDialog(settings);
  ChooseQuality(&state, kQualityCustom);
  ASSERT_TRUE(state.custom_dialog_open);
  EXPECT_EQ(state.custom.rate_text, "44100");
  EXPECT_EQ(state.custom.interpolation, 0);
  state.custom.rate_text = "37800";
  state.custom.interpolation = 1;
  AcceptCustomDialog(&state);
  EXPECT_FALSE(state.custom_dialog_open);
  EXPECT_EQ(state.quality, kQualityCustom);

  // Reopened, it shows the last accepted values; Cancel drops the edits.
  ChooseQuality(&state, kQualityCustom);
  EXPECT_EQ(state.custom.rate_text, "37800");
  state.custom.rate_text = "8000";
  state.custom.interpolation = 0;
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

TEST(SetupDialog, AcceleratorsAreUniqueAndActOnTheirControls) {
  EXPECT_EQ(LabelText("V&ery Low (smallest CPU usage)"), "Very Low (smallest CPU usage)");
  EXPECT_EQ(LabelText("Save && Quit"), "Save & Quit");
  EXPECT_EQ(LabelAccelerator("S&ound Card:"), 'o');
  EXPECT_EQ(LabelAccelerator("Save && Quit"), 0);

  const char* const others[] = {"&Stereo", "S&ound Card:", "&Buffer Length:",
                                "&DirectSound Buffer:", "&Never Use DirectSound"};
  std::set<char> letters;
  for (const char* label : kQualityLabels) letters.insert(LabelAccelerator(label));
  for (const char* label : others) letters.insert(LabelAccelerator(label));
  EXPECT_EQ(letters.size(), 11u) << "two controls share an Alt letter";

  MusicSettings settings;
  SetupDialogState state = OpenSetupDialog(settings);
  EXPECT_EQ(PressAccelerator(&state, 'E'), SetupControl::kQuality);
  EXPECT_EQ(state.quality, 0);
  EXPECT_EQ(PressAccelerator(&state, 'v'), SetupControl::kQuality);
  EXPECT_EQ(state.quality, 4);
  EXPECT_EQ(PressAccelerator(&state, 's'), SetupControl::kStereo);
  EXPECT_FALSE(state.stereo);
  EXPECT_EQ(PressAccelerator(&state, 'n'), SetupControl::kNeverUseDirectSound);
  EXPECT_TRUE(state.never_use_directsound);
  EXPECT_EQ(PressAccelerator(&state, 'b'), SetupControl::kBufferLength);
  EXPECT_EQ(PressAccelerator(&state, 'd'), SetupControl::kDirectSoundBuffer);
  EXPECT_EQ(PressAccelerator(&state, 'o'), SetupControl::kSoundCard);
  EXPECT_EQ(PressAccelerator(&state, 'x'), SetupControl::kNone);
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
  EXPECT_EQ(settings.output_mode, kOutputModeNotChosen);

  PushKey(SDLK_e, KMOD_LALT);
  PushKey(SDLK_s, KMOD_LALT);  // stereo off
  PushKey(SDLK_RETURN, KMOD_NONE);
  EXPECT_EQ(RunSetupDialog(&settings, &reason), SetupDialogResult::kOk) << reason;
  EXPECT_EQ(settings.mixing_rate_hz, 22050);
  EXPECT_EQ(settings.output_mode, kOutputModeMono16);
}

}  // namespace
