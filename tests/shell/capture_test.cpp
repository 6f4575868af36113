// The pieces of a capture: frame conversion and enlargement, the names that
// choose the output, the frame and sample arithmetic that keeps picture and
// sound together, the frame sink and queue that drive the virtual clock and
// stop on any failure, the PNG folder and ffmpeg writers (nothing left
// behind on failure), the sound track and the progress line.
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

#include "music/wav_file.h"
#include "platform/clock.h"
#include "shell/capture_frames.h"
#include "shell/capture_progress.h"
#include "shell/capture_queue.h"
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
  // An executable shell script of that name holding body.
  std::string Script(const std::string& name, const std::string& body) const {
    const std::string path = *this / name;
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    chmod(path.c_str(), 0755);
    return path;
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
  const std::vector<int> expected[2][2] = {{{255, 255, 255}, {255, 0, 0}}, {{8, 8, 8}, {0, 0, 0}}};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const uint8_t* p = &rgb[(y * 4 + x) * 3];
      EXPECT_EQ((std::vector<int>{p[0], p[1], p[2]}), expected[y / 2][x / 2]) << x << "," << y;
    }
  }
}

TEST(CaptureFrames, YuvPicturesHaveTheStandardValues) {
  // The textbook BT.601 values of the primaries in the video range.
  struct Case {
    uint16_t rgb565;
    int y, u, v;
  };
  const Case cases[] = {{0xFFFF, 235, 128, 128},
                        {0x0000, 16, 128, 128},
                        {0xF800, 81, 90, 240},
                        {0x07E0, 145, 54, 34},
                        {0x001F, 41, 240, 110}};
  for (const Case& c : cases) {
    const uint16_t frame[4] = {c.rgb565, c.rgb565, c.rgb565, c.rgb565};
    uint8_t yuv[6];
    ConvertFrameToYuv420(frame, 2, 2, 2, 1, yuv);
    EXPECT_EQ((std::vector<int>{yuv[0], yuv[3], yuv[4], yuv[5]}),
              (std::vector<int>{c.y, c.y, c.u, c.v}))
        << std::hex << c.rgb565;
  }
}

TEST(CaptureFrames, YuvPicturesMatchFfmpegsConversionOfTheRgbPictures) {
  if (std::system("command -v ffmpeg >/dev/null") != 0) GTEST_SKIP() << "needs ffmpeg";
  const int width = 24, height = 16;
  std::vector<uint16_t> frame(width * height);
  uint32_t seed = 12345;
  for (uint16_t& pixel : frame) {  // random colours: every chroma sample mixes four
    seed = seed * 1664525u + 1013904223u;
    pixel = static_cast<uint16_t>(seed >> 16);
  }
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
    const std::string command =
        "ffmpeg -v error -f rawvideo -pix_fmt rgb24 -s " + std::to_string(w) + "x" +
        std::to_string(h) + " -i '" + temp / "in.rgb" +
        "' -sws_flags area+accurate_rnd -pix_fmt yuv420p -f rawvideo '" + temp / "out.yuv" + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(temp / "out.yuv", std::ios::binary);
    const std::vector<uint8_t> theirs((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
    ASSERT_EQ(theirs.size(), ours.size());
    int largest = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
      largest = std::max(largest, std::abs(ours[i] - theirs[i]));
    }
    EXPECT_LE(largest, 1) << "scale " << scale;
  }
}

TEST(CaptureNames, TheExtensionChoosesTheOutput) {
  const std::pair<const char*, CaptureKind> cases[] = {
      {"demo.mp4", CaptureKind::kVideoMp4},      {"build/Demo.MP4", CaptureKind::kVideoMp4},
      {"demo.mkv", CaptureKind::kVideoMatroska}, {"music.wav", CaptureKind::kSoundOnly},
      {"frames", CaptureKind::kFrameFolder},     {"out.d/", CaptureKind::kFrameFolder},
      {"demo.avi", CaptureKind::kUnknown},       {"", CaptureKind::kUnknown},
  };
  for (const auto& [name, kind] : cases) EXPECT_EQ(CaptureKindOf(name), kind) << name;
}

TEST(CaptureArithmetic, FramesBeforeTheEndAndSoundOfTheSameLength) {
  struct Case {
    uint32_t from_ms, to_ms;
    double fps;
    long frames;
  };
  const Case cases[] = {
      {0, 218000, 60, 13080},  // the whole demo: 218 s exactly, no extra frame
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
  EXPECT_EQ(CaptureSoundFrames(7, 30, 48000), 11200);
}

// Keeps the first pictures' first bytes; fails at frame fail_at (from 0)
// with a full disk's message, or waits there until cancelled.
class ScriptedWriter final : public CaptureFrameWriter {
 public:
  enum class AtFrame { kFail, kWaitForCancel };
  ScriptedWriter(long at, AtFrame what) : at_(at), what_(what) {}
  bool Begin(int, int, std::string*) override { return true; }
  bool WriteFrame(const uint8_t* rgb, std::string* error) override {
    if (static_cast<long>(first_bytes.size()) == at_) {
      while (what_ == AtFrame::kWaitForCancel && !cancelled_.load()) usleep(1000);
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
  AtFrame what_;
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
  // A 4x4 screen (stride 8) whose top row starts with shade.
  void Show(CaptureSink* sink, uint16_t shade, int interval = 1) {
    std::vector<uint16_t> frame(8 * 4, 0);
    frame[3 * 8] = shade;
    sink->Present(frame.data(), 4, 4, 8, interval);
  }
};

TEST_F(CaptureSinkTest, RetraceFramesReachTheWriterInOrderAndMoveTheClock) {
  ScriptedWriter writer(-1, ScriptedWriter::AtFrame::kFail);
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
  EXPECT_EQ(writer.first_bytes[0], 255);  // red
  EXPECT_EQ(writer.first_bytes[1], 255);
  EXPECT_EQ(writer.first_bytes[2], 0);
  EXPECT_EQ(sink.frames_done(), total);
  EXPECT_FALSE(sink.failed());
}

TEST_F(CaptureSinkTest, AnyFailureOrInterruptStopsTheDemoWithItsReason) {
  enum class Fault { kWriterFails, kSoundFails, kInterrupt, kInterruptWhileTheWriterHangs };
  for (const Fault fault : {Fault::kWriterFails, Fault::kSoundFails, Fault::kInterrupt,
                            Fault::kInterruptWhileTheWriterHangs}) {
    SetUp();
    const bool hangs = fault == Fault::kInterruptWhileTheWriterHangs;
    ScriptedWriter writer(
        fault == Fault::kWriterFails || hangs ? 3 : -1,
        hangs ? ScriptedWriter::AtFrame::kWaitForCancel : ScriptedWriter::AtFrame::kFail);
    CaptureFrameQueue queue(&writer, 4 * 4 * 3, 2, &CaptureInterrupted());
    std::string error;
    ASSERT_TRUE(queue.Start(&error));
    CaptureSink sink(&queue, CapturePixels::kRgb24, 4, 4, 1, 1000, 60.0, nullptr);
    for (int k = 0; k < 3; ++k) Show(&sink, 0);
    if (fault == Fault::kSoundFails) queue.Fail("music.s3m: cannot read");
    if (fault == Fault::kInterrupt) CaptureInterrupted().store(SIGTERM);
    // A Ctrl-C that comes while the demo thread waits for a stuck writer.
    std::thread signal_later([hangs] {
      usleep(50000);
      if (hangs) CaptureInterrupted().store(SIGINT);
    });
    // The writer takes frames 0 to 2; the queue's two buffers hold 3 and 4
    // while frame 3 is written; the frame after those waits for its result.
    for (int k = 0; k < 3 && DemoRunning.load(); ++k) Show(&sink, 0);
    signal_later.join();
    EXPECT_EQ(DemoRunning.load(), 0) << static_cast<int>(fault);
    if (hangs) {
      queue.Cancel();  // ends the wait, as killing a stuck encoder does
      EXPECT_EQ(writer.first_bytes.size(), 3u);
      EXPECT_FALSE(sink.failed()) << sink.error();
      continue;
    }
    const bool drained = queue.Drain(&error);
    EXPECT_EQ(drained, fault == Fault::kInterrupt);
    const char* reason = fault == Fault::kWriterFails  ? "No space left on device"
                         : fault == Fault::kSoundFails ? "music.s3m: cannot read"
                                                       : "";
    EXPECT_NE(sink.error().find(reason), std::string::npos) << sink.error();
    EXPECT_EQ(sink.failed(), fault != Fault::kInterrupt);
  }
}

TEST(PngFolder, FramesAppearUnderTheNameOnlyWhenFinished) {
  TempFolder temp;
  std::vector<uint8_t> rgb(6 * 4 * 3, 200);
  std::string error;
  // Finished, abandoned, and dropped without either.
  for (const char* name : {"frames", "abandoned", "dropped"}) {
    PngFolderWriter writer(temp / name);
    ASSERT_TRUE(writer.Begin(6, 4, &error)) << error;
    ASSERT_TRUE(writer.WriteFrame(rgb.data(), &error)) << error;
    ASSERT_TRUE(writer.WriteFrame(rgb.data(), &error)) << error;
    EXPECT_FALSE(fs::exists(temp / name));
    if (name == std::string("frames")) {
      ASSERT_TRUE(writer.Finish(&error)) << error;
    } else if (name == std::string("abandoned")) {
      writer.Abandon();
    }
  }
  EXPECT_EQ(temp.Names(), std::vector<std::string>{"frames"});
  PngPicture picture;
  ASSERT_TRUE(ReadPng(temp / "frames/frame_000001.png", &picture, &error)) << error;
  EXPECT_EQ(picture.width * 10 + picture.height, 64);
  EXPECT_FALSE(fs::exists(temp / "frames/frame_000002.png"));
}

bool HaveFfmpeg() {
  return !FindFfmpeg().empty() && std::system("command -v ffprobe >/dev/null") == 0;
}

std::string Probe(const std::string& path, const std::string& entries) {
  const std::string command = "ffprobe -v error -show_entries " + entries +
                              " -of default=noprint_wrappers=1 '" + path + "'";
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) text += line;
    pclose(pipe);
  }
  return text;
}

// Ten grey pictures at 10 frames per second and a second of sound, through the
// given encoder; the writer's error, empty on success.
std::string EncodeClip(const VideoSettings& video) {
  FfmpegVideoWriter writer(video);
  std::string error;
  // Each picture larger than a pipe holds, so a stopped encoder is noticed.
  if (!writer.Begin(320, 240, &error)) return error;
  std::vector<uint8_t> rgb(CapturePictureBytes(writer.pixels(), 320, 240));
  // As in a capture, the sound comes from a thread of its own: ffmpeg reads
  // its two inputs at its own pace.
  std::string sound_error;
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
  ok = ok && sound_error.empty();
  if (!ok && error.empty()) error = sound_error;
  if (ok && writer.Finish(&error)) return "";
  writer.Abandon();
  return error.empty() ? "failed without a reason" : error;
}

TEST(FfmpegVideo, EveryQualityGivesAClipAsLongAsItsFramesWithItsSound) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "needs ffmpeg and ffprobe";
  for (const char* name : {"fast", "balanced", "best"}) {
    TempFolder temp;
    VideoSettings video;
    video.ffmpeg = FindFfmpeg();
    video.path = temp / "clip.mkv";
    video.container = VideoContainer::kMatroska;
    video.fps = 10;
    video.sound_channels = 2;
    ASSERT_TRUE(ParseVideoQuality(name, &video.quality)) << name;
    ASSERT_EQ(EncodeClip(video), "") << name;
    EXPECT_EQ(temp.Names(), std::vector<std::string>{"clip.mkv"}) << name;
    const std::string format = Probe(video.path, "format=duration");
    EXPECT_NEAR(std::atof(format.c_str() + format.find('=') + 1), 1.0, 0.05) << name;
    const std::string streams = Probe(video.path, "stream=codec_name,width");
    EXPECT_NE(streams.find("codec_name=h264\nwidth=320"), std::string::npos) << streams;
    EXPECT_NE(streams.find("codec_name=flac"), std::string::npos) << streams;
  }
  VideoQuality quality;
  EXPECT_FALSE(ParseVideoQuality("good", &quality));
}

TEST(FfmpegVideo, AnEncoderThatDiesLeavesNothingBehindAndIsQuoted) {
  // As during a capture: a closed pipe is an error of the write, not a signal.
  signal(SIGPIPE, SIG_IGN);
  struct Case {
    const char* script;
    const char* reason;  // what the error must quote
  };
  const Case cases[] = {
      {"exit 0", "ffmpeg stopped taking"},  // stops at once without reading a byte
      {"head -c 100000 >/dev/null; echo 'out of memory' >&2; exit 1", "out of memory"},
      {"head -c 100000 >/dev/null; echo 'killed' >&2; kill -9 $$", "killed"},
      {"cat >/dev/null; echo 'cannot write the file' >&2; exit 3", "exit status 3"},
  };
  for (const Case& c : cases) {
    TempFolder temp;
    VideoSettings video;
    video.ffmpeg = temp.Script("encoder", c.script);
    video.path = temp / "clip.mp4";
    const std::string error = EncodeClip(video);
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.script << ": " << error;
    EXPECT_EQ(temp.Names(), std::vector<std::string>{"encoder"}) << c.script;
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
  // Interrupted, it leaves no file.
  std::atomic<int> interrupted{SIGINT};
  EXPECT_FALSE(WriteCaptureSound(settings, temp / "cut.wav", &interrupted, &warning, &error));
  EXPECT_EQ(temp.Names(), std::vector<std::string>{"music.wav"});
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
