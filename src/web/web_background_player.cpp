// The music system's playback "thread" in the page: the page has one thread,
// so the player is driven by the browser's audio callback, which asks for
// each block of sound as it needs it (see web_audio.h). The filling itself is
// the native player's: ask the output what it wants, mix, hand it over.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "music/background_player.h"
#include "music/music_errors.h"
#include "web/web_audio.h"

namespace {

// Frames mixed per step.
constexpr int kChunkFrames = 1024;

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

void MusicFatalError(const char* text) {
  std::fputs(text, stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
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
  running_.store(true);
  SetWebAudioPlayer(this);
}

void BackgroundPlayer::Stop() {
  if (!running_.load()) return;
  running_.store(false);
  if (active_player == this) SetWebAudioPlayer(nullptr);
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

void BackgroundPlayer::Run() {}
