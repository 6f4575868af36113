// Generates and writes the default content files.
#include "content/content_build.h"

#include <cstdio>
#include <filesystem>

#include "content/music_score.h"
#include "content/s3m_writer.h"

namespace {

// Writes through a temporary name renamed into place, so a failed build
// never leaves a half-written file behind.
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string* error) {
  const std::string temporary = path + ".tmp";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) {
    *error = temporary + ": cannot create the file";
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  std::error_code code;
  if (!written || !closed) {
    *error = temporary + ": write failed (disk full?)";
    std::filesystem::remove(temporary, code);
    return false;
  }
  std::filesystem::rename(temporary, path, code);
  if (code) {
    *error = path + ": " + code.message();
    std::filesystem::remove(temporary, code);
    return false;
  }
  return true;
}

}  // namespace

bool MakeMusicFile(std::vector<uint8_t>* bytes, std::string* error) {
  S3mModule module;
  if (!ComposeMusic(&module, error)) return false;
  *bytes = WriteS3m(module, error);
  return !bytes->empty();
}

bool BuildContent(const std::string& out_dir, void (*progress)(const char* step),
                  std::string* error) {
  const std::filesystem::path dir = out_dir;
  if (progress) progress("composing music.s3m");
  std::vector<uint8_t> music;
  if (!MakeMusicFile(&music, error)) {
    *error = "music.s3m: " + *error;
    return false;
  }
  if (!WriteWholeFile((dir / "music.s3m").string(), music, error)) return false;
  if (progress) progress("building demo.dat");
  std::vector<LibraryMember> members;
  if (!MakeLibraryMembers(&members, error)) {
    *error = "demo.dat: " + *error;
    return false;
  }
  return WriteLibrary((dir / "demo.dat").string(), members, error);
}
