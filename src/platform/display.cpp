#include "platform/display.h"

#include <SDL.h>

#include <atomic>
#include <mutex>

namespace platform {
namespace {

std::atomic<bool> headless_run{false};
std::once_flag video_once;
std::atomic<bool> video_ok{false};

}  // namespace

void SetHeadless(bool headless) {
  headless_run.store(headless);
}
bool IsHeadless() {
  return headless_run.load();
}

bool DisplayAvailable() {
  std::call_once(video_once, [] {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    video_ok.store(SDL_InitSubSystem(SDL_INIT_VIDEO) == 0);
  });
  return video_ok.load();
}

void ShutdownVideo() {
  if (video_ok.load()) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace platform
