// The music system's small file and memory layer. The S3M reader reads
// through it, so every failure (missing file, short read, a position past
// the end of the data) comes back as a music error code instead of a crash
// or a read outside the file's bytes. A MusicFile reads either a disk file
// or a block of bytes the caller keeps alive until MusicFileClose.
//
//   MusicFile* file = nullptr;
//   int code = MusicFileOpen("music.s3m", &file);      // or MusicFileOpenMemory
//   if (code == 0) code = MusicFileSeek(file, 96);
//   if (code == 0) code = MusicFileRead(file, buffer, 16);
//   MusicFileClose(file);
#pragma once

#include <cstddef>
#include <cstdint>

struct MusicFile;

// Opens a disk file for reading. 0, or kMusicFileOpenFailed / kMusicOutOfMemory.
int MusicFileOpen(const char* path, MusicFile** file);
// Reads from size bytes at data (not copied; they must outlive the file).
int MusicFileOpenMemory(const uint8_t* data, size_t size, MusicFile** file);
// Reads exactly byte_count bytes; fewer left gives kMusicUnexpectedEndOfFile
// (and the position is unchanged), an I/O error kMusicFileReadFailed.
int MusicFileRead(MusicFile* file, void* buffer, size_t byte_count);
// Moves to an absolute position; beyond the end gives kMusicFileSeekFailed.
int MusicFileSeek(MusicFile* file, size_t position);
// Size of the file's data in bytes.
size_t MusicFileSize(const MusicFile* file);
// Closes and frees; null is allowed. Returns 0.
int MusicFileClose(MusicFile* file);

// Allocates byte_count bytes, zero-filled. 0 bytes gives
// kMusicInvalidMemoryBlock, a failed allocation kMusicOutOfMemory.
int MusicMemoryAllocate(size_t byte_count, void** block);
// Frees a block from MusicMemoryAllocate; null is allowed. Returns 0.
int MusicMemoryFree(void* block);
