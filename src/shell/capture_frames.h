// The picture side of a capture: board frames turned into top-row-first
// RGB pictures enlarged by whole pixels, and the places those pictures go
// (a folder of numbered PNG files, the video encoder, or nowhere).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Converts one board frame (RGB 565, memory row 0 at the bottom of the
// screen, stride in pixels) to 8-bit red, green, blue with the top row
// first, each pixel repeated scale x scale times. rgb holds
// (width x scale) x (height x scale) x 3 bytes.
void ConvertFrameToRgb(const uint16_t* pixels, int width, int height, int stride_pixels, int scale,
                       uint8_t* rgb);

// The pictures a frame writer takes: 8-bit RGB, 3 bytes a pixel, or planar
// YUV 4:2:0 (BT.601 with the limited range of video: the Y plane, then U and
// V at half the width and height), which spares a video encoder its own
// conversion and halves the bytes it is sent.
enum class CapturePixels { kRgb24, kYuv420 };

// Bytes of one picture of width x height (both even for kYuv420).
size_t CapturePictureBytes(CapturePixels pixels, int width, int height);

// As ConvertFrameToRgb, into YUV 4:2:0: each chroma sample is the average
// of the 2x2 enlarged pixels it covers. (width x scale) and
// (height x scale) are even.
void ConvertFrameToYuv420(const uint16_t* pixels, int width, int height, int stride_pixels,
                          int scale, uint8_t* yuv);

// Receives the captured pictures in order. Begin comes first; after a
// failure the writer is abandoned, never finished. WriteFrame runs on the
// capture's writing thread, the other calls on the thread that owns the
// writer.
class CaptureFrameWriter {
 public:
  virtual ~CaptureFrameWriter() = default;
  // Pictures of width x height pixels will follow. False with the reason.
  virtual bool Begin(int width, int height, std::string* error) = 0;
  // The pictures this writer takes.
  virtual CapturePixels pixels() const { return CapturePixels::kRgb24; }
  // One picture in that form, top row first.
  virtual bool WriteFrame(const uint8_t* picture, std::string* error) = 0;
  // No more pictures will come; Finish follows once the capture's other
  // parts are complete.
  virtual void EndPictures() {}
  // Completes the output and puts it in place. False with the reason.
  virtual bool Finish(std::string* error) = 0;
  // Removes everything written so far; the final name is left untouched.
  virtual void Abandon() = 0;
  // May come from another thread while WriteFrame waits: makes that wait
  // end soon, with a failure. Abandon follows.
  virtual void Cancel() {}
};

// Takes every picture and keeps nothing (benchmarks, timing runs).
class NullFrameWriter final : public CaptureFrameWriter {
 public:
  bool Begin(int /*width*/, int /*height*/, std::string* /*error*/) override { return true; }
  bool WriteFrame(const uint8_t* /*rgb*/, std::string* /*error*/) override {
    ++frames_;
    return true;
  }
  bool Finish(std::string* /*error*/) override { return true; }
  void Abandon() override {}
  long frames() const { return frames_; }

 private:
  long frames_ = 0;
};

// Writes frame_000000.png, frame_000001.png ... into a folder that is built
// under folder + ".part" and renamed to its name by Finish.
class PngFolderWriter final : public CaptureFrameWriter {
 public:
  explicit PngFolderWriter(std::string folder);
  ~PngFolderWriter() override;
  bool Begin(int width, int height, std::string* error) override;
  bool WriteFrame(const uint8_t* rgb, std::string* error) override;
  bool Finish(std::string* error) override;
  void Abandon() override;

  // Where files go until Finish: other files of the capture (the sound)
  // are written here too.
  const std::string& partial_folder() const { return partial_; }
  static std::string FrameName(long index);

 private:
  std::string folder_;
  std::string partial_;
  int width_ = 0;
  int height_ = 0;
  long frames_ = 0;
  bool begun_ = false;
};
