// veyrith: the demo program.
#include <cstdio>
#include <string>

#include "device/device.h"
#include "engine/scene_renderer.h"
#include "platform/display.h"
#include "platform/exit_handlers.h"
#include "shell/options.h"
#include "shell/run_modes.h"
#include "shell/timeline.h"

int main(int argc, char** argv) {
  ShellOptions options;
  std::string error;
  if (!ParseShellOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "veyrith: %s (try veyrith --help)\n", error.c_str());
    return 2;
  }
  if (options.help) {
    PrintShellHelp();
    return 0;
  }
  if (options.version) {
    std::printf("veyrith 0.1.0 (engine %s)\n", EngineVersionLong());
    return 0;
  }
  if (options.list_rows) {
    PrintTimeline();
    return 0;
  }
  DeviceSetRenderInit(InitRenderVertices);
  const int code = RunWithOptions(options);
  // The handlers registered during start-up: the library first, then the board.
  platform::RunExitHandlers();
  platform::ShutdownVideo();
  return code;
}
