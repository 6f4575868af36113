// The ffmpeg child process of video captures (see capture_video.h).
#include "shell/capture_video.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

extern char** environ;

namespace {

bool IsExecutable(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string FormatFps(double fps) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", fps);
  return text;
}

// x264's settings for each choice, measured on 24 s of the demo's scenes,
// title and scroller at 640x480 (PSNR and SSIM of the decoded luma against
// the same pictures in yuv420p, CPU time of the encoder alone):
//   fast      ultrafast crf 16: 45.4 dB, SSIM 0.980,  4.1 s, 8.6 Mbit/s
//   balanced  superfast crf 16: 45.3 dB, SSIM 0.984,  7.4 s, 5.6 Mbit/s
//   best      medium    crf 12: 46.3 dB, SSIM 0.987, 26 s,   5.0 Mbit/s
// fast is the default: a whole capture on two cores then takes under a
// quarter of the demo's running time. The former setting, fast crf 16, gave
// 43.8 dB and SSIM 0.978 in 19 s: on the dithered 16-bit pictures the slower
// presets' psychovisual tuning spends time and bits smoothing what a viewer
// sees as texture. yuv420p keeps every player able to show the video.
struct EncoderChoice {
  const char* preset;
  const char* crf;
};

EncoderChoice EncoderFor(VideoQuality quality) {
  switch (quality) {
    case VideoQuality::kFast:
      return {"ultrafast", "16"};
    case VideoQuality::kBest:
      return {"medium", "12"};
    case VideoQuality::kBalanced:
      break;
  }
  return {"superfast", "16"};
}

}  // namespace

bool ParseVideoQuality(const char* name, VideoQuality* quality) {
  const std::string word = name ? name : "";
  if (word == "fast") {
    *quality = VideoQuality::kFast;
  } else if (word == "balanced") {
    *quality = VideoQuality::kBalanced;
  } else if (word == "best") {
    *quality = VideoQuality::kBest;
  } else {
    return false;
  }
  return true;
}

std::string FindFfmpeg() {
  if (const char* chosen = std::getenv("VEYRITH_FFMPEG"); chosen && *chosen) {
    return IsExecutable(chosen) ? std::string(chosen) : std::string();
  }
  const char* path = std::getenv("PATH");
  if (!path) return {};
  std::stringstream folders(path);
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (folder.empty()) continue;
    const std::string candidate = folder + "/ffmpeg";
    if (IsExecutable(candidate)) return candidate;
  }
  return {};
}

std::vector<std::string> FfmpegArguments(const VideoSettings& settings, int width, int height,
                                         const std::string& output_path) {
  const bool mp4 = settings.container == VideoContainer::kMp4;
  // -xerror: a write that fails (a full disk) ends ffmpeg with an error
  // instead of a truncated file reported as complete.
  std::vector<std::string> args = {"-hide_banner", "-loglevel", "error", "-xerror", "-y",
                                   // The pictures: raw YUV on standard input at the capture's rate,
                                   // BT.601 in the video range.
                                   "-f", "rawvideo", "-pix_fmt", "yuv420p", "-color_range", "tv",
                                   "-colorspace", "smpte170m", "-video_size",
                                   std::to_string(width) + "x" + std::to_string(height),
                                   "-framerate", FormatFps(settings.fps), "-i", "pipe:0"};
  const bool sound = settings.sound_channels > 0;
  if (sound) {
    // The sound: raw samples in the machine's byte order on descriptor 3.
    const char* format = std::endian::native == std::endian::big ? "s16be" : "s16le";
    args.insert(args.end(), {"-f", format, "-ar", std::to_string(settings.sound_rate_hz), "-ac",
                             std::to_string(settings.sound_channels), "-i", "pipe:3", "-map", "0:v",
                             "-map", "1:a"});
  }
  const EncoderChoice encoder = EncoderFor(settings.quality);
  // The colour tags tell players which conversion made the pictures.
  args.insert(args.end(),
              {"-c:v", "libx264", "-preset", encoder.preset, "-crf", encoder.crf, "-pix_fmt",
               "yuv420p", "-color_range", "tv", "-colorspace", "smpte170m"});
  if (sound) {
    if (mp4) {
      args.insert(args.end(), {"-c:a", "aac", "-b:a", "256k"});
    } else {
      args.insert(args.end(), {"-c:a", "flac"});  // Matroska keeps the sound lossless
    }
  }
  if (mp4) args.insert(args.end(), {"-movflags", "+faststart"});
  // The output's name ends in ".part", so the container is named outright.
  args.insert(args.end(), {"-f", mp4 ? "mp4" : "matroska", output_path});
  return args;
}

FfmpegVideoWriter::FfmpegVideoWriter(VideoSettings settings)
    : settings_(std::move(settings)), partial_(settings_.path + ".part") {}

FfmpegVideoWriter::~FfmpegVideoWriter() {
  if (child_ > 0) Abandon();
}

bool FfmpegVideoWriter::Begin(int width, int height, std::string* error) {
  frame_bytes_ = CapturePictureBytes(pixels(), width, height);
  char log_template[] = "/tmp/veyrith-ffmpeg-XXXXXX";
  const int log_fd = mkstemp(log_template);
  if (log_fd < 0) {
    *error = std::string("cannot create a log file for ffmpeg: ") + std::strerror(errno);
    return false;
  }
  log_path_ = log_template;
  const bool sound = settings_.sound_channels > 0;
  int fds[2];
  int sound_fds[2] = {-1, -1};
  if (pipe2(fds, O_CLOEXEC) != 0 || (sound && pipe2(sound_fds, O_CLOEXEC) != 0)) {
    *error = std::string("cannot create a pipe to ffmpeg: ") + std::strerror(errno);
    close(log_fd);
    RemoveTemporaries();
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, log_fd, 2);
  // Last: the log's descriptor may have been 3 before it became 2.
  if (sound) posix_spawn_file_actions_adddup2(&actions, sound_fds[0], 3);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // Its own process group: a Ctrl-C at the terminal reaches only us, and we
  // stop ffmpeg ourselves after removing what it wrote. The broken-pipe
  // signal we ignore must not stay ignored in the child.
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> args = FfmpegArguments(settings_, width, height, partial_);
  args.insert(args.begin(), settings_.ffmpeg);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int spawned =
      posix_spawn(&child_, settings_.ffmpeg.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(fds[0]);
  if (sound) close(sound_fds[0]);
  close(log_fd);
  if (spawned != 0) {
    child_ = -1;
    close(fds[1]);
    if (sound) close(sound_fds[1]);
    *error = settings_.ffmpeg + ": cannot be started (" + std::strerror(spawned) + ")";
    RemoveTemporaries();
    return false;
  }
  pipe_ = fds[1];
  sound_pipe_ = sound_fds[1];
  return true;
}

bool FfmpegVideoWriter::WriteAll(int fd, const uint8_t* bytes, size_t size, const char* what,
                                 std::string* error) {
  size_t done = 0;
  while (done < size) {
    const ssize_t wrote = fd < 0 ? -1 : write(fd, bytes + done, size - done);
    if (wrote < 0) {
      if (fd >= 0 && errno == EINTR) continue;
      // EPIPE: ffmpeg has stopped reading; its log says why once it has
      // ended, which it does soon after closing its inputs.
      *error = "ffmpeg stopped taking " + std::string(what) + " (" +
               (fd < 0 ? "the pipe is closed" : std::strerror(errno)) + ")";
      AwaitEncoderEnd();
      const std::string log = ErrorLog();
      if (!log.empty()) *error += ":\n" + log;
      return false;
    }
    done += static_cast<size_t>(wrote);
  }
  return true;
}

bool FfmpegVideoWriter::WriteFrame(const uint8_t* yuv, std::string* error) {
  return WriteAll(pipe_, yuv, frame_bytes_, "pictures", error);
}

bool FfmpegVideoWriter::WriteSound(const int16_t* samples, int frames, std::string* error) {
  const size_t bytes = static_cast<size_t>(frames) * settings_.sound_channels * sizeof(int16_t);
  return WriteAll(sound_pipe_, reinterpret_cast<const uint8_t*>(samples), bytes, "sound", error);
}

void FfmpegVideoWriter::EndPictures() {
  if (pipe_ >= 0) close(pipe_);
  pipe_ = -1;
}

void FfmpegVideoWriter::EndSound() {
  if (sound_pipe_ >= 0) close(sound_pipe_);
  sound_pipe_ = -1;
}

int FfmpegVideoWriter::Reap() {
  EndPictures();
  EndSound();
  if (child_ <= 0) return -1;
  int status = 0;
  pid_t waited;
  do {
    waited = waitpid(child_, &status, 0);
  } while (waited < 0 && errno == EINTR);
  child_ = -1;
  if (waited < 0 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

void FfmpegVideoWriter::AwaitEncoderEnd() const {
  // Only looks: the child is reaped by the thread that owns the writer. An
  // encoder that closed its input but lingers is not waited for long.
  constexpr int kPolls = 200;
  for (int k = 0; k < kPolls && child_ > 0; ++k) {
    siginfo_t info = {};
    if (waitid(P_PID, static_cast<id_t>(child_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
        info.si_pid != 0) {
      return;
    }
    usleep(10000);
  }
}

std::string FfmpegVideoWriter::ErrorLog() const {
  std::ifstream in(log_path_);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  // The end of the log tells what went wrong; a whole log would bury it.
  constexpr size_t kShownBytes = 2000;
  if (text.size() > kShownBytes) text = "..." + text.substr(text.size() - kShownBytes);
  return text;
}

bool FfmpegVideoWriter::Finish(std::string* error) {
  const int status = Reap();
  if (status != 0) {
    *error = "ffmpeg failed while writing " + settings_.path +
             (status < 0 ? std::string(" (it was killed)")
                         : " (exit status " + std::to_string(status) + ")");
    const std::string log = ErrorLog();
    if (!log.empty()) *error += ":\n" + log;
    RemoveTemporaries();
    return false;
  }
  if (std::rename(partial_.c_str(), settings_.path.c_str()) != 0) {
    *error = settings_.path + ": cannot move the finished video into place (" +
             std::strerror(errno) + ")";
    RemoveTemporaries();
    return false;
  }
  std::remove(log_path_.c_str());
  return true;
}

void FfmpegVideoWriter::Abandon() {
  // Killed outright: asked to stop, ffmpeg would first finish the file that
  // is about to be deleted.
  Cancel();
  Reap();
  RemoveTemporaries();
}

void FfmpegVideoWriter::Cancel() {
  if (child_ > 0) kill(child_, SIGKILL);
}

void FfmpegVideoWriter::RemoveTemporaries() {
  std::remove(partial_.c_str());
  if (!log_path_.empty()) std::remove(log_path_.c_str());
}
