// The device layer over the board: start-up, modes, view scale and close,
// checked through the board's call record. The clear, the swap and the frame
// locks show in the timeline's and the effects' board calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/call_record.h"
#include "board/frame_sink.h"
#include "board/glide.h"
#include "device/demo_state.h"
#include "device/device.h"
#include "platform/exit_handlers.h"

namespace {

int render_inits = 0;

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::RunExitHandlers();
    DeviceResetState();
    grGlideShutdown();
    BoardSetFrameSink(&sink_);
    BoardSetCallRecorder(&log_);
    render_inits = 0;
    DeviceSetRenderInit([] { ++render_inits; });
  }
  void TearDown() override {
    BoardSetCallRecorder(nullptr);
    platform::RunExitHandlers();
    DeviceResetState();
    BoardSetFrameSink(nullptr);
    DeviceSetRenderInit(nullptr);
  }
  CountingFrameSink sink_;
  BoardCallLog log_;
};

TEST_F(DeviceTest, InitOnceOpenSizesShiftTablesAndClose) {
  DeviceOpen(GR_RESOLUTION_640x480);  // before start-up: nothing happens
  EXPECT_EQ(DeviceIsOpen(), 0);
  EXPECT_TRUE(log_.calls.empty());
  DeviceInit();
  DeviceInit();
  EXPECT_EQ(log_.Lines(),
            (std::vector<std::string>{"grGlideInit()", "grSstQueryHardware()", "grSstSelect(0)"}));
  EXPECT_EQ(render_inits, 1);
  EXPECT_EQ(TextureMemoryCursor, 0xFFFFFFFFu);
  DeviceOpen(GR_RESOLUTION_640x480);
  ASSERT_EQ(DeviceIsOpen(), 1);
  EXPECT_TRUE(ScreenWidth == 640 && ScreenHeight == 480 && ViewWidth == 640 && ViewHeight == 480);
  EXPECT_EQ(log_.Lines().back(), "grSstWinOpen(0,7,0,0,1,2,1)");
  EXPECT_EQ(AlphaShift[0x12] | RedShift[0x34] | GreenShift[0x56] | BlueShift[0x78], 0x12345678u);
  EXPECT_EQ(sink_.width(), 640);
  // View scales are clamped to [-1, 1] and truncated toward zero.
  const std::pair<float, int> scales[] = {{2.0f, 640}, {0.5f, 320}, {0.333f, 213}, {-5.0f, -640}};
  for (const auto& [factor, width] : scales) {
    DeviceSetViewScale(factor);
    EXPECT_EQ(ViewWidth, width) << factor;
    EXPECT_EQ(ViewHeight, width * 3 / 4) << factor;
  }
  DeviceOpen(GR_RESOLUTION_800x600);  // reopening closes first
  DeviceOpen(GR_RESOLUTION_320x200);  // not in the mode table: the sizes stay
  EXPECT_EQ(ScreenWidth, 800);
  DeviceClose();
  EXPECT_EQ(DeviceIsOpen(), 0);
  log_.calls.clear();
  DeviceClose();  // nothing open: no call reaches the board
  EXPECT_TRUE(log_.calls.empty());
  platform::RunExitHandlers();
  EXPECT_EQ(log_.Lines(), (std::vector<std::string>{"grGlideShutdown()"}));
}

TEST(DeviceModes, FindModeMatchesBothSidesOrFallsBackToTheFirst) {
  const int sizes[][3] = {{640, 480, 7}, {800, 600, 8}, {640, 600, 3}, {1024, 768, 3}};
  for (const auto& s : sizes) EXPECT_EQ(FindMode(Modes(), ModeCount(), s[0], s[1]).code, s[2]);
}

}  // namespace
