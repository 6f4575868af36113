#include "board/board_state.h"

BoardState& Board() {
  static BoardState board;
  return board;
}

uint16_t* BoardBackBuffer() {
  BoardState& b = Board();
  if (!b.open) return nullptr;
  return b.colour[b.back].data();
}
