// The capture's progress line (see capture_progress.h).
#include "shell/capture_progress.h"

#include <algorithm>

namespace {

constexpr int kBarCells = 30;

std::string Clock(double seconds) {
  const long whole = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

}  // namespace

CaptureProgress::CaptureProgress(long total_frames, bool enabled, std::FILE* out)
    : total_(std::max(1L, total_frames)),
      enabled_(enabled),
      out_(out),
      start_(std::chrono::steady_clock::now()),
      last_draw_(start_) {}

double CaptureProgress::ElapsedSeconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

std::string CaptureProgress::Line(long frames_done, long total_frames, double elapsed_seconds) {
  total_frames = std::max(1L, total_frames);
  frames_done = std::clamp(frames_done, 0L, total_frames);
  const int filled = static_cast<int>(frames_done * kBarCells / total_frames);
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kBarCells - filled), '.');
  const double fps = elapsed_seconds > 0 ? frames_done / elapsed_seconds : 0.0;
  const std::string left =
      fps > 0 ? Clock(static_cast<double>(total_frames - frames_done) / fps) : "?:??";
  char text[160];
  std::snprintf(text, sizeof text, "[%s] %ld/%ld frames  %.0f fps  %s left", bar.c_str(),
                frames_done, total_frames, fps, left.c_str());
  return text;
}

void CaptureProgress::Update(long frames_done) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (frames_done < total_ && drawn_ && now - last_draw_ < std::chrono::milliseconds(200)) return;
  last_draw_ = now;
  drawn_ = true;
  std::fprintf(out_, "\r%s\x1b[K", Line(frames_done, total_, ElapsedSeconds()).c_str());
  std::fflush(out_);
}

void CaptureProgress::Finish() {
  if (!enabled_ || !drawn_) return;
  std::fprintf(out_, "\r\x1b[K");
  std::fflush(out_);
  drawn_ = false;
}
