// Reads a module of any kind this music system plays: the file's head tells
// the format ("Extended Module:" at byte 0, "SCRM" at byte 44, "IMPM" at
// byte 0, else a plain module) and its reader builds the neutral Module.
//
//   Module* module = nullptr;
//   std::string reason;
//   if (LoadModuleFromMemory(bytes, size, &module, &reason) != 0)
//     fprintf(stderr, "%s: %s\n", path, reason.c_str());
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "music/module.h"

// 0 and *module, or a music error code with what is wrong in *reason.
int LoadModuleFromMemory(const uint8_t* data, size_t size, Module** module, std::string* reason);
// The same for a disk file (read whole first).
int LoadModuleFile(const char* path, Module** module, std::string* reason);
// Lower-case name of the format behind a rule set: "mod", "s3m", "xm", "it".
const char* ModuleFormatName(int32_t rules);
