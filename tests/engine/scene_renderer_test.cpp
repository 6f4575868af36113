// The renderer's board calls: the frame state and its order, projection on
// screens of every shape, near clipping, the fade and the polygon buffer's
// bound. The colour combine, texture and culling of each kind of material
// show in the scene pictures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/board_state.h"
#include "board/call_record.h"
#include "board/frame_sink.h"
#include "board/glide.h"
#include "engine/engine_scenes.h"
#include "engine/polygon_buffer.h"
#include "engine/scene_projection.h"
#include "platform/exit_handlers.h"

namespace {

class SceneRendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetUpRenderer(640, 480, /*dither=*/1);
    BoardSetCallRecorder(&log_);
  }
  void TearDown() override { BoardSetCallRecorder(nullptr); }

  std::vector<BoardCall> Calls(const std::string& name) const {
    std::vector<BoardCall> found;
    for (const BoardCall& call : log_.calls) {
      if (call.name == name) found.push_back(call);
    }
    return found;
  }

  BoardCallLog log_;
};

RecordVertex Corner(float x, float y, float z, float r = 200, float g = 100, float b = 50) {
  return {x, y, z, r, g, b, 0, 0};
}

PolygonRecord Triangle(uint8_t flags, RecordVertex a, RecordVertex b, RecordVertex c) {
  PolygonRecord record{};
  record.vertices[0] = a;
  record.vertices[1] = b;
  record.vertices[2] = c;
  record.vertex_count = 3;
  record.material_flags = flags;
  record.texture_index = 1;
  return record;
}

PolygonRecord FrontTriangle(uint8_t flags) {
  return Triangle(flags, Corner(-1, -1, 10), Corner(1, -1, 10), Corner(0, 1, 10));
}

const std::vector<std::string> kFrameState = {
    "grTexMipMapMode(0,2,1)",   "grTexCombine(0,1,0,1,0,0,0)",
    "grDitherMode(2)",          "grChromakeyMode(0)",
    "grTexFilterMode(0,1,1)",   "grDepthBufferMode(2)",
    "grDepthBufferFunction(1)", "grDepthMask(1)",
    "grTexClampMode(0,0,0)",    "grClipWindow(0,0,640,480)",
};

TEST_F(SceneRendererTest, NearPlaneClippingCases) {
  ASSERT_EQ(ComputeProjection(90.0f, 255, &Projection), 1);
  // Entirely behind: nothing.
  PolygonRecord behind = Triangle(0x81, Corner(0, 0, 0.5f), Corner(1, 0, 0.9f), Corner(0, 1, -3));
  EXPECT_EQ(ClipAndProject(&behind), 0);
  // Entirely in front, one corner on the plane: unchanged, last corner first.
  PolygonRecord front = Triangle(0x81, Corner(0, 0, 1), Corner(1, 0, 9), Corner(0, 1, 3));
  ASSERT_EQ(ClipAndProject(&front), 3);
  EXPECT_FLOAT_EQ(ClipVertices[0].oow, 0.25f);
  EXPECT_FLOAT_EQ(ClipVertices[1].oow, 0.5f);
  EXPECT_FLOAT_EQ(ClipVertices[2].x, 351.5f);
  // One corner in front: a triangle whose new corners lie on z = 1.
  PolygonRecord one = Triangle(0x81, Corner(2, 0, 3, 255, 0, 0), Corner(0, 2, 0, 0, 0, 0),
                               Corner(-2, 0, 0, 0, 0, 0));
  ASSERT_EQ(ClipAndProject(&one), 3);
  EXPECT_FLOAT_EQ(ClipVertices[0].oow, 0.5f);
  EXPECT_FLOAT_EQ(ClipVertices[1].oow, 0.25f);
  EXPECT_FLOAT_EQ(ClipVertices[2].oow, 0.5f);
  // Between (-2, 0, 0) and (2, 0, 3) the plane is a third of the way: x = -2/3.
  EXPECT_FLOAT_EQ(ClipVertices[0].x, 212.8125f);
  EXPECT_NEAR(ClipVertices[0].r, 85.0f, 1e-3f);
  // Two corners in front: a quadrilateral, drawn as two triangles.
  PolygonRecord two = Triangle(0x81, Corner(2, 0, 3), Corner(0, 2, 5), Corner(-2, 0, 0));
  ASSERT_EQ(ClipAndProject(&two), 4);
  RenderPolygons(&two, 1, TextureSlots, 90.0f, 255);
  const std::vector<BoardCall> triangles = Calls("guDrawTriangleWithClip");
  ASSERT_EQ(triangles.size(), 2u);
  // A fan around the first corner.
  EXPECT_EQ(triangles[0].arguments[0], triangles[1].arguments[0]);
  EXPECT_EQ(triangles[0].arguments[6], triangles[1].arguments[3]);
}

TEST_F(SceneRendererTest, FadeZeroBlacksOutSmoothPolygonsButNotFlatOnes) {
  const PolygonRecord polygons[] = {FrontTriangle(0x81), FrontTriangle(0x85), FrontTriangle(0x80)};
  RenderPolygons(polygons, 3, TextureSlots, 60.0f, 0);
  const std::vector<BoardCall> triangles = Calls("guDrawTriangleWithClip");
  ASSERT_EQ(triangles.size(), 3u);
  for (int t = 0; t < 2; ++t) {
    // From the tenth argument on, each corner gives red, green, blue, s and t.
    for (int i = 0; i < 15; ++i)
      EXPECT_TRUE(i % 5 > 2 || triangles[t].arguments[9 + i] == 0.0) << t;
  }
  const std::vector<BoardCall> constant = Calls("grConstantColorValue");
  ASSERT_EQ(constant.size(), 1u);
  EXPECT_EQ(constant[0].arguments[0], (200 << 16) | (100 << 8) | 50);
}

// The buffer keeps the drawn polygons, up to 16384; a count beyond the
// record's slots is kept, and the renderer skips such a polygon without
// reading past the record.
TEST_F(SceneRendererTest, TheBufferKeepsDrawnPolygonsUpTo16384) {
  PolygonCount = 0;
  const PolygonRecord hidden = FrontTriangle(0x01), drawn = FrontTriangle(0x83);
  PolygonRecord broken = FrontTriangle(0x81);
  broken.vertex_count = kPolygonRecordVertices + 100;
  EXPECT_EQ(CollectPolygon(&hidden), 1);  // not drawn: dropped
  ASSERT_TRUE(CollectPolygon(&broken) == 1 && PolygonCount == 1);
  EXPECT_EQ(PolygonBuffer[0].vertex_count, kPolygonRecordVertices + 100);
  RenderPolygons(PolygonBuffer, 1, TextureSlots, 60.0f, 255);
  EXPECT_TRUE(Calls("guDrawTriangleWithClip").empty());
  for (int i = 1; i < kPolygonBufferSize; ++i) ASSERT_EQ(CollectPolygon(&drawn), 1);
  EXPECT_EQ(CollectPolygon(&drawn), 0);
  EXPECT_EQ(PolygonCount, kPolygonBufferSize);
  PolygonCount = 0;
}

TEST_F(SceneRendererTest, DrawSceneFrameMapsProgressToFramesAndEmptySlotsDrawNothing) {
  TdsScene description = FacingSquare();
  (description.nodes[0].position = {}).Add(0, {0, 0, 0}).Add(100, {1, 0, 0});
  ScenePtr scene = LoadDescription(description);
  const SceneNode* square = scene->roots[0];
  SceneSlots[8] = scene.get();
  DrawSceneFrame(8, 0, 100, 0.5f);
  EXPECT_NEAR(square->position.value.x, 0.5f, 1e-5f);
  EXPECT_EQ(PolygonCount, 2);
  DrawSceneFrame(8, 100, 0, 0.25f);
  EXPECT_NEAR(square->position.value.x, 0.75f, 1e-5f);
  SceneSlots[8] = nullptr;

  for (int32_t slot : {8, -1, 99}) {
    log_.calls.clear();
    DrawSceneFrame(slot, 0, 100, 0.5f);
    EXPECT_EQ(log_.Lines(), kFrameState) << slot;
    EXPECT_EQ(PolygonCount, 0);
  }
}

// On screens of other sizes than the board's 640x480 the view is the largest
// 4:3 area of the screen, centred, so the projection, the clip window and the
// 1/16-pixel grid follow the real screen and a point keeps its place in the
// picture (at 1280x960, twice as far from the corner).
TEST(ScreenSize, ProjectionViewAndClipFollowTheScreen) {
  const struct {
    int width, height, view_width, view_height;
    BoardClipWindow clip;
    float x, y;  // where the camera-space point (1, 0, 9) lands at 90 degrees
  } cases[] = {
      {640, 480, 640, 480, {0, 0, 640, 480}, 351.5f, 239.5f},
      // (351.5 + 0.5) x 2 - 0.5 and (239.5 + 0.5) x 2 - 0.5: the same place.
      {1280, 960, 1280, 960, {0, 0, 1280, 960}, 703.5f, 479.5f},
      {1920, 1080, 1440, 1080, {240, 0, 1680, 1080}, 1031.5f, 539.5f},  // pillarbox
      {1280, 1024, 1280, 960, {0, 32, 1280, 992}, 703.5f, 511.5f},      // letterbox
  };
  CountingFrameSink sink;
  BoardSetFrameSink(&sink);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    ASSERT_TRUE(DeviceSetScreenSize(c.width, c.height));
    DeviceInit();
    DeviceOpen(GR_RESOLUTION_640x480);
    DeviceSetViewScale(1.0f);
    EXPECT_TRUE(ViewWidth == c.view_width && ViewHeight == c.view_height);
    InitRenderVertices();
    RenderPolygons(PolygonBuffer, 0, TextureSlots, 90.0f, 255);
    EXPECT_EQ(Board().clip, c.clip);
    ASSERT_EQ(ComputeProjection(90.0f, 255, &Projection), 1);
    ClipVertexCount = 0;
    const RecordVertex point{1, 0, 9, 0, 0, 0, 0, 0};
    ProjectVertex(&point);
    EXPECT_EQ(ClipVertices[0].x, c.x);
    EXPECT_EQ(ClipVertices[0].y, c.y);
    platform::RunExitHandlers();
    DeviceResetState();
  }
  BoardSetFrameSink(nullptr);
  // Angles that give no picture.
  EXPECT_EQ(ComputeProjection(0.0f, 255, &Projection), 0);
  EXPECT_EQ(ComputeProjection(180.0f, 255, &Projection), 0);
}

}  // namespace
