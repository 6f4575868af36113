// Tests of the generator's building blocks: tileable noise, colour
// reduction and picture encoding, and the tracker grid. The instruments are
// heard in the default music's tests.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "content/music_grid.h"
#include "content/picture.h"
#include "content/procedural.h"
#include "storage/picture_decoders.h"

namespace {

TEST(Procedural, NoiseRepeatsWithItsPeriodAndStaysInRange) {
  for (float x = 0.1f; x < 8; x += 0.77f) {
    for (float y = 0.3f; y < 8; y += 0.61f) {
      const float n = TileNoise(x, y, 4, 7);
      EXPECT_NEAR(n, TileNoise(x + 4, y, 4, 7), 1e-5f);
      EXPECT_NEAR(n, TileNoise(x, y - 8, 4, 7), 1e-5f);
      EXPECT_NEAR(TileFractal(x, y, 4, 5, 0.5f, 3), TileFractal(x + 4, y + 4, 4, 5, 0.5f, 3),
                  1e-5f);
      EXPECT_NEAR(TileRidged(x, y, 2, 4, 3), TileRidged(x - 2, y, 2, 4, 3), 1e-5f);
      EXPECT_GE(n, 0.0f);
      EXPECT_LE(n, 1.0f);
    }
  }
  EXPECT_NE(TileNoise(0.5f, 0.5f, 4, 1), TileNoise(0.5f, 0.5f, 4, 2)) << "seeds differ";
}

TEST(Pictures, FewColoursSurviveReductionAndEncodingExactly) {
  RgbPicture picture(40, 30);
  const float colours[5][3] = {
      {0, 0, 0}, {1, 1, 1}, {1, 0, 0}, {0.2f, 0.6f, 0.9f}, {0.5f, 0.5f, 0}};
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) {
      const float* c = colours[(x / 7 + y / 5) % 5];
      picture.Set(x, y, c[0], c[1], c[2]);
    }
  }
  const IndexedPicture reduced = ReduceColours(picture);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) {
      const uint8_t* want = picture.At(x, y);
      const uint8_t* got = &reduced.palette[reduced.indices[static_cast<size_t>(y * 40 + x)] * 3];
      for (int ch = 0; ch < 3; ++ch) ASSERT_LE(std::abs(want[ch] - got[ch]), 4) << x << "," << y;
    }
  }
  // The PCX written for it decodes, through the demo's decoder, to the
  // same indices and palette.
  const std::vector<uint8_t> pcx = EncodePcx(reduced);
  std::vector<uint8_t> decoded(40 * 30, 0xEE);
  ASSERT_TRUE(
      DecodePcxIndexed(pcx.data(), static_cast<int32_t>(pcx.size()), decoded.data(), 0, 0, 40, 30));
  EXPECT_TRUE(decoded == reduced.indices);
  for (int i = 0; i < 768; ++i) ASSERT_EQ(PicturePalette[i], reduced.palette[i] >> 2);
}

TEST(TrackerGrid, NotesParseAndTranspose) {
  EXPECT_EQ(NoteFromName("C4"), 0x40);
  EXPECT_EQ(NoteFromName("A5"), 0x59);
  EXPECT_EQ(NoteFromName("C#4"), 0x41);
  EXPECT_EQ(NoteFromName("Cb4"), 0x3B) << "C flat is the B below";
  EXPECT_EQ(NoteFromName("B#3"), 0x40);
  EXPECT_EQ(NoteFromName("^"), S3mCell::kNoteCut);
  for (const char* bad : {"", "H4", "C", "C10", "Cx4", "C#"})
    EXPECT_EQ(NoteFromName(bad), S3mCell::kNoNote) << bad;
  EXPECT_EQ(Transpose(0x4B, 1), 0x50) << "B-4 up a semitone is C-5";
  EXPECT_EQ(Transpose(0x40, -13), 0x2B);
  EXPECT_EQ(Transpose(S3mCell::kNoteCut, 5), S3mCell::kNoteCut);
}

TEST(TrackerGrid, SectionsBecomePatternsWithBreaksAndSharedCopies) {
  SongGrid grid(2);
  const int first = grid.AddSection(100);  // 64 + 36 rows
  grid.Note(first, 0, 0x40, 1, 40);
  const int second = grid.AddSection(36);  // the same 36 rows again
  EXPECT_EQ(second, 100);
  grid.Effect(99, 1, 'D', 0x0F);  // the break must go to channel 0 here
  S3mModule module;
  std::string error;
  ASSERT_TRUE(grid.Build(&module, &error)) << error;
  ASSERT_EQ(module.orders.size(), 3u);
  EXPECT_EQ(module.patterns.size(), 3u) << "the second short piece differs by its D only";
  const auto& short_piece = module.patterns[module.orders[1]].rows;
  EXPECT_EQ(short_piece[35][0].command, 'C');
  EXPECT_EQ(short_piece[35][1].command, 'D');
  EXPECT_EQ(module.patterns[module.orders[2]].rows[35][1].command, 'C');
  EXPECT_EQ(module.patterns[module.orders[0]].rows[0][0].note, 0x40);

  SongGrid same(1);
  same.AddSection(10);
  same.AddSection(10);
  ASSERT_TRUE(same.Build(&module, &error));
  EXPECT_EQ(module.patterns.size(), 1u) << "identical pieces share one pattern";
  EXPECT_EQ(module.orders, (std::vector<uint8_t>{0, 0}));

  SongGrid full(1);
  full.AddSection(8);
  full.Effect(7, 0, 'A', 6);
  EXPECT_FALSE(full.Build(&module, &error)) << "no free column for the break";
  EXPECT_NE(error.find("break"), std::string::npos);
}

}  // namespace
