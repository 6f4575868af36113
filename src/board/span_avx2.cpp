// The AVX2 pixel pipeline, chosen at run time (span_wide_body.h).
#include <cstddef>
#include <cstdint>

#include "board/depth.h"
#include "board/glide.h"
#include "board/render_state.h"
#include "board/span_pipeline.h"
#include "board/texture_memory.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)

#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx2")

namespace {
#include "board/span_wide_body.h"
}  // namespace

#pragma GCC pop_options

TriangleDrawer SelectTriangleDrawerAvx2(const BoardRenderState& state, bool has_depth_buffer) {
  static const bool has_avx2 = __builtin_cpu_supports("avx2");
  if (!has_avx2) return nullptr;
  if (state.pixel_path != PixelPath::kFastest && state.pixel_path != PixelPath::kAvx2) {
    return nullptr;
  }
  return DrawerFor(state, has_depth_buffer);
}

#else

TriangleDrawer SelectTriangleDrawerAvx2(const BoardRenderState&, bool) {
  return nullptr;
}

#endif
