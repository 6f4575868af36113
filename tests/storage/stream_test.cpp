// Tests of the stream family: TFile reads and sticky errors,
// TBufferedStream seeks and partial items.
#include "storage/stream.h"

#include <gtest/gtest.h>

#include "storage/test_files.h"

using storage_test::Iota;
using storage_test::WriteBytes;

namespace {

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

TEST(BufferedStreamTest, PartialItemIsConsumedButNotCounted) {
  const std::vector<uint8_t> bytes = Iota(10);
  TBufferedStream stream(new TMemoryStream(bytes.data(), static_cast<int32_t>(bytes.size())), 4);
  ASSERT_TRUE(stream.Open(smRead));
  uint8_t out[12] = {};
  EXPECT_EQ(stream.Read(out, 4, 3), 2);
  EXPECT_EQ(out[9], 9);
  EXPECT_EQ(stream.Tell(), 10);
  EXPECT_EQ(stream.Read(out, 0, 5), 0);
}

TEST(BufferedStreamTest, SeekDiscardsBufferAndTellCounts) {
  const std::vector<uint8_t> bytes = Iota(300);
  TBufferedStream stream(new TMemoryStream(bytes.data(), static_cast<int32_t>(bytes.size())), 16);
  ASSERT_TRUE(stream.Open(smRead));
  EXPECT_EQ(stream.Size(), 300);
  stream.Seek(100, soBegin);
  for (int i = 100; i < 103; ++i) EXPECT_EQ(stream.ReadByte(), i);
  EXPECT_EQ(stream.Tell(), 103);
  stream.Seek(101, soBegin);
  EXPECT_EQ(stream.ReadWord(), 0x6665);
  stream.Seek(0x34, soBegin);
  EXPECT_EQ(stream.ReadDWord(), 0x37363534u);
  stream.Seek(-2, soEnd);
  EXPECT_FALSE(stream.AtEnd());
  EXPECT_EQ(stream.ReadWord(), 0x2B2A);  // bytes 298, 299 wrap to 0x2A, 0x2B
  EXPECT_TRUE(stream.AtEnd());
}

}  // namespace
