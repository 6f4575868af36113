// The "IMPM" reader (see it_reader.h). Little-endian throughout; offsets
// are from the start of the file.
#include "music/it_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "music/it_samples.h"
#include "music/module_records.h"
#include "music/music_errors.h"
#include "music/music_io.h"

namespace {

constexpr size_t kHeaderBytes = 0xC0;  // the orders follow
constexpr size_t kInstrumentBytes = 554;
constexpr size_t kSampleHeaderBytes = 80;
constexpr size_t kPatternHeadBytes = 8;
constexpr int kMaxOrders = 256;
constexpr int kMaxInstruments = 255;
constexpr int kMaxSamples = 255;
constexpr int kMaxPatterns = 256;
constexpr int kMaxRows = 256;
constexpr int kFileChannels = 64;
constexpr uint8_t kStoredOrderSkip = 254;
constexpr uint8_t kStoredOrderEnd = 255;
constexpr uint8_t kStoredNoteOff = 255;
constexpr uint8_t kStoredNoteCut = 254;
constexpr uint8_t kStoredPanSurround = 100;

struct Bytes {
  const uint8_t* data;
  size_t size;
  bool Has(size_t at, size_t count) const { return at <= size && count <= size - at; }
  uint8_t U8(size_t at) const { return data[at]; }
  uint16_t U16(size_t at) const { return static_cast<uint16_t>(data[at] | data[at + 1] << 8); }
  uint32_t U32(size_t at) const {
    return static_cast<uint32_t>(U16(at)) | static_cast<uint32_t>(U16(at + 2)) << 16;
  }
};

struct Reader {
  Bytes file{nullptr, 0};
  const char* reason = nullptr;
  uint16_t order_count = 0;
  uint16_t instrument_count = 0;  // as stored (sample mode ignores them)
  uint16_t sample_count = 0;
  uint16_t pattern_count = 0;  // as stored
  bool instrument_mode = false;
  bool old_instruments = false;  // layout of the trackers before 2.0
  int Fail(int code, const char* why) {
    reason = why;
    return code;
  }
};

// The tracker's note (0..119, C-5 = 60 is middle C) as the player's octave
// << 4 | semitone, where C-4 is middle C. The lowest octave has no place
// below octave 0 and sounds an octave high.
uint8_t InternalNote(uint8_t note) {
  const int octave = std::max(note / 12 - 1, 0);
  return static_cast<uint8_t>(octave << 4 | note % 12);
}

// A pan of 0..64 onto the records' 0..255.
int16_t FullPanning(uint8_t pan) {
  return static_cast<int16_t>(std::min(pan, uint8_t{64}) * 255 / 64);
}

// The tracker's effect letter (A = 1 .. Z = 26) and parameter -> internal
// command and info; kCommandNone drops it. S keeps its parameter for the
// player to read (DecodeImpulseSpecial); Zxx is the filter's cutoff or
// resonance (the tracker's default macros).
void ConvertEffect(uint8_t effect, uint8_t parameter, uint8_t* command, uint8_t* info) {
  static constexpr uint8_t kLetters[27] = {
      kCommandNone,
      kCommandSetSpeed,            // A
      kCommandPositionJump,        // B
      kCommandPatternBreakRow,     // C
      kCommandVolumeSlide,         // D
      kCommandPortamentoDown,      // E
      kCommandPortamentoUp,        // F
      kCommandTonePortamento,      // G
      kCommandVibrato,             // H
      kCommandTremor,              // I
      kCommandArpeggio,            // J
      kCommandVibratoVolSlide,     // K
      kCommandTonePortaVolSlide,   // L
      kCommandChannelVolume,       // M
      kCommandChannelVolumeSlide,  // N
      kCommandSampleOffset,        // O
      kCommandPanningSlide,        // P
      kCommandRetrigger,           // Q
      kCommandTremolo,             // R
      kCommandImpulseSpecial,      // S
      kCommandSetTempo,            // T: below
      kCommandFineVibrato,         // U
      kCommandGlobalVolume,        // V
      kCommandGlobalVolumeSlide,   // W
      kCommandSetPanningFull,      // X
      kCommandPanbrello,           // Y
      kCommandFilterCutoff,        // Z
  };
  *info = parameter;
  *command = effect < 27 ? kLetters[effect] : uint8_t{kCommandNone};
  if (effect == 1 && parameter == 0) *command = kCommandNone;  // A00 does nothing
  if (effect == 20 && parameter < 0x20) *command = kCommandTempoSlide;
}

// What the packed data says for one channel on one row.
struct Cell {
  int note = -1;           // -1 none; else as stored (255 is a note off)
  uint8_t instrument = 0;  // 1-based, 0 none
  uint8_t volume = 255;    // 255 none
  uint8_t effect = 0;
  uint8_t parameter = 0;
};

// The values each channel remembers for the masks' "as before" bits.
struct ChannelMemory {
  uint8_t mask = 0;
  Cell last;
};

void AppendCell(int channel, const Cell& cell, int instrument_count, std::vector<uint8_t>& out) {
  uint8_t note = kNoteNone;
  if (cell.note >= 0 && cell.note < 120) {
    note = InternalNote(static_cast<uint8_t>(cell.note));
  } else if (cell.note == kStoredNoteOff) {
    note = kNoteKeyOff;
  } else if (cell.note == kStoredNoteCut) {
    note = kNoteCut;
  } else if (cell.note >= 0) {
    note = kNoteFade;
  }
  const uint8_t instrument = cell.instrument >= 1 && cell.instrument <= instrument_count
                                 ? static_cast<uint8_t>(cell.instrument - 1)
                                 : kInstrumentNone;
  uint8_t volume = kVolumeNone;
  if (cell.volume <= 212) {
    volume = cell.volume >= kImpulseVolumeShiftFrom ? static_cast<uint8_t>(cell.volume + 1)
                                                    : cell.volume;
  }
  uint8_t command = kCommandNone;
  uint8_t info = 0;
  ConvertEffect(cell.effect, cell.parameter, &command, &info);
  uint8_t what = static_cast<uint8_t>(channel);
  if (note != kNoteNone || instrument != kInstrumentNone) what |= 32;
  if (volume != kVolumeNone) what |= 64;
  if (command != kCommandNone) what |= 128;
  if ((what & 0xE0) == 0) return;
  out.push_back(what);
  if (what & 32) {
    out.push_back(note);
    out.push_back(instrument);
  }
  if (what & 64) out.push_back(volume);
  if (what & 128) {
    out.push_back(command);
    out.push_back(info);
  }
}

// One packed pattern into the internal rows. The data ends with the
// pattern's stated bytes; an entry cut by that end ends the pattern (the
// rows left are empty). Returns the highest channel used, -1 none.
int ConvertPattern(const uint8_t* in, size_t size, int rows, int instrument_count,
                   std::vector<uint8_t>& out) {
  ChannelMemory memory[kFileChannels];
  int highest_channel = -1;
  size_t at = 0;
  bool cut = false;
  out.clear();
  for (int row = 0; row < rows; ++row) {
    while (!cut && at < size) {
      const uint8_t channel_byte = in[at++];
      if (channel_byte == 0) break;
      const int channel = (channel_byte - 1) & 63;
      ChannelMemory& remembered = memory[channel];
      if (channel_byte & 128) {
        if (at >= size) {
          cut = true;
          break;
        }
        remembered.mask = in[at++];
      }
      const uint8_t mask = remembered.mask;
      const size_t needed =
          ((mask & 1) ? 1 : 0) + ((mask & 2) ? 1 : 0) + ((mask & 4) ? 1 : 0) + ((mask & 8) ? 2 : 0);
      if (size - at < needed) {
        cut = true;
        break;
      }
      Cell cell;
      if (mask & 1) remembered.last.note = in[at++];
      if (mask & 2) remembered.last.instrument = in[at++];
      if (mask & 4) remembered.last.volume = in[at++];
      if (mask & 8) {
        remembered.last.effect = in[at++];
        remembered.last.parameter = in[at++];
      }
      if (mask & (1 | 16)) cell.note = remembered.last.note;
      if (mask & (2 | 32)) cell.instrument = remembered.last.instrument;
      if (mask & (4 | 64)) cell.volume = remembered.last.volume;
      if (mask & (8 | 128)) {
        cell.effect = remembered.last.effect;
        cell.parameter = remembered.last.parameter;
      }
      if (channel >= kModuleMaxChannels) continue;
      highest_channel = std::max(highest_channel, channel);
      AppendCell(channel, cell, instrument_count, out);
    }
    out.push_back(0);
  }
  return highest_channel;
}

int ReadPatterns(Reader& reader, Module& module) {
  const Bytes& file = reader.file;
  int code = AllocateArray(static_cast<size_t>(module.pattern_count), &module.patterns);
  const size_t offsets_at = kHeaderBytes + reader.order_count +
                            (reader.instrument_count + size_t{reader.sample_count}) * 4;
  std::vector<uint8_t> rows;
  int highest_channel = 0;
  for (int number = 0; number < module.pattern_count && code == kMusicOk; ++number) {
    const uint32_t offset =
        number < reader.pattern_count ? file.U32(offsets_at + size_t(number) * 4) : 0;
    int row_count = 64;
    const uint8_t* packed = nullptr;
    size_t packed_size = 0;
    if (offset != 0) {  // 0: an empty pattern of 64 rows
      if (!file.Has(offset, kPatternHeadBytes))
        return reader.Fail(kMusicUnexpectedEndOfFile, "a pattern lies outside the file");
      packed_size = file.U16(offset);
      row_count = file.U16(offset + 2);
      if (row_count < 1 || row_count > kMaxRows)
        return reader.Fail(kMusicInvalidPatternData, "a pattern has not 1 to 256 rows");
      if (!file.Has(offset + kPatternHeadBytes, packed_size))
        return reader.Fail(kMusicUnexpectedEndOfFile, "the file ends inside a pattern");
      packed = file.data + offset + kPatternHeadBytes;
    }
    highest_channel = std::max(highest_channel, ConvertPattern(packed, packed_size, row_count,
                                                               module.instrument_count, rows));
    code = StorePattern(module, number, row_count, rows);
  }
  module.channel_count = static_cast<uint8_t>(highest_channel + 1);
  return code;
}

void ReadEnvelope(const Bytes& file, size_t at, ModuleEnvelope& envelope) {
  const uint8_t flags = file.U8(at);
  if (flags & 1) envelope.flags |= kEnvelopeOn;
  if (flags & 2) envelope.flags |= kEnvelopeLoop;
  if (flags & 4) envelope.flags |= kEnvelopeSustain;
  if (flags & 8) envelope.flags |= kEnvelopeCarry;
  if (flags & 128) envelope.flags |= kEnvelopeFilter;
  envelope.point_count = std::min<uint8_t>(file.U8(at + 1), kEnvelopePoints);
  envelope.loop_start = file.U8(at + 2);
  envelope.loop_end = file.U8(at + 3);
  envelope.sustain_start = file.U8(at + 4);
  envelope.sustain_end = file.U8(at + 5);
  for (size_t p = 0; p < envelope.point_count; ++p) {
    envelope.values[p] = static_cast<int8_t>(file.U8(at + 6 + p * 3));
    envelope.ticks[p] = file.U16(at + 7 + p * 3);
  }
}

// The note map at `at` (120 pairs of note and 1-based sample).
void ReadNoteMap(const Reader& reader, size_t at, ModuleInstrument& instrument) {
  const Bytes& file = reader.file;
  for (int note = 0; note < kModuleNotes; ++note) {
    instrument.note_samples[note] = kInstrumentNone;
    instrument.note_notes[note] = static_cast<uint8_t>((note / 12) << 4 | (note % 12));
  }
  // Stored note n is the player's note n - 12 (see InternalNote).
  for (int stored = 12; stored < 120; ++stored) {
    const uint8_t mapped = file.U8(at + size_t(stored) * 2);
    const uint8_t sample = file.U8(at + size_t(stored) * 2 + 1);
    const int note = stored - 12;
    if (mapped < 120) instrument.note_notes[note] = InternalNote(mapped);
    if (sample >= 1 && sample <= reader.sample_count)
      instrument.note_samples[note] = static_cast<uint8_t>(sample - 1);
  }
}

int ReadInstrument(Reader& reader, size_t at, ModuleInstrument& instrument) {
  const Bytes& file = reader.file;
  if (!file.Has(at, kInstrumentBytes))
    return reader.Fail(kMusicUnexpectedEndOfFile, "an instrument lies outside the file");
  if (std::memcmp(file.data + at, "IMPI", 4) != 0)
    return reader.Fail(kMusicInvalidInstrument, "an instrument lacks its \"IMPI\" mark");
  SetUpPlainInstrument(instrument, 255);
  std::memcpy(instrument.name, file.data + at + 0x20, 26);
  ReadNoteMap(reader, at + 0x40, instrument);
  if (reader.old_instruments) {
    // Before 2.0: one volume envelope of up to 25 (tick, value) byte pairs,
    // ended by a tick of 255; the fade-out counts twice as much.
    const uint8_t flags = file.U8(at + 0x11);
    ModuleEnvelope& envelope = instrument.volume_envelope;
    if (flags & 1) envelope.flags |= kEnvelopeOn;
    if (flags & 2) envelope.flags |= kEnvelopeLoop;
    if (flags & 4) envelope.flags |= kEnvelopeSustain;
    envelope.loop_start = file.U8(at + 0x12);
    envelope.loop_end = file.U8(at + 0x13);
    envelope.sustain_start = file.U8(at + 0x14);
    envelope.sustain_end = file.U8(at + 0x15);
    while (envelope.point_count < kEnvelopePoints) {
      const size_t point = at + 0x1F8 + size_t{envelope.point_count} * 2;
      if (file.U8(point) == 255) break;
      envelope.ticks[envelope.point_count] = file.U8(point);
      envelope.values[envelope.point_count] =
          static_cast<int8_t>(std::min<uint8_t>(file.U8(point + 1), 64));
      ++envelope.point_count;
    }
    instrument.fadeout = static_cast<uint16_t>(std::min(file.U16(at + 0x18) * 128, 65535));
    instrument.new_note_action = file.U8(at + 0x1A);
    instrument.duplicate_check = file.U8(at + 0x1B);
  } else {
    instrument.new_note_action = file.U8(at + 0x11);
    instrument.duplicate_check = file.U8(at + 0x12);
    instrument.duplicate_action = file.U8(at + 0x13);
    // The fade-out is taken off a level of 1024 per tick; the record counts of 65536.
    instrument.fadeout = static_cast<uint16_t>(std::min(file.U16(at + 0x14) * 64, 65535));
    instrument.global_volume = std::min<uint8_t>(file.U8(at + 0x18), 128);
    const uint8_t pan = file.U8(at + 0x19);
    instrument.panning = (pan & 128) ? -1 : FullPanning(pan);
    const uint8_t cutoff = file.U8(at + 0x3A);
    const uint8_t resonance = file.U8(at + 0x3B);
    instrument.filter_cutoff = (cutoff & 128) ? cutoff & 127 : 255;
    instrument.filter_resonance = (resonance & 128) ? resonance & 127 : 255;
    ReadEnvelope(file, at + 0x130, instrument.volume_envelope);
    ReadEnvelope(file, at + 0x182, instrument.panning_envelope);
    ReadEnvelope(file, at + 0x1D4, instrument.pitch_envelope);
    for (int p = 0; p < instrument.volume_envelope.point_count; ++p) {
      instrument.volume_envelope.values[p] =
          std::clamp<int8_t>(instrument.volume_envelope.values[p], 0, 64);
    }
  }
  return kMusicOk;
}

int ReadSample(Reader& reader, size_t at, ModuleSample& sample, char* name) {
  const Bytes& file = reader.file;
  if (!file.Has(at, kSampleHeaderBytes))
    return reader.Fail(kMusicUnexpectedEndOfFile, "a sample header lies outside the file");
  if (std::memcmp(file.data + at, "IMPS", 4) != 0)
    return reader.Fail(kMusicInvalidInstrument, "a sample header lacks its \"IMPS\" mark");
  SetUpPlainSample(sample);
  std::memcpy(name, file.data + at + 0x14, 26);
  const uint8_t flags = file.U8(at + 0x12);
  const uint8_t conversion = file.U8(at + 0x2E);
  sample.global_volume = std::min<uint8_t>(file.U8(at + 0x11), 64);
  sample.volume = std::min<uint8_t>(file.U8(at + 0x13), 64);
  const uint8_t pan = file.U8(at + 0x2F);
  sample.panning = (pan & 128) ? FullPanning(pan & 127) : -1;
  const uint32_t frames = (flags & 1) ? file.U32(at + 0x30) : 0;
  const uint32_t loop_start = file.U32(at + 0x34);
  const uint32_t loop_end = file.U32(at + 0x38);
  sample.rate_hz = std::min<uint32_t>(file.U32(at + 0x3C), 9999999);
  const uint32_t sustain_start = file.U32(at + 0x40);
  const uint32_t sustain_end = file.U32(at + 0x44);
  const uint32_t data_at = file.U32(at + 0x48);
  static constexpr uint8_t kVibratoTypes[4] = {0, 3, 1, 4};  // sine, ramp down, square, random
  // The tracker's vibrato speed is the records' rate (the step along the
  // waveform per tick) and its rate the records' sweep, which the impulse
  // rules read as the depth's growth per tick (see AutoVibrato).
  sample.vibrato_rate = file.U8(at + 0x4C);
  sample.vibrato_depth = file.U8(at + 0x4D);
  sample.vibrato_sweep = file.U8(at + 0x4E);
  sample.vibrato_type = kVibratoTypes[file.U8(at + 0x4F) & 3];
  sample.length = frames;
  // Loops that do not fit the sample are not played.
  if ((flags & 16) && loop_start < loop_end && loop_end <= frames) {
    sample.loop_mode = (flags & 64) ? kLoopPingPong : kLoopForward;
    sample.loop_flag = 1;
    sample.loop_start = loop_start;
    sample.loop_end = loop_end;
  }
  if ((flags & 32) && sustain_start < sustain_end && sustain_end <= frames) {
    sample.sustain_mode = (flags & 128) ? kLoopPingPong : kLoopForward;
    sample.sustain_start = sustain_start;
    sample.sustain_end = sustain_end;
  }
  // Without a sustain loop nothing after the loop is ever heard.
  if (sample.loop_flag && sample.sustain_mode == kLoopNone) sample.length = sample.loop_end;
  const ImpulseSampleFormat format{(flags & 2) != 0,      (flags & 4) != 0,
                                   (flags & 8) != 0,      (conversion & 1) != 0,
                                   (conversion & 2) != 0, (conversion & 4) != 0};
  if (frames == 0) return kMusicOk;
  if (frames > (1u << 26))
    return reader.Fail(kMusicInvalidInstrument, "a sample is longer than 64 Mi frames");
  if (data_at >= file.size)
    return reader.Fail(kMusicUnexpectedEndOfFile, "a sample's data lies outside the file");
  return ReadImpulseSampleData(file.data + data_at, file.size - data_at, frames, format, sample,
                               &reader.reason);
}

// The samples, and the instruments (or, in sample mode, one plain
// instrument per sample).
int ReadInstruments(Reader& reader, Module& module) {
  const Bytes& file = reader.file;
  const size_t instruments_at = kHeaderBytes + reader.order_count;
  const size_t samples_at = instruments_at + size_t{reader.instrument_count} * 4;
  module.sample_count = reader.sample_count;
  int code = AllocateArray(reader.sample_count, &module.samples);
  std::vector<std::array<char, 27>> names(reader.sample_count);
  for (size_t i = 0; i < reader.sample_count && code == kMusicOk; ++i) {
    code = AllocateArray(1, &module.samples[i]);
    if (code == kMusicOk)
      code = ReadSample(reader, file.U32(samples_at + i * 4), *module.samples[i], names[i].data());
  }
  if (code != kMusicOk) return code;
  module.instrument_count = reader.instrument_mode ? reader.instrument_count : reader.sample_count;
  code = AllocateArray(static_cast<size_t>(module.instrument_count), &module.instruments);
  for (int32_t i = 0; i < module.instrument_count && code == kMusicOk; ++i) {
    code = AllocateArray(1, &module.instruments[i]);
    if (code != kMusicOk) break;
    ModuleInstrument& instrument = *module.instruments[i];
    if (reader.instrument_mode) {
      code = ReadInstrument(reader, file.U32(instruments_at + size_t(i) * 4), instrument);
    } else {
      SetUpPlainInstrument(instrument, static_cast<size_t>(i));
      std::memcpy(instrument.name, names[static_cast<size_t>(i)].data(), 26);
    }
    // The sample of middle C stands for the instrument where a single one
    // is asked for; an instrument with no sound is not used.
    for (int note : {48, 0, 12, 24, 36, 60, 72, 84, 96, 108}) {
      const uint8_t index = instrument.note_samples[note];
      if (instrument.sample == nullptr && index < module.sample_count &&
          module.samples[index]->sample_type != 0) {
        instrument.sample = module.samples[index];
      }
    }
    instrument.used = instrument.sample != nullptr ? 1 : 0;
    instrument.sample_count = instrument.used;
  }
  return code;
}

int ReadHeader(Reader& reader, Module& module) {
  const Bytes& file = reader.file;
  if (!file.Has(0, kHeaderBytes))
    return reader.Fail(kMusicUnexpectedEndOfFile, "the file ends inside its header");
  reader.order_count = file.U16(0x20);
  reader.instrument_count = file.U16(0x22);
  reader.sample_count = file.U16(0x24);
  reader.pattern_count = file.U16(0x26);
  const uint16_t compatible_version = file.U16(0x2A);
  const uint16_t flags = file.U16(0x2C);
  reader.instrument_mode = (flags & 4) != 0;
  reader.old_instruments = compatible_version < 0x200;
  if (reader.order_count == 0 || reader.order_count > kMaxOrders)
    return reader.Fail(kMusicInvalidModule, "the order count is not 1 to 256");
  if (reader.instrument_count > kMaxInstruments || reader.sample_count > kMaxSamples ||
      reader.pattern_count > kMaxPatterns)
    return reader.Fail(kMusicInvalidModule,
                       "more than 255 instruments or samples, or 256 patterns");
  if (reader.sample_count == 0)
    return reader.Fail(kMusicInvalidModule, "the module has no samples");
  if (reader.instrument_mode && reader.instrument_count == 0)
    return reader.Fail(kMusicInvalidModule, "the module uses instruments but has none");
  const size_t tables =
      reader.order_count +
      (reader.instrument_count + size_t{reader.sample_count} + reader.pattern_count) * 4;
  if (!file.Has(kHeaderBytes, tables))
    return reader.Fail(kMusicUnexpectedEndOfFile,
                       "the file ends inside its order and offset tables");
  std::memcpy(module.name, file.data + 4, 26);
  module.rules = kRulesImpulse;
  SetUpModuleDefaults(module, "Impulse Tracker");
  if (flags & 8) module.frequency_model = kFrequencyLinear;
  if (flags & 16) module.flags |= kModuleFlagOldEffects;
  if (flags & 32) module.flags |= kModuleFlagCompatibleGxx;
  // The impulse rules keep the global volume on the tracker's 0..128.
  module.master_volume = std::min<uint8_t>(file.U8(0x30), 128);
  module.speed = file.U8(0x32) != 0 ? file.U8(0x32) : 6;
  module.tempo = std::max<uint8_t>(file.U8(0x33), 32);
  const bool stereo = (flags & 1) != 0;
  for (int channel = 0; channel < kModuleMaxChannels; ++channel) {
    const uint8_t pan = file.U8(0x40 + size_t(channel));
    module.panning[channel] = !stereo                             ? 64
                              : (pan & 127) == kStoredPanSurround ? 0xA4
                                                                  : std::min(pan & 127, 64) * 2;
    // A channel switched off is silent.
    module.channel_volume[channel] =
        (pan & 128) ? 0 : std::min<uint8_t>(file.U8(0x80 + size_t(channel)), 64);
  }
  // Trailing end markers are dropped; inner ones end the song there.
  int song_length = reader.order_count;
  while (song_length > 0 && file.U8(kHeaderBytes + size_t(song_length) - 1) == kStoredOrderEnd)
    --song_length;
  if (song_length == 0) return reader.Fail(kMusicInvalidModule, "the order list plays no pattern");
  module.song_length = song_length;
  int code = AllocateArray(static_cast<size_t>(song_length), &module.orders);
  int highest = reader.pattern_count - 1;
  for (int i = 0; i < song_length && code == kMusicOk; ++i) {
    const uint8_t order = file.U8(kHeaderBytes + size_t(i));
    module.orders[i] = order == kStoredOrderEnd    ? kOrderEndOfSong
                       : order == kStoredOrderSkip ? kOrderSkip
                                                   : order;
    if (order < kStoredOrderSkip) highest = std::max<int>(highest, order);
  }
  module.pattern_count = highest + 1;
  if (module.pattern_count == 0)
    return reader.Fail(kMusicInvalidModule, "the module has no patterns");
  return code;
}

}  // namespace

int LoadImpulseModuleFromMemory(const uint8_t* data, size_t size, Module** out,
                                const char** reason) {
  const char* unused_reason = nullptr;
  if (reason == nullptr) reason = &unused_reason;
  if (out == nullptr || data == nullptr) return kMusicInvalidArgument;
  Module* module = nullptr;
  int code = AllocateArray(1, &module);
  if (code != kMusicOk) return code;
  Reader reader;
  reader.file = Bytes{data, size};
  code = ReadHeader(reader, *module);
  if (code == kMusicOk) code = ReadInstruments(reader, *module);
  if (code == kMusicOk) code = ReadPatterns(reader, *module);
  if (code != kMusicOk) {
    *reason = reader.reason != nullptr ? reader.reason : MusicErrorText(code);
    FreeModule(module);
    return code;
  }
  *out = module;
  return kMusicOk;
}
