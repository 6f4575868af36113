// Capturing the demo: the whole schedule, or a part of it, rendered on the
// virtual clock at a fixed frame rate and written as a video with its music
// (through ffmpeg), as a folder of numbered PNG frames with music.wav, or as
// the music alone. Frame k shows demo time start + k / fps (on the demo's
// millisecond clock), and the music's sample n sounds at start + n / rate,
// so picture and sound line up exactly.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "board/frame_sink.h"
#include "shell/capture_frames.h"

class CaptureFrameQueue;
class CaptureProgress;
struct ShellOptions;

// What the capture's file name asks for.
enum class CaptureKind {
  kVideoMp4,       // name.mp4
  kVideoMatroska,  // name.mkv
  kFrameFolder,    // a name without extension (or ending in '/'): PNG frames + music.wav
  kSoundOnly,      // name.wav
  kUnknown,        // another extension
};
CaptureKind CaptureKindOf(const std::string& path);

// Frames k >= 0 whose time from_ms + k x 1000 / fps lies before to_ms.
long CaptureFrameCount(uint32_t from_ms, uint32_t to_ms, double fps);
// Sample frames that last exactly as long as frame_count pictures.
int64_t CaptureSoundFrames(long frame_count, double fps, int rate_hz);

// The signal (SIGINT or SIGTERM) that arrived while a capture ran, 0 while
// none did; the capture then stops at the next frame and removes what it
// wrote.
std::atomic<int>& CaptureInterrupted();

// The board's frame sink during a capture: every swap at the retrace moves
// the virtual clock to the next frame's time, and the frame, once drawn, is
// enlarged into the queue's next buffer and queued for the writer. Frames
// are taken late, so drawing threads draw one while the next is evaluated.
// At the last frame's swap, on a failure or on an interrupt it stops the
// demo (DemoRunning = 0).
class CaptureSink final : public FrameSink {
 public:
  CaptureSink(CaptureFrameQueue* queue, CapturePixels pixels, int width, int height, int scale,
              long total_frames, double fps, CaptureProgress* progress);
  bool Open(int width, int height) override;
  void Swapped(int interval) override;
  void Present(const uint16_t* pixels, int width, int height, int stride_pixels,
               int interval) override;
  void Close() override {}
  bool AcceptsLateFrames() const override { return true; }

  long frames_done() const { return frames_done_; }
  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }

 private:
  void Stop();

  CaptureFrameQueue* queue_;
  CapturePixels pixels_;
  int width_;
  int height_;
  int scale_;
  long total_frames_;
  double fps_;
  CaptureProgress* progress_;
  long frames_swapped_ = 0;  // frames of the film swapped so far
  long frames_done_ = 0;     // of those, queued for the writer
  bool stopped_ = false;
  std::string error_;
};

// Runs the capture the options ask for; returns the exit code (0 when the
// output is complete, 1 after a failure, 128 + the signal after an
// interrupt: 130 for SIGINT, 143 for SIGTERM).
int RunCapture(const ShellOptions& options);
