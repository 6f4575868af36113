#include "board/board_state.h"

#include "board/board_threads.h"

uint16_t* BoardBackBuffer() {
  BoardState& b = Board();
  if (!b.open) return nullptr;
  if (b.drawn_by_stripes) BoardFinish();
  return b.colour[b.back].data();
}
