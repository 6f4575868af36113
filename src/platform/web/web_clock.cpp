// The demo clock of the browser: the page's audio clock (see web_page.h),
// with the same virtual clock as the native platform for runs that step it.
#include <cmath>

#include "platform/clock.h"
#include "platform/web/web_page.h"

namespace platform {
namespace {

struct ClockState {
  bool use_virtual = false;
  double virtual_ms = 0.0;
};

// The page runs on one thread: no atomics are needed here.
ClockState& State() {
  static ClockState state;
  return state;
}

uint32_t Wrap(double ms) {
  return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(ms)));
}

}  // namespace

uint32_t GetTickCount() {
  const ClockState& s = State();
  if (s.use_virtual) return Wrap(std::llround(s.virtual_ms));
  return Wrap(std::floor(veyrith_page_clock_ms()));
}

void ClockUseVirtual(bool use_virtual) {
  State().use_virtual = use_virtual;
}
bool ClockIsVirtual() {
  return State().use_virtual;
}
void ClockSetVirtualMs(double time_ms) {
  State().virtual_ms = time_ms;
}
void ClockAdvanceVirtualMs(double delta_ms) {
  State().virtual_ms += delta_ms;
}
double ClockVirtualMs() {
  return State().virtual_ms;
}

// Nothing may block the browser's only thread; sleeping is waiting for the
// next frame.
void SleepMs(uint32_t /*ms*/) {
  veyrith_page_wait_frame();
}

}  // namespace platform
