// The "Extended Module:" reader: header and orders, packed patterns into
// the player's packed rows, instruments and their sample headers, and the
// delta-coded sample data. Little-endian throughout.
#include "music/xm_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "music/mod_reader.h"
#include "music/module_records.h"
#include "music/music_errors.h"
#include "music/music_io.h"

namespace {

constexpr size_t kHeaderFixedBytes = 80;  // up to the order table
constexpr size_t kOrderTableBytes = 256;
constexpr int kMaxPatterns = 256;
constexpr int kMaxInstruments = 128;
constexpr int kMaxSamplesPerInstrument = 16;
constexpr int kNoteKeyOffStored = 97;
constexpr size_t kSampleHeaderBytes = 40;
constexpr size_t kEnvelopePointsStored = 12;
constexpr uint32_t kMiddleCRate = 8363;

// A bounded view of the file: every read says whether the bytes were there.
struct Bytes {
  const uint8_t* data;
  size_t size;
  bool Has(size_t at, size_t count) const { return at <= size && count <= size - at; }
  uint8_t U8(size_t at) const { return data[at]; }
  uint16_t U16(size_t at) const { return static_cast<uint16_t>(data[at] | data[at + 1] << 8); }
  uint32_t U32(size_t at) const {
    return static_cast<uint32_t>(data[at]) | static_cast<uint32_t>(data[at + 1]) << 8 |
           static_cast<uint32_t>(data[at + 2]) << 16 | static_cast<uint32_t>(data[at + 3]) << 24;
  }
};

// The tracker's effect letters (0-9, A-Z as 10-35) and parameter ->
// internal command and info; 0 drops it. 0-F are Protracker's.
void ConvertEffect(uint8_t effect, uint8_t parameter, uint8_t* command, uint8_t* info) {
  *info = parameter;
  switch (effect) {
    case 16:  // G
      *command = kCommandGlobalVolume;
      return;
    case 17:  // H
      *command = kCommandGlobalVolumeSlide;
      return;
    case 20:  // K: a key off at tick info
      *command = kCommandKeyOff;
      return;
    case 21:  // L
      *command = kCommandEnvelopePosition;
      return;
    case 25:  // P
      *command = kCommandPanningSlide;
      return;
    case 27:  // R
      *command = kCommandRetrigger;
      return;
    case 29:  // T
      *command = kCommandTremor;
      return;
    case 33:  // X1y, X2y
      *info = parameter & 15;
      *command = kCommandNone;
      if (parameter >> 4 == 1) *command = kCommandExtraFinePortamentoUp;
      if (parameter >> 4 == 2) *command = kCommandExtraFinePortamentoDown;
      return;
    default:
      if (effect < 16) {
        ConvertProtrackerEffect(effect, parameter, command, info);
      } else {
        *command = kCommandNone;
      }
  }
}

// One packed pattern into the internal rows. The caller has checked that
// the packed bytes are inside the file; a cell running past them ends the
// pattern.
void ConvertPattern(const uint8_t* in, size_t in_size, int rows, int channels, int instrument_count,
                    std::vector<uint8_t>& out) {
  out.clear();
  size_t at = 0;
  for (int row = 0; row < rows; ++row) {
    for (int channel = 0; channel < channels; ++channel) {
      uint8_t fields[5] = {};
      uint8_t mask = 0x1F;
      if (in_size > 0) {
        if (at >= in_size) break;
        const uint8_t first = in[at];
        if (first & 0x80) {
          mask = first & 0x1F;
          ++at;
        }
        for (int f = 0; f < 5; ++f) {
          if ((mask & (1 << f)) == 0) continue;
          if (at >= in_size) {
            mask = 0;
            break;
          }
          fields[f] = in[at++];
        }
      }
      const uint8_t stored_note = fields[0];
      uint8_t note = kNoteNone;
      if (stored_note == kNoteKeyOffStored) {
        note = kNoteKeyOff;
      } else if (stored_note >= 1 && stored_note < kNoteKeyOffStored) {
        note = static_cast<uint8_t>(((stored_note - 1) / 12) << 4 | ((stored_note - 1) % 12));
      }
      const uint8_t instrument = fields[1] >= 1 && fields[1] <= instrument_count
                                     ? static_cast<uint8_t>(fields[1] - 1)
                                     : kInstrumentNone;
      // The volume column from 0x10 on, less 0x10 (see module.h); a slide
      // down by 0 (0x60) does nothing.
      const bool has_volume = fields[2] >= 0x10 && fields[2] != 0x60;
      uint8_t command = 0;
      uint8_t info = 0;
      ConvertEffect(fields[3], fields[4], &command, &info);
      uint8_t what = static_cast<uint8_t>(channel);
      if (note != kNoteNone || instrument != kInstrumentNone) what |= 32;
      if (has_volume) what |= 64;
      if (command != kCommandNone) what |= 128;
      if ((what & 0xE0) == 0) continue;
      out.push_back(what);
      if (what & 32) {
        out.push_back(note);
        out.push_back(instrument);
      }
      if (what & 64) out.push_back(static_cast<uint8_t>(fields[2] - 0x10));
      if (what & 128) {
        out.push_back(command);
        out.push_back(info);
      }
    }
    out.push_back(0);
  }
}

// Values are stored 0..64; a panning envelope's middle is 32, kept as 0
// (centre_value 32) so that its values run -32..32 like every panning envelope.
void ReadEnvelope(const Bytes& file, size_t points_at, uint8_t count, size_t ranges_at,
                  uint8_t type, int centre_value, ModuleEnvelope& envelope) {
  envelope.point_count = std::min<uint8_t>(count, kEnvelopePointsStored);
  for (size_t p = 0; p < envelope.point_count; ++p) {
    envelope.ticks[p] = file.U16(points_at + p * 4);
    const int value = std::min<uint16_t>(file.U16(points_at + p * 4 + 2), 64);
    envelope.values[p] = static_cast<int8_t>(value - centre_value);
  }
  envelope.sustain_start = file.U8(ranges_at);
  envelope.sustain_end = envelope.sustain_start;
  envelope.loop_start = file.U8(ranges_at + 1);
  envelope.loop_end = file.U8(ranges_at + 2);
  if (type & 1) envelope.flags |= kEnvelopeOn;
  if (type & 2) envelope.flags |= kEnvelopeSustain;
  if (type & 4) envelope.flags |= kEnvelopeLoop;
}

struct StoredSample {
  uint32_t length_bytes;
  uint32_t loop_start_bytes;
  uint32_t loop_length_bytes;
  uint8_t volume;
  int8_t finetune;
  uint8_t type;
  uint8_t panning;
  int8_t relative_note;
  char name[23];
};

// Decodes one sample's delta-coded data into its record.
int ReadSampleData(const StoredSample& stored, const uint8_t* data, ModuleSample& sample) {
  const bool sixteen_bit = (stored.type & 16) != 0;
  const uint32_t frames = sixteen_bit ? stored.length_bytes / 2 : stored.length_bytes;
  uint32_t loop_start = sixteen_bit ? stored.loop_start_bytes / 2 : stored.loop_start_bytes;
  uint32_t loop_length = sixteen_bit ? stored.loop_length_bytes / 2 : stored.loop_length_bytes;
  sample.channels = 1;
  sample.length = frames;
  const uint8_t loop_type = stored.type & 3;
  if (loop_type != 0 && loop_length > 0 && loop_start < frames) {
    loop_length = std::min(loop_length, frames - loop_start);
    sample.loop_mode = loop_type == 2 ? kLoopPingPong : kLoopForward;
    sample.loop_flag = 1;
    sample.loop_start = loop_start;
    sample.loop_end = loop_start + loop_length;
    sample.length = sample.loop_end;  // nothing after the loop is heard
  }
  if (frames == 0) return kMusicOk;
  sample.sample_type = 1;
  if (sixteen_bit) {
    const int code = AllocateArray(frames, &sample.data16);
    if (code != kMusicOk) return code;
    int16_t value = 0;
    for (uint32_t i = 0; i < frames; ++i) {
      value =
          static_cast<int16_t>(value + static_cast<int16_t>(data[2 * i] | data[2 * i + 1] << 8));
      sample.data16[i] = value;
    }
    return kMusicOk;
  }
  const int code = AllocateArray(frames, &sample.data);
  if (code != kMusicOk) return code;
  int8_t value = 0;
  for (uint32_t i = 0; i < frames; ++i) {
    value = static_cast<int8_t>(value + static_cast<int8_t>(data[i]));
    sample.data[i] = value;
  }
  return kMusicOk;
}

struct Reader {
  Bytes file{nullptr, 0};
  const char* reason = nullptr;
  std::vector<ModuleSample*> samples;  // gathered over the instruments

  int Fail(int code, const char* why) {
    reason = why;
    return code;
  }
};

// One instrument and its samples at `at`; moves `at` past them.
int ReadInstrument(Reader& reader, size_t& at, ModuleInstrument& instrument) {
  const Bytes& file = reader.file;
  if (!file.Has(at, 29))
    return reader.Fail(kMusicUnexpectedEndOfFile, "the file ends inside an instrument");
  const uint32_t header_size = file.U32(at);
  std::memcpy(instrument.name, file.data + at + 4, 22);
  const uint16_t sample_count = file.U16(at + 27);
  SetUpPlainInstrument(instrument, 255);
  if (sample_count > kMaxSamplesPerInstrument)
    return reader.Fail(kMusicInvalidInstrument, "an instrument has more than 16 samples");
  if (header_size < 29 || !file.Has(at, header_size))
    return reader.Fail(kMusicUnexpectedEndOfFile, "the file ends inside an instrument");
  const size_t first_sample = reader.samples.size();
  uint8_t vibrato[4] = {};  // type, sweep, depth, rate: the instrument's, for every sample
  size_t sample_header_size = kSampleHeaderBytes;
  if (sample_count > 0) {
    if (header_size < 241)
      return reader.Fail(kMusicInvalidInstrument, "an instrument header is too short");
    sample_header_size = file.U32(at + 29);
    if (sample_header_size < kSampleHeaderBytes)
      return reader.Fail(kMusicInvalidInstrument, "a sample header is too short");
    for (int note = 0; note < 96; ++note) {
      const uint8_t map = file.U8(at + 33 + static_cast<size_t>(note));
      instrument.note_samples[note] =
          map < sample_count ? static_cast<uint8_t>(first_sample + map) : kInstrumentNone;
    }
    ReadEnvelope(file, at + 129, file.U8(at + 225), at + 227, file.U8(at + 233), 0,
                 instrument.volume_envelope);
    ReadEnvelope(file, at + 177, file.U8(at + 226), at + 230, file.U8(at + 234), 32,
                 instrument.panning_envelope);
    // Stored as the volume lost per tick of 32768; kept of 65536.
    instrument.fadeout = static_cast<uint16_t>(std::min<uint16_t>(file.U16(at + 239), 0x7FFF) * 2);
    for (int i = 0; i < 4; ++i) vibrato[i] = file.U8(at + 235 + static_cast<size_t>(i));
    instrument.used = 1;
    instrument.sample_count = sample_count;
  }
  at += header_size;
  std::vector<StoredSample> stored(sample_count);
  for (StoredSample& one : stored) {
    if (!file.Has(at, sample_header_size))
      return reader.Fail(kMusicUnexpectedEndOfFile, "the file ends inside a sample header");
    one.length_bytes = file.U32(at);
    one.loop_start_bytes = file.U32(at + 4);
    one.loop_length_bytes = file.U32(at + 8);
    one.volume = std::min<uint8_t>(file.U8(at + 12), 64);
    one.finetune = static_cast<int8_t>(file.U8(at + 13));
    one.type = file.U8(at + 14);
    one.panning = file.U8(at + 15);
    one.relative_note = static_cast<int8_t>(file.U8(at + 16));
    std::memcpy(one.name, file.data + at + 18, 22);
    one.name[22] = '\0';
    at += sample_header_size;
  }
  for (const StoredSample& one : stored) {
    if (!file.Has(at, one.length_bytes))
      return reader.Fail(kMusicUnexpectedEndOfFile,
                         "the file ends inside sample data (cut or damaged)");
    ModuleSample* sample = nullptr;
    int code = AllocateArray(1, &sample);
    if (code != kMusicOk) return code;
    reader.samples.push_back(sample);
    SetUpPlainSample(*sample);
    sample->volume = one.volume;
    sample->finetune = one.finetune;
    sample->relative_note = one.relative_note;
    sample->panning = one.panning;
    sample->vibrato_type = vibrato[0];
    sample->vibrato_sweep = vibrato[1];
    sample->vibrato_depth = vibrato[2];
    sample->vibrato_rate = vibrato[3];
    // Middle C sounds at 8363 Hz moved by the relative note and the
    // finetune (1/128 semitone).
    const double semitones = one.relative_note + one.finetune / 128.0;
    sample->rate_hz =
        static_cast<uint32_t>(std::lround(kMiddleCRate * std::exp2(semitones / 12.0)));
    code = ReadSampleData(one, file.data + at, *sample);
    if (code != kMusicOk) return code;
    at += one.length_bytes;
  }
  if (sample_count > 0) instrument.sample = reader.samples[first_sample];
  return kMusicOk;
}

int ReadPatterns(Reader& reader, size_t& at, Module& module, int stored_patterns) {
  const Bytes& file = reader.file;
  int code = AllocateArray(static_cast<size_t>(module.pattern_count), &module.patterns);
  std::vector<uint8_t> rows;
  for (int number = 0; number < module.pattern_count && code == kMusicOk; ++number) {
    int row_count = 64;
    const uint8_t* packed = nullptr;
    size_t packed_size = 0;
    if (number < stored_patterns) {
      if (!file.Has(at, 9))
        return reader.Fail(kMusicUnexpectedEndOfFile, "the file ends inside a pattern header");
      const uint32_t header_size = file.U32(at);
      row_count = file.U16(at + 5);
      packed_size = file.U16(at + 7);
      if (header_size < 9 || row_count < 1 || row_count > 256)
        return reader.Fail(kMusicInvalidPatternData, "a pattern header is damaged");
      if (!file.Has(at + header_size, packed_size))
        return reader.Fail(kMusicUnexpectedEndOfFile, "the file ends inside a pattern");
      packed = file.data + at + header_size;
      at += header_size + packed_size;
    }
    ConvertPattern(packed, packed_size, row_count, module.channel_count, module.instrument_count,
                   rows);
    code = StorePattern(module, number, row_count, rows);
  }
  return code;
}

int ReadModule(Reader& reader, Module& module) {
  const Bytes& file = reader.file;
  if (!file.Has(0, kHeaderFixedBytes))
    return reader.Fail(kMusicUnexpectedEndOfFile, "the file ends inside its header");
  const uint16_t version = file.U16(58);
  if (version != 0x0104)
    return reader.Fail(kMusicInvalidModule,
                       "an \"Extended Module:\" layout other than version 1.04");
  const size_t header_size = file.U32(60);
  const uint16_t song_length = file.U16(64);
  const uint16_t restart = file.U16(66);
  const uint16_t channels = file.U16(68);
  const uint16_t stored_patterns = file.U16(70);
  const uint16_t instruments = file.U16(72);
  if (song_length == 0 || song_length > kOrderTableBytes)
    return reader.Fail(kMusicInvalidModule, "the song length is not 1 to 256 orders");
  if (channels == 0 || channels > kModuleMaxChannels)
    return reader.Fail(kMusicInvalidModule, "the channel count is not 1 to 32");
  if (stored_patterns > kMaxPatterns || instruments > kMaxInstruments)
    return reader.Fail(kMusicInvalidModule, "more than 256 patterns or 128 instruments");
  if (header_size < kHeaderFixedBytes - 60 + song_length || !file.Has(60, header_size))
    return reader.Fail(kMusicUnexpectedEndOfFile, "the file ends inside its header");
  std::memcpy(module.name, file.data + 17, 20);
  module.rules = kRulesExtended;
  SetUpModuleDefaults(module, "FastTracker 2");
  module.frequency_model = (file.U16(74) & 1) ? kFrequencyLinear : kFrequencyAmiga;
  module.speed = static_cast<uint8_t>(std::clamp<uint16_t>(file.U16(76), 1, 31));
  module.tempo = static_cast<uint8_t>(std::clamp<uint16_t>(file.U16(78), 32, 255));
  module.master_volume = 64;
  module.channel_count = static_cast<uint8_t>(channels);
  for (int channel = 0; channel < kModuleMaxChannels; ++channel) module.panning[channel] = 64;
  module.song_length = song_length;
  module.restart_position = restart < song_length ? restart : 0;
  int code = AllocateArray(song_length, &module.orders);
  if (code != kMusicOk) return code;
  int highest = stored_patterns - 1;
  for (size_t i = 0; i < song_length; ++i) {
    module.orders[i] = file.U8(80 + i);
    highest = std::max<int>(highest, module.orders[i]);
  }
  module.pattern_count = highest + 1;
  module.instrument_count = instruments;
  size_t at = 60 + header_size;
  code = ReadPatterns(reader, at, module, stored_patterns);
  if (code != kMusicOk) return code;
  if (instruments == 0) return reader.Fail(kMusicInvalidModule, "the module has no instruments");
  code = AllocateArray(instruments, &module.instruments);
  for (size_t i = 0; i < instruments && code == kMusicOk; ++i) {
    code = AllocateArray(1, &module.instruments[i]);
    if (code == kMusicOk) code = ReadInstrument(reader, at, *module.instruments[i]);
  }
  // The samples gathered so far belong to the module whatever happened.
  module.sample_count = static_cast<int32_t>(reader.samples.size());
  if (!reader.samples.empty()) {
    const int array_code = AllocateArray(reader.samples.size(), &module.samples);
    if (array_code != kMusicOk) {
      for (ModuleSample* sample : reader.samples) {
        MusicMemoryFree(sample->data);
        MusicMemoryFree(sample->data16);
        MusicMemoryFree(sample);
      }
      module.sample_count = 0;
      return array_code;
    }
    std::copy(reader.samples.begin(), reader.samples.end(), module.samples);
  }
  return code;
}

}  // namespace

int LoadExtendedModuleFromMemory(const uint8_t* data, size_t size, Module** out,
                                 const char** reason) {
  const char* unused_reason = nullptr;
  if (reason == nullptr) reason = &unused_reason;
  if (out == nullptr || data == nullptr) return kMusicInvalidArgument;
  Module* module = nullptr;
  int code = AllocateArray(1, &module);
  if (code != kMusicOk) return code;
  Reader reader;
  reader.file = Bytes{data, size};
  code = ReadModule(reader, *module);
  if (code != kMusicOk) {
    *reason = reader.reason != nullptr ? reader.reason : MusicErrorText(code);
    FreeModule(module);
    return code;
  }
  *out = module;
  return kMusicOk;
}
