// The music system's playback thread (see background_player.h).
#include "music/background_player.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

#include "music/music_errors.h"

namespace {

// Frames mixed per step: the mix buffer lives on the thread's stack.
constexpr int kChunkFrames = 1024;

}  // namespace

void MusicFatalError(const char* text) {
  std::fputs(text, stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  // The other threads may be anywhere; running static destructors under
  // them is not safe, so the process ends at once.
  std::_Exit(255);
}

uint32_t BackgroundPlayer::PollPeriodMs(uint32_t rate) {
  if (rate == 0) return 20;
  const uint32_t period = (1000 / rate) / 2;
  return period == 0 ? 1 : period;
}

void BackgroundPlayer::SetOutput(SoundOutput* output) {
  output_ = output;
  if (output_ != fallback_.get()) fallback_.reset();
}

void BackgroundPlayer::SetSilentFallback(const SoundFormat& format, MillisecondClock clock) {
  fallback_format_ = format;
  fallback_clock_ = clock;
}

bool BackgroundPlayer::FallSilent(const std::string& error) {
  if (!output_->MayFallSilent() || !fallback_format_) return false;
  // A card that is unplugged or whose server went away: the picture does
  // not need the sound, so the demo goes on without it.
  std::fprintf(stderr, "Music system: %s: %s; playing on without sound\n", output_->Name(),
               error.c_str());
  fallback_ = OpenSilentOutput(*fallback_format_, fallback_clock_);
  output_ = fallback_.get();
  return true;
}

void BackgroundPlayer::SetRender(RenderFunction render, void* context) {
  render_ = render;
  render_context_ = context;
}

void BackgroundPlayer::Start(uint32_t rate) {
  poll_period_ms_.store(PollPeriodMs(rate));
  if (running_.load()) return;
  stop_requested_.store(false);
  running_.store(true);
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error& failure) {
    running_.store(false);
    MusicFatalError(
        (std::string("Music system: cannot create the playback thread: ") + failure.what())
            .c_str());
  }
}

void BackgroundPlayer::Stop() {
  if (!thread_.joinable()) return;
  stop_requested_.store(true);
  const auto half_period = std::chrono::milliseconds(std::max<uint32_t>(1, poll_period_ms_ / 2));
  while (running_.load()) std::this_thread::sleep_for(half_period);
  thread_.join();
}

void BackgroundPlayer::FillOutput() {
  if (output_ == nullptr || render_ == nullptr) return;
  int16_t mix[kChunkFrames * 2];  // room for stereo
  int wanted = output_->FramesWanted();
  while (wanted > 0) {
    const int frames = std::min(wanted, kChunkFrames);
    const int code = render_(mix, frames, render_context_);
    if (code != kMusicOk) {
      MusicFatalError((std::string("Music system: ") + MusicErrorText(code)).c_str());
    }
    std::string error;
    if (!output_->Write(mix, frames, &error)) {
      if (FallSilent(error)) return;
      MusicFatalError((std::string("Music system: ") + output_->Name() + ": " + error).c_str());
    }
    wanted -= frames;
  }
}

void BackgroundPlayer::Run() {
  while (!stop_requested_.load()) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      FillOutput();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(poll_period_ms_.load()));
  }
  running_.store(false);
}
