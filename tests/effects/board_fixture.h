// A software board opened at 640x480 for the effect tests, with a sink that
// keeps the frames away from any window, and the effect pictures reserved.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "board/board_state.h"
#include "board/frame_sink.h"
#include "board/glide.h"
#include "device/demo_state.h"
#include "device/device.h"
#include "platform/exit_handlers.h"

class EffectBoardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logo_.assign(kLogoBytes, 0);
    text_.assign(kScrollerTextBytes, 0);
    background_.assign(kScreen320Bytes, 0);
    light_.assign(kBumpLightBytes, 0);
    gradient_.assign(kScreen320Bytes, 0);
    work_.assign(kScreen320Bytes, 0);
    LogoPicture = logo_.data();
    ScrollerText = text_.data();
    ScrollerBackground = background_.data();
    BumpLight = light_.data();
    BumpGradient = gradient_.data();
    BumpWork = work_.data();
    BoardSetFrameSink(&sink_);
  }
  void TearDown() override {
    platform::RunExitHandlers();
    DeviceResetState();
    BoardSetFrameSink(nullptr);
    LogoPicture = ScrollerText = ScrollerBackground = BumpLight = BumpGradient = BumpWork = nullptr;
    FadeLevel = 0;
  }
  // Opens the 640x480 screen and fills its back buffer, stride included,
  // with a marker that no effect writes.
  uint16_t* OpenScreen(uint16_t marker) {
    DeviceInit();
    DeviceOpen(GR_RESOLUTION_640x480);
    uint16_t* back = BoardBackBuffer();
    if (back) std::fill(back, back + kBoardStridePixels * 480, marker);
    return back;
  }

  CountingFrameSink sink_;
  std::vector<uint8_t> logo_, text_, background_, light_, gradient_, work_;
};
