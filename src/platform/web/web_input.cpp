// The page's key and click handlers: any key, or a click on the picture,
// reaches the main window as a key press, as in the native program.
#include <emscripten/emscripten.h>

#include "platform/messages.h"

extern "C" EMSCRIPTEN_KEEPALIVE void veyrith_key_pressed() {
  platform::DispatchMessage(platform::Message{platform::kWmKeyDown, 0, 0});
}
