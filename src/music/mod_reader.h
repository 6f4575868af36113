// The plain-module reader: Protracker-style modules (and the trackers that
// share their layout) into a Module with the plain rules (kRulesPlain).
//
//   Module* module = nullptr;
//   const char* reason = nullptr;
//   int code = LoadPlainModuleFromMemory(bytes, size, &module, &reason);
//   if (code != 0) fprintf(stderr, "%s: %s\n", path, reason);
//
// Reads 31-sample modules with the signatures of the common trackers at
// byte 1080 (M.K., M!K!, M&K!, FLT4, FLT8, CD81, OKTA, OCTA, 1CHN..9CHN,
// 10CH..32CH, TDZ1..TDZ3) and 15-sample modules without a signature when
// their header is plausible; anything else is refused, never played as
// noise. Every count is checked against the bytes present, so a damaged
// file gives an error, never a read outside it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "music/module.h"

// 0 and *module, or an error code with *reason (a static text saying what
// is wrong) and *module untouched. reason may be null.
int LoadPlainModuleFromMemory(const uint8_t* data, size_t size, Module** module,
                              const char** reason);
// 1 when the bytes carry one of the 31-sample signatures.
int HasPlainModuleSignature(const uint8_t* data, size_t size);
// Protracker's effect (0-15) and parameter -> internal command and info;
// kCommandNone drops it. The extended reader shares it: its effects 0-F are
// Protracker's.
void ConvertProtrackerEffect(uint8_t effect, uint8_t parameter, uint8_t* command, uint8_t* info);
