// libFuzzer entry for the module readers behind the format detection
// (plain modules, whose 15-sample kind has no signature to stop at, S3M and
// "Extended Module:" files): the bytes are one module file. What loads is walked row by row and played for
// a moment through the mixer, so the player meets every pattern the reader
// built.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "music/mixer.h"
#include "music/module_loader.h"
#include "music/module_records.h"
#include "music/player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  Module* module = nullptr;
  std::string reason;
  if (LoadModuleFromMemory(data, size, &module, &reason) != 0) return 0;
  PlayerWalkSong(module, 2000, nullptr, nullptr);
  Mixer mixer;
  mixer.Configure(8000, kMixerStereo, static_cast<int>(size & 1));
  PlayerSetDevice(&mixer);
  PlayState* state = nullptr;
  if (PlayerStart(module, nullptr, 0, &state) == 0) {
    std::vector<int16_t> out(2 * 4000);
    mixer.Render(
        out.data(), 4000, [](void* s) { return PlayerTickState(static_cast<PlayState*>(s)); },
        state);
    PlayerStop(state);
  }
  PlayerSetDevice(nullptr);
  FreeModule(module);
  return 0;
}
