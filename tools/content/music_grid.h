// A flat grid of tracker rows on which the composition is written section
// by section; it is then cut into S3M patterns of at most 64 rows (shorter
// ones end with a pattern break) and identical patterns are shared.
#pragma once

#include <string>
#include <vector>

#include "content/s3m_writer.h"

// Parses note names such as "A5", "C#4" or "Bb2" into (octave << 4) |
// semitone; "^" is a note cut. Returns S3mCell::kNoNote for anything else.
uint8_t NoteFromName(const std::string& name);

// Transposes a note by semitones, keeping cuts and empty notes.
uint8_t Transpose(uint8_t note, int semitones);

class SongGrid {
 public:
  explicit SongGrid(int channels) : channels_(channels) {}

  // Appends rows for a new section and returns the index of its first row.
  // A section always starts a new pattern.
  int AddSection(int rows);

  S3mCell& At(int row, int channel) {
    return rows_[static_cast<size_t>(row)][static_cast<size_t>(channel)];
  }
  void Note(int row, int channel, uint8_t note, uint8_t instrument, int volume = -1);
  void Effect(int row, int channel, char command, uint8_t info);
  void Volume(int row, int channel, int volume);
  int rows() const { return static_cast<int>(rows_.size()); }
  int channels() const { return channels_; }

  // Cuts the grid into the module's patterns and orders.
  bool Build(S3mModule* module, std::string* error) const;

 private:
  int channels_;
  std::vector<std::vector<S3mCell>> rows_;
  std::vector<int> cuts_;
};
