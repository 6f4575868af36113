// Tests of the stream family: TFile open modes and sticky errors,
// TBufferedStream read-ahead and partial items.
#include "storage/stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "storage/test_files.h"

using storage_test::Iota;
using storage_test::ReadBytes;
using storage_test::WriteBytes;

namespace {

// A memory source that records the size of every Read asked of it.
class RecordingSource : public TMemoryStream {
 public:
  explicit RecordingSource(const std::vector<uint8_t>& bytes)
      : TMemoryStream(bytes.data(), static_cast<int32_t>(bytes.size())) {}
  int32_t Read(void* buffer, int32_t item_size, int32_t item_count) override {
    requests.push_back(item_size * item_count);
    return TMemoryStream::Read(buffer, item_size, item_count);
  }
  std::vector<int32_t> requests;
};

TEST(FileTest, ReadAppendStartsAtEndAndSizeKeepsPosition) {
  TempFolder dir;
  const std::string path = dir / "data.bin";
  WriteBytes(path, Iota(10));
  TFile file;
  file.SetName(path.c_str());
  ASSERT_TRUE(file.Open(smRead | smAppend));
  EXPECT_EQ(file.Tell(), 10);
  file.Seek(3, soBegin);
  EXPECT_EQ(file.Size(), 10);
  EXPECT_EQ(file.Tell(), 3);
  EXPECT_EQ(file.ReadByte(), 3);
  EXPECT_EQ(file.ReadWord(), 0x0504);
  EXPECT_EQ(file.ReadDWord(), 0x09080706u);
  EXPECT_FALSE(file.AtEnd()) << "end-of-file shows only after a read runs into it";
  uint8_t byte;
  EXPECT_EQ(file.Read(&byte, 1, 1), 0);
  EXPECT_TRUE(file.AtEnd());
  EXPECT_FALSE(file.Failed()) << "reading at the end is no error";
}

TEST(FileTest, ClosedFileOperationsSetStickyFlagAndSeekReassignsIt) {
  TempFolder dir;
  const std::string path = dir / "data.bin";
  WriteBytes(path, Iota(4));
  TFile file;
  file.SetName(path.c_str());
  uint8_t buffer[4];
  EXPECT_EQ(file.Read(buffer, 1, 4), 0);
  EXPECT_TRUE(file.Failed());
  ASSERT_TRUE(file.Open(smRead)) << "a good open clears the flag";
  EXPECT_FALSE(file.Failed());
  file.Seek(0, 7);
  EXPECT_TRUE(file.Failed()) << "unknown origin";
  EXPECT_EQ(file.Read(buffer, 1, 4), 4);
  EXPECT_TRUE(file.Failed()) << "the flag survives a good read";
  file.Seek(-1, soBegin);
  EXPECT_TRUE(file.Failed()) << "a refused seek is an error";
  file.Seek(1, soBegin);
  EXPECT_FALSE(file.Failed()) << "a good seek clears the flag";
  EXPECT_EQ(file.ReadByte(), 1);
  file.Close();
  EXPECT_FALSE(file.Failed()) << "closed: the flag alone";
  EXPECT_EQ(file.Tell(), -1);
  EXPECT_EQ(file.Size(), -1);
  EXPECT_TRUE(file.AtEnd());
  EXPECT_TRUE(file.Failed());
}

TEST(FileTest, WriteModesAndErase) {
  TempFolder dir;
  const std::string path = dir / "out.bin";
  TFile file;
  file.SetName(path.c_str());
  ASSERT_TRUE(file.Open(smWrite));
  const uint8_t first[3] = {1, 2, 3};
  EXPECT_EQ(file.Write(first, 1, 3), 3);
  ASSERT_TRUE(file.Open(smWrite | smAppend)) << "a second Open closes the first";
  const uint8_t more[2] = {4, 5};
  EXPECT_EQ(file.Write(more, 2, 1), 1);
  file.Close();
  EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{1, 2, 3, 4, 5}));

  ASSERT_TRUE(file.Open(smRead | smWrite));
  EXPECT_TRUE(file.Erase()) << "an open file is closed, then deleted";
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(file.Erase());
  TFile nameless;
  EXPECT_FALSE(nameless.Erase());
  EXPECT_TRUE(nameless.Failed());
}

TEST(BufferedStreamTest, ReadsInWholeLoadsOfTheBufferSize) {
  const std::vector<uint8_t> bytes = Iota(2500);
  auto* source = new RecordingSource(bytes);
  TBufferedStream stream(source, 0);
  ASSERT_TRUE(stream.Open(smRead));
  std::vector<uint8_t> out(2500);
  EXPECT_EQ(stream.Read(out.data(), 1, 2500), 2500);
  EXPECT_EQ(out, bytes);
  EXPECT_EQ(source->requests, (std::vector<int32_t>{1024, 1024, 1024, 1024}))
      << "1024 by default; the last, empty load ends the read";
  EXPECT_TRUE(stream.AtEnd());
  EXPECT_EQ(stream.ReadByte(), 0) << "past the end";
  EXPECT_EQ(stream.Tell(), 2500);
  EXPECT_FALSE(stream.Failed());
}

TEST(BufferedStreamTest, PartialItemIsConsumedButNotCounted) {
  const std::vector<uint8_t> bytes = Iota(10);
  TBufferedStream stream(new RecordingSource(bytes), 4);
  ASSERT_TRUE(stream.Open(smRead));
  uint8_t out[12] = {};
  EXPECT_EQ(stream.Read(out, 4, 3), 2);
  EXPECT_EQ(out[9], 9);
  EXPECT_EQ(stream.Tell(), 10);
  EXPECT_EQ(stream.Read(out, 0, 5), 0);
}

TEST(BufferedStreamTest, SeekDiscardsBufferAndTellCounts) {
  const std::vector<uint8_t> bytes = Iota(300);
  auto* source = new RecordingSource(bytes);
  TBufferedStream stream(source, 16);
  ASSERT_TRUE(stream.Open(smRead));
  EXPECT_EQ(stream.Size(), 300);
  stream.Seek(100, soBegin);
  EXPECT_EQ(stream.ReadByte(), 100);
  EXPECT_EQ(stream.ReadByte(), 101);
  EXPECT_EQ(stream.ReadByte(), 102);
  EXPECT_EQ(stream.Tell(), 103);
  stream.Seek(101, soBegin);  // inside the buffer, still reloaded
  EXPECT_EQ(stream.ReadWord(), 0x6665);
  EXPECT_EQ(source->requests.size(), 2u);
  stream.Seek(0x34, soBegin);
  EXPECT_EQ(stream.ReadDWord(), 0x37363534u);
  stream.Seek(-2, soEnd);
  EXPECT_FALSE(stream.AtEnd());
  EXPECT_EQ(stream.ReadWord(), 0x2B2A);  // bytes 298, 299 wrap to 0x2A, 0x2B
  EXPECT_TRUE(stream.AtEnd());
}

TEST(BufferedStreamTest, OverFileReadsSameBytesAsFile) {
  TempFolder dir;
  const std::string path = dir / "data.bin";
  WriteBytes(path, {0x34, 0x12, 0x78, 0x56, 0x34, 0x12});
  auto* file = new TFile();
  TBufferedStream stream(file, 3);
  stream.SetName(path.c_str());
  ASSERT_TRUE(stream.Open(smRead));
  EXPECT_EQ(stream.ReadWord(), 0x1234);
  EXPECT_EQ(stream.ReadDWord(), 0x12345678u);
  stream.Close();
  EXPECT_EQ(file->Tell(), -1) << "Close closes the source";
}

}  // namespace
