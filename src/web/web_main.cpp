// veyrith in a web page: the native program's start-up and shutdown
// (shell/demo_program.cpp), with the demo thread's work done on the page's
// one thread. Each swap waits for the browser's next animation frame (the
// program is built so that it can pause there and resume), and the music is
// mixed in the page's audio callback. The page calls main once the user has
// pressed start, with the sound quality and the start time it chose.
#include <emscripten/emscripten.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/device.h"
#include "engine/scene_renderer.h"
#include "music/music_options.h"
#include "music/music_system.h"
#include "platform/exit_handlers.h"
#include "platform/messages.h"
#include "platform/web/web_page.h"
#include "shell/demo_program.h"
#include "shell/shell_state.h"

namespace {

bool restart_requested = false;

// --quality NAME (or the other sound options of the native program) and
// --start SECONDS. False with the reason in *error.
bool ParseWebArguments(int argc, char** argv, double* start_seconds, std::string* error) {
  for (int index = 1; index < argc;) {
    if (std::strcmp(argv[index], "--start") == 0 && index + 1 < argc) {
      char* end = nullptr;
      const double value = std::strtod(argv[index + 1], &end);
      if (end == argv[index + 1] || *end != '\0' || !(value >= 0.0) || value > 218.0) {
        *error = std::string("--start: not a time from 0 to 218 seconds: ") + argv[index + 1];
        return false;
      }
      *start_seconds = value;
      index += 2;
      continue;
    }
    const int before = index;
    if (ParseMusicArgument(argc, argv, &index, error) <= 0 || index == before) {
      if (error->empty()) *error = std::string("unknown option ") + argv[before];
      return false;
    }
  }
  return true;
}

void NoticeMissingMusic() {
  veyrith_page_notice(
      "music.s3m cannot be played (the console says why): the demo plays "
      "without music.");
}

// One run of the demo from start_ms; returns the exit code.
int RunOnce(uint32_t start_ms) {
  DemoStartMs = start_ms;
  MusicSetStartTime(start_ms / 1000.0);
  DemoProgramHooks hooks;
  hooks.music_missing = NoticeMissingMusic;
  const int code = RunDemoProgram(hooks);
  platform::RunExitHandlers();
  platform::ResetMessages();
  return code;
}

}  // namespace

// The page's restart button: ends the run at its next frame and starts the
// demo again from its beginning.
extern "C" EMSCRIPTEN_KEEPALIVE void veyrith_restart() {
  restart_requested = true;
  DemoRunning.store(0);
}

int main(int argc, char** argv) {
  double start_seconds = 0.0;
  std::string error;
  if (!ParseWebArguments(argc, argv, &start_seconds, &error)) {
    veyrith_page_message(error.c_str(), "Veyrith");
    return 2;
  }
  MusicSkipSetupDialog(true);
  DeviceSetRenderInit(InitRenderVertices);
  auto start_ms = static_cast<uint32_t>(std::llround(start_seconds * 1000.0));
  // After the end (or a key press) the page offers a restart; the program
  // waits for it rather than exiting, so the page keeps its state.
  for (;;) {
    restart_requested = false;
    const int code = RunOnce(start_ms);
    veyrith_page_ended(code);
    if (code != 0) return code;
    while (!restart_requested) veyrith_page_wait_frame();
    start_ms = 0;
  }
}
