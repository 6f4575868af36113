#include "device/device.h"

#include <cstdio>
#include <vector>

#include "board/board_state.h"
#include "board/glide.h"
#include "device/demo_state.h"
#include "device/picture_scale.h"
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
  int32_t asked_width = 0;  // DeviceSetScreenSize; 0: each mode's own size
  int32_t asked_height = 0;
  int32_t mode_width = 0;  // the open mode's own size
  int32_t mode_height = 0;
  // While the screen is not the mode's own size: the picture the frame locks
  // give (the mode's size, row 0 at the bottom), and the scaler that puts it
  // on the screen.
  std::vector<uint16_t> mode_picture;
  PictureScaler scaler;
};

DeviceFlags& Flags() {
  static DeviceFlags flags;
  return flags;
}

uint16_t* Lock(GrLock_t type, GrLfbInfo_t* record, int32_t* stride_bytes) {
  DeviceFlags& f = Flags();
  if (!f.mode_picture.empty()) {
    *stride_bytes = f.mode_width * static_cast<int32_t>(sizeof(uint16_t));
    return f.mode_picture.data();
  }
  record->size = sizeof(GrLfbInfo_t);
  if (!grLfbLock(type, GR_BUFFER_BACKBUFFER, GR_LFBWRITEMODE_565, GR_ORIGIN_ANY, FXFALSE, record)) {
    return nullptr;
  }
  *stride_bytes = static_cast<int32_t>(record->strideInBytes);
  return static_cast<uint16_t*>(record->lfbPtr);
}

// The largest area of the mode's shape on the screen (the screen itself at
// the mode's own size).
PictureArea ModeArea() {
  const DeviceFlags& f = Flags();
  if (f.mode_picture.empty()) return {0, 0, ScreenWidth, ScreenHeight};
  return FitPictureArea(f.mode_width, f.mode_height, ScreenWidth, ScreenHeight);
}

// Puts the mode-sized picture on the screen's back buffer.
void ShowModePicture() {
  DeviceFlags& f = Flags();
  GrLfbInfo_t lock;
  lock.size = sizeof(GrLfbInfo_t);
  if (!grLfbLock(GR_LFB_WRITE_ONLY, GR_BUFFER_BACKBUFFER, GR_LFBWRITEMODE_565, GR_ORIGIN_ANY,
                 FXFALSE, &lock)) {
    return;
  }
  const PicturePlane source{f.mode_picture.data(), f.mode_width, f.mode_height, f.mode_width};
  const PicturePlane target{static_cast<uint16_t*>(lock.lfbPtr), ScreenWidth, ScreenHeight,
                            static_cast<int>(lock.strideInBytes / sizeof(uint16_t))};
  ScalePictureSmooth(source, target, ModeArea(), &f.scaler);
  grLfbUnlock(GR_LFB_WRITE_ONLY, GR_BUFFER_BACKBUFFER);
}

}  // namespace

bool DeviceSetScreenSize(int32_t width, int32_t height) {
  if (!BoardSetScreenSize(width, height)) return false;
  Flags().asked_width = width;
  Flags().asked_height = height;
  return true;
}

DisplayMode DeviceScreenFor(DisplayMode mode) {
  const DeviceFlags& f = Flags();
  if (f.asked_width > 0) {
    mode.width = f.asked_width;
    mode.height = f.asked_height;
  }
  return mode;
}

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
      f.mode_width = mode.width;
      f.mode_height = mode.height;
      const DisplayMode screen = DeviceScreenFor(mode);
      ScreenWidth = ViewWidth = screen.width;
      ScreenHeight = ViewHeight = screen.height;
    }
  }
  if (!grSstWinOpen(0, code, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB, GR_ORIGIN_LOWER_LEFT, 2, 1)) {
    return;
  }
  std::vector<uint16_t>().swap(f.mode_picture);
  if (f.mode_width > 0 && (f.mode_width != ScreenWidth || f.mode_height != ScreenHeight)) {
    f.mode_picture.assign(static_cast<size_t>(f.mode_width) * f.mode_height, 0);
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
  const PictureArea area = ModeArea();
  ViewWidth = static_cast<int32_t>(static_cast<float>(area.width) * factor);
  ViewHeight = static_cast<int32_t>(static_cast<float>(area.height) * factor);
}

void ClearFrame() {
  grBufferClear(0x00000000, 0, 0xFFFF);
  // The effects' picture too: they draw over a cleared frame.
  std::vector<uint16_t>& picture = Flags().mode_picture;
  std::fill(picture.begin(), picture.end(), uint16_t{0});
}
void ShowFrame(int interval) {
  grBufferSwap(interval);
}

uint16_t* LockFrameRead(int32_t* stride_bytes) {
  return Lock(GR_LFB_READ_ONLY, &Flags().read_lock, stride_bytes);
}
void UnlockFrameRead() {
  if (!Flags().mode_picture.empty()) return;  // the mode's picture was read
  grLfbUnlock(GR_LFB_READ_ONLY, GR_BUFFER_BACKBUFFER);
}
uint16_t* LockFrameWrite(int32_t* stride_bytes) {
  return Lock(GR_LFB_WRITE_ONLY, &Flags().write_lock, stride_bytes);
}
void UnlockFrameWrite() {
  if (!Flags().mode_picture.empty()) {
    ShowModePicture();
    return;
  }
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
  std::vector<uint16_t>().swap(f.mode_picture);
  f.asked_width = f.asked_height = 0;
  BoardSetScreenSize(0, 0);
  ScreenWidth = ScreenHeight = ViewWidth = ViewHeight = 0;
}
