// The Glide render-state calls: each is recorded and turned into the form
// the triangle setup and pixel pipeline read (render_state.h).
#include "board/render_state.h"

#include "board/call_record.h"
#include "board/glide.h"

namespace {

ColourSource LocalSource(GrCombineLocal_t local) {
  return local == GR_COMBINE_LOCAL_CONSTANT ? ColourSource::kConstant : ColourSource::kIterated;
}

}  // namespace

void grCullMode(GrCullMode_t mode) {
  BoardRecord("grCullMode", mode);
  RenderState().cull_mode = mode;
}

// The board draws the combinations the demo uses: the local colour alone
// (iterated or constant), the texture scaled by the local colour, the
// texture alone and zero. Anything else is drawn as the local colour.
void grColorCombine(GrCombineFunction_t function, GrCombineFactor_t factor, GrCombineLocal_t local,
                    GrCombineOther_t other, FxBool invert) {
  BoardRecord("grColorCombine", function, factor, local, other, invert);
  BoardRenderState& s = RenderState();
  s.textured = false;
  s.colour = LocalSource(local);
  if (invert) ++s.unsupported_combines;
  if (function == GR_COMBINE_FUNCTION_ZERO) {
    s.colour = ColourSource::kBlack;
  } else if (function == GR_COMBINE_FUNCTION_LOCAL) {
    // The local colour as it stands.
  } else if (function == GR_COMBINE_FUNCTION_SCALE_OTHER && other == GR_COMBINE_OTHER_TEXTURE &&
             factor == GR_COMBINE_FACTOR_LOCAL) {
    s.textured = true;
  } else if (function == GR_COMBINE_FUNCTION_SCALE_OTHER && other == GR_COMBINE_OTHER_TEXTURE &&
             factor == GR_COMBINE_FACTOR_ONE) {
    s.textured = true;
    s.colour = ColourSource::kWhite;
  } else {
    ++s.unsupported_combines;
  }
}

void grConstantColorValue(GrColor_t colour) {
  BoardRecord("grConstantColorValue", colour);
  BoardRenderState& s = RenderState();
  s.constant_red = static_cast<uint8_t>(colour >> 16);
  s.constant_green = static_cast<uint8_t>(colour >> 8);
  s.constant_blue = static_cast<uint8_t>(colour);
}

// Texture unit 0 always hands its texel on unchanged; the arguments are kept
// only in the record.
void grTexCombine(GrChipID_t tmu, GrCombineFunction_t rgb_function, GrCombineFactor_t rgb_factor,
                  GrCombineFunction_t alpha_function, GrCombineFactor_t alpha_factor,
                  FxBool rgb_invert, FxBool alpha_invert) {
  BoardRecord("grTexCombine", tmu, rgb_function, rgb_factor, alpha_function, alpha_factor,
              rgb_invert, alpha_invert);
}

void grTexMipMapMode(GrChipID_t tmu, GrMipMapMode_t mode, FxBool lod_blend) {
  BoardRecord("grTexMipMapMode", tmu, mode, lod_blend);
  if (tmu != GR_TMU0) return;
  RenderState().mipmapping = mode != GR_MIPMAP_DISABLE;
}

// One filter serves both directions: bilinear when either asks for it.
void grTexFilterMode(GrChipID_t tmu, GrTextureFilterMode_t minify, GrTextureFilterMode_t magnify) {
  BoardRecord("grTexFilterMode", tmu, minify, magnify);
  if (tmu != GR_TMU0) return;
  RenderState().bilinear =
      minify == GR_TEXTUREFILTER_BILINEAR || magnify == GR_TEXTUREFILTER_BILINEAR;
}

void grTexClampMode(GrChipID_t tmu, GrTextureClampMode_t s_mode, GrTextureClampMode_t t_mode) {
  BoardRecord("grTexClampMode", tmu, s_mode, t_mode);
  if (tmu != GR_TMU0) return;
  RenderState().clamp_s = s_mode == GR_TEXTURECLAMP_CLAMP;
  RenderState().clamp_t = t_mode == GR_TEXTURECLAMP_CLAMP;
}

void grDepthBufferMode(GrDepthBufferMode_t mode) {
  BoardRecord("grDepthBufferMode", mode);
  DepthSource& depth = RenderState().depth;
  if (mode == GR_DEPTHBUFFER_WBUFFER) {
    depth = DepthSource::kWBuffer;
  } else if (mode == GR_DEPTHBUFFER_ZBUFFER) {
    depth = DepthSource::kZBuffer;
  } else {
    depth = DepthSource::kNone;
  }
}

void grDepthBufferFunction(GrCmpFnc_t function) {
  BoardRecord("grDepthBufferFunction", function);
  if (function < GR_CMP_NEVER || function > GR_CMP_ALWAYS) return;
  RenderState().depth_function = function;
}

void grDepthMask(FxBool enable) {
  BoardRecord("grDepthMask", enable);
  RenderState().depth_write = enable != FXFALSE;
}

void grDitherMode(GrDitherMode_t mode) {
  BoardRecord("grDitherMode", mode);
  if (mode < GR_DITHER_DISABLE || mode > GR_DITHER_4x4) return;
  RenderState().dither_mode = mode;
}

void grChromakeyMode(GrChromakeyMode_t mode) {
  BoardRecord("grChromakeyMode", mode);
  RenderState().chromakey = mode == GR_CHROMAKEY_ENABLE;
}

void grChromakeyValue(GrColor_t colour) {
  BoardRecord("grChromakeyValue", colour);
  RenderState().chromakey_rgb = colour & 0xFFFFFF;
}
