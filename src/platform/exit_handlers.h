// Handlers that run when the program ends, the last registered first, as
// the original's start-up registered them. The program's main() runs them
// after the demo returns; tests run them to check their order.
#pragma once

namespace platform {

using ExitHandler = void (*)();

void RegisterExitHandler(ExitHandler handler);
// Runs and forgets every registered handler, newest first.
void RunExitHandlers();

}  // namespace platform
