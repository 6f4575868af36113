// The music system's file and memory layer: every failure is a code.
#include "music/music_io.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "music/music_errors.h"

struct MusicFile {
  std::FILE* disk = nullptr;  // null for a memory file
  const uint8_t* memory = nullptr;
  size_t size = 0;
  size_t position = 0;
};

int MusicFileOpen(const char* path, MusicFile** file) {
  if (path == nullptr || file == nullptr) return kMusicInvalidArgument;
  std::FILE* disk = std::fopen(path, "rb");
  if (disk == nullptr) return kMusicFileOpenFailed;
  long size = -1;
  if (std::fseek(disk, 0, SEEK_END) == 0) size = std::ftell(disk);
  if (size < 0 || std::fseek(disk, 0, SEEK_SET) != 0) {
    std::fclose(disk);
    return kMusicFileReadFailed;
  }
  auto* opened = new (std::nothrow) MusicFile;
  if (opened == nullptr) {
    std::fclose(disk);
    return kMusicOutOfMemory;
  }
  opened->disk = disk;
  opened->size = static_cast<size_t>(size);
  *file = opened;
  return kMusicOk;
}

int MusicFileOpenMemory(const uint8_t* data, size_t size, MusicFile** file) {
  if ((data == nullptr && size != 0) || file == nullptr) return kMusicInvalidArgument;
  auto* opened = new (std::nothrow) MusicFile;
  if (opened == nullptr) return kMusicOutOfMemory;
  opened->memory = data;
  opened->size = size;
  *file = opened;
  return kMusicOk;
}

int MusicFileRead(MusicFile* file, void* buffer, size_t byte_count) {
  if (file == nullptr || (buffer == nullptr && byte_count != 0)) return kMusicInvalidArgument;
  if (byte_count > file->size - file->position) return kMusicUnexpectedEndOfFile;
  if (byte_count == 0) return kMusicOk;
  if (file->disk != nullptr) {
    if (std::fread(buffer, 1, byte_count, file->disk) != byte_count) {
      // Put the stream back where the caller believes it is.
      std::fseek(file->disk, static_cast<long>(file->position), SEEK_SET);
      return kMusicFileReadFailed;
    }
  } else {
    std::memcpy(buffer, file->memory + file->position, byte_count);
  }
  file->position += byte_count;
  return kMusicOk;
}

int MusicFileSeek(MusicFile* file, size_t position) {
  if (file == nullptr) return kMusicInvalidArgument;
  if (position > file->size) return kMusicFileSeekFailed;
  if (file->disk != nullptr && std::fseek(file->disk, static_cast<long>(position), SEEK_SET) != 0) {
    return kMusicFileSeekFailed;
  }
  file->position = position;
  return kMusicOk;
}

size_t MusicFileSize(const MusicFile* file) {
  return file == nullptr ? 0 : file->size;
}

int MusicFileClose(MusicFile* file) {
  if (file == nullptr) return kMusicOk;
  if (file->disk != nullptr) std::fclose(file->disk);
  delete file;
  return kMusicOk;
}

int MusicMemoryAllocate(size_t byte_count, void** block) {
  if (block == nullptr) return kMusicInvalidArgument;
  if (byte_count == 0) return kMusicInvalidMemoryBlock;
  void* allocated = std::calloc(1, byte_count);
  if (allocated == nullptr) return kMusicOutOfMemory;
  *block = allocated;
  return kMusicOk;
}

int MusicMemoryFree(void* block) {
  std::free(block);
  return kMusicOk;
}
