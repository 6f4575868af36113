// A key press queued while the content loads, before the demo thread
// starts, still ends the demo (the whole program, headless, in this process).
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "board/frame_sink.h"
#include "platform/clock.h"
#include "platform/exit_handlers.h"
#include "platform/messages.h"
#include "shell/demo_program.h"
#include "shell/run_modes.h"
#include "shell/shell_state.h"

namespace {

namespace fs = std::filesystem;

// Each frame moves the virtual clock on a second, so a demo that missed the
// key ends after 219 frames instead of hanging. The first frame waits until
// the main thread has handled the key; the loop must stop at its next check.
void OneSecondPerFrame(void* /*context*/, const CountingFrameSink& sink, int interval) {
  if (interval < 1) return;
  if (sink.retrace_frames() == 1) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (DemoRunning.load() != 0 && std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  platform::ClockAdvanceVirtualMs(1000.0);
}

TEST(StartupRace, KeyPressedBeforeTheDemoThreadStartsEndsTheDemoAtOnce) {
  const fs::path content = fs::path(VEYRITH_BINARY_DIR) / "content";
  if (!fs::exists(content / "demo.dat")) GTEST_SKIP() << "needs the default content";
  const fs::path here = fs::current_path();
  fs::current_path(content);
  EnterHeadless(HeadlessSound::kSilent);
  CountingFrameSink sink;
  sink.SetHook(OneSecondPerFrame, nullptr);
  BoardSetFrameSink(&sink);
  platform::ResetMessages();
  platform::PostMessage(platform::kWmKeyDown, ' ', 0);  // pressed while the content loads
  const int code = RunDemoProgram();
  BoardSetFrameSink(nullptr);
  platform::RunExitHandlers();
  platform::ResetMessages();
  fs::current_path(here);
  EXPECT_EQ(code, 0);
  // No frame when the key was handled first, else the one under way.
  EXPECT_LE(sink.retrace_frames(), 1) << "the key press was lost";
}

}  // namespace
