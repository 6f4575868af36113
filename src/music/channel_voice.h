// What the instrument rule sets ("Extended Module:" and "IMPM" files) keep
// per channel beyond the pattern's own state: where each envelope stands,
// whether the key is still down, the fade-out and the automatic vibrato.
// Plain data inside PlayChannel; player_instruments.cpp moves it on.
#pragma once

#include <cstdint>

struct ModuleSample;

constexpr uint32_t kVoiceFadeFull = 65536;  // fade-out volume before a release

struct ChannelVoice {
  const ModuleSample* sample;  // started by the channel's last note, null none
  uint16_t volume_position;    // envelope positions in ticks
  uint16_t panning_position;
  uint16_t pitch_position;
  uint8_t released;            // 1 after a key off: sustain points and loops let go
  uint8_t fading;              // 1 while the fade-out runs
  uint32_t fade;               // 0..kVoiceFadeFull, scales the volume
  uint32_t vibrato_amplitude;  // automatic vibrato depth reached, << 8
  uint8_t vibrato_position;    // 0..255, one period of the waveform
  int16_t panning;             // the channel's own panning: 0 left .. 128 right, 0xA4 surround
  int32_t pitch_offset;        // 1/64 semitones added to the pitch this tick
};
