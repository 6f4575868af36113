// Sample data of "IMPM" files (see it_samples.h).
#include "music/it_samples.h"

#include <algorithm>
#include <vector>

#include "music/module_records.h"
#include "music/music_errors.h"

namespace {

// Little-endian bits, lowest first, never past the block's end.
struct BitReader {
  const uint8_t* data;
  size_t size;
  size_t bit = 0;

  // False when fewer than `count` bits are left.
  bool Read(int count, uint32_t* value) {
    if (bit + static_cast<size_t>(count) > size * 8) return false;
    uint32_t result = 0;
    for (int i = 0; i < count; ++i, ++bit) {
      result |= static_cast<uint32_t>((data[bit >> 3] >> (bit & 7)) & 1) << i;
    }
    *value = result;
    return true;
  }
};

// One block of `count` values into out; false when it is damaged.
bool DecompressBlock(BitReader& bits, bool sixteen_bit, bool double_delta, uint32_t count,
                     int16_t* out, size_t stride) {
  // Widths: 1..6 change with an escape value and a 3- or 4-bit new width;
  // 7 up to the full width minus one, with a range of escape values at the
  // top; the full width (9 or 17) with its highest bit set.
  const int full_width = sixteen_bit ? 17 : 9;
  const int value_bits = full_width - 1;
  const int escape_bits = sixteen_bit ? 4 : 3;
  int width = full_width;
  int32_t first_sum = 0;
  int32_t second_sum = 0;
  for (uint32_t done = 0; done < count;) {
    uint32_t value = 0;
    if (!bits.Read(width, &value)) return false;
    if (width < 7) {
      if (value == 1u << (width - 1)) {
        uint32_t next = 0;
        if (!bits.Read(escape_bits, &next)) return false;
        ++next;
        width =
            static_cast<int>(next) < width ? static_cast<int>(next) : static_cast<int>(next) + 1;
        continue;
      }
    } else if (width < full_width) {
      const uint32_t border =
          (((1u << value_bits) - 1) >> (full_width - width)) - (1u << (escape_bits - 1));
      if (value > border && value <= border + (1u << escape_bits)) {
        const int next = static_cast<int>(value - border);
        width = next < width ? next : next + 1;
        continue;
      }
    } else if (value & (1u << value_bits)) {
      const int next = static_cast<int>((value + 1) & 0xFF);
      if (next < 1 || next > full_width) return false;
      width = next;
      continue;
    }
    // A value of `width` bits (the full width keeps its low bits), signed.
    const int bits_kept = std::min(width, value_bits);
    const uint32_t sign = 1u << (bits_kept - 1);
    const uint32_t masked = value & ((1u << bits_kept) - 1);
    const int32_t delta = static_cast<int32_t>(masked ^ sign) - static_cast<int32_t>(sign);
    // Sums wrap at the sample's width, as the tracker's registers did.
    first_sum = sixteen_bit ? static_cast<int16_t>(first_sum + delta)
                            : static_cast<int8_t>(first_sum + delta);
    second_sum = sixteen_bit ? static_cast<int16_t>(second_sum + first_sum)
                             : static_cast<int8_t>(second_sum + first_sum);
    out[size_t{done} * stride] = static_cast<int16_t>(double_delta ? second_sum : first_sum);
    ++done;
  }
  return true;
}

int Damaged(const char** reason) {
  *reason = "the file ends inside sample data, or a compressed sample is damaged";
  return kMusicUnexpectedEndOfFile;
}

}  // namespace

size_t DecompressImpulseSide(const uint8_t* data, size_t size, bool sixteen_bit, bool double_delta,
                             uint32_t frames, int16_t* out, size_t stride) {
  const uint32_t block_values = sixteen_bit ? 0x4000 : 0x8000;
  size_t at = 0;
  for (uint32_t done = 0; done < frames;) {
    if (size - at < 2) return 0;
    const size_t block_bytes = data[at] | size_t{data[at + 1]} << 8;
    at += 2;
    if (size - at < block_bytes) return 0;
    BitReader bits{data + at, block_bytes};
    const uint32_t count = std::min(block_values, frames - done);
    if (!DecompressBlock(bits, sixteen_bit, double_delta, count, out + size_t{done} * stride,
                         stride)) {
      return 0;
    }
    at += block_bytes;
    done += count;
  }
  return at;
}

int ReadImpulseSampleData(const uint8_t* data, size_t size, uint32_t frames,
                          const ImpulseSampleFormat& format, ModuleSample& sample,
                          const char** reason) {
  const size_t sides = format.stereo ? 2 : 1;
  const size_t values = size_t{frames} * sides;
  sample.channels = static_cast<uint8_t>(sides);
  if (frames == 0) return kMusicOk;
  // Even compressed, every value takes at least one bit: a length the data
  // cannot hold is refused before anything is allocated for it.
  if (format.compressed && size < values / 8) return Damaged(reason);
  std::vector<int16_t> decoded(values);
  if (format.compressed) {
    size_t at = 0;
    for (size_t side = 0; side < sides; ++side) {
      const size_t used =
          DecompressImpulseSide(data + at, size - at, format.sixteen_bit, format.double_delta,
                                frames, decoded.data() + side, sides);
      if (used == 0) return Damaged(reason);
      at += used;
    }
  } else {
    const size_t value_bytes = format.sixteen_bit ? 2 : 1;
    if (size / value_bytes < values) return Damaged(reason);
    // The sides are stored one after the other; frames interleave them.
    for (size_t side = 0; side < sides; ++side) {
      for (size_t i = 0; i < frames; ++i) {
        const uint8_t* at = data + (side * frames + i) * value_bytes;
        int32_t value;
        if (format.sixteen_bit) {
          value = format.big_endian ? (at[0] << 8 | at[1]) : (at[0] | at[1] << 8);
          if (!format.signed_values) value -= 0x8000;
          value = static_cast<int16_t>(value);
        } else {
          value = format.signed_values ? static_cast<int8_t>(at[0]) : at[0] - 128;
        }
        decoded[i * sides + side] = static_cast<int16_t>(value);
      }
    }
  }
  sample.sample_type = 1;
  int code;
  if (format.sixteen_bit) {
    code = AllocateArray(values, &sample.data16);
    if (code == kMusicOk) std::copy(decoded.begin(), decoded.end(), sample.data16);
  } else {
    code = AllocateArray(values, &sample.data);
    if (code == kMusicOk) {
      std::transform(decoded.begin(), decoded.end(), sample.data,
                     [](int16_t value) { return static_cast<int8_t>(value); });
    }
  }
  return code;
}
