// Offline rendering: the same bytes every time, a start at T equal to the
// tail of a render from 0 sample for sample, the song's end, WAV output and
// the faults it reports. Then vrtool mod as users run it: info (plain and
// --json), trace and render of a module built for the test, and the errors
// for a file that is no module.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "music/music_render.h"
#include "music/s3m_builder.h"
#include "music/wav_file.h"
#include "tiny_s3m.h"

namespace {

class MusicRenderTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteBytes(module_path_, TinyS3M()); }
  void TearDown() override { std::remove(module_path_.c_str()); }
  std::vector<int16_t> RenderWhole(const MusicRenderOptions& options) {
    std::vector<int16_t> samples;
    std::string error;
    EXPECT_TRUE(RenderMusicFile(module_path_.c_str(), options, &samples, &error)) << error;
    return samples;
  }
  std::string module_path_ = TempPath("tiny.s3m");
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
  const std::string wav_path = TempPath("render.wav");
  std::string error;
  ASSERT_TRUE(RenderMusicToWav(module_path_.c_str(), wav_path, options, &error)) << error;
  EXPECT_GE(reports.size(), 7u);
  EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
  WavData wav;
  ASSERT_TRUE(ReadWavFile(wav_path, &wav, &error)) << error;
  EXPECT_EQ(wav.rate_hz * 10 + wav.channels, 80001);
  options.progress = nullptr;
  EXPECT_EQ(wav.samples, RenderWhole(options));
  std::remove(wav_path.c_str());
  // A cancel leaves no file behind.
  options.progress = [](double done, double) { return done < 2.0; };
  EXPECT_FALSE(RenderMusicToWav(module_path_.c_str(), wav_path, options, &error));
  EXPECT_NE(error.find("cancelled"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(wav_path));
  EXPECT_FALSE(std::filesystem::exists(wav_path + ".part"));

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

// Runs a command line; returns its exit code and its standard output.
int RunCommand(const std::string& command, std::string* output) {
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, count);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ModToolTest : public testing::Test {
 protected:
  void SetUp() override {
    struct stat info {};
    if (stat(VrtoolPath().c_str(), &info) != 0) GTEST_SKIP() << "vrtool is not built";
    S3mBuilder builder;
    builder.name = "Tool \"test\"";
    builder.samples.push_back(ConstantSample(64));
    builder.orders = {0, 1};
    builder.pattern_count = 2;
    builder.speed = 3;
    builder.Entry(0, {.row = 0, .channel = 0, .note = 0x40, .instrument = 1});
    builder.Entry(1, {.row = 15, .channel = 1, .command = 'C', .info = 0});
    // One file per test: ctest runs the tests of this fixture side by side.
    const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
    module_path_ = TempPath("tool_test_" + test + ".s3m");
    WriteBytes(module_path_, builder.Build());
  }
  std::string module_path_;
};

TEST_F(ModToolTest, InfoTraceAndRender) {
  std::string json;
  ASSERT_EQ(RunCommand(VrtoolPath() + " mod info --json " + module_path_, &json), 0) << json;
  // 80 rows of 3 ticks at 20 ms, after a lead-in of 2 ticks.
  EXPECT_EQ(json,
            "{\"name\": \"Tool \\\"test\\\"\", \"format\": \"s3m\", \"tag\": \"S3M\", "
            "\"channels\": 2, \"orders\": 2, \"patterns\": 2, \"instruments\": 1, \"samples\": 1, "
            "\"used_instruments\": 1, \"sampled_samples\": 1, \"speed\": 3, \"tempo\": 125, "
            "\"seconds\": 4.840}\n");
  std::string text;
  ASSERT_EQ(RunCommand(VrtoolPath() + " mod info " + module_path_, &text), 0);
  EXPECT_NE(text.find("seconds:     4.840"), std::string::npos) << text;

  std::string trace;
  ASSERT_EQ(RunCommand(VrtoolPath() + " mod trace " + module_path_, &trace), 0);
  EXPECT_EQ(trace.substr(0, 12), "0 0 0\n0 0 1\n");
  EXPECT_NE(trace.find("0 0 63\n1 1 0\n"), std::string::npos);
  EXPECT_EQ(trace.substr(trace.size() - 14), "1 1 14\n1 1 15\n");
  EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 80);

  const std::string wav = TempPath("tool_test.wav");
  std::string output;
  ASSERT_EQ(RunCommand(VrtoolPath() + " mod render --rate 8000 --mono --interpolate " +
                           module_path_ + " " + wav,
                       &output),
            0)
      << output;
  struct stat info {};
  ASSERT_EQ(stat(wav.c_str(), &info), 0);
  // 4.84 s at 8000 Hz in whole ticks of 160 frames (8000 x 100 / 5000 + 1, even).
  EXPECT_EQ(info.st_size, 44 + 2 * 242 * 160);
  EXPECT_NE(stat((wav + ".part").c_str(), &info), 0);
  std::remove(wav.c_str());
}

TEST_F(ModToolTest, BadInputsAndUsage) {
  const std::string not_a_module = TempPath("not_a_module.s3m");
  WriteBytes(not_a_module, std::vector<uint8_t>(200, 7));
  std::string output;
  EXPECT_EQ(RunCommand(VrtoolPath() + " mod info " + not_a_module, &output), 1);
  EXPECT_NE(output.find(not_a_module + ": cannot read the module: not a module"), std::string::npos)
      << output;
  output.clear();
  EXPECT_EQ(RunCommand(VrtoolPath() + " mod render " + module_path_, &output), 2);
  output.clear();
  EXPECT_EQ(RunCommand(VrtoolPath() + " mod render --rate 10 a b", &output), 2);
}

}  // namespace
