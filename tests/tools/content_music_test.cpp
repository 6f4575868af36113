// Tests of the default music: the S3M writer, the timing walk, and the
// composition itself as the demo's player and other players hear it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "content/content_build.h"
#include "content/music_score.h"
#include "content/s3m_timing.h"
#include "content/s3m_writer.h"
#include "music/module.h"
#include "music/music_render.h"
#include "music/s3m_reader.h"
#include "run_program.h"

namespace {

uint32_t U16At(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8;
}

// Two channels, one looped instrument, two patterns.
S3mModule SmallModule() {
  S3mModule m;
  m.name = "test";
  m.initial_speed = 6;
  m.initial_tempo = 125;
  m.channels = {{false, 3}, {true, 12}};
  S3mInstrument beep;
  beep.name = "beep";
  for (int i = 0; i < 100; ++i) beep.data.push_back(static_cast<uint8_t>(i * 2));
  beep.looped = true;
  beep.loop_start = 20;
  beep.loop_end = 100;
  beep.volume = 50;
  m.instruments = {beep};
  m.patterns = {S3mPattern(2), S3mPattern(2)};
  m.patterns[0].rows[0][1] = {0x40, 1, 32, 'A', 3};
  m.orders = {0, 1, 0};
  m.fast_volume_slides = true;
  return m;
}

TEST(S3mWriter, WritesAModuleThatTheDemosReaderLoads) {
  std::string error;
  const std::vector<uint8_t> file = WriteS3m(SmallModule(), &error);
  ASSERT_FALSE(file.empty()) << error;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[44]), 4), "SCRM");
  EXPECT_EQ(U16At(file, 32), 4u) << "the order count is padded to an even number";
  EXPECT_EQ(file[96 + 3], 255) << "with an end marker";
  EXPECT_EQ(file[53], 252) << "a default pan table follows";
  const size_t instrument = U16At(file, 96 + 4) * 16;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[instrument + 76]), 4), "SCRS");
  const size_t sample = U16At(file, instrument + 14) * 16;
  EXPECT_EQ(file[sample + 10], 20) << "sample bytes are stored as given (unsigned)";

  Module* module = nullptr;
  ASSERT_EQ(LoadS3MFromMemory(file.data(), file.size(), &module), 0);
  EXPECT_EQ(module->song_length, 3);
  EXPECT_EQ(module->pattern_count, 2);
  EXPECT_EQ(module->channel_count, 2);
  EXPECT_EQ(module->speed, 6);
  EXPECT_EQ(module->tempo, 125);
  EXPECT_EQ(module->flags & 2u, 2u) << "fast volume slides";
  EXPECT_EQ(module->panning[0], 24);   // pan byte 3 -> 8 * 3
  EXPECT_EQ(module->panning[1], 104);  // pan byte 12 -> 128 - 8 * 3
  ASSERT_NE(module->samples[0], nullptr);
  EXPECT_EQ(module->samples[0]->loop_start, 20u);
  EXPECT_EQ(module->samples[0]->loop_end, 100u);
  EXPECT_EQ(module->samples[0]->rate_hz, 8363u);
  EXPECT_EQ(module->samples[0]->data[10], 20 - 128) << "re-centred to signed by the reader";
  FreeModule(module);
}

TEST(S3mTiming, FollowsSpeedTempoLoopsDelaysBreaksAndTheJumpBack) {
  S3mModule m = SmallModule();
  m.patterns = {S3mPattern(2), S3mPattern(2)};
  m.orders = {0, 1};
  auto& p = m.patterns[0].rows;
  p[0][0] = {S3mCell::kNoNote, 0, S3mCell::kNoVolume, 'A', 3};
  p[0][1] = {S3mCell::kNoNote, 0, S3mCell::kNoVolume, 'T', 150};  // a row is 0.05 s
  p[1][0] = {S3mCell::kNoNote, 0, S3mCell::kNoVolume, 'A', 0};    // ignored, as is
  p[1][1] = {S3mCell::kNoNote, 0, S3mCell::kNoVolume, 'T', 31};   // a tempo below 32
  p[2][0] = {S3mCell::kNoNote, 0, S3mCell::kNoVolume, 'S', 0xB0};
  p[3][0] = {S3mCell::kNoNote, 0, S3mCell::kNoVolume, 'S', 0xB1};  // rows 2-3 twice
  p[5][0] = {S3mCell::kNoNote, 0, S3mCell::kNoVolume, 'S', 0xE2};  // row 5 three times
  p[7][1] = {S3mCell::kNoNote, 0, S3mCell::kNoVolume, 'C', 0};     // 8 rows long
  m.patterns[1].rows[0][0] = {S3mCell::kNoNote, 0, S3mCell::kNoVolume, 'B', 0};
  const S3mTiming timing = TimeS3m(m);
  EXPECT_NEAR(timing.order_start_seconds[1], 12 * 0.05, 1e-9);
  EXPECT_NEAR(timing.total_seconds, 13 * 0.05, 1e-9) << "the song ends at the jump back";
}

TEST(DefaultMusic, SectionsBeginOnTheScheduleAndTheSongLasts218Seconds) {
  S3mModule module;
  std::string error;
  ASSERT_TRUE(ComposeMusic(&module, &error)) << error;
  EXPECT_GE(module.channels.size(), 8u);
  const S3mTiming timing = TimeS3m(module);
  EXPECT_NEAR(timing.total_seconds, 218.0, 0.01);
  for (double start : MusicSectionStarts()) {
    if (start >= 218) continue;
    bool found = false;
    for (double order_start : timing.order_start_seconds)
      found |= std::fabs(order_start - start) < 0.001;
    EXPECT_TRUE(found) << "no pattern begins at " << start << " s";
  }
}

// The demo's own player and, where it is installed, OpenMPT both play the
// written file to its end after 218 seconds.
TEST(DefaultMusic, PlaysFor218SecondsWithTheDemosPlayerAndOpenMpt) {
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(MakeMusicFile(&bytes, &error)) << error;
  const TempFolder folder;
  const std::string path = folder / "music.s3m";
  WriteBytes(path, bytes);
  MusicRenderer renderer;
  MusicRenderOptions options;
  options.rate_hz = 8000;
  options.channels = 1;
  ASSERT_TRUE(renderer.Open(path.c_str(), options, &error)) << error;
  std::vector<int16_t> buffer(8000);
  int peak = 0;
  for (int got; (got = renderer.Render(buffer.data(), 8000, &error)) != 0;) {
    ASSERT_GT(got, 0) << error;
    for (int i = 0; i < got; ++i)
      peak = std::max(peak, std::abs(int{buffer[static_cast<size_t>(i)]}));
  }
  EXPECT_NEAR(static_cast<double>(renderer.FramesRendered()) / 8000.0, 218.0, 2.0);
  EXPECT_GT(peak, 3000) << "the music is audible";
  if (std::system("command -v openmpt123 > /dev/null 2>&1") == 0) {
    FILE* pipe = popen(("openmpt123 --info '" + path + "' 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char chunk[1024];
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, got);
    pclose(pipe);
    const size_t at = out.find("Duration...: ");
    int minutes = 0;
    double seconds = 0;
    ASSERT_TRUE(at != std::string::npos &&
                std::sscanf(out.c_str() + at + 13, "%d:%lf", &minutes, &seconds) == 2)
        << out;
    EXPECT_NEAR(minutes * 60 + seconds, 218.0, 2.0);
  }
}

}  // namespace
