// The video writer of captures: pictures piped as raw RGB to Debian's ffmpeg
// running as a child process, which encodes H.264 (yuv420p, for every
// player) and muxes the sound track into an MP4 or Matroska file.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "shell/capture_frames.h"

enum class VideoContainer { kMp4, kMatroska };

struct VideoSettings {
  std::string ffmpeg;      // the program to run (a path, or a name looked up on PATH)
  std::string path;        // the finished video
  std::string sound_path;  // a WAV file to mux in; empty: no sound track
  VideoContainer container = VideoContainer::kMp4;
  double fps = 60.0;
  int crf = 16;  // x264 quality: 0 is lossless, 16 is visually lossless
};

// The full path of ffmpeg when it can be run: VEYRITH_FFMPEG if set, else
// "ffmpeg" looked up on PATH. Empty when it is not there.
std::string FindFfmpeg();

// The arguments given to ffmpeg (after the program name) for pictures of
// width x height written to output_path.
std::vector<std::string> FfmpegArguments(const VideoSettings& settings, int width, int height,
                                         const std::string& output_path);

// The caller ignores SIGPIPE while it writes (RunCapture does), so an
// encoder that stops early shows up as a failed write.
class FfmpegVideoWriter final : public CaptureFrameWriter {
 public:
  explicit FfmpegVideoWriter(VideoSettings settings);
  ~FfmpegVideoWriter() override;
  // Starts ffmpeg writing to path + ".part".
  bool Begin(int width, int height, std::string* error) override;
  bool WriteFrame(const uint8_t* rgb, std::string* error) override;
  // Ends the input, waits for ffmpeg and renames the video into place.
  bool Finish(std::string* error) override;
  // Stops ffmpeg and deletes its partial output.
  void Abandon() override;

 private:
  // Closes the pipe and waits for the child; its exit status, or -1.
  int Reap();
  std::string ErrorLog() const;
  void RemoveTemporaries();

  VideoSettings settings_;
  std::string partial_;
  std::string log_path_;
  size_t frame_bytes_ = 0;
  pid_t child_ = -1;
  int pipe_ = -1;
};
