// The Glide 2.x interface of the software 3D board: the names, constants and
// argument meanings the demo uses, so the demo's calls read as they did on
// the original hardware. The board draws into its own frame memory; where
// finished frames go is chosen with BoardSetFrameSink (frame_sink.h).
#pragma once

#include <cstdint>

using FxBool = int32_t;
using FxU8 = uint8_t;
using FxU16 = uint16_t;
using FxU32 = uint32_t;
using FxI32 = int32_t;
using GrColor_t = uint32_t;  // ARGB, 8 bits each
using GrAlpha_t = uint8_t;
using GrChipID_t = int32_t;
using GrScreenResolution_t = int32_t;
using GrScreenRefresh_t = int32_t;
using GrColorFormat_t = int32_t;
using GrOriginLocation_t = int32_t;
using GrBuffer_t = int32_t;
using GrLock_t = int32_t;
using GrLfbWriteMode_t = int32_t;

constexpr FxBool FXFALSE = 0;
constexpr FxBool FXTRUE = 1;

constexpr GrChipID_t GR_TMU0 = 0;

// Screen resolutions.
constexpr GrScreenResolution_t GR_RESOLUTION_320x200 = 0;
constexpr GrScreenResolution_t GR_RESOLUTION_320x240 = 1;
constexpr GrScreenResolution_t GR_RESOLUTION_400x256 = 2;
constexpr GrScreenResolution_t GR_RESOLUTION_512x384 = 3;
constexpr GrScreenResolution_t GR_RESOLUTION_640x200 = 4;
constexpr GrScreenResolution_t GR_RESOLUTION_640x350 = 5;
constexpr GrScreenResolution_t GR_RESOLUTION_640x400 = 6;
constexpr GrScreenResolution_t GR_RESOLUTION_640x480 = 7;
constexpr GrScreenResolution_t GR_RESOLUTION_800x600 = 8;

constexpr GrScreenRefresh_t GR_REFRESH_60Hz = 0;
constexpr GrColorFormat_t GR_COLORFORMAT_ARGB = 0;
constexpr GrOriginLocation_t GR_ORIGIN_UPPER_LEFT = 0;
constexpr GrOriginLocation_t GR_ORIGIN_LOWER_LEFT = 1;
constexpr GrOriginLocation_t GR_ORIGIN_ANY = 0xFF;

constexpr GrBuffer_t GR_BUFFER_FRONTBUFFER = 0;
constexpr GrBuffer_t GR_BUFFER_BACKBUFFER = 1;

constexpr GrLock_t GR_LFB_READ_ONLY = 0;
constexpr GrLock_t GR_LFB_WRITE_ONLY = 1;
constexpr GrLfbWriteMode_t GR_LFBWRITEMODE_565 = 0;

// What grSstQueryHardware reports.
struct GrHwConfiguration {
  int32_t num_sst = 0;       // boards found
  int32_t fb_ram_mib = 0;    // frame memory
  int32_t tmu_ram_mib = 0;   // texture memory of texture unit 0
};

// A locked linear frame buffer.
struct GrLfbInfo_t {
  int32_t size = 0;  // set by the caller to sizeof(GrLfbInfo_t)
  void* lfbPtr = nullptr;
  FxU32 strideInBytes = 0;
  GrLfbWriteMode_t writeMode = 0;
  GrOriginLocation_t origin = 0;
};

void grGlideInit();
void grGlideShutdown();
FxBool grSstQueryHardware(GrHwConfiguration* configuration);
void grSstSelect(int board);
FxBool grSstWinOpen(FxU32 window, GrScreenResolution_t resolution, GrScreenRefresh_t refresh,
                    GrColorFormat_t format, GrOriginLocation_t origin, int colour_buffers,
                    int aux_buffers);

void grBufferClear(GrColor_t colour, GrAlpha_t alpha, FxU16 depth);
void grBufferSwap(int interval);
FxBool grLfbLock(GrLock_t type, GrBuffer_t buffer, GrLfbWriteMode_t write_mode,
                 GrOriginLocation_t origin, FxBool pixel_pipeline, GrLfbInfo_t* info);
FxBool grLfbUnlock(GrLock_t type, GrBuffer_t buffer);
void grClipWindow(FxU32 min_x, FxU32 min_y, FxU32 max_x, FxU32 max_y);
