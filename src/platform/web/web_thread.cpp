// The page has one thread (a page served by any web server cannot share
// memory between workers), so no thread starts: the board then draws on the
// calling thread and the music is mixed in the audio callback.
#include "platform/thread.h"

namespace platform {

Thread::~Thread() = default;

bool Thread::Start(ThreadFunction /*function*/, void* /*argument*/, std::size_t /*stack_bytes*/) {
  handle_ = 0;
  started_ = false;
  return false;
}

void Thread::Join() {
  started_ = false;
}

void LowerCurrentThreadPriority() {}

int UsableCores() {
  return 1;
}

}  // namespace platform
