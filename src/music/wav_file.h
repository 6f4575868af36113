// 16-bit PCM WAV files: the music system's file output, the offline renders
// of the tools and the sound track of captures. A file is written under a
// temporary name and renamed into place when complete, so a reader never
// sees a half-written file under the final name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The canonical 44-byte header: "RIFF" size "WAVE", a 16-byte "fmt " chunk
// (PCM, 16 bits) and one "data" chunk. All integers little-endian.
constexpr int kWavHeaderBytes = 44;
// The data chunk's size is a 32-bit field; the RIFF size adds 36 to it.
constexpr uint64_t kWavMaxDataBytes = 0xFFFFFFFFull - 36;

// Streams frames of interleaved 16-bit samples into a WAV file.
class WavWriter {
 public:
  WavWriter() = default;
  ~WavWriter();  // abandons a file that was not closed
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Creates path + ".part" and writes a header with zero sizes. channels is
  // 1 or 2, rate_hz 1..1000000. False with the reason in *error.
  bool Open(const std::string& path, int rate_hz, int channels, std::string* error);
  // Appends frames (frames × channels samples). False when the file would
  // outgrow the format's 4 GiB limit or the disk refuses.
  bool Write(const int16_t* samples, size_t frames, std::string* error);
  // Fills in the sizes, closes and renames the file to its final name.
  bool Close(std::string* error);
  // Closes and deletes the temporary file; the final name is left untouched.
  void Abandon();

  bool IsOpen() const { return file_ != nullptr; }
  uint64_t FramesWritten() const { return frames_written_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  std::string temporary_path_;
  int rate_hz_ = 0;
  int channels_ = 0;
  uint64_t frames_written_ = 0;
};

// Writes a whole buffer of interleaved frames as one WAV file.
bool WriteWavFile(const std::string& path, const int16_t* samples, size_t frames, int rate_hz,
                  int channels, std::string* error);

// A 16-bit PCM WAV file read back (tools and tests).
struct WavData {
  int rate_hz = 0;
  int channels = 0;
  std::vector<int16_t> samples;  // interleaved, frames × channels
};

// Reads a 16-bit PCM WAV file, skipping chunks other than "fmt " and "data".
// False with the file name and the fault in *error.
bool ReadWavFile(const std::string& path, WavData* wav, std::string* error);
