// The 3D Studio reader's entry points: the main chunk, the verbose trace and
// the failure reasons.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

#include "scene/tds_internal.h"

bool SceneReaderVerbose = false;

void Trace(const char* format, ...) {
  if (!SceneReaderVerbose) return;
  va_list arguments;
  va_start(arguments, format);
  std::vprintf(format, arguments);
  va_end(arguments);
}

bool Fail(TdsContext* context, const char* format, ...) {
  if (context->error != nullptr && context->error->message[0] == '\0') {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(context->error->message, sizeof(context->error->message), format, arguments);
    va_end(arguments);
  }
  return false;
}

int NextListChunk(TdsContext* context, MemReader* list, Chunk* chunk, ListRule rule,
                  const char* list_name) {
  const ChunkStatus status = NextChunk(list, chunk);
  if (status == ChunkStatus::kChunk) return 1;
  if (status == ChunkStatus::kEnd || rule == ListRule::kLenient) return 0;
  Fail(context, "malformed sub-chunk at offset %u of a %s chunk (%u bytes)", list->position,
       list_name, list->size);
  return -1;
}

namespace {

bool ReadMainChunk(TdsContext* context, Chunk* main) {
  MemReader list = OpenChunk(*main);
  SetDefaultMaterial(context->scene);
  Chunk chunk;
  while (NextListChunk(context, &list, &chunk, ListRule::kLenient, "main") == 1) {
    switch (chunk.id) {
      case 0x0002: {
        int16_t version = 0;
        ReadI16(&chunk, &version);
        Trace("File format version is %i\n", version);
        break;
      }
      case 0x3D3D:
        Trace("3D Editor\n");
        // Nodes link into the record arrays, which an editor section would move.
        if (context->keyframer_seen) {
          return Fail(context, "an editor chunk follows the keyframer chunk");
        }
        if (!ReadEditor(context, &chunk)) return false;
        break;
      case 0xB000:
        Trace("Keyframer\n");
        context->keyframer_seen = true;
        if (!ReadKeyframer(context, &chunk)) return false;
        break;
      default:
        Trace("Unknown chunk ID 0x%X in mainchunk found!\n", chunk.id);
        break;
    }
  }
  return true;
}

}  // namespace

Scene* LoadSceneFromMemory(const uint8_t* bytes, size_t size, SceneLoadError* error) {
  if (error != nullptr) error->message[0] = '\0';
  Scene* scene = CreateScene();
  TdsContext context{scene, error, false, {}};
  if (scene == nullptr) {
    Fail(&context, "out of memory");
    return nullptr;
  }
  if (size > std::numeric_limits<uint32_t>::max()) {
    Fail(&context, "file of %zu bytes is too large", size);
    FreeScene(scene);
    return nullptr;
  }
  MemReader file = MakeReader(bytes, static_cast<uint32_t>(size));
  Chunk main;
  if (NextChunk(&file, &main) != ChunkStatus::kChunk || main.id != 0x4D4D) {
    Fail(&context, "not a 3D Studio file: no main chunk (0x4D4D) at its start");
    FreeScene(scene);
    return nullptr;
  }
  if (!ReadMainChunk(&context, &main)) {
    FreeScene(scene);
    return nullptr;
  }
  return scene;
}
