// The music system's playback "thread" in the page: the page has one thread,
// so the player is driven by the browser's audio callback, which asks for
// each block of sound as it needs it (see web_audio.h). The filling itself is
// the native player's (background_player_output.cpp).
#include <mutex>

#include "music/background_player.h"
#include "web/web_audio.h"

namespace {

BackgroundPlayer* active_player = nullptr;

}  // namespace

void SetWebAudioPlayer(BackgroundPlayer* player) {
  active_player = player;
}

void PumpWebAudioPlayer() {
  if (active_player == nullptr) return;
  std::lock_guard<std::mutex> hold(active_player->Lock());
  active_player->FillOutput();
}

void BackgroundPlayer::Start(uint32_t rate) {
  poll_period_ms_.store(PollPeriodMs(rate));
  running_.store(true);
  SetWebAudioPlayer(this);
}

void BackgroundPlayer::Stop() {
  if (!running_.load()) return;
  running_.store(false);
  if (active_player == this) SetWebAudioPlayer(nullptr);
}

void BackgroundPlayer::Run() {}
