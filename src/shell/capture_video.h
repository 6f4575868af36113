// The video writer of captures: pictures piped as raw YUV 4:2:0 to Debian's ffmpeg
// running as a child process, which encodes H.264 (yuv420p, for every
// player), and the sound track piped alongside as raw 16-bit samples, muxed
// into an MP4 or Matroska file. Pictures and sound come from two threads,
// each with its own pipe, so neither waits for the other.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "shell/capture_frames.h"
#include "shell/capture_quality.h"

enum class VideoContainer { kMp4, kMatroska };

struct VideoSettings {
  std::string ffmpeg;  // the program to run (a path, or a name looked up on PATH)
  std::string path;    // the finished video
  VideoContainer container = VideoContainer::kMp4;
  double fps = 60.0;
  VideoQuality quality = VideoQuality::kFast;
  // The sound track: 16-bit frames of sound_channels samples at
  // sound_rate_hz given to WriteSound; 0 channels: a video without sound.
  int sound_channels = 0;
  int sound_rate_hz = 44100;
};

// The full path of ffmpeg when it can be run: VEYRITH_FFMPEG if set, else
// "ffmpeg" looked up on PATH. Empty when it is not there.
std::string FindFfmpeg();

// The arguments given to ffmpeg (after the program name) for pictures of
// width x height written to output_path.
std::vector<std::string> FfmpegArguments(const VideoSettings& settings, int width, int height,
                                         const std::string& output_path);

// The caller ignores SIGPIPE while it writes (RunCapture does), so an
// encoder that stops early shows up as a failed write. ffmpeg's standard
// error goes to a log whose end is quoted when it fails.
class FfmpegVideoWriter final : public CaptureFrameWriter {
 public:
  explicit FfmpegVideoWriter(VideoSettings settings);
  ~FfmpegVideoWriter() override;
  // Starts ffmpeg writing to path + ".part".
  bool Begin(int width, int height, std::string* error) override;
  CapturePixels pixels() const override { return CapturePixels::kYuv420; }
  bool WriteFrame(const uint8_t* yuv, std::string* error) override;
  // Ends the pictures' input: ffmpeg goes on with the sound, and an encoder
  // that stops there makes a sound still being written fail instead of wait.
  void EndPictures() override;
  // Ends the inputs, waits for ffmpeg and renames the video into place.
  bool Finish(std::string* error) override;
  // Stops ffmpeg and deletes its partial output.
  void Abandon() override;
  // Kills ffmpeg, so a write that waits on a full pipe ends.
  void Cancel() override;

  // The sound track, from a thread of its own while the pictures are
  // written: frames x sound_channels samples, then EndSound once, before
  // Finish or Abandon.
  bool WriteSound(const int16_t* samples, int frames, std::string* error);
  void EndSound();

 private:
  bool WriteAll(int fd, const uint8_t* bytes, size_t size, const char* what, std::string* error);
  // Closes the pipe and waits for the child; its exit status, or -1.
  int Reap();
  // Waits a little for ffmpeg to end, without reaping it.
  void AwaitEncoderEnd() const;
  std::string ErrorLog() const;
  void RemoveTemporaries();

  VideoSettings settings_;
  std::string partial_;
  std::string log_path_;
  size_t frame_bytes_ = 0;
  pid_t child_ = -1;
  int pipe_ = -1;
  int sound_pipe_ = -1;
};
