// libFuzzer target for the music system's module readers: the bytes are a
// whole module file, loaded through the same format check as the demo's
// music (so every format the music system learns is fuzzed here too). A
// module that loads is walked row by row and played for a bounded number of
// ticks through the software mixer, mono or stereo, plain or interpolating.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "music/mixer.h"
#include "music/music_system.h"
#include "music/player.h"
#include "music/s3m_reader.h"

namespace {

constexpr int kTicksPlayed = 300;
constexpr int kFramesPerRender = 256;
constexpr uint32_t kRowsWalked = 512;

// The readers take a path, so every input passes through one file of this
// process, removed when the process ends.
const std::string& InputPath() {
  static const std::string path = [] {
    char name[] = "/tmp/veyrith-fuzz-module-XXXXXX";
    const int descriptor = mkstemp(name);
    FuzzCheck(descriptor >= 0, "a temporary module file can be made");
    close(descriptor);
    return std::string(name);
  }();
  static const int removed_at_exit = std::atexit([] { std::remove(path.c_str()); });
  (void)removed_at_exit;
  return path;
}

bool WriteInput(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(InputPath().c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

struct TickBudget {
  PlayState* state;
  int ticks_left;
};

// Stops the render at the budget's end or the song's end (a code of -1).
int TickWithinBudget(void* context) {
  auto* budget = static_cast<TickBudget*>(context);
  if (budget->ticks_left-- <= 0 || PlayerSongEnded(budget->state)) return -1;
  return PlayerTickState(budget->state);
}

void Play(Module* module, size_t size) {
  Mixer mixer;
  const int output_mode = (size & 1) ? kMixerMono : kMixerStereo;
  if (mixer.Configure(8000, output_mode, static_cast<int>((size >> 1) & 1)) != 0) return;
  PlayerSetDevice(&mixer);
  PlayState* state = nullptr;
  if (PlayerStart(module, nullptr, static_cast<int>((size >> 2) & 1), &state) == 0) {
    TickBudget budget{state, kTicksPlayed};
    std::vector<int16_t> out(kFramesPerRender * 2);
    // Bounded by renders as well as ticks: at slow tempos a render may hold
    // no tick at all.
    for (int render = 0; render <= kTicksPlayed; ++render) {
      int mixed = 0;
      if (mixer.Render(out.data(), kFramesPerRender, TickWithinBudget, &budget, &mixed) != 0) {
        break;
      }
      FuzzCheck(mixed == kFramesPerRender, "a render without a stop mixes every frame");
    }
    PlayerStop(state);
  }
  PlayerSetDevice(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 22) || !WriteInput(data, size)) return 0;
  Module* module = nullptr;
  std::string reason;
  const int code = LoadModuleChecked(InputPath().c_str(), &module, &reason);
  if (code != 0) {
    FuzzCheck(module == nullptr, "a refused module is not delivered");
    FuzzCheck(!reason.empty(), "a refused module says why");
    return 0;
  }
  FuzzCheck(module != nullptr, "a loaded module is delivered");
  PlayerWalkSong(module, kRowsWalked, nullptr, nullptr);
  Play(module, size);
  FreeModule(module);
  return 0;
}
