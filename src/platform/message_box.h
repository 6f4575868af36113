// Message boxes: the one way the demo tells the user that something failed.
// The text is always written to standard error as well, so headless runs and
// terminals see it; a dialog is shown only when a display is there.
#pragma once

#include <string>

namespace platform {

constexpr unsigned kMbTaskModal = 0x2000;

// Shows text with the caption, waits for the user when it is a dialog.
void MessageBoxA(void* owner, const char* text, const char* caption, unsigned style);

// Tests replace the dialog to see what would have been shown; null restores it.
using MessageBoxHook = void (*)(const std::string& text, const std::string& caption);
void SetMessageBoxHook(MessageBoxHook hook);

// False suppresses the dialog (only standard error is written): headless runs.
void SetMessageBoxDialogs(bool enabled);

}  // namespace platform
