// Defaults and release of the module records (see module_records.h).
#include "music/module_records.h"

#include <cstring>

#include "music/music_io.h"

void SetUpModuleDefaults(Module& module, const char* format) {
  module.frequency_model = kFrequencyAmiga;
  std::memset(module.channel_volume, 64, sizeof module.channel_volume);
  std::strncpy(module.format, format, sizeof module.format - 1);
  module.format[sizeof module.format - 1] = '\0';
}

void SetUpPlainInstrument(ModuleInstrument& instrument, size_t index) {
  for (int note = 0; note < kModuleNotes; ++note) {
    instrument.note_samples[note] = index < 255 ? static_cast<uint8_t>(index) : 255;
    instrument.note_notes[note] = static_cast<uint8_t>((note / 12) << 4 | (note % 12));
  }
  instrument.global_volume = 128;
  instrument.panning = -1;
  instrument.filter_cutoff = 255;
  instrument.filter_resonance = 255;
}

void SetUpPlainSample(ModuleSample& sample) {
  if (sample.channels == 0) sample.channels = 1;
  sample.panning = -1;
  sample.global_volume = 64;
}

int StorePattern(Module& module, int32_t number, int32_t row_count,
                 const std::vector<uint8_t>& rows) {
  ModulePattern* pattern = nullptr;
  int code = AllocateArray(1, &pattern);
  if (code != kMusicOk) return code;
  module.patterns[number] = pattern;
  pattern->row_count = row_count;
  pattern->size_bytes = static_cast<int32_t>(kModulePatternHeadBytes + rows.size());
  code = AllocateArray(rows.size(), &pattern->rows);
  if (code == kMusicOk) std::memcpy(pattern->rows, rows.data(), rows.size());
  return code;
}

void FreeModule(Module* module) {
  if (module == nullptr) return;
  if (module->samples != nullptr) {
    for (int32_t i = 0; i < module->sample_count; ++i) {
      ModuleSample* sample = module->samples[i];
      if (sample == nullptr) continue;
      MusicMemoryFree(sample->data);
      MusicMemoryFree(sample->data16);
      MusicMemoryFree(sample);
    }
  }
  if (module->instruments != nullptr) {
    for (int32_t i = 0; i < module->instrument_count; ++i) MusicMemoryFree(module->instruments[i]);
  }
  if (module->patterns != nullptr) {
    for (int32_t i = 0; i < module->pattern_count; ++i) {
      if (module->patterns[i] != nullptr) MusicMemoryFree(module->patterns[i]->rows);
      MusicMemoryFree(module->patterns[i]);
    }
  }
  MusicMemoryFree(module->orders);
  MusicMemoryFree(module->instruments);
  MusicMemoryFree(module->samples);
  MusicMemoryFree(module->patterns);
  MusicMemoryFree(module);
}
