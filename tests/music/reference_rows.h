// What the conformance tests compare with libopenmpt: the rows it plays, as a
// list of (order position, row), consecutive repeats (a row held by a pattern
// delay, or looped onto itself) counted once on both sides; and how closely
// the loudness of two renders follows one another.
#pragma once

#include <algorithm>
#include <cmath>
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

// How closely our loudness follows theirs: the correlation of the RMS of
// windows of `window` samples. Windows long enough follow the notes and their
// volume commands but not the phase of the waveforms, which differs between
// mixers. Ours is taken from sample `skip` on (past our lead-in).
inline double LoudnessCorrelation(const std::vector<int16_t>& ours_whole,
                                  const std::vector<int16_t>& theirs, size_t window,
                                  size_t skip = 0) {
  const std::vector<int16_t> ours(ours_whole.begin() + static_cast<long>(skip), ours_whole.end());
  std::vector<double> a, b;
  for (size_t start = 0; start + window <= std::min(ours.size(), theirs.size()); start += window) {
    double sum_a = 0, sum_b = 0;
    for (size_t i = start; i < start + window; ++i) {
      sum_a += double(ours[i]) * ours[i];
      sum_b += double(theirs[i]) * theirs[i];
    }
    a.push_back(std::sqrt(sum_a / double(window)));
    b.push_back(std::sqrt(sum_b / double(window)));
  }
  const double n = double(a.size());
  double mean_a = 0, mean_b = 0, ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < a.size(); ++i) mean_a += a[i] / n, mean_b += b[i] / n;
  for (size_t i = 0; i < a.size(); ++i) {
    ab += (a[i] - mean_a) * (b[i] - mean_b);
    aa += (a[i] - mean_a) * (a[i] - mean_a);
    bb += (b[i] - mean_b) * (b[i] - mean_b);
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}
