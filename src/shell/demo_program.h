// Start-up and shutdown of the demo: the window procedure, the demo thread
// and the program's main sequence.
#pragma once

#include <cstdint>

struct ShellOptions;

// The window procedure: a key press or the window's destruction ends the
// demo and the message loop.
intptr_t MainWindow(uint32_t message, uintptr_t wparam, intptr_t lparam);

// The demo thread: starts the music, takes StartTick, runs the schedule,
// then asks the window to close. The main thread sets DemoRunning to 1
// before it starts this thread, so a key press or a close handled at any
// moment after that ends the schedule at its next frame.
void DemoThread(void* argument);

// What a platform adds to the program's main sequence.
struct DemoProgramHooks {
  // Called when the song cannot be played (the demo then plays without it).
  void (*music_missing)() = nullptr;
};

// The whole program: setup dialog, content, music, window, demo thread,
// message loop, shutdown. Returns the exit code: 0 after a normal end, a
// key press, a closed window or a cancel; 1 after a failure. Where no
// thread can start (the web page has one), the demo runs on this thread.
int RunDemoProgram(const DemoProgramHooks& hooks = {});
