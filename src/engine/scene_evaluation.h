// Evaluation of a scene for one frame: every node's tracks, the node
// matrices down the hierarchy, the view of the first camera, back-face
// culling in object space, transformation of the used vertices, lighting,
// and the hand-over of every visible face to a polygon sink.
#pragma once

#include "engine/polygon_record.h"
#include "math/vector_math.h"
#include "scene/scene.h"

// What the per-node passes need of the camera this frame.
struct ViewSetup {
  Matrix4x4 view;  // world space -> camera space
  Vec3 eye;        // camera position in world space
};

// Evaluates the scene at the fractional frame, wrapped by the scene's frame
// count, and offers every visible face to sink. Writes the first camera's
// field of view (degrees) to *fov_degrees; returns early, leaving it
// unwritten, for a missing scene or sink, a negative frame, or a scene
// without a usable camera.
void EvaluateScene(Scene* scene, PolygonSink sink, float frame, float* fov_degrees);

// The four passes; each handles the node's following siblings first (with
// the same arguments), then its children, as the scene's draw order relies on.
void EvaluateNodeTracks(SceneNode* node, float frame);
void ComputeNodeMatrices(Scene* scene, SceneNode* node, const Matrix4x4* parent);
void TransformAndCull(Scene* scene, SceneNode* node, const ViewSetup* view);
void LightAndEmit(Scene* scene, SceneNode* node, PolygonSink sink, PolygonRecord* record);

// The view from eye towards target with the roll (degrees) about the viewing
// direction. Returns 0, leaving *view untouched, when the direction is
// undefined: the target on the eye, or looking straight along the up axis.
int BuildCameraView(Vec3 eye, Vec3 target, float roll_degrees, Matrix4x4* view);

// The material a face is drawn with: the default material for number -1 (and
// for a number that names no material).
const Material* FaceMaterial(const Scene* scene, const Face* face);
