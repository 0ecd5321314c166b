#include "basefx/logging.h"

#include <atomic>
#include <mutex>
#include <utility>

namespace basefx {
namespace {

std::atomic<int> g_min_severity{1};

struct Routing {
  std::mutex mutex;
  std::string prefix;
  LogMessageHandler handler;
};

Routing& GetRouting() {
  static Routing* routing = new Routing();  // never destroyed: logging may run during exit
  return *routing;
}

}  // namespace

bool ShouldCreateLogMessage(int severity) {
  return severity >= g_min_severity.load(std::memory_order_relaxed);
}

void SetMinLogSeverity(int severity) {
  g_min_severity.store(severity, std::memory_order_relaxed);
}

int GetMinLogSeverity() {
  return g_min_severity.load(std::memory_order_relaxed);
}

std::string GetNameForLogSeverity(int severity) {
  switch (severity) {
    case 0:
      return "VERBOSE";
    case 1:
      return "INFO";
    case 2:
      return "WARNING";
    case 3:
      return "ERROR";
    default:
      return severity >= 4 ? "FATAL" : "UNKNOWN";
  }
}

std::string StripDots(const std::string& path) {
  std::size_t pos = 0;
  for (;;) {
    if (path.compare(pos, 2, "./") == 0) {
      pos += 2;
    } else if (path.compare(pos, 3, "../") == 0) {
      pos += 3;
    } else {
      break;
    }
  }
  return path.substr(pos);
}

std::string GetLogPrefix() {
  Routing& routing = GetRouting();
  std::lock_guard<std::mutex> lock(routing.mutex);
  return routing.prefix;
}

void SetLogPrefix(const std::string& prefix) {
  Routing& routing = GetRouting();
  std::lock_guard<std::mutex> lock(routing.mutex);
  routing.prefix = prefix;
}

LogMessageHandler GetLogMessageHandler() {
  Routing& routing = GetRouting();
  std::lock_guard<std::mutex> lock(routing.mutex);
  return routing.handler;
}

void SetLogMessageHandler(LogMessageHandler handler) {
  Routing& routing = GetRouting();
  LogMessageHandler previous;
  {
    std::lock_guard<std::mutex> lock(routing.mutex);
    previous = std::exchange(routing.handler, std::move(handler));
  }
  // `previous` is destroyed outside the lock: its captures may log.
}

}  // namespace basefx
