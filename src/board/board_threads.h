// How many threads the board draws with. With one (the default) every call
// draws at once on the calling thread, on screens up to the board's largest
// mode (800x600). With more, or on a larger screen, the calls still come
// from one thread and keep their order and meaning, but the triangles and
// clears are recorded and drawn a frame later, stripe of screen rows by
// stripe, by the workers and the calling thread together; the pixels and
// depths are the same for every number of threads.
// Swaps, frame-buffer locks, texture downloads and BoardFinish wait until
// everything submitted is drawn.
#pragma once

#include "platform/thread.h"

// Starts a worker thread; the board's own uses platform::Thread::Start. A
// test may pass one that fails, to see the board fall back.
using BoardThreadStarter = bool (*)(platform::Thread* thread, platform::ThreadFunction function,
                                    void* argument);

// Draws with threads threads from now on (at least 1, at most
// kBoardMaxThreads) after finishing what was submitted. Workers that cannot
// start are done without; fewer than two leave the drawing on the calling
// thread. Returns the number of threads that draw.
constexpr int kBoardMaxThreads = 64;
int BoardSetThreads(int threads, BoardThreadStarter starter = nullptr);
int BoardThreads();

// Waits until every triangle and clear submitted so far is in frame memory.
void BoardFinish();
