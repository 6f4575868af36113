// Scene evaluation for one frame: frame wrapping, the track pass, the
// node matrices down the hierarchy and the camera view. The culling,
// lighting and emission passes live in scene_visibility.cpp.
#include "engine/scene_evaluation.h"

#include <cmath>

#include "math/float_functions.h"
#include "scene/tracks.h"

namespace {

constexpr float kPi = 3.14159265359f;
// Below this length of up x direction (the sine of the angle between the
// viewing direction and the up axis) the camera's sideways axis is undefined.
constexpr float kMinSideLength = 1e-6f;

// The view of the last frame that had a well-defined camera, per scene, so a
// camera passing straight over its target keeps its picture.
struct LastView {
  const Scene* scene = nullptr;
  ViewSetup setup{};
};

LastView& LastGoodView() {
  static LastView last;
  return last;
}

Vec3 WorldPosition(const SceneNode* node) {
  return {node->object_to_world.m[3][0], node->object_to_world.m[3][1],
          node->object_to_world.m[3][2]};
}

Vec3 Normalise(Vec3 a) {
  return Vec3Scale(a, 1.0f / Vec3Length(a));
}

// The animation frame to evaluate: frames past the end wrap into
// (0, frame count]; a scene without a length stays on frame 0. Returns a
// negative value for frames that draw nothing.
float WrapFrame(float frame, int32_t frame_count) {
  if (std::isnan(frame)) return -1.0f;
  if (frame_count <= 0) return frame > 0.0f ? 0.0f : frame;
  const float count = static_cast<float>(frame_count);
  if (frame > count) {
    // Equal to subtracting the count until the frame is in range (integer
    // counts subtract exactly), without looping for huge frames.
    frame = std::fmod(frame, count);
    if (frame == 0.0f) frame = count;
  }
  return frame;
}

}  // namespace

int BuildCameraView(Vec3 eye, Vec3 target, float roll_degrees, Matrix4x4* view) {
  const Vec3 to_target = Vec3Sub(target, eye);
  const float distance = Vec3Length(to_target);
  if (!(distance > 0.0f) || !std::isfinite(distance)) return 0;
  const Vec3 up = {0.0f, 0.0f, -1.0f};
  const Vec3 direction = Vec3Scale(to_target, 1.0f / distance);
  const Vec3 side = Vec3Cross(up, direction);
  if (!(Vec3Length(side) > kMinSideLength)) return 0;
  const Vec3 right = Normalise(side);
  const Vec3 camera_up = Normalise(Vec3Cross(right, direction));

  Matrix4x4 axes;
  MatIdentity(&axes);
  const Vec3 columns[3] = {right, camera_up, direction};
  for (int column = 0; column < 3; ++column) {
    axes.m[0][column] = columns[column].x;
    axes.m[1][column] = columns[column].y;
    axes.m[2][column] = columns[column].z;
  }
  Matrix4x4 translate;
  MatIdentity(&translate);
  translate.m[3][0] = -eye.x;
  translate.m[3][1] = -eye.y;
  translate.m[3][2] = -eye.z;

  const float roll = roll_degrees * (1.0f / 180.0f) * kPi;
  Matrix4x4 roll_matrix;
  MatIdentity(&roll_matrix);
  roll_matrix.m[0][0] = CosF(roll);
  roll_matrix.m[0][1] = SinF(roll);
  roll_matrix.m[1][0] = -SinF(roll);
  roll_matrix.m[1][1] = CosF(roll);

  Matrix4x4 moved_and_turned;
  MatMultiply(&translate, &axes, &moved_and_turned);
  MatMultiply(&moved_and_turned, &roll_matrix, view);
  return 1;
}

void EvaluateNodeTracks(SceneNode* node, float frame) {
  // Nodes are independent here, so siblings are walked in a loop: a long
  // chain of siblings costs no stack.
  for (; node != nullptr; node = node->next) {
    EvaluateNodeTracks(node->first_child, frame);
    EvalHideTrack(frame, &node->hide);
    EvalVectorTrack(frame, &node->position);
    EvalRotationTrack(frame, &node->rotation);
    EvalVectorTrack(frame, &node->scale);
    if (node->hide.hidden) continue;
    EvalScalarTrack(frame, &node->fov);
    EvalScalarTrack(frame, &node->roll);
    EvalVectorTrack(frame, &node->colour);
    EvalScalarTrack(frame, &node->hotspot);
    EvalScalarTrack(frame, &node->falloff);
  }
}

namespace {

void ComputeOneNodeMatrices(Scene* scene, SceneNode* node, const Matrix4x4* parent) {
  Matrix4x4 rotation;
  Vec3 pivot = {0.0f, 0.0f, 0.0f};
  Vec3 scale = {1.0f, 1.0f, 1.0f};
  if (node->type == kNodeObject) {
    rotation = node->rotation.rotation;
    pivot = node->pivot;
    scale = node->scale.value;
  } else {
    MatIdentity(&rotation);
  }
  const Vec3 position = node->position.value;

  if (node->first_child != nullptr) {
    // Children inherit the rotation and position, never the scale or pivot.
    Matrix4x4 moved = rotation;
    moved.m[3][0] += position.x;
    moved.m[3][1] += position.y;
    moved.m[3][2] += position.z;
    Matrix4x4 child_parent;
    MatMultiply(&moved, parent, &child_parent);
    ComputeNodeMatrices(scene, node->first_child, &child_parent);
  }

  Matrix4x4 scale_about_pivot;
  MatIdentity(&scale_about_pivot);
  scale_about_pivot.m[0][0] = scale.x;
  scale_about_pivot.m[1][1] = scale.y;
  scale_about_pivot.m[2][2] = scale.z;
  scale_about_pivot.m[3][0] = -pivot.x * scale.x;
  scale_about_pivot.m[3][1] = -pivot.y * scale.y;
  scale_about_pivot.m[3][2] = -pivot.z * scale.z;
  Matrix4x4 local;
  MatMultiply(&scale_about_pivot, &rotation, &local);
  local.m[3][0] += position.x;
  local.m[3][1] += position.y;
  local.m[3][2] += position.z;
  MatMultiply(&local, parent, &node->object_to_world);
  MatInverseAffine(&node->object_to_world, &node->world_to_object);
}

}  // namespace

void ComputeNodeMatrices(Scene* scene, SceneNode* node, const Matrix4x4* parent) {
  // Each node depends only on its parent's matrix: siblings in a loop.
  for (; node != nullptr; node = node->next) ComputeOneNodeMatrices(scene, node, parent);
}

void EvaluateScene(Scene* scene, PolygonSink sink, float frame, float* fov_degrees) {
  if (scene == nullptr || sink == nullptr) return;
  const float x = WrapFrame(frame, scene->frame_count);
  if (x < 0.0f) return;

  Matrix4x4 identity;
  MatIdentity(&identity);
  for (int32_t i = 0; i < scene->root_count; ++i) EvaluateNodeTracks(scene->roots[i], x);
  for (int32_t i = 0; i < scene->root_count; ++i) {
    ComputeNodeMatrices(scene, scene->roots[i], &identity);
  }

  if (scene->camera_count <= 0 || scene->cameras == nullptr) return;
  const Camera& camera = scene->cameras[0];
  if (camera.node == nullptr || camera.target_node == nullptr) return;
  if (fov_degrees != nullptr) *fov_degrees = camera.node->fov.value;

  ViewSetup setup;
  setup.eye = WorldPosition(camera.node);
  LastView& last = LastGoodView();
  if (BuildCameraView(setup.eye, WorldPosition(camera.target_node), camera.node->roll.value,
                      &setup.view)) {
    last.scene = scene;
    last.setup = setup;
  } else if (last.scene == scene) {
    setup = last.setup;
  } else {
    return;  // no direction yet: nothing can be seen
  }

  for (int32_t i = 0; i < scene->root_count; ++i) TransformAndCull(scene, scene->roots[i], &setup);
  PolygonRecord record{};
  for (int32_t i = 0; i < scene->root_count; ++i) {
    LightAndEmit(scene, scene->roots[i], sink, &record);
  }
}
