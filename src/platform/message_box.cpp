#include "platform/message_box.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>

#include "platform/display.h"

namespace platform {
namespace {

std::atomic<MessageBoxHook> hook_function{nullptr};
std::atomic<bool> dialogs_enabled{true};

}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
  hook_function.store(hook);
}
void SetMessageBoxDialogs(bool enabled) {
  dialogs_enabled.store(enabled);
}

void MessageBoxA(void* /*owner*/, const char* text, const char* caption, unsigned /*style*/) {
  const char* shown_text = text ? text : "";
  const char* shown_caption = caption ? caption : "";
  std::fprintf(stderr, "%s: %s%s", shown_caption, shown_text,
               (*shown_text && shown_text[std::char_traits<char>::length(shown_text) - 1] == '\n')
                   ? ""
                   : "\n");
  if (MessageBoxHook hook = hook_function.load()) {
    hook(shown_text, shown_caption);
    return;
  }
  if (!dialogs_enabled.load() || IsHeadless() || !DisplayAvailable()) return;
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, shown_caption, shown_text, nullptr);
}

}  // namespace platform
