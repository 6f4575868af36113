// Text and JSON listings of a scene.
#include "scene/scene_dump.h"

#include <cinttypes>

namespace {

void PrintJsonString(FILE* out, const char* text) {
  std::fputc('"', out);
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c != 0; ++c) {
    if (*c == '"' || *c == '\\') {
      std::fprintf(out, "\\%c", *c);
    } else if (*c < 0x20 || *c >= 0x7F) {
      std::fprintf(out, "\\u%04x", *c);  // names are 8-bit text; keep the output ASCII
    } else {
      std::fputc(*c, out);
    }
  }
  std::fputc('"', out);
}

void PrintTcb(FILE* out, const TcbParams& tcb) {
  std::fprintf(out, " tcb=(%g %g %g) ease=(%g %g)", tcb.tension, tcb.continuity, tcb.bias,
               tcb.ease_to, tcb.ease_from);
}

void PrintScalarTrack(FILE* out, const char* title, const ScalarTrack& track) {
  if (track.key_count == 0) return;
  std::fprintf(out, "    %s track: flags %d, %d key(s)\n", title, track.flags, track.key_count);
  for (int i = 0; i < track.key_count; ++i) {
    const ScalarKey& key = track.keys[i];
    std::fprintf(out, "      frame %d: %g", key.frame, key.value);
    PrintTcb(out, key.tcb);
    std::fprintf(out, "\n");
  }
}

void PrintVectorTrack(FILE* out, const char* title, const VectorTrack& track) {
  if (track.key_count == 0) return;
  std::fprintf(out, "    %s track: flags %d, %d key(s)\n", title, track.flags, track.key_count);
  for (int i = 0; i < track.key_count; ++i) {
    const VectorKey& key = track.keys[i];
    std::fprintf(out, "      frame %d: (%g, %g, %g)", key.frame, key.value.x, key.value.y,
                 key.value.z);
    PrintTcb(out, key.tcb);
    std::fprintf(out, "\n");
  }
}

void PrintNodeTracks(FILE* out, const SceneNode& node) {
  PrintVectorTrack(out, "position", node.position);
  if (node.rotation.key_count > 0) {
    std::fprintf(out, "    rotation track: flags %d, %d key(s)\n", node.rotation.flags,
                 node.rotation.key_count);
    for (int i = 0; i < node.rotation.key_count; ++i) {
      const RotationKey& key = node.rotation.keys[i];
      std::fprintf(out, "      frame %d: angle %g axis (%g, %g, %g)", key.frame, key.relative.angle,
                   key.relative.axis.x, key.relative.axis.y, key.relative.axis.z);
      PrintTcb(out, key.tcb);
      std::fprintf(out, "\n");
    }
  }
  PrintVectorTrack(out, "scale", node.scale);
  PrintScalarTrack(out, "fov", node.fov);
  PrintScalarTrack(out, "roll", node.roll);
  PrintVectorTrack(out, "colour", node.colour);
  if (node.morph.key_count > 0) {
    std::fprintf(out, "    morph track: flags %d, %d key(s)\n", node.morph.flags,
                 node.morph.key_count);
    for (int i = 0; i < node.morph.key_count; ++i) {
      std::fprintf(out, "      frame %d: \"%s\"\n", node.morph.keys[i].frame,
                   node.morph.keys[i].object_name);
    }
  }
  PrintScalarTrack(out, "hotspot", node.hotspot);
  PrintScalarTrack(out, "falloff", node.falloff);
  if (node.hide.key_count > 0) {
    std::fprintf(out, "    hide track: flags %d, %d key(s):", node.hide.flags, node.hide.key_count);
    for (int i = 0; i < node.hide.key_count; ++i) {
      std::fprintf(out, " %d", node.hide.keys[i].frame);
    }
    std::fprintf(out, "\n");
  }
}

void PrintNodeText(FILE* out, const SceneNode* node, int depth) {
  for (; node != nullptr; node = node->next) {
    std::fprintf(out, "  %*s\"%s\" (%s)", depth * 2, "", node->name, NodeTypeName(node->type));
    std::fprintf(out, " pivot (%g, %g, %g)\n", node->pivot.x, node->pivot.y, node->pivot.z);
    PrintNodeTracks(out, *node);
    PrintNodeText(out, node->first_child, depth + 1);
  }
}

void PrintColour(FILE* out, const char* title, Vec3 colour) {
  std::fprintf(out, " %s (%g, %g, %g)", title, colour.x, colour.y, colour.z);
}

void PrintNodeJson(FILE* out, const SceneNode* node, bool* first) {
  for (; node != nullptr; node = node->next) {
    std::fprintf(out, "%s\n    {\"name\": ", *first ? "" : ",");
    *first = false;
    PrintJsonString(out, node->name);
    std::fprintf(out, ", \"type\": \"%s\", \"parent\": ", NodeTypeName(node->type));
    if (node->parent != nullptr) {
      PrintJsonString(out, node->parent->name);
    } else {
      std::fprintf(out, "null");
    }
    std::fprintf(out,
                 ", \"keys\": {\"position\": %d, \"rotation\": %d, \"scale\": %d, \"fov\": %d, "
                 "\"roll\": %d, \"colour\": %d, \"morph\": %d, \"hotspot\": %d, \"falloff\": %d, "
                 "\"hide\": %d}}",
                 node->position.key_count, node->rotation.key_count, node->scale.key_count,
                 node->fov.key_count, node->roll.key_count, node->colour.key_count,
                 node->morph.key_count, node->hotspot.key_count, node->falloff.key_count,
                 node->hide.key_count);
    PrintNodeJson(out, node->first_child, first);
  }
}

}  // namespace

const char* NodeTypeName(int32_t type) {
  switch (type) {
    case kNodeObject:
      return "object";
    case kNodeLight:
      return "light";
    case kNodeLightTarget:
      return "light target";
    case kNodeSpotlight:
      return "spotlight";
    case kNodeCamera:
      return "camera";
    case kNodeCameraTarget:
      return "camera target";
    default:
      return "unknown";
  }
}

void DumpSceneText(const Scene* scene, FILE* out) {
  std::fprintf(out, "frames: %d\n", scene->frame_count);
  std::fprintf(out, "materials: %d\n", scene->material_count);
  for (int i = 0; i < scene->material_count; ++i) {
    const Material& m = *scene->materials[i];
    std::fprintf(out, "  #%d \"%s\" flags 0x%X", i, m.name, m.flags);
    PrintColour(out, "ambient", m.ambient);
    PrintColour(out, "diffuse", m.diffuse);
    PrintColour(out, "specular", m.specular);
    std::fprintf(out, " self-illumination %g", m.self_illumination);
    if ((m.flags & kMaterialTextured) != 0) std::fprintf(out, " texture \"%s\"", m.texture_file);
    std::fprintf(out, "\n");
  }
  std::fprintf(out, "meshes: %d\n", scene->mesh_count);
  for (int i = 0; i < scene->mesh_count; ++i) {
    const Mesh& mesh = scene->meshes[i];
    int untextured_faces = 0;
    for (int f = 0; f < mesh.face_count; ++f) untextured_faces += mesh.faces[f].material < 0;
    std::fprintf(out,
                 "  \"%s\" %d vertices, %d faces (%d with the default material), origin (%g, %g, "
                 "%g)\n",
                 mesh.name, mesh.vertex_count, mesh.face_count, untextured_faces, mesh.origin.x,
                 mesh.origin.y, mesh.origin.z);
  }
  std::fprintf(out, "lights: %d\n", scene->light_count);
  for (int i = 0; i < scene->light_count; ++i) {
    const Light& light = scene->lights[i];
    std::fprintf(out, "  \"%s\" position (%g, %g, %g)%s%s", light.name, light.position.x,
                 light.position.y, light.position.z, light.spot ? " spot" : "",
                 light.enabled ? "" : " off");
    PrintColour(out, "colour", light.colour);
    std::fprintf(out, " node %s\n", light.node != nullptr ? "yes" : "no");
  }
  std::fprintf(out, "cameras: %d\n", scene->camera_count);
  for (int i = 0; i < scene->camera_count; ++i) {
    const Camera& camera = scene->cameras[i];
    std::fprintf(
        out, "  \"%s\" position (%g, %g, %g) target (%g, %g, %g) roll %g lens %g range %g..%g\n",
        camera.name, camera.position.x, camera.position.y, camera.position.z, camera.target.x,
        camera.target.y, camera.target.z, camera.roll, camera.lens, camera.near_range,
        camera.far_range);
  }
  std::fprintf(out, "nodes: %d root(s)\n", scene->root_count);
  for (int i = 0; i < scene->root_count; ++i) PrintNodeText(out, scene->roots[i], 0);
}

void DumpSceneJson(const Scene* scene, FILE* out) {
  std::fprintf(out, "{\n  \"frames\": %d,\n  \"meshes\": [", scene->frame_count);
  for (int i = 0; i < scene->mesh_count; ++i) {
    const Mesh& mesh = scene->meshes[i];
    bool mapped = false;
    for (int v = 0; v < mesh.vertex_count && !mapped; ++v) {
      mapped = mesh.mapping[v].u != 0.0f || mesh.mapping[v].v != 0.0f;
    }
    std::fprintf(out, "%s\n    {\"name\": ", i > 0 ? "," : "");
    PrintJsonString(out, mesh.name);
    std::fprintf(out, ", \"vertices\": %d, \"faces\": %d, \"mapped\": %s}", mesh.vertex_count,
                 mesh.face_count, mapped ? "true" : "false");
  }
  std::fprintf(out, "\n  ],\n  \"materials\": [");
  for (int i = 0; i < scene->material_count; ++i) {
    const Material& m = *scene->materials[i];
    std::fprintf(out, "%s\n    {\"name\": ", i > 0 ? "," : "");
    PrintJsonString(out, m.name);
    std::fprintf(out, ", \"flags\": %" PRIu32 ", \"texture\": ", m.flags);
    if ((m.flags & kMaterialTextured) != 0) {
      PrintJsonString(out, m.texture_file);
    } else {
      std::fprintf(out, "null");
    }
    std::fprintf(out, "}");
  }
  std::fprintf(out, "\n  ],\n  \"lights\": [");
  for (int i = 0; i < scene->light_count; ++i) {
    std::fprintf(out, "%s\n    {\"name\": ", i > 0 ? "," : "");
    PrintJsonString(out, scene->lights[i].name);
    std::fprintf(out, ", \"spot\": %s}", scene->lights[i].spot ? "true" : "false");
  }
  std::fprintf(out, "\n  ],\n  \"cameras\": [");
  for (int i = 0; i < scene->camera_count; ++i) {
    std::fprintf(out, "%s\n    {\"name\": ", i > 0 ? "," : "");
    PrintJsonString(out, scene->cameras[i].name);
    std::fprintf(out, "}");
  }
  std::fprintf(out, "\n  ],\n  \"nodes\": [");
  bool first = true;
  for (int i = 0; i < scene->root_count; ++i) PrintNodeJson(out, scene->roots[i], &first);
  std::fprintf(out, "\n  ]\n}\n");
}
