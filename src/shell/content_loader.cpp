#include "shell/content_loader.h"

#include <cstdio>

#include "device/demo_state.h"
#include "device/device.h"
#include "platform/display.h"
#include "platform/exit_handlers.h"
#include "platform/message_box.h"
#include "storage/content_library.h"
#include "storage/file_library.h"
#include "storage/stream.h"

int FailLoading(const char* message) {
  platform::MessageBoxA(nullptr, message, "Veyrith", platform::kMbTaskModal);
  return 0;
}

void CloseLibraryAtExit() {
  if (ContentLibrary) {
    delete ContentLibrary;
    ContentLibrary = nullptr;
  }
  if (ContentFile) {
    delete ContentFile;
    ContentFile = nullptr;
  }
}

int LoadContent() {
  DeviceInit();
  DitherEnabled = 1;

  ContentFile = new TFile();
  ContentFile->SetName("demo.dat");
  platform::RegisterExitHandler(CloseLibraryAtExit);
  if (!ContentFile->Open(smRead)) return FailLoading("Cannot open file library!");
  ContentLibrary = new TFileLib(ContentFile);
  if (ContentLibrary->Failed()) return FailLoading("File library invalid!");

  const DisplayMode mode = FindMode(Modes(), ModeCount(), 640, 480);

  if (!LoadSceneSlots()) return 0;
  if (!CollectAndLoadTextures()) return 0;
  if (!LoadEffectPictures()) return 0;

  DeviceOpen(mode.code);
  if (!DeviceIsOpen()) {
    FailLoading("Cannot initialize 3D mode!!! (no GLIDE?)\n");
    if (!platform::IsHeadless() && !platform::DisplayAvailable()) {
      std::fprintf(stderr,
                   "veyrith: no display was found; to run without one use --headless, "
                   "--screenshot or --capture (see veyrith --help)\n");
    }
    return 0;
  }
  DeviceSetViewScale(1.0f);
  if (!UploadAllTextures()) return 0;
  return 1;
}
