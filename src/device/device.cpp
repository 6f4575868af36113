#include "device/device.h"

#include <cstdio>

#include "board/glide.h"
#include "device/demo_state.h"
#include "platform/exit_handlers.h"

const DisplayMode ModeTable[kModeCount] = {
    {512, 384, GR_RESOLUTION_512x384},
    {640, 400, GR_RESOLUTION_640x400},
    {640, 480, GR_RESOLUTION_640x480},
    {800, 600, GR_RESOLUTION_800x600},
};

int32_t ScreenWidth = 0;
int32_t ScreenHeight = 0;
int32_t ViewWidth = 0;
int32_t ViewHeight = 0;
uint32_t AlphaShift[256];
uint32_t RedShift[256];
uint32_t GreenShift[256];
uint32_t BlueShift[256];

namespace {

struct DeviceFlags {
  int initialised = 0;
  int open = 0;
  RenderInitFunction render_init = nullptr;
  GrLfbInfo_t read_lock;
  GrLfbInfo_t write_lock;
};

DeviceFlags& Flags() {
  static DeviceFlags flags;
  return flags;
}

uint16_t* Lock(GrLock_t type, GrLfbInfo_t* record, int32_t* stride_bytes) {
  record->size = sizeof(GrLfbInfo_t);
  if (!grLfbLock(type, GR_BUFFER_BACKBUFFER, GR_LFBWRITEMODE_565, GR_ORIGIN_ANY, FXFALSE, record)) {
    return nullptr;
  }
  *stride_bytes = static_cast<int32_t>(record->strideInBytes);
  return static_cast<uint16_t*>(record->lfbPtr);
}

}  // namespace

void DeviceSetRenderInit(RenderInitFunction function) {
  Flags().render_init = function;
}

void DeviceInit() {
  DeviceFlags& f = Flags();
  if (f.initialised) return;
  std::printf("Veyrith engine %s\n", EngineVersionLong());
  platform::RegisterExitHandler(DeviceShutdownAtExit);
  grGlideInit();
  GrHwConfiguration hardware;
  if (!grSstQueryHardware(&hardware)) return;
  grSstSelect(0);
  if (f.render_init) f.render_init();
  TextureMemoryCursor = static_cast<uint32_t>(-1);
  f.initialised = 1;
}

void DeviceOpen(int32_t code) {
  DeviceFlags& f = Flags();
  if (!f.initialised) return;
  if (f.open) DeviceClose();
  for (const DisplayMode& mode : ModeTable) {
    if (mode.code == code) {
      ScreenWidth = ViewWidth = mode.width;
      ScreenHeight = ViewHeight = mode.height;
    }
  }
  if (!grSstWinOpen(0, code, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB, GR_ORIGIN_LOWER_LEFT, 2, 1)) {
    return;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    AlphaShift[i] = i << 24;
    RedShift[i] = i << 16;
    GreenShift[i] = i << 8;
    BlueShift[i] = i;
  }
  f.open = 1;
}

int DeviceIsOpen() {
  return Flags().open;
}

void DeviceClose() {
  DeviceFlags& f = Flags();
  if (f.initialised && f.open) {
    grGlideShutdown();
    f.open = 0;
  }
}

void DeviceShutdownAtExit() {
  grGlideShutdown();
  Flags().initialised = 0;
}

void DeviceSetViewScale(float factor) {
  if (factor < -1.0f) factor = -1.0f;
  if (factor > 1.0f) factor = 1.0f;
  ViewWidth = static_cast<int32_t>(static_cast<float>(ScreenWidth) * factor);
  ViewHeight = static_cast<int32_t>(static_cast<float>(ScreenHeight) * factor);
}

void ClearFrame() {
  grBufferClear(0x00000000, 0, 0xFFFF);
}
void ShowFrame(int interval) {
  grBufferSwap(interval);
}

uint16_t* LockFrameRead(int32_t* stride_bytes) {
  return Lock(GR_LFB_READ_ONLY, &Flags().read_lock, stride_bytes);
}
void UnlockFrameRead() {
  grLfbUnlock(GR_LFB_READ_ONLY, GR_BUFFER_BACKBUFFER);
}
uint16_t* LockFrameWrite(int32_t* stride_bytes) {
  return Lock(GR_LFB_WRITE_ONLY, &Flags().write_lock, stride_bytes);
}
void UnlockFrameWrite() {
  grLfbUnlock(GR_LFB_WRITE_ONLY, GR_BUFFER_BACKBUFFER);
}

const char* EngineVersion() {
  return "0.0.4g";
}
const char* EngineVersionLong() {
  return "0.0.4g (3Dfx GLIDE version)";
}
int32_t EngineVersionNumber() {
  return 0x46700;
}
int ModeCount() {
  return kModeCount;
}
const DisplayMode* Modes() {
  return ModeTable;
}

DisplayMode FindMode(const DisplayMode* table, int count, int32_t width, int32_t height) {
  for (int i = 0; i < count; ++i) {
    if (table[i].width == width && table[i].height == height) return table[i];
  }
  return table[0];
}

void DeviceResetState() {
  DeviceFlags& f = Flags();
  f.initialised = 0;
  f.open = 0;
  ScreenWidth = ScreenHeight = ViewWidth = ViewHeight = 0;
}
