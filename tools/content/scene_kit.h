// Building blocks shared by the scene builders: materials, meshes with
// their keyframer nodes (every object gets the position, rotation and
// scale keys the demo needs to place it), cameras, lights and sky domes.
#pragma once

#include <string>
#include <vector>

#include "content/scene_model.h"

constexpr float kPi = 3.14159265f;

int AddMaterial(SceneSpec& scene, const MaterialSpec& material);

// Appends a mesh and its object node (position, identity rotation, unit
// scale at frame 0). depth -1 makes a root; children follow their parent.
// Returns the index of the node; the mesh is scene.meshes.back().
size_t AddObject(SceneSpec& scene, const std::string& name, int depth, Vec3f position);
MeshSpec& MeshOf(SceneSpec& scene, const std::string& name);

// A spinning node: keys every `step` frames over 0..frames, each turning
// `radians_per_frame * step` about axis; tension -1 makes the speed even.
void SpinTrack(NodeSpec& node, int frames, int step, float radians_per_frame, Vec3f axis,
               TrackMode mode = TrackMode::kSingle);

// A point light with a constant colour (0..1 per channel).
size_t AddOmniLight(SceneSpec& scene, const std::string& name, Vec3f position, Vec3f colour);

// Camera path: positions and targets keyed at the given frames, with a
// constant field of view and roll unless tracks are added later.
struct CameraKey {
  int frame;
  Vec3f eye, target;
};
void AddCamera(SceneSpec& scene, const std::vector<CameraKey>& keys, float fov_degrees,
               float ease_ends = 0.0f);

// A sphere or upper hemisphere seen from inside (its faces point inward).
void AddSkyDome(SceneSpec& scene, const std::string& name, int material, float radius, int nu,
                int nv, bool upper_half_only, float repeat_u, float repeat_v);

// A landscape: a grid of n x n cells over size x size centred on the
// origin, heights from height(x, y); material_of(x, y, slope) picks each
// face's material from its centre.
void AddTerrain(SceneSpec& scene, const std::string& name, int n, float size, float repeat,
                float (*height)(float, float), int (*material_of)(float, float, float, float));
