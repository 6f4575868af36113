// The sound outputs and the WAV writer: header fields, sizes, round trips,
// nothing left under the final name when a file is abandoned.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "music/wav_file.h"

namespace {

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("veyrith_music_" + std::to_string(::getpid()) + "_" + name))
      .string();
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
         (static_cast<uint32_t>(bytes[at + 3]) << 24);
}
uint32_t U16At(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | (bytes[at + 1] << 8);
}

TEST(WavFile, HeaderFieldsAndLittleEndianSamples) {
  const std::string path = TempPath("header.wav");
  const std::vector<int16_t> samples = {1, -1, 0x1234, -32768, 32767, 0};  // 3 stereo frames
  std::string error;
  ASSERT_TRUE(WriteWavFile(path, samples.data(), 3, 22050, 2, &error)) << error;
  const std::vector<uint8_t> bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), 44u + 12u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(U32At(bytes, 4), 36u + 12u);
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(U32At(bytes, 16), 16u);
  EXPECT_EQ(U16At(bytes, 20), 1u);          // PCM
  EXPECT_EQ(U16At(bytes, 22), 2u);          // channels
  EXPECT_EQ(U32At(bytes, 24), 22050u);      // rate
  EXPECT_EQ(U32At(bytes, 28), 22050u * 4);  // bytes per second
  EXPECT_EQ(U16At(bytes, 32), 4u);          // block align
  EXPECT_EQ(U16At(bytes, 34), 16u);         // bits
  EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
  EXPECT_EQ(U32At(bytes, 40), 12u);
  EXPECT_EQ(bytes[44], 1);
  EXPECT_EQ(bytes[45], 0);
  EXPECT_EQ(bytes[46], 0xFF);
  EXPECT_EQ(bytes[47], 0xFF);
  EXPECT_EQ(bytes[48], 0x34);
  EXPECT_EQ(bytes[49], 0x12);
  std::remove(path.c_str());
}

TEST(WavFile, StreamedWritesRoundTripAndLeaveNoTemporary) {
  const std::string path = TempPath("stream.wav");
  std::vector<int16_t> mono(10000);
  for (size_t i = 0; i < mono.size(); ++i) mono[i] = static_cast<int16_t>(i * 7 - 30000);
  WavWriter writer;
  std::string error;
  ASSERT_TRUE(writer.Open(path, 8000, 1, &error)) << error;
  // Unequal pieces, crossing the writer's internal batch size.
  ASSERT_TRUE(writer.Write(mono.data(), 3, &error));
  ASSERT_TRUE(writer.Write(mono.data() + 3, 5000, &error));
  ASSERT_TRUE(writer.Write(mono.data() + 5003, mono.size() - 5003, &error));
  EXPECT_FALSE(std::filesystem::exists(path)) << "visible before it is complete";
  ASSERT_TRUE(writer.Close(&error)) << error;
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
  WavData wav;
  ASSERT_TRUE(ReadWavFile(path, &wav, &error)) << error;
  EXPECT_EQ(wav.rate_hz, 8000);
  EXPECT_EQ(wav.channels, 1);
  EXPECT_EQ(wav.samples, mono);
  std::remove(path.c_str());
}

TEST(WavFile, AbandonedFileKeepsTheOldOneAndBadFormatsAreRefused) {
  const std::string path = TempPath("keep.wav");
  const std::vector<int16_t> old_samples = {5, 6};
  std::string error;
  ASSERT_TRUE(WriteWavFile(path, old_samples.data(), 2, 44100, 1, &error));
  {
    WavWriter writer;
    ASSERT_TRUE(writer.Open(path, 44100, 2, &error));
    const int16_t more[4] = {9, 9, 9, 9};
    ASSERT_TRUE(writer.Write(more, 2, &error));
  }  // destroyed without Close
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
  WavData wav;
  ASSERT_TRUE(ReadWavFile(path, &wav, &error)) << error;
  EXPECT_EQ(wav.samples, old_samples);

  WavWriter writer;
  EXPECT_FALSE(writer.Open(path, 44100, 3, &error));
  EXPECT_NE(error.find(path), std::string::npos);
  EXPECT_FALSE(writer.Open(path, 0, 2, &error));
  EXPECT_FALSE(writer.Open("/nonexistent-dir/x.wav", 44100, 2, &error));
  EXPECT_NE(error.find("/nonexistent-dir/x.wav"), std::string::npos);
  std::remove(path.c_str());
}

TEST(WavFile, ReaderRefusesDamagedFiles) {
  const std::string path = TempPath("good.wav");
  const std::vector<int16_t> samples = {1, 2, 3, 4};
  std::string error;
  ASSERT_TRUE(WriteWavFile(path, samples.data(), 2, 44100, 2, &error));
  const std::vector<uint8_t> good = ReadBytes(path);
  struct Damage {
    const char* what;
    size_t keep_bytes;  // truncate to this many bytes
    size_t at;          // then overwrite one byte here (if below keep_bytes)
    uint8_t value;
  };
  const Damage damages[] = {
      {"empty", 0, 0, 0},
      {"not RIFF", good.size(), 0, 'X'},
      {"not PCM", good.size(), 20, 3},
      {"8-bit", good.size(), 34, 8},
      {"data cut short", good.size() - 1, 99, 0},
      {"no data chunk", 36, 99, 0},
  };
  const std::string damaged = TempPath("damaged.wav");
  for (const Damage& damage : damages) {
    std::vector<uint8_t> bytes(good.begin(), good.begin() + static_cast<long>(damage.keep_bytes));
    if (damage.at < bytes.size()) bytes[damage.at] = damage.value;
    std::ofstream(damaged, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    WavData wav;
    EXPECT_FALSE(ReadWavFile(damaged, &wav, &error)) << damage.what;
    EXPECT_NE(error.find(damaged), std::string::npos) << damage.what;
  }
  std::remove(damaged.c_str());
  std::remove(path.c_str());
}

}  // namespace
