// Running a capture: checking the output name and ffmpeg first, rendering the
// sound track, then the schedule on the virtual clock into the frame writer,
// and putting the finished output in place only when all of it succeeded.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "board/frame_sink.h"
#include "device/device.h"
#include "shell/capture.h"
#include "shell/capture_frames.h"
#include "shell/capture_progress.h"
#include "shell/capture_sound.h"
#include "shell/capture_video.h"
#include "shell/demo_program.h"
#include "shell/options.h"
#include "shell/run_modes.h"
#include "shell/shell_state.h"
#include "shell/timeline.h"

namespace {

constexpr int kExitInterrupted = 130;  // the shell's code for a Ctrl-C

void OnInterrupt(int /*signal*/) {
  CaptureInterrupted().store(1);
}

// SIGINT and SIGTERM set the flag instead of ending the process, so the
// capture can remove what it wrote; a broken pipe to ffmpeg becomes an
// error of the write instead of the end of the process.
class InterruptGuard {
 public:
  InterruptGuard() {
    CaptureInterrupted().store(0);
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &old_int_);
    sigaction(SIGTERM, &action, &old_term_);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &old_pipe_);
  }
  ~InterruptGuard() {
    sigaction(SIGINT, &old_int_, nullptr);
    sigaction(SIGTERM, &old_term_, nullptr);
    sigaction(SIGPIPE, &old_pipe_, nullptr);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction old_int_ = {};
  struct sigaction old_term_ = {};
  struct sigaction old_pipe_ = {};
};

// A private folder for the sound track of a video, removed with its content.
class TemporaryFolder {
 public:
  bool Create(std::string* error) {
    std::string pattern = (std::filesystem::temp_directory_path() / "veyrith-capture-XXXXXX");
    if (!mkdtemp(pattern.data())) {
      *error =
          "cannot create a temporary folder in " + std::filesystem::temp_directory_path().string();
      return false;
    }
    path_ = pattern;
    return true;
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct CapturePlan {
  CaptureKind kind;
  std::string path;
  uint32_t from_ms;
  uint32_t to_ms;
  double fps;
  int scale;
  long frames;
  CaptureSoundSettings sound;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "veyrith: capture failed: %s\n", message.c_str());
  return 1;
}

int Interrupted() {
  std::fprintf(stderr, "veyrith: capture interrupted; nothing was written\n");
  return kExitInterrupted;
}

bool CheckOutputPlace(const CapturePlan& plan, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code code;
  const fs::path target(plan.path);
  if (plan.kind == CaptureKind::kFrameFolder) {
    if (fs::exists(target, code) &&
        !(fs::is_directory(target, code) && fs::is_empty(target, code))) {
      *error = plan.path + " already exists and is not an empty folder; choose another name";
      return false;
    }
  } else if (fs::is_directory(target, code)) {
    *error = plan.path + " is a folder";
    return false;
  }
  const fs::path parent = fs::absolute(target, code).parent_path();
  if (!fs::is_directory(parent, code)) {
    *error = parent.string() + ": no such folder";
    return false;
  }
  return true;
}

// The screen the demo opens: its pictures are this size before enlarging.
DisplayMode CaptureMode() {
  return FindMode(Modes(), ModeCount(), 640, 480);
}

// Renders the schedule into the writer, which has begun. Returns the exit
// code; the writer is finished on success and abandoned otherwise.
int CapturePictures(const CapturePlan& plan, CaptureFrameWriter* writer, double* seconds) {
  const DisplayMode mode = CaptureMode();
  std::string error;
  // The capture renders its own sound track; nothing plays live meanwhile.
  EnterHeadless(HeadlessSound::kSilent);
  DemoStartMs = plan.from_ms;
  CaptureProgress progress(plan.frames, isatty(STDERR_FILENO) != 0);
  CaptureSink sink(writer, mode.width, mode.height, plan.scale, plan.frames, plan.fps, &progress);
  BoardSetFrameSink(&sink);
  const int code = RunDemoProgram();
  BoardSetFrameSink(nullptr);
  progress.Finish();
  *seconds = progress.ElapsedSeconds();
  if (code != 0) {
    writer->Abandon();
    return code;
  }
  if (CaptureInterrupted().load() != 0) {
    writer->Abandon();
    return Interrupted();
  }
  if (sink.failed() || sink.frames_done() != plan.frames) {
    writer->Abandon();
    return Fail(sink.failed() ? sink.error()
                              : "the demo ended after " + std::to_string(sink.frames_done()) +
                                    " of " + std::to_string(plan.frames) + " frames");
  }
  if (!writer->Finish(&error)) return Fail(error);
  return 0;
}

bool WriteSound(const CapturePlan& plan, const std::string& wav_path, std::string* error) {
  std::string warning;
  const bool written =
      WriteCaptureSound(plan.sound, wav_path, &CaptureInterrupted(), &warning, error);
  if (!warning.empty()) std::fprintf(stderr, "veyrith: %s\n", warning.c_str());
  return written;
}

void Summarise(const CapturePlan& plan, double seconds) {
  const double length = static_cast<double>(plan.to_ms - plan.from_ms) / 1000.0;
  if (plan.kind == CaptureKind::kSoundOnly) {
    std::fprintf(stderr, "veyrith: wrote %.3f s of music (%d Hz, %s) to %s in %.1f s\n",
                 static_cast<double>(plan.sound.frames) / plan.sound.rate_hz, plan.sound.rate_hz,
                 plan.sound.channels == 2 ? "stereo" : "mono", plan.path.c_str(), seconds);
    return;
  }
  std::fprintf(stderr,
               "veyrith: captured %ld frames (%.3f s to %.3f s of the demo, %.3f s at %g fps, "
               "%dx%d) with the music to %s in %.1f s (%.0f frames per second)\n",
               plan.frames, plan.from_ms / 1000.0, plan.to_ms / 1000.0, length, plan.fps,
               CaptureMode().width * plan.scale, CaptureMode().height * plan.scale,
               plan.path.c_str(), seconds, seconds > 0 ? plan.frames / seconds : 0.0);
}

int RunPlan(const CapturePlan& plan) {
  std::string error;
  if (plan.kind == CaptureKind::kSoundOnly) {
    const auto begin = std::chrono::steady_clock::now();
    if (!WriteSound(plan, plan.path, &error)) {
      return CaptureInterrupted().load() ? Interrupted() : Fail(error);
    }
    Summarise(plan,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    return 0;
  }
  double seconds = 0.0;
  int code;
  const int width = CaptureMode().width * plan.scale;
  const int height = CaptureMode().height * plan.scale;
  if (plan.kind == CaptureKind::kFrameFolder) {
    PngFolderWriter writer(plan.path);
    // The music goes into the folder while it is being built.
    if (!writer.Begin(width, height, &error)) return Fail(error);
    if (!WriteSound(plan, writer.partial_folder() + "/music.wav", &error)) {
      writer.Abandon();
      return CaptureInterrupted().load() ? Interrupted() : Fail(error);
    }
    code = CapturePictures(plan, &writer, &seconds);
  } else {
    VideoSettings video;
    video.ffmpeg = FindFfmpeg();
    video.path = plan.path;
    video.container =
        plan.kind == CaptureKind::kVideoMp4 ? VideoContainer::kMp4 : VideoContainer::kMatroska;
    video.fps = plan.fps;
    TemporaryFolder temporary;
    if (!temporary.Create(&error)) return Fail(error);
    video.sound_path = temporary.path() + "/music.wav";
    if (!WriteSound(plan, video.sound_path, &error)) {
      return CaptureInterrupted().load() ? Interrupted() : Fail(error);
    }
    FfmpegVideoWriter writer(video);
    if (!writer.Begin(width, height, &error)) return Fail(error);
    code = CapturePictures(plan, &writer, &seconds);
  }
  if (code == 0) Summarise(plan, seconds);
  return code;
}

}  // namespace

int RunCapture(const ShellOptions& options) {
  CapturePlan plan;
  plan.path = options.capture_path;
  plan.kind = CaptureKindOf(plan.path);
  if (plan.kind == CaptureKind::kUnknown) {
    return Fail(plan.path +
                ": the name must end in .mp4 or .mkv (a video), .wav (the music alone), or "
                "have no extension (a folder of PNG frames and music.wav)");
  }
  // "frames/" names the folder "frames".
  while (plan.path.size() > 1 && plan.path.back() == '/') plan.path.pop_back();
  std::string error;
  if (!CheckOutputPlace(plan, &error)) return Fail(error);
  if ((plan.kind == CaptureKind::kVideoMp4 || plan.kind == CaptureKind::kVideoMatroska) &&
      FindFfmpeg().empty()) {
    return Fail(
        "a video needs ffmpeg, which was not found on PATH. Install it (sudo apt-get install "
        "ffmpeg), or capture a folder of PNG frames instead (--capture FOLDER)");
  }
  const double end_seconds = Timeline[kTimelineRows - 1].start;
  plan.from_ms = static_cast<uint32_t>(std::llround(options.from_seconds * 1000.0));
  plan.to_ms = static_cast<uint32_t>(
      std::llround((options.to_given ? options.to_seconds : end_seconds) * 1000.0));
  plan.fps = options.fps;
  plan.scale = options.scale;
  plan.frames = CaptureFrameCount(plan.from_ms, plan.to_ms, plan.fps);
  if (plan.frames <= 0) return Fail("--from must come before --to");
  plan.sound = CaptureSoundFromMusicOptions();
  plan.sound.start_seconds = plan.from_ms / 1000.0;
  // Sound and pictures end together; the music alone lasts from --from to --to.
  plan.sound.frames = plan.kind == CaptureKind::kSoundOnly
                          ? std::llround((plan.to_ms - plan.from_ms) / 1000.0 * plan.sound.rate_hz)
                          : CaptureSoundFrames(plan.frames, plan.fps, plan.sound.rate_hz);

  InterruptGuard guard;
  return RunPlan(plan);
}
