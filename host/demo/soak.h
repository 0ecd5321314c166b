// rtc_demo --soak SECONDS: the session again and again for a given time, with a check that the
// memory the process uses comes back to its level after a warm-up.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "demo/options.h"
#include "demo/script.h"

namespace demo {

// The process's memory in use: the heap's allocated bytes where the C library tells them
// (glibc's mallinfo2), otherwise the resident or private bytes of the process.
struct MemoryInUse {
  bool measured = false;
  uint64_t bytes = 0;
  const char* what = "not measured on this platform";
};
MemoryInUse MeasureMemory();

// Runs `steps` for options.soak_seconds, printing progress and a verdict to `out`. Exit status:
// 0 when every run ended as expected and memory came back to its level, 1 otherwise, 2 when a
// run could not be set up (its one-line error on standard error).
int RunSoak(const Options& options, const std::vector<Step>& steps, std::FILE* out);

}  // namespace demo
