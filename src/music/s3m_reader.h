// The S3M module reader: turns a Scream Tracker 3 file into a Module.
//
//   Module* module = nullptr;
//   int code = LoadS3M("music.s3m", &module);
//   if (code != 0) fprintf(stderr, "music.s3m: %s\n", MusicErrorText(code));
//   ...
//   FreeModule(module);
//
// The reader goes through music_io.h, so a bad, truncated or hostile file
// gives an error code (music_errors.h), never a crash. It is not reentrant:
// one load at a time (its working state is process-wide).
#pragma once

#include <cstddef>
#include <cstdint>

#include "music/module.h"
#include "music/module_records.h"

// Reads the file at path. 0 and *module set, or an error code and *module
// left untouched.
int LoadS3M(const char* path, Module** module);
// The same from size bytes in memory (tests, fuzzing, library members).
int LoadS3MFromMemory(const uint8_t* data, size_t size, Module** module);

// Stereo separation for left and right channels without their own pan byte:
// pan 64 - separation (left) or 64 + separation (right). Default 64.
int32_t PanSeparation();
void SetPanSeparation(int32_t separation);
