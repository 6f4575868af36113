// Building and releasing the records of a Module (module.h), shared by every
// module reader so that each fills the same defaults and FreeModule releases
// what any of them built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "music/module.h"
#include "music/music_errors.h"
#include "music/music_io.h"

// An array of `count` records from the music system's allocator (released
// by FreeModule): 0, or the allocator's error code with *out untouched.
template <typename T>
int AllocateArray(size_t count, T** out) {
  void* block = nullptr;
  const int code = MusicMemoryAllocate(count * sizeof(T), &block);
  if (code == kMusicOk) *out = static_cast<T*>(block);
  return code;
}

// Fields every reader leaves as they are unless its format says otherwise:
// Amiga frequencies, channel volumes 64, the format's name for tools.
void SetUpModuleDefaults(Module& module, const char* format);
// An instrument that is only a sample (S3M, plain modules): every note maps
// to sample `index` of the module and plays unchanged; no envelopes, full
// global volume, no panning, cut-off and resonance of its own.
void SetUpPlainInstrument(ModuleInstrument& instrument, size_t index);
// A mono 8-bit sample's defaults beyond the S3M record: full global volume,
// no panning, sustain loop or automatic vibrato of its own.
void SetUpPlainSample(ModuleSample& sample);

// Releases a module and everything it owns; null is allowed. Samples are
// owned by Module::samples (instruments only point at them).
void FreeModule(Module* module);

// Stores converted pattern rows (the packed row bytes every reader produces)
// as pattern `number` of the module, with its row count. 0 or an error code.
int StorePattern(Module& module, int32_t number, int32_t row_count,
                 const std::vector<uint8_t>& rows);
