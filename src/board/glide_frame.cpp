// The frame side of the board: start-up and shutdown, opening the screen,
// clearing, swapping, linear frame-buffer locks and the clip window.
#include <algorithm>
#include <cstring>

#include "board/board_state.h"
#include "board/board_threads.h"
#include "board/call_record.h"
#include "board/draw_workers.h"
#include "board/glide.h"
#include "board/window_sink.h"
#include "platform/display.h"

namespace {

struct Resolution {
  int width;
  int height;
};

// Indexed by the resolution code.
constexpr Resolution kResolutions[] = {
    {320, 200}, {320, 240}, {400, 256}, {512, 384}, {640, 200},
    {640, 350}, {640, 400}, {640, 480}, {800, 600},
};

// Sets the pixels [first, last) to value, 32 bytes per store where it can
// (a plain fill of 16-bit values is not vectorised at -O2): clearing is part
// of every frame.
void FillPixels(uint16_t* first, uint16_t* last, uint16_t value) {
  uint16_t block[16];
  std::fill(block, block + 16, value);
  for (; last - first >= 16; first += 16) std::memcpy(first, block, sizeof block);
  std::fill(first, last, value);
}

uint16_t ArgbTo565(GrColor_t colour) {
  const uint32_t r = (colour >> 16) & 0xFF;
  const uint32_t g = (colour >> 8) & 0xFF;
  const uint32_t b = colour & 0xFF;
  return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

void CloseScreen(BoardState& b) {
  if (!b.open) return;
  BoardFinish();
  if (b.sink) b.sink->Close();
  b.open = false;
  b.sink = b.sink == &DefaultWindowSink() ? nullptr : b.sink;
  for (auto& buffer : b.colour) std::vector<uint16_t>().swap(buffer);
  std::vector<uint16_t>().swap(b.depth);
}

}  // namespace

void grGlideInit() {
  BoardRecord("grGlideInit");
  Board().glide_initialised = true;
}

void grGlideShutdown() {
  BoardRecord("grGlideShutdown");
  BoardState& b = Board();
  CloseScreen(b);
  b.glide_initialised = false;
  b.selected_board = -1;
}

FxBool grSstQueryHardware(GrHwConfiguration* configuration) {
  BoardRecord("grSstQueryHardware");
  const bool present =
      platform::IsHeadless() || Board().sink != nullptr || platform::DisplayAvailable();
  if (!configuration) return FXFALSE;
  *configuration = GrHwConfiguration{};
  if (!present) return FXFALSE;
  configuration->num_sst = 1;
  configuration->fb_ram_mib = 4;
  configuration->tmu_ram_mib = 2;
  return FXTRUE;
}

void grSstSelect(int board) {
  BoardRecord("grSstSelect", board);
  Board().selected_board = board;
}

FxBool grSstWinOpen(FxU32 window, GrScreenResolution_t resolution, GrScreenRefresh_t refresh,
                    GrColorFormat_t format, GrOriginLocation_t origin, int colour_buffers,
                    int aux_buffers) {
  BoardRecord("grSstWinOpen", window, resolution, refresh, format, origin, colour_buffers,
              aux_buffers);
  BoardState& b = Board();
  if (!b.glide_initialised || b.selected_board != 0) return FXFALSE;
  if (resolution < 0 || resolution >= static_cast<int>(std::size(kResolutions))) return FXFALSE;
  if (colour_buffers != 2 && colour_buffers != 3) return FXFALSE;
  CloseScreen(b);
  const Resolution size =
      b.asked_width > 0 ? Resolution{b.asked_width, b.asked_height} : kResolutions[resolution];
  FrameSink* sink = b.sink ? b.sink : &DefaultWindowSink();
  if (!sink->Open(size.width, size.height)) return FXFALSE;
  b.sink = sink;
  b.width = size.width;
  b.height = size.height;
  b.stride_pixels = size.width <= kBoardStridePixels ? kBoardStridePixels : (size.width + 63) & ~63;
  const size_t pixels = static_cast<size_t>(b.stride_pixels) * size.height;
  b.colour[0].assign(pixels, 0);
  b.colour[1].assign(pixels, 0);
  b.depth.assign(aux_buffers > 0 ? pixels : 0, 0xFFFF);
  b.back = 1;
  b.clip = BoardClipWindow{0, 0, size.width, size.height};
  b.open = true;
  ChooseHowScreenIsDrawn();
  return FXTRUE;
}

bool BoardSetScreenSize(int width, int height) {
  const bool own_sizes = width == 0 && height == 0;
  const auto fits = [](int side) { return side >= 1 && side <= kBoardMaxScreenSide; };
  if (!own_sizes && !(fits(width) && fits(height))) return false;
  Board().asked_width = width;
  Board().asked_height = height;
  return true;
}

void grBufferClear(GrColor_t colour, GrAlpha_t alpha, FxU16 depth) {
  BoardRecord("grBufferClear", colour, alpha, depth);
  if (!Board().open) return;
  const DrawTarget target = CurrentDrawTarget();
  if (DrawnByStripes()) {
    RecordClearForWorkers(target, ArgbTo565(colour), depth);
  } else {
    ClearRows(target, ArgbTo565(colour), depth, 0, Board().height - 1);
  }
}

void ClearRows(const DrawTarget& target, uint16_t colour, uint16_t depth, int32_t first_row,
               int32_t last_row) {
  const BoardClipWindow& clip = target.clip;
  const int end = std::min(clip.max_y, last_row + 1);
  for (int y = std::max(clip.min_y, first_row); y < end; ++y) {
    const size_t row = static_cast<size_t>(y) * Board().stride_pixels;
    FillPixels(target.colour + row + clip.min_x, target.colour + row + clip.max_x, colour);
    if (target.depth) {
      FillPixels(target.depth + row + clip.min_x, target.depth + row + clip.max_x, depth);
    }
  }
}

void grBufferSwap(int interval) {
  BoardRecord("grBufferSwap", interval);
  BoardState& b = Board();
  if (!b.open) return;
  b.sink->Swapped(interval);
  if (DrawnByStripes() && b.sink->AcceptsLateFrames()) {
    SwapForWorkers(b.sink, b.colour[b.back].data(), b.width, b.height, b.stride_pixels, interval);
  } else {
    BoardFinish();
    b.sink->Present(b.colour[b.back].data(), b.width, b.height, b.stride_pixels, interval);
  }
  b.back ^= 1;
}

FxBool grLfbLock(GrLock_t type, GrBuffer_t buffer, GrLfbWriteMode_t write_mode,
                 GrOriginLocation_t origin, FxBool pixel_pipeline, GrLfbInfo_t* info) {
  BoardRecord("grLfbLock", type, buffer, write_mode, origin, pixel_pipeline);
  BoardState& b = Board();
  if (!b.open || !info || info->size != static_cast<int32_t>(sizeof(GrLfbInfo_t))) return FXFALSE;
  if (type != GR_LFB_READ_ONLY && type != GR_LFB_WRITE_ONLY) return FXFALSE;
  if (write_mode != GR_LFBWRITEMODE_565) return FXFALSE;
  BoardFinish();  // the caller reads or writes the pixels itself
  int index;
  if (buffer == GR_BUFFER_BACKBUFFER) {
    index = b.back;
  } else if (buffer == GR_BUFFER_FRONTBUFFER) {
    index = b.back ^ 1;
  } else {
    return FXFALSE;
  }
  info->lfbPtr = b.colour[index].data();
  info->strideInBytes = static_cast<FxU32>(b.stride_pixels * sizeof(uint16_t));
  info->writeMode = GR_LFBWRITEMODE_565;
  info->origin = GR_ORIGIN_LOWER_LEFT;
  return FXTRUE;
}

FxBool grLfbUnlock(GrLock_t type, GrBuffer_t buffer) {
  BoardRecord("grLfbUnlock", type, buffer);
  return Board().open ? FXTRUE : FXFALSE;
}

void grClipWindow(FxU32 min_x, FxU32 min_y, FxU32 max_x, FxU32 max_y) {
  BoardRecord("grClipWindow", min_x, min_y, max_x, max_y);
  BoardState& b = Board();
  // Kept inside the screen; an empty window draws and clears nothing.
  const auto clamp = [](FxU32 value, int limit) {
    return static_cast<int>(std::min<FxU32>(value, static_cast<FxU32>(limit)));
  };
  b.clip.min_x = clamp(min_x, b.width);
  b.clip.max_x = std::max(b.clip.min_x, clamp(max_x, b.width));
  b.clip.min_y = clamp(min_y, b.height);
  b.clip.max_y = std::max(b.clip.min_y, clamp(max_y, b.height));
}
