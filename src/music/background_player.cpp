// The music system's playback thread (see background_player.h).
#include "music/background_player.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <system_error>
#include <thread>

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
