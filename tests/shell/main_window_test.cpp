// The window procedure and the demo thread's end: a key press or the
// window's destruction stops the demo and the message loop; the demo
// thread's close request leads to the same quit.
#include <gtest/gtest.h>

#include "platform/messages.h"
#include "shell/demo_program.h"
#include "shell/shell_state.h"

namespace {

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

}  // namespace
