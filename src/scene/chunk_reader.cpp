// Chunk walking and bounded little-endian field reads.
#include "scene/chunk_reader.h"

#include <bit>
#include <cstring>

namespace {

uint16_t LoadU16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

uint32_t LoadU32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

}  // namespace

MemReader MakeReader(const uint8_t* data, uint32_t size) {
  return {data, size, 0};
}

MemReader OpenChunk(const Chunk& chunk) {
  return {chunk.data + chunk.cursor, chunk.size - chunk.cursor, 0};
}

bool HasMoreChunks(const MemReader& reader) {
  return reader.position != reader.size;
}

ChunkStatus NextChunk(MemReader* reader, Chunk* chunk) {
  const uint32_t remaining = reader->size - reader->position;
  if (remaining == 0) return ChunkStatus::kEnd;
  if (remaining < kChunkHeaderSize) return ChunkStatus::kMalformed;
  const uint8_t* header = reader->data + reader->position;
  const uint32_t length = LoadU32(header + 2);
  if (length < kChunkHeaderSize || length > remaining) return ChunkStatus::kMalformed;
  chunk->id = LoadU16(header);
  chunk->data = header + kChunkHeaderSize;
  chunk->size = length - kChunkHeaderSize;
  chunk->cursor = 0;
  reader->position += length;
  return ChunkStatus::kChunk;
}

bool ReadU8(Chunk* chunk, uint8_t* value) {
  if (Remaining(*chunk) < 1) return false;
  *value = chunk->data[chunk->cursor];
  chunk->cursor += 1;
  return true;
}

bool ReadU16(Chunk* chunk, uint16_t* value) {
  if (Remaining(*chunk) < 2) return false;
  *value = LoadU16(chunk->data + chunk->cursor);
  chunk->cursor += 2;
  return true;
}

bool ReadI16(Chunk* chunk, int16_t* value) {
  uint16_t raw = 0;
  if (!ReadU16(chunk, &raw)) return false;
  *value = static_cast<int16_t>(raw);
  return true;
}

bool ReadU32(Chunk* chunk, uint32_t* value) {
  if (Remaining(*chunk) < 4) return false;
  *value = LoadU32(chunk->data + chunk->cursor);
  chunk->cursor += 4;
  return true;
}

bool ReadFloat(Chunk* chunk, float* value) {
  uint32_t raw = 0;
  if (!ReadU32(chunk, &raw)) return false;
  *value = std::bit_cast<float>(raw);
  return true;
}

bool ReadVec3(Chunk* chunk, Vec3* value) {
  if (Remaining(*chunk) < 12) return false;
  ReadFloat(chunk, &value->x);
  ReadFloat(chunk, &value->y);
  ReadFloat(chunk, &value->z);
  return true;
}

bool SkipBytes(Chunk* chunk, uint32_t count) {
  if (Remaining(*chunk) < count) return false;
  chunk->cursor += count;
  return true;
}

bool ReadName(Chunk* chunk, char* name, size_t capacity) {
  const uint8_t* start = chunk->data + chunk->cursor;
  const void* terminator = std::memchr(start, 0, Remaining(*chunk));
  if (terminator == nullptr) return false;
  const size_t length = static_cast<size_t>(static_cast<const uint8_t*>(terminator) - start);
  const size_t kept = length < capacity - 1 ? length : capacity - 1;
  std::memcpy(name, start, kept);
  name[kept] = '\0';
  chunk->cursor += static_cast<uint32_t>(length + 1);
  return true;
}
