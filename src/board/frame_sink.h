// Where the board's finished frames go when a buffer is swapped: the picture
// window (the default), or a sink of a headless run, a capture or a test.
#pragma once

#include <cstdint>
#include <vector>

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // The screen opens (grSstWinOpen) with this size; false refuses it.
  virtual bool Open(int width, int height) = 0;
  // A finished frame: memory row 0 is the bottom row of the screen; stride in
  // pixels. interval is the swap interval (0: at once, 1: at the retrace).
  virtual void Present(const uint16_t* pixels, int width, int height, int stride_pixels,
                       int interval) = 0;
  // The screen closes (grGlideShutdown).
  virtual void Close() = 0;
  // A frame is swapped: called at the swap itself, on the calling thread,
  // before that frame's Present (which may come later). A sink that moves
  // the demo on (a virtual clock) does it here, so the next frame sees the
  // new time whether or not this one has been drawn yet.
  virtual void Swapped(int /*interval*/) {}
  // Whether Present may come after the swap has returned. When it may, a
  // board drawing on worker threads hands the frame over at the swap and
  // lets the caller go on with the next one while the workers draw it; the
  // frame then reaches Present, on the calling thread and in swap order, at
  // the next swap, lock or BoardFinish.
  virtual bool AcceptsLateFrames() const { return false; }
};

// Null selects the picture window. The sink is not owned; it must outlive
// the open screen. A frame still on its way to the sink in use reaches it
// first.
void BoardSetFrameSink(FrameSink* sink);
FrameSink* BoardFrameSink();

// A sink that counts frames and keeps the last one shown with interval 1;
// headless runs and tests use it. A hook may be called after each frame.
class CountingFrameSink : public FrameSink {
 public:
  using FrameHook = void (*)(void* context, const CountingFrameSink& sink, int interval);
  bool Open(int width, int height) override;
  void Present(const uint16_t* pixels, int width, int height, int stride_pixels,
               int interval) override;
  void Close() override { open_ = false; }
  bool AcceptsLateFrames() const override { return late_frames_; }
  // Off by default: the hook and the counts then follow every swap at once.
  void SetLateFrames(bool late) { late_frames_ = late; }
  // On by default; a sink that only counts (a headless run, a benchmark)
  // spares the copy of every frame.
  void SetKeepLastFrame(bool keep) { keep_last_ = keep; }
  void SetHook(FrameHook hook, void* context) {
    hook_ = hook;
    hook_context_ = context;
  }

  bool open() const { return open_; }
  int width() const { return width_; }
  int height() const { return height_; }
  long frames() const { return frames_; }                  // every present
  long retrace_frames() const { return retrace_frames_; }  // interval >= 1
  // The last frame presented with interval >= 1, top row first, packed.
  const uint16_t* last_frame() const { return last_.data(); }
  bool has_frame() const { return !last_.empty(); }

 private:
  bool open_ = false;
  int width_ = 0;
  int height_ = 0;
  long frames_ = 0;
  long retrace_frames_ = 0;
  bool late_frames_ = false;
  bool keep_last_ = true;
  FrameHook hook_ = nullptr;
  void* hook_context_ = nullptr;
  std::vector<uint16_t> last_;
};
