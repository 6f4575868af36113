// Tests of the picture writers: PCX run encoding limits and BMP layout. PNG
// pictures are read back by the golden, capture and picture tool tests, and
// the captures hold a failed write to leaving nothing behind.
#include <gtest/gtest.h>

#include <vector>

#include "storage/bmp_writer.h"
#include "storage/pcx_writer.h"

namespace {

TEST(PcxWriterTest, RunsStayWithinLimitsAndHighBytesAreEscaped) {
  // One row: 100 x 7, then a single 200, then 5 x 1; width 107 pads to 108.
  std::vector<uint8_t> row(107, 7);
  row[100] = 200;
  for (int i = 101; i < 106; ++i) row[i] = 1;
  row[106] = 9;
  uint8_t palette[768] = {};
  const std::vector<uint8_t> pcx = EncodePcx8(row.data(), 107, 1, palette);
  ASSERT_EQ(pcx[66] | pcx[67] << 8, 108) << "even bytes per line";
  const std::vector<uint8_t> data(pcx.begin() + 128, pcx.end() - 769);
  const std::vector<uint8_t> expected = {0xC0 | 63, 7,    0xC0 | 37, 7, 0xC1,
                                         200,       0xC5, 1,         9, 0};  // last: pad byte
  EXPECT_EQ(data, expected);
  EXPECT_EQ(pcx[pcx.size() - 769], 0x0C) << "palette marker";

  PcxEncodeOptions too_narrow;
  too_narrow.bytes_per_line = 106;
  EXPECT_TRUE(EncodePcx8(row.data(), 107, 1, palette, too_narrow).empty());
  EXPECT_TRUE(EncodePcx8(row.data(), 0, 1, palette).empty());
}

TEST(BmpWriterTest, RowsAreBottomUpAndPadded) {
  const uint8_t rgb[2 * 3] = {1, 2, 3, /* second row */ 4, 5, 6};  // 1 x 2
  const std::vector<uint8_t> bmp = EncodeBmp24(rgb, 1, 2);
  ASSERT_EQ(bmp.size(), 54u + 2 * 4);
  EXPECT_EQ(bmp[0], 'B');  // the rest of the header is read back by the decoder tests
  const std::vector<uint8_t> rows(bmp.begin() + 54, bmp.end());
  EXPECT_EQ(rows, (std::vector<uint8_t>{6, 5, 4, 0, 3, 2, 1, 0}));
  // Two pixels: six bytes, padded to eight.
  const std::vector<uint8_t> wide = EncodeBmp24(rgb, 2, 1);
  EXPECT_EQ(std::vector<uint8_t>(wide.begin() + 54, wide.end()),
            (std::vector<uint8_t>{3, 2, 1, 6, 5, 4, 0, 0}));
}

}  // namespace
