// The in-memory 3D scene. (Placeholder until the scene model lands: only
// the operations the shell calls are declared.)
#pragma once

struct Scene;

// Loads a scene from a member of the open file library; null on failure.
Scene* LoadScene(const char* path);
// Releases a scene and everything it owns; null is accepted and ignored.
void FreeScene(Scene* scene);
