// The editor section of a 3D Studio file: objects (meshes, lights, cameras)
// and materials.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "scene/tds_internal.h"

namespace {

void* AllocZeroed(size_t count, size_t size) {
  return count == 0 ? nullptr : std::calloc(count, size);
}

bool ReadVertexList(TdsContext* context, Chunk* chunk, Mesh* mesh) {
  uint16_t count = 0;
  if (!ReadU16(chunk, &count)) return Fail(context, "mesh \"%s\": empty vertex list", mesh->name);
  Trace("    %i vertices\n", count);
  if (mesh->vertices != nullptr || mesh->faces != nullptr || mesh->mapping != nullptr) {
    return Fail(context, "mesh \"%s\": vertex list after another vertex, face or mapping list",
                mesh->name);
  }
  if (static_cast<uint64_t>(count) * 12 + 2 > chunk->size) {
    return Fail(context, "mesh \"%s\": vertex list of %u vertices holds only %u bytes", mesh->name,
                count, chunk->size);
  }
  mesh->vertex_count = count;
  mesh->vertices = static_cast<Vec3*>(AllocZeroed(count, sizeof(Vec3)));
  mesh->vertex_normals = static_cast<Vec3*>(AllocZeroed(count, sizeof(Vec3)));
  mesh->mapping = static_cast<MapCoord*>(AllocZeroed(count, sizeof(MapCoord)));
  if (count > 0 &&
      (mesh->vertices == nullptr || mesh->vertex_normals == nullptr || mesh->mapping == nullptr)) {
    return Fail(context, "out of memory");
  }
  for (int i = 0; i < count; ++i) ReadVec3(chunk, &mesh->vertices[i]);
  return true;
}

// The face's normal, centre and share of its vertices' normals. A zero-area
// face has no direction: its normal stays (0, 0, 0) and adds nothing.
void ComputeFaceGeometry(Mesh* mesh, Face* face) {
  const Vec3 pa = mesh->vertices[face->a];
  const Vec3 pb = mesh->vertices[face->b];
  const Vec3 pc = mesh->vertices[face->c];
  face->centre = {(pa.x + pb.x + pc.x) * 0.33333334f, (pa.y + pb.y + pc.y) * 0.33333334f,
                  (pa.z + pb.z + pc.z) * 0.33333334f};
  const Vec3 n = Vec3Cross(Vec3Sub(pb, pa), Vec3Sub(pc, pa));
  const float length = Vec3Length(n);
  face->normal = length > 0.0f && std::isfinite(length) ? Vec3Scale(n, 1.0f / length) : Vec3{};
  for (int32_t index : {face->a, face->b, face->c}) {
    mesh->vertex_normals[index] = Vec3Add(mesh->vertex_normals[index], face->normal);
  }
}

bool ReadMaterialGroup(TdsContext* context, Chunk* chunk, Mesh* mesh) {
  char name[kSceneNameSize];
  uint16_t count = 0;
  if (!ReadName(chunk, name, sizeof(name)) || !ReadU16(chunk, &count) ||
      Remaining(*chunk) < static_cast<uint32_t>(count) * 2) {
    return Fail(context, "mesh \"%s\": material group cut short", mesh->name);
  }
  Scene* scene = context->scene;
  int number = -1;
  for (int i = 0; i < scene->material_count && number < 0; ++i) {
    if (std::strcmp(scene->materials[i]->name, name) == 0) number = i;
  }
  if (number < 0) {
    Trace("      material \"%s\" is not defined!", name);
    return Fail(context, "mesh \"%s\" uses material \"%s\", which is not defined", mesh->name,
                name);
  }
  Trace("      material \"%s\" (#%i) used by %i face(s)\n", name, number, count);
  for (int i = 0; i < count; ++i) {
    uint16_t face = 0;
    ReadU16(chunk, &face);
    if (face >= mesh->face_count) {
      return Fail(context, "mesh \"%s\": material \"%s\" names face %u of %i", mesh->name, name,
                  face, mesh->face_count);
    }
    mesh->faces[face].material = number;
  }
  return true;
}

bool ReadFaceList(TdsContext* context, Chunk* chunk, Mesh* mesh) {
  uint16_t count = 0;
  if (!ReadU16(chunk, &count)) return Fail(context, "mesh \"%s\": empty face list", mesh->name);
  Trace("    %i faces\n", count);
  if (mesh->faces != nullptr) {
    return Fail(context, "mesh \"%s\": a second face list", mesh->name);
  }
  if (static_cast<uint64_t>(count) * 8 + 2 > chunk->size) {
    return Fail(context, "mesh \"%s\": face list of %u faces holds only %u bytes", mesh->name,
                count, chunk->size);
  }
  mesh->faces = static_cast<Face*>(AllocZeroed(count, sizeof(Face)));
  if (count > 0 && mesh->faces == nullptr) return Fail(context, "out of memory");
  mesh->face_count = count;
  for (int i = 0; i < count; ++i) {
    uint16_t a = 0, b = 0, c = 0, flags = 0;
    ReadU16(chunk, &a);
    ReadU16(chunk, &b);
    ReadU16(chunk, &c);
    ReadU16(chunk, &flags);
    if (a >= mesh->vertex_count || b >= mesh->vertex_count || c >= mesh->vertex_count) {
      return Fail(context, "mesh \"%s\": face %i uses vertex %u, %u or %u of %i", mesh->name, i, a,
                  b, c, mesh->vertex_count);
    }
    Face& face = mesh->faces[i];
    face = Face{a, b, c, flags & 1, flags & 2, flags & 4, flags & 8, -1, {}, {}};
    ComputeFaceGeometry(mesh, &face);
  }
  for (int i = 0; i < mesh->vertex_count; ++i) {
    const float length = Vec3Length(mesh->vertex_normals[i]);
    mesh->vertex_normals[i] = length > 0.0f && std::isfinite(length)
                                  ? Vec3Scale(mesh->vertex_normals[i], 1.0f / length)
                                  : Vec3{};
  }
  MemReader list = OpenChunk(*chunk);
  Chunk sub;
  int status = 0;
  while ((status = NextListChunk(context, &list, &sub, ListRule::kStrict, "face list")) == 1) {
    if (sub.id == 0x4130) {
      if (!ReadMaterialGroup(context, &sub, mesh)) return false;
    } else if (sub.id != 0x4150) {
      Trace("      Unknown chunk ID 0x%X in Face chunk found!\n", sub.id);
    }
  }
  return status == 0;
}

bool ReadMappingList(TdsContext* context, Chunk* chunk, Mesh* mesh) {
  uint16_t count = 0;
  if (!ReadU16(chunk, &count) || count != mesh->vertex_count) {
    return Fail(context, "mesh \"%s\": mapping list of %u coordinates for %i vertices", mesh->name,
                count, mesh->vertex_count);
  }
  if (Remaining(*chunk) < static_cast<uint32_t>(count) * 8) {
    return Fail(context, "mesh \"%s\": mapping list cut short", mesh->name);
  }
  for (int i = 0; i < count; ++i) {
    ReadFloat(chunk, &mesh->mapping[i].u);
    ReadFloat(chunk, &mesh->mapping[i].v);
    mesh->mapping[i].v *= -1.0f;
  }
  return true;
}

bool ReadLocalAxis(TdsContext* context, Chunk* chunk, Mesh* mesh) {
  if (Remaining(*chunk) < 48) return Fail(context, "mesh \"%s\": axis chunk cut short", mesh->name);
  for (Vec3& axis : mesh->axes) ReadVec3(chunk, &axis);
  ReadVec3(chunk, &mesh->origin);
  Trace("    Axis definition:\n");
  Trace("      X axis: x=%f y=%f z=%f\n", mesh->axes[0].x, mesh->axes[0].y, mesh->axes[0].z);
  Trace("      Y axis: x=%f y=%f z=%f\n", mesh->axes[1].x, mesh->axes[1].y, mesh->axes[1].z);
  Trace("      Z axis: x=%f y=%f z=%f\n", mesh->axes[2].x, mesh->axes[2].y, mesh->axes[2].z);
  return true;
}

bool ReadMesh(TdsContext* context, Chunk* chunk, const char* name) {
  Mesh* mesh = AppendMesh(context->scene);
  if (mesh == nullptr) return Fail(context, "out of memory");
  Trace("    Mesh\n");
  std::strcpy(mesh->name, name);
  MemReader list = OpenChunk(*chunk);
  Chunk sub;
  int status = 0;
  while ((status = NextListChunk(context, &list, &sub, ListRule::kStrict, "mesh")) == 1) {
    bool ok = true;
    switch (sub.id) {
      case 0x4110:
        ok = ReadVertexList(context, &sub, mesh);
        break;
      case 0x4111:
        break;
      case 0x4120:
        ok = ReadFaceList(context, &sub, mesh);
        break;
      case 0x4140:
        ok = ReadMappingList(context, &sub, mesh);
        break;
      case 0x4160:
        ok = ReadLocalAxis(context, &sub, mesh);
        break;
      case 0x4165:
        Trace("    0x4165 chunk size = %i\n", static_cast<int>(sub.size));
        Trace("    0x4165 chunk buffer = %X\n", sub.size > 0 ? sub.data[0] : 0u);
        break;
      case 0x4170:
        break;
      default:
        Trace("    Unknown chunk ID 0x%X in Mesh chunk found!\n", sub.id);
        break;
    }
    if (!ok) return false;
  }
  return status == 0;
}

bool ReadLight(TdsContext* context, Chunk* chunk, const char* name) {
  Light* light = AppendLight(context->scene);
  if (light == nullptr) return Fail(context, "out of memory");
  Trace("    Light\n");
  std::strcpy(light->name, name);
  if (!ReadVec3(chunk, &light->position)) return Fail(context, "light \"%s\" cut short", name);
  light->colour = {1.0f, 1.0f, 1.0f};
  light->enabled = 1;
  MemReader list = OpenChunk(*chunk);
  Chunk sub;
  int status = 0;
  while ((status = NextListChunk(context, &list, &sub, ListRule::kStrict, "light")) == 1) {
    switch (sub.id) {
      case 0x0010:
        if (!ReadVec3(&sub, &light->colour))
          return Fail(context, "light \"%s\": colour cut short", name);
        break;
      case 0x0011: {
        if (sub.size < 3) return Fail(context, "light \"%s\": colour cut short", name);
        float* channels[3] = {&light->colour.x, &light->colour.y, &light->colour.z};
        for (int i = 0; i < 3; ++i) {
          *channels[i] = static_cast<float>(sub.data[i] * 0.00392156862745098);
        }
        Trace("    lightsource color: r%f g%f b%f\n", light->colour.x, light->colour.y,
              light->colour.z);
        break;
      }
      case 0x4610:
        Trace("    Light is spotlight\n");
        light->spot = 1;
        break;
      case 0x4620:
        Trace("    Light is deactivated\n");
        light->enabled = 0;
        break;
      default:
        Trace("    Unknown chunk ID 0x%X in Light chunk found!\n", sub.id);
        break;
    }
  }
  return status == 0;
}

bool ReadCamera(TdsContext* context, Chunk* chunk, const char* name) {
  Camera* camera = AppendCamera(context->scene);
  if (camera == nullptr) return Fail(context, "out of memory");
  Trace("  Camera\n");
  std::strcpy(camera->name, name);
  if (Remaining(*chunk) < 32) return Fail(context, "camera \"%s\" cut short", name);
  ReadVec3(chunk, &camera->position);
  ReadVec3(chunk, &camera->target);
  ReadFloat(chunk, &camera->roll);
  ReadFloat(chunk, &camera->lens);
  camera->far_range = 1000.0f;
  MemReader list = OpenChunk(*chunk);
  Chunk sub;
  int status = 0;
  while ((status = NextListChunk(context, &list, &sub, ListRule::kStrict, "camera")) == 1) {
    if (sub.id == 0x4720) {
      if (!ReadFloat(&sub, &camera->near_range) || !ReadFloat(&sub, &camera->far_range)) {
        return Fail(context, "camera \"%s\": ranges cut short", name);
      }
    } else {
      Trace("    Unknown chunk ID 0x%X in Camera chunk found!\n", sub.id);
    }
  }
  return status == 0;
}

// Only an object's first sub-chunk says what it is; the rest is ignored.
bool ReadObject(TdsContext* context, Chunk* chunk) {
  char name[kSceneNameSize];
  if (!ReadName(chunk, name, sizeof(name))) return Fail(context, "object name not terminated");
  Trace("  Object: %s\n", name);
  MemReader list = OpenChunk(*chunk);
  Chunk sub;
  if (NextChunk(&list, &sub) != ChunkStatus::kChunk) {
    return Fail(context, "object \"%s\" has no valid sub-chunk", name);
  }
  switch (sub.id) {
    case 0x4100:
      return ReadMesh(context, &sub, name);
    case 0x4600:
      return ReadLight(context, &sub, name);
    case 0x4700:
      return ReadCamera(context, &sub, name);
    case 0x4710:
      Trace("    Unknown 1\n");
      break;
    case 0x4720:
      Trace("    Unknown 2\n");
      break;
    default:
      Trace("    Unknown chunk ID 0x%X in Object chunk found!\n", sub.id);
      break;
  }
  return true;
}

bool IsSilentEditorChunk(uint16_t id) {
  static const uint16_t kIds[] = {0x0100, 0x1100, 0x1101, 0x1200, 0x1201, 0x1300, 0x1301,
                                  0x1400, 0x1410, 0x1420, 0x1430, 0x1440, 0x1450, 0x1460,
                                  0x1500, 0x2100, 0x2200, 0x2201, 0x2210, 0x2300, 0x2301,
                                  0x2302, 0x2303, 0x2310, 0x2D2D, 0x2D3D, 0x3000, 0x7001};
  for (uint16_t known : kIds) {
    if (known == id) return true;
  }
  return false;
}

}  // namespace

bool ReadEditor(TdsContext* context, Chunk* editor) {
  MemReader list = OpenChunk(*editor);
  Chunk chunk;
  while (NextListChunk(context, &list, &chunk, ListRule::kLenient, "editor") == 1) {
    if (chunk.id == 0x3D3E) {
      Trace("  Mesh version %i\n", chunk.size > 0 ? chunk.data[0] : 0);
    } else if (chunk.id == 0x4000) {
      if (!ReadObject(context, &chunk)) return false;
    } else if (chunk.id == 0xAFFF) {
      if (!ReadMaterial(context, &chunk)) return false;
    } else if (!IsSilentEditorChunk(chunk.id)) {
      Trace("  Unknown chunk ID 0x%X in 3D Editor chunk found!\n", chunk.id);
    }
  }
  return true;
}
