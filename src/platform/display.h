// Whether this run has a display: a real one (SDL video can start) or a
// headless run that was asked for on the command line.
#pragma once

namespace platform {

void SetHeadless(bool headless);
bool IsHeadless();

// True when SDL's video subsystem can be started (a display is reachable).
// Starts it on first use and remembers the answer.
bool DisplayAvailable();

// Shuts SDL down at the very end of the process.
void ShutdownVideo();

}  // namespace platform
