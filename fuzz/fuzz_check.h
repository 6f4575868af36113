// What every fuzz target may assert about a reader's result beyond "no
// crash": a broken promise prints what was promised and aborts, so libFuzzer
// saves the input and the replay run fails on it.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void FuzzCheck(bool promise_kept, const char* promise) {
  if (promise_kept) return;
  std::fprintf(stderr, "fuzz: broken promise: %s\n", promise);
  std::abort();
}
