#include "demo/soak.h"

#include <algorithm>
#include <chrono>
#include <deque>

#include "demo/events.h"
#include "demo/session.h"
#include "nexo_standin/engine_control.h"

#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
#include <malloc.h>
#define RTC_DEMO_MALLINFO2 1
#elif defined(__linux__)
#include <unistd.h>

#include <fstream>
#define RTC_DEMO_STATM 1
#elif defined(_WIN32)
#define PSAPI_VERSION 2
#include <windows.h>
// windows.h first: psapi.h needs its types.
#include <psapi.h>
#define RTC_DEMO_PROCESS_MEMORY 1
#endif

namespace demo {

namespace {

using Clock = std::chrono::steady_clock;

// The first runs fill the process's lasting caches (the loaded plug-in, the engine's threads,
// the allocator's arenas): the warm-up is a tenth of the time, and at least this many runs.
constexpr long long kWarmUpRuns = 20;
// Each level is the lowest reading of this many consecutive runs, so that what happens to be
// allocated at one reading (a thread's cache, a buffer between uses) does not count as growth.
constexpr size_t kWindow = 10;
// Growth allowed from the level after the warm-up to the level at the end.
constexpr uint64_t kSlackBytes = 64 * 1024;
constexpr std::chrono::seconds kProgressEvery{10};

std::string KiB(uint64_t bytes) {
  return std::to_string((bytes + 512) / 1024) + " KiB";
}

}  // namespace

MemoryInUse MeasureMemory() {
  MemoryInUse m;
#if defined(RTC_DEMO_MALLINFO2)
  const struct mallinfo2 info = mallinfo2();
  m.measured = true;
  m.bytes = info.uordblks + info.hblkhd;
  m.what = "heap in use (mallinfo2)";
#elif defined(RTC_DEMO_STATM)
  std::ifstream statm("/proc/self/statm");
  uint64_t size = 0, resident = 0;
  if (statm >> size >> resident) {
    m.measured = true;
    m.bytes = resident * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    m.what = "resident set (RSS)";
  }
#elif defined(RTC_DEMO_PROCESS_MEMORY)
  PROCESS_MEMORY_COUNTERS counters;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    m.measured = true;
    m.bytes = counters.PagefileUsage;
    m.what = "private bytes";
  }
#endif
  return m;
}

int RunSoak(const Options& options, const std::vector<Step>& steps, std::FILE* out) {
  const Clock::time_point start = Clock::now();
  const Clock::time_point end = start + std::chrono::seconds(options.soak_seconds);
  const Clock::time_point warm = start + std::chrono::seconds(options.soak_seconds) / 10;
  Clock::time_point next_progress = start + kProgressEvery;
  const long long operations = std::count_if(steps.begin(), steps.end(), [](const Step& s) {
    return s.directive == Directive::kOperation;
  });
  long long runs = 0, unexpected = 0, warm_up_runs = 0;
  std::deque<uint64_t> window;  // the last readings
  MemoryInUse reading;
  uint64_t baseline = 0, peak = 0;
  std::string first_complaint;
  while (warm_up_runs == 0 || runs < warm_up_runs + static_cast<long long>(kWindow) ||
         Clock::now() < end) {
    {
      // Each run is a whole session: its own simulator, accounts, hosts and services.
      EventLog log(Format::kText, true, out);
      const SessionResult result = RunSession(options, steps, log);
      if (!result.setup_ok) {
        std::fprintf(stderr, "rtc_demo: %s\n", result.error.c_str());
        return 2;
      }
      ++runs;
      unexpected += result.unexpected;
      if (first_complaint.empty() && !result.complaints.empty()) {
        first_complaint = "run " + std::to_string(runs) + ": " + result.complaints.front();
      }
    }
    // The engine stand-in keeps a record of every request and registration for inspection;
    // between runs it starts afresh, as a host's engine would after a restart.
    nexo_standin::Reset();
    reading = MeasureMemory();
    window.push_back(reading.bytes);
    if (window.size() > kWindow) window.pop_front();
    if (warm_up_runs == 0 && runs >= kWarmUpRuns && Clock::now() >= warm) warm_up_runs = runs;
    if (warm_up_runs != 0) {
      peak = std::max(peak, reading.bytes);
      if (runs == warm_up_runs + static_cast<long long>(kWindow)) {
        baseline = *std::min_element(window.begin(), window.end());
      }
    }
    if (Clock::now() >= next_progress) {
      next_progress += kProgressEvery;
      std::fprintf(
          out, "soak: %lld s, %lld runs, %lld unexpected, %s %s\n",
          static_cast<long long>(
              std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count()),
          runs, unexpected, reading.what, KiB(reading.bytes).c_str());
      std::fflush(out);
    }
  }
  const long long seconds =
      std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count();
  std::fprintf(out, "soak: %lld runs of %lld operations in %lld s, %lld unexpected outcomes\n",
               runs, operations, seconds, unexpected);
  if (!first_complaint.empty()) std::fprintf(out, "soak: first: %s\n", first_complaint.c_str());
  bool memory_ok = true;
  if (reading.measured) {
    const uint64_t level = *std::min_element(window.begin(), window.end());
    const uint64_t allowed = baseline + std::max(kSlackBytes, baseline / 50);
    memory_ok = level <= allowed;
    std::fprintf(out,
                 "soak: %s after %lld warm-up runs %s, at the end %s (lowest of %zu runs each; "
                 "peak %s, allowed %s): %s\n",
                 reading.what, warm_up_runs, KiB(baseline).c_str(), KiB(level).c_str(), kWindow,
                 KiB(peak).c_str(), KiB(allowed).c_str(), memory_ok ? "back to its level" : "GREW");
  } else {
    std::fprintf(out, "soak: memory %s\n", reading.what);
  }
  return unexpected == 0 && memory_ok ? 0 : 1;
}

}  // namespace demo
