// The file library ("demo.dat"): one archive holding every scene and picture.
// TFileLib reads the directory from an opened stream and serves byte ranges
// of it; TFileInLib is a read-only stream over one member found by name.
//
// Layout (little-endian, offsets from the library start):
//   0   8        "KVXLIB1" then 0x1A
//   8   4        entry count, signed, at least 1
//   12  64*count directory of LibEntry records
//   ... member bytes, stored as they are, found only through the directory
#pragma once

#include <cstdint>
#include <memory>

#include "storage/stream.h"

constexpr char kLibraryMagic[8] = {'K', 'V', 'X', 'L', 'I', 'B', '1', 0x1A};
constexpr int32_t kLibraryHeaderBytes = 12;
constexpr int32_t kLibEntryBytes = 64;
constexpr int32_t kLibEntryNameBytes = 52;  // at most 51 characters and a NUL

struct LibEntry {
  char name[kLibEntryNameBytes];  // backslash-separated path, NUL-terminated
  int32_t offset;                 // first byte, from the library start
  int32_t length;                 // bytes
  uint8_t unused[4];
};

class TFileLib {
 public:
  // Reads the directory at the stream's current position, which becomes the
  // library start. The stream is not owned and must outlive the library;
  // ask Failed() afterwards.
  explicit TFileLib(TStream* stream);
  TFileLib(const TFileLib&) = delete;
  TFileLib& operator=(const TFileLib&) = delete;
  virtual ~TFileLib();

  // The first entry whose name equals name with A-Z folded to a-z (nothing
  // else is folded: '/' and '\' differ), or null.
  virtual const LibEntry* Find(const char* name);
  // Reads length bytes at offset (from the library start); returns the bytes
  // read. A failed or short read makes the library fail for good.
  virtual int32_t ReadAt(void* buffer, int32_t offset, int32_t length);
  virtual bool Failed();

  int32_t Count() const { return directory_ ? count_ : 0; }
  const LibEntry* Entry(int32_t index) const { return &directory_[index]; }

 private:
  void ReadDirectory();

  TStream* stream_;
  int32_t base_ = 0;
  int32_t count_ = 0;
  int32_t cached_position_ = 0;  // where the stream was left by the last read
  bool error_ = true;            // until the directory has been read
  std::unique_ptr<LibEntry[]> directory_;
};

// One member of a library, read-only. SetName(member), Open(any mode), then
// Failed() false means the member is ready at position 0.
class TFileInLib : public TStream {
 public:
  explicit TFileInLib(TFileLib* library);

  void SetName(const char* name) override;
  bool Open(int32_t mode) override;
  void Close() override;
  void Seek(int32_t offset, int32_t origin) override;
  int32_t Read(void* buffer, int32_t item_size, int32_t item_count) override;
  bool Failed() override;
  int32_t Tell() override;
  int32_t Size() override;
  bool AtEnd() override;

 private:
  bool open_ = false;
  bool error_;
  const LibEntry* entry_ = nullptr;
  int32_t position_ = 0;  // 0 <= position_ <= member length
  TFileLib* library_;
};
