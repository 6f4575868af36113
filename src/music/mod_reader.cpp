// The plain-module reader: header and signature, sample headers, orders,
// the 4-byte pattern cells into the player's packed rows, and the sample
// data. Big-endian words throughout, as the Amiga stored them.
#include "music/mod_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "music/module_records.h"
#include "music/music_errors.h"
#include "music/music_io.h"
#include "music/pitch.h"
#include "music/s3m_reader.h"

namespace {

constexpr size_t kTitleBytes = 20;
constexpr size_t kSampleHeaderBytes = 30;
constexpr size_t kOrderTableEntries = 128;
constexpr size_t kSignatureOffset = 1080;
constexpr size_t kCellBytes = 4;
constexpr int kRows = 64;
constexpr uint32_t kAmigaMiddleCRate = 8363;

struct Layout {
  int samples = 31;  // 31 or 15
  int channels = 4;
  bool paired_patterns = false;  // FLT8: an 8-channel pattern is two 4-channel halves
  char format[24] = {};
};

bool IsDigit(uint8_t c) {
  return c >= '0' && c <= '9';
}

// The signature at byte 1080 -> channel count, or 0 when it is none of them.
int SignatureChannels(const uint8_t* tag, bool* paired) {
  *paired = false;
  static const struct {
    char tag[5];
    int channels;
  } kKnown[] = {{"M.K.", 4}, {"M!K!", 4}, {"M&K!", 4}, {"FLT4", 4}, {"N.T.", 4},
                {"CD81", 8}, {"OKTA", 8}, {"OCTA", 8}, {"FLT8", 8}};
  for (const auto& known : kKnown) {
    if (std::memcmp(tag, known.tag, 4) == 0) {
      *paired = std::memcmp(tag, "FLT8", 4) == 0;
      return known.channels;
    }
  }
  if (IsDigit(tag[0]) && std::memcmp(tag + 1, "CHN", 3) == 0) return tag[0] - '0';
  if (IsDigit(tag[0]) && IsDigit(tag[1]) && tag[2] == 'C' && tag[3] == 'H') {
    const int channels = (tag[0] - '0') * 10 + (tag[1] - '0');
    return channels <= kModuleMaxChannels ? channels : 0;
  }
  if (std::memcmp(tag, "TDZ", 3) == 0 && tag[3] >= '1' && tag[3] <= '3') return tag[3] - '0';
  return 0;
}

uint32_t ReadBigEndianWord(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0] << 8 | bytes[1]);
}

struct SampleHeader {
  char name[23];
  uint32_t length;  // bytes
  int finetune;     // -8..7 eighths of a semitone
  uint8_t volume;
  uint32_t loop_start;   // bytes
  uint32_t loop_length;  // bytes
};

SampleHeader ReadSampleHeader(const uint8_t* raw) {
  SampleHeader header{};
  std::memcpy(header.name, raw, 22);
  header.length = ReadBigEndianWord(raw + 22) * 2;
  header.finetune = (raw[24] & 15) >= 8 ? (raw[24] & 15) - 16 : (raw[24] & 15);
  header.volume = raw[25];
  header.loop_start = ReadBigEndianWord(raw + 26) * 2;
  header.loop_length = ReadBigEndianWord(raw + 28) * 2;
  return header;
}

// A 15-sample module has no signature, so its header must look like one:
// names of text, volumes and finetunes in range, orders that fit a song.
bool PlausibleFifteenSampleHeader(const uint8_t* data, size_t size) {
  const size_t header_bytes = kTitleBytes + 15 * kSampleHeaderBytes + 2 + kOrderTableEntries;
  if (size < header_bytes + kRows * 4 * kCellBytes) return false;
  for (size_t i = 0; i < kTitleBytes; ++i) {
    if (data[i] != 0 && (data[i] < 32 || data[i] > 126)) return false;
  }
  uint32_t sample_bytes = 0;
  for (int s = 0; s < 15; ++s) {
    const uint8_t* raw = data + kTitleBytes + s * kSampleHeaderBytes;
    const SampleHeader header = ReadSampleHeader(raw);
    if (header.volume > 64 || raw[24] > 15 || header.length > 65536) return false;
    sample_bytes += header.length;
  }
  const size_t song_length = data[470];
  if (song_length == 0 || song_length > kOrderTableEntries) return false;
  size_t highest = 0;
  for (size_t i = 0; i < kOrderTableEntries; ++i) {
    if (data[472 + i] > 63) return false;
    highest = std::max<size_t>(highest, data[472 + i]);
  }
  const size_t patterns_bytes = (highest + 1) * kRows * 4 * kCellBytes;
  return header_bytes + patterns_bytes <= size && sample_bytes > 0 &&
         header_bytes + patterns_bytes + sample_bytes / 2 <= size;
}

// The note nearest an Amiga period (middle C, 428, is C-4 here: internal
// periods are four times the Amiga ones), or kNoteNone for no period.
uint8_t PeriodToNote(uint32_t amiga_period) {
  if (amiga_period == 0) return kNoteNone;
  const double target = std::log2(amiga_period * 4.0);
  uint8_t best = kNoteNone;
  double best_distance = 1e9;
  for (int octave = 0; octave < 10; ++octave) {
    for (int semitone = 0; semitone < 12; ++semitone) {
      const auto note = static_cast<uint8_t>(octave << 4 | semitone);
      const double distance = std::fabs(std::log2(NotePeriod(note, kAmigaMiddleCRate)) - target);
      if (distance < best_distance) {
        best_distance = distance;
        best = note;
      }
    }
  }
  return best;
}

// The cell of channel `channel` in row `row` of file pattern `number`.
const uint8_t* Cell(const uint8_t* patterns, const Layout& layout, int number, int row,
                    int channel) {
  if (layout.paired_patterns) {
    // FLT8 stores channels 0-3 in pattern 2n and 4-7 in pattern 2n + 1.
    const int half = channel / 4;
    const size_t block = static_cast<size_t>(number * 2 + half);
    return patterns + (block * kRows + static_cast<size_t>(row)) * 4 * kCellBytes +
           static_cast<size_t>(channel % 4) * kCellBytes;
  }
  const size_t row_bytes = static_cast<size_t>(layout.channels) * kCellBytes;
  return patterns + (static_cast<size_t>(number) * kRows + static_cast<size_t>(row)) * row_bytes +
         static_cast<size_t>(channel) * kCellBytes;
}

int ConvertPatterns(const uint8_t* patterns, const Layout& layout, Module& module) {
  int code = AllocateArray(static_cast<size_t>(module.pattern_count), &module.patterns);
  std::vector<uint8_t> rows;
  for (int32_t number = 0; number < module.pattern_count && code == kMusicOk; ++number) {
    rows.clear();
    for (int row = 0; row < kRows; ++row) {
      for (int channel = 0; channel < layout.channels; ++channel) {
        const uint8_t* cell = Cell(patterns, layout, number, row, channel);
        const uint32_t period = static_cast<uint32_t>((cell[0] & 15) << 8 | cell[1]);
        const int sample_number = (cell[0] & 0xF0) | (cell[2] >> 4);
        uint8_t command = 0;
        uint8_t info = 0;
        ConvertProtrackerEffect(cell[2] & 15, cell[3], &command, &info);
        const uint8_t note = PeriodToNote(period);
        const uint8_t instrument = sample_number >= 1 && sample_number <= module.instrument_count
                                       ? static_cast<uint8_t>(sample_number - 1)
                                       : kInstrumentNone;
        uint8_t what = static_cast<uint8_t>(channel);
        if (note != kNoteNone || instrument != kInstrumentNone) what |= 32;
        if (command != kCommandNone) what |= 128;
        if ((what & 0xE0) == 0) continue;
        rows.push_back(what);
        if (what & 32) {
          rows.push_back(note);
          rows.push_back(instrument);
          if (instrument != kInstrumentNone) module.instruments[instrument]->used = 1;
        }
        if (what & 128) {
          rows.push_back(command);
          rows.push_back(info);
        }
      }
      rows.push_back(0);
    }
    code = StorePattern(module, number, kRows, rows);
  }
  return code;
}

// Sample headers and data; the caller has checked that the data is there.
int ReadSamples(const uint8_t* header, const uint8_t* data, size_t sample_start, Module& module) {
  const size_t count = static_cast<size_t>(module.sample_count);
  int code = AllocateArray(count, &module.instruments);
  if (code == kMusicOk) code = AllocateArray(count, &module.samples);
  size_t at = sample_start;
  for (size_t i = 0; i < count && code == kMusicOk; ++i) {
    const SampleHeader stored = ReadSampleHeader(header + i * kSampleHeaderBytes);
    ModuleInstrument* instrument = nullptr;
    ModuleSample* sample = nullptr;
    code = AllocateArray(1, &instrument);
    if (code == kMusicOk) code = AllocateArray(1, &sample);
    if (code != kMusicOk) {
      MusicMemoryFree(instrument);
      break;
    }
    module.instruments[i] = instrument;
    module.samples[i] = sample;
    std::memcpy(instrument->name, stored.name, 22);
    SetUpPlainInstrument(*instrument, i);
    instrument->sample = sample;
    instrument->sample_count = 1;
    SetUpPlainSample(*sample);
    sample->volume = std::min<uint8_t>(stored.volume, 64);
    sample->finetune = static_cast<int8_t>(stored.finetune * 16);
    sample->rate_hz =
        static_cast<uint32_t>(std::lround(kAmigaMiddleCRate * std::exp2(stored.finetune / 96.0)));
    const uint32_t loop_end = stored.loop_start + stored.loop_length;
    // A loop of one word or less is Protracker's "no loop".
    if (stored.loop_length > 2 && stored.loop_start < stored.length) {
      sample->loop_mode = kLoopForward;
      sample->loop_flag = 1;
      sample->loop_start = stored.loop_start;
      sample->loop_end = std::min<uint32_t>(loop_end, stored.length);
    }
    sample->length = stored.length;
    if (sample->loop_mode != kLoopNone) sample->length = std::min(sample->length, sample->loop_end);
    if (sample->length != 0) {
      code = AllocateArray(sample->length, &sample->data);
      if (code != kMusicOk) break;
      std::memcpy(sample->data, data + at, sample->length);
      sample->sample_type = 1;
    }
    at += stored.length;
  }
  return code;
}

}  // namespace

// Protracker effect and parameter -> internal command and info; 0 drops it.
// The Amiga filter E0, which has no meaning here, is dropped.
void ConvertProtrackerEffect(uint8_t effect, uint8_t parameter, uint8_t* command, uint8_t* info) {
  const uint8_t x = parameter >> 4;
  const uint8_t y = parameter & 15;
  *info = parameter;
  *command = kCommandNone;
  switch (effect) {
    case 0x0:
      *command = parameter != 0 ? kCommandArpeggio : kCommandNone;
      break;
    case 0x1:
      *command = kCommandPortamentoUp;
      break;
    case 0x2:
      *command = kCommandPortamentoDown;
      break;
    case 0x3:
      *command = kCommandTonePortamento;
      break;
    case 0x4:
      *command = kCommandVibrato;
      break;
    case 0x5:
      *command = kCommandTonePortaVolSlide;
      break;
    case 0x6:
      *command = kCommandVibratoVolSlide;
      break;
    case 0x7:
      *command = kCommandTremolo;
      break;
    case 0x8:
      *command = kCommandSetPanningFull;
      break;
    case 0x9:
      *command = kCommandSampleOffset;
      break;
    case 0xA:
      *command = kCommandVolumeSlide;
      break;
    case 0xB:
      *command = kCommandPositionJump;
      break;
    case 0xC:
      *command = kCommandSetVolume;
      break;
    case 0xD:
      *command = kCommandPatternBreak;
      break;
    case 0xF:
      // Below 32 the ticks per row, from 32 on the tempo; F00 does nothing.
      if (parameter != 0) *command = parameter < 32 ? kCommandSetSpeed : kCommandSetTempo;
      break;
    case 0xE:
      *info = y;
      switch (x) {
        case 0x1:
          *command = kCommandFinePortamentoUp;
          break;
        case 0x2:
          *command = kCommandFinePortamentoDown;
          break;
        case 0x3:
          *command = kCommandGlissando;
          break;
        case 0x5:
          *command = kCommandSetFinetune;
          break;
        case 0x4:
          *command = kCommandVibratoWaveform;
          break;
        case 0x6:
          *command = kCommandPatternLoop;
          break;
        case 0x7:
          *command = kCommandTremoloWaveform;
          break;
        case 0x8:
          *command = kCommandSetPanningFull;
          *info = static_cast<uint8_t>(y * 17);  // 16 steps over 0..255
          break;
        case 0x9:
          *command = kCommandRetriggerNote;
          break;
        case 0xA:
          *command = kCommandFineVolumeUp;
          break;
        case 0xB:
          *command = kCommandFineVolumeDown;
          break;
        case 0xC:
          *command = kCommandNoteCut;
          break;
        case 0xD:
          *command = kCommandNoteDelay;
          break;
        case 0xE:
          *command = kCommandPatternDelay;
          break;
        case 0xF:
          *command = kCommandInvertLoop;
          break;
        default:
          break;
      }
      break;
    default:
      break;
  }
}

int HasPlainModuleSignature(const uint8_t* data, size_t size) {
  bool paired = false;
  return size >= kSignatureOffset + 4 && SignatureChannels(data + kSignatureOffset, &paired) != 0
             ? 1
             : 0;
}

int LoadPlainModuleFromMemory(const uint8_t* data, size_t size, Module** out, const char** reason) {
  const char* unused_reason = nullptr;
  if (reason == nullptr) reason = &unused_reason;
  if (out == nullptr || (data == nullptr && size != 0)) return kMusicInvalidArgument;
  Layout layout;
  if (HasPlainModuleSignature(data, size)) {
    layout.channels = SignatureChannels(data + kSignatureOffset, &layout.paired_patterns);
    std::memcpy(layout.format, data + kSignatureOffset, 4);
  } else if (PlausibleFifteenSampleHeader(data, size)) {
    layout.samples = 15;
    std::strcpy(layout.format, "15 samples");
  } else {
    *reason =
        "not a module this music system knows (no S3M, \"Extended Module:\", \"IMPM\" or "
        "plain-module signature, and no plausible 15-sample header)";
    return kMusicInvalidModule;
  }
  const size_t samples_bytes = static_cast<size_t>(layout.samples) * kSampleHeaderBytes;
  const size_t song_at = kTitleBytes + samples_bytes;
  const size_t orders_at = song_at + 2;
  const size_t patterns_at = orders_at + kOrderTableEntries + (layout.samples == 31 ? 4 : 0);
  const size_t song_length = data[song_at];
  if (song_length == 0 || song_length > kOrderTableEntries) {
    *reason = "the song length is not 1 to 128 orders";
    return kMusicInvalidModule;
  }
  // Protracker reads as many patterns as the highest entry of the whole
  // order table names, played or not; a table whose unplayed entries name
  // patterns the file does not hold counts only the played ones.
  // What one stored pattern holds (a FLT8 pattern is stored as two halves).
  const int stored_channels = layout.paired_patterns ? 4 : layout.channels;
  const size_t file_pattern_bytes = kRows * static_cast<size_t>(stored_channels) * kCellBytes;
  int highest_all = 0;
  int highest_played = 0;
  for (size_t i = 0; i < kOrderTableEntries; ++i) {
    highest_all = std::max<int>(highest_all, data[orders_at + i]);
    if (i < song_length) highest_played = std::max<int>(highest_played, data[orders_at + i]);
  }
  auto patterns_bytes = [&](int highest) {
    return static_cast<size_t>(highest + 1) * file_pattern_bytes;
  };
  int highest = highest_all;
  if (patterns_at + patterns_bytes(highest_all) > size) highest = highest_played;
  if (layout.paired_patterns) highest |= 1;  // both halves of the last pair
  if (patterns_at + patterns_bytes(highest) > size) {
    *reason = "the file ends inside its patterns (cut or damaged)";
    return kMusicUnexpectedEndOfFile;
  }

  // A file cut inside its sample data is refused like one cut anywhere else:
  // a sample that lost its end would play as something it never was.
  size_t sample_bytes = 0;
  for (int s = 0; s < layout.samples; ++s) {
    const uint8_t* header = data + kTitleBytes + static_cast<size_t>(s) * kSampleHeaderBytes;
    sample_bytes += ReadSampleHeader(header).length;
  }
  if (patterns_at + patterns_bytes(highest) + sample_bytes > size) {
    *reason = "the file ends inside its sample data (cut or damaged)";
    return kMusicUnexpectedEndOfFile;
  }

  Module* module = nullptr;
  int code = AllocateArray(1, &module);
  if (code != kMusicOk) return code;
  std::memcpy(module->name, data, kTitleBytes);
  module->rules = kRulesPlain;
  SetUpModuleDefaults(*module, layout.format);
  module->flags = kModuleFlagAmigaLimits;
  module->master_volume = 64;
  module->speed = 6;
  module->tempo = 125;
  module->channel_count = static_cast<uint8_t>(layout.channels);
  for (int channel = 0; channel < kModuleMaxChannels; ++channel) {
    // The Amiga's channels alternate left, right, right, left.
    const bool left = channel % 4 == 0 || channel % 4 == 3;
    module->panning[channel] = left ? 64 - PanSeparation() : 64 + PanSeparation();
  }
  module->song_length = static_cast<int32_t>(song_length);
  const int divisor = layout.paired_patterns ? 2 : 1;
  module->pattern_count = highest / divisor + 1;
  module->instrument_count = layout.samples;
  module->sample_count = layout.samples;
  code = AllocateArray(song_length, &module->orders);
  for (size_t i = 0; i < song_length && code == kMusicOk; ++i) {
    module->orders[i] = static_cast<uint16_t>(data[orders_at + i] / divisor);
  }
  if (code == kMusicOk) {
    code = ReadSamples(data + kTitleBytes, data, patterns_at + patterns_bytes(highest), *module);
  }
  if (code == kMusicOk) code = ConvertPatterns(data + patterns_at, layout, *module);
  if (code != kMusicOk) {
    *reason = MusicErrorText(code);
    FreeModule(module);
    return code;
  }
  *out = module;
  return kMusicOk;
}
