// The linear frequency table of "Extended Module:" files: slides move the
// pitch in 1/64 semitones, and the rate is 8363 x 2^((4608 - period) / 768)
// for a sample whose middle C plays at 8363 Hz.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "music/it_builder.h"
#include "music/mixer.h"
#include "music/mod_builder.h"

namespace {

// One channel, speed 4, rows: C-4 with portamento up 08; A#-3 with tone
// portamento 0C; vibrato 84; D-4 with arpeggio 47; portamento up 08;
// arpeggio 47; fine portamento up E14; extra-fine X14; nothing. One instrument of one
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
  // clang-format off
  const std::vector<uint8_t> rows = {49, 1, 0x50, 1, 0x08,  0x99, 47, 3, 0x0C,  0x98, 4, 0x84,
                                     0x99, 51, 0, 0x47,  0x98, 1, 0x08,  0x98, 0, 0x47,
                                     0x98, 0x0E, 0x14,  0x98, 0x21, 0x14,  0x80};
  // clang-format on
  put(9, 4);  // pattern header: size, packing, rows, packed size
  put(0, 1);
  put(9, 2);
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

// The same slides in an "IMPM" file with the linear flag: C-5 with F08;
// fine FF4; extra-fine FE4; J47 on the slid pitch.
std::vector<uint8_t> SlidingIt() {
  ItBuilder it;
  it.flags = 1 | 8;
  it.frames = 8000;
  it.cells = {{0, 0, 60, 1, -1, 6, 0x08},
              {1, 0, -1, 0, -1, 6, 0xF4},
              {2, 0, -1, 0, -1, 6, 0xE4},
              {3, 0, -1, 0, -1, 10, 0x47}};
  return it.Build();
}

TEST(LinearFrequency, SlidesVibratoAndArpeggioMoveInEqualSteps) {
  // The device's rate on each tick of the rows (after three lead-in ticks),
  // 8363 x 2^((4608 - period) / 768). Extended: portamento 4608 -> 4576 ->
  // 4544 -> 4512; tone portamento 48 a tick towards 4736; vibrato 0, +22,
  // +31 around 4656; arpeggio 4480, -256, -448; portamento 4448 .. 4384;
  // arpeggio from the semitone below, 4416 - 256, 4416 - 448; E14 -16;
  // X14 -4. Impulse: 4512; -16; -4 (4492); arpeggio 4492 - 256, - 448.
  // Amiga: the first row moving Amiga periods by 32.
  const struct {
    std::vector<uint8_t> bytes;
    uint8_t model;
    std::vector<int> rates;
  } cases[] = {
      {SlidingXm(1), kFrequencyLinear, {8363,  8608,  8860,  9120,  9120,  8733,  8363,  8008,
                                        8008,  8008,  7851,  7787,  9387,  11827, 14065, 9387,
                                        9387,  9662,  9945,  10237, 10237, 12530, 14901, 10237,
                                        10386, 10386, 10386, 10386, 10423, 10423, 10423, 10423}},
      {SlidingIt(),
       kFrequencyLinear,
       {8363, 8608, 8860, 9120, 9253, 9253, 9253, 9253, 9286, 9286, 9286, 9286, 9286, 11700, 13913,
        9286}},
      {SlidingXm(0), kFrequencyAmiga, {8362, 8522, 8687, 8859}},
  };
  for (const auto& c : cases) {
    Playing playing(c.bytes);
    ASSERT_NE(playing.state, nullptr);
    EXPECT_EQ(playing.module->frequency_model, c.model);
    for (int tick = 0; tick < 3; ++tick) PlayerTickState(playing.state);
    std::vector<int> rates;
    for (size_t tick = 0; tick < c.rates.size(); ++tick) {
      EXPECT_EQ(PlayerTickState(playing.state), 0);
      rates.push_back(static_cast<int>(playing.mixer.channel_rate_hz(0)));
    }
    EXPECT_EQ(rates, c.rates) << c.rates.size() << " ticks";
  }
}

}  // namespace
