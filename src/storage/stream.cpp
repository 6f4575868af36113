// The stream family: TStream's harmless defaults, TFile over the C runtime's
// buffered files, TBufferedStream's read-ahead and TMemoryStream.
#include "storage/stream.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// Bytes requested by item_size x item_count, or 0 when either is not positive.
int64_t RequestedBytes(int32_t item_size, int32_t item_count) {
  if (item_size <= 0 || item_count <= 0) return 0;
  return static_cast<int64_t>(item_size) * item_count;
}

}  // namespace

// ---------------------------------------------------------------- TStream

TStream::~TStream() = default;
void TStream::SetName(const char*) {}
bool TStream::Open(int32_t) {
  return false;
}
void TStream::Close() {}
void TStream::Seek(int32_t, int32_t) {}
int32_t TStream::Read(void*, int32_t, int32_t) {
  return 0;
}
int32_t TStream::Write(const void*, int32_t, int32_t) {
  return 0;
}

uint8_t TStream::ReadByte() {
  uint8_t value = 0;
  if (Read(&value, 1, 1) != 1) return 0;
  return value;
}

uint16_t TStream::ReadWord() {
  uint8_t bytes[2] = {0, 0};
  if (Read(bytes, 2, 1) != 1) return 0;
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t TStream::ReadDWord() {
  uint8_t bytes[4] = {0, 0, 0, 0};
  if (Read(bytes, 4, 1) != 1) return 0;
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool TStream::Failed() {
  return true;
}
int32_t TStream::Tell() {
  return -1;
}
int32_t TStream::Size() {
  return -1;
}
bool TStream::AtEnd() {
  return true;
}
bool TStream::Erase() {
  return false;
}

// ---------------------------------------------------------------- TFile

TFile::~TFile() {
  if (open_) std::fclose(handle_);
}

void TFile::SetName(const char* name) {
  if (name) {
    name_ = name;
  } else {
    name_.reset();
  }
}

bool TFile::Open(int32_t mode) {
  if (open_) Close();
  if (!name_) return false;
  const char* runtime_mode = nullptr;
  switch (mode) {
    case smRead:
      runtime_mode = "rb";
      break;
    case smWrite:
      runtime_mode = "wb";
      break;
    case smRead | smWrite:
      runtime_mode = "r+b";
      break;
    case smRead | smAppend:
      runtime_mode = "rb";
      break;
    case smWrite | smAppend:
      runtime_mode = "ab";
      break;
    case smRead | smWrite | smAppend:
      runtime_mode = "a+b";
      break;
    default:
      break;  // 0, append alone, unknown bits: nothing is opened
  }
  handle_ = runtime_mode ? std::fopen(name_->c_str(), runtime_mode) : nullptr;
  open_ = handle_ != nullptr && !std::ferror(handle_);
  if (handle_ && !open_) {
    std::fclose(handle_);
    handle_ = nullptr;
  }
  error_ = !open_;
  // Reading with append starts at the end.
  if (open_ && mode == (smRead | smAppend)) Seek(0, soEnd);
  return open_;
}

void TFile::Close() {
  if (!open_) return;
  std::fclose(handle_);
  handle_ = nullptr;
  open_ = false;
}

void TFile::Seek(int32_t offset, int32_t origin) {
  if (!open_) {
    error_ = true;
    return;
  }
  int whence;
  switch (origin) {
    case soBegin:
      whence = SEEK_SET;
      break;
    case soCurrent:
      whence = SEEK_CUR;
      break;
    case soEnd:
      whence = SEEK_END;
      break;
    default:
      error_ = true;
      return;
  }
  // A refused seek (before the start, for instance) leaves the runtime's
  // error indicator clear, yet nothing moved: count it as an error too, so a
  // later read never takes bytes from the old position unnoticed.
  const bool refused = std::fseek(handle_, offset, whence) != 0;
  error_ = refused || std::ferror(handle_) != 0;
}

int32_t TFile::Read(void* buffer, int32_t item_size, int32_t item_count) {
  if (!open_) {
    error_ = true;
    return 0;
  }
  if (RequestedBytes(item_size, item_count) == 0) return 0;
  return static_cast<int32_t>(
      std::fread(buffer, static_cast<size_t>(item_size), static_cast<size_t>(item_count), handle_));
}

int32_t TFile::Write(const void* buffer, int32_t item_size, int32_t item_count) {
  if (!open_) {
    error_ = true;
    return 0;
  }
  if (RequestedBytes(item_size, item_count) == 0) return 0;
  return static_cast<int32_t>(std::fwrite(buffer, static_cast<size_t>(item_size),
                                          static_cast<size_t>(item_count), handle_));
}

bool TFile::Failed() {
  return error_ || (open_ && std::ferror(handle_) != 0);
}

int32_t TFile::Tell() {
  if (!open_) {
    error_ = true;
    return -1;
  }
  const long position = std::ftell(handle_);
  if (position < 0 || position > INT32_MAX) {
    error_ = true;  // beyond what a 32-bit position can say
    return -1;
  }
  return static_cast<int32_t>(position);
}

int32_t TFile::Size() {
  if (!open_) {
    error_ = true;
    return -1;
  }
  const int32_t position = Tell();
  Seek(0, soEnd);
  const int32_t size = Tell();
  Seek(position, soBegin);
  return size;
}

bool TFile::AtEnd() {
  if (!open_) {
    error_ = true;
    return true;
  }
  return std::feof(handle_) != 0;
}

bool TFile::Erase() {
  if (!name_) {
    error_ = true;
    return false;
  }
  if (open_) Close();
  return std::remove(name_->c_str()) == 0;
}

// ---------------------------------------------------------------- TBufferedStream

TBufferedStream::TBufferedStream(TStream* source, int32_t buffer_size)
    : source_(source ? source : new TStream()),
      buffer_size_(buffer_size > 0 ? buffer_size : kDefaultBufferSize),
      buffer_(new uint8_t[static_cast<size_t>(buffer_size_)]) {}

TBufferedStream::~TBufferedStream() = default;

void TBufferedStream::SetName(const char* name) {
  source_->SetName(name);
}

bool TBufferedStream::Open(int32_t mode) {
  if (mode & (smWrite | smAppend)) return false;  // read-only
  if (!source_->Open(mode)) return false;
  filled_ = 0;
  index_ = 0;
  buffer_start_ = source_->Tell();
  length_ = source_->Size();
  return true;
}

void TBufferedStream::Close() {
  source_->Close();
  filled_ = 0;
  index_ = 0;
}

void TBufferedStream::Seek(int32_t offset, int32_t origin) {
  source_->Seek(offset, origin);
  filled_ = 0;
  index_ = 0;
  buffer_start_ = source_->Tell();
}

void TBufferedStream::Refill() {
  if (index_ < filled_) return;
  buffer_start_ = source_->Tell();
  // A source without a member answers -1; that is an empty load too.
  filled_ = std::max(0, source_->Read(buffer_.get(), 1, buffer_size_));
  index_ = 0;
}

int32_t TBufferedStream::Read(void* buffer, int32_t item_size, int32_t item_count) {
  int64_t total = RequestedBytes(item_size, item_count);
  if (total == 0) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  Refill();
  while (total != 0 && filled_ != 0) {
    const int64_t n = std::min<int64_t>(filled_ - index_, total);
    std::memcpy(out + done, buffer_.get() + index_, static_cast<size_t>(n));
    done += n;
    total -= n;
    index_ += static_cast<int32_t>(n);
    Refill();
  }
  // Bytes of a trailing partial item are consumed but not counted.
  return static_cast<int32_t>(done / item_size);
}

int32_t TBufferedStream::Write(const void*, int32_t, int32_t) {
  return 0;
}

uint8_t TBufferedStream::ReadByte() {
  Refill();
  if (index_ >= filled_) return 0;
  return buffer_[index_++];
}

uint16_t TBufferedStream::ReadWord() {
  const uint16_t first = ReadByte();
  const uint16_t second = ReadByte();
  return static_cast<uint16_t>(first + 256 * second);
}

uint32_t TBufferedStream::ReadDWord() {
  const uint32_t low = ReadWord();
  const uint32_t high = ReadWord();
  return low + 65536u * high;
}

bool TBufferedStream::Failed() {
  return source_->Failed();
}
int32_t TBufferedStream::Tell() {
  return buffer_start_ + index_;
}
int32_t TBufferedStream::Size() {
  return length_;
}
bool TBufferedStream::AtEnd() {
  return buffer_start_ + index_ >= length_;
}
bool TBufferedStream::Erase() {
  return source_->Erase();
}

// ---------------------------------------------------------------- TMemoryStream

TMemoryStream::TMemoryStream(const uint8_t* bytes, int32_t size)
    : bytes_(bytes), size_(bytes && size > 0 ? size : 0) {}

bool TMemoryStream::Open(int32_t) {
  position_ = 0;
  error_ = false;
  return true;
}

bool ResolveSeek(int32_t offset, int32_t origin, int32_t position, int32_t size, int32_t* target) {
  int64_t landing;
  switch (origin) {
    case soBegin:
      landing = offset;
      break;
    case soCurrent:
      landing = static_cast<int64_t>(position) + offset;
      break;
    case soEnd:
      landing = static_cast<int64_t>(size) + offset;
      break;
    default:
      return false;
  }
  if (landing < 0 || landing > size) return false;
  *target = static_cast<int32_t>(landing);
  return true;
}

void TMemoryStream::Seek(int32_t offset, int32_t origin) {
  int32_t target;
  if (!ResolveSeek(offset, origin, position_, size_, &target)) {
    error_ = true;
    return;
  }
  position_ = target;
}

int32_t TMemoryStream::Read(void* buffer, int32_t item_size, int32_t item_count) {
  const int64_t wanted = RequestedBytes(item_size, item_count);
  const int64_t n = std::min<int64_t>(wanted, size_ - position_);
  if (n <= 0) return 0;
  std::memcpy(buffer, bytes_ + position_, static_cast<size_t>(n));
  position_ += static_cast<int32_t>(n);
  return static_cast<int32_t>(n / item_size);
}
