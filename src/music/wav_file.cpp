// 16-bit PCM WAV writer and reader (see wav_file.h).
#include "music/wav_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

void PutU16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t* at, uint32_t value) {
  PutU16(at, value & 0xFFFF);
  PutU16(at + 2, value >> 16);
}

uint32_t GetU16(const uint8_t* at) {
  return static_cast<uint32_t>(at[0] | (at[1] << 8));
}
uint32_t GetU32(const uint8_t* at) {
  return GetU16(at) | (GetU16(at + 2) << 16);
}

void BuildHeader(uint8_t* header, int rate_hz, int channels, uint32_t data_bytes) {
  const uint32_t block_align = static_cast<uint32_t>(channels) * 2;
  std::memcpy(header, "RIFF", 4);
  PutU32(header + 4, data_bytes + 36);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  PutU32(header + 16, 16);  // fmt chunk size
  PutU16(header + 20, 1);   // PCM
  PutU16(header + 22, static_cast<uint32_t>(channels));
  PutU32(header + 24, static_cast<uint32_t>(rate_hz));
  PutU32(header + 28, static_cast<uint32_t>(rate_hz) * block_align);  // bytes per second
  PutU16(header + 32, block_align);
  PutU16(header + 34, 16);  // bits per sample
  std::memcpy(header + 36, "data", 4);
  PutU32(header + 40, data_bytes);
}

std::string SystemReason() {
  return std::strerror(errno);
}

}  // namespace

WavWriter::~WavWriter() {
  Abandon();
}

bool WavWriter::Open(const std::string& path, int rate_hz, int channels, std::string* error) {
  Abandon();
  if (channels != 1 && channels != 2) {
    *error = path + ": a WAV output has 1 or 2 channels, not " + std::to_string(channels);
    return false;
  }
  if (rate_hz < 1 || rate_hz > 1000000) {
    *error = path + ": unusable sample rate " + std::to_string(rate_hz) + " Hz";
    return false;
  }
  path_ = path;
  temporary_path_ = path + ".part";
  file_ = std::fopen(temporary_path_.c_str(), "wb");
  if (file_ == nullptr) {
    *error = temporary_path_ + ": cannot create: " + SystemReason();
    return false;
  }
  channels_ = channels;
  frames_written_ = 0;
  uint8_t header[kWavHeaderBytes];
  BuildHeader(header, rate_hz, channels, 0);
  if (std::fwrite(header, 1, sizeof header, file_) != sizeof header) {
    *error = temporary_path_ + ": cannot write: " + SystemReason();
    Abandon();
    return false;
  }
  rate_hz_ = rate_hz;
  return true;
}

bool WavWriter::Write(const int16_t* samples, size_t frames, std::string* error) {
  if (file_ == nullptr) {
    *error = "WAV output: no file is open";
    return false;
  }
  const uint64_t frame_bytes = static_cast<uint64_t>(channels_) * 2;
  if ((frames_written_ + frames) * frame_bytes > kWavMaxDataBytes) {
    *error = temporary_path_ + ": the sound is too long for a WAV file (4 GiB limit)";
    return false;
  }
  const size_t count = frames * static_cast<size_t>(channels_);
  uint8_t chunk[4096];
  size_t done = 0;
  while (done < count) {
    const size_t batch = std::min(count - done, sizeof chunk / 2);
    for (size_t i = 0; i < batch; ++i) {
      PutU16(chunk + 2 * i, static_cast<uint16_t>(samples[done + i]));
    }
    if (std::fwrite(chunk, 2, batch, file_) != batch) {
      *error = temporary_path_ + ": cannot write: " + SystemReason();
      return false;
    }
    done += batch;
  }
  frames_written_ += frames;
  return true;
}

bool WavWriter::Close(std::string* error) {
  if (file_ == nullptr) {
    *error = "WAV output: no file is open";
    return false;
  }
  const auto data_bytes =
      static_cast<uint32_t>(frames_written_ * static_cast<uint64_t>(channels_) * 2);
  uint8_t header[kWavHeaderBytes];
  BuildHeader(header, rate_hz_, channels_, data_bytes);
  bool written = std::fseek(file_, 0, SEEK_SET) == 0 &&
                 std::fwrite(header, 1, sizeof header, file_) == sizeof header;
  written = (std::fclose(file_) == 0) && written;
  file_ = nullptr;
  if (!written) {
    *error = temporary_path_ + ": cannot finish the file: " + SystemReason();
    std::remove(temporary_path_.c_str());
    return false;
  }
  if (std::rename(temporary_path_.c_str(), path_.c_str()) != 0) {
    *error = path_ + ": cannot move the finished file into place: " + SystemReason();
    std::remove(temporary_path_.c_str());
    return false;
  }
  return true;
}

void WavWriter::Abandon() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
  std::remove(temporary_path_.c_str());
}

bool WriteWavFile(const std::string& path, const int16_t* samples, size_t frames, int rate_hz,
                  int channels, std::string* error) {
  WavWriter writer;
  return writer.Open(path, rate_hz, channels, error) && writer.Write(samples, frames, error) &&
         writer.Close(error);
}

bool ReadWavFile(const std::string& path, WavData* wav, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = path + ": cannot open: " + SystemReason();
    return false;
  }
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  std::fclose(file);
  auto fail = [&](const char* why) {
    *error = path + ": " + why;
    return false;
  };
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
      std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
    return fail("not a RIFF WAVE file");
  }
  bool have_format = false;
  size_t at = 12;
  while (at + 8 <= bytes.size()) {
    const uint32_t chunk_bytes = GetU32(&bytes[at + 4]);
    const uint8_t* body = &bytes[at + 8];
    const size_t left = bytes.size() - at - 8;
    if (std::memcmp(&bytes[at], "fmt ", 4) == 0) {
      if (chunk_bytes < 16 || left < 16) return fail("the format chunk is too short");
      if (GetU16(body) != 1 || GetU16(body + 14) != 16) return fail("not 16-bit PCM");
      wav->channels = static_cast<int>(GetU16(body + 2));
      wav->rate_hz = static_cast<int>(GetU32(body + 4));
      if (wav->channels < 1) return fail("the file has no channels");
      have_format = true;
    } else if (std::memcmp(&bytes[at], "data", 4) == 0) {
      if (!have_format) return fail("the data chunk comes before the format chunk");
      if (chunk_bytes > left) return fail("the data chunk is cut short");
      const size_t frame_bytes = static_cast<size_t>(wav->channels) * 2;
      const size_t count = chunk_bytes / frame_bytes * wav->channels;
      wav->samples.resize(count);
      for (size_t i = 0; i < count; ++i) {
        wav->samples[i] = static_cast<int16_t>(GetU16(body + 2 * i));
      }
      return true;
    }
    at += 8 + static_cast<size_t>(chunk_bytes) + (chunk_bytes & 1);
  }
  return fail("no data chunk");
}
