// What the music system's playback loop does on each step, whether a thread
// of its own drives it (background_player.cpp) or a web page's audio
// callback: ask the output what it wants, mix, hand it over, and give way to
// silence when the sound card goes away.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "music/background_player.h"
#include "music/music_errors.h"

namespace {

// Frames mixed per step: the mix buffer lives on the caller's stack.
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
