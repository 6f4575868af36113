// The rows of one triangle as the edge walk hands them to the pixel
// pipeline: each edge's limit per row, stepped exactly in integers (see
// triangle_setup.cpp for the edge functions and the fill rule).
#pragma once

#include <algorithm>
#include <cstdint>

// floor(M / D) of a numerator M that grows by a fixed step each row,
// followed exactly with a quotient and remainder (D > 0).
struct RowStepper {
  int64_t quotient = 0;
  int64_t remainder = 0;  // 0 <= remainder < denominator
  int64_t denominator = 1;
  int64_t step_quotient = 0;
  int64_t step_remainder = 0;

  void Advance() {
    quotient += step_quotient;
    remainder += step_remainder;
    if (remainder >= denominator) {
      remainder -= denominator;
      ++quotient;
    }
  }
};

// Left edges give each row's first covered pixel, right edges one before
// one past its last; unused slots hold limits that never bind (a stepper
// that does not move), so the walk needs no per-edge kind tests. A
// horizontal edge covers a row only while its value is >= 0.
struct TriangleRows {
  RowStepper left[2];
  RowStepper right[2];
  int64_t horizontal_value = 0;
  int64_t horizontal_step = 0;
  int64_t clip_begin = 0;  // the clip window's columns
  int64_t clip_end = 0;
  int64_t first_row = 0;
  int64_t last_row = -1;

  // The current row's pixels [*begin, *end); false when it has none.
  bool Span(int64_t* begin, int64_t* end) const {
    *begin = std::max({clip_begin, left[0].quotient, left[1].quotient});
    *end = std::min({clip_end, right[0].quotient + 1, right[1].quotient + 1});
    return *begin < *end && horizontal_value >= 0;
  }
  void Advance() {
    left[0].Advance();
    left[1].Advance();
    right[0].Advance();
    right[1].Advance();
    horizontal_value += horizontal_step;
  }
};
