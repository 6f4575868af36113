#include "platform/exit_handlers.h"

#include <mutex>
#include <vector>

namespace platform {
namespace {

std::mutex& HandlersMutex() {
  static std::mutex mutex;
  return mutex;
}
std::vector<ExitHandler>& Handlers() {
  static std::vector<ExitHandler> handlers;
  return handlers;
}

}  // namespace

void RegisterExitHandler(ExitHandler handler) {
  std::lock_guard<std::mutex> lock(HandlersMutex());
  Handlers().push_back(handler);
}

void RunExitHandlers() {
  for (;;) {
    ExitHandler handler = nullptr;
    {
      std::lock_guard<std::mutex> lock(HandlersMutex());
      if (Handlers().empty()) return;
      handler = Handlers().back();
      Handlers().pop_back();
    }
    handler();
  }
}

}  // namespace platform
