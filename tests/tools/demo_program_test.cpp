// End-to-end runs of the veyrith program: its command line, its failure
// messages and exit codes, headless runs, and the real window under a virtual
// display ended by a key press. Screenshots are the captures' matter, which
// compare one with a captured frame.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "run_program.h"

namespace {

// Command lines that end before the demo plays, with the exit code and a
// part of what they print (on standard output for 0, standard error else).
TEST(DemoProgram, CommandLinesGiveTheirExitCodesAndMessages) {
  const struct {
    std::vector<std::string> args;
    int exit_code;
    std::vector<std::string> messages;
  } cases[] = {
      {{"--help"}, 0, {"--headless", "--fps", "--screenshot", "--fullscreen", "--list-rows"}},
      {{"--list-rows"}, 0, {"bump-lit scroller", "218.0"}},
      {{"--frobnicate"}, 2, {"--frobnicate"}},
      {{"--headless", "--fps", "zero"}, 2, {}},
      {{"--screenshot", "7", "/no/such/dir/x.png"}, 1, {"x.png"}},
  };
  for (const auto& c : cases) {
    const ProgramResult run = RunProgram(Veyrith(c.args));
    EXPECT_EQ(run.exit_code, c.exit_code) << c.args[0] << ": " << run.err;
    for (const std::string& message : c.messages) {
      EXPECT_TRUE(Contains(c.exit_code == 0 ? run.out : run.err, message))
          << c.args[0] << ": no " << message;
    }
  }
}

TEST(DemoProgram, HeadlessRunPlaysTheWholeScheduleAndSummarises) {
  ProgramRun headless = Veyrith({"--headless", "--fps", "1"});
  headless.time_limit_seconds = 500;  // every scene is drawn, also under the sanitizers
  ProgramResult run = RunProgram(headless);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  // 218 s at one frame per second, and the end row's frame.
  EXPECT_TRUE(Contains(run.err, "219 frames")) << run.err;
  // From 210 s to the end at 5 frames per second: 40 frames and the end row's.
  run = RunProgram(Veyrith({"--headless", "--fps", "5", "--start", "210"}));
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(Contains(run.err, " 41 frames")) << run.err;
}

TEST(DemoProgram, WithoutADisplayItSaysSoAndPointsToTheHeadlessOptions) {
  ProgramRun run = Veyrith({"--no-setup"});
  run.unset_environment = {"DISPLAY", "WAYLAND_DISPLAY"};
  run.set_environment = {{"SDL_VIDEODRIVER", "x11"}};
  ProgramResult result = RunProgram(run);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_TRUE(Contains(result.err, "Cannot initialize 3D mode!!! (no GLIDE?)")) << result.err;
  EXPECT_TRUE(Contains(result.err, "--headless")) << result.err;
}

// Other tests open windows of the same title on the same display at the same
// time, so the window is looked for among this process's own.
std::string FindWindow(const std::string& title, int pid) {
  const std::string command =
      "xdotool search --pid " + std::to_string(pid) + " --name '^" + title + "$' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return "";
  char line[64] = {};
  std::string id;
  if (std::fgets(line, sizeof line, pipe)) id = line;
  pclose(pipe);
  while (!id.empty() && (id.back() == '\n' || id.back() == ' ')) id.pop_back();
  return id;
}

TEST(DemoProgram, WindowIsTitledVeyrithAndAKeyPressEndsTheDemo) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display (make test provides Xvfb)";
  if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "needs xdotool";
  ProgramRun run = Veyrith({"--no-setup", "--sound", "none"});
  // The display libraries that SDL loads (X11, D-Bus) keep allocations for the
  // life of the process and are unloaded before a leak check could name them;
  // under the address sanitizer their reports would hide the exit code.
  run.set_environment = {{"ASAN_OPTIONS", "detect_leaks=0"}};
  RunningProgram demo = StartProgram(run);
  // The first window SDL shows may be replaced while the board sets up, so a
  // press that finds its window gone looks for the window again.
  bool seen = false, sent = false;
  auto pressed = std::chrono::steady_clock::now();
  for (int i = 0; i < 600 && !sent; ++i) {  // up to 30 s on a busy machine
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string window = FindWindow("Veyrith", demo.pid);
    if (window.empty()) continue;
    if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    seen = true;
    pressed = std::chrono::steady_clock::now();
    const std::string key = "xdotool windowfocus --sync " + window +
                            " key space >/dev/null 2>&1 || xdotool key --window " + window +
                            " space >/dev/null 2>&1";
    sent = std::system(key.c_str()) == 0;
  }
  ASSERT_TRUE(seen) << "no window titled Veyrith appeared";
  ASSERT_TRUE(sent) << "no key press reached the window";
  ProgramResult result = WaitProgram(demo, 10.0);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - pressed).count();
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_LT(seconds, 5.0);  // generous: a frame, then the shutdown
}

}  // namespace
