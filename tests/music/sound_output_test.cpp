// The sound outputs and the playback thread (a failing card giving way to
// silence, fatal errors; its pacing by the clock: LivePlayTest), the WAV
// writer and reader, the offline renderer (repeatable, seekable to a sample,
// the song's end, WAV output, faults) and vrtool mod as users run it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "music/background_player.h"
#include "music/music_errors.h"
#include "music/music_render.h"
#include "music/s3m_builder.h"
#include "music/sound_output.h"
#include "music/wav_file.h"
#include "temp_folder.h"
#include "tiny_s3m.h"

namespace {

// One file written and read back: the header's bytes, then the same file
// damaged in each way the reader refuses.
TEST(WavFile, HeaderBytesAndDamagedFilesRefused) {
  const TempFolder temp;
  const std::vector<int16_t> samples = {1, -1, 0x1234, -32768, 32767, 0};  // 3 stereo frames
  std::string error;
  ASSERT_TRUE(WriteWavFile(temp / "good.wav", samples.data(), 3, 22050, 2, &error)) << error;
  const std::vector<uint8_t> good = ReadBytes(temp / "good.wav");
  // clang-format off
  EXPECT_EQ(good, (std::vector<uint8_t>{
      'R', 'I', 'F', 'F', 48, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
      1, 0, 2, 0, 0x22, 0x56, 0, 0, 0x88, 0x58, 1, 0,  // PCM, stereo, 22050 Hz, 88200 bytes/s
      4, 0, 16, 0, 'd', 'a', 't', 'a', 12, 0, 0, 0,    // block align, bits, data size
      1, 0, 0xFF, 0xFF, 0x34, 0x12, 0, 0x80, 0xFF, 0x7F, 0, 0}));
  // clang-format on
  const struct {
    const char* what;
    size_t keep_bytes;  // truncate to this many bytes
    size_t at;          // then overwrite one byte here (if below keep_bytes)
    uint8_t value;
  } damages[] = {{"empty", 0, 0, 0},
                 {"not RIFF", good.size(), 0, 'X'},
                 {"not PCM", good.size(), 20, 3},
                 {"8-bit", good.size(), 34, 8},
                 {"data cut short", good.size() - 1, 99, 0},
                 {"no data chunk", 36, 99, 0}};
  const std::string damaged = temp / "damaged.wav";
  for (const auto& damage : damages) {
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
}

// (Writes in pieces round trip: the renderer's and the live play's WAV files.)
TEST(WavFile, AnAbandonedWriteLeavesTheOldFileAndAFailedOpenNamesThePath) {
  const TempFolder temp;
  const std::string path = temp / "stream.wav";
  const std::vector<int16_t> mono = {1, -2, 3};
  std::string error;
  ASSERT_TRUE(WriteWavFile(path, mono.data(), 3, 8000, 1, &error)) << error;
  {
    WavWriter abandoned;  // destroyed without Close
    ASSERT_TRUE(abandoned.Open(path, 44100, 2, &error));
    ASSERT_TRUE(abandoned.Write(mono.data(), 1, &error));
  }
  EXPECT_EQ(temp.Names(), std::vector<std::string>{"stream.wav"});
  WavData wav;
  ASSERT_TRUE(ReadWavFile(path, &wav, &error)) << error;
  EXPECT_EQ(wav.samples, mono);
  WavWriter writer;
  EXPECT_FALSE(writer.Open("/nonexistent-dir/x.wav", 44100, 2, &error));
  EXPECT_NE(error.find("/nonexistent-dir/x.wav"), std::string::npos);
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
        player.SetRender([](int16_t*, int, void*) { return int(kMusicInvalidPatternData); },
                         nullptr);
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

class MusicRenderTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteBytes(module_path_, TinyS3M()); }
  std::vector<int16_t> RenderWhole(const MusicRenderOptions& options) {
    std::vector<int16_t> samples;
    std::string error;
    EXPECT_TRUE(RenderMusicFile(module_path_.c_str(), options, &samples, &error)) << error;
    return samples;
  }
  const TempFolder temp_;
  const std::string module_path_ = temp_ / "tiny.s3m";
};

TEST_F(MusicRenderTest, SameBytesTwiceLastsTheSongAndPiecesAddUp) {
  MusicRenderOptions options;
  options.rate_hz = 8000;
  const std::vector<int16_t> first = RenderWhole(options);
  EXPECT_EQ(RenderWhole(options), first);
  // 64 rows x 6 ticks x 20 ms; the render stops at the tick where the song
  // passes its end, within one tick of that.
  EXPECT_NEAR(static_cast<double>(first.size()) / 2 / 8000, 7.68, 0.021);
  EXPECT_TRUE(std::any_of(first.begin(), first.end(), [](int16_t v) { return v != 0; }));

  options.length_seconds = 9.0;  // longer than the song: the sound goes on
  MusicRenderer renderer;
  std::string error;
  ASSERT_TRUE(renderer.Open(module_path_.c_str(), options, &error)) << error;
  std::vector<int16_t> pieces;
  std::vector<int16_t> block(2 * 777);
  while (!renderer.Finished()) {
    const int frames = renderer.Render(block.data(), 777, &error);
    ASSERT_GE(frames, 0) << error;
    pieces.insert(pieces.end(), block.begin(), block.begin() + 2 * frames);
  }
  EXPECT_EQ(renderer.FramesRendered(), 72000);
  EXPECT_EQ(renderer.Render(block.data(), 777, &error), 0);
  EXPECT_EQ(pieces, RenderWhole(options));
}

TEST_F(MusicRenderTest, StartAtTimeIsTheTailOfARenderFromZero) {
  for (int interpolation : {0, 1}) {
    MusicRenderOptions options;
    options.rate_hz = 11025;
    options.channels = interpolation ? 1 : 2;
    options.interpolation = interpolation;
    options.length_seconds = 6.0;
    const std::vector<int16_t> whole = RenderWhole(options);
    ASSERT_EQ(whole.size(), static_cast<size_t>(6 * 11025 * options.channels));
    // 2.5001 s is frame 27564.1..., rounded to 27564: not a tick boundary.
    options.start_seconds = 2.5001;
    options.length_seconds = 6.0 - 27564.0 / 11025;
    const std::vector<int16_t> tail = RenderWhole(options);
    const size_t skipped = 27564 * static_cast<size_t>(options.channels);
    ASSERT_EQ(tail.size(), whole.size() - skipped);
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), whole.begin() + static_cast<long>(skipped)))
        << "interpolation " << interpolation;
  }
}

TEST_F(MusicRenderTest, WavOutputProgressCancelAndFaults) {
  MusicRenderOptions options;
  options.rate_hz = 8000;
  options.channels = 1;
  std::vector<double> reports;
  options.progress = [&reports](double done, double total) {
    reports.push_back(done);
    EXPECT_LT(total, 0);  // until the song's end: no total known
    return true;
  };
  const std::string wav_path = temp_ / "render.wav";
  std::string error;
  ASSERT_TRUE(RenderMusicToWav(module_path_.c_str(), wav_path, options, &error)) << error;
  EXPECT_GE(reports.size(), 7u);
  EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
  WavData wav;
  ASSERT_TRUE(ReadWavFile(wav_path, &wav, &error)) << error;
  EXPECT_EQ(wav.rate_hz * 10 + wav.channels, 80001);
  options.progress = nullptr;
  EXPECT_EQ(wav.samples, RenderWhole(options));
  std::filesystem::remove(wav_path);
  // A cancel leaves no file behind.
  options.progress = [](double done, double) { return done < 2.0; };
  EXPECT_FALSE(RenderMusicToWav(module_path_.c_str(), wav_path, options, &error));
  EXPECT_NE(error.find("cancelled"), std::string::npos);
  EXPECT_EQ(temp_.Names(), std::vector<std::string>{"tiny.s3m"});

  // Every fault names the file.
  MusicRenderer renderer;
  EXPECT_FALSE(renderer.Open("/nonexistent/music.s3m", options, &error));
  EXPECT_NE(error.find("/nonexistent/music.s3m"), std::string::npos);
  options.rate_hz = 100;
  EXPECT_FALSE(renderer.Open(module_path_.c_str(), options, &error));
  options.rate_hz = 8000;
  options.start_seconds = -1;
  EXPECT_FALSE(renderer.Open(module_path_.c_str(), options, &error));
}

std::string VrtoolPath() {
  const char* bin = std::getenv("VEYRITH_BIN");
  return std::string(bin != nullptr ? bin : VEYRITH_BINARY_DIR "/bin") + "/vrtool";
}

// Runs vrtool with the arguments; returns its exit code and what it printed.
int RunVrtool(const std::string& arguments, std::string* output) {
  output->clear();
  std::FILE* pipe = popen((VrtoolPath() + " " + arguments + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, count);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// vrtool mod as users run it, on a song of two orders (pattern 1 broken off
// after row 15 by C00).
TEST(ModTool, InfoTraceRenderAndBadInputs) {
  if (!std::filesystem::exists(VrtoolPath())) GTEST_SKIP() << "vrtool is not built";
  S3mBuilder builder;
  builder.name = "Tool \"test\"";
  builder.samples.push_back(ConstantSample(64));
  builder.orders = {0, 1};
  builder.pattern_count = 2;
  builder.speed = 3;
  builder.Entry(0, {.row = 0, .note = 0x40, .instrument = 1});
  builder.Entry(1, {.row = 15, .channel = 1, .command = 'C', .info = 0});
  const TempFolder temp;
  const std::string module = temp / "tool.s3m";
  WriteBytes(module, builder.Build());
  std::string output;

  ASSERT_EQ(RunVrtool("mod info --json " + module, &output), 0) << output;
  // 80 rows of 3 ticks at 20 ms, after a lead-in of 2 ticks.
  EXPECT_EQ(output,
            "{\"name\": \"Tool \\\"test\\\"\", \"format\": \"s3m\", \"tag\": \"S3M\", "
            "\"channels\": 2, \"orders\": 2, \"patterns\": 2, \"instruments\": 1, \"samples\": 1, "
            "\"used_instruments\": 1, \"sampled_samples\": 1, \"speed\": 3, \"tempo\": 125, "
            "\"seconds\": 4.840}\n");
  ASSERT_EQ(RunVrtool("mod info " + module, &output), 0);
  EXPECT_NE(output.find("seconds:     4.840"), std::string::npos) << output;

  ASSERT_EQ(RunVrtool("mod trace " + module, &output), 0);
  EXPECT_EQ(output.substr(0, 12), "0 0 0\n0 0 1\n");
  EXPECT_NE(output.find("0 0 63\n1 1 0\n"), std::string::npos);
  EXPECT_EQ(output.substr(output.size() - 14), "1 1 14\n1 1 15\n");
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 80);

  ASSERT_EQ(
      RunVrtool("mod render --rate 8000 --mono --interpolate " + module + " " + (temp / "tool.wav"),
                &output),
      0)
      << output;
  // 4.84 s at 8000 Hz in whole ticks of 160 frames (8000 x 100 / 5000 + 1, even).
  EXPECT_EQ(std::filesystem::file_size(temp / "tool.wav"), 44u + 2 * 242 * 160);
  EXPECT_EQ(temp.Names(), (std::vector<std::string>{"tool.s3m", "tool.wav"}));

  WriteBytes(temp / "not_a_module.s3m", std::vector<uint8_t>(200, 7));
  EXPECT_EQ(RunVrtool("mod info " + (temp / "not_a_module.s3m"), &output), 1);
  EXPECT_NE(output.find(temp / "not_a_module.s3m: cannot read the module: not a module"),
            std::string::npos)
      << output;
  EXPECT_EQ(RunVrtool("mod render " + module, &output), 2);
  EXPECT_EQ(RunVrtool("mod render --rate 10 a b", &output), 2);
}

}  // namespace
