// What the instrument rule sets ("Extended Module:" and "IMPM" files) keep
// per channel beyond the pattern's own state: where each envelope stands,
// whether the key is still down, the fade-out and the automatic vibrato.
// Plain data inside PlayChannel; player_instruments.cpp moves it on.
#pragma once

#include <cstdint>

struct ModuleSample;

constexpr uint32_t kVoiceFadeFull = 65536;  // fade-out volume before a release
// ChannelVoice::envelopes_on and envelopes_off: the channel's own switches.
constexpr uint8_t kVoiceVolumeEnvelope = 1u << 0;
constexpr uint8_t kVoicePanningEnvelope = 1u << 1;
constexpr uint8_t kVoicePitchEnvelope = 1u << 2;
// New note actions (ModuleInstrument::new_note_action): what becomes of a
// sounding note when the channel starts the next; and duplicate checks and
// their actions (duplicate_check, duplicate_action).
constexpr uint8_t kNewNoteCut = 0;
constexpr uint8_t kNewNoteContinue = 1;
constexpr uint8_t kNewNoteOff = 2;
constexpr uint8_t kNewNoteFade = 3;
constexpr uint8_t kDuplicateCheckOff = 0;
constexpr uint8_t kDuplicateCheckNote = 1;
constexpr uint8_t kDuplicateCheckSample = 2;
constexpr uint8_t kDuplicateCheckInstrument = 3;
constexpr uint8_t kDuplicateActionCut = 0;
constexpr uint8_t kDuplicateActionOff = 1;
constexpr uint8_t kDuplicateActionFade = 2;

struct ChannelVoice {
  const ModuleSample* sample;  // started by the channel's last note, null none
  uint16_t volume_position;    // envelope positions in ticks
  uint16_t panning_position;
  uint16_t pitch_position;
  uint8_t released;            // 1 after a key off: sustain points and loops let go
  uint8_t fading;              // 1 while the fade-out runs
  uint8_t ended_silent;        // "IMPM" rules: the volume envelope has played its last point, 0
  uint32_t fade;               // 0..kVoiceFadeFull, scales the volume
  uint32_t vibrato_amplitude;  // automatic vibrato depth reached, << 8
  uint8_t vibrato_position;    // 0..255, one period of the waveform
  int16_t panning;             // the channel's own panning: 0 left .. 128 right, 0xA4 surround
  int32_t pitch_offset;        // 1/64 semitones added to the pitch this tick
  int32_t instrument;          // of the sounding note (valid while sample is set)
  uint8_t note;                // the sounding note
  uint8_t new_note_action;     // kNewNote*: the instrument's, or as a command set it
  uint8_t envelopes_on;        // kVoice*Envelope: switched on or off by commands
  uint8_t envelopes_off;
  uint8_t filter_cutoff;     // 0..127 (127 with resonance 0: no filter)
  uint8_t filter_resonance;  // 0..127
  // What the device last heard of the note, for a background voice to go
  // on with: the row that starts the next note changes the channel's own.
  uint8_t heard_volume;          // 0..64
  uint8_t heard_channel_volume;  // 0..64
  uint32_t heard_period;
};

// A note that goes on beside its channel's next one (new note actions other
// than cut): it keeps its envelopes, fade-out and pitch on a voice of the
// device that the player holds until the note has faded or ended.
constexpr int kBackgroundVoices = 64;

struct BackgroundVoice {
  uint8_t in_use;
  uint8_t channel;         // the pattern channel it came from
  uint8_t volume;          // the note's volume when it was left, 0..64
  uint8_t channel_volume;  // and its channel's, 0..64
  int16_t device_voice;    // Mixer::DetachVoice's number
  uint32_t period;         // the output period when it was left
  ChannelVoice voice;
};
