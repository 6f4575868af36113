// Pitch and volume arithmetic of the S3M player: note periods, period to
// playback rate, and the tables of vibrato and retrigger.
//
// A period is Amiga-style: larger is lower. A note n (octave n >> 4,
// semitone n & 15) on a sample whose middle-C rate is c has the period
// ((kNotePeriods[s] * 133808) >> o) / c; the device plays period p at
// 14317056 / p Hz. Neither function ever divides by zero: they give 0, and
// 0 means "no pitch" to the player.
//
// Modules with the linear frequency table keep a linear period instead, the
// same for every sample: 7680 - 64 x (octave x 12 + semitone), so a slide
// moves the pitch by equal steps of 1/64 semitone wherever it is, and larger
// is still lower. Middle C (C-4) is 4608; the sample's own middle-C rate
// comes in only when the period turns into a rate. The *For functions take
// the module's frequency model and give the Amiga functions' results
// unchanged under kFrequencyAmiga.
#pragma once

#include <cstdint>

constexpr uint32_t kPeriodClockHz = 14317056;  // 0xDA7600
constexpr uint32_t kPeriodNoteScale = 133808;
constexpr int32_t kLinearPeriodsPerSemitone = 64;
constexpr int32_t kLinearPeriodTop = 7680;      // C-0
constexpr int32_t kLinearMiddleCPeriod = 4608;  // C-4

extern const uint16_t kNotePeriods[12];
extern const uint8_t kVibratoWave[32];  // half a sine period, 0..255

// 0 for a rate of 0, a semitone above 11 or a special note.
uint32_t NotePeriod(uint8_t note, uint32_t middle_c_rate_hz);
// 0 for a period of 0.
uint32_t PeriodToRateHz(uint32_t period);
// The note's period under the frequency model; 0 as NotePeriod.
uint32_t NotePeriodFor(uint8_t model, uint8_t note, uint32_t middle_c_rate_hz);
// The rate a period plays at under the frequency model, at least 1 Hz for a
// linear period; 0 for a period of 0 (or, linear, a middle-C rate of 0).
uint32_t PeriodToRateHzFor(uint8_t model, uint32_t period, uint32_t middle_c_rate_hz);
// The note raised by semitones, carrying into the octaves above; the note
// must be real (semitone 0..11).
uint8_t RaiseNote(uint8_t note, int semitones);
// Volume after a retrigger with the info's high nibble x (table of
// multipliers in sixteenths and additions); not clamped.
int RetriggerVolume(int volume, int x);
