// The linear frequency table: slides move a linear period (1/64 semitone a
// unit, C-4 at 4608) and the device plays 8363 x 2^((4608 - period) / 768)
// for a sample whose middle C plays at 8363 Hz.
#include <gtest/gtest.h>

#include <vector>

#include "music/instrument_song.h"
#include "music/it_builder.h"
#include "music/mod_builder.h"

namespace {

std::vector<int> Rates(PlayState* state, const Mixer& mixer, int ticks) {
  std::vector<int> rates;
  for (int tick = 0; tick < ticks; ++tick) {
    EXPECT_EQ(PlayerTickState(state), 0);
    rates.push_back(static_cast<int>(mixer.channel_rate_hz(0)));
  }
  return rates;
}

TEST(LinearFrequency, ExtendedSlidesVibratoAndArpeggioMoveInEqualSteps) {
  // Speed 3. Portamento 4608, 4576, 4544; tone portamento by 48 towards
  // A#-3; vibrato 0 and +31 around 4640; arpeggio on D-4 (4480, -448, -256:
  // at speed 3 the ticks count down to y first); portamento by 24 to 4432;
  // arpeggio from the semitone at or below, 4480;
  // fine -16; extra-fine -4.
  InstrumentSong song(kRulesExtended,
                      {{0, 0x40, 0, kCommandPortamentoUp, 0x08},
                       {1, 0x3A, kInstrumentNone, kCommandTonePortamento, 0x0C},
                       {2, kNoteNone, kInstrumentNone, kCommandVibrato, 0xF4},
                       {3, 0x42, kInstrumentNone, kCommandArpeggio, 0x47},
                       {4, kNoteNone, kInstrumentNone, kCommandPortamentoUp, 6},
                       {5, kNoteNone, kInstrumentNone, kCommandArpeggio, 0x47},
                       {6, kNoteNone, kInstrumentNone, kCommandFinePortamentoUp, 4},
                       {7, kNoteNone, kInstrumentNone, kCommandExtraFinePortamentoUp, 4}});
  song.module.frequency_model = kFrequencyLinear;
  song.Play(0);
  EXPECT_EQ(Rates(song.state, song.mixer, 24),
            (std::vector<int>{8363,  8608,  8860,  8860,  8485, 8125, 8125, 8125,
                              7901,  9387,  14065, 11827, 9387, 9593, 9803, 9803,
                              14065, 11827, 9945,  9945,  9945, 9981, 9981, 9981}));
}

TEST(LinearFrequency, ImpulseSlidesAndArpeggioMoveInEqualSteps) {
  // Speed 4. C-5 F08: 4608 .. 4512; FF4 -16; FE4 -4; J47 from the slid
  // pitch itself: 4492 - 256, - 448.
  ItBuilder it;
  it.flags = 1 | 8;  // stereo, linear
  it.frames = 8000;
  it.cells = {{0, 0, 60, 1, -1, 6, 0x08},
              {1, 0, -1, 0, -1, 6, 0xF4},
              {2, 0, -1, 0, -1, 6, 0xE4},
              {3, 0, -1, 0, -1, 10, 0x47}};
  Playing playing(it.Build());
  ASSERT_EQ(playing.module->frequency_model, kFrequencyLinear);
  Rates(playing.state, playing.mixer, 3);  // the lead-in
  EXPECT_EQ(Rates(playing.state, playing.mixer, 16),
            (std::vector<int>{8363, 8608, 8860, 9120, 9253, 9253, 9253, 9253, 9286, 9286, 9286,
                              9286, 9286, 11700, 13913, 9286}));
}

}  // namespace
