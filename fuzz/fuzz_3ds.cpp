// libFuzzer target for the 3D Studio reader: any bytes must load or fail
// without reading outside them, leaking or trapping; a loaded scene is then
// evaluated once so the tracks it holds are exercised too.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "scene/tds_reader.h"
#include "scene/tracks.h"

namespace {

void EvaluateTracks(SceneNode* node, float frame) {
  for (; node != nullptr; node = node->next) {
    EvalVectorTrack(frame, &node->position);
    EvalRotationTrack(frame, &node->rotation);
    EvalVectorTrack(frame, &node->scale);
    EvalScalarTrack(frame, &node->fov);
    EvalScalarTrack(frame, &node->roll);
    EvalVectorTrack(frame, &node->colour);
    EvalScalarTrack(frame, &node->hotspot);
    EvalScalarTrack(frame, &node->falloff);
    EvalHideTrack(frame, &node->hide);
    EvaluateTracks(node->first_child, frame);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Scene* scene = LoadSceneFromMemory(data, size);
  if (scene != nullptr) {
    for (float frame : {-3.5f, 0.0f, 17.25f, 1e6f}) {
      for (int i = 0; i < scene->root_count; ++i) EvaluateTracks(scene->roots[i], frame);
    }
    FreeScene(scene);
  }
  return 0;
}
