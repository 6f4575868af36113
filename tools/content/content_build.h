// The default content of the demo: music.s3m and demo.dat, generated from
// code alone, the same bytes at every build.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/library_writer.h"

// The bytes of music.s3m.
bool MakeMusicFile(std::vector<uint8_t>* bytes, std::string* error);

// The members of demo.dat, in directory order.
bool MakeLibraryMembers(std::vector<LibraryMember>* members, std::string* error);

// Writes both files into out_dir (which must exist). progress, when given,
// receives one line per step.
bool BuildContent(const std::string& out_dir, void (*progress)(const char* step),
                  std::string* error);
