// The ffmpeg child process of video captures (see capture_video.h).
#include "shell/capture_video.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace

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
  std::vector<std::string> args = {"-hide_banner", "-loglevel", "error", "-y",
                                   // The pictures: raw RGB on standard input at the capture's rate.
                                   "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size",
                                   std::to_string(width) + "x" + std::to_string(height),
                                   "-framerate", FormatFps(settings.fps), "-i", "pipe:0"};
  if (!settings.sound_path.empty()) {
    args.insert(args.end(), {"-i", settings.sound_path, "-map", "0:v", "-map", "1:a"});
  }
  args.insert(args.end(), {"-c:v", "libx264", "-preset", "fast", "-crf",
                           std::to_string(settings.crf), "-pix_fmt", "yuv420p"});
  if (!settings.sound_path.empty()) {
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
  frame_bytes_ = static_cast<size_t>(width) * height * 3;
  char log_template[] = "/tmp/veyrith-ffmpeg-XXXXXX";
  const int log_fd = mkstemp(log_template);
  if (log_fd < 0) {
    *error = std::string("cannot create a log file for ffmpeg: ") + std::strerror(errno);
    return false;
  }
  log_path_ = log_template;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
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
  close(log_fd);
  if (spawned != 0) {
    child_ = -1;
    close(fds[1]);
    *error = settings_.ffmpeg + ": cannot be started (" + std::strerror(spawned) + ")";
    RemoveTemporaries();
    return false;
  }
  pipe_ = fds[1];
  return true;
}

bool FfmpegVideoWriter::WriteFrame(const uint8_t* rgb, std::string* error) {
  size_t done = 0;
  while (done < frame_bytes_) {
    const ssize_t wrote = write(pipe_, rgb + done, frame_bytes_ - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      // EPIPE: ffmpeg has stopped reading; its log says why.
      *error = "ffmpeg stopped taking pictures (" + std::string(std::strerror(errno)) + ")";
      const std::string log = ErrorLog();
      if (!log.empty()) *error += ":\n" + log;
      return false;
    }
    done += static_cast<size_t>(wrote);
  }
  return true;
}

int FfmpegVideoWriter::Reap() {
  if (pipe_ >= 0) {
    close(pipe_);
    pipe_ = -1;
  }
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
  if (pipe_ >= 0) {
    close(pipe_);
    pipe_ = -1;
  }
  if (child_ > 0) kill(child_, SIGTERM);
  Reap();
  RemoveTemporaries();
}

void FfmpegVideoWriter::RemoveTemporaries() {
  std::remove(partial_.c_str());
  if (!log_path_.empty()) std::remove(log_path_.c_str());
}
