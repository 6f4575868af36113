// The page's canvas is always there: a web run is never headless.
#include "platform/display.h"

namespace platform {
namespace {

bool headless_run = false;

}  // namespace

void SetHeadless(bool headless) {
  headless_run = headless;
}
bool IsHeadless() {
  return headless_run;
}
bool DisplayAvailable() {
  return true;
}
void ShutdownVideo() {}

}  // namespace platform
