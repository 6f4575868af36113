// Temporary-and-rename file writing for the tools and the writers.
#include "storage/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

bool WriteFileAtomically(const std::string& path, const uint8_t* bytes, size_t size,
                         std::string* error) {
  const std::string temporary = path + ".part";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) {
    *error = path + ": cannot create: " + std::strerror(errno);
    return false;
  }
  bool ok = size == 0 || std::fwrite(bytes, 1, size, file) == size;
  int saved_errno = errno;
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    saved_errno = errno;
  }
  if (!ok) {
    *error = path + ": write failed: " + std::strerror(saved_errno);
    std::remove(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    *error = path + ": cannot move the finished file into place: " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}
