// Input of the vrtool subcommands: plain files and library members, read
// through the demo's own streams so the tools see exactly what the demo sees.
#include "vrtool/input_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "storage/file_library.h"
#include "storage/stream.h"

namespace {

bool IsRegularFile(const std::string& path) {
  std::error_code code;
  return std::filesystem::is_regular_file(path, code);
}

int32_t Le32(const uint8_t* bytes) {
  return static_cast<int32_t>(
      static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
      static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

bool ReadPlainFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    *error = path + ": cannot open: " + std::strerror(errno);
    return false;
  }
  bytes->clear();
  uint8_t chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    bytes->insert(bytes->end(), chunk, chunk + got);
    if (bytes->size() > INT32_MAX) {
      std::fclose(file);
      *error = path + ": larger than 2 GiB";
      return false;
    }
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    *error = path + ": read error";
    return false;
  }
  return true;
}

}  // namespace

std::string DescribeLibraryProblem(const std::string& path) {
  std::vector<uint8_t> head;
  std::string error;
  if (!ReadPlainFile(path, &head, &error)) return error;
  const int64_t size = static_cast<int64_t>(head.size());
  if (size < 12) return "too short for a library header (" + std::to_string(size) + " bytes)";
  if (std::memcmp(head.data(), kLibraryMagic, sizeof kLibraryMagic) != 0) {
    return "not a file library (the first 8 bytes are not \"KVXLIB1\" and 0x1A)";
  }
  const int32_t count = Le32(head.data() + 8);
  if (count <= 0) return "entry count " + std::to_string(count) + " (must be at least 1)";
  const int64_t directory_end = 12 + static_cast<int64_t>(count) * 64;
  if (directory_end > size) {
    return "directory of " + std::to_string(count) + " entries runs past the end of the file (" +
           std::to_string(size) + " bytes)";
  }
  return "";
}

bool ReadLibraryMember(const std::string& library_path, const std::string& member,
                       std::vector<uint8_t>* bytes, std::string* error) {
  TFile file;
  file.SetName(library_path.c_str());
  if (!file.Open(smRead)) {
    *error = library_path + ": cannot open: " + std::strerror(errno);
    return false;
  }
  TFileLib library(&file);
  if (library.Failed()) {
    *error = library_path + ": " + DescribeLibraryProblem(library_path);
    return false;
  }
  TFileInLib stream(&library);
  stream.SetName(member.c_str());
  if (!stream.Open(smRead) || stream.Failed()) {
    *error = library_path + ": no member named '" + member + "'";
    return false;
  }
  const int32_t size = stream.Size();
  bytes->assign(static_cast<size_t>(size), 0);
  if (size > 0 && stream.Read(bytes->data(), size, 1) != 1) {
    *error = library_path + ": member '" + member + "' runs past the end of the file";
    return false;
  }
  return true;
}

bool ReadInputFile(const std::string& argument, std::vector<uint8_t>* bytes, std::string* error) {
  if (IsRegularFile(argument)) return ReadPlainFile(argument, bytes, error);
  for (size_t colon = argument.find(':'); colon != std::string::npos;
       colon = argument.find(':', colon + 1)) {
    const std::string library = argument.substr(0, colon);
    if (IsRegularFile(library)) {
      return ReadLibraryMember(library, argument.substr(colon + 1), bytes, error);
    }
  }
  if (std::filesystem::is_directory(argument)) {
    *error = argument + ": is a directory, not a file";
    return false;
  }
  *error = argument + ": no such file (nor LIBRARY:MEMBER)";
  return false;
}
