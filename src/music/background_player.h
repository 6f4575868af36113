// The music system's own playback thread. Every poll period it asks the
// sound output how many frames it wants, has them rendered (the mixer mixes
// and ticks the player at the tick spacing) and hands them to the output,
// all inside the music system's one critical section.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "music/sound_output.h"

// Renders frames into out (frames × channels samples). Returns a music
// error code; a non-zero code is fatal for the music system.
using RenderFunction = int (*)(int16_t* out, int frames, void* context);

class BackgroundPlayer {
 public:
  // The poll period for the rate given to MusicStartBackgroundPlay: 20 ms
  // for 0, else (1000 / rate) / 2 ms, at least 1 ms so a high rate cannot
  // turn the thread into a busy loop.
  static uint32_t PollPeriodMs(uint32_t rate);

  BackgroundPlayer() = default;
  ~BackgroundPlayer() { Stop(); }
  BackgroundPlayer(const BackgroundPlayer&) = delete;
  BackgroundPlayer& operator=(const BackgroundPlayer&) = delete;

  // The output and the render function may change while the thread runs,
  // under Lock(). A null output or render function lets the thread idle.
  void SetOutput(SoundOutput* output);
  // When an output that may fall silent (the sound card) fails during play,
  // the song plays on through a silent output of this format, opened then
  // and paced by the clock, after one line on standard error. Without it,
  // or for any other output, a failed output is a fatal error.
  void SetSilentFallback(const SoundFormat& format, MillisecondClock clock = DemoClockMs);
  void SetRender(RenderFunction render, void* context);

  // Starts the thread; a thread that cannot be created is a fatal error.
  // Starting a running player only changes its poll period.
  void Start(uint32_t rate);
  // Asks the thread to end and waits for it, checking every half period.
  void Stop();
  bool Running() const { return running_.load(); }

  // The music system's critical section, held around every use of the
  // player and the mixer.
  std::mutex& Lock() { return lock_; }

  // One pass of the thread's loop, exposed so tests can step it: fills what
  // the output wants. Call with Lock() held.
  void FillOutput();

 private:
  void Run();

  std::mutex lock_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stop_requested_{false};
  std::atomic<uint32_t> poll_period_ms_{20};
  // Replaces a failed sound card by the silent fallback; false when there
  // is none for it.
  bool FallSilent(const std::string& error);

  SoundOutput* output_ = nullptr;
  std::optional<SoundFormat> fallback_format_;
  MillisecondClock fallback_clock_ = DemoClockMs;
  std::unique_ptr<SoundOutput> fallback_;  // open once the card has failed
  RenderFunction render_ = nullptr;
  void* render_context_ = nullptr;
};

// Writes text and a line feed to standard error and ends the process with
// exit code 255: the music system cannot go on.
[[noreturn]] void MusicFatalError(const char* text);
