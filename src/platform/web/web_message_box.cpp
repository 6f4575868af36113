// Message boxes in the page: the text goes to standard error (the browser's
// console) and over the picture, where it stays until the page is reloaded.
#include <cstdio>

#include "platform/message_box.h"
#include "platform/web/web_page.h"

namespace platform {
namespace {

MessageBoxHook box_hook = nullptr;
bool dialogs_enabled = true;

}  // namespace

void MessageBoxA(void* /*owner*/, const char* text, const char* caption, unsigned /*style*/) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  if (box_hook != nullptr) {
    box_hook(text, caption);
    return;
  }
  if (dialogs_enabled) veyrith_page_message(text, caption);
}

void SetMessageBoxHook(MessageBoxHook hook) {
  box_hook = hook;
}

void SetMessageBoxDialogs(bool enabled) {
  dialogs_enabled = enabled;
}

}  // namespace platform
