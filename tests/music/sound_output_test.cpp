// The sound outputs, the playback thread and the WAV writer: pacing by the
// clock, the thread's pace and its fatal errors, WAV header fields, sizes,
// round trips, nothing left under the final name when a file is abandoned.
// A sound card that fails during play gives way to silence and the song
// plays on at the clock's pace; an output that must not fall silent (a
// file) stays a fatal error.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "music/background_player.h"
#include "music/music_errors.h"
#include "music/sound_output.h"
#include "music/wav_file.h"
#include "tiny_s3m.h"

namespace {

TEST(WavFile, HeaderFieldsAndLittleEndianSamples) {
  const std::string path = TempPath("header.wav");
  const std::vector<int16_t> samples = {1, -1, 0x1234, -32768, 32767, 0};  // 3 stereo frames
  std::string error;
  ASSERT_TRUE(WriteWavFile(path, samples.data(), 3, 22050, 2, &error)) << error;
  const std::vector<uint8_t> expected = {
      'R', 'I', 'F', 'F', 48, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2,
      0,                                             // PCM, 2 channels
      0x22, 0x56, 0, 0, 0x88, 0x58, 1, 0,            // 22050 Hz, 88200 bytes per second
      4, 0, 16, 0, 'd', 'a', 't', 'a', 12, 0, 0, 0,  // block align, bits, data
                                                     // size
      1, 0, 0xFF, 0xFF, 0x34, 0x12, 0, 0x80, 0xFF, 0x7F, 0, 0};
  EXPECT_EQ(ReadBytes(path), expected);
  std::remove(path.c_str());
}

TEST(WavFile, StreamedWritesRoundTripAndAbandonedOnesLeaveNothing) {
  const std::string path = TempPath("stream.wav");
  std::vector<int16_t> mono(10000);
  for (size_t i = 0; i < mono.size(); ++i) mono[i] = static_cast<int16_t>(i * 7 - 30000);
  WavWriter writer;
  std::string error;
  ASSERT_TRUE(writer.Open(path, 8000, 1, &error)) << error;
  // Unequal pieces, crossing the writer's internal batch size.
  ASSERT_TRUE(writer.Write(mono.data(), 3, &error));
  ASSERT_TRUE(writer.Write(mono.data() + 3, 5000, &error));
  ASSERT_TRUE(writer.Write(mono.data() + 5003, mono.size() - 5003, &error));
  EXPECT_FALSE(std::filesystem::exists(path)) << "visible before it is complete";
  ASSERT_TRUE(writer.Close(&error)) << error;
  WavData wav;
  ASSERT_TRUE(ReadWavFile(path, &wav, &error)) << error;
  EXPECT_EQ(wav.rate_hz * 10 + wav.channels, 80001);
  EXPECT_EQ(wav.samples, mono);
  {
    WavWriter abandoned;  // destroyed without Close: the old file stays
    ASSERT_TRUE(abandoned.Open(path, 44100, 2, &error));
    ASSERT_TRUE(abandoned.Write(mono.data(), 2, &error));
  }
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
  ASSERT_TRUE(ReadWavFile(path, &wav, &error)) << error;
  EXPECT_EQ(wav.samples, mono);
  EXPECT_FALSE(writer.Open("/nonexistent-dir/x.wav", 44100, 2, &error));
  EXPECT_NE(error.find("/nonexistent-dir/x.wav"), std::string::npos);
  std::remove(path.c_str());
}

TEST(WavFile, ReaderRefusesDamagedFiles) {
  const std::string path = TempPath("good.wav");
  const std::vector<int16_t> samples = {1, 2, 3, 4};
  std::string error;
  ASSERT_TRUE(WriteWavFile(path, samples.data(), 2, 44100, 2, &error));
  const std::vector<uint8_t> good = ReadBytes(path);
  struct Damage {
    const char* what;
    size_t keep_bytes;  // truncate to this many bytes
    size_t at;          // then overwrite one byte here (if below keep_bytes)
    uint8_t value;
  };
  const Damage damages[] = {
      {"empty", 0, 0, 0},
      {"not RIFF", good.size(), 0, 'X'},
      {"not PCM", good.size(), 20, 3},
      {"8-bit", good.size(), 34, 8},
      {"data cut short", good.size() - 1, 99, 0},
      {"no data chunk", 36, 99, 0},
  };
  const std::string damaged = TempPath("damaged.wav");
  for (const Damage& damage : damages) {
    std::vector<uint8_t> bytes(good.begin(), good.begin() + static_cast<long>(damage.keep_bytes));
    if (damage.at < bytes.size()) bytes[damage.at] = damage.value;
    WriteBytes(damaged, bytes);
    WavData wav;
    EXPECT_FALSE(ReadWavFile(damaged, &wav, &error)) << damage.what;
    EXPECT_NE(error.find(damaged), std::string::npos) << damage.what;
  }
  // A partial frame at the end of the data is not a sample.
  std::vector<uint8_t> odd = good;
  odd.insert(odd.end(), {7, 7});
  odd[40] += 2;
  odd[4] += 2;
  WriteBytes(damaged, odd);
  WavData wav;
  ASSERT_TRUE(ReadWavFile(damaged, &wav, &error)) << error;
  EXPECT_EQ(wav.samples, samples);
  std::remove(damaged.c_str());
  std::remove(path.c_str());
}

// A clock the tests move by hand; read by the playback thread too.
std::atomic<double> fake_clock_ms{0.0};
double FakeClockMs() {
  return fake_clock_ms.load();
}

TEST(SilentOutput, WantsWhatTheClockSaysHasPlayed) {
  fake_clock_ms = 1000.0;
  auto output = OpenSilentOutput({44100, 2}, FakeClockMs);
  EXPECT_EQ(output->FramesWanted(), 0);
  fake_clock_ms = 1000.05;  // 2.2 frames: only whole frames that have played
  EXPECT_EQ(output->FramesWanted(), 2);
  fake_clock_ms = 1010.0;
  EXPECT_EQ(output->FramesWanted(), 441);
  std::string error;
  ASSERT_TRUE(output->Write(nullptr, 400, &error));
  EXPECT_EQ(output->FramesWanted(), 41);
  // A long stall is caught up in bounded steps.
  fake_clock_ms = 1010.0 + 60000.0;
  EXPECT_EQ(output->FramesWanted(), 65536);
  // A clock set back asks for nothing.
  fake_clock_ms = 0.0;
  EXPECT_EQ(output->FramesWanted(), 0);
}

struct CountingRender {
  std::atomic<int64_t> frames{0};
  std::atomic<int> largest_call{0};
  static int Render(int16_t* out, int frames, void* context) {
    auto* self = static_cast<CountingRender*>(context);
    std::fill(out, out + frames * 2, int16_t{0});
    self->frames += frames;
    if (frames > self->largest_call) self->largest_call = frames;
    return kMusicOk;
  }
};

TEST(BackgroundPlayer, RendersAtTheOutputsPaceAndStopsCleanly) {
  fake_clock_ms = 0.0;
  auto output = OpenSilentOutput({22050, 2}, FakeClockMs);
  CountingRender render;
  BackgroundPlayer player;
  player.SetOutput(output.get());
  player.SetRender(CountingRender::Render, &render);
  player.Start(100);  // 5 ms poll period
  EXPECT_TRUE(player.Running());
  fake_clock_ms = 500.0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (render.frames < 11025 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // Let a few more polls pass: with the clock standing still nothing more
  // may be rendered.
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(render.frames, 11025);
  EXPECT_LE(render.largest_call, 1024);
  player.Stop();
  EXPECT_FALSE(player.Running());
  fake_clock_ms = 1000.0;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(render.frames, 11025) << "rendered after Stop";
  player.Stop();  // a second stop is harmless
}

int FailingRender(int16_t* /*out*/, int /*frames*/, void* /*context*/) {
  return kMusicInvalidPatternData;
}

TEST(SdlOutput, KeepsAboutTheBufferLengthQueued) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  std::string error;
  auto output = OpenSdlOutput({8000, 2}, 100, &error);
  ASSERT_NE(output, nullptr) << error;
  EXPECT_EQ(output->FramesWanted(), 800);
  std::vector<int16_t> frames(2 * 500, 0);
  ASSERT_TRUE(output->Write(frames.data(), 500, &error)) << error;
  // The device may have played a little of it already.
  const int wanted = output->FramesWanted();
  EXPECT_GE(wanted, 300);
  EXPECT_LT(wanted, 800);
  // A song starting drops the queued silence and is heard at once.
  output->DropQueued();
  EXPECT_EQ(output->FramesWanted(), 800);
  EXPECT_TRUE(output->Close(&error));
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
    if (fallback) player.SetSilentFallback({8000, 1}, FakeClockMs);
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
  fake_clock_ms = 0.0;
  BreakingOutput card(true);
  Playing playing(&card, true);
  testing::internal::CaptureStderr();
  playing.Steps(3);  // the third write fails
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(playing.rendered, 300);
  EXPECT_NE(said.find("Breaking: unplugged; playing on without sound\n"), std::string::npos)
      << said;
  fake_clock_ms = 250.0;  // a quarter second at 8000 Hz
  playing.Steps(2);
  EXPECT_EQ(card.writes, 3) << "the failed card was written again";
  EXPECT_EQ(playing.rendered, 300 + 2000);
}

// A render error on the playback thread, a file output failing, or a card
// failing where no silent output may take over end the process.
TEST(BackgroundPlayerDeathTest, RenderOrOutputErrorsEndTheProcessWith255) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        fake_clock_ms = 0.0;
        auto output = OpenSilentOutput({8000, 1}, FakeClockMs);
        BackgroundPlayer player;
        player.SetOutput(output.get());
        player.SetRender(FailingRender, nullptr);
        player.Start(0);
        fake_clock_ms = 100.0;
        std::this_thread::sleep_for(std::chrono::seconds(5));
      },
      ::testing::ExitedWithCode(255), "Invalid pattern data");
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
