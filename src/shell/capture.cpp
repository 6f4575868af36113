// The capture's naming rules, frame arithmetic and frame sink (see capture.h).
#include "shell/capture.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>

#include "platform/clock.h"
#include "shell/capture_frames.h"
#include "shell/capture_progress.h"
#include "shell/capture_queue.h"
#include "shell/shell_state.h"

CaptureKind CaptureKindOf(const std::string& path) {
  if (path.empty()) return CaptureKind::kUnknown;
  if (path.back() == '/') return CaptureKind::kFrameFolder;
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension.empty()) return CaptureKind::kFrameFolder;
  if (extension == ".mp4") return CaptureKind::kVideoMp4;
  if (extension == ".mkv") return CaptureKind::kVideoMatroska;
  if (extension == ".wav") return CaptureKind::kSoundOnly;
  return CaptureKind::kUnknown;
}

long CaptureFrameCount(uint32_t from_ms, uint32_t to_ms, double fps) {
  if (to_ms <= from_ms || !(fps > 0)) return 0;
  // The tolerance keeps a whole count (218 s at 60 fps is 13080 frames)
  // from growing by one through rounding.
  const double exact = static_cast<double>(to_ms - from_ms) * fps / 1000.0;
  return static_cast<long>(std::ceil(exact - 1e-6));
}

int64_t CaptureSoundFrames(long frame_count, double fps, int rate_hz) {
  return static_cast<int64_t>(std::llround(static_cast<double>(frame_count) * rate_hz / fps));
}

std::atomic<int>& CaptureInterrupted() {
  static std::atomic<int> interrupted{0};
  return interrupted;
}

CaptureSink::CaptureSink(CaptureFrameQueue* queue, CapturePixels pixels, int width, int height,
                         int scale, long total_frames, double fps, CaptureProgress* progress)
    : queue_(queue),
      pixels_(pixels),
      width_(width),
      height_(height),
      scale_(scale),
      total_frames_(total_frames),
      fps_(fps),
      progress_(progress) {}

bool CaptureSink::Open(int width, int height) {
  return width == width_ && height == height_;
}

void CaptureSink::Stop() {
  stopped_ = true;
  DemoRunning.store(0);
}

void CaptureSink::Swapped(int interval) {
  // Only frames shown at the retrace count; the blanking swap in between is
  // not a frame of the film.
  if (interval < 1 || stopped_) return;
  if (CaptureInterrupted().load() != 0) {
    Stop();
    return;
  }
  ++frames_swapped_;
  // Frame k is drawn at k x 1000 / fps ms of the virtual clock, computed
  // afresh each time so no rounding accumulates over a long capture.
  platform::ClockSetVirtualMs(static_cast<double>(frames_swapped_) * 1000.0 / fps_);
  if (frames_swapped_ >= total_frames_) Stop();
}

void CaptureSink::Present(const uint16_t* pixels, int width, int height, int stride_pixels,
                          int interval) {
  // Each frame swapped for the film comes here once, in order; nothing is
  // queued after a failure.
  if (interval < 1 || frames_done_ >= frames_swapped_ || failed()) return;
  if (width != width_ || height != height_) {
    error_ = "the screen changed size during the capture";
    Stop();
    return;
  }
  uint8_t* picture = queue_->NextBuffer();
  if (!picture) {
    if (CaptureInterrupted().load() == 0) error_ = queue_->error();
    Stop();
    return;
  }
  if (pixels_ == CapturePixels::kYuv420) {
    ConvertFrameToYuv420(pixels, width, height, stride_pixels, scale_, picture);
  } else {
    ConvertFrameToRgb(pixels, width, height, stride_pixels, scale_, picture);
  }
  queue_->Push();
  ++frames_done_;
  if (progress_) progress_->Update(frames_done_);
}
