// Windows over the bytes of a 3D Studio file and the chunks read from them.
// A chunk is a 2-byte id and a 4-byte length (header included), then its
// fixed fields and its sub-chunks; everything is little-endian and parsed in
// place. Every read is bounded by the chunk it belongs to.
#pragma once

#include <cstddef>
#include <cstdint>

#include "math/vector_math.h"

inline constexpr uint32_t kChunkHeaderSize = 6;

// A list of chunks back to back.
struct MemReader {
  const uint8_t* data;
  uint32_t size;
  uint32_t position;  // offset of the next chunk header
};

// One chunk taken from a reader.
struct Chunk {
  const uint8_t* data;  // first byte after the header
  uint32_t size;        // the header's length minus 6
  uint32_t cursor;      // offset into data, moved over the chunk's fixed fields
  uint16_t id;
};

enum class ChunkStatus {
  kChunk,      // a chunk was taken
  kEnd,        // the list ends exactly here
  kMalformed,  // 1 to 5 trailing bytes, a length below 6, or a chunk past the list's end
};

MemReader MakeReader(const uint8_t* data, uint32_t size);
// The window from the chunk's cursor to its end.
MemReader OpenChunk(const Chunk& chunk);
ChunkStatus NextChunk(MemReader* reader, Chunk* chunk);
bool HasMoreChunks(const MemReader& reader);

// Bounded reads of a chunk's fixed fields at its cursor. Each returns false,
// leaving the cursor where it was, when the chunk holds too few bytes.
bool ReadU8(Chunk* chunk, uint8_t* value);
bool ReadU16(Chunk* chunk, uint16_t* value);
bool ReadI16(Chunk* chunk, int16_t* value);
bool ReadU32(Chunk* chunk, uint32_t* value);
bool ReadFloat(Chunk* chunk, float* value);
bool ReadVec3(Chunk* chunk, Vec3* value);
bool SkipBytes(Chunk* chunk, uint32_t count);
// A NUL-terminated string, cut to capacity - 1 characters; the cursor moves
// past the terminator. False when the chunk holds no terminator.
bool ReadName(Chunk* chunk, char* name, size_t capacity);
// Bytes left after the cursor.
inline uint32_t Remaining(const Chunk& chunk) {
  return chunk.size - chunk.cursor;
}
