// The side of the worker threads the Glide calls see: whether workers draw,
// and the recording of the triangles and clears they draw (in call order).
// The pool itself and its stream of commands live in draw_workers.cpp.
#pragma once

#include <cstdint>

#include "board/frame_sink.h"
#include "board/triangle_draw.h"

// True while calls are recorded and drawn by stripes, not drawn at once.
inline bool DrawnByStripes() {
  return Board().drawn_by_stripes;
}

// Chooses how the screen just opened is drawn; nothing is pending then.
void ChooseHowScreenIsDrawn();

// The state and buffers a triangle or clear submitted now is drawn with.
// Inline: every triangle asks for it.
inline DrawTarget CurrentDrawTarget() {
  BoardState& board = Board();
  return {&RenderState(), board.colour[board.back].data(),
          board.depth.empty() ? nullptr : board.depth.data(), board.clip};
}

// The place of the next triangle drawn with target; CommitTriangleForWorkers
// keeps what was written there, anything else drops it.
TriangleInput* ReserveTriangleForWorkers(const DrawTarget& target);
void CommitTriangleForWorkers();
void RecordClearForWorkers(const DrawTarget& target, uint16_t colour, uint16_t depth);

// Ends the frame at a swap without waiting for its pixels, for a sink that
// takes frames late: the frame before it is drawn and shown first, and this
// one reaches sink->Present at the next swap or BoardFinish.
void SwapForWorkers(FrameSink* sink, const uint16_t* pixels, int width, int height,
                    int stride_pixels, int interval);
