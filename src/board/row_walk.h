// The rows of one triangle as the edge walk hands them to the pixel
// pipeline: each edge's limit per row, stepped exactly in integers (see
// triangle_setup.cpp for the edge functions and the fill rule).
#pragma once

#include <algorithm>
#include <cstdint>

// floor(M / D) of a numerator M that grows by a fixed step each row,
// followed exactly with a quotient and remainder (D > 0). Plain values,
// like the walk below: the triangle setup fills in every one of them (no
// defaults, which would be written once more for every triangle).
struct RowStepper {
  int64_t quotient;
  int64_t remainder;  // 0 <= remainder < denominator
  int64_t denominator;
  int64_t step_quotient;
  int64_t step_remainder;

  // Without a branch: whether the remainder carries follows the edge's slope
  // row by row, a pattern no branch predictor learns, and a mispredicted
  // carry costs more than a small triangle's row. Both stay below 2^32, so
  // the sign of their difference is the carry.
  void Advance() {
    quotient += step_quotient;
    remainder += step_remainder;
    const int64_t carry = ~((remainder - denominator) >> 63);  // all ones when it carries
    remainder -= denominator & carry;
    quotient -= carry;
  }
};

// A triangle's rows are bounded by one left and one right edge at a time:
// the edge that runs the whole height on one side, and on the other side
// the lower short edge up to the middle corner, the upper one from there.
// At the middle corner's own height both short edges give the same limit,
// so the hand-over row only has to be one whose centre is not below it.
// A horizontal edge covers a row only while its value is >= 0 (it decides
// the rows on its own height by the fill rule).
struct TriangleRows {
  RowStepper left;   // the first covered pixel of the row
  RowStepper right;  // one before one past the last covered pixel
  RowStepper upper;  // the short edge that takes over at switch_row
  bool upper_is_left;
  int64_t switch_row;  // beyond last_row when no edge takes over
  int64_t horizontal_value;
  int64_t horizontal_step;
  int64_t clip_begin;  // the clip window's columns
  int64_t clip_end;
  int64_t first_row;
  int64_t last_row;

  // The current row's pixels [*begin, *end); false when it has none.
  bool Span(int64_t* begin, int64_t* end) const {
    *begin = std::max(clip_begin, left.quotient);
    *end = std::min(clip_end, right.quotient + 1);
    return *begin < *end && horizontal_value >= 0;
  }
  // Steps from row to row + 1.
  void Advance(int64_t row) {
    left.Advance();
    right.Advance();
    horizontal_value += horizontal_step;
    if (row + 1 == switch_row) (upper_is_left ? left : right) = upper;
  }
};
