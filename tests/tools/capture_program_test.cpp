// End-to-end captures of the veyrith program on the default content: frames
// and sound of the requested part with the right sizes and lengths, a capture
// frame equal to the screenshot of the same demo time, a video whose length
// ffprobe confirms, the faults a capture survives (no ffmpeg, an encoder
// that dies, a full disk, SIGINT and SIGTERM) with nothing left behind, and
// screenshots and part-way starts of the effect rows.
#include <gtest/gtest.h>
#include <signal.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "music/wav_file.h"
#include "run_program.h"
#include "storage/png_file.h"

namespace fs = std::filesystem;

namespace {

std::string Veyrith() {
  return ProgramFolder() + "/veyrith";
}
std::string ContentFolder() {
  return std::string(VEYRITH_BINARY_DIR) + "/content";
}
bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

PngPicture ReadPicture(const std::string& path) {
  PngPicture picture;
  std::string error;
  EXPECT_TRUE(ReadPng(path, &picture, &error)) << error;
  return picture;
}

const uint8_t* PixelAt(const PngPicture& p, int x, int y) {
  return &p.pixels[(static_cast<size_t>(y) * p.width + x) * 3];
}

TEST(CaptureProgram, AFolderHoldsEveryFrameEnlargedAndTheMusicOfTheSameLength) {
  const std::string temp = MakeTemporaryFolder();
  const std::string folder = temp + "/logo";
  ProgramResult run = RunProgram(Command(
      {Veyrith(), "--capture", folder, "--from", "15", "--to", "17", "--fps", "10", "--scale", "2"},
      ContentFolder()));
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(Contains(run.err, "captured 20 frames")) << run.err;
  EXPECT_FALSE(fs::exists(folder + ".part"));
  long pictures = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    pictures += entry.path().extension() == ".png" ? 1 : 0;
  }
  EXPECT_EQ(pictures, 20);
  const PngPicture last = ReadPicture(folder + "/frame_000019.png");
  EXPECT_EQ(last.width, 1280);
  EXPECT_EQ(last.height, 960);
  WavData wav;
  std::string error;
  ASSERT_TRUE(ReadWavFile(folder + "/music.wav", &wav, &error)) << error;
  EXPECT_EQ(wav.rate_hz, 44100);
  EXPECT_EQ(wav.samples.size(), 2u * 2 * 44100);

  // Frame 15 shows demo time 15 + 15 / 10 s: the screenshot of 16.5 s,
  // pixel for pixel once the enlargement is undone.
  const std::string shot = temp + "/shot.png";
  ProgramResult screenshot =
      RunProgram(Command({Veyrith(), "--screenshot", "16.5", shot}, ContentFolder()));
  ASSERT_EQ(screenshot.exit_code, 0) << screenshot.err;
  const PngPicture expected = ReadPicture(shot);
  const PngPicture frame = ReadPicture(folder + "/frame_000015.png");
  ASSERT_EQ(expected.width, 640);
  long differences = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const uint8_t* a = PixelAt(expected, x, y);
      const uint8_t* b = PixelAt(frame, 2 * x + 1, 2 * y + 1);
      differences += (a[0] != b[0] || a[1] != b[1] || a[2] != b[2]) ? 1 : 0;
    }
  }
  EXPECT_EQ(differences, 0);
  fs::remove_all(temp);
}

TEST(CaptureProgram, TheMusicAloneLastsFromFromToTo) {
  const std::string temp = MakeTemporaryFolder();
  ProgramResult run = RunProgram(
      Command({Veyrith(), "--capture", temp + "/part.wav", "--from", "100", "--to", "102.5"},
              ContentFolder()));
  ASSERT_EQ(run.exit_code, 0) << run.err;
  WavData wav;
  std::string error;
  ASSERT_TRUE(ReadWavFile(temp + "/part.wav", &wav, &error)) << error;
  EXPECT_EQ(wav.samples.size(), 2u * 110250);
  fs::remove_all(temp);
}

bool HaveFfmpeg() {
  return std::system("command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null") == 0;
}

std::string Probe(const std::string& path, const std::string& stream, const std::string& entries) {
  const std::string command = "ffprobe -v error -select_streams " + stream + " -show_entries " +
                              entries + " -of default=noprint_wrappers=1 '" + path + "'";
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    pclose(pipe);
  }
  return text;
}

TEST(CaptureProgram, AVideoOfTheScrollerHasItsFramesAndItsSound) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "needs ffmpeg and ffprobe";
  const std::string temp = MakeTemporaryFolder();
  const std::string video = temp + "/scroller.mp4";
  ProgramResult run = RunProgram(
      Command({Veyrith(), "--capture", video, "--from", "160", "--to", "162", "--fps", "30"},
              ContentFolder()));
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::string picture =
      Probe(video, "v:0", "stream=codec_name,width,height,pix_fmt,nb_frames,duration");
  EXPECT_TRUE(Contains(picture, "codec_name=h264")) << picture;
  EXPECT_TRUE(Contains(picture, "width=640")) << picture;
  EXPECT_TRUE(Contains(picture, "pix_fmt=yuv420p")) << picture;
  EXPECT_TRUE(Contains(picture, "nb_frames=60")) << picture;
  EXPECT_TRUE(Contains(picture, "duration=2.000000")) << picture;
  const std::string sound = Probe(video, "a:0", "stream=codec_name,duration");
  EXPECT_TRUE(Contains(sound, "codec_name=aac")) << sound;
  const size_t at = sound.find("duration=");
  ASSERT_NE(at, std::string::npos) << sound;
  EXPECT_NEAR(std::atof(sound.c_str() + at + 9), 2.0, 0.03) << sound;
  EXPECT_FALSE(fs::exists(video + ".part"));
  fs::remove_all(temp);
}

// Every fault ends the capture with exit 1 and a message that names it, and
// leaves the output's folder as empty as it was.
TEST(CaptureProgram, FaultsEndTheCaptureWithTheirReasonAndNothingWritten) {
  const std::string tools = MakeTemporaryFolder();
  // An encoder that takes a few pictures, then gives up.
  const std::string dying = tools + "/dying-encoder";
  std::ofstream(dying) << "#!/bin/sh\nhead -c 3000000 >/dev/null\n"
                       << "echo 'fake encoder: out of memory' >&2\nexit 1\n";
  chmod(dying.c_str(), 0755);
  struct Case {
    const char* output;
    std::vector<std::pair<std::string, std::string>> environment;
    const char* file_size_limit;  // ulimit -f: a disk that fills up at once
    const char* reason;
    bool needs_ffmpeg;
  };
  const Case cases[] = {
      {"demo.mp4", {{"PATH", tools}}, nullptr, "a video needs ffmpeg", false},
      {"demo.mp4", {{"VEYRITH_FFMPEG", dying}}, nullptr, "fake encoder: out of memory", false},
      {"frames", {}, "64", "File too large", false},
      {"music.wav", {}, "64", "File too large", false},
      {"demo.mkv", {}, "64", "File too large", true},  // quoted from ffmpeg
  };
  for (const Case& c : cases) {
    if (c.needs_ffmpeg && !HaveFfmpeg()) continue;
    const std::string temp = MakeTemporaryFolder();
    std::vector<std::string> arguments = {
        Veyrith(), "--capture", temp + "/" + c.output, "--from", "160", "--to", "162"};
    if (c.file_size_limit) {
      arguments.insert(arguments.begin(),
                       {"/bin/sh", "-c",
                        std::string("ulimit -f ") + c.file_size_limit + " && exec \"$@\"", "sh"});
    }
    ProgramRun run = Command(arguments, ContentFolder());
    run.set_environment = c.environment;
    const ProgramResult result = RunProgram(run);
    EXPECT_EQ(result.exit_code, 1) << c.output << c.reason << result.err;
    EXPECT_TRUE(Contains(result.err, "capture failed")) << result.err;
    EXPECT_TRUE(Contains(result.err, c.reason)) << c.reason << ": " << result.err;
    EXPECT_TRUE(fs::is_empty(temp)) << c.output << " " << c.reason;
    fs::remove_all(temp);
  }
  fs::remove_all(tools);
}

TEST(CaptureProgram, SigintAndSigtermStopTheCaptureAndRemoveWhatItWrote) {
  struct Case {
    const char* output;
    const char* partial;  // a file whose appearance shows the capture is under way
    int signal;
    int exit_code;
  };
  const Case cases[] = {
      {"frames", "frames.part/frame_000002.png", SIGINT, 130},
      {"demo.mp4", "demo.mp4.part", SIGTERM, 143},
  };
  for (const Case& c : cases) {
    if (Contains(c.output, ".mp4") && !HaveFfmpeg()) continue;
    const std::string temp = MakeTemporaryFolder();
    RunningProgram capture =
        StartProgram(Command({Veyrith(), "--capture", temp + "/" + c.output}, ContentFolder()));
    bool started = false;
    for (int i = 0; i < 600 && !started; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      started = fs::exists(temp + "/" + c.partial);
    }
    EXPECT_TRUE(started) << "the capture did not begin: " << c.output;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(capture.pid, c.signal);
    const ProgramResult result = WaitProgram(capture, 30.0);
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    EXPECT_TRUE(Contains(result.err, "interrupted")) << result.err;
    EXPECT_TRUE(fs::is_empty(temp)) << c.output;
    fs::remove_all(temp);
  }
}

TEST(CaptureProgram, EffectRowsShowInScreenshotsAndRunsCanStartPartWay) {
  const std::string temp = MakeTemporaryFolder();
  ProgramResult logo =
      RunProgram(Command({Veyrith(), "--screenshot", "17", temp + "/logo.png"}, ContentFolder()));
  ASSERT_EQ(logo.exit_code, 0) << logo.err;
  ProgramResult bump =
      RunProgram(Command({Veyrith(), "--screenshot", "175", temp + "/bump.png"}, ContentFolder()));
  ASSERT_EQ(bump.exit_code, 0) << bump.err;
  const PngPicture logo_picture = ReadPicture(temp + "/logo.png");
  const PngPicture bump_picture = ReadPicture(temp + "/bump.png");
  long lit_logo_rows = 0;
  long lit_rows_outside = 0;
  long lit_rows_inside = 0;
  for (int y = 0; y < 480; ++y) {
    bool logo_lit = false;
    bool bump_lit = false;
    for (int x = 0; x < 640; ++x) {
      const uint8_t* a = PixelAt(logo_picture, x, y);
      const uint8_t* b = PixelAt(bump_picture, x, y);
      logo_lit = logo_lit || a[0] || a[1] || a[2];
      bump_lit = bump_lit || b[0] || b[1] || b[2];
    }
    lit_logo_rows += logo_lit ? 1 : 0;
    // The scroller fills screen rows 38 to 437; the frame's clear stays above and below.
    if (y < 38 || y > 437) {
      lit_rows_outside += bump_lit ? 1 : 0;
    } else {
      lit_rows_inside += bump_lit ? 1 : 0;
    }
  }
  EXPECT_GT(lit_logo_rows, 400);
  EXPECT_EQ(lit_rows_outside, 0);
  EXPECT_GT(lit_rows_inside, 100);

  // From 210 s to the end at 5 frames per second: 40 frames and the end row's.
  ProgramResult late = RunProgram(
      Command({Veyrith(), "--headless", "--fps", "5", "--start", "210"}, ContentFolder()));
  EXPECT_EQ(late.exit_code, 0) << late.err;
  EXPECT_TRUE(Contains(late.err, " 41 frames")) << late.err;
  fs::remove_all(temp);
}

}  // namespace
