#include "tessel/mlink/log_registry.h"

#include <chrono>
#include <utility>

namespace tessel {
namespace mlink {
namespace {

std::shared_ptr<LogRegistry>& InstalledRegistry() {
  static std::shared_ptr<LogRegistry> registry;
  return registry;
}

}  // namespace

void SetLogRegistry(std::shared_ptr<LogRegistry> registry) {
  InstalledRegistry() = std::move(registry);
}

std::shared_ptr<LogRegistry> GetLogRegistry() {
  return InstalledRegistry();
}

Logger::Logger(LoggerConfig config) : config_(std::move(config)) {}

Logger Logger::ForName(const std::string& name) {
  const std::shared_ptr<LogRegistry> registry = GetLogRegistry();
  if (!registry) return Logger();
  return Logger(registry->GetLoggerConfig(name));
}

void Logger::Log(int level, const std::string& source, int line, const std::string& function,
                 const std::string& message) const {
  if (!ShouldLog(level)) return;
  std::string text;
  text.reserve(config_.name.size() + 2 + message.size());
  text += config_.name;
  text += "| ";
  text += message;

  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  const int64_t millis = std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count();
  const int64_t seconds = millis / 1000;
  const auto micros = static_cast<int32_t>((millis % 1000) * 1000);
  for (const auto& sink : config_.sinks) {
    if (sink) sink->Write(level, seconds, micros, source, line, function, text);
  }
}

}  // namespace mlink
}  // namespace tessel
