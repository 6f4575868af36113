// Included before every file of the web build. First, the C++ library of the
// emscripten release that Debian ships predates std::bit_cast, which the
// and std::make_unique_for_overwrite, which the shared code uses; these
// give the same results.
#pragma once

#include <bit>
#include <memory>
#include <type_traits>

#if !defined(__cpp_lib_bit_cast)
namespace std {
template <class To, class From>
constexpr To bit_cast(const From& from) noexcept {
  static_assert(sizeof(To) == sizeof(From));
  return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif

#if !defined(__cpp_lib_smart_ptr_for_overwrite)
namespace std {
template <class T>
requires(!is_array_v<T>) unique_ptr<T> make_unique_for_overwrite() {
  return unique_ptr<T>(new T);
}
}  // namespace std
#endif

// Second, emscripten's SSE2 layer converts floats to integers one lane at a
// time, with a library call per lane, because WebAssembly's own conversion
// saturates where SSE2 gives 0x80000000. Every conversion of the shared code
// is of values inside the int range (clamped first, or the lane is not used
// when it is out of range), where both give the same integers; the one
// instruction takes a third of the drawing time off the page.
#if defined(__SSE2__) && defined(__wasm_simd128__)
#include <emmintrin.h>
#include <wasm_simd128.h>
#undef _mm_cvttps_epi32
#define _mm_cvttps_epi32(floats) \
  static_cast<__m128i>(wasm_i32x4_trunc_sat_f32x4(static_cast<v128_t>(floats)))
#endif
