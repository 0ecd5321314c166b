// Log routing. A caller builds a line only when ShouldCreateLogMessage accepts its severity,
// and hands the finished line to the installed handler, or to the standard error stream when
// none is installed. Severities: 0 verbose, 1 info, 2 warning, 3 error, 4 and above fatal.
// Every function is thread-safe.
#pragma once

#include <functional>
#include <string>

#include "basefx/export.h"

namespace basefx {

using LogMessageHandler = std::function<void(int severity, const std::string& text)>;

// True when `severity` is at least the minimum severity (1 unless set).
BASEFX_EXPORT bool ShouldCreateLogMessage(int severity);
BASEFX_EXPORT void SetMinLogSeverity(int severity);
BASEFX_EXPORT int GetMinLogSeverity();

// "VERBOSE", "INFO", "WARNING", "ERROR", "FATAL" (4 and above); "UNKNOWN" below 0.
BASEFX_EXPORT std::string GetNameForLogSeverity(int severity);

// `path` without its leading "./" and "../" parts: "../../src/a" -> "src/a".
BASEFX_EXPORT std::string StripDots(const std::string& path);

// Text written after the location part of every line; empty unless set.
BASEFX_EXPORT std::string GetLogPrefix();
BASEFX_EXPORT void SetLogPrefix(const std::string& prefix);

// A copy of the installed handler; empty when none is installed.
BASEFX_EXPORT LogMessageHandler GetLogMessageHandler();
// Installs `handler` (empty uninstalls). It is called on the logging thread, so it must be
// thread-safe.
BASEFX_EXPORT void SetLogMessageHandler(LogMessageHandler handler);

}  // namespace basefx
