// libFuzzer target for the 3D Studio reader: any bytes must load or fail with
// a reason, without reading outside them, leaking or trapping. A loaded scene
// must keep the model's promises (faces name existing vertices and
// materials, nodes link to their parents and objects, keys run in frame
// order); every track is then evaluated at a few frames, including ones
// outside the keys, and the scene is drawn once on a small software board.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "board/frame_sink.h"
#include "board/glide.h"
#include "device/demo_state.h"
#include "device/device.h"
#include "engine/scene_renderer.h"
#include "fuzz_check.h"
#include "scene/tds_reader.h"
#include "scene/tracks.h"

namespace {

constexpr int32_t kSlot = 0;

template <typename Key>
bool KeysInFrameOrder(const Key* keys, int count) {
  for (int k = 1; k < count; ++k) {
    if (!(keys[k - 1].frame < keys[k].frame)) return false;
  }
  return true;
}

void CheckMeshes(const Scene* scene) {
  for (int i = 0; i < scene->mesh_count; ++i) {
    const Mesh& mesh = scene->meshes[i];
    for (int f = 0; f < mesh.face_count; ++f) {
      const Face& face = mesh.faces[f];
      FuzzCheck(
          face.a < mesh.vertex_count && face.b < mesh.vertex_count && face.c < mesh.vertex_count,
          "a face names vertices of its mesh");
      FuzzCheck(face.material >= -1 && face.material < scene->material_count,
                "a face names a material of the scene or none");
    }
  }
}

void CheckAndEvaluateNodes(const Scene* scene, SceneNode* node, const SceneNode* parent) {
  for (; node != nullptr; node = node->next) {
    FuzzCheck(node->parent == parent, "a node links to its parent");
    FuzzCheck(node->object != nullptr, "a node links to its object");
    if (node->type == kNodeObject) {
      const Mesh* mesh = static_cast<const Mesh*>(node->object);
      FuzzCheck(mesh >= scene->meshes && mesh < scene->meshes + scene->mesh_count,
                "an object node links to a mesh of the scene");
    }
    FuzzCheck(KeysInFrameOrder(node->position.keys, node->position.key_count) &&
                  KeysInFrameOrder(node->rotation.keys, node->rotation.key_count),
              "keys run in increasing frame order");
    for (float frame : {-3.5f, 0.0f, 17.25f, 1e6f}) {
      EvalVectorTrack(frame, &node->position);
      EvalRotationTrack(frame, &node->rotation);
      EvalVectorTrack(frame, &node->scale);
      EvalScalarTrack(frame, &node->fov);
      EvalScalarTrack(frame, &node->roll);
      EvalVectorTrack(frame, &node->colour);
      EvalScalarTrack(frame, &node->hotspot);
      EvalScalarTrack(frame, &node->falloff);
      EvalHideTrack(frame, &node->hide);
    }
    CheckAndEvaluateNodes(scene, node->first_child, node);
  }
}

// A 320x240 board whose frames go nowhere, opened once per process.
bool OpenBoard() {
  static CountingFrameSink sink;
  BoardSetFrameSink(&sink);
  grGlideInit();
  grSstSelect(0);
  if (!grSstWinOpen(0, GR_RESOLUTION_320x240, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                    GR_ORIGIN_LOWER_LEFT, 2, 1)) {
    return false;
  }
  ScreenWidth = ViewWidth = 320;
  ScreenHeight = ViewHeight = 240;
  for (uint32_t i = 0; i < 256; ++i) {
    RedShift[i] = i << 16;
    GreenShift[i] = i << 8;
    BlueShift[i] = i;
  }
  DitherEnabled = 1;
  FadeLevel = 200;
  InitRenderVertices();
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool board_open = OpenBoard();
  FuzzCheck(board_open, "the software board opens");
  SceneLoadError error{};
  Scene* scene = LoadSceneFromMemory(data, size, &error);
  if (scene == nullptr) {
    FuzzCheck(error.message[0] != '\0', "a refused scene says why");
    return 0;
  }
  CheckMeshes(scene);
  for (int i = 0; i < scene->root_count; ++i)
    CheckAndEvaluateNodes(scene, scene->roots[i], nullptr);
  SceneSlots[kSlot] = scene;
  DrawSceneFrame(kSlot, 0, 100, static_cast<float>(size % 7) / 7.0f);
  SceneSlots[kSlot] = nullptr;
  FreeScene(scene);
  return 0;
}
