// Reads a tool's input into memory: a plain file, or a member of a file
// library written LIBRARY.dat:MEMBER (for example demo.dat:textures\plasm.pcx).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An argument names a plain file when such a file exists; otherwise it is
// split at the first ':' whose left part is an existing file, and the right
// part is the member name. On failure returns false and puts a message naming
// the file (and member) and what is wrong in *error.
bool ReadInputFile(const std::string& argument, std::vector<uint8_t>* bytes, std::string* error);

// Reads one member of the library at library_path.
bool ReadLibraryMember(const std::string& library_path, const std::string& member,
                       std::vector<uint8_t>* bytes, std::string* error);

// Why the file at path is not a usable library ("too short for a library
// header", "bad magic", ...), or an empty string when its header and
// directory read correctly.
std::string DescribeLibraryProblem(const std::string& path);
