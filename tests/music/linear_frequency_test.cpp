// The linear frequency table of "Extended Module:" files: slides move the
// pitch in 1/64 semitones, and the rate is 8363 x 2^((4608 - period) / 768)
// for a sample whose middle C plays at 8363 Hz.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "music/mixer.h"
#include "music/mod_builder.h"

namespace {

// One channel, speed 4, rows: C-4 with portamento up 08; A#-3 with tone
// portamento 0C; vibrato 84; D-4 with arpeggio 47; nothing. One instrument of one
// looping 8-bit sample (middle C at 8363 Hz, no envelopes).
std::vector<uint8_t> SlidingXm(uint16_t linear) {
  std::vector<uint8_t> out(60, 0);
  auto put = [&out](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  std::memcpy(out.data(), "Extended Module: slides", 23);
  out[37] = 0x1A;
  out[58] = 4;
  out[59] = 1;  // version 1.04
  put(20 + 256, 4);
  for (uint32_t field : {1u, 0u, 1u, 1u, 1u, uint32_t{linear}, 4u, 125u}) put(field, 2);
  out.resize(out.size() + 256, 0);  // orders: pattern 0
  const std::vector<uint8_t> rows = {49,   1,    0x50, 1,    0x08, 0x99, 47, 3,
                                     0x0C, 0x98, 4,    0x84, 0x99, 51,   0,  0x47};
  put(9, 4);  // pattern header: size, packing, rows, packed size
  put(0, 1);
  put(5, 2);
  put(static_cast<uint32_t>(rows.size()), 2);
  out.insert(out.end(), rows.begin(), rows.end());
  const size_t instrument_at = out.size();
  put(263, 4);
  out.resize(out.size() + 23, 0);  // name, type
  put(1, 2);
  put(40, 4);
  out.resize(instrument_at + 263, 0);                   // note map, no envelopes, no vibrato
  for (uint32_t field : {32u, 0u, 32u}) put(field, 4);  // length, loop start and length
  out.insert(out.end(), {64, 0, 1, 128, 0, 0});         // volume, finetune, loop, panning
  out.resize(out.size() + 22 + 32, 0);                  // name, silent deltas
  return out;
}

TEST(LinearFrequency, SlidesVibratoAndArpeggioMoveInEqualSteps) {
  // The device's rate on each tick of the four rows (three lead-in ticks
  // first). Linear: portamento 4608 -> 4576 -> 4544 -> 4512; tone
  // portamento 48 a tick towards 4736; vibrato 0, +22, +31 around 4656;
  // arpeggio 4480, -256, -448. Amiga: the same song moving periods.
  const struct {
    uint16_t linear;
    std::vector<int> rates;
  } cases[] = {
      {1,
       {8363, 8608, 8860, 9120, 9120, 8733, 8363, 8008, 8008, 8008, 7851, 7787, 9387, 11827, 14065,
        9387}},
      {0, {8362, 8522, 8687, 8859}},
  };
  for (const auto& c : cases) {
    Playing playing(SlidingXm(c.linear));
    ASSERT_NE(playing.state, nullptr);
    EXPECT_EQ(playing.module->frequency_model, c.linear ? kFrequencyLinear : kFrequencyAmiga);
    for (int tick = 0; tick < 3; ++tick) PlayerTickState(playing.state);
    std::vector<int> rates;
    for (size_t tick = 0; tick < c.rates.size(); ++tick) {
      EXPECT_EQ(PlayerTickState(playing.state), 0);
      rates.push_back(static_cast<int>(playing.mixer.channel_rate_hz(0)));
    }
    EXPECT_EQ(rates, c.rates) << "linear " << c.linear;
  }
}

}  // namespace
