// The renderer on screens of other sizes than the board's 640x480: the view
// is the largest 4:3 area of the screen, centred, so the projection, the clip
// window and the 1/16-pixel grid follow the real screen and a point keeps its
// place in the picture (at 1280x960, twice as far from the corner).
#include <gtest/gtest.h>

#include "board/board_state.h"
#include "board/frame_sink.h"
#include "board/glide.h"
#include "device/demo_state.h"
#include "device/device.h"
#include "engine/polygon_buffer.h"
#include "engine/scene_projection.h"
#include "engine/scene_renderer.h"
#include "platform/exit_handlers.h"

namespace {

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
    EXPECT_EQ(sink.width(), c.width);
    EXPECT_EQ(ScreenHeight, c.height);
    EXPECT_EQ(ViewWidth, c.view_width);
    EXPECT_EQ(ViewHeight, c.view_height);
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
}

}  // namespace
