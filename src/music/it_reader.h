// The "IMPM" reader: Impulse Tracker files into a Module with the impulse
// rules (kRulesImpulse).
//
//   Module* module = nullptr;
//   const char* reason = nullptr;
//   int code = LoadImpulseModuleFromMemory(bytes, size, &module, &reason);
//
// Reads the header (speed, tempo, global volume, channel pannings and
// volumes, the old-effects, linear-slides and compatible-Gxx flags), the
// orders, the packed patterns with their per-channel masks and remembered
// values, the instruments of both layouts (note maps, envelopes, fade-out,
// new note actions, duplicate checks, filter) or, in sample mode, one plain
// instrument per sample, and the samples (8/16-bit, mono/stereo, plain or
// compressed in either version, loops and sustain loops, automatic
// vibrato). Every offset, count and size is checked against the bytes
// present: a damaged file is refused with the reason, never played as noise.
//
// Channels from the 33rd on are dropped (the player plays 32).
#pragma once

#include <cstddef>
#include <cstdint>

#include "music/module.h"

// 0 and *module, or an error code with *reason (a static text saying what
// is wrong) and *module untouched. reason may be null.
int LoadImpulseModuleFromMemory(const uint8_t* data, size_t size, Module** module,
                                const char** reason);
