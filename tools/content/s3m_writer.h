// Writes Scream Tracker 3 modules (".s3m") from an in-memory description:
// the 96-byte header with "SCRM" at offset 44, the order list, paragraph
// pointers to the instrument headers and packed patterns, the default pan
// table, and 8-bit unsigned sample data. Used by the default-content
// generator to write music.s3m.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One cell of a pattern. Notes are (octave << 4) | semitone; kNoNote leaves
// the note column empty, kNoteCut stops the channel.
struct S3mCell {
  static constexpr uint8_t kNoNote = 255;
  static constexpr uint8_t kNoteCut = 254;
  static constexpr uint8_t kNoVolume = 255;

  uint8_t note = kNoNote;
  uint8_t instrument = 0;      // 1-based; 0 is none
  uint8_t volume = kNoVolume;  // 0..64, or kNoVolume
  char command = 0;            // 'A'..'Z', or 0 for none
  uint8_t info = 0;

  bool Empty() const {
    return note == kNoNote && instrument == 0 && volume == kNoVolume && command == 0;
  }
};

// A pattern always has 64 rows in the file; shorter musical patterns end
// with a pattern break (command C) on their last row.
struct S3mPattern {
  static constexpr int kRows = 64;
  std::vector<std::vector<S3mCell>> rows;  // kRows rows of channel cells
  explicit S3mPattern(int channels = 0)
      : rows(kRows, std::vector<S3mCell>(static_cast<size_t>(channels))) {}
};

struct S3mInstrument {
  std::string name;                  // at most 27 characters
  std::vector<uint8_t> data;         // 8-bit unsigned samples (128 is silence)
  uint32_t middle_c_rate_hz = 8363;  // playback rate of note C-4
  uint8_t volume = 64;               // 0..64
  bool looped = false;
  uint32_t loop_start = 0;
  uint32_t loop_end = 0;  // one past the last looped sample
};

struct S3mChannel {
  bool right = false;  // stereo side when no pan byte applies
  uint8_t pan = 7;     // 0 (left) .. 15 (right), written to the default pan table
};

struct S3mModule {
  std::string name;             // at most 27 characters
  uint8_t initial_speed = 6;    // ticks per row
  uint8_t initial_tempo = 125;  // ticks per second = tempo * 0.4
  uint8_t global_volume = 64;
  uint8_t master_volume = 48;  // mixing amplification; stereo bit added by the writer
  bool fast_volume_slides = false;
  std::vector<S3mChannel> channels;  // at most 32
  std::vector<S3mInstrument> instruments;
  std::vector<S3mPattern> patterns;
  std::vector<uint8_t> orders;  // pattern numbers; 254 skip marker, 255 end
};

// Returns the bytes of the module file. On an invalid description (too many
// channels, instruments or patterns, a packed pattern over 64 KiB, a note or
// volume out of range) returns an empty vector and puts the reason in *error.
std::vector<uint8_t> WriteS3m(const S3mModule& module, std::string* error);
