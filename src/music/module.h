// The in-memory module that the S3M reader builds and the player plays.
// Plain records owned by the Module: free a module with FreeModule
// (s3m_reader.h), never field by field.
//
// Samples are stored in the mixer's format: signed 8-bit, one byte per
// sample frame, whatever the file stored (unsigned, signed or 16-bit data is
// converted when the module is read).
//
// Patterns hold the internal packed form: a row is a list of entries ended
// by a 0 byte. An entry's first byte carries the channel in bits 0-4; bit 5
// announces a note byte and an instrument byte, bit 6 a volume byte, bit 7 a
// command byte and an info byte, in that order. Commands are the internal
// numbers of ModuleCommand, never the file's letters.
#pragma once

#include <cstdint>

constexpr int kModuleMaxChannels = 32;
constexpr int kModuleNameBytes = 28;
constexpr int kModulePatternRows = 64;
constexpr int kModulePatternHeadBytes = 8;  // counted in ModulePattern::size_bytes

// Special order values.
constexpr uint16_t kOrderEndOfSong = 0xFFFF;
constexpr uint16_t kOrderSkip = 0xFFFE;

// Special note values (a real note is octave << 4 | semitone 0-11).
constexpr uint8_t kNoteNone = 255;
constexpr uint8_t kNoteCut = 254;
constexpr uint8_t kNoteKeyOff = 253;
constexpr uint8_t kInstrumentNone = 255;
constexpr uint8_t kVolumeNone = 80;  // a volume byte of 80 in a pattern means none

// Playing rules of a module; the S3M reader builds kRulesS3M modules only.
constexpr int32_t kRulesS3M = 2;

// Module::flags.
constexpr uint32_t kModuleFlagAmigaLimits = 1u << 0;  // periods kept in 452..3424
constexpr uint32_t kModuleFlagFastSlides = 1u << 1;   // volume slides also act on the row's tick

// Internal command numbers. The reader maps the file's letters onto these
// (one table in s3m_reader.cpp); the player switches only on them.
enum ModuleCommand : uint8_t {
  kCommandNone = 0,
  kCommandArpeggio = 1,           // J
  kCommandPortamentoUp = 2,       // F
  kCommandPortamentoDown = 3,     // E
  kCommandTonePortamento = 4,     // G
  kCommandVibrato = 5,            // H
  kCommandTonePortaVolSlide = 6,  // L
  kCommandVibratoVolSlide = 7,    // K
  kCommandTremolo = 8,            // R (kept, does nothing)
  kCommandSetPanning = 9,         // X
  kCommandSampleOffset = 10,      // O
  kCommandVolumeSlide = 11,       // D
  kCommandPositionJump = 12,      // B
  kCommandPatternBreak = 14,      // C
  kCommandSetSpeed = 15,          // A
  kCommandSetTempo = 16,          // T
  kCommandPatternLoop = 19,       // SB
  kCommandSetPanningCoarse = 20,  // S8
  kCommandNoteCut = 24,           // SC
  kCommandNoteDelay = 25,         // SD
  kCommandPatternDelay = 26,      // SE
  kCommandGlobalVolume = 27,      // V
  kCommandRetrigger = 29,         // Q
  kCommandSync = 30,              // W
  kCommandHighest = 33,           // numbers above this are invalid pattern data
};

struct ModuleSample {
  int32_t device_handle;  // sound-device handle when added to a device, else 0
  int8_t* data;           // signed 8-bit frames (length of them), null when empty
  uint32_t length;        // frames; reduced to the loop end for a looping sample
  uint8_t sample_type;    // 1 with data, 0 empty
  uint8_t loop_mode;      // 1 looping, 0 not
  uint8_t loop_flag;      // same as loop_mode
  uint32_t loop_start;    // frames
  uint32_t loop_end;      // frames (exclusive)
  int32_t volume;         // 0..64 as stored (the player clamps)
  int32_t reserved0;
  uint32_t rate_hz;  // playback rate of middle C (C-4)
  int32_t reserved1;
};

struct ModuleInstrument {
  char name[kModuleNameBytes + 1];
  int32_t sample_count;  // 1 when a pattern uses the instrument, else 0
  int32_t used;          // 1 or 0
  ModuleSample* sample;  // only for a used instrument, else null
};

struct ModulePattern {
  int32_t size_bytes;  // head (8) + the bytes of rows
  int32_t row_count;   // always 64
  uint8_t* rows;       // size_bytes - 8 bytes of packed rows
};

struct Module {
  char name[kModuleNameBytes + 1];
  int32_t rules;             // kRulesS3M
  int32_t song_length;       // orders after trailing end markers are dropped
  int32_t restart_position;  // 0
  int32_t instrument_count;
  int32_t sample_count;                 // same as instrument_count
  int32_t pattern_count;                // highest pattern number in the orders + 1
  uint8_t channel_count;                // 1..32
  uint8_t master_volume;                // 0..64 global volume at the start
  uint8_t speed;                        // ticks per row at the start
  uint8_t tempo;                        // beats per minute at the start
  int32_t panning[kModuleMaxChannels];  // 0 left .. 64 middle .. 128 right
  uint16_t* orders;                     // song_length entries
  ModuleInstrument** instruments;       // instrument_count entries
  ModuleSample** samples;               // sample_count entries, null without a sample
  ModulePattern** patterns;             // pattern_count entries
  uint32_t flags;                       // kModuleFlag*
};
