// Plays a module built with S3mBuilder tick by tick on a real mixer, for the
// player's tests: one play state, ticked on its own, with helpers that
// record a value after every tick.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "music/mixer.h"
#include "music/player.h"
#include "music/s3m_builder.h"
#include "music/s3m_reader.h"

class PlayerHarness {
 public:
  explicit PlayerHarness(const S3mBuilder& builder, int loop = 0) {
    const std::vector<uint8_t> bytes = builder.Build();
    load_code = LoadS3MFromMemory(bytes.data(), bytes.size(), &module);
    if (load_code != 0) return;
    PlayerSetDevice(&mixer);
    start_code = PlayerStart(module, nullptr, loop, &state);
    PlayerSetDevice(nullptr);
  }
  ~PlayerHarness() {
    PlayerStop(state);
    FreeModule(module);
  }
  PlayerHarness(const PlayerHarness&) = delete;
  PlayerHarness& operator=(const PlayerHarness&) = delete;

  bool ready() const { return load_code == 0 && start_code == 0 && state != nullptr; }
  int Tick(int count = 1) {
    for (int i = 0; i < count; ++i) {
      const int code = PlayerTickState(state);
      if (code != 0) return code;
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

  Module* module = nullptr;
  Mixer mixer;
  PlayState* state = nullptr;
  int load_code = -1;
  int start_code = -1;
};

// A builder with one instrument of `length` frames (middle C at 8363 Hz).
inline S3mBuilder OneSampleSong(uint32_t length = 64) {
  S3mBuilder builder;
  builder.samples.push_back(ConstantSample(length));
  return builder;
}
