// Pitch and volume arithmetic of the S3M player: note periods, period to
// playback rate, and the tables of vibrato and retrigger.
//
// A period is Amiga-style: larger is lower. A note n (octave n >> 4,
// semitone n & 15) on a sample whose middle-C rate is c has the period
// ((kNotePeriods[s] * 133808) >> o) / c; the device plays period p at
// 14317056 / p Hz. Neither function ever divides by zero: they give 0, and
// 0 means "no pitch" to the player.
#pragma once

#include <cstdint>

constexpr uint32_t kPeriodClockHz = 14317056;  // 0xDA7600
constexpr uint32_t kPeriodNoteScale = 133808;

extern const uint16_t kNotePeriods[12];
extern const uint8_t kVibratoWave[32];  // half a sine period, 0..255

// 0 for a rate of 0, a semitone above 11 or a special note.
uint32_t NotePeriod(uint8_t note, uint32_t middle_c_rate_hz);
// 0 for a period of 0.
uint32_t PeriodToRateHz(uint32_t period);
// The note raised by semitones, carrying into the octaves above; the note
// must be real (semitone 0..11).
uint8_t RaiseNote(uint8_t note, int semitones);
// Volume after a retrigger with the info's high nibble x (table of
// multipliers in sixteenths and additions); not clamped.
int RetriggerVolume(int volume, int x);
