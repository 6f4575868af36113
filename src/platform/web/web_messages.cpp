// The main window's message queue in the page. The page's key and click
// handlers deliver the key message (web_input.cpp); the demo posts the close
// request when the schedule ends. Nothing waits: the page's one thread
// drains the queue after the schedule has returned.
#include <deque>

#include "platform/messages.h"

namespace platform {
namespace {

struct MessageQueue {
  std::deque<Message> messages;
  WindowProcedure procedure = nullptr;
  bool window_exists = false;
};

MessageQueue& Queue() {
  static MessageQueue queue;
  return queue;
}

}  // namespace

bool CreateMainWindow(WindowProcedure procedure) {
  if (procedure == nullptr) return false;
  MessageQueue& q = Queue();
  q.procedure = procedure;
  q.window_exists = true;
  return true;
}

bool MainWindowExists() {
  return Queue().window_exists;
}

// Never blocks: with nothing queued the loop ends as if the quit message
// (exit code 0) had come, since no other thread could post one later.
bool GetMessage(Message* message) {
  MessageQueue& q = Queue();
  if (q.messages.empty()) {
    *message = Message{kWmQuit, 0, 0};
    return false;
  }
  *message = q.messages.front();
  q.messages.pop_front();
  return message->id != kWmQuit;
}

void DispatchMessage(const Message& message) {
  MessageQueue& q = Queue();
  if (q.window_exists && q.procedure != nullptr) {
    q.procedure(message.id, message.wparam, message.lparam);
  } else {
    DefWindowProc(message.id, message.wparam, message.lparam);
  }
}

void PostMessage(uint32_t id, uintptr_t wparam, intptr_t lparam) {
  Queue().messages.push_back(Message{id, wparam, lparam});
}

void PostQuitMessage(int exit_code) {
  PostMessage(kWmQuit, static_cast<uintptr_t>(exit_code), 0);
}

intptr_t DefWindowProc(uint32_t id, uintptr_t /*wparam*/, intptr_t /*lparam*/) {
  MessageQueue& q = Queue();
  if (id != kWmClose || !q.window_exists) return 0;
  // Destroying the window: the procedure hears of it once.
  q.window_exists = false;
  if (q.procedure != nullptr) q.procedure(kWmDestroy, 0, 0);
  return 0;
}

void WakeMessageLoop() {}

void ResetMessages() {
  MessageQueue& q = Queue();
  q.messages.clear();
  q.procedure = nullptr;
  q.window_exists = false;
}

}  // namespace platform
