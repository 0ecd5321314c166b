#include "common/log_message.h"

#include <cstdlib>
#include <iostream>

namespace vanta {
namespace common {

LogMessage::LogMessage(int severity, const char* file, int line, const char* tag)
    : severity_(severity) {
  stream_ << "[" << basefx::GetNameForLogSeverity(severity) << ":"
          << basefx::StripDots(file != nullptr ? file : "") << "(" << line << ")] "
          << basefx::GetLogPrefix() << (tag != nullptr ? tag : "");
}

LogMessage::~LogMessage() {
  // The minimum severity may have been raised while the line was being built.
  if (basefx::ShouldCreateLogMessage(severity_)) {
    stream_ << "\n";
    const std::string text = stream_.str();
    if (const basefx::LogMessageHandler handler = basefx::GetLogMessageHandler()) {
      handler(severity_, text);
    } else {
      std::cerr << text;
      std::cerr.flush();
    }
  }
  if (severity_ >= 4) std::abort();
}

}  // namespace common
}  // namespace vanta
