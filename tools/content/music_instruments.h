// The synthesised instruments of the default music: drums, bass, lead,
// pad, plucks, bells and effects, each computed in code as 8-bit samples.
#pragma once

#include <vector>

#include "content/s3m_writer.h"

// 1-based instrument numbers as they appear in the patterns.
enum MusicInstrument : uint8_t {
  kKick = 1,
  kSnare,
  kClosedHat,
  kOpenHat,
  kBass,
  kPad,
  kLead,
  kPluck,
  kBell,
  kCrash,
  kRiser,
  kTom,
  kInstrumentCount = kTom,
};

// Melodic samples hold 64 samples per cycle of C, so C-4 plays at this
// rate (64 x 261.63 Hz); drums play back at their synthesis rate at C-4.
constexpr uint32_t kMelodicRateHz = 16744;
constexpr uint32_t kDrumRateHz = 22050;

// Returns the instruments in MusicInstrument order (index 0 is kKick).
std::vector<S3mInstrument> SynthesiseInstruments();
