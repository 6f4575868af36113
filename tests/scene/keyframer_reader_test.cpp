// The keyframer reader: header, node hierarchy, links to records, tracks and
// their keys, from hand-made bytes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "scene_test_support.h"

namespace {

// Editor section: meshes A..F, one light "L" and one camera "C".
void AddEditor(Bytes* b) {
  b->Begin(0x3D3D);
  for (const char* name : {"R", "A", "B", "D", "E", "F", "M"}) {
    AddMeshObject(b, name, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  }
  b->Begin(0x4000).Text("L").Begin(0x4600).V3(0, 0, 0).End().End();
  b->Begin(0x4000).Text("C").Begin(0x4700).V3(0, 0, 0).V3(0, 0, 1).F32(0).F32(35).End().End();
  b->End();
}

template <typename Fill>
std::vector<uint8_t> KeyframerFile(Fill fill) {
  Bytes b;
  b.Begin(0x4D4D);
  AddEditor(&b);
  b.Begin(0xB000);
  fill(&b);
  b.End().End();
  return b.data();
}

void Header(Bytes* b, const std::string& name, int16_t hierarchy) {
  b->Begin(0xB010).Text(name).U16(0x4000).U16(0).U16(static_cast<uint16_t>(hierarchy)).End();
}

void Node(Bytes* b, uint16_t id, const std::string& name, int16_t hierarchy) {
  b->Begin(id);
  Header(b, name, hierarchy);
  b->End();
}

// A track chunk header: flags, 8 unread bytes, key count.
void TrackHeader(Bytes* b, uint16_t id, uint16_t flags, uint32_t count) {
  b->Begin(id).U16(flags).U32(0).U32(0).U32(count);
}

TEST(Keyframer, HeaderLengthKeepsSignedLow16Bits) {
  for (const auto& [length, frames] :
       {std::pair{100u, 100}, std::pair{70000u, 4464}, std::pair{0x1FFFFu, -1}}) {
    ScenePtr scene = LoadBytes(KeyframerFile(
        [&](Bytes* b) { b->Begin(0xB00A).U16(5).Text("scene.3ds").U32(length).End(); }));
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->frame_count, frames);
  }
}

// Every node depth first as "name<parent", siblings in order.
void Flatten(const SceneNode* node, std::vector<std::string>* out) {
  for (; node != nullptr; node = node->next) {
    out->push_back(std::string(node->name) +
                   (node->parent ? "<" + std::string(node->parent->name) : ""));
    Flatten(node->first_child, out);
  }
}

TEST(Keyframer, HierarchyFollowsTheChainOfRecentNodes) {
  const struct {
    std::vector<std::pair<const char*, int16_t>> nodes;  // name and hierarchy value
    std::vector<std::string> tree;
  } cases[] = {
      {{{"R", -1}, {"A", 1}, {"B", 2}, {"D", 1}, {"E", 2}, {"F", 2}},
       {"R", "A<R", "B<A", "D<R", "E<D", "F<D"}},
      // Values below 1 count as 1; a value deeper than the chain takes its
      // deepest node.
      {{{"R", -1}, {"A", 0}, {"B", 1}, {"D", -7}, {"E", 30000}}, {"R", "A<R", "B<R", "D<R", "E<D"}},
      {{{"R", -1}, {"A", 1}, {"B", -1}, {"D", 1}, {"E", 3}}, {"R", "A<R", "B", "D<B", "E<D"}},
  };
  for (const auto& c : cases) {
    ScenePtr scene = LoadBytes(KeyframerFile([&](Bytes* b) {
      for (const auto& [name, hierarchy] : c.nodes) Node(b, 0xB002, name, hierarchy);
    }));
    ASSERT_NE(scene, nullptr);
    std::vector<std::string> tree;
    for (int i = 0; i < scene->root_count; ++i) Flatten(scene->roots[i], &tree);
    EXPECT_EQ(tree, c.tree);
  }
}

// Relative keys multiply on the right: a quarter turn about x, then one
// about z. With row vectors, the quarter turns are
//   Rx = (1 0 0 / 0 0 -1 / 0 1 0) and Rz = (0 -1 0 / 1 0 0 / 0 0 1),
// so key 2 holds Rx Rz = (0 -1 0 / 0 0 -1 / 1 0 0) and its inverse, the
// transpose. The first key's own angle is never applied.
TEST(Keyframer, RotationKeysAccumulateOnTheRight) {
  const float quarter = 1.5707964f;
  ScenePtr scene = LoadBytes(KeyframerFile([&](Bytes* b) {
    b->Begin(0xB002);
    Header(b, "R", -1);
    TrackHeader(b, 0xB021, 0, 3);
    b->U32(0).U16(0).F32(5.0f).V3(0, 1, 0);
    b->U32(10).U16(0).F32(quarter).V3(1, 0, 0);
    b->U32(20).U16(0).F32(quarter).V3(0, 0, 1);
    b->End().End();
  }));
  ASSERT_NE(scene, nullptr);
  const RotationTrack& track = scene->roots[0]->rotation;
  ASSERT_EQ(track.key_count, 3);
  EXPECT_EQ(track.keys[0].relative.angle, 0.0f);
  const float expected[3][3][3] = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                                   {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}},
                                   {{0, -1, 0}, {0, 0, -1}, {1, 0, 0}}};
  for (int k = 0; k < 3; ++k) {
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(track.keys[k].rotation.m[r][c], expected[k][r][c], 1e-6f) << k << r << c;
        EXPECT_NEAR(track.keys[k].inverse_rotation.m[r][c], expected[k][c][r], 1e-6f) << k;
      }
    }
  }
}

// A node "R" holding one track chunk: its id, key count and key bytes.
std::vector<uint8_t> TrackFile(uint16_t id, uint32_t count,
                               const std::function<void(Bytes*)>& keys) {
  return KeyframerFile([&](Bytes* b) {
    b->Begin(0xB002);
    Header(b, "R", -1);
    TrackHeader(b, id, 0, count);
    keys(b);
    b->End().End();
  });
}

TEST(Keyframer, MalformedNodesAndTracksAreRefused) {
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"length cut short", KeyframerFile([](Bytes* b) { b->Begin(0xB00A).U16(5).U8('x').End(); })},
      {"node names no mesh", KeyframerFile([](Bytes* b) { Node(b, 0xB002, "NOPE", -1); })},
      {"camera node names no camera", KeyframerFile([](Bytes* b) { Node(b, 0xB003, "L", -1); })},
      {"child before any root", KeyframerFile([](Bytes* b) { Node(b, 0xB002, "A", 1); })},
      {"track before the header", KeyframerFile([](Bytes* b) {
         b->Begin(0xB002);
         TrackHeader(b, 0xB022, 0, 0);
         b->End();
         Header(b, "A", -1);
         b->End();
       })},
      {"pivot before the header", KeyframerFile([](Bytes* b) {
         b->Begin(0xB002).Begin(0xB013).V3(1, 2, 3).End();
         Header(b, "A", -1);
         b->End();
       })},
      {"second header", KeyframerFile([](Bytes* b) {
         b->Begin(0xB002);
         Header(b, "A", -1);
         Header(b, "B", -1);
         b->End();
       })},
      {"header cut short", KeyframerFile([](Bytes* b) {
         b->Begin(0xB002).Begin(0xB010).Text("A").U16(0).End().End();
       })},
      {"257 roots", KeyframerFile([](Bytes* b) {
         for (int i = 0; i < 257; ++i) Node(b, 0xB002, "A", -1);
       })},
      {"editor after the keyframer", KeyframerFile([](Bytes* b) {
         Node(b, 0xB002, "R", -1);
         b->End();
         AddEditor(b);
         b->Begin(0xB000);
       })},
      {"keys past the chunk", TrackFile(0xB024, 2, [](Bytes* b) { b->U32(0).U16(0).F32(1); })},
      {"count above 32767", TrackFile(0xB024, 0x8000, [](Bytes*) {})},
      {"frames out of order",
       TrackFile(0xB024, 2, [](Bytes* b) { b->U32(5).U16(0).F32(1).U32(4).U16(0).F32(1); })},
      {"equal frames",
       TrackFile(0xB024, 2, [](Bytes* b) { b->U32(5).U16(0).F32(1).U32(5).U16(0).F32(1); })},
      {"frame above 32767 wraps below earlier keys",
       TrackFile(0xB024, 2, [](Bytes* b) { b->U32(5).U16(0).F32(1).U32(40000).U16(0).F32(1); })},
      {"spline floats past the chunk", TrackFile(0xB024, 1, [](Bytes* b) { b->U32(0).U16(0x1F); })},
      {"morph target missing",
       TrackFile(0xB026, 1, [](Bytes* b) { b->U32(0).U16(0).Text("NOPE"); })},
      {"hide keys past the chunk", TrackFile(0xB029, 2, [](Bytes* b) { b->U32(0).U16(0).U32(1); })},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectRefused(c.bytes);
  }
  ScenePtr full = LoadBytes(KeyframerFile([](Bytes* b) {
    for (int i = 0; i < 256; ++i) Node(b, 0xB002, "A", -1);
  }));
  ASSERT_NE(full, nullptr);
  EXPECT_EQ(full->root_count, 256);
}

}  // namespace
