// The scene renderer: the frame's board state, the per-polygon colour
// combine, texture and culling choice, and the fan submission.
#include "engine/scene_renderer.h"

#include <cmath>

#include "board/glide.h"
#include "device/demo_state.h"
#include "device/device.h"
#include "engine/polygon_buffer.h"
#include "engine/scene_evaluation.h"
#include "engine/scene_projection.h"
#include "scene/scene.h"

namespace {

// The field of view handed to the projection when the evaluation wrote none
// (empty slot, negative frame, no camera); nothing is drawn then, so any
// valid angle gives the same picture.
constexpr float kUnusedFovDegrees = 60.0f;

constexpr uint8_t kCombineMask = 0x07;  // shading bits and the textured bit

// A lit channel as a shift-table index; colours are clamped to 0..255 by the
// lighting, this keeps the table read in range whatever the record holds.
int ChannelIndex(float value) {
  if (!(value > 0.0f)) return 0;
  if (value >= 255.0f) return 255;
  return static_cast<int>(value);
}

void SetFrameState() {
  grTexMipMapMode(GR_TMU0, GR_MIPMAP_NEAREST_DITHER, FXTRUE);
  grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE,
               GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, FXFALSE, FXFALSE);
  grDitherMode(DitherEnabled ? GR_DITHER_4x4 : GR_DITHER_DISABLE);
  grChromakeyMode(GR_CHROMAKEY_DISABLE);
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthBufferFunction(GR_CMP_LESS);
  grDepthMask(FXTRUE);
  grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
  // The view is centred on the screen.
  grClipWindow(static_cast<FxU32>((ScreenWidth - ViewWidth) / 2),
               static_cast<FxU32>((ScreenHeight - ViewHeight) / 2),
               static_cast<FxU32>((ScreenWidth + ViewWidth) / 2),
               static_cast<FxU32>((ScreenHeight + ViewHeight) / 2));
}

void SetColourCombine(const PolygonRecord& polygon) {
  const uint8_t mode = polygon.material_flags & kCombineMask;
  const bool textured = (mode & kMaterialTextured) != 0;
  const bool flat = (mode & kMaterialShadingMask) == 0;
  if (flat) grConstantColorValue(FlatPolygonColour(&polygon.vertices[0]));
  if (textured) {
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                   flat ? GR_COMBINE_LOCAL_CONSTANT : GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_TEXTURE, FXFALSE);
  } else {
    grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE,
                   flat ? GR_COMBINE_LOCAL_CONSTANT : GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_CONSTANT, FXFALSE);
  }
}

void BindTexture(const Texture* slots, int32_t texture_index) {
  // A material the loader never gave a texture names no slot: the board
  // keeps the texture it had.
  if (slots == nullptr || texture_index < 0 || texture_index >= kTextureSlotCount) return;
  const Texture& texture = slots[texture_index];
  GrTexInfo info;
  info.smallLod = texture.small_lod;
  info.largeLod = texture.large_lod;
  info.aspectRatio = texture.aspect_ratio;
  info.format = texture.format;
  info.data = texture.data;
  grTexSource(GR_TMU0, texture.start_address, GR_MIPMAPLEVELMASK_BOTH, &info);
}

}  // namespace

uint32_t FlatPolygonColour(const RecordVertex* corner) {
  return RedShift[ChannelIndex(corner->r)] | GreenShift[ChannelIndex(corner->g)] |
         BlueShift[ChannelIndex(corner->b)];
}

void RenderPolygons(const PolygonRecord* polygons, int32_t count, const Texture* slots,
                    float fov_degrees, int32_t fade_level) {
  SetFrameState();
  if (!ComputeProjection(fov_degrees, fade_level, &Projection)) return;
  for (int32_t i = 0; i < count; ++i) {
    const PolygonRecord& polygon = polygons[i];
    if (polygon.vertex_count == 0 || (polygon.material_flags & kMaterialDrawn) == 0) continue;
    if (ClipAndProject(&polygon) == 0) continue;
    SetColourCombine(polygon);
    if (polygon.material_flags & kMaterialTextured) BindTexture(slots, polygon.texture_index);
    grCullMode((polygon.material_flags & kMaterialTwoSided) ? GR_CULL_DISABLE : GR_CULL_NEGATIVE);
    for (int32_t j = 1; j + 1 < ClipVertexCount; ++j) {
      guDrawTriangleWithClip(&ClipVertices[0], &ClipVertices[j], &ClipVertices[j + 1]);
    }
  }
}

void DrawSceneFrame(int32_t slot, int32_t from, int32_t to, float progress) {
  PolygonCount = 0;
  const float frame = static_cast<float>(to - from) * progress + static_cast<float>(from);
  float fov_degrees = kUnusedFovDegrees;
  Scene* scene = slot >= 0 && slot < kSceneSlotCount ? SceneSlots[slot] : nullptr;
  EvaluateScene(scene, CollectPolygon, frame, &fov_degrees);
  RenderPolygons(PolygonBuffer, PolygonCount, TextureSlots, fov_degrees, FadeLevel);
}
