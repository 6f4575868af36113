// Plays a module built with S3mBuilder tick by tick on its own mixer, for the
// player's tests, with helpers that record a value after every tick.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "music/mod_builder.h"
#include "music/s3m_builder.h"

struct PlayerHarness : Playing {
  explicit PlayerHarness(const S3mBuilder& builder, int loop = 0)
      : Playing(builder.Build(), 0, loop) {}

  bool ready() const { return state != nullptr; }
  int Tick(int count = 1) {
    for (int i = 0; i < count; ++i) {
      const int result = PlayerTickState(state);
      if (result != 0) return result;
    }
    return 0;
  }
  PlayChannel& channel(int index) { return state->channels[index]; }
  // The value read after each of `ticks` ticks.
  std::vector<int> Track(int ticks, const std::function<int()>& read) {
    std::vector<int> values;
    for (int i = 0; i < ticks; ++i) {
      EXPECT_EQ(Tick(), 0);
      values.push_back(read());
    }
    return values;
  }
};

// A builder with one instrument of `length` frames (middle C at 8363 Hz).
inline S3mBuilder OneSampleSong(uint32_t length = 64) {
  S3mBuilder builder;
  builder.samples.push_back(ConstantSample(length));
  return builder;
}
