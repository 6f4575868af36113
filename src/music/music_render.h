// Offline rendering: a module file turned into 16-bit PCM frames or a WAV
// file, as fast as the CPU allows and the same bytes every time. Tools and
// captures use it; the picture of demo time t and the sound of the player's
// tick at time t then meet at frame t × rate.
//
//   MusicRenderer renderer;
//   MusicRenderOptions options;            // 44100 Hz stereo, from 0 s
//   options.start_seconds = 30.0;          // as if it had played since 0
//   if (!renderer.Open("music.s3m", options, &error)) ...
//   int got = renderer.Render(frames, count, &error);   // repeatedly
//
// A renderer has a mixer and a play state of its own, so it may run while
// the live music system plays: each Render takes the music system's
// critical section for its own length only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct Module;
struct PlayState;
class Mixer;

struct MusicRenderOptions {
  int rate_hz = 44100;    // mixing rate, 4000..96000
  int channels = 2;       // 1 or 2
  int interpolation = 0;  // 1: interpolating mixer
  // The song is advanced silently, tick by tick and mixed, to this time,
  // so the first frame rendered is frame round(start × rate) of a render
  // from 0.
  double start_seconds = 0.0;
  // Frames from the start time to render; below 0: until the song passes
  // its end (the renderer then stops at that tick).
  double length_seconds = -1.0;
  // Seconds rendered so far and the total (-1 when it is the song's end);
  // returning false cancels. Called about once per rendered second.
  std::function<bool(double done_seconds, double total_seconds)> progress;
};

class MusicRenderer {
 public:
  MusicRenderer();
  ~MusicRenderer();
  MusicRenderer(const MusicRenderer&) = delete;
  MusicRenderer& operator=(const MusicRenderer&) = delete;

  // Reads the module file, starts it and advances it to the start time.
  // False with the file's name and the fault in *error.
  bool Open(const char* module_path, const MusicRenderOptions& options, std::string* error);
  // Renders up to frames frames (frames × channels samples) into out.
  // Returns the frames rendered: fewer than asked only at the end (the
  // song's end or the length), 0 once finished, -1 on a player error.
  int Render(int16_t* out, int frames, std::string* error);
  bool Finished() const { return finished_; }
  int64_t FramesRendered() const { return frames_rendered_; }
  void Close();

 private:
  int MixUnderLock(int16_t* out, int frames, int* mixed);

  std::unique_ptr<Mixer> mixer_;
  Module* module_ = nullptr;
  PlayState* state_ = nullptr;
  std::string path_;
  int channels_ = 2;
  int64_t frames_limit_ = -1;  // frames to render after the start, -1 until the song's end
  int64_t frames_rendered_ = 0;
  bool finished_ = false;
};

// The whole render into memory (interleaved frames). 1, or 0 with the
// reason (also on cancel) in *error.
int RenderMusicFile(const char* module_path, const MusicRenderOptions& options,
                    std::vector<int16_t>* samples, std::string* error);
// The whole render into a WAV file, written under a temporary name and
// moved into place when complete.
int RenderMusicToWav(const char* module_path, const std::string& wav_path,
                     const MusicRenderOptions& options, std::string* error);
