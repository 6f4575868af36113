// A sound output that fails during play: the sound card gives way to
// silence and the song plays on at the clock's pace; an output that must
// not fall silent (a file) stays a fatal error.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "music/background_player.h"
#include "music/music_errors.h"
#include "music/sound_output.h"

namespace {

double clock_ms = 0.0;
double ClockMs() {
  return clock_ms;
}

// A device that takes 100 frames per ask and fails from its third write on;
// a card may fall silent, a file may not.
class BreakingOutput final : public SoundOutput {
 public:
  explicit BreakingOutput(bool card) : card_(card) {}
  const char* Name() const override { return "Breaking"; }
  int FramesWanted() override { return 100; }
  bool Write(const int16_t* /*samples*/, int /*frames*/, std::string* error) override {
    if (++writes <= 2) return true;
    *error = "unplugged";
    return false;
  }
  bool Close(std::string* /*error*/) override { return true; }
  bool MayFallSilent() const override { return card_; }
  int writes = 0;

 private:
  bool card_;
};

// A player on the output that counts the frames it renders.
struct Playing {
  Playing(SoundOutput* output, bool fallback) {
    player.SetOutput(output);
    player.SetRender(
        [](int16_t* out, int frames, void* context) {
          *static_cast<long*>(context) += frames;
          std::fill(out, out + frames, 0);
          return static_cast<int>(kMusicOk);
        },
        &rendered);
    if (fallback) player.SetSilentFallback({8000, 1}, ClockMs);
  }
  ~Playing() { player.SetOutput(nullptr); }
  void Steps(int steps) {
    for (int i = 0; i < steps; ++i) {
      std::lock_guard<std::mutex> hold(player.Lock());
      player.FillOutput();
    }
  }
  long rendered = 0;
  BackgroundPlayer player;
};

TEST(SoundDeviceFailure, CardThatFailsMidPlayGivesWayToSilenceAtTheClocksPace) {
  clock_ms = 0.0;
  BreakingOutput card(true);
  Playing playing(&card, true);
  testing::internal::CaptureStderr();
  playing.Steps(3);  // the third write fails
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(playing.rendered, 300);
  EXPECT_NE(said.find("Breaking: unplugged; playing on without sound\n"), std::string::npos)
      << said;
  clock_ms = 250.0;  // a quarter second at 8000 Hz
  playing.Steps(2);
  EXPECT_EQ(card.writes, 3) << "the failed card was written again";
  EXPECT_EQ(playing.rendered, 300 + 2000);
}

TEST(SoundDeviceFailureDeathTest, FileOutputOrCardWithoutFallbackEndsTheProcessWith255) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const bool card : {false, true}) {
    EXPECT_EXIT(
        {
          BreakingOutput output(card);
          Playing(&output, !card).Steps(3);
        },
        ::testing::ExitedWithCode(255), "Breaking: unplugged");
  }
}

}  // namespace
