// End-to-end captures on the default content: frames and sound of the
// requested part, a frame equal to the screenshot of the same time, and the
// faults a capture survives with nothing left behind (no ffmpeg, a dying
// encoder, a full disk, SIGINT, SIGTERM).
#include <gtest/gtest.h>
#include <signal.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "music/wav_file.h"
#include "run_program.h"
#include "storage/png_file.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

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
  const TempFolder temp;
  const std::string folder = temp / "planet";
  // Two drawing threads: each frame is drawn while the next is evaluated.
  ProgramResult run = RunProgram(Veyrith({"--capture", folder, "--from", "100", "--to", "102",
                                          "--fps", "10", "--scale", "2", "--threads", "2"}));
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(Contains(run.err, "captured 20 frames")) << run.err;
  EXPECT_FALSE(fs::exists(folder + ".part"));
  // 20 pictures and the music.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 21);
  const PngPicture last = ReadPicture(folder + "/frame_000019.png");
  EXPECT_EQ(last.width * 10000 + last.height, 1280 * 10000 + 960);
  WavData wav;
  std::string error;
  ASSERT_TRUE(ReadWavFile(folder + "/music.wav", &wav, &error)) << error;
  EXPECT_EQ(wav.rate_hz, 44100);
  EXPECT_EQ(wav.samples.size(), 2u * 2 * 44100);

  // Frame 15 shows demo time 100 + 15 / 10 s: the screenshot of 101.5 s,
  // pixel for pixel once the enlargement is undone.
  const std::string shot = temp / "shot.png";
  ProgramResult screenshot = RunProgram(Veyrith({"--screenshot", "101.5", shot}));
  ASSERT_EQ(screenshot.exit_code, 0) << screenshot.err;
  const PngPicture expected = ReadPicture(shot);
  const PngPicture frame = ReadPicture(folder + "/frame_000015.png");
  ASSERT_EQ(expected.width, 640);
  long differences = 0;
  for (int i = 0; i < 640 * 480; ++i) {
    differences += std::memcmp(PixelAt(expected, i % 640, i / 640),
                               PixelAt(frame, 2 * (i % 640) + 1, 2 * (i / 640) + 1), 3) != 0;
  }
  EXPECT_EQ(differences, 0);

  // The music alone lasts from --from to --to.
  run = RunProgram(Veyrith({"--capture", temp / "part.wav", "--from", "100", "--to", "102.5"}));
  ASSERT_EQ(run.exit_code, 0) << run.err;
  ASSERT_TRUE(ReadWavFile(temp / "part.wav", &wav, &error)) << error;
  EXPECT_EQ(wav.samples.size(), 2u * 110250);
}

bool HaveFfmpeg() {
  return std::system("command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null") == 0;
}

// Every fault ends the capture with exit 1 and a message that names it, and
// leaves the output's folder as empty as it was.
TEST(CaptureProgram, FaultsEndTheCaptureWithTheirReasonAndNothingWritten) {
  const TempFolder tools;
  // An encoder that takes a few pictures, then gives up.
  const std::string dying = tools / "dying-encoder";
  std::ofstream(dying) << "#!/bin/sh\nhead -c 3000000 >/dev/null\n"
                       << "echo 'fake encoder: out of memory' >&2\nexit 1\n";
  chmod(dying.c_str(), 0755);
  struct Case {
    const char* output;
    std::vector<std::pair<std::string, std::string>> environment;  // none: a full disk
    const char* reason;
  };
  const Case cases[] = {
      {"demo.mp4", {{"PATH", tools.path()}}, "a video needs ffmpeg"},
      {"demo.mp4", {{"VEYRITH_FFMPEG", dying}}, "fake encoder: out of memory"},
      {"frames", {}, "File too large"},
      {"music.wav", {}, "File too large"},
      {"demo.mkv", {}, "File too large"},  // quoted from ffmpeg
  };
  for (const Case& c : cases) {
    if (Contains(c.output, ".mkv") && !HaveFfmpeg()) continue;
    const TempFolder temp;
    ProgramRun run = Veyrith({"--capture", temp / c.output, "--from", "160", "--to", "162"});
    if (c.environment.empty()) {  // ulimit -f: a disk that fills up at once
      run.arguments.insert(run.arguments.begin(),
                           {"/bin/sh", "-c", "ulimit -f 64 && exec \"$@\"", "sh"});
    }
    run.set_environment = c.environment;
    const ProgramResult result = RunProgram(run);
    EXPECT_EQ(result.exit_code, 1) << c.output << c.reason << result.err;
    EXPECT_TRUE(Contains(result.err, "capture failed")) << result.err;
    EXPECT_TRUE(Contains(result.err, c.reason)) << c.reason << ": " << result.err;
    EXPECT_TRUE(fs::is_empty(temp.path())) << c.output << " " << c.reason;
  }
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
    const TempFolder temp;
    RunningProgram capture = StartProgram(Veyrith({"--capture", temp / c.output}));
    bool started = false;
    for (int i = 0; i < 600 && !started; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      started = fs::exists(temp / c.partial);
    }
    EXPECT_TRUE(started) << "the capture did not begin: " << c.output;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(capture.pid, c.signal);
    const ProgramResult result = WaitProgram(capture, 30.0);
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    EXPECT_TRUE(Contains(result.err, "interrupted")) << result.err;
    EXPECT_TRUE(fs::is_empty(temp.path())) << c.output;
  }
}

}  // namespace
