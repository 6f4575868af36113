// The same pixel pipeline as span_avx2.cpp, compiled for processors with
// AVX-512 (F, VL, BW): the same 256-bit operations in the same order, with
// twice the registers, so the group loop keeps its values in registers, and
// masked stores that write only the passing pixels.
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
#pragma GCC target("avx2,avx512f,avx512vl,avx512bw")
// The AVX-512 target brings FMA with it: products and sums must stay
// separately rounded to match the other paths.
#pragma GCC optimize("fp-contract=off")

#define WIDE_MASKED_STORES
namespace {
#include "board/span_wide_body.h"
}  // namespace
#undef WIDE_MASKED_STORES

#pragma GCC pop_options

TriangleDrawer SelectTriangleDrawerAvx512(const BoardRenderState& state, bool has_depth_buffer) {
  static const bool has_avx512 = __builtin_cpu_supports("avx512f") &&
                                 __builtin_cpu_supports("avx512vl") &&
                                 __builtin_cpu_supports("avx512bw");
  if (!has_avx512 || state.pixel_path != PixelPath::kFastest) return nullptr;
  return DrawerFor(state, has_depth_buffer);
}

#else

TriangleDrawer SelectTriangleDrawerAvx512(const BoardRenderState&, bool) {
  return nullptr;
}

#endif
