// Writes Scream Tracker 3 modules; see s3m_writer.h for the layout.
#include "content/s3m_writer.h"

#include <cstring>

namespace {

constexpr size_t kHeaderBytes = 96;
constexpr size_t kInstrumentHeaderBytes = 80;
constexpr uint16_t kTrackerVersion = 0x1320;  // Scream Tracker 3.20
constexpr uint16_t kSampleFormatUnsigned = 2;
constexpr uint8_t kPanTablePresent = 252;

void PutU16(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

void PutText(std::vector<uint8_t>& out, size_t at, const std::string& text, size_t room) {
  std::memcpy(out.data() + at, text.data(), text.size() < room ? text.size() : room);
}

// Grows the file to the next 16-byte boundary and returns that paragraph.
uint32_t AlignToParagraph(std::vector<uint8_t>& out) {
  while (out.size() % 16 != 0) out.push_back(0);
  return static_cast<uint32_t>(out.size() / 16);
}

bool PackPattern(const S3mPattern& pattern, size_t channels, std::vector<uint8_t>* packed,
                 std::string* error) {
  packed->clear();
  if (pattern.rows.size() != S3mPattern::kRows) {
    *error = "a pattern does not have 64 rows";
    return false;
  }
  for (const std::vector<S3mCell>& row : pattern.rows) {
    if (row.size() > channels) {
      *error = "a pattern row has more cells than the module has channels";
      return false;
    }
    for (size_t channel = 0; channel < row.size(); ++channel) {
      const S3mCell& cell = row[channel];
      if (cell.Empty()) continue;
      const bool has_note = cell.note != S3mCell::kNoNote || cell.instrument != 0;
      const bool has_volume = cell.volume != S3mCell::kNoVolume;
      const bool has_command = cell.command != 0;
      if (has_volume && cell.volume > 64) {
        *error = "a volume above 64";
        return false;
      }
      if (cell.note != S3mCell::kNoNote && cell.note != S3mCell::kNoteCut &&
          ((cell.note & 15) > 11 || (cell.note >> 4) > 9)) {
        *error = "a note outside C-0..B-9";
        return false;
      }
      if (has_command && (cell.command < 'A' || cell.command > 'Z')) {
        *error = "a command that is not a letter A..Z";
        return false;
      }
      packed->push_back(static_cast<uint8_t>(channel | (has_note ? 32 : 0) | (has_volume ? 64 : 0) |
                                             (has_command ? 128 : 0)));
      if (has_note) {
        packed->push_back(cell.note);
        packed->push_back(cell.instrument);
      }
      if (has_volume) packed->push_back(cell.volume);
      if (has_command) {
        packed->push_back(static_cast<uint8_t>(cell.command - 'A' + 1));
        packed->push_back(cell.info);
      }
    }
    packed->push_back(0);
  }
  if (packed->size() + 2 > 0xFFFF) {
    *error = "a packed pattern above 64 KiB";
    return false;
  }
  return true;
}

bool Validate(const S3mModule& module, std::string* error) {
  if (module.channels.empty() || module.channels.size() > 32) {
    *error = "a module needs 1 to 32 channels";
  } else if (module.instruments.size() > 99) {
    *error = "more than 99 instruments";
  } else if (module.patterns.empty() || module.patterns.size() > 200) {
    *error = "a module needs 1 to 200 patterns";
  } else if (module.orders.empty() || module.orders.size() > 255) {
    *error = "a module needs 1 to 255 orders";
  } else {
    for (uint8_t order : module.orders) {
      if (order < 254 && order >= module.patterns.size()) {
        *error = "an order names a pattern that does not exist";
        return false;
      }
    }
    for (const S3mInstrument& instrument : module.instruments) {
      if (instrument.volume > 64 || instrument.middle_c_rate_hz == 0 ||
          (instrument.looped && (instrument.loop_start >= instrument.loop_end ||
                                 instrument.loop_end > instrument.data.size()))) {
        *error = "instrument \"" + instrument.name + "\" has a bad volume, rate or loop";
        return false;
      }
    }
    return true;
  }
  return false;
}

// The 96-byte header: counts, flags, speed, tempo, volumes and the
// channel settings.
std::vector<uint8_t> HeaderBytes(const S3mModule& module, size_t order_count) {
  const size_t instrument_count = module.instruments.size();
  const size_t pattern_count = module.patterns.size();
  std::vector<uint8_t> out(kHeaderBytes, 0);
  PutText(out, 0, module.name, 27);
  out[28] = 0x1A;
  out[29] = 16;  // file type: Scream Tracker 3 module
  PutU16(out, 32, static_cast<uint32_t>(order_count));
  PutU16(out, 34, static_cast<uint32_t>(instrument_count));
  PutU16(out, 36, static_cast<uint32_t>(pattern_count));
  PutU16(out, 38, module.fast_volume_slides ? 64 : 0);
  PutU16(out, 40, kTrackerVersion);
  PutU16(out, 42, kSampleFormatUnsigned);
  std::memcpy(out.data() + 44, "SCRM", 4);
  out[48] = module.global_volume;
  out[49] = module.initial_speed;
  out[50] = module.initial_tempo;
  out[51] = static_cast<uint8_t>(0x80 | (module.master_volume & 0x7F));  // stereo
  out[53] = kPanTablePresent;
  int left_slots = 0;
  int right_slots = 0;
  for (size_t channel = 0; channel < 32; ++channel) {
    uint8_t setting = 255;  // unused
    if (channel < module.channels.size()) {
      // Left channels take the slots 0..7, right channels 8..15, in order.
      setting = module.channels[channel].right ? static_cast<uint8_t>(8 + right_slots++ % 8)
                                               : static_cast<uint8_t>(left_slots++ % 8);
    }
    out[64 + channel] = setting;
  }
  return out;
}

// The 80-byte instrument header at `header`, its sample at `paragraph`.
void PutInstrumentHeader(std::vector<uint8_t>& out, size_t header, const S3mInstrument& instrument,
                         uint32_t paragraph) {
  out[header] = 1;  // sample instrument
  PutText(out, header + 1, instrument.name.substr(0, 8) + ".SMP", 12);
  out[header + 13] = static_cast<uint8_t>(paragraph >> 16);
  PutU16(out, header + 14, paragraph & 0xFFFF);
  PutU32(out, header + 16, static_cast<uint32_t>(instrument.data.size()));
  PutU32(out, header + 20, instrument.looped ? instrument.loop_start : 0);
  PutU32(out, header + 24, instrument.looped ? instrument.loop_end : 0);
  out[header + 28] = instrument.volume;
  out[header + 31] = instrument.looped ? 1 : 0;
  PutU32(out, header + 32, instrument.middle_c_rate_hz);
  PutText(out, header + 48, instrument.name, 27);
  std::memcpy(out.data() + header + 76, "SCRS", 4);
}

}  // namespace

std::vector<uint8_t> WriteS3m(const S3mModule& module, std::string* error) {
  if (!Validate(module, error)) return {};
  // The order count is kept even, as Scream Tracker itself does.
  std::vector<uint8_t> orders = module.orders;
  if (orders.size() % 2 != 0) orders.push_back(255);
  const size_t instrument_count = module.instruments.size();
  const size_t pattern_count = module.patterns.size();

  std::vector<uint8_t> out = HeaderBytes(module, orders.size());
  out.insert(out.end(), orders.begin(), orders.end());
  const size_t instrument_pointers = out.size();
  out.resize(out.size() + 2 * instrument_count + 2 * pattern_count, 0);
  const size_t pattern_pointers = instrument_pointers + 2 * instrument_count;
  for (size_t channel = 0; channel < 32; ++channel) {
    out.push_back(channel < module.channels.size()
                      ? static_cast<uint8_t>(32 | (module.channels[channel].pan & 15))
                      : 0);
  }

  std::vector<size_t> instrument_headers;
  for (size_t i = 0; i < instrument_count; ++i) {
    PutU16(out, instrument_pointers + 2 * i, AlignToParagraph(out));
    instrument_headers.push_back(out.size());
    out.resize(out.size() + kInstrumentHeaderBytes, 0);
  }
  std::vector<uint8_t> packed;
  for (size_t p = 0; p < pattern_count; ++p) {
    if (!PackPattern(module.patterns[p], module.channels.size(), &packed, error)) return {};
    PutU16(out, pattern_pointers + 2 * p, AlignToParagraph(out));
    // The length field counts itself, as Scream Tracker writes it.
    const size_t at = out.size();
    out.resize(at + 2, 0);
    PutU16(out, at, static_cast<uint32_t>(packed.size() + 2));
    out.insert(out.end(), packed.begin(), packed.end());
    out.push_back(0);  // room for readers that take the length as the data size alone
    out.push_back(0);
  }
  for (size_t i = 0; i < instrument_count; ++i) {
    const S3mInstrument& instrument = module.instruments[i];
    const size_t header = instrument_headers[i];
    const uint32_t paragraph = instrument.data.empty() ? 0 : AlignToParagraph(out);
    // Some players read only the low 16 bits of the pointer: keep every
    // sample inside the first MiB.
    if (paragraph > 0xFFFF) {
      *error = "sample data beyond the first MiB of the module";
      return {};
    }
    PutInstrumentHeader(out, header, instrument, paragraph);
    out.insert(out.end(), instrument.data.begin(), instrument.data.end());
  }
  AlignToParagraph(out);
  return out;
}
