// The demo's fixed schedule and its frame loop: once per frame read the
// clock, find the row, compute the fade and the progress inside the row,
// draw the row, swap with one retrace. Rows of types 2, 3 and 11 blank the
// screen when they begin.
#pragma once

#include <cstdint>

struct TimelineEntry {
  float start;    // demo seconds; the row ends where the next begins
  uint32_t type;  // what the row shows (see RunTimeline)
  int32_t from_frame;
  int32_t to_frame;
};

constexpr int kTimelineRows = 15;
extern const TimelineEntry Timeline[kTimelineRows];

// Seconds since StartTick, from the 32-bit tick count.
float DemoTime();

// The row shown at demo time t: the first row whose start <= t < next start;
// the end row once t reaches its start.
int FindTimelineRow(float t);

// The fade level of a row at local time inside it.
int32_t ComputeFadeLevel(float local, float duration);

// The frame loop of the demo thread; returns at the end row or when
// DemoRunning is found 0, after freeing the scenes.
void RunTimeline();

// Text for --list-rows: one line per row.
void PrintTimeline();
