// The sample data of "IMPM" files: plain 8- or 16-bit frames (signed or
// unsigned, little- or big-endian, mono or stereo with the two sides stored
// one after the other) and the tracker's bit-packed compression in its two
// versions, into the signed, interleaved frames of a ModuleSample.
//
// The compression packs each side in blocks of 32768 (8-bit) or 16384
// (16-bit) values: a 16-bit byte count, then a little-endian bit stream of
// deltas whose width changes along the way. The first version sums the
// deltas once; the second (marked by the delta bit of the conversion flags)
// sums them twice.
#pragma once

#include <cstddef>
#include <cstdint>

#include "music/module.h"

struct ImpulseSampleFormat {
  bool sixteen_bit;
  bool stereo;
  bool compressed;
  bool signed_values;  // else unsigned, centred on 128 / 32768
  bool big_endian;     // 16-bit plain data only
  bool double_delta;   // compressed data of the second version
};

// Decodes `frames` frames of one side from compressed blocks into
// out[0], out[stride], ...; 8-bit values land in the low byte range.
// Returns the bytes the blocks took, or 0 when the data is damaged or cut
// (a block longer than the bytes left, a width the coding cannot have).
size_t DecompressImpulseSide(const uint8_t* data, size_t size, bool sixteen_bit, bool double_delta,
                             uint32_t frames, int16_t* out, size_t stride);

// Fills sample.data or sample.data16 (and channels) with `frames` frames
// read from data[0..size). 0, or an error code with *reason saying what is
// wrong (the data is cut or damaged).
int ReadImpulseSampleData(const uint8_t* data, size_t size, uint32_t frames,
                          const ImpulseSampleFormat& format, ModuleSample& sample,
                          const char** reason);
