// What ends the demo: a key press or the window's destruction stops the demo
// and the message loop, the demo thread's close request leads to the same
// quit, and a key press queued while the content loads, before the demo
// thread starts, still ends the demo (the whole program, headless, in this
// process).
#include <gtest/gtest.h>
#include <sched.h>

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

// Posts the message to a fresh main window and runs the loop to its end;
// returns how many messages were dispatched.
int RunLoopAfter(uint32_t message_id, uintptr_t wparam) {
  platform::ResetMessages();
  EXPECT_TRUE(platform::CreateMainWindow(MainWindow));
  DemoRunning.store(1);
  platform::PostMessage(message_id, wparam, 0);
  platform::Message message;
  int dispatched = 0;
  while (platform::GetMessage(&message)) {
    platform::DispatchMessage(message);
    ++dispatched;
  }
  EXPECT_EQ(message.wparam, 0u);  // the quit message
  return dispatched;
}

TEST(MainWindow, KeyPressOrCloseRequestStopsTheDemoAndEndsTheLoop) {
  platform::ResetMessages();
  ASSERT_TRUE(platform::CreateMainWindow(MainWindow));
  DemoRunning.store(1);
  MainWindow(0x0200 /* a mouse move */, 0, 0);
  EXPECT_EQ(DemoRunning.load(), 1);  // other messages leave the demo running
  EXPECT_EQ(RunLoopAfter(platform::kWmKeyDown, 'A'), 1);
  EXPECT_EQ(DemoRunning.load(), 0);
  // As the demo thread does at its end.
  EXPECT_EQ(RunLoopAfter(platform::kWmClose, 0), 1);
  EXPECT_EQ(DemoRunning.load(), 0);
  EXPECT_FALSE(platform::MainWindowExists());
  platform::ResetMessages();
}

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
  // On one core, as batch threads that never preempt one another on waking,
  // the main thread goes on after starting the demo thread and handles the
  // key before the demo thread runs: the order in which a demo thread that
  // raised the running flag itself would undo the key press. The demo thread
  // inherits the core and the policy.
  cpu_set_t cores, one_core;
  ASSERT_EQ(sched_getaffinity(0, sizeof cores, &cores), 0);
  CPU_ZERO(&one_core);
  CPU_SET(sched_getcpu(), &one_core);
  const sched_param no_priority{};
  ASSERT_EQ(sched_setaffinity(0, sizeof one_core, &one_core), 0);
  ASSERT_EQ(sched_setscheduler(0, SCHED_BATCH, &no_priority), 0);
  const fs::path here = fs::current_path();
  fs::current_path(content);
  EnterHeadless(HeadlessSound::kSilent);
  CountingFrameSink sink;
  sink.SetHook(OneSecondPerFrame, nullptr);
  BoardSetFrameSink(&sink);
  platform::ResetMessages();
  platform::PostMessage(platform::kWmKeyDown, ' ', 0);  // pressed while the content loads
  const int code = RunDemoProgram();
  sched_setscheduler(0, SCHED_OTHER, &no_priority);
  sched_setaffinity(0, sizeof cores, &cores);
  BoardSetFrameSink(nullptr);
  platform::RunExitHandlers();
  platform::ResetMessages();
  fs::current_path(here);
  EXPECT_EQ(code, 0);
  // No frame when the key was handled first, else the one under way.
  EXPECT_LE(sink.retrace_frames(), 1) << "the key press was lost";
}

}  // namespace
