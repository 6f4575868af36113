// The pieces of a capture: frame conversion, output names, frame and sample
// arithmetic, the sink and queue that drive the virtual clock and stop on any
// failure, the ffmpeg writer (nothing left behind on failure) and the sound
// track. The folder of PNG frames is the end-to-end captures' matter.
#include "shell/capture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "music/tiny_s3m.h"
#include "music/wav_file.h"
#include "platform/clock.h"
#include "shell/capture_frames.h"
#include "shell/capture_queue.h"
#include "shell/capture_sound.h"
#include "shell/capture_video.h"
#include "shell/shell_state.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

TEST(CaptureFrames, TopRowFirstWidenedAndEnlargedByWholePixels) {
  // A 2x2 screen in memory with a stride of 3: row 0 is the bottom row.
  const uint16_t memory[] = {0x0841, 0x0000, 0x7777,   // bottom: dark grey, black
                             0xFFFF, 0xF800, 0x7777};  // top: white, pure red
  std::vector<uint8_t> rgb(4 * 4 * 3, 0x5A);
  ConvertFrameToRgb(memory, 2, 2, 3, 2, rgb.data());
  const std::vector<int> expected[2][2] = {{{255, 255, 255}, {255, 0, 0}}, {{8, 8, 8}, {0, 0, 0}}};
  for (int i = 0; i < 16; ++i) {
    const uint8_t* p = &rgb[i * 3];
    EXPECT_EQ((std::vector<int>{p[0], p[1], p[2]}), expected[i / 8][i % 4 / 2]) << i;
  }
}

TEST(CaptureFrames, YuvPicturesHaveTheStandardValuesAndMatchFfmpeg) {
  // The textbook BT.601 values of the primaries in the video range.
  const std::vector<int> cases[] = {{0xFFFF, 235, 128, 128},
                                    {0x0000, 16, 128, 128},
                                    {0xF800, 81, 90, 240},
                                    {0x07E0, 145, 54, 34},
                                    {0x001F, 41, 240, 110}};
  for (const std::vector<int>& c : cases) {
    const std::vector<uint16_t> frame(4, static_cast<uint16_t>(c[0]));
    uint8_t yuv[6];
    ConvertFrameToYuv420(frame.data(), 2, 2, 2, 1, yuv);
    EXPECT_EQ((std::vector<int>{c[0], yuv[0], yuv[3], yuv[4], yuv[5]}),
              (std::vector<int>{c[0], c[1], c[1], c[2], c[3]}));
  }
  if (std::system("command -v ffmpeg >/dev/null") != 0) GTEST_SKIP() << "needs ffmpeg";
  const int width = 24, height = 16;
  std::vector<uint16_t> frame(width * height);
  uint32_t seed = 12345;  // random colours: every chroma sample mixes four
  for (uint16_t& pixel : frame)
    pixel = static_cast<uint16_t>((seed = seed * 1664525u + 1013904223u) >> 16);
  for (const int scale : {1, 3}) {
    const int w = width * scale, h = height * scale;
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    ConvertFrameToRgb(frame.data(), width, height, width, scale, rgb.data());
    std::vector<uint8_t> ours(CapturePictureBytes(CapturePixels::kYuv420, w, h));
    ConvertFrameToYuv420(frame.data(), width, height, width, scale, ours.data());
    TempFolder temp;
    std::ofstream(temp / "in.rgb", std::ios::binary)
        .write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    // The area filter averages each 2x2 block, as the capture does.
    const std::string command = "ffmpeg -v error -f rawvideo -pix_fmt rgb24 -s " +
                                std::to_string(w) + "x" + std::to_string(h) + " -i '" +
                                temp / "in.rgb" + "' -sws_flags area+accurate_rnd " +
                                "-pix_fmt yuv420p -f rawvideo '" + temp / "out.yuv" + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(temp / "out.yuv", std::ios::binary);
    const std::vector<uint8_t> theirs((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(theirs.size(), ours.size());
    for (size_t i = 0; i < ours.size(); ++i) ASSERT_LE(std::abs(ours[i] - theirs[i]), 1) << scale;
  }
}

TEST(CaptureArithmetic, FramesBeforeTheEndAndSoundOfTheSameLength) {
  const struct {
    uint32_t from_ms, to_ms;
    double fps;
    long frames;
  } cases[] = {
      {0, 218000, 60, 13080},  // the whole demo: 218 s exactly, no extra frame
      {15000, 17000, 10, 20}, {0, 10000, 29.97, 300},  // 299.7 frames: the last starts before 10 s
      {15000, 15010, 60, 1},                           // shorter than a frame: one frame
      {100, 100, 60, 0},                               // nothing
      {200, 100, 60, 0},                               // backwards
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CaptureFrameCount(c.from_ms, c.to_ms, c.fps), c.frames) << c.from_ms << " " << c.fps;
  }
  EXPECT_EQ(CaptureSoundFrames(13080, 60, 44100), 218 * 44100);
  EXPECT_EQ(CaptureSoundFrames(7, 30, 48000), 11200);
}

// Keeps the pictures' first bytes; at frame `at` (from 0) fails with a full
// disk's message, after waiting for a cancel when asked to.
class ScriptedWriter final : public CaptureFrameWriter {
 public:
  ScriptedWriter(long at, bool wait_for_cancel) : at_(at), wait_(wait_for_cancel) {}
  bool Begin(int, int, std::string*) override { return true; }
  bool WriteFrame(const uint8_t* rgb, std::string* error) override {
    if (static_cast<long>(first_bytes.size()) == at_) {
      while (wait_ && !cancelled_.load()) usleep(1000);
      *error = "frames.part/frame_000003.png: No space left on device";
      return false;
    }
    first_bytes.push_back(rgb[0]);
    return true;
  }
  bool Finish(std::string*) override { return true; }
  void Abandon() override {}
  void Cancel() override { cancelled_.store(true); }
  std::vector<uint8_t> first_bytes;

 private:
  long at_;
  bool wait_;
  std::atomic<bool> cancelled_{false};
};

class CaptureSinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClockUseVirtual(true);
    platform::ClockSetVirtualMs(0.0);
    CaptureInterrupted().store(0);
    DemoRunning.store(1);
  }
  void TearDown() override {
    platform::ClockUseVirtual(false);
    CaptureInterrupted().store(0);
    DemoRunning.store(0);
  }
  // A 4x4 screen (stride 8) whose top row starts with shade, swapped and shown.
  static void Show(CaptureSink* sink, uint16_t shade, int interval = 1) {
    std::vector<uint16_t> frame(8 * 4, 0);
    frame[3 * 8] = shade;
    sink->Swapped(interval);
    sink->Present(frame.data(), 4, 4, 8, interval);
  }
};

TEST_F(CaptureSinkTest, RetraceFramesReachTheWriterInOrderAndMoveTheClock) {
  ScriptedWriter writer(-1, false);
  CaptureFrameQueue queue(&writer, 4 * 4 * 3, 2);
  std::string error;
  ASSERT_TRUE(queue.Start(&error));
  const long total = 13080;
  CaptureSink sink(&queue, CapturePixels::kRgb24, 4, 4, 1, total, 60.0, nullptr);
  ASSERT_TRUE(sink.Open(4, 4));
  EXPECT_FALSE(sink.Open(8, 4));
  Show(&sink, 0xFFFF, 0);  // a blanking swap is not a frame
  EXPECT_EQ(platform::GetTickCount(), 0u);
  Show(&sink, 0xF800);
  EXPECT_EQ(platform::GetTickCount(), 17u);  // 16.67 ms, to the nearest tick
  for (long k = 2; k <= 12000; ++k) Show(&sink, static_cast<uint16_t>(k % 2 ? 0 : 0xFFFF));
  // Frame 12000 is drawn at exactly 200 s: no drift from adding 16.67 ms.
  EXPECT_EQ(platform::GetTickCount(), 200000u);
  EXPECT_EQ(DemoRunning.load(), 1);
  for (long k = 12001; k <= total + 1; ++k) Show(&sink, 0);
  EXPECT_EQ(DemoRunning.load(), 0);  // the last frame stops the demo; the end row's is not kept
  ASSERT_TRUE(queue.Drain(&error)) << error;
  ASSERT_EQ(writer.first_bytes.size(), static_cast<size_t>(total));
  EXPECT_EQ((std::vector<int>(writer.first_bytes.begin(), writer.first_bytes.begin() + 3)),
            (std::vector<int>{255, 255, 0}));  // red, white, black
  EXPECT_FALSE(sink.failed());
}

TEST_F(CaptureSinkTest, AnyFailureOrInterruptStopsTheDemoWithItsReason) {
  struct Case {
    long writer_fails_at;
    const char* sound_error;
    int signal, signal_while_writer_hangs;
    const char* reason;  // empty: not a failure
  } const cases[] = {
      {3, nullptr, 0, 0, "No space left on device"},
      {-1, "music.s3m: cannot read", 0, 0, "music.s3m: cannot read"},
      {-1, nullptr, SIGTERM, 0, ""},
      {3, nullptr, 0, SIGINT, ""},  // a Ctrl-C while the demo thread waits for a stuck writer
  };
  for (const Case& c : cases) {
    SetUp();
    const bool hangs = c.signal_while_writer_hangs != 0;
    ScriptedWriter writer(c.writer_fails_at, hangs);
    CaptureFrameQueue queue(&writer, 4 * 4 * 3, 2, &CaptureInterrupted());
    std::string error;
    ASSERT_TRUE(queue.Start(&error));
    CaptureSink sink(&queue, CapturePixels::kRgb24, 4, 4, 1, 1000, 60.0, nullptr);
    for (int k = 0; k < 3; ++k) Show(&sink, 0);
    if (c.sound_error) queue.Fail(c.sound_error);
    if (c.signal) CaptureInterrupted().store(c.signal);
    std::thread signal_later([&c] {
      usleep(50000);
      if (c.signal_while_writer_hangs) CaptureInterrupted().store(c.signal_while_writer_hangs);
    });
    // The writer takes frames 0 to 2; the queue's two buffers hold 3 and 4
    // while frame 3 is written; the frame after those waits for its result.
    for (int k = 0; k < 3 && DemoRunning.load(); ++k) Show(&sink, 0);
    signal_later.join();
    EXPECT_EQ(DemoRunning.load(), 0) << c.reason;
    if (hangs) queue.Cancel();  // ends the wait, as killing a stuck encoder does
    EXPECT_TRUE(!hangs || writer.first_bytes.size() == 3u);
    EXPECT_EQ(hangs || queue.Drain(&error), c.signal != 0 || hangs) << c.reason;
    EXPECT_NE(sink.error().find(c.reason), std::string::npos) << sink.error();
    EXPECT_EQ(sink.failed(), *c.reason != '\0') << sink.error();
  }
}

// Ten grey pictures at 10 frames per second and a second of sound, through the
// given encoder; the writer's error, empty on success.
std::string EncodeClip(const VideoSettings& video) {
  FfmpegVideoWriter writer(video);
  std::string error, sound_error;
  if (!writer.Begin(320, 240, &error)) return error;  // pictures larger than a pipe holds
  std::vector<uint8_t> rgb(CapturePictureBytes(writer.pixels(), 320, 240));
  // As in a capture, the sound comes from its own thread: ffmpeg reads its inputs at its pace.
  std::thread sound([&writer, &sound_error, channels = video.sound_channels] {
    const std::vector<int16_t> silence(2 * 4410, 0);
    for (int k = 0; k < 10 && channels > 0; ++k) {
      if (!writer.WriteSound(silence.data(), 4410, &sound_error)) break;
    }
    writer.EndSound();
  });
  bool ok = true;
  for (int k = 0; k < 10 && ok; ++k) {
    std::fill(rgb.begin(), rgb.end(), static_cast<uint8_t>(k * 20));
    ok = writer.WriteFrame(rgb.data(), &error);
  }
  writer.EndPictures();
  sound.join();
  if (ok && sound_error.empty() && writer.Finish(&error)) return "";
  writer.Abandon();
  error += sound_error;
  return error.empty() ? "failed without a reason" : error;
}

TEST(FfmpegVideo, EveryQualityGivesAClipAsLongAsItsFramesWithItsSound) {
  if (FindFfmpeg().empty() || std::system("command -v ffprobe >/dev/null") != 0) {
    GTEST_SKIP() << "needs ffmpeg and ffprobe";
  }
  const struct {
    const char* quality;
    VideoContainer container;
    const char* file;
    const char* sound;
    const char* frames;  // Matroska does not count its frames
  } cases[] = {{"fast", VideoContainer::kMp4, "clip.mp4", "aac", "nb_frames=10"},
               {"balanced", VideoContainer::kMatroska, "clip.mkv", "flac", ""},
               {"best", VideoContainer::kMatroska, "clip.mkv", "flac", ""}};
  for (const auto& c : cases) {
    TempFolder temp;
    VideoSettings video;
    video.ffmpeg = FindFfmpeg();
    video.path = temp / c.file;
    video.container = c.container;
    video.fps = 10;
    video.sound_channels = 2;
    ASSERT_TRUE(ParseVideoQuality(c.quality, &video.quality)) << c.quality;
    ASSERT_EQ(EncodeClip(video), "") << c.quality;
    EXPECT_EQ(temp.Names(), std::vector<std::string>{c.file}) << c.quality;
    std::string probe;
    FILE* pipe = popen(("ffprobe -v error -show_entries "
                        "format=duration:stream=codec_name,width,pix_fmt,nb_frames "
                        "-of default=noprint_wrappers=1 '" +
                        video.path + "'")
                           .c_str(),
                       "r");
    for (char line[256]; pipe && std::fgets(line, sizeof line, pipe);) probe += line;
    if (pipe) pclose(pipe);
    for (const std::string& part :
         {std::string("codec_name=h264\nwidth=320"), std::string("pix_fmt=yuv420p\n") + c.frames,
          std::string("codec_name=") + c.sound, std::string("duration=")}) {
      ASSERT_NE(probe.find(part), std::string::npos) << c.quality << ": " << probe;
    }
    EXPECT_NEAR(std::atof(probe.c_str() + probe.rfind("duration=") + 9), 1.0, 0.05) << probe;
  }
}

TEST(FfmpegVideo, AnEncoderThatDiesLeavesNothingBehindAndIsQuoted) {
  signal(SIGPIPE, SIG_IGN);  // as during a capture: a closed pipe is an error of the write
  const std::pair<const char*, const char*> cases[] = {
      // The encoder's script, and what the error must quote.
      {"exit 0", "ffmpeg stopped taking"},  // stops at once without reading a byte
      {"head -c 100000 >/dev/null; echo 'killed' >&2; kill -9 $$", "killed"},
      {"cat >/dev/null; echo 'cannot write the file' >&2; exit 3", "exit status 3"},
  };
  for (const auto& [script, reason] : cases) {
    TempFolder temp;
    VideoSettings video;
    video.ffmpeg = temp / "encoder";
    std::ofstream(video.ffmpeg) << "#!/bin/sh\n" << script << "\n";
    chmod(video.ffmpeg.c_str(), 0755);
    video.path = temp / "clip.mp4";
    const std::string error = EncodeClip(video);
    EXPECT_NE(error.find(reason), std::string::npos) << script << ": " << error;
    EXPECT_EQ(temp.Names(), std::vector<std::string>{"encoder"}) << script;
  }
}

// An unreadable module gives a silent track of the full length, and an
// interrupted one no file; a track from time T is the tail of the track from 0.
TEST(CaptureSound, SilentWithoutItsModuleNothingWhenInterruptedAndALaterStartIsTheTail) {
  TempFolder temp;
  CaptureSoundSettings settings;
  settings.module_path = temp / "missing.s3m";
  settings.frames = 22050 + 7;
  settings.rate_hz = 22050;
  std::string warning, error;
  ASSERT_TRUE(WriteCaptureSound(settings, temp / "music.wav", nullptr, &warning, &error)) << error;
  EXPECT_NE(warning.find("missing.s3m"), std::string::npos) << warning;
  WavData silent, whole, tail;
  ASSERT_TRUE(ReadWavFile(temp / "music.wav", &silent, &error)) << error;
  EXPECT_EQ(silent.rate_hz, 22050);
  EXPECT_EQ(silent.samples, std::vector<int16_t>(2u * (22050 + 7), 0));
  std::atomic<int> interrupted{SIGINT};
  EXPECT_FALSE(WriteCaptureSound(settings, temp / "cut.wav", &interrupted, &warning, &error));
  EXPECT_EQ(temp.Names(), std::vector<std::string>{"music.wav"});

  WriteBytes(temp / "tiny.s3m", TinyS3M());
  settings.module_path = temp / "tiny.s3m";
  settings.rate_hz = 8000;
  settings.frames = 8000 * 4;
  ASSERT_TRUE(WriteCaptureSound(settings, temp / "whole.wav", nullptr, &warning, &error)) << error;
  settings.start_seconds = 2.5;
  settings.frames = 8000;
  ASSERT_TRUE(WriteCaptureSound(settings, temp / "tail.wav", nullptr, &warning, &error)) << error;
  ASSERT_TRUE(ReadWavFile(temp / "whole.wav", &whole, &error) &&
              ReadWavFile(temp / "tail.wav", &tail, &error))
      << error;
  const auto from = whole.samples.begin() + 2 * 20000;
  const std::vector<int16_t> expected(from, from + 2 * 8000);
  EXPECT_NE(expected, std::vector<int16_t>(expected.size(), 0));
  EXPECT_EQ(tail.samples, expected);
}

}  // namespace
