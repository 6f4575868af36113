// The 3D Studio (.3DS) reader: turns a file's bytes into a Scene. LoadScene
// (scene/scene.h) reads a member of the content library and calls it; tools,
// tests and the fuzzer call LoadSceneFromMemory directly.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scene/scene.h"

// Why a load failed, for the tools' one-line error; empty on success.
struct SceneLoadError {
  char message[256];
};

// The reader's verbose switch: when true, the reader prints its detailed
// trace of every chunk to standard output. Off by default; only tools turn
// it on.
extern bool SceneReaderVerbose;

// Reads a whole .3DS file held in memory. Returns the scene, or null (and
// the reason in *error when error is not null). The bytes are not kept.
Scene* LoadSceneFromMemory(const uint8_t* bytes, size_t size, SceneLoadError* error = nullptr);

// LoadScene with the reason of a failure.
Scene* LoadScene(const char* path, SceneLoadError* error);
