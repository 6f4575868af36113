// Included before every file of the web build: the C++ library of the
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
