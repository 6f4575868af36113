// The module player for S3M, plain, "Extended Module:" and "IMPM" modules:
// turns a Module into sound-device calls, one tick at a time, for up to 16
// modules playing at once (play slots).
//
//   PlayerSetDevice(&mixer);                 // the device every state plays on
//   PlayState* state = nullptr;
//   int code = PlayerStart(module, channels, /*loop=*/0, &state);
//   ... the sound output calls PlayerTick() at each tick boundary
//   ... (Mixer::Render does that through its tick function) ...
//   if (PlayerSongEnded(state)) { ... }
//   PlayerStop(state);
//
// Each tick either reads the next row of the current pattern or applies the
// running effects, then sends every channel's volume and rate to the device.
// Thread safety: PlayerStart, PlayerTick and PlayerStop share the play slots;
// the music system calls them inside one critical section.
#pragma once

#include <cstdint>

#include "music/channel_voice.h"
#include "music/module.h"

class Mixer;

constexpr int kPlaySlots = 16;
constexpr int kPlayerMaximumVolume = 63;       // channel volume limit for S3M
constexpr int kPlayerPlainMaximumVolume = 64;  // and for plain modules

// PlayChannel::flags.
constexpr uint32_t kChannelNewNote = 1u << 0;
constexpr uint32_t kChannelVolumePresent = 1u << 1;
constexpr uint32_t kChannelInstrumentPresent = 1u << 2;
constexpr uint32_t kChannelCommandPresent = 1u << 3;
constexpr uint32_t kChannelNoteDelayed = 1u << 4;

struct PlayChannel {
  uint32_t period;             // current pitch, 0 before the first note
  int32_t instrument;          // -1 none
  int32_t instrument_number;   // instrument byte of the last entry, -1 initially
  uint32_t portamento_target;  // period the tone portamento slides to, 0 none
  uint32_t sample_offset;      // start offset in frames
  uint8_t sample;              // index inside the instrument, 255 none
  uint8_t device_channel;
  uint8_t volume_byte;
  uint8_t note;     // octave << 4 | semitone, or kNoteCut/KeyOff/None
  uint8_t memory;   // last non-zero info of any command here
  uint8_t volume;   // 0..maximum volume
  uint8_t command;  // ModuleCommand
  uint8_t info;
  uint8_t portamento_speed;
  uint8_t output_volume;      // sent to the device before global scaling
  uint8_t instrument_volume;  // 64
  uint32_t output_period;     // period sent this tick (vibrato, arpeggio)
  uint8_t vibrato_position;   // wraps at 256
  uint8_t vibrato_speed;
  uint8_t vibrato_depth;
  uint8_t offset_memory;
  uint8_t retrigger_count;
  uint8_t last_note;
  uint32_t flags;  // kChannel*
  // Beyond the S3M record: the plain rules' tremolo and their pattern loop,
  // which each channel keeps for itself.
  uint8_t tremolo_position;
  uint8_t tremolo_speed;
  uint8_t tremolo_depth;
  uint8_t pattern_loop_row;
  uint8_t pattern_loop_count;
  // The extended and impulse rules' memories, one per effect that has one
  // (ExtendedMemorySlot in player.cpp, ImpulseMemorySlot in
  // player_impulse_commands.cpp).
  uint8_t effect_memory[12];
  // The instrument rules' envelopes, fade-out and automatic vibrato.
  ChannelVoice voice;
  // The impulse and extended rules' own channel state.
  uint8_t channel_volume;  // 0..64, scales the channel (M, N)
  uint8_t panning;         // 0..128 as last set, for panning slides and panbrello
  uint8_t panbrello_position;
  uint8_t panbrello_speed;
  uint8_t panbrello_depth;
  uint8_t waveforms;  // vibrato in bits 0-2, tremolo 3-5, panbrello 6-7
  uint8_t tremor_count;
  uint8_t glissando;       // 1: tone portamento moves in whole semitones
  uint8_t special_memory;  // impulse rules: the last S parameter, for S00
  uint8_t offset_high;     // impulse rules: SAx, the offsets' bits 16-19
  // Tick the envelopes should jump to (L), -1 none; the envelope code
  // takes it and sets it back to -1.
  int16_t envelope_position_request;
};

struct PlayStatus {
  int32_t position;
  int32_t pattern;
  int32_t row;
};

using SyncCallback = void (*)(int info, int position, int row);

struct PlayState {
  Module* module;
  const uint8_t* row_cursor;  // next row to read; null: locate it from row
  int32_t position;           // index into the orders
  int32_t pattern;
  int32_t row;
  int32_t last_position;  // song length - 1
  int32_t restart_position;
  int32_t speed;            // ticks per row
  int32_t tick;             // 0 on the row's own tick
  int32_t pattern_delay;    // remaining repetitions of the current row
  int32_t row_extra_ticks;  // S6x: ticks the current row lasts beyond speed
  int32_t channel_count;
  int32_t maximum_period;
  int32_t minimum_period;
  int32_t period_shift;    // 2: slide amounts are multiplied by 4
  int32_t maximum_volume;  // 63
  int32_t loop_count;      // times the song has passed its end
  int32_t loop_flag;
  uint8_t pattern_loop_row;
  uint8_t pattern_loop_count;
  uint8_t global_volume;  // 0..64 (0..128 under the impulse rules)
  uint8_t music_volume;   // 64
  PlayChannel channels[kModuleMaxChannels];
  PlayStatus status;   // position, pattern and row of the last row read
  int32_t sync_value;  // info of the last sync command, -1 initially
  SyncCallback sync_callback;
  // Not part of the classic record: rows read so far (pattern-delay
  // repetitions not counted), for tools that follow the song row by row.
  uint32_t rows_read;
  // Set when the order list holds no playable pattern to move to.
  int32_t stuck;
  Mixer* device;         // where this state sends; null sends nothing
  uint32_t update_rate;  // hundredths of a hertz, last sent to the device
  // Notes of the instrument rules that go on after their channel moved on.
  BackgroundVoice background[kBackgroundVoices];
};

// The device that play states started from now on send to; null sends
// nothing. Set it before PlayerStart.
void PlayerSetDevice(Mixer* device);
Mixer* PlayerDevice();
// Told every tempo change as the update rate (hundredths of a hertz).
using TempoHook = void (*)(uint32_t rate);
void PlayerSetTempoHook(TempoHook hook);
TempoHook PlayerGetTempoHook();

// Starts module from its beginning in a free play slot. device_channels
// gives the device channel of each module channel (null: channel i plays on
// device channel i). loop 0 stops sending to the device once the song has
// passed its end. 0, or kMusicOutOfResources / a device code.
int PlayerStart(Module* module, const int* device_channels, int loop, PlayState** state);
// One tick for every active play state. 0, or the first error code.
int PlayerTick();
// One tick for one state (tests, tools). 0 or an error code.
int PlayerTickState(PlayState* state);
// Frees the state's slot; null is allowed.
void PlayerStop(PlayState* state);

// 1 once the state has passed the song's end (or cannot go on), else 0.
int PlayerSongEnded(const PlayState* state);
// Number of channels the module plays (device channels it needs).
int ModuleChannelCount(const Module* module);

// Follows a song from its start without sound and outside the play slots,
// row by row, until it passes its end for the first time (or max_rows rows).
// Calls on_row, when given, with the position, pattern and row of every row
// read. Returns the song's length in seconds (tick times summed until the
// row after the end would be read).
using SongRowFunction = void (*)(const PlayStatus& status, void* context);
double PlayerWalkSong(Module* module, uint32_t max_rows, SongRowFunction on_row, void* context);
