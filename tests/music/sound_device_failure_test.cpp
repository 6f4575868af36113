// A sound output that fails during play: the sound card gives way to
// silence and the song plays on at the clock's pace; an output that must
// not fall silent (a file) stays a fatal error.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "music/background_player.h"
#include "music/music_errors.h"
#include "music/sound_output.h"

namespace {

double clock_ms = 0.0;
double ClockMs() {
  return clock_ms;
}

// A device that takes 100 frames per ask and fails from its third write on.
class BreakingOutput final : public SoundOutput {
 public:
  explicit BreakingOutput(bool card) : card_(card) {}
  const char* Name() const override { return "Breaking"; }
  int FramesWanted() override { return 100; }
  bool Write(const int16_t* /*samples*/, int /*frames*/, std::string* error) override {
    if (++writes > 2) {
      *error = "unplugged";
      return false;
    }
    return true;
  }
  bool Close(std::string* /*error*/) override { return true; }
  bool MayFallSilent() const override { return card_; }
  int writes = 0;

 private:
  bool card_;
};

int CountFrames(int16_t* out, int frames, void* context) {
  *static_cast<long*>(context) += frames;
  for (int i = 0; i < frames; ++i) out[i] = 0;
  return kMusicOk;
}

void Step(BackgroundPlayer& player) {
  std::lock_guard<std::mutex> hold(player.Lock());
  player.FillOutput();
}

TEST(SoundDeviceFailure, CardThatFailsMidPlayGivesWayToSilenceAtTheClocksPace) {
  clock_ms = 0.0;
  BreakingOutput card(true);
  long rendered = 0;
  BackgroundPlayer player;
  player.SetOutput(&card);
  player.SetRender(CountFrames, &rendered);
  player.SetSilentFallback({8000, 1}, ClockMs);
  testing::internal::CaptureStderr();
  for (int i = 0; i < 3; ++i) Step(player);  // the third write fails
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(card.writes, 3);
  EXPECT_EQ(rendered, 300);
  EXPECT_NE(said.find("Breaking: unplugged; playing on without sound\n"), std::string::npos)
      << said;
  clock_ms = 250.0;  // a quarter second at 8000 Hz
  Step(player);
  Step(player);
  EXPECT_EQ(card.writes, 3) << "the failed card was written again";
  EXPECT_EQ(rendered, 300 + 2000);
  player.SetOutput(nullptr);
}

TEST(SoundDeviceFailureDeathTest, FileOutputOrCardWithoutFallbackEndsTheProcessWith255) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const bool card : {false, true}) {
    const bool fallback_given = !card;
    EXPECT_EXIT(
        {
          BreakingOutput file(card);
          long rendered = 0;
          BackgroundPlayer player;
          player.SetOutput(&file);
          player.SetRender(CountFrames, &rendered);
          if (fallback_given) player.SetSilentFallback({8000, 1}, ClockMs);
          for (int i = 0; i < 3; ++i) Step(player);
        },
        ::testing::ExitedWithCode(255), "Breaking: unplugged");
  }
}

}  // namespace
