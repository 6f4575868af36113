// The pieces of a capture: frame conversion and enlargement, the names that
// choose the output, the frame and sample arithmetic that keeps picture and
// sound together, the frame sink that drives the virtual clock, the PNG
// folder and ffmpeg writers (nothing left behind on failure), the sound
// track's length and start, and the progress line.
#include "shell/capture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "music/wav_file.h"
#include "platform/clock.h"
#include "shell/capture_frames.h"
#include "shell/capture_progress.h"
#include "shell/capture_sound.h"
#include "shell/capture_video.h"
#include "shell/shell_state.h"
#include "storage/png_file.h"

namespace fs = std::filesystem;

namespace {

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/veyrith-capture-test-XXXXXX";
    path_ = mkdtemp(pattern) ? pattern : "";
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string path_;
};

TEST(CaptureFrames, TopRowFirstWidenedAndEnlargedByWholePixels) {
  // A 2x2 screen in memory with a stride of 3: row 0 is the bottom row.
  const uint16_t memory[] = {0x0841, 0x0000, 0x7777,   // bottom: dark grey, black
                             0xFFFF, 0xF800, 0x7777};  // top: white, pure red
  std::vector<uint8_t> rgb(4 * 4 * 3, 0x5A);
  ConvertFrameToRgb(memory, 2, 2, 3, 2, rgb.data());
  const auto pixel = [&](int x, int y) {
    const uint8_t* p = &rgb[(y * 4 + x) * 3];
    return std::vector<int>{p[0], p[1], p[2]};
  };
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) {
      EXPECT_EQ(pixel(x, y), (std::vector<int>{255, 255, 255})) << x << "," << y;
      EXPECT_EQ(pixel(x + 2, y), (std::vector<int>{255, 0, 0})) << x << "," << y;
      EXPECT_EQ(pixel(x, y + 2), (std::vector<int>{8, 8, 8})) << x << "," << y;
      EXPECT_EQ(pixel(x + 2, y + 2), (std::vector<int>{0, 0, 0})) << x << "," << y;
    }
  }
}

TEST(CaptureNames, TheExtensionChoosesTheOutput) {
  EXPECT_EQ(CaptureKindOf("demo.mp4"), CaptureKind::kVideoMp4);
  EXPECT_EQ(CaptureKindOf("build/Demo.MP4"), CaptureKind::kVideoMp4);
  EXPECT_EQ(CaptureKindOf("demo.mkv"), CaptureKind::kVideoMatroska);
  EXPECT_EQ(CaptureKindOf("music.wav"), CaptureKind::kSoundOnly);
  EXPECT_EQ(CaptureKindOf("frames"), CaptureKind::kFrameFolder);
  EXPECT_EQ(CaptureKindOf("out.d/"), CaptureKind::kFrameFolder);
  EXPECT_EQ(CaptureKindOf("demo.avi"), CaptureKind::kUnknown);
  EXPECT_EQ(CaptureKindOf(""), CaptureKind::kUnknown);
}

TEST(CaptureArithmetic, FramesBeforeTheEndAndSoundOfTheSameLength) {
  struct Case {
    uint32_t from_ms, to_ms;
    double fps;
    long frames;
  };
  const Case cases[] = {
      {0, 218000, 60, 13080},  // the whole demo: 218 s exactly, no extra frame
      {0, 218000, 5, 1090},    //
      {15000, 17000, 10, 20},  //
      {0, 10000, 29.97, 300},  // 299.7 frames: the last starts before 10 s
      {15000, 15010, 60, 1},   // shorter than a frame: one frame
      {100, 100, 60, 0},       // nothing
      {200, 100, 60, 0},       // backwards
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CaptureFrameCount(c.from_ms, c.to_ms, c.fps), c.frames)
        << c.from_ms << ".." << c.to_ms << " at " << c.fps;
  }
  EXPECT_EQ(CaptureSoundFrames(13080, 60, 44100), 218 * 44100);
  EXPECT_EQ(CaptureSoundFrames(20, 10, 22050), 2 * 22050);
  EXPECT_EQ(CaptureSoundFrames(7, 30, 48000), 11200);
}

class CaptureSinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClockUseVirtual(true);
    platform::ClockSetVirtualMs(0.0);
    CaptureInterrupted().store(0);
    DemoRunning.store(1);
    frame_.assign(8 * 4, 0xFFFF);
  }
  void TearDown() override {
    platform::ClockUseVirtual(false);
    CaptureInterrupted().store(0);
    DemoRunning.store(0);
  }
  std::vector<uint16_t> frame_;
};

TEST_F(CaptureSinkTest, EachRetraceFrameIsWrittenAndMovesTheClockToTheNextFrame) {
  NullFrameWriter writer;
  CaptureSink sink(&writer, 4, 4, 1, 3, 60.0, nullptr);
  ASSERT_TRUE(sink.Open(4, 4));
  EXPECT_FALSE(sink.Open(8, 4));
  sink.Present(frame_.data(), 4, 4, 8, 0);  // a blanking swap is not a frame
  EXPECT_EQ(writer.frames(), 0);
  EXPECT_EQ(platform::GetTickCount(), 0u);
  sink.Present(frame_.data(), 4, 4, 8, 1);
  EXPECT_EQ(platform::GetTickCount(), 17u);  // 16.67 ms, to the nearest tick
  sink.Present(frame_.data(), 4, 4, 8, 1);
  EXPECT_EQ(platform::GetTickCount(), 33u);
  EXPECT_EQ(DemoRunning.load(), 1);
  sink.Present(frame_.data(), 4, 4, 8, 1);
  EXPECT_EQ(DemoRunning.load(), 0);         // the last frame stops the demo
  sink.Present(frame_.data(), 4, 4, 8, 1);  // the end row's frame is not kept
  EXPECT_EQ(writer.frames(), 3);
  EXPECT_EQ(sink.frames_done(), 3);
  EXPECT_FALSE(sink.failed());
}

TEST_F(CaptureSinkTest, ALongCaptureKeepsEveryFrameOnItsOwnMillisecond) {
  NullFrameWriter writer;
  const long total = 13080;
  CaptureSink sink(&writer, 4, 4, 1, total, 60.0, nullptr);
  for (long k = 1; k <= 12000; ++k) sink.Present(frame_.data(), 4, 4, 8, 1);
  // Frame 12000 is drawn at exactly 200 s: no drift from adding 16.67 ms.
  EXPECT_EQ(platform::GetTickCount(), 200000u);
}

TEST_F(CaptureSinkTest, AnInterruptStopsTheDemoWithoutWriting) {
  NullFrameWriter writer;
  CaptureSink sink(&writer, 4, 4, 1, 100, 60.0, nullptr);
  sink.Present(frame_.data(), 4, 4, 8, 1);
  CaptureInterrupted().store(1);
  sink.Present(frame_.data(), 4, 4, 8, 1);
  EXPECT_EQ(writer.frames(), 1);
  EXPECT_EQ(DemoRunning.load(), 0);
}

TEST(PngFolder, FramesAppearUnderTheNameOnlyWhenFinished) {
  TempFolder temp;
  const std::string folder = temp / "frames";
  std::vector<uint8_t> rgb(6 * 4 * 3, 200);
  {
    PngFolderWriter writer(folder);
    std::string error;
    ASSERT_TRUE(writer.Begin(6, 4, &error)) << error;
    ASSERT_TRUE(writer.WriteFrame(rgb.data(), &error)) << error;
    ASSERT_TRUE(writer.WriteFrame(rgb.data(), &error)) << error;
    EXPECT_FALSE(fs::exists(folder));
    ASSERT_TRUE(writer.Finish(&error)) << error;
  }
  EXPECT_EQ(temp.Names(), std::vector<std::string>{"frames"});
  PngPicture picture;
  std::string error;
  ASSERT_TRUE(ReadPng(folder + "/frame_000001.png", &picture, &error)) << error;
  EXPECT_EQ(picture.width, 6);
  EXPECT_EQ(picture.height, 4);
  EXPECT_FALSE(fs::exists(folder + "/frame_000002.png"));

  // An abandoned capture, and one whose writer is dropped, leave nothing.
  const std::string other = temp / "other";
  {
    PngFolderWriter writer(other);
    ASSERT_TRUE(writer.Begin(6, 4, &error));
    ASSERT_TRUE(writer.WriteFrame(rgb.data(), &error));
    writer.Abandon();
  }
  {
    PngFolderWriter writer(other);
    ASSERT_TRUE(writer.Begin(6, 4, &error));
  }
  EXPECT_EQ(temp.Names(), std::vector<std::string>{"frames"});
}

bool HaveFfmpeg() {
  return !FindFfmpeg().empty() && std::system("command -v ffprobe >/dev/null") == 0;
}

double ProbeSeconds(const std::string& path, const std::string& entry) {
  const std::string command = "ffprobe -v error -show_entries " + entry +
                              " -of default=noprint_wrappers=1:nokey=1 '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char line[128] = {};
  const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
  pclose(pipe);
  return got ? std::atof(line) : -1;
}

TEST(FfmpegVideo, AShortVideoWithItsSoundLastsAsLongAsItsFrames) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "needs ffmpeg and ffprobe";
  TempFolder temp;
  // One second of sound and ten pictures at 10 frames per second.
  std::vector<int16_t> sound(2 * 44100, 0);
  std::string error;
  ASSERT_TRUE(WriteWavFile(temp / "music.wav", sound.data(), 44100, 44100, 2, &error)) << error;
  VideoSettings video;
  video.ffmpeg = FindFfmpeg();
  video.path = temp / "clip.mkv";
  video.sound_path = temp / "music.wav";
  video.container = VideoContainer::kMatroska;
  video.fps = 10;
  FfmpegVideoWriter writer(video);
  ASSERT_TRUE(writer.Begin(64, 48, &error)) << error;
  std::vector<uint8_t> rgb(64 * 48 * 3);
  for (int k = 0; k < 10; ++k) {
    std::fill(rgb.begin(), rgb.end(), static_cast<uint8_t>(k * 20));
    ASSERT_TRUE(writer.WriteFrame(rgb.data(), &error)) << error;
  }
  ASSERT_TRUE(writer.Finish(&error)) << error;
  EXPECT_FALSE(fs::exists(video.path + ".part"));
  EXPECT_NEAR(ProbeSeconds(video.path, "format=duration"), 1.0, 0.05);
  EXPECT_EQ(ProbeSeconds(video.path, "stream=width"), 64);
}

TEST(FfmpegVideo, AnEncoderThatFailsLeavesNothingBehind) {
  TempFolder temp;
  // As during a capture: a closed pipe is an error of the write, not a signal.
  signal(SIGPIPE, SIG_IGN);
  VideoSettings video;
  video.ffmpeg = "/bin/false";  // stops at once without reading a byte
  video.path = temp / "clip.mp4";
  FfmpegVideoWriter writer(video);
  std::string error;
  ASSERT_TRUE(writer.Begin(640, 480, &error)) << error;
  std::vector<uint8_t> rgb(640 * 480 * 3, 1);
  bool wrote = true;
  for (int k = 0; k < 20 && wrote; ++k) wrote = writer.WriteFrame(rgb.data(), &error);
  const bool finished = wrote && writer.Finish(&error);
  if (!finished) writer.Abandon();
  EXPECT_FALSE(finished);
  EXPECT_NE(error.find("ffmpeg"), std::string::npos) << error;
  EXPECT_TRUE(temp.Names().empty());
}

TEST(FfmpegVideo, AMissingProgramIsNotFound) {
  const char* old = std::getenv("VEYRITH_FFMPEG");
  const std::string saved = old ? old : "";
  setenv("VEYRITH_FFMPEG", "/no/such/ffmpeg", 1);
  EXPECT_EQ(FindFfmpeg(), "");
  if (old) {
    setenv("VEYRITH_FFMPEG", saved.c_str(), 1);
  } else {
    unsetenv("VEYRITH_FFMPEG");
  }
}

TEST(CaptureSound, AnUnreadableModuleGivesASilentTrackOfTheFullLength) {
  TempFolder temp;
  CaptureSoundSettings settings;
  settings.module_path = temp / "missing.s3m";
  settings.frames = 22050 + 7;
  settings.rate_hz = 22050;
  std::string warning, error;
  ASSERT_TRUE(WriteCaptureSound(settings, temp / "music.wav", nullptr, &warning, &error)) << error;
  EXPECT_NE(warning.find("missing.s3m"), std::string::npos) << warning;
  WavData wav;
  ASSERT_TRUE(ReadWavFile(temp / "music.wav", &wav, &error)) << error;
  EXPECT_EQ(wav.rate_hz, 22050);
  EXPECT_EQ(wav.samples.size(), 2u * (22050 + 7));
  EXPECT_TRUE(
      std::all_of(wav.samples.begin(), wav.samples.end(), [](int16_t s) { return s == 0; }));
}

TEST(CaptureSound, AnInterruptLeavesNoFile) {
  TempFolder temp;
  std::atomic<int> interrupted{1};
  CaptureSoundSettings settings;
  settings.module_path = temp / "missing.s3m";
  settings.frames = 44100;
  std::string warning, error;
  EXPECT_FALSE(WriteCaptureSound(settings, temp / "music.wav", &interrupted, &warning, &error));
  EXPECT_TRUE(temp.Names().empty());
}

TEST(CaptureSound, ATrackFromTimeTIsTheTailOfTheTrackFromZero) {
  const std::string module = std::string(VEYRITH_BINARY_DIR) + "/content/music.s3m";
  if (!fs::exists(module)) GTEST_SKIP() << "needs the default content (" << module << ")";
  TempFolder temp;
  CaptureSoundSettings settings;
  settings.module_path = module;
  settings.rate_hz = 22050;
  settings.frames = 22050 * 4;
  std::string warning, error;
  ASSERT_TRUE(WriteCaptureSound(settings, temp / "whole.wav", nullptr, &warning, &error)) << error;
  EXPECT_TRUE(warning.empty()) << warning;
  settings.start_seconds = 2.5;
  settings.frames = 22050;
  ASSERT_TRUE(WriteCaptureSound(settings, temp / "tail.wav", nullptr, &warning, &error)) << error;
  WavData whole, tail;
  ASSERT_TRUE(ReadWavFile(temp / "whole.wav", &whole, &error)) << error;
  ASSERT_TRUE(ReadWavFile(temp / "tail.wav", &tail, &error)) << error;
  ASSERT_EQ(tail.samples.size(), 2u * 22050);
  const size_t offset = 2 * static_cast<size_t>(2.5 * 22050);
  const std::vector<int16_t> expected(whole.samples.begin() + offset,
                                      whole.samples.begin() + offset + tail.samples.size());
  EXPECT_TRUE(std::any_of(expected.begin(), expected.end(), [](int16_t s) { return s != 0; }));
  EXPECT_EQ(tail.samples, expected);
}

TEST(CaptureProgressLine, CountsRateAndTimeLeft) {
  EXPECT_EQ(CaptureProgress::Line(0, 100, 0.0),
            "[..............................] 0/100 frames  0 fps  ?:?? left");
  EXPECT_EQ(CaptureProgress::Line(50, 100, 10.0),
            "[###############...............] 50/100 frames  5 fps  0:10 left");
  EXPECT_EQ(CaptureProgress::Line(13080, 13080, 100.0),
            "[##############################] 13080/13080 frames  131 fps  0:00 left");
}

}  // namespace
