// The music system's calling interface: command-line presets and their
// errors, format detection, null handles, live playback on the silent and
// WAV outputs paced by the virtual clock; and the setup dialogs, through
// their logic and once for real in a window under Xvfb.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "music/music_errors.h"
#include "music/music_options.h"
#include "music/music_settings.h"
#include "music/music_system.h"
#include "music/player.h"
#include "music/setup_dialog.h"
#include "music/wav_file.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "temp_folder.h"
#include "tiny_s3m.h"

// SDL's video and audio start-up open a D-Bus connection whose buffers
// libdbus keeps for the life of the process; the leak checker of the
// sanitizer builds is told that this one is not ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}

namespace {

// Parses arguments as the shell does; returns the last result.
int Parse(std::vector<std::string> arguments, std::string* error, int* consumed = nullptr) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  int index = 0;
  int result = 1;
  while (index < static_cast<int>(argv.size()) && result == 1) {
    result = ParseMusicArgument(static_cast<int>(argv.size()), argv.data(), &index, error);
  }
  if (consumed != nullptr) *consumed = index;
  return result;
}

class MusicSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetMusicPresets(); }
  void TearDown() override {
    MusicClose();
    MusicSetStartTime(0);
    ResetMusicPresets();
    platform::ClockUseVirtual(false);
  }
};

TEST_F(MusicSystemTest, OptionsSetThePresetsLaterOnesWinningAndErrorsNameTheValue) {
  std::string error;
  int consumed = 0;
  ASSERT_EQ(Parse({"--quality", "very-high", "--rate=22050", "--mono", "--sound", "none",
                   "--buffer", "200", "--no-setup"},
                  &error, &consumed),
            1)
      << error;
  EXPECT_EQ(consumed, 9);
  CurrentMusicSettings().buffer_length_ms = 999;  // startup throws this away
  MusicStartup();
  const MusicSettings& settings = CurrentMusicSettings();
  EXPECT_EQ((std::vector<int>{settings.mixing_rate_hz, settings.interpolation, settings.output_mode,
                              settings.output_device, settings.buffer_length_ms}),
            (std::vector<int>{22050, 1, kOutputModeMono16, kOutputDeviceSilent, 200}));

  const struct {
    std::vector<std::string> arguments;
    const char* in_error;
  } cases[] = {
      {{"--rate"}, "--rate: needs a value"}, {{"--rate", "fast"}, "'fast'"},
      {{"--rate", "3999"}, "'3999'"},        {{"--rate", "96001"}, "'96001'"},
      {{"--rate=44100x"}, "'44100x'"},       {{"--sound", "loud"}, "'loud'"},
      {{"--quality", "ultra"}, "'ultra'"},   {{"--buffer", "0"}, "'0'"},
      {{"--buffer", "-5"}, "'-5'"},          {{"--mono=1"}, "--mono: takes no value"},
      {{"--sound-file="}, "--sound-file"},
  };
  for (const auto& one : cases) {
    EXPECT_EQ(Parse(one.arguments, &error), -1) << one.arguments[0];
    EXPECT_NE(error.find(one.in_error), std::string::npos) << error;
  }
  EXPECT_EQ(Parse({"--fullscreen"}, &error), 0) << "not a music option";
  EXPECT_NE(std::string(MusicOptionsHelp()).find("--no-setup"), std::string::npos);
}

TEST_F(MusicSystemTest, OnlyS3MModulesAreLoadedAndOthersAreRefusedByName) {
  MusicStartup();
  // Bytes of `size` with a format's tag at `at`.
  auto tagged = [](size_t size, size_t at, const std::string& tag) {
    std::vector<uint8_t> bytes(size, 0);
    std::copy(tag.begin(), tag.end(), bytes.begin() + static_cast<long>(at));
    return bytes;
  };
  std::vector<uint8_t> cut = TinyS3M();
  cut.resize(100);  // "SCRM" is there, the rest is cut off
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    int code;  // -1: whatever the format's reader reports
  } cases[] = {
      {"song.xm", tagged(60, 0, "Extended Module: song"), -1},
      {"song.it", tagged(60, 0, "IMPM"), -1},
      {"song.mod", tagged(1084, 1080, "M.K."), kMusicInvalidModule},
      {"short.s3m", {'S', 'C'}, kMusicInvalidModule},
      {"cut.s3m", cut, -1},
      {"missing.s3m", {}, kMusicFileOpenFailed},
  };
  // (A good module loads: LivePlayTest below.)
  const TempFolder temp;
  for (const auto& c : cases) {
    const std::string path = temp / c.name;
    if (!c.bytes.empty()) WriteBytes(path, c.bytes);
    testing::internal::CaptureStderr();
    EXPECT_EQ(MusicLoadModule(path.c_str()), nullptr) << c.name;
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(path), std::string::npos) << said;
    EXPECT_EQ(c.code >= 0 ? MusicLastError() : c.code, c.code) << c.name;
    EXPECT_NE(MusicLastError(), 0) << c.name;
  }
}

TEST_F(MusicSystemTest, NullHandlesAreHarmless) {
  std::string error;
  ASSERT_EQ(Parse({"--sound", "none"}, &error), 1) << error;
  MusicStartup();
  ASSERT_EQ(MusicInit(), 1);
  MusicStartBackgroundPlay(0);
  EXPECT_EQ(MusicPlayModule(nullptr, 0), 0u);
  PlayStatus status{};
  for (uint32_t bad : {0u, 7u, 0xFFFFFFFFu}) {
    EXPECT_EQ(MusicStopModule(bad), 0) << bad;
    EXPECT_EQ(MusicGetPlayStatus(bad, &status), 0) << bad;
    EXPECT_EQ(MusicSongEnded(bad), 0) << bad;
  }
  EXPECT_EQ(MusicFreeModule(nullptr), 0);
  for (int twice = 0; twice < 2; ++twice) {
    EXPECT_EQ(MusicStopBackgroundPlay(), 1);
    EXPECT_EQ(MusicClose(), 1);
  }
}

TEST_F(MusicSystemTest, DialogWithoutDisplayFailsRatherThanCancels) {
  const bool was_headless = platform::IsHeadless();
  platform::SetHeadless(true);
  MusicStartup();
  testing::internal::CaptureStderr();
  EXPECT_EQ(MusicSetupDialog(), 0);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(MusicSetupDialogFailed(), 1);
  EXPECT_EQ(MusicLastError(), 1);
  EXPECT_NE(said.find("Music System v1.1.2 Setup"), std::string::npos) << said;
  EXPECT_NE(said.find("--no-setup"), std::string::npos) << said;
  MusicSkipSetupDialog(true);
  EXPECT_EQ(MusicSetupDialog(), 1);
  EXPECT_EQ(MusicSetupDialogFailed(), 0);
  platform::SetHeadless(was_headless);
}

// Waits (real time, bounded) until `done` holds; returns whether it does.
bool WaitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return done();
}

class LivePlayTest : public MusicSystemTest {
 protected:
  void StartSilent(const std::vector<std::string>& extra) {
    std::vector<std::string> arguments = {"--rate", "8000", "--mono", "--no-setup"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::string error;
    ASSERT_EQ(Parse(arguments, &error), 1) << error;
    platform::ClockUseVirtual(true);
    platform::ClockSetVirtualMs(0);
    MusicStartup();
    ASSERT_EQ(MusicSetupDialog(), 1);
    ASSERT_EQ(MusicInit(), 1);
    ASSERT_EQ(MusicStartBackgroundPlay(0), 1);
    WriteBytes(module_path_, TinyS3M());
    module_ = MusicLoadModule(module_path_.c_str());
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    MusicFreeModule(module_);
    MusicSystemTest::TearDown();
  }
  const TempFolder temp_;
  const std::string module_path_ = temp_ / "live.s3m";
  MusicModule* module_ = nullptr;
};

TEST_F(LivePlayTest, WavDeviceTicksThePlayerAtTheTemposPaceAndRecordsIt) {
  const std::string wav_path = temp_ / "live.wav";
  ASSERT_NO_FATAL_FAILURE(StartSilent({"--sound-file", wav_path}));
  const uint32_t handle = MusicPlayModule(module_, 0);
  ASSERT_NE(handle, 0u);
  // One second is 50 ticks at tempo 125. At speed 6 a row is read on every
  // sixth tick, the first on the sixth: rows 0-7 by tick 48, row 8 not
  // before tick 54. With the clock standing still the player goes no
  // further.
  platform::ClockSetVirtualMs(1000);
  PlayStatus status{};
  WaitUntil([&] { return MusicGetPlayStatus(handle, &status) && status.row >= 7; });
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  ASSERT_EQ(MusicGetPlayStatus(handle, &status), 1);
  EXPECT_EQ(status.position, 0);
  EXPECT_EQ(status.row, 7);
  EXPECT_EQ(MusicSongEnded(handle), 0);
  // Past 7.68 s the song has ended once and is not repeated.
  platform::ClockSetVirtualMs(8000);
  EXPECT_TRUE(WaitUntil([&] { return MusicSongEnded(handle) == 1; }));
  // Freeing a module that still plays stops the play first.
  EXPECT_EQ(MusicFreeModule(module_), 1);
  module_ = nullptr;
  EXPECT_EQ(MusicStopModule(handle), 0) << "a stopped handle is no longer valid";
  MusicStopBackgroundPlay();
  EXPECT_FALSE(std::filesystem::exists(wav_path)) << "visible before it is complete";
  ASSERT_EQ(MusicClose(), 1);
  WavData wav;
  std::string error;
  ASSERT_TRUE(ReadWavFile(wav_path, &wav, &error)) << error;
  EXPECT_EQ(wav.rate_hz, 8000);
  EXPECT_EQ(wav.channels, 1);
  EXPECT_EQ(wav.samples.size(), 64000u);
  int64_t energy = 0;
  for (int16_t sample : wav.samples) energy += sample < 0 ? -sample : sample;
  EXPECT_GT(energy, 0);
}

TEST_F(LivePlayTest, StartTimeBeginsTheSongLater) {
  ASSERT_NO_FATAL_FAILURE(StartSilent({"--sound", "none"}));
  MusicSetStartTime(2.0);  // 100 ticks: row 15 is read on tick 96, row 16 on 102
  const uint32_t handle = MusicPlayModule(module_, 0);
  ASSERT_NE(handle, 0u);
  PlayStatus status{};
  ASSERT_EQ(MusicGetPlayStatus(handle, &status), 1);
  EXPECT_EQ(status.row, 15);
}

TEST(SetupDialog, QualityButtonsMatchTheSettingsBothWays) {
  // Each button gives its rate and interpolation, and opening over them
  // checks it again; settings no button stands for check "Custom".
  const struct {
    int rate_hz, interpolation, quality;
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
    settings.mixing_rate_hz = 11025;  // something no button stands for
    SetupDialogState state = OpenSetupDialog(settings);
    ChooseQuality(&state, row.quality);
    EXPECT_FALSE(state.custom_dialog_open);
    AcceptSetupDialog(state, &settings);
    EXPECT_EQ(settings.mixing_rate_hz * 10 + settings.interpolation,
              row.rate_hz * 10 + row.interpolation)
        << "button " << row.quality;
  }
}

TEST(SetupDialog, OpensOverTheSettingsAndOkStoresOnlyNonzeroNumbers) {
  MusicSettings settings;
  SetupDialogState state = OpenSetupDialog(settings);
  EXPECT_TRUE(state.stereo);  // output mode 0: not chosen yet
  EXPECT_EQ(state.buffer_text, "500");
  state.stereo = false;
  state.never_use_directsound = true;
  state.buffer_text = " 250 ";
  state.directsound_buffer_text = "80";
  state.sound_card = 0;
  AcceptSetupDialog(state, &settings);
  EXPECT_EQ((std::vector<int>{settings.output_mode, settings.never_use_directsound,
                              settings.output_device}),
            (std::vector<int>{kOutputModeMono16, 1, kOutputDeviceSilent}));
  EXPECT_FALSE(OpenSetupDialog(settings).stereo);
  EXPECT_EQ(OpenSetupDialog(settings).sound_card, 0);  // a preset survives
  for (const char* text : {"", "0", "abc", "12x", "-5", "1e3", "99999999999"}) {
    state.buffer_text = state.directsound_buffer_text = text;
    AcceptSetupDialog(state, &settings);
    EXPECT_EQ(settings.buffer_length_ms * 1000 + settings.directsound_buffer_ms, 250080)
        << '"' << text << '"';
  }
  state.stereo = true;
  state.sound_card = 1;
  AcceptSetupDialog(state, &settings);
  EXPECT_EQ(settings.output_mode, kOutputModeStereo16);
  EXPECT_EQ(settings.output_device, kOutputDeviceAuto);
}

TEST(SetupDialog, AcceleratorsActOnTheirControlsAndTheCustomDialogTakesATypedRate) {
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
    EXPECT_EQ(PressAccelerator(&state, press.letter), press.control) << press.letter;
  EXPECT_EQ(state.quality, 4);  // 'v' after 'E'
  EXPECT_FALSE(state.stereo);
  EXPECT_TRUE(state.never_use_directsound);
  EXPECT_EQ(PressAccelerator(&state, 'c'), SetupControl::kQuality);
  EXPECT_TRUE(state.custom_dialog_open);
  // The main dialog's letters do nothing while the custom dialog is up.
  EXPECT_EQ(PressAccelerator(&state, 'e'), SetupControl::kNone);
  EXPECT_EQ(state.quality, kQualityCustom);

  // The custom dialog takes a typed rate; reopened, it shows the last
  // accepted values; Cancel drops the edits; a rate that does not read as a
  // usable number keeps the earlier rate, but the mixing mode is taken.
  EXPECT_EQ(state.custom.rate_text, "44100");
  state.custom = {"37800", 1};
  AcceptCustomDialog(&state);
  EXPECT_FALSE(state.custom_dialog_open);
  ChooseQuality(&state, kQualityCustom);
  EXPECT_EQ(state.custom.rate_text, "37800");
  state.custom.rate_text = "8000";
  CancelCustomDialog(&state);
  ChooseQuality(&state, kQualityCustom);
  state.custom = {"0", 0};
  AcceptCustomDialog(&state);
  AcceptSetupDialog(state, &settings);
  EXPECT_EQ(settings.mixing_rate_hz, 37800);
  EXPECT_EQ(settings.interpolation, 0);
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
