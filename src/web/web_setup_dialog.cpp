// The page's start screen takes the setup dialog's place (it chooses the
// sound quality before the program starts), so the dialog is never shown.
#include "music/setup_dialog.h"

SetupDialogResult RunSetupDialog(MusicSettings* /*settings*/, std::string* reason) {
  *reason = "the page's start screen chooses the sound settings";
  return SetupDialogResult::kCannotShow;
}
