// The S3M module reader: header, orders, channels and panning, the two
// instrument passes and the conversion of packed patterns into the player's
// internal form. Every read goes through music_io, so a short or hostile file
// ends in an error code.
#include "music/s3m_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "music/module_records.h"
#include "music/music_errors.h"
#include "music/music_io.h"

namespace {

constexpr size_t kHeaderBytes = 96;
constexpr size_t kInstrumentHeaderBytes = 80;
constexpr uint32_t kLargestSampleLength = 0x7FFFFFEF;
constexpr uint8_t kDefaultPanMarker = 252;
constexpr int kHighestMarkableInstrument = 100;  // indexes above are never marked used

// S3M command letter (1 = A ... 25 = Y) -> internal command; 0 drops it.
// Letters the player does not act on (I tremor, M/N channel volume, P panning
// slide, U fine vibrato, Y panbrello) are dropped here, so the player never
// sees them. R tremolo is kept but does nothing.
constexpr uint8_t kCommandTable[26] = {
    0,                          // (no command)
    kCommandSetSpeed,           // A
    kCommandPositionJump,       // B
    kCommandPatternBreak,       // C
    kCommandVolumeSlide,        // D
    kCommandPortamentoDown,     // E
    kCommandPortamentoUp,       // F
    kCommandTonePortamento,     // G
    kCommandVibrato,            // H
    0,                          // I tremor
    kCommandArpeggio,           // J
    kCommandVibratoVolSlide,    // K
    kCommandTonePortaVolSlide,  // L
    0,                          // M
    0,                          // N
    kCommandSampleOffset,       // O
    0,                          // P
    kCommandRetrigger,          // Q
    kCommandTremolo,            // R
    0,                          // S: from kSCommandTable
    kCommandSetTempo,           // T
    0,                          // U
    kCommandGlobalVolume,       // V
    kCommandSync,               // W
    kCommandSetPanning,         // X
    0,                          // Y
};
constexpr uint8_t kLetterS = 19;

// S command: high nibble of the info -> internal command; 0 drops it. Only
// S8 panning, SB pattern loop, SC note cut, SD note delay and SE pattern
// delay are played.
constexpr uint8_t kSCommandTable[16] = {
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    kCommandSetPanningCoarse,
    0,
    0,
    kCommandPatternLoop,
    kCommandNoteCut,
    kCommandNoteDelay,
    kCommandPatternDelay,
    0,
};

int32_t& PanSeparationValue() {
  static int32_t separation = 64;
  return separation;
}

uint16_t ReadU16LittleEndian(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}
uint32_t ReadU32LittleEndian(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

// What one load works with; rebuilt for every call.
struct ReaderState {
  MusicFile* file = nullptr;
  uint8_t header[kHeaderBytes] = {};
  std::vector<uint16_t> instrument_pointers;
  std::vector<uint16_t> pattern_pointers;
  std::vector<uint8_t> used;  // per instrument
  int last_enabled_channel = -1;
  int highest_used_channel = -1;
  uint32_t largest_sample_length = 0;
  bool signed_samples = false;  // header sample format 1; 2 (usual) is unsigned
};

int ReadAt(ReaderState& reader, size_t position, void* buffer, size_t byte_count) {
  int code = MusicFileSeek(reader.file, position);
  if (code == kMusicOk) code = MusicFileRead(reader.file, buffer, byte_count);
  return code;
}

int ReadOrders(ReaderState& reader, Module& module, size_t order_count) {
  std::vector<uint8_t> raw(order_count);
  int code = MusicFileRead(reader.file, raw.data(), order_count);
  if (code != kMusicOk) return code;
  while (!raw.empty() && raw.back() == 255) raw.pop_back();
  if (raw.empty()) return kMusicInvalidModule;
  code = AllocateArray(raw.size(), &module.orders);
  if (code != kMusicOk) return code;
  module.song_length = static_cast<int32_t>(raw.size());
  module.pattern_count = 0;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == 255) {
      module.orders[i] = kOrderEndOfSong;
    } else if (raw[i] == 254) {
      module.orders[i] = kOrderSkip;
    } else {
      module.orders[i] = raw[i];
      module.pattern_count = std::max<int32_t>(module.pattern_count, raw[i] + 1);
    }
  }
  return kMusicOk;
}

int ReadPointers(ReaderState& reader, std::vector<uint16_t>& pointers, size_t count) {
  std::vector<uint8_t> raw(count * 2);
  int code = MusicFileRead(reader.file, raw.data(), raw.size());
  if (code != kMusicOk) return code;
  pointers.resize(count);
  for (size_t i = 0; i < count; ++i) pointers[i] = ReadU16LittleEndian(&raw[i * 2]);
  return kMusicOk;
}

// Channel settings and the optional pan table -> Module::panning.
int SetUpChannels(ReaderState& reader, Module& module) {
  uint8_t pan_bytes[kModuleMaxChannels] = {};
  const bool has_pan_table = reader.header[53] == kDefaultPanMarker;
  if (has_pan_table) {
    int code = MusicFileRead(reader.file, pan_bytes, sizeof pan_bytes);
    if (code != kMusicOk) return code;
  }
  const int32_t separation = PanSeparation();
  for (int channel = 0; channel < kModuleMaxChannels; ++channel) {
    const uint8_t setting = reader.header[64 + channel];
    const bool enabled = setting < 16;
    const int32_t side_pan = setting < 8 ? 64 - separation : 64 + separation;
    int32_t pan = side_pan;
    if (!enabled) {
      pan = has_pan_table ? 64 : 0;
    } else if (has_pan_table && (pan_bytes[channel] & 32) != 0) {
      const int p = pan_bytes[channel] & 15;
      pan = p <= 6 ? 8 * p : (p <= 8 ? 64 : 128 - 8 * (15 - p));
    }
    module.panning[channel] = pan;
    if (enabled) reader.last_enabled_channel = channel;
  }
  return kMusicOk;
}

// Instrument header fields the reader uses.
struct InstrumentHeader {
  uint8_t type;  // 1 = sampled; anything else holds no sample data
  size_t sample_position;
  uint32_t length;
  uint32_t loop_start;
  uint32_t loop_end;
  uint8_t volume;
  uint8_t flags;  // bit 0 loop, bit 1 stereo, bit 2 16-bit
  uint32_t rate_hz;
  char name[kModuleNameBytes];
};

int ReadInstrumentHeader(ReaderState& reader, size_t index, InstrumentHeader& out) {
  uint8_t raw[kInstrumentHeaderBytes];
  int code = ReadAt(reader, size_t{reader.instrument_pointers[index]} * 16, raw, sizeof raw);
  if (code != kMusicOk) return code;
  out.type = raw[0];
  // The paragraph pointer's high byte (offset 13) reaches samples stored
  // beyond 1 MiB.
  const uint32_t paragraph = (static_cast<uint32_t>(raw[13]) << 16) | ReadU16LittleEndian(&raw[14]);
  out.sample_position = size_t{paragraph} * 16;
  // Adlib and empty instruments keep no sample bytes; their length field
  // means something else, so they are read as empty samples.
  out.length = out.type == 1 ? ReadU32LittleEndian(&raw[16]) : 0;
  out.loop_start = ReadU32LittleEndian(&raw[20]);
  out.loop_end = ReadU32LittleEndian(&raw[24]);
  out.volume = raw[28];
  out.flags = raw[31];
  out.rate_hz = ReadU32LittleEndian(&raw[32]);
  std::memcpy(out.name, &raw[48], kModuleNameBytes);
  return kMusicOk;
}

int FindLargestSample(ReaderState& reader, const Module& module) {
  for (int32_t i = 0; i < module.instrument_count; ++i) {
    InstrumentHeader header{};
    int code = ReadInstrumentHeader(reader, static_cast<size_t>(i), header);
    if (code != kMusicOk) return code;
    reader.largest_sample_length = std::max(reader.largest_sample_length, header.length);
  }
  return reader.largest_sample_length > kLargestSampleLength ? kMusicInvalidInstrument : kMusicOk;
}

// Converts one packed pattern (rows of S3M entries) into the internal form
// (see module.h). Input runs are bounded by both the row and the input end;
// the output grows as needed, so no pattern is too large.
void ConvertPattern(ReaderState& reader, const Module& module, const uint8_t* in, size_t in_size,
                    std::vector<uint8_t>& out) {
  out.clear();
  size_t at = 0;
  for (int row = 0; row < kModulePatternRows; ++row) {
    while (at < in_size) {
      const uint8_t what = in[at++];
      if (what == 0) break;
      const size_t entry_bytes =
          ((what & 32) ? 2 : 0) + ((what & 64) ? 1 : 0) + ((what & 128) ? 2 : 0);
      if (entry_bytes > in_size - at) {
        at = in_size;  // a truncated entry ends the pattern
        break;
      }
      const uint8_t* field = in + at;
      at += entry_bytes;
      const int channel = what & 31;
      if ((what & 0xE0) != 0)
        reader.highest_used_channel = std::max(reader.highest_used_channel, channel);
      if (channel > reader.last_enabled_channel) continue;

      uint8_t entry[6];
      size_t size = 1;
      uint8_t flags = 0;
      if (what & 32) {
        uint8_t note = field[0];
        if (!(note < 127 || note == kNoteCut || note == kNoteNone)) note = kNoteNone;
        const uint8_t number = field[1];
        uint8_t instrument = kInstrumentNone;
        if (number >= 1 && number <= module.instrument_count) {
          instrument = static_cast<uint8_t>(number - 1);
          if (instrument <= kHighestMarkableInstrument) reader.used[instrument] = 1;
        }
        entry[size++] = note;
        entry[size++] = instrument;
        flags |= 32;
        field += 2;
      }
      if (what & 64) {
        entry[size++] = std::min<uint8_t>(field[0], 63);
        flags |= 64;
        field += 1;
      }
      if (what & 128) {
        const uint8_t letter = field[0];
        uint8_t info = field[1];
        uint8_t command = 0;
        if (letter >= 1 && letter <= 25) {
          command = kCommandTable[letter];
          if (letter == kLetterS) {
            command = kSCommandTable[info >> 4];
            info &= 15;
          }
        }
        if (command != 0) {
          entry[size++] = command;
          entry[size++] = info;
          flags |= 128;
        }
      }
      if (flags == 0) continue;
      entry[0] = static_cast<uint8_t>(flags | channel);
      out.insert(out.end(), entry, entry + size);
    }
    out.push_back(0);
  }
}

int ReadPatterns(ReaderState& reader, Module& module, size_t header_pattern_count) {
  int code = AllocateArray(static_cast<size_t>(module.pattern_count), &module.patterns);
  if (code != kMusicOk) return code;
  std::vector<uint8_t> packed;
  std::vector<uint8_t> converted;
  for (int32_t number = 0; number < module.pattern_count; ++number) {
    packed.clear();
    const size_t index = static_cast<size_t>(number);
    if (index < header_pattern_count && reader.pattern_pointers[index] != 0) {
      uint8_t count_bytes[2];
      code = ReadAt(reader, size_t{reader.pattern_pointers[index]} * 16, count_bytes, 2);
      if (code != kMusicOk) return code;
      packed.resize(ReadU16LittleEndian(count_bytes));
      code = MusicFileRead(reader.file, packed.data(), packed.size());
      if (code != kMusicOk) return code;
    }
    ConvertPattern(reader, module, packed.data(), packed.size(), converted);
    ModulePattern* pattern = nullptr;
    code = AllocateArray(1, &pattern);
    if (code != kMusicOk) return code;
    module.patterns[index] = pattern;
    pattern->row_count = kModulePatternRows;
    pattern->size_bytes = static_cast<int32_t>(kModulePatternHeadBytes + converted.size());
    code = AllocateArray(converted.size(), &pattern->rows);
    if (code != kMusicOk) return code;
    std::memcpy(pattern->rows, converted.data(), converted.size());
  }
  return kMusicOk;
}

// Reads the stored sample bytes at their full precision: 8-bit data as
// signed bytes, 16-bit data as signed words (unsigned data is re-centred),
// and a stereo sample, stored as its left half then its right half, as
// interleaved left and right frames.
int ReadSampleData(ReaderState& reader, const InstrumentHeader& header, ModuleSample& sample) {
  const bool sixteen_bit = (header.flags & 4) != 0;
  const size_t channels = (header.flags & 2) != 0 ? 2 : 1;
  const size_t value_bytes = sixteen_bit ? 2 : 1;
  const size_t values = size_t{sample.length} * channels;
  const size_t byte_count = values * value_bytes;
  const size_t file_size = MusicFileSize(reader.file);
  if (header.sample_position > file_size || byte_count > file_size - header.sample_position) {
    return kMusicUnexpectedEndOfFile;  // checked before the buffer is made
  }
  std::vector<uint8_t> raw(byte_count);
  int code = ReadAt(reader, header.sample_position, raw.data(), raw.size());
  if (code != kMusicOk) return code;
  sample.channels = static_cast<uint8_t>(channels);
  const uint16_t recentre = reader.signed_samples ? 0 : 0x8000;
  // Value v of the stored order (all left, then all right) goes to its
  // interleaved place.
  auto target = [&](size_t v) { return (v % sample.length) * channels + v / sample.length; };
  if (sixteen_bit) {
    code = AllocateArray(values, &sample.data16);
    if (code != kMusicOk) return code;
    for (size_t v = 0; v < values; ++v) {
      const uint16_t word = ReadU16LittleEndian(&raw[v * 2]) ^ recentre;
      sample.data16[target(v)] = static_cast<int16_t>(word);
    }
    return kMusicOk;
  }
  code = AllocateArray(values, &sample.data);
  if (code != kMusicOk) return code;
  for (size_t v = 0; v < values; ++v) {
    sample.data[target(v)] = static_cast<int8_t>(raw[v] ^ (recentre >> 8));
  }
  return kMusicOk;
}

int ReadInstruments(ReaderState& reader, Module& module) {
  const size_t count = static_cast<size_t>(module.instrument_count);
  int code = AllocateArray(count, &module.instruments);
  if (code == kMusicOk) code = AllocateArray(count, &module.samples);
  for (size_t i = 0; i < count && code == kMusicOk; ++i) {
    InstrumentHeader header{};
    code = ReadInstrumentHeader(reader, i, header);
    if (code != kMusicOk) break;
    ModuleInstrument* instrument = nullptr;
    code = AllocateArray(1, &instrument);
    if (code != kMusicOk) break;
    module.instruments[i] = instrument;
    std::memcpy(instrument->name, header.name, kModuleNameBytes);
    instrument->name[kModuleNameBytes] = '\0';
    SetUpPlainInstrument(*instrument, i);
    if (!reader.used[i]) continue;
    instrument->used = 1;
    instrument->sample_count = 1;
    ModuleSample* sample = nullptr;
    code = AllocateArray(1, &sample);
    if (code != kMusicOk) break;
    instrument->sample = sample;
    module.samples[i] = sample;
    const bool looping = (header.flags & 1) != 0 && header.loop_end != header.loop_start;
    sample->length = header.length;
    if (looping) sample->length = std::min(sample->length, header.loop_end);
    sample->loop_mode = looping ? 1 : 0;
    sample->loop_flag = sample->loop_mode;
    sample->loop_start = header.loop_start;
    sample->loop_end = header.loop_end;
    sample->volume = header.volume;
    sample->rate_hz = header.rate_hz;
    SetUpPlainSample(*sample);
    if (sample->length != 0) {
      code = ReadSampleData(reader, header, *sample);
      sample->sample_type = 1;
    }
  }
  return code;
}

int LoadFromFile(ReaderState& reader, Module** out) {
  Module* module = nullptr;
  int code = AllocateArray(1, &module);
  if (code == kMusicOk) code = MusicFileRead(reader.file, reader.header, kHeaderBytes);
  if (code == kMusicOk && std::memcmp(&reader.header[44], "SCRM", 4) != 0)
    code = kMusicInvalidModule;
  const uint8_t* header = reader.header;
  const size_t order_count = ReadU16LittleEndian(&header[32]);
  const size_t instrument_count = ReadU16LittleEndian(&header[34]);
  const size_t pattern_count = ReadU16LittleEndian(&header[36]);
  if (code == kMusicOk) {
    std::memcpy(module->name, header, kModuleNameBytes);
    module->name[kModuleNameBytes] = '\0';
    module->rules = kRulesS3M;
    SetUpModuleDefaults(*module, "S3M");
    module->instrument_count = static_cast<int32_t>(instrument_count);
    module->sample_count = module->instrument_count;
    // The player scales by a global volume of 0..64; a larger header value
    // would ask the device for more than full volume.
    module->master_volume = std::min<uint8_t>(header[48], 64);
    module->speed = header[49];
    module->tempo = header[50];
    const uint16_t flags = ReadU16LittleEndian(&header[38]);
    const uint16_t tracker_version = ReadU16LittleEndian(&header[40]);
    if (flags & 16) module->flags |= kModuleFlagAmigaLimits;
    if ((flags & 64) || tracker_version < 0x1320) module->flags |= kModuleFlagFastSlides;
    reader.signed_samples = ReadU16LittleEndian(&header[42]) == 1;
    code = ReadOrders(reader, *module, order_count);
  }
  if (code == kMusicOk) code = ReadPointers(reader, reader.instrument_pointers, instrument_count);
  if (code == kMusicOk) code = ReadPointers(reader, reader.pattern_pointers, pattern_count);
  reader.used.assign(instrument_count, 0);
  if (code == kMusicOk) code = SetUpChannels(reader, *module);
  if (code == kMusicOk) code = FindLargestSample(reader, *module);
  if (code == kMusicOk) code = ReadPatterns(reader, *module, pattern_count);
  if (code == kMusicOk) {
    const int channels = std::min(reader.last_enabled_channel, reader.highest_used_channel) + 1;
    module->channel_count = static_cast<uint8_t>(std::max(channels, 0));
    code = ReadInstruments(reader, *module);
  }
  if (code != kMusicOk) {
    FreeModule(module);
    return code;
  }
  *out = module;
  return kMusicOk;
}

int LoadOpened(MusicFile* file, Module** module) {
  ReaderState reader;
  reader.file = file;
  const int code = LoadFromFile(reader, module);
  MusicFileClose(file);
  return code;
}

}  // namespace

int LoadS3M(const char* path, Module** module) {
  if (module == nullptr) return kMusicInvalidArgument;
  MusicFile* file = nullptr;
  const int code = MusicFileOpen(path, &file);
  if (code != kMusicOk) return code;
  return LoadOpened(file, module);
}

int LoadS3MFromMemory(const uint8_t* data, size_t size, Module** module) {
  if (module == nullptr) return kMusicInvalidArgument;
  MusicFile* file = nullptr;
  const int code = MusicFileOpenMemory(data, size, &file);
  if (code != kMusicOk) return code;
  return LoadOpened(file, module);
}

int32_t PanSeparation() {
  return PanSeparationValue();
}
void SetPanSeparation(int32_t separation) {
  PanSeparationValue() = std::clamp(separation, 0, 64);
}
