// The device layer over the board: start-up, modes, view scale, clear,
// swap and locks, checked through the board's call record.
#include <gtest/gtest.h>

#include <algorithm>
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
  long Count(const std::string& name) const {
    return std::count_if(log_.calls.begin(), log_.calls.end(),
                         [&](const BoardCall& c) { return c.name == name; });
  }
  CountingFrameSink sink_;
  BoardCallLog log_;
};

TEST_F(DeviceTest, InitTwiceStartsTheBoardOnceAndRegistersOneExitHandler) {
  DeviceInit();
  DeviceInit();
  EXPECT_EQ(log_.Lines(),
            (std::vector<std::string>{"grGlideInit()", "grSstQueryHardware()", "grSstSelect(0)"}));
  EXPECT_EQ(render_inits, 1);
  EXPECT_EQ(TextureMemoryCursor, 0xFFFFFFFFu);
  log_.calls.clear();
  platform::RunExitHandlers();
  EXPECT_EQ(log_.Lines(), (std::vector<std::string>{"grGlideShutdown()"}));
}

TEST_F(DeviceTest, OpenSetsTheSizesAndTheShiftTables) {
  DeviceInit();
  DeviceOpen(GR_RESOLUTION_640x480);
  ASSERT_EQ(DeviceIsOpen(), 1);
  EXPECT_EQ(ScreenWidth, 640);
  EXPECT_EQ(ScreenHeight, 480);
  EXPECT_EQ(ViewWidth, 640);
  EXPECT_EQ(ViewHeight, 480);
  EXPECT_EQ(log_.Lines().back(), "grSstWinOpen(0,7,0,0,1,2,1)");
  EXPECT_EQ(AlphaShift[0x12] | RedShift[0x34] | GreenShift[0x56] | BlueShift[0x78], 0x12345678u);
  EXPECT_EQ(RedShift[255], 0x00FF0000u);
  EXPECT_TRUE(sink_.open());
  EXPECT_EQ(sink_.width(), 640);
}

TEST_F(DeviceTest, ViewScaleIsClampedToPlusMinusOne) {
  DeviceInit();
  DeviceOpen(GR_RESOLUTION_640x480);
  DeviceSetViewScale(2.0f);
  EXPECT_EQ(ViewWidth, 640);
  EXPECT_EQ(ViewHeight, 480);
  DeviceSetViewScale(0.5f);
  EXPECT_EQ(ViewWidth, 320);
  EXPECT_EQ(ViewHeight, 240);
  DeviceSetViewScale(0.333f);  // truncated toward zero
  EXPECT_EQ(ViewWidth, 213);
  EXPECT_EQ(ViewHeight, 159);
  DeviceSetViewScale(-5.0f);
  EXPECT_EQ(ViewWidth, -640);
}

TEST_F(DeviceTest, UnknownModeKeepsTheSizesAndCloseWithoutScreenDoesNothing) {
  DeviceInit();
  DeviceOpen(GR_RESOLUTION_800x600);
  DeviceClose();
  EXPECT_EQ(DeviceIsOpen(), 0);
  log_.calls.clear();
  DeviceClose();  // nothing open: no call reaches the board
  EXPECT_TRUE(log_.calls.empty());
  DeviceOpen(GR_RESOLUTION_320x200);  // not in the mode table
  EXPECT_EQ(ScreenWidth, 800);
  EXPECT_EQ(ScreenHeight, 600);
}

TEST_F(DeviceTest, OpenWithoutInitDoesNothing) {
  DeviceOpen(GR_RESOLUTION_640x480);
  EXPECT_EQ(DeviceIsOpen(), 0);
  EXPECT_TRUE(log_.calls.empty());
}

TEST_F(DeviceTest, ClearSwapAndLocksMakeTheirBoardCalls) {
  DeviceInit();
  DeviceOpen(GR_RESOLUTION_640x480);
  log_.calls.clear();
  ClearFrame();
  ShowFrame(1);
  int32_t stride = -1;
  uint16_t* pixels = LockFrameWrite(&stride);
  ASSERT_NE(pixels, nullptr);
  EXPECT_GE(stride, 640 * 2);
  pixels[0] = 0xF800;
  UnlockFrameWrite();
  int32_t read_stride = -1;
  const uint16_t* read = LockFrameRead(&read_stride);
  ASSERT_EQ(read, pixels);  // both lock the back buffer
  EXPECT_EQ(read[0], 0xF800);
  UnlockFrameRead();
  EXPECT_EQ(log_.Lines(), (std::vector<std::string>{"grBufferClear(0,0,65535)", "grBufferSwap(1)",
                                                    "grLfbLock(1,1,0,255,0)", "grLfbUnlock(1,1)",
                                                    "grLfbLock(0,1,0,255,0)", "grLfbUnlock(0,1)"}));
}

TEST_F(DeviceTest, FailedLockReturnsNullAndLeavesTheStride) {
  int32_t stride = 1234;
  EXPECT_EQ(LockFrameWrite(&stride), nullptr);
  EXPECT_EQ(stride, 1234);
}

TEST_F(DeviceTest, ClearFillsOnlyTheClipWindowAndSwapPresentsTheBackBuffer) {
  DeviceInit();
  DeviceOpen(GR_RESOLUTION_640x480);
  int32_t stride = 0;
  uint16_t* pixels = LockFrameWrite(&stride);
  ASSERT_NE(pixels, nullptr);
  const int row = stride / 2;
  std::fill(pixels, pixels + row * 480, 0x1234);
  UnlockFrameWrite();
  grClipWindow(10, 20, 30, 40);
  grBufferClear(0x00FF8040, 0, 0xFFFF);  // 565 of (255,128,64) = 0xFC08
  EXPECT_EQ(pixels[20 * row + 10], 0xFC08);
  EXPECT_EQ(pixels[39 * row + 29], 0xFC08);
  EXPECT_EQ(pixels[19 * row + 10], 0x1234);
  EXPECT_EQ(pixels[20 * row + 30], 0x1234);
  EXPECT_EQ(pixels[40 * row + 29], 0x1234);
  ShowFrame(1);
  ASSERT_TRUE(sink_.has_frame());
  // The sink keeps the frame top row first: memory row 20 is screen row 459.
  EXPECT_EQ(sink_.last_frame()[459 * 640 + 10], 0xFC08);
  EXPECT_EQ(sink_.last_frame()[460 * 640 + 10], 0x1234);
}

TEST(DeviceModes, FindModeMatchesBothSidesOrFallsBackToTheFirst) {
  EXPECT_EQ(FindMode(Modes(), ModeCount(), 640, 480).code, 7);
  EXPECT_EQ(FindMode(Modes(), ModeCount(), 800, 600).code, 8);
  EXPECT_EQ(FindMode(Modes(), ModeCount(), 640, 600).code, 3);
  EXPECT_EQ(FindMode(Modes(), ModeCount(), 1024, 768).code, 3);
  EXPECT_STREQ(EngineVersion(), "0.0.4g");
  EXPECT_STREQ(EngineVersionLong(), "0.0.4g (3Dfx GLIDE version)");
  EXPECT_EQ(EngineVersionNumber(), 0x46700);
}

}  // namespace
