#include "storage/library_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void PutLe32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

bool WriteLibrary(const std::string& path, const std::vector<LibraryMember>& members,
                  std::string* error) {
  if (members.empty()) {
    *error = path + ": a library needs at least one member";
    return false;
  }
  size_t offset = 12 + 64 * members.size();
  std::vector<uint8_t> head(offset, 0);
  std::memcpy(head.data(), "KVXLIB1\x1A", 8);
  PutLe32(head, 8, static_cast<uint32_t>(members.size()));
  for (size_t i = 0; i < members.size(); ++i) {
    const LibraryMember& m = members[i];
    if (m.name.empty() || m.name.size() > 51) {
      *error = path + ": member name '" + m.name + "' must have 1 to 51 characters";
      return false;
    }
    if (offset + m.bytes.size() > 0x7FFFFFFF) {
      *error = path + ": the library would exceed 2 GiB";
      return false;
    }
    const size_t entry = 12 + 64 * i;
    std::memcpy(&head[entry], m.name.data(), m.name.size());
    PutLe32(head, entry + 52, static_cast<uint32_t>(offset));
    PutLe32(head, entry + 56, static_cast<uint32_t>(m.bytes.size()));
    offset += m.bytes.size();
  }
  const std::string temporary = path + ".part";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) {
    *error = path + ": cannot create: " + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(head.data(), 1, head.size(), file) == head.size();
  for (const LibraryMember& m : members) {
    if (!ok) break;
    ok = m.bytes.empty() || std::fwrite(m.bytes.data(), 1, m.bytes.size(), file) == m.bytes.size();
  }
  if (std::fclose(file) != 0) ok = false;
  if (!ok) {
    *error = path + ": write failed: " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    *error = path + ": cannot rename the finished file into place: " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}
