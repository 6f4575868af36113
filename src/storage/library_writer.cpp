#include "storage/library_writer.h"

#include <cstring>
#include <utility>

#include "storage/atomic_file.h"

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
  std::vector<uint8_t> bytes = std::move(head);
  bytes.reserve(offset);
  for (const LibraryMember& m : members) bytes.insert(bytes.end(), m.bytes.begin(), m.bytes.end());
  return WriteFileAtomically(path, bytes.data(), bytes.size(), error);
}
