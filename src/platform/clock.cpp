// Wall clock from std::chrono::steady_clock; virtual clock in a double of
// milliseconds guarded by an atomic so the demo thread and the main thread
// may read it while another thread advances it.
#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace platform {
namespace {

struct ClockState {
  std::atomic<bool> use_virtual{false};
  std::atomic<double> virtual_ms{0.0};
  std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();
};

ClockState& State() {
  static ClockState state;
  return state;
}

}  // namespace

uint32_t GetTickCount() {
  ClockState& s = State();
  if (s.use_virtual.load(std::memory_order_acquire)) {
    const double ms = std::llround(s.virtual_ms.load(std::memory_order_acquire));
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(ms)));
  }
  const auto elapsed = std::chrono::steady_clock::now() - s.origin;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
  return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

void ClockUseVirtual(bool use_virtual) {
  State().use_virtual.store(use_virtual);
}
bool ClockIsVirtual() {
  return State().use_virtual.load();
}
void ClockSetVirtualMs(double time_ms) {
  State().virtual_ms.store(time_ms);
}

void ClockAdvanceVirtualMs(double delta_ms) {
  std::atomic<double>& v = State().virtual_ms;
  double old = v.load();
  while (!v.compare_exchange_weak(old, old + delta_ms)) {
  }
}

double ClockVirtualMs() {
  return State().virtual_ms.load();
}

void SleepMs(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace platform
