// The rows libopenmpt plays, as the conformance tests compare them with ours:
// a list of (order position, row), consecutive repeats (a row held by a
// pattern delay, or looped onto itself) counted once on both sides.
#pragma once

#include <algorithm>
#include <cstdint>
#include <libopenmpt/libopenmpt.hpp>
#include <utility>
#include <vector>

using RowList = std::vector<std::pair<int, int>>;  // order position, row

inline void AppendRow(RowList& rows, int position, int row) {
  if (rows.empty() || rows.back() != std::make_pair(position, row))
    rows.emplace_back(position, row);
}

// libopenmpt's order and row while it renders the song once, sampled often
// enough (2 ms) to see every row; *seconds is its length of the song.
inline RowList ReferenceRows(const std::vector<uint8_t>& bytes, double* seconds) {
  openmpt::module reference(bytes);
  reference.set_repeat_count(0);
  *seconds = reference.get_duration_seconds();
  RowList rows;
  std::vector<int16_t> scratch(16);
  // The row is taken before each read: after the last one libopenmpt has
  // already moved back to the song's start.
  do {
    AppendRow(rows, reference.get_current_order(), reference.get_current_row());
  } while (reference.read(8000, scratch.size(), scratch.data()) == scratch.size());
  // At the very end libopenmpt already shows the row the song would go back
  // to; it is not played again.
  if (rows.size() > 1 && std::find(rows.begin(), rows.end() - 1, rows.back()) != rows.end() - 1) {
    rows.pop_back();
  }
  return rows;
}
