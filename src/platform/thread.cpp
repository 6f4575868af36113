#include "platform/thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

namespace platform {
namespace {

constexpr int kNoPriority = 1000;

// glibc carves a thread's static thread-local storage out of its stack, and
// ThreadSanitizer keeps most of a megabyte of per-thread state there: that
// room is added, so the thread still gets the stack it asked for.
#if defined(__SANITIZE_THREAD__)
constexpr std::size_t kSanitizerStateBytes = std::size_t{2} << 20;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr std::size_t kSanitizerStateBytes = std::size_t{2} << 20;
#else
constexpr std::size_t kSanitizerStateBytes = 0;
#endif
#else
constexpr std::size_t kSanitizerStateBytes = 0;
#endif

struct StartRecord {
  ThreadFunction function;
  void* argument;
};

// The priority threads had before the main thread lowered its own: new
// threads inherit the creator's nice value on Linux, but a thread started
// after the lowering should run at the normal priority, as intended.
std::atomic<int> normal_priority{kNoPriority};

void* Trampoline(void* raw) {
  const int normal = normal_priority.load();
  if (normal != kNoPriority) {
    // Allowed only with the right to raise priorities; otherwise the thread
    // keeps the lowered one, which is harmless.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), normal);
  }
  StartRecord start = *static_cast<StartRecord*>(raw);
  delete static_cast<StartRecord*>(raw);
  start.function(start.argument);
  return nullptr;
}

}  // namespace

Thread::~Thread() {
  Join();
}

bool Thread::Start(ThreadFunction function, void* argument, std::size_t stack_bytes) {
  if (started_) return false;
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  // The sanitizers need more room than the program itself; never go below
  // the platform minimum.
  const std::size_t stack =
      std::max<std::size_t>(stack_bytes, PTHREAD_STACK_MIN) + kSanitizerStateBytes;
  pthread_attr_setstacksize(&attributes, stack);
  auto* start = new StartRecord{function, argument};
  pthread_t handle;
  const int result = pthread_create(&handle, &attributes, Trampoline, start);
  pthread_attr_destroy(&attributes);
  if (result != 0) {
    delete start;
    return false;
  }
  handle_ = handle;
  started_ = true;
  return true;
}

void Thread::Join() {
  if (!started_) return;
  pthread_join(static_cast<pthread_t>(handle_), nullptr);
  started_ = false;
}

void LowerCurrentThreadPriority() {
  // Only the calling thread: on Linux a thread id is a process id for setpriority.
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  const int current = getpriority(PRIO_PROCESS, tid);
  normal_priority.store(current);
  setpriority(PRIO_PROCESS, tid, current + 2);
}

int UsableCores() {
  cpu_set_t cores;
  CPU_ZERO(&cores);
  if (sched_getaffinity(0, sizeof cores, &cores) != 0) return 1;
  return std::max(1, CPU_COUNT(&cores));
}

}  // namespace platform
