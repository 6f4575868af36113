// Shared between the parts of the 3D Studio reader: the load's context, the
// verbose trace and the chunk loops.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/chunk_reader.h"
#include "scene/scene.h"
#include "scene/tds_reader.h"

struct TdsContext {
  Scene* scene;
  SceneLoadError* error;  // may be null
  bool keyframer_seen;    // records may no longer move once nodes link to them
  // The chain of most recent nodes: [0] the last root, [d + 1] the last child
  // of [d]. Attaching a node walks this chain instead of the sibling lists.
  std::vector<SceneNode*> recent_chain;
};

// Prints to standard output when SceneReaderVerbose is on.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Records the first failure's reason and returns false.
bool Fail(TdsContext* context, const char* format, ...) __attribute__((format(printf, 2, 3)));

// How a list treats a chunk header it cannot take.
enum class ListRule {
  kLenient,  // the list ends there
  kStrict,   // the load fails
};

// Takes the next sub-chunk of a list. Returns 1 with a chunk, 0 at the end of
// the list, -1 when the list is malformed under a strict rule (the failure is
// recorded).
int NextListChunk(TdsContext* context, MemReader* list, Chunk* chunk, ListRule rule,
                  const char* list_name);

bool ReadEditor(TdsContext* context, Chunk* editor);
// One material (0xAFFF), appended to the scene's table.
bool ReadMaterial(TdsContext* context, Chunk* chunk);
bool ReadKeyframer(TdsContext* context, Chunk* keyframer);
// The verbose listing of the node hierarchy.
void PrintNodeTree(const Scene* scene);
