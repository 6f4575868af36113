#include "board/board_state.h"

uint16_t* BoardBackBuffer() {
  BoardState& b = Board();
  if (!b.open) return nullptr;
  return b.colour[b.back].data();
}
