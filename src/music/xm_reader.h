// The "Extended Module:" reader: files of the layout version 0x0104 into a
// Module with the extended rules (kRulesExtended).
//
//   Module* module = nullptr;
//   const char* reason = nullptr;
//   int code = LoadExtendedModuleFromMemory(bytes, size, &module, &reason);
//
// Reads the header, the order table, the packed patterns (1 to 256 rows),
// the instruments with their note-to-sample maps, volume and panning
// envelopes, fade-out and automatic vibrato, and the delta-coded 8- and
// 16-bit sample data with forward and ping-pong loops. Every count and
// size is checked against the bytes present.
//
// The player does not yet play everything read here: envelopes, fade-out,
// automatic vibrato and sample panning are kept in the Module but not heard,
// slides move Amiga periods whatever the frequency model, and a key off
// cuts the note.
#pragma once

#include <cstddef>
#include <cstdint>

#include "music/module.h"

// 0 and *module, or an error code with *reason (a static text saying what
// is wrong) and *module untouched. reason may be null.
int LoadExtendedModuleFromMemory(const uint8_t* data, size_t size, Module** module,
                                 const char** reason);
