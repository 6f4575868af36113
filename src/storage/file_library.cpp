// The file library: directory reading, case-folding lookup, ranged reads with
// a cached stream position, and member streams.
#include "storage/file_library.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace {

int32_t Le32(const uint8_t* bytes) {
  return static_cast<int32_t>(
      static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
      static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

char FoldAsciiCapital(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// Compares an entry's name field with a NUL-terminated name. A field without
// a terminating NUL is malformed and matches nothing.
bool NameMatches(const char (&field)[kLibEntryNameBytes], const char* name) {
  for (int32_t i = 0; i < kLibEntryNameBytes; ++i) {
    if (FoldAsciiCapital(field[i]) != FoldAsciiCapital(name[i])) return false;
    if (field[i] == '\0') return true;
  }
  return false;
}

// A member whose directory entry cannot describe bytes of the file.
bool EntryIsUnreadable(const LibEntry* entry) {
  return entry->offset < 0 || entry->length < 0;
}

}  // namespace

// ---------------------------------------------------------------- TFileLib

TFileLib::TFileLib(TStream* stream) : stream_(stream) {
  ReadDirectory();
}

TFileLib::~TFileLib() = default;

void TFileLib::ReadDirectory() {
  if (!stream_) return;
  base_ = stream_->Tell();
  if (stream_->Failed()) return;
  uint8_t header[kLibraryHeaderBytes];
  if (stream_->Read(header, kLibraryHeaderBytes, 1) != 1) return;
  if (std::memcmp(header, kLibraryMagic, sizeof kLibraryMagic) != 0) return;
  count_ = Le32(header + 8);
  if (count_ <= 0) return;
  const int64_t directory_bytes = static_cast<int64_t>(count_) * kLibEntryBytes;
  if (directory_bytes > INT32_MAX) return;
  // A count the file cannot hold is refused before the allocation, so a
  // damaged header never asks for gigabytes. Size() restores the position.
  const int32_t stream_size = stream_->Size();
  if (stream_size >= 0 && directory_bytes > static_cast<int64_t>(stream_size) - base_ - 12) {
    return;
  }
  std::unique_ptr<uint8_t[]> raw(new (std::nothrow) uint8_t[directory_bytes]);
  if (!raw) return;
  if (stream_->Read(raw.get(), static_cast<int32_t>(directory_bytes), 1) != 1) return;
  directory_.reset(new (std::nothrow) LibEntry[count_]);
  if (!directory_) return;
  for (int32_t i = 0; i < count_; ++i) {
    const uint8_t* record = raw.get() + static_cast<int64_t>(i) * kLibEntryBytes;
    LibEntry& entry = directory_[i];
    std::memcpy(entry.name, record, kLibEntryNameBytes);
    entry.offset = Le32(record + 52);
    entry.length = Le32(record + 56);
    std::memcpy(entry.unused, record + 60, 4);
  }
  cached_position_ = stream_->Tell();
  if (stream_->Failed()) {
    directory_.reset();
    return;
  }
  error_ = false;
}

const LibEntry* TFileLib::Find(const char* name) {
  if (!directory_ || !name) return nullptr;
  for (int32_t i = 0; i < count_; ++i) {
    if (NameMatches(directory_[i].name, name)) return &directory_[i];
  }
  return nullptr;
}

int32_t TFileLib::ReadAt(void* buffer, int32_t offset, int32_t length) {
  if (!stream_) return 0;
  const int64_t absolute = static_cast<int64_t>(offset) + base_;
  if (absolute < 0 || absolute > INT32_MAX) {
    error_ = true;
    return 0;
  }
  if (absolute != cached_position_) {
    stream_->Seek(static_cast<int32_t>(absolute), soBegin);
    if (stream_->Failed()) {
      error_ = true;
      return 0;
    }
  }
  const int32_t got = length > 0 ? stream_->Read(buffer, 1, length) : 0;
  cached_position_ = static_cast<int32_t>(absolute + got);
  if (stream_->Failed() || got != length) error_ = true;
  return got;
}

bool TFileLib::Failed() {
  return error_;
}

// ---------------------------------------------------------------- TFileInLib

TFileInLib::TFileInLib(TFileLib* library) : error_(library == nullptr), library_(library) {}

void TFileInLib::SetName(const char* name) {
  if (!library_) return;
  open_ = false;
  entry_ = library_->Find(name);
}

bool TFileInLib::Open(int32_t) {
  // A directory entry with a negative offset or length is damaged: refusing
  // it here keeps callers from taking its length as a size.
  if (!library_ || !entry_ || EntryIsUnreadable(entry_)) {
    error_ = true;
    return false;
  }
  open_ = true;
  position_ = 0;
  return true;
}

void TFileInLib::Close() {
  if (!library_ || !entry_) return;
  entry_ = nullptr;
  open_ = false;
}

void TFileInLib::Seek(int32_t offset, int32_t origin) {
  if (!library_ || !entry_) return;
  int32_t target;
  if (!ResolveSeek(offset, origin, position_, entry_->length, &target)) {
    error_ = true;
    return;
  }
  position_ = target;
}

int32_t TFileInLib::Read(void* buffer, int32_t item_size, int32_t item_count) {
  if (!library_ || !entry_) return -1;
  if (item_size <= 0 || item_count <= 0 || EntryIsUnreadable(entry_)) return 0;
  const int64_t remaining = static_cast<int64_t>(entry_->length) - position_;
  const int64_t n = std::min(static_cast<int64_t>(item_size) * item_count, remaining);
  if (n <= 0) return 0;  // nothing left: no request, no error
  const int64_t start = static_cast<int64_t>(entry_->offset) + position_;
  if (start > INT32_MAX) return 0;
  const int32_t got =
      library_->ReadAt(buffer, static_cast<int32_t>(start), static_cast<int32_t>(n));
  position_ += got;
  return got / item_size;
}

bool TFileInLib::Failed() {
  return error_ || (library_ && library_->Failed());
}

int32_t TFileInLib::Tell() {
  return library_ && entry_ ? position_ : -1;
}
int32_t TFileInLib::Size() {
  return library_ && entry_ ? entry_->length : -1;
}
bool TFileInLib::AtEnd() {
  return !library_ || !entry_ || position_ >= entry_->length;
}
