// Offline rendering: the same bytes every time, a start at T equal to the
// tail of a render from 0 sample for sample, the song's end, WAV output and
// the faults it reports.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "music/music_render.h"
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
  const std::string xm_path = TempPath("song.xm");
  WriteBytes(xm_path, std::vector<uint8_t>(std::begin("Extended Module: x"),
                                           std::end("Extended Module: x")));
  EXPECT_FALSE(renderer.Open(xm_path.c_str(), options, &error));
  EXPECT_NE(error.find(xm_path), std::string::npos);
  EXPECT_NE(error.find("ends inside its header"), std::string::npos) << error;
  std::remove(xm_path.c_str());
  options.rate_hz = 100;
  EXPECT_FALSE(renderer.Open(module_path_.c_str(), options, &error));
  options.rate_hz = 8000;
  options.start_seconds = -1;
  EXPECT_FALSE(renderer.Open(module_path_.c_str(), options, &error));
}

}  // namespace
