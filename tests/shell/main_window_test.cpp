// The window procedure and the demo thread's end: a key press or the
// window's destruction stops the demo and the message loop; the demo
// thread's close request leads to the same quit.
#include <gtest/gtest.h>

#include "platform/messages.h"
#include "shell/demo_program.h"
#include "shell/shell_state.h"

namespace {

TEST(MainWindow, KeyPressStopsTheDemoAndEndsTheLoop) {
  platform::ResetMessages();
  ASSERT_TRUE(platform::CreateMainWindow(MainWindow));
  DemoRunning.store(1);
  MainWindow(0x0200 /* a mouse move */, 0, 0);
  EXPECT_EQ(DemoRunning.load(), 1);  // other messages leave the demo running
  platform::PostMessage(platform::kWmKeyDown, 'A', 0);
  platform::Message message;
  ASSERT_TRUE(platform::GetMessage(&message));
  platform::DispatchMessage(message);
  EXPECT_EQ(DemoRunning.load(), 0);
  EXPECT_FALSE(platform::GetMessage(&message));  // the quit message
  EXPECT_EQ(message.wparam, 0u);
  platform::ResetMessages();
}

TEST(MainWindow, CloseRequestDestroysTheWindowWhichStopsTheDemo) {
  platform::ResetMessages();
  ASSERT_TRUE(platform::CreateMainWindow(MainWindow));
  DemoRunning.store(1);
  platform::PostMessage(platform::kWmClose, 0, 0);  // as the demo thread does at its end
  platform::Message message;
  int dispatched = 0;
  while (platform::GetMessage(&message)) {
    platform::DispatchMessage(message);
    ++dispatched;
  }
  EXPECT_EQ(dispatched, 1);
  EXPECT_EQ(DemoRunning.load(), 0);
  EXPECT_FALSE(platform::MainWindowExists());
  platform::ResetMessages();
}

}  // namespace
