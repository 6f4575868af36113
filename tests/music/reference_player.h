// What independent players (libopenmpt, libxmp) do with a module file: the rows
// it plays in order and the song's length, for comparison with ours.
#pragma once

#include <algorithm>
#include <fstream>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>
#include <string>
#include <utility>
#include <vector>

#include "music/player.h"
#include "xmp.h"

using RowList = std::vector<std::pair<int, int>>;  // order position, row

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Consecutive repeats (a row held by a pattern delay, or looped onto
// itself) are counted once on both sides.
inline void AppendRow(RowList& rows, int position, int row) {
  if (rows.empty() || rows.back() != std::make_pair(position, row))
    rows.emplace_back(position, row);
}

inline void CollectRow(const PlayStatus& status, void* context) {
  AppendRow(*static_cast<RowList*>(context), status.position, status.row);
}

// libopenmpt's order and row while it renders the song once, sampled often
// enough (2 ms) to see every row.
inline RowList ReferenceRows(const std::vector<uint8_t>& bytes, double* seconds) {
  openmpt::module reference(bytes);
  reference.set_repeat_count(0);
  *seconds = reference.get_duration_seconds();
  RowList rows;
  std::vector<int16_t> scratch(16);
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

// Index of the first row where the lists differ (their common length when
// one is a prefix of the other).
inline size_t FirstDifference(const RowList& ours, const RowList& reference) {
  size_t at = 0;
  while (at < ours.size() && at < reference.size() && ours[at] == reference[at]) ++at;
  return at;
}

// libxmp's rows while it plays the song once, for the files where
// libopenmpt departs from the tracker's own behaviour.
inline RowList ReferenceRowsXmp(const std::vector<uint8_t>& bytes) {
  RowList rows;
  xmp_context context = xmp_create_context();
  if (xmp_load_module_from_memory(context, bytes.data(), static_cast<long>(bytes.size())) == 0) {
    xmp_start_player(context, 8000, 0);
    xmp_frame_info info{};
    while (xmp_play_frame(context) == 0) {
      xmp_get_frame_info(context, &info);
      if (info.loop_count > 0) break;
      AppendRow(rows, info.pos, info.row);
    }
    xmp_end_player(context);
    xmp_release_module(context);
  }
  xmp_free_context(context);
  return rows;
}
