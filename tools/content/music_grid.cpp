// Cutting the composition grid into S3M patterns.
#include "content/music_grid.h"

#include <algorithm>
#include <cctype>

namespace {

bool SameCell(const S3mCell& a, const S3mCell& b) {
  return a.note == b.note && a.instrument == b.instrument && a.volume == b.volume &&
         a.command == b.command && a.info == b.info;
}

bool SamePattern(const S3mPattern& a, const S3mPattern& b) {
  for (size_t r = 0; r < a.rows.size(); ++r) {
    for (size_t c = 0; c < a.rows[r].size(); ++c) {
      if (!SameCell(a.rows[r][c], b.rows[r][c])) return false;
    }
  }
  return true;
}

}  // namespace

uint8_t NoteFromName(const std::string& name) {
  if (name == "^") return S3mCell::kNoteCut;
  static constexpr int kSemitoneOfLetter[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
  if (name.size() < 2) return S3mCell::kNoNote;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
  if (letter < 'A' || letter > 'G') return S3mCell::kNoNote;
  int semitone = kSemitoneOfLetter[letter - 'A'];
  size_t at = 1;
  if (name[at] == '#')
    semitone += 1, ++at;
  else if (name[at] == 'b')
    semitone -= 1, ++at;
  if (at + 1 != name.size() || !std::isdigit(static_cast<unsigned char>(name[at]))) {
    return S3mCell::kNoNote;
  }
  int octave = name[at] - '0';
  if (semitone < 0) semitone += 12, --octave;
  if (semitone > 11) semitone -= 12, ++octave;
  if (octave < 0 || octave > 9) return S3mCell::kNoNote;
  return static_cast<uint8_t>(octave << 4 | semitone);
}

uint8_t Transpose(uint8_t note, int semitones) {
  if (note == S3mCell::kNoNote || note == S3mCell::kNoteCut) return note;
  const int absolute = (note >> 4) * 12 + (note & 15) + semitones;
  const int clamped = std::clamp(absolute, 0, 9 * 12 + 11);
  return static_cast<uint8_t>((clamped / 12) << 4 | clamped % 12);
}

int SongGrid::AddSection(int rows) {
  const int first = this->rows();
  rows_.resize(rows_.size() + static_cast<size_t>(rows),
               std::vector<S3mCell>(static_cast<size_t>(channels_)));
  cuts_.push_back(first);
  return first;
}

void SongGrid::Note(int row, int channel, uint8_t note, uint8_t instrument, int volume) {
  S3mCell& cell = At(row, channel);
  cell.note = note;
  cell.instrument = instrument;
  if (volume >= 0) cell.volume = static_cast<uint8_t>(std::min(volume, 64));
}

void SongGrid::Effect(int row, int channel, char command, uint8_t info) {
  S3mCell& cell = At(row, channel);
  cell.command = command;
  cell.info = info;
}

void SongGrid::Volume(int row, int channel, int volume) {
  At(row, channel).volume = static_cast<uint8_t>(std::clamp(volume, 0, 64));
}

bool SongGrid::Build(S3mModule* module, std::string* error) const {
  std::vector<int> starts = cuts_;
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
  // Split anything longer than a pattern.
  std::vector<int> pieces;
  for (size_t i = 0; i < starts.size(); ++i) {
    const int end = i + 1 < starts.size() ? starts[i + 1] : rows();
    for (int at = starts[i]; at < end; at += S3mPattern::kRows) pieces.push_back(at);
  }
  module->patterns.clear();
  module->orders.clear();
  for (size_t i = 0; i < pieces.size(); ++i) {
    const int begin = pieces[i];
    const int end =
        std::min(i + 1 < pieces.size() ? pieces[i + 1] : rows(), begin + S3mPattern::kRows);
    S3mPattern pattern(channels_);
    for (int r = begin; r < end; ++r)
      pattern.rows[static_cast<size_t>(r - begin)] = rows_[static_cast<size_t>(r)];
    if (end - begin < S3mPattern::kRows) {
      // A shorter pattern ends with a break on its last row, in the last
      // channel whose command column is free.
      std::vector<S3mCell>& last = pattern.rows[static_cast<size_t>(end - begin - 1)];
      bool placed = false;
      for (int c = channels_ - 1; c >= 0 && !placed; --c) {
        if (last[static_cast<size_t>(c)].command == 0) {
          last[static_cast<size_t>(c)].command = 'C';
          last[static_cast<size_t>(c)].info = 0;
          placed = true;
        }
      }
      if (!placed) {
        *error = "no free command column for a pattern break at row " + std::to_string(end - 1);
        return false;
      }
    }
    size_t index = 0;
    while (index < module->patterns.size() && !SamePattern(module->patterns[index], pattern))
      ++index;
    if (index == module->patterns.size()) module->patterns.push_back(pattern);
    module->orders.push_back(static_cast<uint8_t>(index));
  }
  return true;
}
