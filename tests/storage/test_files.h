// Helpers for the storage tests: whole-file writes and reads, and libraries
// assembled from hand-written bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace storage_test {

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void PutLe32(std::vector<uint8_t>& bytes, size_t at, int32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
}

struct RawEntry {
  std::string name;
  int32_t offset;
  int32_t length;
};

// Header and directory only; the caller appends member bytes.
inline std::vector<uint8_t> LibraryHead(const std::vector<RawEntry>& entries) {
  std::vector<uint8_t> bytes(12 + 64 * entries.size(), 0);
  std::memcpy(bytes.data(), "KVXLIB1\x1A", 8);
  PutLe32(bytes, 8, static_cast<int32_t>(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) {
    const size_t at = 12 + 64 * i;
    std::memcpy(&bytes[at], entries[i].name.data(), entries[i].name.size());
    PutLe32(bytes, at + 52, entries[i].offset);
    PutLe32(bytes, at + 56, entries[i].length);
    PutLe32(bytes, at + 60, 0x5A5A5A5A);  // never read
  }
  return bytes;
}

// A library of named members laid out one after another after the directory.
inline std::vector<uint8_t> MakeLibrary(
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>& members) {
  std::vector<RawEntry> entries;
  int32_t offset = static_cast<int32_t>(12 + 64 * members.size());
  for (const auto& [name, data] : members) {
    entries.push_back({name, offset, static_cast<int32_t>(data.size())});
    offset += static_cast<int32_t>(data.size());
  }
  std::vector<uint8_t> bytes = LibraryHead(entries);
  for (const auto& member : members)
    bytes.insert(bytes.end(), member.second.begin(), member.second.end());
  return bytes;
}

inline std::vector<uint8_t> Iota(size_t count, uint8_t first = 0) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return bytes;
}

}  // namespace storage_test
