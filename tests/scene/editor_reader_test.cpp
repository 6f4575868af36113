// The reader's chunk walking and editor records, from hand-made bytes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "scene_test_support.h"

namespace {

// A main chunk holding an editor chunk whose contents fill() writes.
template <typename Fill>
std::vector<uint8_t> EditorFile(Fill fill) {
  Bytes b;
  b.Begin(0x4D4D).Begin(0x0002).U32(3).End().Begin(0x3D3D);
  fill(&b);
  b.End().End();
  return b.data();
}

void AddMaterial(Bytes* b, const std::string& name) {
  b->Begin(0xAFFF).Begin(0xA000).Text(name).End().End();
}

// Opens an object "M" and its mesh record.
Bytes& Obj(Bytes* b) {
  return b->Begin(0x4000).Text("M").Begin(0x4100);
}

TEST(ChunkWalk, VersionOnlyFileIsAnEmptySceneAndOtherFilesFail) {
  Bytes b;
  b.Begin(0x4D4D).Begin(0x0002).U32(3).End().End();
  ScenePtr scene = LoadBytes(b.data());
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(scene->mesh_count + scene->root_count + scene->frame_count, 0);

  std::string reason;
  Bytes editor_first;
  editor_first.Begin(0x3D3D).End();
  EXPECT_EQ(LoadBytes(editor_first.data(), &reason), nullptr);
  EXPECT_NE(reason.find("0x4D4D"), std::string::npos) << reason;
  // A main chunk one byte longer than the file that holds it.
  b.Patch32(2, static_cast<uint32_t>(b.size() + 1));
  for (const std::vector<uint8_t>& bytes : {{}, {0x4D, 0x4D, 6, 0}, b.data()}) ExpectRefused(bytes);
}

TEST(EditorRecords, FaceGeometryFlagsMappingAxesAndMaterialGroups) {
  auto bytes = EditorFile([](Bytes* b) {
    // A triangle whose corners turn clockwise seen from +z, an unused
    // vertex, then a point and a line with their flag words.
    AddMeshObject(b, "TRI", {{0, 0, 0}, {0, 2, 0}, {-2, 0, 0}, {5, 5, 5}}, {{0, 2, 1}});
    b->Begin(0x4000).Text("FLAT").Begin(0x4100).Begin(0x4110).U16(2);
    b->V3(1, 1, 1).V3(2, 2, 2).End().Begin(0x4120).U16(2);
    b->U16(0).U16(0).U16(0).U16(0x000F).U16(0).U16(1).U16(1).U16(0x0005);
    b->End().End().End();
    // Mapping, a local axis and faces in the second material.
    AddMaterial(b, "A");
    AddMaterial(b, "B");
    Obj(b).Begin(0x4110).U16(3).V3(0, 0, 0).V3(1, 0, 0).V3(0, 1, 0).End();
    b->Begin(0x4140).U16(3).F32(0.25f).F32(0.75f).F32(1).F32(0).F32(0).F32(1).End();
    b->Begin(0x4160).V3(1, 0, 0).V3(0, 1, 0).V3(0, 0, 1).V3(7, 8, 9).End();
    b->Begin(0x4120).U16(2).U16(0).U16(1).U16(2).U16(0).U16(2).U16(1).U16(0).U16(0);
    b->Begin(0x4130).Text("B").U16(1).U16(1).End().Begin(0x4150).End().End();
    b->End().End();
  });
  ScenePtr scene = LoadBytes(bytes);
  ASSERT_NE(scene, nullptr);
  const Mesh& mesh = scene->meshes[0];
  const Face& face = mesh.faces[0];
  // (b - a) x (c - a) = (-2, 0, 0) x (0, 2, 0) = (0, 0, -4).
  EXPECT_TRUE(face.normal.x == 0 && face.normal.y == 0 && face.normal.z == -1.0f);
  EXPECT_FLOAT_EQ(face.centre.x, -0.6666667f);
  EXPECT_FLOAT_EQ(face.centre.y, 0.6666667f);
  EXPECT_EQ(face.material, -1);
  for (int v = 0; v < 3; ++v) EXPECT_EQ(mesh.vertex_normals[v].z, -1.0f);
  // The unused vertex has a zero normal; no mapping chunk: zero mapping.
  EXPECT_EQ(mesh.vertex_normals[3].z, 0.0f);
  for (int v = 0; v < 4; ++v) EXPECT_EQ(mesh.mapping[v].u + mesh.mapping[v].v, 0.0f);
  const Mesh& flat = scene->meshes[1];
  for (int f = 0; f < 2; ++f) EXPECT_EQ(flat.faces[f].normal.z, 0.0f);  // no area, no normal
  EXPECT_EQ(flat.vertex_normals[0].x, 0.0f);
  const Face& point = flat.faces[0];
  EXPECT_TRUE(point.flag0 == 1 && point.flag1 == 2 && point.flag2 == 4 && point.flag3 == 8);
  EXPECT_TRUE(flat.faces[1].flag1 == 0 && flat.faces[1].flag2 == 4);
  const Mesh& mapped = scene->meshes[2];
  EXPECT_EQ(mapped.mapping[0].u, 0.25f);
  EXPECT_EQ(mapped.mapping[0].v, -0.75f);
  EXPECT_EQ(mapped.origin.y, 8.0f);
  EXPECT_EQ(mapped.axes[2].z, 1.0f);
  EXPECT_EQ(mapped.faces[0].material, -1);
  EXPECT_EQ(mapped.faces[1].material, 1);
}

// Bad records fail the load: trailing bytes in the strict lists, materials
// and their bounds. Indices and lists the reader may reject or skip are the
// fuzz replay's matter, which holds every loaded scene to valid indices.
TEST(EditorRecords, InvalidRecordsFailTheLoad) {
  using Fill = std::function<void(Bytes*)>;
  const Fill tri = [](Bytes* b) { b->U16(3).V3(0, 0, 0).V3(1, 0, 0).V3(0, 1, 0).End(); };
  const Fill face = [](Bytes* b) { b->Begin(0x4120).U16(1).U16(0).U16(1).U16(2).U16(0); };
  const std::pair<const char*, Fill> cases[] = {
      {"trailing bytes in a mesh",
       [](Bytes* b) { Obj(b).Begin(0x4110).U16(0).End().U16(0).End().End(); }},
      {"trailing byte in a camera",
       [](Bytes* b) {
         b->Begin(0x4000).Text("C").Begin(0x4700).V3(0, 0, 0).V3(0, 0, 1).F32(0).F32(35).U8(9);
         b->End().End();
       }},
      {"object without a record", [](Bytes* b) { b->Begin(0x4000).Text("EMPTY").End(); }},
      {"material name differs in case",
       [&](Bytes* b) {
         AddMaterial(b, "Wood");
         tri(&Obj(b).Begin(0x4110));
         face(b);
         b->Begin(0x4130).Text("WOOD").U16(1).U16(0).End().End().End().End();
       }},
      {"axis chunk cut short",
       [](Bytes* b) { Obj(b).Begin(0x4160).V3(1, 0, 0).End().End().End(); }},
      {"material colour missing",
       [](Bytes* b) { b->Begin(0xAFFF).Begin(0xA010).Begin(0x0030).End().End().End(); }},
      {"float colour cut short",
       [](Bytes* b) { b->Begin(0xAFFF).Begin(0xA030).Begin(0x0010).F32(1).End().End().End(); }},
      {"shading 5", [](Bytes* b) { b->Begin(0xAFFF).Begin(0xA100).U16(5).End().End(); }},
      {"shading too long", [](Bytes* b) { b->Begin(0xAFFF).Begin(0xA100).U32(2).End().End(); }},
      {"257 materials",
       [](Bytes* b) {
         for (int i = 0; i < 257; ++i) AddMaterial(b, "M" + std::to_string(i));
       }},
  };
  for (const auto& [what, fill] : cases) {
    SCOPED_TRACE(what);
    ExpectRefused(EditorFile(fill));
  }
  ScenePtr full = LoadBytes(EditorFile([](Bytes* b) {
    for (int i = 0; i < 256; ++i) AddMaterial(b, "M" + std::to_string(i));
  }));
  ASSERT_NE(full, nullptr);
  EXPECT_EQ(full->material_count, 256);
  // An object whose first sub-chunk is unknown is accepted and adds nothing.
  ScenePtr odd = LoadBytes(EditorFile([](Bytes* b) {
    b->Begin(0x4000).Text("ODD").Begin(0x4999).End().Begin(0x4100).End().End();
  }));
  ASSERT_NE(odd, nullptr);
  EXPECT_EQ(odd->mesh_count, 0);
}

TEST(EditorRecords, MaterialColoursNamesAndMaps) {
  auto bytes = EditorFile([](Bytes* b) {
    b->Begin(0xAFFF).Begin(0xA000).Text(std::string(70, 'n')).End();
    b->Begin(0xA010).Begin(0x0011).U8(1).U8(2).U8(3).End().Begin(0x0010).V3(0.5f, 0.25f, 9);
    b->End().End();
    b->Begin(0xA020).Begin(0x0011).U8(64).U8(64).U8(64).End().End();
    b->Begin(0xA100).U16(1).End();
    // A map whose tints are 3-byte colours, as many files store them.
    b->Begin(0xA200).Begin(0xA300).Text(std::string(90, 't')).End();
    b->Begin(0xA360).U8(1).U8(2).U8(3).End().Begin(0xA354).F32(2).End().End();
    b->Begin(0xA204).Begin(0xA300).Text("bump.pcx").End().End();
    b->End();
  });
  ScenePtr scene = LoadBytes(bytes);
  ASSERT_NE(scene, nullptr);
  const Material& m = *scene->materials[0];
  EXPECT_EQ(std::string(m.name), std::string(63, 'n'));
  EXPECT_EQ(m.ambient.x, 0.5f);  // the float colour wins
  EXPECT_EQ(m.ambient.z, 9.0f);
  EXPECT_EQ(m.diffuse.x, 64.0f);
  EXPECT_EQ(m.flags, 0x80u | 0x08u | 0x04u);  // flat shading, textured
  EXPECT_EQ(std::string(m.texture_file), std::string(79, 't'));
  EXPECT_EQ(m.texture_index, 0);
}

}  // namespace
