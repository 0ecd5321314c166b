// The module's log lines.
//
//   RTC_LOG(1, kFileTag) << "KickUserFromRtc success";
//
// writes "[INFO:src/plugins/rtc/rtc_service(42)] <prefix>KickUserFromRtc success\n" to the
// foundation library's log handler, or to the standard error stream when none is installed.
// The line is only built when the foundation library accepts its severity; otherwise the
// streamed arguments are not evaluated. Severities: 1 progress and success, 2 warnings,
// 3 failures; 4 and above end the process once the line is written.
//
// A LogMessage is a stack object of one thread; any number of threads may log at once.
#pragma once

#include <sstream>
#include <string>

#include "basefx/logging.h"

namespace vanta {
namespace common {

class LogMessage {
 public:
  // `file` is the source path without extension (null counts as empty); `tag` follows the
  // log prefix.
  LogMessage(int severity, const char* file, int line, const char* tag);
  LogMessage(const LogMessage&) = delete;
  LogMessage& operator=(const LogMessage&) = delete;
  ~LogMessage();

  std::ostream& stream() { return stream_; }

 private:
  const int severity_;
  std::ostringstream stream_;
};

// Gives the conditional in RTC_LOG a void result on both branches; & binds looser than <<.
struct LogMessageVoidify {
  void operator&(std::ostream&) {}
};

}  // namespace common
}  // namespace vanta

#define RTC_LOG_TAG(severity, file_tag, tag)   \
  !::basefx::ShouldCreateLogMessage(severity)  \
      ? (void)0                                \
      : ::vanta::common::LogMessageVoidify() & \
            ::vanta::common::LogMessage((severity), (file_tag), __LINE__, (tag)).stream()

#define RTC_LOG(severity, file_tag) RTC_LOG_TAG(severity, file_tag, "")
