#include "shell/demo_program.h"

#include "device/device.h"
#include "music/music_system.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/messages.h"
#include "platform/picture_window.h"
#include "platform/thread.h"
#include "shell/content_loader.h"
#include "shell/shell_state.h"
#include "shell/timeline.h"

namespace {

constexpr std::size_t kDemoThreadStackBytes = 0x100000;

}  // namespace

intptr_t MainWindow(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (message == platform::kWmDestroy || message == platform::kWmKeyDown) {
    DemoRunning.store(0);
    platform::PostQuitMessage(0);
  }
  return platform::DefWindowProc(message, wparam, lparam);
}

void DemoThread(void* /*argument*/) {
  // DemoRunning was raised by the main thread before this thread started:
  // raising it here would undo a key press or a close that the message loop
  // handled before this thread got its first time slice.
  PlayHandle.store(MusicPlayModule(ModuleHandle, 0));
  StartTick = platform::GetTickCount() - DemoStartMs;
  RunTimeline();
  DemoRunning.store(0);
  platform::PostMessage(platform::kWmClose, 0, 0);
}

int RunDemoProgram(const DemoProgramHooks& hooks) {
  MusicStartup();
  if (!MusicSetupDialog()) return MusicSetupDialogFailed() ? 1 : 0;
  if (!LoadContent()) {
    MusicClose();
    return 1;
  }
  if (!MusicInit()) {
    platform::MessageBoxA(nullptr, "Cannot initialize the music system!", "Veyrith",
                          platform::kMbTaskModal);
    return 1;
  }
  MusicStartBackgroundPlay(0);
  ModuleHandle = MusicLoadModule("music.s3m");
  if (ModuleHandle == nullptr && hooks.music_missing) hooks.music_missing();
  if (!platform::CreateMainWindow(MainWindow)) {
    MusicClose();
    return 1;
  }
  platform::LowerCurrentThreadPriority();
  platform::Thread demo_thread;
  DemoRunning.store(1);
  if (!demo_thread.Start(DemoThread, nullptr, kDemoThreadStackBytes)) DemoThread(nullptr);

  platform::Message message;
  while (platform::GetMessage(&message)) platform::DispatchMessage(message);

  // The demo thread may still be inside a frame: stop presenting so a swap
  // that waits for the retrace returns, and wait until the thread has left
  // its loop and freed the scenes before the screen and the music go.
  platform::StopPresenting();
  demo_thread.Join();
  DeviceClose();
  MusicStopModule(PlayHandle.load());
  MusicFreeModule(ModuleHandle);
  ModuleHandle = nullptr;
  MusicStopBackgroundPlay();
  MusicClose();
  return static_cast<int>(message.wparam);
}
