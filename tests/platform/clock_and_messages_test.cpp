// The demo clock, messages across threads, exit handlers and threads. A close
// request's way through the message loop is the main window test's matter.
#include <gtest/gtest.h>

#include <atomic>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/exit_handlers.h"
#include "platform/messages.h"
#include "platform/thread.h"

namespace {

TEST(Clock, VirtualClockRoundsToMillisecondsAndWrapsAt32Bits) {
  platform::ClockUseVirtual(true);
  for (const auto& [ms, ticks] : {std::pair{1000.4, 1000u}, {1000.6, 1001u}, {0.5, 1u}}) {
    platform::ClockSetVirtualMs(ms);
    EXPECT_EQ(platform::GetTickCount(), ticks) << ms;
  }
  platform::ClockSetVirtualMs(1000.4);
  platform::ClockAdvanceVirtualMs(1000.0 / 60.0);  // one frame at 60 fps
  EXPECT_EQ(platform::GetTickCount(), 1017u);      // 1017.07 rounds down
  platform::ClockSetVirtualMs(4294967295.0 + 10.0);
  EXPECT_EQ(platform::GetTickCount(), 9u);  // wrapped like a 32-bit counter
  // Differences across the wrap stay right in unsigned arithmetic.
  const uint32_t before = 4294967290u;
  EXPECT_EQ(platform::GetTickCount() - before, 15u);
  platform::ClockUseVirtual(false);
}

TEST(Messages, MessagesPostedFromAnotherThreadArriveInOrder) {
  platform::ResetMessages();
  platform::Thread poster;
  ASSERT_TRUE(poster.Start(
      [](void*) {
        for (int i = 0; i < 100; ++i) platform::PostMessage(platform::kWmKeyDown, i, 0);
        platform::PostQuitMessage(0);
      },
      nullptr, 0x100000));
  platform::Message message;
  uintptr_t expected = 0;
  while (platform::GetMessage(&message)) {
    ASSERT_EQ(message.id, platform::kWmKeyDown);
    EXPECT_EQ(message.wparam, expected++);
  }
  EXPECT_EQ(expected, 100u);
  poster.Join();
  platform::ResetMessages();
}

std::vector<int> handler_order;

TEST(ExitHandlers, RunNewestFirstAndOnlyOnce) {
  handler_order.clear();
  platform::RegisterExitHandler([] { handler_order.push_back(1); });
  platform::RegisterExitHandler([] { handler_order.push_back(2); });
  platform::RegisterExitHandler([] { handler_order.push_back(3); });
  platform::RunExitHandlers();
  platform::RunExitHandlers();
  EXPECT_EQ(handler_order, (std::vector<int>{3, 2, 1}));
}

TEST(Thread, RunsWithTheRequestedStackAndJoins) {
  static std::atomic<int> value{0};
  static int kAddend = 39;
  platform::Thread thread;
  ASSERT_TRUE(thread.Start(
      [](void* argument) {
        // Use half of a 1 MiB stack: more than a default-sized thread would need.
        volatile char block[512 * 1024];
        block[0] = 1;
        block[sizeof block - 1] = 2;
        value.store(block[0] + block[sizeof block - 1] + *static_cast<const int*>(argument));
      },
      &kAddend, 0x100000));
  thread.Join();
  EXPECT_EQ(value.load(), 42);
  EXPECT_FALSE(thread.Joinable());
}

}  // namespace
