#include "platform/messages.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/picture_window.h"

namespace platform {
namespace {

struct MessageQueue {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<Message> messages;
  bool woken = false;
  WindowProcedure procedure = nullptr;
  bool window_exists = false;
};

MessageQueue& Queue() {
  static MessageQueue queue;
  return queue;
}

}  // namespace

bool CreateMainWindow(WindowProcedure procedure) {
  if (!procedure) return false;
  MessageQueue& q = Queue();
  std::lock_guard<std::mutex> lock(q.mutex);
  q.procedure = procedure;
  q.window_exists = true;
  return true;
}

bool MainWindowExists() {
  MessageQueue& q = Queue();
  std::lock_guard<std::mutex> lock(q.mutex);
  return q.window_exists;
}

bool GetMessage(Message* message) {
  MessageQueue& q = Queue();
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(q.mutex);
      if (!q.messages.empty()) {
        *message = q.messages.front();
        q.messages.pop_front();
        return message->id != kWmQuit;
      }
    }
    // Serve the window outside the lock: presenting may wait for the retrace.
    const bool window = PictureWindowOpen();
    if (window) ServePictureWindow();
    std::unique_lock<std::mutex> lock(q.mutex);
    if (!q.messages.empty()) continue;
    // With a window, wake often to serve its events; without one, only a
    // posted message can end the wait.
    const auto timeout = window ? std::chrono::milliseconds(2) : std::chrono::milliseconds(50);
    q.wake.wait_for(lock, timeout, [&] { return q.woken || !q.messages.empty(); });
    q.woken = false;
  }
}

void DispatchMessage(const Message& message) {
  WindowProcedure procedure;
  {
    MessageQueue& q = Queue();
    std::lock_guard<std::mutex> lock(q.mutex);
    procedure = q.window_exists ? q.procedure : nullptr;
  }
  if (procedure) {
    procedure(message.id, message.wparam, message.lparam);
  } else {
    DefWindowProc(message.id, message.wparam, message.lparam);
  }
}

void PostMessage(uint32_t id, uintptr_t wparam, intptr_t lparam) {
  MessageQueue& q = Queue();
  {
    std::lock_guard<std::mutex> lock(q.mutex);
    q.messages.push_back(Message{id, wparam, lparam});
  }
  q.wake.notify_all();
}

void PostQuitMessage(int exit_code) {
  PostMessage(kWmQuit, static_cast<uintptr_t>(exit_code), 0);
}

intptr_t DefWindowProc(uint32_t id, uintptr_t /*wparam*/, intptr_t /*lparam*/) {
  if (id != kWmClose) return 0;
  // Destroying the window: it stops receiving messages, and the procedure
  // hears of it once.
  WindowProcedure procedure = nullptr;
  {
    MessageQueue& q = Queue();
    std::lock_guard<std::mutex> lock(q.mutex);
    if (!q.window_exists) return 0;
    q.window_exists = false;
    procedure = q.procedure;
  }
  if (procedure) procedure(kWmDestroy, 0, 0);
  return 0;
}

void WakeMessageLoop() {
  MessageQueue& q = Queue();
  {
    std::lock_guard<std::mutex> lock(q.mutex);
    q.woken = true;
  }
  q.wake.notify_all();
}

void ResetMessages() {
  MessageQueue& q = Queue();
  std::lock_guard<std::mutex> lock(q.mutex);
  q.messages.clear();
  q.procedure = nullptr;
  q.window_exists = false;
  q.woken = false;
}

}  // namespace platform
