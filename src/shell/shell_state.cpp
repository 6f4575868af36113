#include "shell/shell_state.h"

std::atomic<int32_t> DemoRunning{0};
uint32_t StartTick = 0;
MusicModule* ModuleHandle = nullptr;
std::atomic<uint32_t> PlayHandle{0};
uint32_t DemoStartMs = 0;
