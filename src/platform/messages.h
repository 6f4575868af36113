// The main window's message queue, in the shape of the original's window
// messages: the shell's window procedure receives key presses and the close
// request; the demo thread posts the close request when the schedule ends;
// the main thread's loop ends on the quit message.
//
// Events of the picture window (see picture_window.h) arrive here as
// messages, and GetMessage also presents the frames that the demo thread
// hands over, because SDL wants windows served on the main thread.
#pragma once

#include <cstdint>

namespace platform {

constexpr uint32_t kWmDestroy = 0x0002;
constexpr uint32_t kWmClose = 0x0010;
constexpr uint32_t kWmQuit = 0x0012;
constexpr uint32_t kWmKeyDown = 0x0100;

struct Message {
  uint32_t id = 0;
  uintptr_t wparam = 0;
  intptr_t lparam = 0;
};

using WindowProcedure = intptr_t (*)(uint32_t id, uintptr_t wparam, intptr_t lparam);

// Makes the procedure the receiver of the main window's messages. The window
// on screen is the picture window that the board opened; headless runs have
// none and only receive posted messages. Returns false when no procedure.
bool CreateMainWindow(WindowProcedure procedure);
bool MainWindowExists();

// Waits for the next message; false when it is the quit message, whose
// wparam is the exit code. Presents pending frames while it waits.
bool GetMessage(Message* message);
void DispatchMessage(const Message& message);

// Any thread.
void PostMessage(uint32_t id, uintptr_t wparam, intptr_t lparam);
void PostQuitMessage(int exit_code);

// The default handling: the close request destroys the window, which sends
// the destroy message to the procedure.
intptr_t DefWindowProc(uint32_t id, uintptr_t wparam, intptr_t lparam);

// Internal to the platform: wakes a GetMessage that is waiting.
void WakeMessageLoop();

// Forgets the procedure and every queued message (for the next run in tests).
void ResetMessages();

}  // namespace platform
