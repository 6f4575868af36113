// The default music: a 120 bpm piece in A minor (the opening at 128 bpm)
// in fourteen sections, one per row of the demo's schedule: an ambient
// opening, a hit for the title, a main groove that returns between the
// scenes, a driving flight, a calm mountain hut, a spacey planet, a tribal
// stone circle and a long closing part under the scroller.
#include "content/music_score.h"

#include <cmath>
#include <sstream>

#include "content/music_grid.h"
#include "content/music_instruments.h"
#include "content/s3m_timing.h"

namespace {

enum Channel : int {
  kChKick,
  kChSnare,
  kChHat,
  kChOpenHat,
  kChBass,
  kChPad,  // three channels: kChPad .. kChPad + 2
  kChLead = kChPad + 3,
  kChEcho,
  kChArp,
  kChFx,
  kChannelCount,
};

constexpr int kBar = 16;  // rows per bar: 16th notes, four rows a beat

struct Chord {
  int root;  // semitone 0..11
  bool minor;
};

constexpr Chord kAm{9, true}, kF{5, false}, kC{0, false}, kG{7, false}, kDm{2, true}, kE{4, false},
    kEm{4, true};

using Progression = std::vector<Chord>;

const Chord& ChordAt(const Progression& chords, int bar) {
  return chords[static_cast<size_t>(bar) % chords.size()];
}

uint8_t NoteOf(int semitone, int octave) {
  return static_cast<uint8_t>(octave << 4 | semitone);
}

// Close triad voicing from E4 upward.
std::vector<uint8_t> Triad(const Chord& chord) {
  const uint8_t root = NoteOf(chord.root, chord.root < 4 ? 5 : 4);
  return {root, Transpose(root, chord.minor ? 3 : 4), Transpose(root, 7)};
}

struct Section {
  SongGrid* grid;
  int first;  // first grid row
  int rows;
};

// ---- drums ----------------------------------------------------------------

enum class Groove { kFull, kHalfTime, kSparse, kTribal };

void Drums(const Section& s, Groove groove, int from_row = 0) {
  SongGrid& g = *s.grid;
  for (int r = from_row; r < s.rows; ++r) {
    const int row = s.first + r;
    const int step = r % kBar;
    switch (groove) {
      case Groove::kFull:
        if (step % 4 == 0) g.Note(row, kChKick, NoteFromName("C4"), kKick, 64);
        if (step == 4 || step == 12) g.Note(row, kChSnare, NoteFromName("C4"), kSnare, 54);
        if (step == 14 && r / kBar % 2 == 1) {
          // Ghost snare: started late in the sample, so only its tail sounds.
          g.Note(row, kChSnare, NoteFromName("C4"), kSnare, 22);
          g.Effect(row, kChSnare, 'O', 0x06);
        }
        if (step % 4 == 2) g.Note(row, kChOpenHat, NoteFromName("C4"), kOpenHat, 26);
        g.Note(row, kChHat, NoteFromName("C4"), kClosedHat, step % 4 == 0 ? 36 : 18);
        if (step % 2 == 1) g.Effect(row, kChHat, 'S', 0xD2);  // a little swing
        break;
      case Groove::kHalfTime:
        if (step == 0 || step == 10) g.Note(row, kChKick, NoteFromName("C4"), kKick, 50);
        if (step == 8) g.Note(row, kChSnare, NoteFromName("C4"), kSnare, 40);
        if (step % 2 == 0) {
          g.Note(row, kChHat, NoteFromName("C4"), kClosedHat, step % 4 == 0 ? 26 : 14);
          g.Effect(row, kChHat, 'S', step % 8 == 0 ? 0x84 : 0x8B);  // ping-pong
        }
        break;
      case Groove::kSparse:
        if (step % 2 == 0) {
          g.Note(row, kChHat, NoteFromName("C4"), kClosedHat, step % 4 == 2 ? 22 : 10);
          g.Effect(row, kChHat, 'S', step % 4 == 2 ? 0x8C : 0x83);
        }
        break;
      case Groove::kTribal: {
        static constexpr const char* kToms[kBar] = {"G4", "",   "", "G4", "", "",   "D4", "",
                                                    "G4", "C5", "", "G4", "", "D4", "A3", ""};
        if (step == 0 || step == 6 || step == 8)
          g.Note(row, kChKick, NoteFromName("C4"), kKick, 58);
        if (kToms[step][0] != 0) g.Note(row, kChOpenHat, NoteFromName(kToms[step]), kTom, 48);
        if (step == 12) g.Note(row, kChSnare, NoteFromName("C4"), kSnare, 44);
        break;
      }
    }
  }
}

// A snare roll over the rows, retriggered faster and louder towards the end.
void SnareRoll(SongGrid& g, int first, int rows) {
  for (int r = 0; r < rows; r += 2) {
    const int volume = 24 + 36 * r / rows;
    g.Note(first + r, kChSnare, NoteFromName("C4"), kSnare, volume);
    g.Effect(first + r, kChSnare, 'Q', r < rows / 2 ? 0x03 : 0x92);  // rising retriggers
  }
}

void Crash(SongGrid& g, int row, int volume = 48) {
  g.Note(row, kChFx, NoteFromName("C4"), kCrash, volume);
}

// ---- bass, pads, arpeggios ------------------------------------------------

enum class BassStyle { kOctaves, kSixteenths, kLong };

void Bass(const Section& s, const Progression& chords, BassStyle style) {
  SongGrid& g = *s.grid;
  for (int r = 0; r < s.rows; ++r) {
    const int row = s.first + r;
    const int step = r % kBar;
    const Chord& chord = ChordAt(chords, r / kBar);
    const uint8_t low = NoteOf(chord.root, 2);
    switch (style) {
      case BassStyle::kOctaves:
        if (step % 2 == 0) {
          const uint8_t note = step == 14      ? Transpose(low, 7)
                               : step % 4 == 2 ? Transpose(low, 12)
                                               : low;
          g.Note(row, kChBass, note, kBass, step % 4 == 0 ? 60 : 48);
        }
        if (step % 2 == 1) g.Effect(row, kChBass, 'S', 0xC2);  // short and punchy
        break;
      case BassStyle::kSixteenths:
        g.Note(row, kChBass, step % 8 == 6 ? Transpose(low, 12) : low, kBass,
               step % 4 == 0 ? 62 : 42);
        g.Effect(row, kChBass, 'S', 0xC3);
        break;
      case BassStyle::kLong:
        if (step == 0) g.Note(row, kChBass, low, kBass, 52);
        if (step == 8) g.Note(row, kChBass, Transpose(low, 7), kBass, 40);
        if (step > 8) g.Effect(row, kChBass, 'D', 0x02);
        break;
    }
  }
}

// Pad chords; skip_attack starts the sample at its loop (offset 0x2000),
// for chords that change on a beat.
void Pads(const Section& s, const Progression& chords, int volume, bool skip_attack,
          int bars_per_chord = 1) {
  SongGrid& g = *s.grid;
  for (int r = 0; r < s.rows; r += kBar * bars_per_chord) {
    const std::vector<uint8_t> notes = Triad(ChordAt(chords, r / (kBar * bars_per_chord)));
    for (int v = 0; v < 3; ++v) {
      g.Note(s.first + r, kChPad + v, notes[static_cast<size_t>(v)], kPad, volume);
      if (skip_attack) g.Effect(s.first + r, kChPad + v, 'O', 0x20);
    }
  }
}

// Sixteenth-note arpeggio over the chord tones, up and down.
void Arpeggio(const Section& s, const Progression& chords, int volume, int octave_shift = 0) {
  SongGrid& g = *s.grid;
  static constexpr int kOrder[8] = {0, 1, 2, 3, 2, 1, 0, 1};
  for (int r = 0; r < s.rows; ++r) {
    std::vector<uint8_t> notes = Triad(ChordAt(chords, r / kBar));
    notes.push_back(Transpose(notes[0], 12));
    g.Note(s.first + r, kChArp,
           Transpose(notes[static_cast<size_t>(kOrder[r % 8])], 12 * octave_shift), kPluck,
           r % 4 == 0 ? volume : volume * 2 / 3);
    if (r % 4 == 3) g.Effect(s.first + r, kChArp, 'S', 0xC3);
  }
}

// Chip chords: one pluck per beat arpeggiated by command J.
void ChipChords(const Section& s, const Progression& chords, int volume) {
  SongGrid& g = *s.grid;
  for (int r = 0; r < s.rows; r += 4) {
    const Chord& chord = ChordAt(chords, r / kBar);
    g.Note(s.first + r, kChArp, NoteOf(chord.root, 5), kPluck, volume);
    for (int k = 0; k < 4; ++k) g.Effect(s.first + r + k, kChArp, 'J', chord.minor ? 0x37 : 0x47);
  }
}

// ---- melodies -------------------------------------------------------------

// Writes a melody given as one token per row: a note name, "." to hold,
// "^" to cut, and a trailing "~" to glide into the note (tone portamento).
// Held notes get vibrato after their third row; an echo copy, quieter and
// three rows later, goes to the echo channel when asked for.
void Melody(SongGrid& g, int first, int channel, uint8_t instrument, int volume,
            const std::string& text, bool echo) {
  std::istringstream in(text);
  std::string token;
  int r = 0;
  int held = 0;
  while (in >> token) {
    const int row = first + r;
    if (row >= g.rows()) break;  // the melody runs past the written rows
    if (token == ".") {
      ++held;
      if (held >= 3) g.Effect(row, channel, 'H', 0x43);
    } else {
      held = 0;
      const bool glide = token.back() == '~';
      if (glide) token.pop_back();
      const uint8_t note = NoteFromName(token);
      if (glide) {
        g.Note(row, channel, note, 0, -1);
        g.Effect(row, channel, 'G', 0x18);
      } else {
        g.Note(row, channel, note, note == S3mCell::kNoteCut ? 0 : instrument, volume);
      }
      if (echo && r + 3 < g.rows() - first) {
        g.Note(row + 3, kChEcho, note, note == S3mCell::kNoteCut ? 0 : instrument, volume / 3);
      }
    }
    ++r;
  }
}

// ---- the sections -----------------------------------------------------------

const char* const kMainTheme[2] = {
    "E5 . . . A5 . . . B5 . C6 . . . B5 . "
    "A5 . . . . . . . G5 . A5 . . . F5 . "
    "G5 . . . . . E5 . . . G5 . C6~ . . . "
    "B5 . . . . . . . D6 . . . B5 . G5 .",
    "C6 . . . B5 . A5 . . . E5 . . . A5 . "
    "C6 . . . . . D6~ . . . C6 . A5 . . . "
    "G5 . . . E5 . G5 . C6 . . . D6 . E6 . "
    "D6 . . . . . . . B5 . . . G5 . ^ ."};

const char* const kFlightTheme =
    "D6 . A5 . F5 . A5 . D6 . E6 . F6 . E6 . "
    "C6 . . . A5 . . . E5 . A5 . C6 . E6 . "
    "B5 . . . G#5 . . . E5 . G#5 . B5 . D6 . "
    "C6 . . . . . . . A5 . . . ^ . . .";

const char* const kHutBells =
    "A5 . . . . . . . C6 . . . . . . . "
    "G5 . . . . . . . E5 . . . . . . . "
    "F5 . . . A5 . . . D6 . . . . . . . "
    "C6 . . . . . . . . . . . E5 . . .";

const char* const kClosingTheme[2] = {
    "A5 . . . C6 . . . F6 . . . E6 . C6 . "
    "D6 . . . . . B5 . . . G5 . . . B5 . "
    "E6 . . . D6 . B5 . . . G5 . E5 . . . "
    "A5 . . . . . . . . . . . ^ . . .",
    "C6 . . . A5 . C6 . F6 . . . G6 . F6 . "
    "E6 . . . D6 . . . B5 . D6 . G6 . . . "
    "G6 . . . E6 . . . D6 . B5 . G5 . E5 . "
    "A5 . . . . . . . . . . . . . ^ ."};

const Progression kMainChords = {kAm, kF, kC, kG};
const Progression kFlightChords = {kDm, kAm, kE, kAm, kDm, kAm, kF, kE};
const Progression kHutChords = {kF, kC, kDm, kAm};
const Progression kClosingChords = {kF, kG, kEm, kAm};

// The hub groove that returns between the scenes; ends with a half-bar
// fill when the section is not a whole number of bars.
void MainGroove(SongGrid& g, int rows, bool lead, int theme_offset) {
  const Section s{&g, g.AddSection(rows), rows};
  const int whole = rows / kBar * kBar;
  Drums({&g, s.first, whole}, Groove::kFull);
  Bass(s, kMainChords, BassStyle::kOctaves);
  Pads(s, kMainChords, 22, true);
  Arpeggio(s, kMainChords, 24);
  Crash(g, s.first);
  if (lead) {
    for (int bar = 0; bar + 4 <= whole / kBar; bar += 4) {
      Melody(g, s.first + bar * kBar, kChLead, kLead, 44, kMainTheme[(bar / 4 + theme_offset) % 2],
             true);
    }
  }
  if (whole < rows) SnareRoll(g, s.first + whole, rows - whole);
}

void Opening(SongGrid& g) {
  const Section s{&g, g.AddSection(128), 128};
  g.Effect(s.first, kChKick, 'A', 6);
  g.Effect(s.first, kChSnare, 'T', 128);
  g.Effect(s.first, kChHat, 'V', 64);
  Pads(s, kMainChords, 32, false, 2);
  // The first chord swells in from quiet; the later ones rise a little
  // after their start.
  for (int v = 0; v < 3; ++v) {
    g.Volume(s.first, kChPad + v, 6);
    for (int r = 0; r < 6; ++r) g.Effect(s.first + r, kChPad + v, 'D', 0x10);
    for (int r = 32; r < 128; r += 32) g.Effect(s.first + r + 1, kChPad + v, 'D', 0x4F);
  }
  Melody(g, s.first + 32, kChEcho, kBell, 34, kHutBells, false);
  ChipChords({&g, s.first + 64, 64}, {kC, kC, kG, kG}, 22);
  // A heartbeat kick and the rising noise lead into the title.
  for (int r = 96; r < 128; r += 8)
    g.Note(s.first + r, kChKick, NoteFromName("C4"), kKick, 24 + (r - 96));
  g.Note(s.first + 109, kChFx, NoteFromName("C4"), kRiser, 50);
  // The bass enters low and slides up to the title's A.
  g.Note(s.first + 112, kChBass, NoteFromName("E2"), kBass, 40);
  for (int r = 116; r < 128; ++r) g.Effect(s.first + r, kChBass, 'F', 0x02);
}

void TitleHit(SongGrid& g) {
  const Section s{&g, g.AddSection(40), 40};
  g.Effect(s.first, kChSnare, 'T', 120);
  Crash(g, s.first, 60);
  Drums({&g, s.first, 32}, Groove::kFull);
  Bass(s, {kAm, kF, kG}, BassStyle::kOctaves);
  Pads(s, {kAm, kF, kG}, 24, true);
  SnareRoll(g, s.first + 32, 8);
}

void Flight(SongGrid& g) {
  const Section s{&g, g.AddSection(176), 176};
  Crash(g, s.first);
  Drums(s, Groove::kFull);
  Bass(s, kFlightChords, BassStyle::kSixteenths);
  Pads(s, kFlightChords, 20, true);
  Arpeggio(s, kFlightChords, 26, 1);
  for (int bar = 0; bar + 4 <= 8; bar += 4)
    Melody(g, s.first + bar * kBar, kChLead, kLead, 46, kFlightTheme, true);
  Melody(g, s.first + 8 * kBar, kChLead, kLead, 46, kFlightTheme, true);
  g.Note(s.first + 160, kChLead, S3mCell::kNoteCut, 0);
  // The last bar dives: the bass falls away under a tom run.
  for (int r = 160; r < 176; ++r) g.Effect(s.first + r, kChBass, 'E', r < 168 ? 0x04 : 0xF2);
  for (int r = 164; r < 176; r += 2)
    g.Note(s.first + r, kChFx, Transpose(NoteFromName("C5"), -(r - 164)), kTom, 50);
}

// Calm: a two-bar phrase played twice through a pattern loop, then four
// bars of bells.
void MountainHut(SongGrid& g) {
  const int first = g.AddSection(96);
  const Section looped{&g, first, 32};
  Drums(looped, Groove::kSparse);
  Pads(looped, kHutChords, 26, false);
  Bass(looped, kHutChords, BassStyle::kLong);
  g.Effect(first, kChFx, 'S', 0xB0);
  g.Effect(first + 31, kChFx, 'S', 0xB1);
  const Section rest{&g, first + 32, 64};
  Drums(rest, Groove::kHalfTime);
  Pads(rest, kHutChords, 24, true);
  Bass(rest, kHutChords, BassStyle::kLong);
  Melody(g, rest.first, kChLead, kBell, 40, kHutBells, true);
}

void PlanetApproach(SongGrid& g) {
  const Section s{&g, g.AddSection(24), 24};
  g.Note(s.first, kChFx, NoteFromName("C4"), kRiser, 56);
  for (int r = 0; r < 24; r += 3)
    g.Note(s.first + r, kChOpenHat, Transpose(NoteFromName("A4"), -r / 2), kTom, 30 + r);
  g.Note(s.first, kChBass, NoteFromName("A1"), kBass, 50);
  for (int r = 1; r < 24; ++r) g.Effect(s.first + r, kChBass, 'F', r < 12 ? 0xE8 : 0x03);
}

void PlanetOrbit(SongGrid& g) {
  const Section s{&g, g.AddSection(64), 64};
  Crash(g, s.first, 40);
  Drums(s, Groove::kSparse);
  Pads(s, {kAm, kAm, kF, kF}, 24, true);
  ChipChords(s, {kAm, kEm, kF, kC}, 26);
  Melody(g, s.first, kChLead, kLead, 36,
         "E6 . . . . . . . . . . . . . . . "
         "D6 . . . . . . . C6 . . . B5 . . . "
         "C6 . . . . . . . . . . . A5 . . . "
         "G5~ . . . . . . . . . . . . . . .",
         true);
  // The echo wanders across the stereo field.
  for (int r = 0; r < 64; r += 8) g.Effect(s.first + r, kChEcho, 'X', r % 16 == 0 ? 0x18 : 0xE8);
  for (int r = 52; r < 64; ++r) g.Effect(s.first + r, kChLead, 'K', 0x01);
}

void PlanetDeparture(SongGrid& g) {
  const Section s{&g, g.AddSection(80), 80};
  Drums({&g, s.first, 64}, Groove::kHalfTime);
  Bass(s, {kF, kG, kAm, kAm, kE}, BassStyle::kOctaves);
  Pads(s, {kF, kG, kAm, kAm, kE}, 22, true);
  Arpeggio(s, {kF, kG, kAm, kAm, kE}, 22);
  g.Note(s.first + 58, kChFx, NoteFromName("C4"), kRiser, 48);
  SnareRoll(g, s.first + 64, 16);
}

// Tribal stones: toms, a low drone and a lead that slides between notes;
// the last row is held by a pattern delay, a pause before the climax.
void StoneCircle(SongGrid& g) {
  const Section s{&g, g.AddSection(81), 81};
  Drums({&g, s.first, 80}, Groove::kTribal);
  for (int v = 0; v < 3; ++v) {
    g.Note(s.first, kChPad + v, Transpose(NoteFromName("A3"), v == 1 ? 7 : v * 12), kPad, 30);
  }
  g.Note(s.first, kChBass, NoteFromName("A1"), kBass, 56);
  Melody(g, s.first + 16, kChLead, kLead, 40,
         "E5 . . . . . . . G5~ . . . . . . . "
         "A5 . . . . . . . C6~ . . . B5 . . . "
         "A5 . . . . . . . E5~ . . . . . . . "
         "A5 . . . . . . . . . . . ^ . . .",
         true);
  for (int r = 24; r < 32; ++r) g.Effect(s.first + r, kChLead, 'L', 0x01);
  for (int r = 64; r < 80; ++r) g.Effect(s.first + r, kChBass, 'D', 0xF1);  // fine fade
  g.Note(s.first + 80, kChFx, NoteFromName("C4"), kCrash, 56);
  g.Note(s.first + 80, kChKick, NoteFromName("C4"), kKick, 64);
  g.Effect(s.first + 80, kChSnare, 'S', 0xE7);  // the row lasts eight rows
  for (int v = 0; v < 3; ++v) g.Note(s.first + 80, kChPad + v, S3mCell::kNoteCut, 0);
}

void Closing(SongGrid& g) {
  const Section s{&g, g.AddSection(464), 464};
  Crash(g, s.first);
  Drums({&g, s.first, 64}, Groove::kHalfTime);
  Drums({&g, s.first + 64, 336}, Groove::kFull);
  Drums({&g, s.first + 400, 48}, Groove::kHalfTime);
  Bass({&g, s.first, 432}, kClosingChords, BassStyle::kOctaves);
  Pads(s, kClosingChords, 22, true);
  Arpeggio({&g, s.first + 128, 256}, kClosingChords, 20);
  for (int bar = 4; bar + 8 <= 28; bar += 8) {
    Melody(g, s.first + bar * kBar, kChLead, kLead, 42, kClosingTheme[0], true);
    Melody(g, s.first + (bar + 4) * kBar, kChLead, kLead, 42, kClosingTheme[1], true);
  }
  // The last bars fade the whole song down to silence.
  static constexpr uint8_t kFade[] = {56, 48, 40, 32, 24, 16, 8, 0};
  for (int i = 0; i < 8; ++i) g.Effect(s.first + 400 + 8 * i, kChFx, 'V', kFade[i]);
  Melody(g, s.first + 432, kChLead, kBell, 40, "A5 . . . E5 . . . C5 . . . A4 . . .", false);
  // Players that repeat go back to the start.
  g.Effect(s.first + 463, kChKick, 'B', 0);
}

// Checks that every section begins on its second of the schedule and that
// the song ends with the schedule.
bool CheckSectionTiming(const S3mModule* module, const std::vector<int>& section_rows,
                        std::string* error) {
  const S3mTiming timing = TimeS3m(*module);
  const std::vector<double>& starts = MusicSectionStarts();
  size_t order = 0;
  int row = 0;
  for (size_t section = 0; section + 1 < starts.size(); ++section) {
    while (order < module->orders.size() && row < section_rows[section]) {
      // Orders map back to grid rows through the pattern lengths.
      const S3mPattern& p = module->patterns[module->orders[order]];
      int length = S3mPattern::kRows;
      for (int r = 0; r < S3mPattern::kRows; ++r) {
        for (const S3mCell& cell : p.rows[static_cast<size_t>(r)]) {
          if (cell.command == 'C' && length == S3mPattern::kRows) length = r + 1;
        }
      }
      row += length;
      ++order;
    }
    if (order >= module->orders.size() ||
        std::fabs(timing.order_start_seconds[order] - starts[section]) > 0.001) {
      *error = "music section " + std::to_string(section) + " does not start at " +
               std::to_string(starts[section]) + " s";
      return false;
    }
  }
  if (std::fabs(timing.total_seconds - starts.back()) > 0.001) {
    *error = "the music lasts " + std::to_string(timing.total_seconds) + " s";
    return false;
  }
  return true;
}

}  // namespace

const std::vector<double>& MusicSectionStarts() {
  static const std::vector<double> starts = {0,  15,  20,  45,  67,  74,  90, 95,
                                             98, 106, 116, 122, 133, 160, 218};
  return starts;
}

bool ComposeMusic(S3mModule* module, std::string* error) {
  SongGrid grid(kChannelCount);
  std::vector<int> section_rows;
  auto mark = [&] { section_rows.push_back(grid.rows()); };
  mark(), Opening(grid);
  mark(), TitleHit(grid);
  mark(), MainGroove(grid, 200, true, 0);
  mark(), Flight(grid);
  mark(), MainGroove(grid, 56, false, 0);
  mark(), MountainHut(grid);
  mark(), MainGroove(grid, 40, false, 0);
  mark(), PlanetApproach(grid);
  mark(), PlanetOrbit(grid);
  mark(), PlanetDeparture(grid);
  mark(), MainGroove(grid, 48, false, 0);
  mark(), StoneCircle(grid);
  mark(), MainGroove(grid, 216, true, 1);
  mark(), Closing(grid);

  *module = S3mModule{};
  module->name = "Veyrith";
  module->initial_speed = 6;
  module->initial_tempo = 128;
  module->global_volume = 64;
  module->master_volume = 56;
  // Volume slides act from a row's first tick on, as in early Scream
  // Tracker songs: the swells and fades start with their notes.
  module->fast_volume_slides = true;
  static constexpr uint8_t kPans[kChannelCount] = {7, 8, 11, 4, 7, 3, 7, 12, 8, 5, 10, 6};
  for (int c = 0; c < kChannelCount; ++c) module->channels.push_back({kPans[c] >= 8, kPans[c]});
  module->instruments = SynthesiseInstruments();
  if (!grid.Build(module, error)) return false;
  return CheckSectionTiming(module, section_rows, error);
}
