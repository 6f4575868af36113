// Silent row-by-row walk through an S3M module description.
#include "content/s3m_timing.h"

namespace {

constexpr int kMaxRows = 100000;  // ends walks of modules that never stop

struct WalkState {
  int speed = 6;
  int tempo = 125;
  int order = 0;
  int row = 0;
  int loop_row = 0;
  int loop_count = 0;
};

// Seconds one row lasts: speed ticks at tempo * 0.4 ticks per second.
double RowSeconds(const WalkState& state) {
  return state.speed * 2.5 / state.tempo;
}

int NextPlayableOrder(const S3mModule& module, int order) {
  while (order < static_cast<int>(module.orders.size()) && module.orders[order] == 254) ++order;
  return order;
}

}  // namespace

S3mTiming TimeS3m(const S3mModule& module) {
  S3mTiming timing;
  timing.order_start_seconds.assign(module.orders.size(), -1.0);
  WalkState state;
  state.speed = module.initial_speed;
  state.tempo = module.initial_tempo;
  state.order = NextPlayableOrder(module, 0);
  double now = 0;
  const int order_count = static_cast<int>(module.orders.size());
  while (timing.rows_played < kMaxRows) {
    if (state.order >= order_count || module.orders[state.order] == 255) break;
    if (state.row == 0 && timing.order_start_seconds[state.order] < 0) {
      timing.order_start_seconds[state.order] = now;
    }
    const S3mPattern& pattern = module.patterns[module.orders[state.order]];
    const std::vector<S3mCell>& cells = pattern.rows[state.row];
    int jump_order = -1;
    int break_row = -1;
    int loop_to = -1;
    int delay_rows = 0;
    for (const S3mCell& cell : cells) {
      const int x = cell.info >> 4;
      const int y = cell.info & 15;
      switch (cell.command) {
        case 'A':
          if (cell.info != 0) state.speed = cell.info;
          break;
        case 'T':
          if (cell.info > 31) state.tempo = cell.info;
          break;
        case 'B':
          jump_order = cell.info;
          break;
        case 'C':
          break_row = x * 10 + y;
          break;
        case 'S':
          if (x == 0xB && y == 0) state.loop_row = state.row;
          if (x == 0xB && y != 0) {
            if (state.loop_count == 0) {
              state.loop_count = y;
              loop_to = state.loop_row;
            } else if (--state.loop_count != 0) {
              loop_to = state.loop_row;
            }
          }
          if (x == 0xE && delay_rows == 0) delay_rows = y;
          break;
        default:
          break;
      }
    }
    now += RowSeconds(state) * (1 + delay_rows);
    ++timing.rows_played;
    if (loop_to >= 0) {
      state.row = loop_to;
    } else if (jump_order >= 0) {
      if (jump_order <= state.order) break;  // the song starts over: it has ended
      state.order = NextPlayableOrder(module, jump_order);
      state.row = break_row >= 0 ? break_row : 0;
      state.loop_row = 0;
    } else if (break_row >= 0 || state.row + 1 >= S3mPattern::kRows) {
      state.order = NextPlayableOrder(module, state.order + 1);
      state.row = break_row >= 0 ? break_row : 0;
      state.loop_row = 0;
    } else {
      ++state.row;
    }
  }
  timing.total_seconds = now;
  return timing;
}
