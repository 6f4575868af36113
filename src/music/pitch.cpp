// Period tables and the pitch and retrigger arithmetic of the player:
// Amiga periods and the linear table's periods.
#include "music/pitch.h"

#include <algorithm>
#include <cmath>

#include "music/module.h"

const uint16_t kNotePeriods[12] = {1712, 1616, 1524, 1440, 1356, 1280,
                                   1208, 1140, 1076, 1016, 960,  907};

const uint8_t kVibratoWave[32] = {0,   24,  49,  74,  97,  120, 141, 161, 180, 197, 212,
                                  224, 235, 244, 250, 253, 255, 253, 250, 244, 235, 224,
                                  212, 197, 180, 161, 141, 120, 97,  74,  49,  24};

uint32_t NotePeriod(uint8_t note, uint32_t middle_c_rate_hz) {
  const unsigned octave = note >> 4;
  const unsigned semitone = note & 15;
  // A semitone of 12..15 has no period (the file's note byte was not a
  // note); a rate of 0 would divide by zero. Both give "no pitch".
  if (semitone > 11 || middle_c_rate_hz == 0 || note >= kNoteKeyOff) return 0;
  return ((uint32_t{kNotePeriods[semitone]} * kPeriodNoteScale) >> octave) / middle_c_rate_hz;
}

uint32_t PeriodToRateHz(uint32_t period) {
  return period == 0 ? 0 : kPeriodClockHz / period;
}

uint32_t NotePeriodFor(uint8_t model, uint8_t note, uint32_t middle_c_rate_hz) {
  if (model != kFrequencyLinear) return NotePeriod(note, middle_c_rate_hz);
  const int semitone = note & 15;
  if (semitone > 11 || middle_c_rate_hz == 0 || note >= kNoteKeyOff) return 0;
  // B-9 is the highest note with a period above 0.
  const int semitones = (note >> 4) * 12 + semitone;
  if (semitones >= kLinearPeriodTop / kLinearPeriodsPerSemitone) return 0;
  return static_cast<uint32_t>(kLinearPeriodTop - semitones * kLinearPeriodsPerSemitone);
}

uint32_t PeriodToRateHzFor(uint8_t model, uint32_t period, uint32_t middle_c_rate_hz) {
  if (model != kFrequencyLinear) return PeriodToRateHz(period);
  if (period == 0 || middle_c_rate_hz == 0) return 0;
  const double octaves =
      (kLinearMiddleCPeriod - static_cast<double>(period)) / (12 * kLinearPeriodsPerSemitone);
  const double rate = std::round(middle_c_rate_hz * std::exp2(octaves));
  // Far below hearing a slide still leaves the voice moving; far above, the
  // device's own limits apply.
  return static_cast<uint32_t>(std::clamp(rate, 1.0, 4.0e9));
}

uint8_t RaiseNote(uint8_t note, int semitones) {
  int octave = note >> 4;
  int semitone = (note & 15) + semitones;
  octave += semitone / 12;
  semitone %= 12;
  return static_cast<uint8_t>(((octave & 15) << 4) | semitone);
}

int RetriggerVolume(int volume, int x) {
  // High nibbles 6, 7, 14 and 15 scale the volume (sixteenths); the others add.
  static constexpr int kAdditions[16] = {0, -1, -2, -4, -8, -16, 0, 0, 0, 1, 2, 4, 8, 16, 0, 0};
  switch (x) {
    case 6:
      return volume * 10 >> 4;
    case 7:
      return volume * 8 >> 4;
    case 14:
      return volume * 24 >> 4;
    case 15:
      return volume * 32 >> 4;
    default:
      return volume + kAdditions[x & 15];
  }
}
