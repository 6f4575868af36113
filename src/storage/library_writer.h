// Writes file libraries ("KVXLIB1" + 0x1A, entry count, 64-byte directory
// entries, member bytes stored as they are). Used by the tools and the
// default-content generator; the demo itself only reads libraries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LibraryMember {
  std::string name;  // backslash-separated path, at most 51 characters
  std::vector<uint8_t> bytes;
};

// Writes the library to path through a temporary file that is renamed into
// place, so a failure never leaves a half-written library. On failure
// returns false and puts the reason in *error.
bool WriteLibrary(const std::string& path, const std::vector<LibraryMember>& members,
                  std::string* error);
