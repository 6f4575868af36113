// Building and releasing the records of a Module (module.h), shared by every
// module reader so that each fills the same defaults and FreeModule releases
// what any of them built.
#pragma once

#include <cstddef>

#include "music/module.h"

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
