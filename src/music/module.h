// The neutral in-memory module that every reader builds and the player
// plays, whatever the file format: plain (Protracker-style) modules, S3M,
// "Extended Module:" and "IMPM" files all fill these same records, and the
// player asks only for the rule set (Module::rules), never for the format.
// Plain records owned by the Module: free a module with FreeModule
// (s3m_reader.h), never field by field.
//
// Samples keep the precision the file stored: signed 8-bit (data) or signed
// 16-bit (data16) frames, mono or stereo (left and right interleaved).
// Unsigned and delta-coded data is converted when the module is read.
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
constexpr int kModuleNotes = 120;           // notes an instrument maps: octaves 0..9
constexpr int kEnvelopePoints = 25;

// Special order values.
constexpr uint16_t kOrderEndOfSong = 0xFFFF;
constexpr uint16_t kOrderSkip = 0xFFFE;

// Special note values (a real note is octave << 4 | semitone 0-11).
constexpr uint8_t kNoteNone = 255;
constexpr uint8_t kNoteCut = 254;
constexpr uint8_t kNoteKeyOff = 253;
constexpr uint8_t kNoteFade = 252;  // the note fades out as after a key off, but keeps its sustain
constexpr uint8_t kInstrumentNone = 255;
constexpr uint8_t kVolumeNone = 80;  // a volume byte of 80 in a pattern means none

// Playing rules of a module: which tracker's behaviour the player follows.
constexpr int32_t kRulesPlain = 1;     // Protracker-style modules
constexpr int32_t kRulesS3M = 2;       // Scream Tracker 3
constexpr int32_t kRulesExtended = 3;  // "Extended Module:" files
constexpr int32_t kRulesImpulse = 4;   // "IMPM" files

// Module::frequency_model: how notes and slides turn into pitch.
constexpr uint8_t kFrequencyAmiga = 0;   // periods; slides move the period
constexpr uint8_t kFrequencyLinear = 1;  // slides move the pitch in fixed steps

// ModuleSample::loop_mode and sustain_mode.
constexpr uint8_t kLoopNone = 0;
constexpr uint8_t kLoopForward = 1;
constexpr uint8_t kLoopPingPong = 2;  // forward to the end, back to the start, again

// ModuleEnvelope::flags.
constexpr uint8_t kEnvelopeOn = 1u << 0;
constexpr uint8_t kEnvelopeSustain = 1u << 1;
constexpr uint8_t kEnvelopeLoop = 1u << 2;
constexpr uint8_t kEnvelopeCarry = 1u << 3;   // a new note continues where the last left off
constexpr uint8_t kEnvelopeFilter = 1u << 4;  // the pitch envelope drives the filter instead

// Module::flags.
constexpr uint32_t kModuleFlagAmigaLimits = 1u << 0;  // periods kept in 452..3424
constexpr uint32_t kModuleFlagFastSlides = 1u << 1;   // volume slides also act on the row's tick
// "IMPM" files: the older trackers' effects: vibrato twice as deep and
// only on the ticks after the row's (as Scream Tracker's), and tremor one
// tick longer on and off.
constexpr uint32_t kModuleFlagOldEffects = 1u << 2;
// "IMPM" files: the tone portamento keeps its own memory instead of sharing
// the pitch slides' one.
constexpr uint32_t kModuleFlagCompatibleGxx = 1u << 3;

// The volume column beyond 0..64 ("set volume"), a byte whose meaning
// depends on the rules. Extended rules: the file's byte minus 0x10, so
// 0x50-0x5F slide down (0x50 itself is "none"), 0x60 up, 0x70 fine down,
// 0x80 fine up, 0x90 vibrato speed, 0xA0 vibrato depth, 0xB0 panning,
// 0xC0 panning slide left, 0xD0 right, 0xE0 tone portamento, the low
// nibble the value. Impulse rules: the file's byte, one higher from 80 on so
// that 80 stays "none": 65-74 fine up, 75-85 fine down, 86-95 slide up,
// 96-105 down, 106-115 pitch down, 116-125 up, 129-193 panning 0..64,
// 194-203 tone portamento, 204-213 vibrato depth.
constexpr uint8_t kImpulseVolumeShiftFrom = 80;

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
  kCommandFinePatternDelay = 31,  // S6x (impulse): the row lasts x ticks longer
  kCommandHighOffset = 32,        // SAx (impulse): x << 16 frames added to the next offsets
  kCommandHighest = 33,           // S3M: numbers above this are invalid pattern data
  // Commands of the plain-module rules, numbered above the S3M ones.
  kCommandSetVolume = 34,           // C
  kCommandFinePortamentoUp = 35,    // E1
  kCommandFinePortamentoDown = 36,  // E2
  kCommandVibratoWaveform = 37,     // E4
  kCommandTremoloWaveform = 38,     // E7
  kCommandRetriggerNote = 39,       // E9: restart every y ticks
  kCommandFineVolumeUp = 40,        // EA
  kCommandFineVolumeDown = 41,      // EB
  kCommandSetPanningFull = 42,      // 8xx: 0 left .. 255 right
  kCommandSetFinetune = 43,         // E5
  // Commands of the extended and impulse rules.
  kCommandPatternBreakRow = 44,          // C with the row as a plain number
  kCommandChannelVolume = 45,            // M: 0..64
  kCommandChannelVolumeSlide = 46,       // N: as a volume slide, on the channel volume
  kCommandPanningSlide = 47,             // P
  kCommandTempoSlide = 48,               // T0x down, T1x up, on the ticks after the row's
  kCommandFineVibrato = 49,              // U: a vibrato a quarter as deep
  kCommandGlobalVolumeSlide = 50,        // W, H (extended)
  kCommandPanbrello = 51,                // Y
  kCommandPanbrelloWaveform = 52,        // S5x
  kCommandEnvelopePosition = 53,         // L (extended): the envelopes jump to a tick
  kCommandExtraFinePortamentoUp = 54,    // X1 (extended)
  kCommandExtraFinePortamentoDown = 55,  // X2 (extended)
  kCommandTremor = 56,                   // I (impulse), T (extended)
  kCommandKeyOff = 57,                   // K (extended): a key off at tick info
  kCommandGlissando = 58,                // E3: tone portamento in whole semitones
  kCommandInvertLoop = 59,               // EF
  // Commands of the instrument and voice layer (player_new_notes.cpp),
  // numbered from the top to stay clear of the rule sets' own.
  kCommandInstrumentControl = 60,  // S7x: past notes, new note action, envelope switches (info x)
  kCommandFilterCutoff = 61,       // Zxx: the resonant filter's cutoff, 0..127
  // S (impulse) as stored: the player reads the sub-command from the info's
  // high nibble as it reads the row, so that S00 can stand for the channel's
  // last S.
  kCommandImpulseSpecial = 62,
  kCommandHighestAnyRules = 63,  // numbers above this are invalid under every rule set
};

struct ModuleSample {
  int32_t device_handle;  // sound-device handle when added to a device, else 0
  int8_t* data;           // signed 8-bit frames, null when empty or 16-bit
  uint32_t length;        // frames; reduced to the loop end for a looping sample
  uint8_t sample_type;    // 1 with data, 0 empty
  uint8_t loop_mode;      // kLoopNone, kLoopForward or kLoopPingPong
  uint8_t loop_flag;      // 1 when loop_mode is not kLoopNone
  uint32_t loop_start;    // frames
  uint32_t loop_end;      // frames (exclusive)
  int32_t volume;         // 0..64 as stored (the player clamps)
  int32_t reserved0;
  uint32_t rate_hz;  // playback rate of middle C (C-4)
  int32_t reserved1;
  // Beyond the S3M reader's record: what the other formats keep per sample.
  int16_t* data16;         // signed 16-bit frames, null when empty or 8-bit
  uint8_t channels;        // 1 mono, 2 stereo (frames interleaved left, right)
  uint8_t sustain_mode;    // loop while the note is held: kLoop*
  uint32_t sustain_start;  // frames
  uint32_t sustain_end;    // frames (exclusive)
  int8_t finetune;         // -128..127 in 1/128 semitone (already in rate_hz)
  int8_t relative_note;    // semitones added to every note (already in rate_hz)
  int16_t panning;         // 0 left .. 255 right, -1 when the sample sets none
  uint8_t global_volume;   // 0..64, scales every note of the sample
  uint8_t vibrato_type;    // automatic vibrato: 0 sine, 1 square, 2 ramp up, 3 ramp down, 4 random
  uint8_t vibrato_sweep;   // ticks to reach the full depth (impulse rules: depth << 8 per tick)
  uint8_t vibrato_depth;
  uint8_t vibrato_rate;
};

// An envelope: points of (tick, value) with optional sustain and loop ranges
// given as point indexes.
struct ModuleEnvelope {
  uint8_t flags;        // kEnvelope*
  uint8_t point_count;  // 0..kEnvelopePoints
  uint8_t sustain_start;
  uint8_t sustain_end;
  uint8_t loop_start;
  uint8_t loop_end;
  uint16_t ticks[kEnvelopePoints];  // rising
  int8_t values[kEnvelopePoints];   // volume 0..64; panning and pitch -32..32
};

struct ModuleInstrument {
  char name[kModuleNameBytes + 1];
  int32_t sample_count;  // 1 when a pattern uses the instrument, else 0
  int32_t used;          // 1 or 0
  ModuleSample* sample;  // only for a used instrument, else null
  // Formats with real instruments map every note to a sample of the module
  // and the note it plays; formats without them map all notes to the
  // instrument's own sample, unchanged.
  uint8_t note_samples[kModuleNotes];  // index into Module::samples, 255 none
  uint8_t note_notes[kModuleNotes];    // octave << 4 | semitone
  ModuleEnvelope volume_envelope;
  ModuleEnvelope panning_envelope;
  ModuleEnvelope pitch_envelope;
  uint16_t fadeout;         // volume lost per tick after a key off, of 65536
  uint8_t global_volume;    // 0..128
  int16_t panning;          // 0 left .. 255 right, -1 when the instrument sets none
  uint8_t new_note_action;  // what happens to a sounding note when the next starts
  uint8_t duplicate_check;
  uint8_t duplicate_action;
  uint8_t filter_cutoff;     // 0..127, 255 none
  uint8_t filter_resonance;  // 0..127, 255 none
};

struct ModulePattern {
  int32_t size_bytes;  // head (8) + the bytes of rows
  int32_t row_count;   // 64 for S3M and plain modules
  uint8_t* rows;       // size_bytes - 8 bytes of packed rows
};

struct Module {
  char name[kModuleNameBytes + 1];
  int32_t rules;             // kRules*
  int32_t song_length;       // orders after trailing end markers are dropped
  int32_t restart_position;  // order played after the end (0 for S3M)
  int32_t instrument_count;
  int32_t sample_count;                 // same as instrument_count
  int32_t pattern_count;                // highest pattern number in the orders + 1
  uint8_t channel_count;                // 1..32
  uint8_t master_volume;                // global volume at the start: 0..64 (impulse rules 0..128)
  uint8_t speed;                        // ticks per row at the start
  uint8_t tempo;                        // beats per minute at the start
  int32_t panning[kModuleMaxChannels];  // 0 left .. 64 middle .. 128 right
  uint16_t* orders;                     // song_length entries
  ModuleInstrument** instruments;       // instrument_count entries
  ModuleSample** samples;               // sample_count entries, null without a sample
  ModulePattern** patterns;             // pattern_count entries
  uint32_t flags;                       // kModuleFlag*
  // Beyond the S3M reader's record.
  uint8_t frequency_model;                     // kFrequencyAmiga or kFrequencyLinear
  uint8_t channel_volume[kModuleMaxChannels];  // 0..64 at the start
  char format[24];  // what the file was, for tools: "S3M", "M.K.", "15 samples"...
};
