// Threads with a chosen stack size (the demo thread asks for 1 MiB), over
// POSIX threads because std::thread cannot set the stack size.
#pragma once

#include <cstddef>

namespace platform {

using ThreadFunction = void (*)(void* argument);

class Thread {
 public:
  Thread() = default;
  ~Thread();  // joins a thread that is still joinable
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts function(argument) on a new thread; false when it could not start.
  bool Start(ThreadFunction function, void* argument, std::size_t stack_bytes);
  // Waits for the thread to end; does nothing when none was started.
  void Join();
  bool Joinable() const { return started_; }

 private:
  unsigned long handle_ = 0;
  bool started_ = false;
};

// Lowers the calling thread's scheduling priority a little (the main thread
// does this once the demo thread takes over the drawing).
void LowerCurrentThreadPriority();

// The cores the process may run on (its CPU affinity), at least 1.
int UsableCores();

}  // namespace platform
