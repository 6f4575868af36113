// Byte streams: every byte the demo loads passes through this small class
// family. TStream fixes the operations and makes a plain TStream behave as an
// empty stream that is always in error; TFile reads and writes disk files,
// TBufferedStream reads ahead of any other stream it owns. Nothing throws:
// results are 1/0, -1 for a position or size that cannot be given, and a
// sticky error flag queried with Failed().
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

// Open-mode bits.
constexpr int32_t smRead = 1;
constexpr int32_t smWrite = 2;
constexpr int32_t smAppend = 4;

// Seek origins.
constexpr int32_t soBegin = 0;
constexpr int32_t soCurrent = 1;
constexpr int32_t soEnd = 2;

class TStream {
 public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream();

  virtual void SetName(const char* name);
  virtual bool Open(int32_t mode);
  virtual void Close();
  virtual void Seek(int32_t offset, int32_t origin);
  // Reads up to item_count items of item_size bytes; returns the number of
  // complete items. A non-positive size or count reads nothing and gives 0.
  virtual int32_t Read(void* buffer, int32_t item_size, int32_t item_count);
  virtual int32_t Write(const void* buffer, int32_t item_size, int32_t item_count);
  // Little-endian reads through Read; 0 when Read delivers no complete item.
  virtual uint8_t ReadByte();
  virtual uint16_t ReadWord();
  virtual uint32_t ReadDWord();
  virtual bool Failed();
  virtual int32_t Tell();
  virtual int32_t Size();
  virtual bool AtEnd();
  virtual bool Erase();
};

// A disk file over the C runtime's buffered streams.
class TFile : public TStream {
 public:
  TFile() = default;
  ~TFile() override;

  void SetName(const char* name) override;
  bool Open(int32_t mode) override;
  void Close() override;
  void Seek(int32_t offset, int32_t origin) override;
  int32_t Read(void* buffer, int32_t item_size, int32_t item_count) override;
  int32_t Write(const void* buffer, int32_t item_size, int32_t item_count) override;
  bool Failed() override;
  int32_t Tell() override;
  int32_t Size() override;
  bool AtEnd() override;
  bool Erase() override;

 private:
  bool open_ = false;
  bool error_ = false;  // sticky; reassigned by Seek and Open
  FILE* handle_ = nullptr;
  std::optional<std::string> name_;
};

// A read-only, read-ahead buffer in front of another stream, which it owns.
// The source is read only in whole loads of the buffer size (the last one
// shorter), so byte-wise readers cost few calls on the source.
class TBufferedStream : public TStream {
 public:
  static constexpr int32_t kDefaultBufferSize = 1024;

  // Takes ownership of source; a null source is replaced by a plain TStream,
  // so every read then fails softly. buffer_size 0 means 1024.
  TBufferedStream(TStream* source, int32_t buffer_size);
  ~TBufferedStream() override;

  void SetName(const char* name) override;
  bool Open(int32_t mode) override;
  void Close() override;
  void Seek(int32_t offset, int32_t origin) override;
  int32_t Read(void* buffer, int32_t item_size, int32_t item_count) override;
  int32_t Write(const void* buffer, int32_t item_size, int32_t item_count) override;
  // Past the end of the source: 0, and the position stays at the end.
  uint8_t ReadByte() override;
  uint16_t ReadWord() override;
  uint32_t ReadDWord() override;
  bool Failed() override;
  int32_t Tell() override;
  int32_t Size() override;
  bool AtEnd() override;
  bool Erase() override;

  // Direct access to the bytes already buffered, for the picture decoders'
  // inner loops: BufferedBytes gives the next unread bytes and their count
  // (0 when the buffer is exhausted) without a refill, ConsumeBuffered marks
  // count of them read. The source's error state can only change when the
  // buffer is refilled, so a caller that asks Failed() after each ReadByte
  // sees the same failures as one reading byte by byte.
  const uint8_t* BufferedBytes(int32_t* count) const {
    *count = filled_ > index_ ? filled_ - index_ : 0;
    return buffer_.get() + index_;
  }
  void ConsumeBuffered(int32_t count) { index_ += count; }

 private:
  void Refill();

  std::unique_ptr<TStream> source_;
  int32_t buffer_size_;
  int32_t filled_ = 0;        // bytes valid in buffer_
  int32_t index_ = 0;         // next byte to deliver
  int32_t buffer_start_ = 0;  // source position of buffer_[0]
  int32_t length_ = 0;        // source size taken at Open
  std::unique_ptr<uint8_t[]> buffer_;
};

// Where a seek inside a block of size bytes lands: offset from the start
// (soBegin), the current position (soCurrent) or the end (soEnd). False
// for another origin or a target outside 0..size, which callers treat as
// an error that leaves the position where it was.
bool ResolveSeek(int32_t offset, int32_t origin, int32_t position, int32_t size, int32_t* target);

// A read-only stream over bytes in memory that the caller keeps alive. Used
// to decode pictures held by the tools and by the fuzzers with the same code
// that reads library members. Open always succeeds; seeks outside the bytes
// set the sticky error and leave the position.
class TMemoryStream : public TStream {
 public:
  TMemoryStream(const uint8_t* bytes, int32_t size);

  bool Open(int32_t mode) override;
  void Close() override {}
  void Seek(int32_t offset, int32_t origin) override;
  int32_t Read(void* buffer, int32_t item_size, int32_t item_count) override;
  bool Failed() override { return error_; }
  int32_t Tell() override { return position_; }
  int32_t Size() override { return size_; }
  bool AtEnd() override { return position_ >= size_; }

 private:
  const uint8_t* bytes_;
  int32_t size_;
  int32_t position_ = 0;
  bool error_ = false;
};
