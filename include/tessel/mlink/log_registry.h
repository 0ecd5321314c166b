// Logging of the request framework.
//
// A process-wide LogRegistry, installed by the host, tells each logger by name where its lines
// go (sinks) and from which level on. The module installs none, so by default every logger has
// no sinks and minimum level 0. Install the registry at start-up, before the first request is
// made: the installed pointer is read without a lock on every request. A Logger copies its
// configuration when it is made and never asks the registry again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessel {
namespace mlink {

// Receives finished log lines. Called on whatever thread logs; must be thread-safe.
class LogSink {
 public:
  virtual ~LogSink() = default;
  // `seconds` since the epoch (wall clock); `micros` within that second, at millisecond
  // resolution. `text` is "<logger name>| <message>".
  virtual void Write(int level, int64_t seconds, int32_t micros, const std::string& source,
                     int line, const std::string& function, const std::string& text) = 0;
};

struct LoggerConfig {
  std::string name;
  std::vector<std::shared_ptr<LogSink>> sinks;
  int min_level = 0;
};

class LogRegistry {
 public:
  virtual ~LogRegistry() = default;
  // The configuration of the logger named `name`. Called on any thread.
  virtual LoggerConfig GetLoggerConfig(const std::string& name) = 0;
};

// Installs `registry` for loggers made from now on; empty uninstalls. Not synchronised with
// requests being made on other threads.
void SetLogRegistry(std::shared_ptr<LogRegistry> registry);
std::shared_ptr<LogRegistry> GetLogRegistry();

class Logger {
 public:
  Logger() = default;
  explicit Logger(LoggerConfig config);

  // The configuration the installed registry gives for `name`; the default one without a
  // registry.
  static Logger ForName(const std::string& name);

  const std::string& name() const { return config_.name; }
  int min_level() const { return config_.min_level; }
  const std::vector<std::shared_ptr<LogSink>>& sinks() const { return config_.sinks; }
  bool ShouldLog(int level) const { return level >= config_.min_level; }

  // Hands "<name>| <message>" with the current time to every sink; nothing below min_level.
  void Log(int level, const std::string& source, int line, const std::string& function,
           const std::string& message) const;

 private:
  LoggerConfig config_;
};

}  // namespace mlink
}  // namespace tessel
