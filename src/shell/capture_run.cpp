// Running a capture: checking the output name and ffmpeg first, then the
// schedule on the virtual clock into the frame queue while the sound track
// is rendered alongside, and putting the finished output in place only when
// all of it succeeded.
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
#include "shell/capture_queue.h"
#include "shell/capture_sound.h"
#include "shell/capture_video.h"
#include "shell/demo_program.h"
#include "shell/options.h"
#include "shell/run_modes.h"
#include "shell/shell_state.h"
#include "shell/timeline.h"

namespace {

void OnInterrupt(int signal) {
  CaptureInterrupted().store(signal);
}

// SIGINT and SIGTERM set the flag instead of ending the process, so the
// capture can remove what it wrote. A broken pipe to ffmpeg, and a file
// that outgrows the size limit (ulimit -f), become errors of the write
// instead of the end of the process.
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
    sigaction(SIGXFSZ, &ignore, &old_file_size_);
  }
  ~InterruptGuard() {
    sigaction(SIGINT, &old_int_, nullptr);
    sigaction(SIGTERM, &old_term_, nullptr);
    sigaction(SIGPIPE, &old_pipe_, nullptr);
    sigaction(SIGXFSZ, &old_file_size_, nullptr);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction old_int_ = {};
  struct sigaction old_term_ = {};
  struct sigaction old_pipe_ = {};
  struct sigaction old_file_size_ = {};
};

struct CapturePlan {
  CaptureKind kind;
  std::string path;
  uint32_t from_ms;
  uint32_t to_ms;
  double fps;
  int scale;
  long frames;
  VideoQuality quality;
  CaptureSoundSettings sound;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "veyrith: capture failed: %s\n", message.c_str());
  return 1;
}

// The shell's code for a process ended by the signal: 130 for a Ctrl-C,
// 143 for SIGTERM.
int Interrupted() {
  std::fprintf(stderr, "veyrith: capture interrupted; nothing was written\n");
  return 128 + CaptureInterrupted().load();
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

// The screen the demo opens (--resolution decides its size): its pictures
// are this size before enlarging.
DisplayMode CaptureMode() {
  return DeviceScreenFor(FindMode(Modes(), ModeCount(), 640, 480));
}

// Renders the schedule into the writer, which has begun, while sound (which
// may be empty) renders the sound track on a thread of its own; it stops
// when *stop_sound becomes nonzero and returns false with the reason on a
// failure. Returns the exit code; the writer is finished on success and
// abandoned otherwise.
int CapturePictures(const CapturePlan& plan, CaptureFrameWriter* writer, CaptureTask::Work sound,
                    std::atomic<int>* stop_sound, double* seconds) {
  const DisplayMode mode = CaptureMode();
  const size_t frame_bytes =
      CapturePictureBytes(writer->pixels(), mode.width * plan.scale, mode.height * plan.scale);
  std::string error;
  CaptureFrameQueue queue(writer, frame_bytes, 4, &CaptureInterrupted());
  if (!queue.Start(&error)) {
    writer->Abandon();
    return Fail(error);
  }
  CaptureTask sound_task;
  if (sound) {
    // A failed sound track fails the capture: the pictures stop at once.
    const CaptureTask::Work work = [&sound, &queue](std::string* reason) {
      const bool done = sound(reason);
      if (!done) queue.Fail(*reason);
      return done;
    };
    if (!sound_task.Start(work)) {
      queue.Cancel();
      writer->Abandon();
      return Fail("cannot start the thread that renders the sound");
    }
  }
  // The capture renders its own sound track; nothing plays live meanwhile.
  EnterHeadless(HeadlessSound::kSilent);
  DemoStartMs = plan.from_ms;
  CaptureProgress progress(plan.frames, isatty(STDERR_FILENO) != 0);
  CaptureSink sink(&queue, writer->pixels(), mode.width, mode.height, plan.scale, plan.frames,
                   plan.fps, &progress);
  BoardSetFrameSink(&sink);
  const int code = RunDemoProgram();
  BoardSetFrameSink(nullptr);
  progress.Finish();

  bool complete = code == 0 && CaptureInterrupted().load() == 0 && !sink.failed() &&
                  sink.frames_done() == plan.frames;
  if (complete) {
    complete = queue.Drain(&error);
    writer->EndPictures();
  }
  if (!complete) {
    queue.Cancel();
    stop_sound->store(1);
  }
  std::string sound_error;
  if (sound && !sound_task.Wait(&sound_error) && complete) {
    complete = false;
    error = sound_error;
  }
  *seconds = progress.ElapsedSeconds();
  if (!complete) {
    writer->Abandon();
    if (code != 0) return code;
    if (CaptureInterrupted().load() != 0) return Interrupted();
    if (sink.failed()) return Fail(sink.error());
    if (sink.frames_done() != plan.frames) {
      return Fail("the demo ended after " + std::to_string(sink.frames_done()) + " of " +
                  std::to_string(plan.frames) + " frames");
    }
    return Fail(error);
  }
  if (!writer->Finish(&error)) return Fail(error);
  *seconds = progress.ElapsedSeconds();
  return 0;
}

void PrintWarning(const std::string& warning) {
  if (!warning.empty()) std::fprintf(stderr, "veyrith: %s\n", warning.c_str());
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
  std::string error, warning;
  double seconds = 0.0;
  if (plan.kind == CaptureKind::kSoundOnly) {
    const auto begin = std::chrono::steady_clock::now();
    const bool written =
        WriteCaptureSound(plan.sound, plan.path, &CaptureInterrupted(), &warning, &error);
    PrintWarning(warning);
    if (!written) return CaptureInterrupted().load() ? Interrupted() : Fail(error);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    Summarise(plan, seconds);
    return 0;
  }
  const int width = CaptureMode().width * plan.scale;
  const int height = CaptureMode().height * plan.scale;
  std::atomic<int> stop_sound{0};
  int code;
  if (plan.kind == CaptureKind::kFrameFolder) {
    PngFolderWriter writer(plan.path);
    if (!writer.Begin(width, height, &error)) return Fail(error);
    // The music goes into the folder while it is being built.
    const std::string wav_path = writer.partial_folder() + "/music.wav";
    code = CapturePictures(
        plan, &writer,
        [&](std::string* reason) {
          return WriteCaptureSound(plan.sound, wav_path, &stop_sound, &warning, reason);
        },
        &stop_sound, &seconds);
  } else {
    VideoSettings video;
    video.ffmpeg = FindFfmpeg();
    video.path = plan.path;
    video.container =
        plan.kind == CaptureKind::kVideoMp4 ? VideoContainer::kMp4 : VideoContainer::kMatroska;
    video.fps = plan.fps;
    video.quality = plan.quality;
    video.sound_channels = plan.sound.channels;
    video.sound_rate_hz = plan.sound.rate_hz;
    FfmpegVideoWriter writer(video);
    if (!writer.Begin(width, height, &error)) return Fail(error);
    const CaptureSoundOutput to_ffmpeg = [&writer](const int16_t* samples, int frames,
                                                   std::string* reason) {
      return writer.WriteSound(samples, frames, reason);
    };
    code = CapturePictures(
        plan, &writer,
        [&](std::string* reason) {
          const bool done =
              RenderCaptureSound(plan.sound, &stop_sound, to_ffmpeg, &warning, reason);
          // The end of the sound's pipe tells ffmpeg the track is complete.
          writer.EndSound();
          return done;
        },
        &stop_sound, &seconds);
  }
  PrintWarning(warning);
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
  plan.quality = options.video_quality;
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
