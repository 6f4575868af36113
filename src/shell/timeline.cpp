#include "shell/timeline.h"

#include <cstdio>

#include "device/demo_state.h"
#include "device/device.h"
#include "effects/bump_scroller.h"
#include "effects/logo.h"
#include "engine/scene_renderer.h"
#include "platform/clock.h"
#include "scene/scene.h"
#include "shell/shell_state.h"

const TimelineEntry Timeline[kTimelineRows] = {
    {0.0f, 1, 0, 299},        // intro
    {15.0f, 2, 0, 0},         // logo picture
    {20.0f, 3, 0, 685},       // mainscene, first piece
    {45.0f, 4, 0, 899},       // mountainworld
    {67.0f, 3, 685, 865},     // mainscene
    {74.0f, 5, 0, 599},       // mountainhut
    {90.0f, 3, 865, 985},     // mainscene
    {95.0f, 6, 0, 99},        // planet_part1
    {98.0f, 7, 0, 172},       // planet_part2
    {106.0f, 8, 0, 179},      // planet_part3
    {116.0f, 3, 985, 1115},   // mainscene
    {122.0f, 9, 0, 599},      // stonehedge_fire
    {133.0f, 3, 1115, 1599},  // mainscene, last piece
    {160.0f, 11, 0, 0},       // bump-lit scroller
    {218.0f, 0, 0, 0},        // end of the demo
};

float DemoTime() {
  const uint32_t elapsed = platform::GetTickCount() - StartTick;
  return static_cast<float>(static_cast<double>(elapsed) * 0.001);
}

int FindTimelineRow(float t) {
  for (int i = 0; i < kTimelineRows - 1; ++i) {
    if (Timeline[i].start <= t && t < Timeline[i + 1].start) return i;
  }
  // Only the end row is left: it is taken once t reaches its start. Earlier
  // times cannot occur (the clock starts at 0, and so does row 0).
  return kTimelineRows - 1;
}

int32_t ComputeFadeLevel(float local, float duration) {
  if (local < 1.0) return static_cast<int32_t>(local * 255.0);
  if (local > duration + -1.0) return static_cast<int32_t>((duration - local) * 255.0);
  return 255;
}

namespace {

void Blank() {
  ClearFrame();
  ShowFrame(0);
  ClearFrame();
}

}  // namespace

void RunTimeline() {
  int previous_type = -1;
  int keep_going = 1;
  while (keep_going == 1 && DemoRunning.load() != 0) {
    const float t = DemoTime();
    ClearFrame();
    const int row = FindTimelineRow(t);
    const TimelineEntry& entry = Timeline[row];
    const float local = t - entry.start;
    float progress = 0.0f;
    if (entry.type != 0) {
      const float duration = Timeline[row + 1].start - entry.start;
      FadeLevel = ComputeFadeLevel(local, duration);
      progress = local / duration;
    }
    const int type = static_cast<int>(entry.type);
    switch (type) {
      case 0:
        Blank();
        keep_going = 0;
        break;
      case 1:
        DrawSceneFrame(0, entry.from_frame, entry.to_frame, progress);
        break;
      case 2:
        if (previous_type != 2) Blank();
        DrawLogo(progress);
        break;
      case 3:
        if (previous_type != 3) Blank();
        DrawSceneFrame(1, entry.from_frame, entry.to_frame, progress);
        break;
      case 11:
        if (previous_type != 11) Blank();
        DrawBumpScroller(progress);
        break;
      default:
        if (type >= 4 && type <= 10) {
          DrawSceneFrame(type - 2, entry.from_frame, entry.to_frame, progress);
        }
        break;  // types above 11 draw nothing
    }
    ShowFrame(1);
    previous_type = type;
  }
  for (Scene*& scene : SceneSlots) {
    FreeScene(scene);
    scene = nullptr;
  }
}

void PrintTimeline() {
  static const char* const kNames[] = {
      "end of the demo",           "scene 0 (intro)",         "logo picture",
      "scene 1 (mainscene)",       "scene 2 (mountainworld)", "scene 3 (mountainhut)",
      "scene 4 (planet_part1)",    "scene 5 (planet_part2)",  "scene 6 (planet_part3)",
      "scene 7 (stonehedge_fire)", "scene 8 (empty)",         "bump-lit scroller"};
  std::printf("%-4s %8s %8s  %s\n", "row", "start/s", "length/s", "shows");
  for (int i = 0; i < kTimelineRows; ++i) {
    const TimelineEntry& e = Timeline[i];
    const char* name = e.type < 12 ? kNames[e.type] : "nothing";
    char length[16] = "-";
    if (i + 1 < kTimelineRows) {
      std::snprintf(length, sizeof length, "%.0f", Timeline[i + 1].start - e.start);
    }
    std::printf("%-4d %8.1f %8s  %s", i, e.start, length, name);
    if (e.type == 1 || (e.type >= 3 && e.type <= 10)) {
      std::printf(", frames %d to %d", e.from_frame, e.to_frame);
    }
    std::printf("\n");
  }
}
