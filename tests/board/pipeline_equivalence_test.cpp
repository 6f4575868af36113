// The vector pixel paths (AVX-512 and AVX2 where the processor has them,
// SSE2) and the portable per-pixel loop must draw the same pixels and depths
// for every combination of colour, texture, depth and dither settings.
#include <algorithm>
#include <random>

#include "board/span_pipeline.h"
#include "board_fixture.h"

namespace {

class PipelineEquivalenceTest : public BoardTest {
 protected:
  // A corner at distance w with texture coordinates (s, t).
  static void PlaceAt(float w, float s, float t, GrVertex* corner) {
    corner->oow = corner->tmuvtx[0].oow = 1 / w;
    corner->tmuvtx[0].sow = s / w;
    corner->tmuvtx[0].tow = t / w;
  }

  // The common state of the demo's textured triangles: bilinear filtering
  // of one wrapping level, colour scaling the texel, W-buffer with writes.
  static void SetPlainTexturedState() {
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    grTexMipMapMode(GR_TMU0, GR_MIPMAP_DISABLE, FXFALSE);
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthBufferFunction(GR_CMP_LESS);
    grDepthMask(FXTRUE);
    grChromakeyMode(GR_CHROMAKEY_DISABLE);
  }

  // One triangle of the random scenes: varied colour, w and texture
  // coordinates (some far outside the texture), overlapping the others.
  static void DrawRandomTriangle(std::mt19937* random) {
    std::uniform_real_distribution<float> position(-20.0f, 200.0f), colour(-40.0f, 300.0f),
        distance(0.5f, 300.0f), coordinate(-600.0f, 600.0f);
    GrVertex v[3];
    for (GrVertex& corner : v) {
      corner = Coloured(position(*random), position(*random), colour(*random), colour(*random),
                        colour(*random));
      const float w = distance(*random);
      corner.ooz = w * 200.0f;
      const float s = coordinate(*random);
      PlaceAt(w, s, coordinate(*random), &corner);
    }
    Draw(v[0], v[1], v[2]);
  }

  // Downloads and binds the levels from 64 texels down to 1, texel
  // i of the download being texel_of(i).
  template <typename TexelOf>
  static void BindMipChain(GrAspectRatio_t aspect, TexelOf texel_of) {
    GrTexInfo info;
    info.largeLod = GR_LOD_64;
    info.smallLod = GR_LOD_1;
    info.aspectRatio = aspect;
    info.format = GR_TEXFMT_RGB_565;
    std::vector<uint16_t> texels(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info) / 2);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = texel_of(i);
    info.data = texels.data();
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
  }

  // A fixed random scene of overlapping triangles.
  static Frame DrawScene(PixelPath path, int variant, uint16_t clear_depth) {
    RenderState().pixel_path = path;
    grBufferClear(0x101010, 0, clear_depth);
    std::mt19937 random(static_cast<uint32_t>(variant * 31 + 1));
    for (int n = 0; n < 40; ++n) {
      DrawRandomTriangle(&random);
    }
    return ReadFrame(200, 200);
  }
};

TEST_F(PipelineEquivalenceTest, VectorAndPortablePathsDrawTheSame) {
  // A full chain of levels, so that variants with mipmapping pick levels.
  BindMipChain(GR_ASPECT_1x2, [](size_t i) { return static_cast<uint16_t>(i * 2654435761u >> 7); });
  grConstantColorValue(0x80C0FF);
  grChromakeyValue(0x000000);
  int variant = 0;
  for (const GrCombineOther_t other : {GR_COMBINE_OTHER_CONSTANT, GR_COMBINE_OTHER_TEXTURE}) {
    for (const GrCombineLocal_t local : {GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_LOCAL_CONSTANT}) {
      for (const GrDitherMode_t dither : {GR_DITHER_DISABLE, GR_DITHER_2x2, GR_DITHER_4x4}) {
        for (const int depth_case : {0, 1, 2, 3}) {
          ++variant;
          const bool textured = other == GR_COMBINE_OTHER_TEXTURE;
          grColorCombine(textured ? GR_COMBINE_FUNCTION_SCALE_OTHER : GR_COMBINE_FUNCTION_LOCAL,
                         textured ? GR_COMBINE_FACTOR_LOCAL : GR_COMBINE_FACTOR_NONE, local, other,
                         FXFALSE);
          grDitherMode(dither);
          grTexFilterMode(GR_TMU0,
                          variant % 2 ? GR_TEXTUREFILTER_BILINEAR : GR_TEXTUREFILTER_POINT_SAMPLED,
                          GR_TEXTUREFILTER_BILINEAR * (variant % 2));
          grTexClampMode(GR_TMU0, variant % 3 ? GR_TEXTURECLAMP_WRAP : GR_TEXTURECLAMP_CLAMP,
                         variant % 5 ? GR_TEXTURECLAMP_WRAP : GR_TEXTURECLAMP_CLAMP);
          grChromakeyMode(variant % 4 == 0 ? GR_CHROMAKEY_ENABLE : GR_CHROMAKEY_DISABLE);
          grTexMipMapMode(GR_TMU0, variant % 3 == 1 ? GR_MIPMAP_NEAREST : GR_MIPMAP_DISABLE,
                          FXFALSE);
          grDepthBufferMode(depth_case == 0   ? GR_DEPTHBUFFER_DISABLE
                            : depth_case == 3 ? GR_DEPTHBUFFER_ZBUFFER
                                              : GR_DEPTHBUFFER_WBUFFER);
          grDepthBufferFunction(depth_case == 2 ? GR_CMP_GEQUAL : GR_CMP_LESS);
          grDepthMask(variant % 7 ? FXTRUE : FXFALSE);
          // GEQUAL starts from the nearest depth so that pixels pass.
          const uint16_t clear_depth = depth_case == 2 ? 0 : 0xFFFF;
          const Frame portable = DrawScene(PixelPath::kPortable, variant, clear_depth);
          for (const PixelPath path : {PixelPath::kSse2, PixelPath::kAvx2, PixelPath::kFastest}) {
            const Frame vector = DrawScene(path, variant, clear_depth);
            ASSERT_TRUE(vector == portable) << "variant " << variant << ", path " << int(path);
          }
          // The scene drew something.
          ASSERT_GT(std::count_if(portable.colour.begin(), portable.colour.end(),
                                  [](uint16_t p) { return p != Pack565(0x10, 0x10, 0x10); }),
                    1000)
              << "variant " << variant;
        }
      }
    }
  }
  RenderState().pixel_path = PixelPath::kFastest;
}

// Bilinear filtering reads a texel's neighbourhood prepared at download
// time, wrapped by the downloaded shape. Bound with another shape, or after
// a download overwrote part of it, the texture must still draw exactly as
// the per-texel paths draw it.
TEST_F(PipelineEquivalenceTest, PreparedNeighbourhoodsServeOnlyTheTextureAsDownloaded) {
  const auto info_of = [](GrLOD_t lod, GrAspectRatio_t aspect, std::vector<uint16_t>* texels,
                          uint16_t seed) {
    GrTexInfo info;
    info.smallLod = info.largeLod = lod;
    info.aspectRatio = aspect;
    info.format = GR_TEXFMT_RGB_565;
    texels->resize(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info) / 2);
    for (size_t i = 0; i < texels->size(); ++i)
      (*texels)[i] = static_cast<uint16_t>((i + seed) * 2654435761u >> 9);
    info.data = texels->data();
    return info;
  };
  std::vector<uint16_t> square_texels, wide_texels, other_texels;
  GrTexInfo square = info_of(GR_LOD_64, GR_ASPECT_1x1, &square_texels, 1);
  GrTexInfo wide = info_of(GR_LOD_64, GR_ASPECT_2x1, &wide_texels, 2);
  GrTexInfo other = info_of(GR_LOD_32, GR_ASPECT_1x1, &other_texels, 3);
  SetPlainTexturedState();
  const auto same_on_every_path = [&](GrTexInfo* bound, const char* what) {
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, bound);
    const Frame portable = DrawScene(PixelPath::kPortable, 7, 0xFFFF);
    for (const PixelPath path : {PixelPath::kFastest, PixelPath::kAvx2}) {
      const Frame vector = DrawScene(path, 7, 0xFFFF);
      EXPECT_TRUE(vector == portable) << what << ", path " << int(path);
    }
  };
  grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &square);
  same_on_every_path(&square, "as downloaded");
  same_on_every_path(&wide, "bound with another shape");
  // A smaller texture written over the middle of the square one.
  grTexDownloadMipMap(GR_TMU0, 2048, GR_MIPMAPLEVELMASK_BOTH, &other);
  same_on_every_path(&square, "partly overwritten");
  grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &wide);
  same_on_every_path(&wide, "downloaded again with the other shape");
  RenderState().pixel_path = PixelPath::kFastest;
}

}  // namespace
