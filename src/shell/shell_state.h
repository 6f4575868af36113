// The values the main thread and the demo thread share, and the handles of
// the music that start-up loads and shutdown releases.
#pragma once

#include <atomic>
#include <cstdint>

struct MusicModule;

// 1 while the demo thread is in its frame loop. Written by both threads
// (the window procedure clears it on a key press or when the window goes),
// read by the frame loop once per frame.
extern std::atomic<int32_t> DemoRunning;

// The tick count at demo time 0, taken right after the music starts.
extern uint32_t StartTick;

extern MusicModule* ModuleHandle;
extern std::atomic<uint32_t> PlayHandle;

// Demo time, in milliseconds, at which this run begins: 0 normally, T for
// a run started part-way (--start, --screenshot). The demo thread takes
// StartTick this much earlier, so the schedule and the music agree.
extern uint32_t DemoStartMs;
