// The silent "No Sound" device and the clock pacing it shares with the WAV
// file output.
#include <algorithm>
#include <chrono>
#include <cmath>

#include "music/clock_pacer.h"
#include "music/sound_output.h"
#include "platform/clock.h"

double DemoClockMs() {
  if (platform::ClockIsVirtual()) return platform::ClockVirtualMs();
  using std::chrono::steady_clock;
  static const steady_clock::time_point origin = steady_clock::now();
  return std::chrono::duration<double, std::milli>(steady_clock::now() - origin).count();
}

ClockPacer::ClockPacer(int rate_hz, MillisecondClock clock)
    : rate_hz_(rate_hz), clock_(clock), start_ms_(clock()) {}

int ClockPacer::FramesDue() {
  const double elapsed_ms = clock_() - start_ms_;
  // A clock set back (a virtual clock restarted) asks for nothing until it
  // passes the point already played.
  if (elapsed_ms <= 0) return 0;
  const auto due = static_cast<int64_t>(std::floor(elapsed_ms * rate_hz_ / 1000.0));
  return static_cast<int>(std::clamp<int64_t>(due - frames_taken_, 0, kMaxFramesPerAsk));
}

namespace {

class SilentOutput final : public SoundOutput {
 public:
  SilentOutput(const SoundFormat& format, MillisecondClock clock) : pacer_(format.rate_hz, clock) {}
  const char* Name() const override { return "No Sound"; }
  int FramesWanted() override { return pacer_.FramesDue(); }
  bool Write(const int16_t* /*samples*/, int frames, std::string* /*error*/) override {
    pacer_.Took(frames);
    return true;
  }
  bool Close(std::string* /*error*/) override { return true; }

 private:
  ClockPacer pacer_;
};

}  // namespace

std::unique_ptr<SoundOutput> OpenSilentOutput(const SoundFormat& format, MillisecondClock clock) {
  return std::make_unique<SilentOutput>(format, clock);
}
