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
  int32_t num_sst = 0;      // boards found
  int32_t fb_ram_mib = 0;   // frame memory
  int32_t tmu_ram_mib = 0;  // texture memory of texture unit 0
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

// ---------------------------------------------------------------------------
// Triangles, render state and texture memory.

using GrCullMode_t = int32_t;
using GrCombineFunction_t = int32_t;
using GrCombineFactor_t = int32_t;
using GrCombineLocal_t = int32_t;
using GrCombineOther_t = int32_t;
using GrMipMapMode_t = int32_t;
using GrTextureFilterMode_t = int32_t;
using GrTextureClampMode_t = int32_t;
using GrDepthBufferMode_t = int32_t;
using GrCmpFnc_t = int32_t;
using GrDitherMode_t = int32_t;
using GrChromakeyMode_t = int32_t;
using GrLOD_t = int32_t;
using GrAspectRatio_t = int32_t;
using GrTextureFormat_t = int32_t;

constexpr GrCullMode_t GR_CULL_DISABLE = 0;
// With the lower-left origin a triangle's signed area is
// (b - a) x (c - a) with y pointing up the screen: positive when a, b, c run
// counter-clockwise as seen on the screen. GR_CULL_NEGATIVE drops clockwise
// triangles, GR_CULL_POSITIVE counter-clockwise ones. The scene renderer's
// front faces arrive counter-clockwise, so GR_CULL_NEGATIVE drops back faces.
constexpr GrCullMode_t GR_CULL_NEGATIVE = 1;
constexpr GrCullMode_t GR_CULL_POSITIVE = 2;

constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_ZERO = 0;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_NONE = 0;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_LOCAL = 1;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_OTHER = 3;

constexpr GrCombineFactor_t GR_COMBINE_FACTOR_ZERO = 0;
constexpr GrCombineFactor_t GR_COMBINE_FACTOR_NONE = 0;
constexpr GrCombineFactor_t GR_COMBINE_FACTOR_LOCAL = 1;
constexpr GrCombineFactor_t GR_COMBINE_FACTOR_ONE = 8;

constexpr GrCombineLocal_t GR_COMBINE_LOCAL_ITERATED = 0;
constexpr GrCombineLocal_t GR_COMBINE_LOCAL_CONSTANT = 1;

constexpr GrCombineOther_t GR_COMBINE_OTHER_ITERATED = 0;
constexpr GrCombineOther_t GR_COMBINE_OTHER_TEXTURE = 1;
constexpr GrCombineOther_t GR_COMBINE_OTHER_CONSTANT = 2;

constexpr GrMipMapMode_t GR_MIPMAP_DISABLE = 0;
constexpr GrMipMapMode_t GR_MIPMAP_NEAREST = 1;
constexpr GrMipMapMode_t GR_MIPMAP_NEAREST_DITHER = 2;

constexpr GrTextureFilterMode_t GR_TEXTUREFILTER_POINT_SAMPLED = 0;
constexpr GrTextureFilterMode_t GR_TEXTUREFILTER_BILINEAR = 1;

constexpr GrTextureClampMode_t GR_TEXTURECLAMP_WRAP = 0;
constexpr GrTextureClampMode_t GR_TEXTURECLAMP_CLAMP = 1;

constexpr GrDepthBufferMode_t GR_DEPTHBUFFER_DISABLE = 0;
constexpr GrDepthBufferMode_t GR_DEPTHBUFFER_ZBUFFER = 1;
constexpr GrDepthBufferMode_t GR_DEPTHBUFFER_WBUFFER = 2;

constexpr GrCmpFnc_t GR_CMP_NEVER = 0;
constexpr GrCmpFnc_t GR_CMP_LESS = 1;
constexpr GrCmpFnc_t GR_CMP_EQUAL = 2;
constexpr GrCmpFnc_t GR_CMP_LEQUAL = 3;
constexpr GrCmpFnc_t GR_CMP_GREATER = 4;
constexpr GrCmpFnc_t GR_CMP_NOTEQUAL = 5;
constexpr GrCmpFnc_t GR_CMP_GEQUAL = 6;
constexpr GrCmpFnc_t GR_CMP_ALWAYS = 7;

constexpr GrDitherMode_t GR_DITHER_DISABLE = 0;
constexpr GrDitherMode_t GR_DITHER_2x2 = 1;
constexpr GrDitherMode_t GR_DITHER_4x4 = 2;

constexpr GrChromakeyMode_t GR_CHROMAKEY_DISABLE = 0;
constexpr GrChromakeyMode_t GR_CHROMAKEY_ENABLE = 1;

// Level of detail: the larger side of a mipmap level, 256 down to 1.
constexpr GrLOD_t GR_LOD_256 = 0;
constexpr GrLOD_t GR_LOD_128 = 1;
constexpr GrLOD_t GR_LOD_64 = 2;
constexpr GrLOD_t GR_LOD_32 = 3;
constexpr GrLOD_t GR_LOD_16 = 4;
constexpr GrLOD_t GR_LOD_8 = 5;
constexpr GrLOD_t GR_LOD_4 = 6;
constexpr GrLOD_t GR_LOD_2 = 7;
constexpr GrLOD_t GR_LOD_1 = 8;

// Width : height.
constexpr GrAspectRatio_t GR_ASPECT_8x1 = 0;
constexpr GrAspectRatio_t GR_ASPECT_4x1 = 1;
constexpr GrAspectRatio_t GR_ASPECT_2x1 = 2;
constexpr GrAspectRatio_t GR_ASPECT_1x1 = 3;
constexpr GrAspectRatio_t GR_ASPECT_1x2 = 4;
constexpr GrAspectRatio_t GR_ASPECT_1x4 = 5;
constexpr GrAspectRatio_t GR_ASPECT_1x8 = 6;

// The only texel format the board stores.
constexpr GrTextureFormat_t GR_TEXFMT_RGB_565 = 10;

constexpr FxU32 GR_MIPMAPLEVELMASK_EVEN = 1;
constexpr FxU32 GR_MIPMAPLEVELMASK_ODD = 2;
constexpr FxU32 GR_MIPMAPLEVELMASK_BOTH = 3;

// A texture as the board sees it. data holds the levels from largeLod down
// to smallLod back to back, each width x height texels, row after row; a
// side never shrinks below 1.
struct GrTexInfo {
  GrLOD_t smallLod = 0;
  GrLOD_t largeLod = 0;
  GrAspectRatio_t aspectRatio = 0;
  GrTextureFormat_t format = 0;
  void* data = nullptr;
};

struct GrTmuVertex {
  float sow = 0;  // s / w, s in texels of the largest level scaled to 0..256
  float tow = 0;  // t / w
  float oow = 0;  // 1 / w
};

// A triangle corner: x, y in pixels with the origin at the lower left; r, g,
// b in 0..255; oow = 1 / w, w growing with distance.
struct GrVertex {
  float x = 0;
  float y = 0;
  float z = 0;
  float r = 0;
  float g = 0;
  float b = 0;
  float ooz = 0;  // depth for the z-buffer mode, 0..65535
  float a = 0;
  float oow = 0;
  GrTmuVertex tmuvtx[2];
};

// Render state.
void grCullMode(GrCullMode_t mode);
void grColorCombine(GrCombineFunction_t function, GrCombineFactor_t factor, GrCombineLocal_t local,
                    GrCombineOther_t other, FxBool invert);
void grConstantColorValue(GrColor_t colour);
void grTexCombine(GrChipID_t tmu, GrCombineFunction_t rgb_function, GrCombineFactor_t rgb_factor,
                  GrCombineFunction_t alpha_function, GrCombineFactor_t alpha_factor,
                  FxBool rgb_invert, FxBool alpha_invert);
void grTexMipMapMode(GrChipID_t tmu, GrMipMapMode_t mode, FxBool lod_blend);
void grTexFilterMode(GrChipID_t tmu, GrTextureFilterMode_t minify, GrTextureFilterMode_t magnify);
void grTexClampMode(GrChipID_t tmu, GrTextureClampMode_t s_mode, GrTextureClampMode_t t_mode);
void grDepthBufferMode(GrDepthBufferMode_t mode);
void grDepthBufferFunction(GrCmpFnc_t function);
void grDepthMask(FxBool enable);
void grDitherMode(GrDitherMode_t mode);
void grChromakeyMode(GrChromakeyMode_t mode);
void grChromakeyValue(GrColor_t colour);

// Texture memory of texture unit 0: 2 MiB, addresses in bytes.
// grTexMaxAddress gives the end of the memory: a texture fits when its start
// address plus its memory required is at most that. A download that does not
// fit, names an unknown format or level, or has no data is refused and
// writes nothing.
FxU32 grTexMinAddress(GrChipID_t tmu);
FxU32 grTexMaxAddress(GrChipID_t tmu);
FxU32 grTexTextureMemRequired(FxU32 even_odd, GrTexInfo* info);
void grTexDownloadMipMap(GrChipID_t tmu, FxU32 start_address, FxU32 even_odd, GrTexInfo* info);
void grTexSource(GrChipID_t tmu, FxU32 start_address, FxU32 even_odd, GrTexInfo* info);

// Triangles. Both respect the clip window; guDrawTriangleWithClip is kept as
// its own name because the demo calls it. Each is recorded with the three
// corners' x, y, oow (a, then b, then c), followed by each corner's r, g, b,
// sow, tow of texture unit 0.
void grDrawTriangle(const GrVertex* a, const GrVertex* b, const GrVertex* c);
void guDrawTriangleWithClip(const GrVertex* a, const GrVertex* b, const GrVertex* c);
