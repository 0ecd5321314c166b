// The demo's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

struct Options {
  std::string plugin;  // the plug-in to load; the built one unless given
  std::string script;  // empty: the built-in session
  std::vector<std::string> faults;
  uint64_t seed = 1;
  bool json = false;
  int log_level = 1;  // lowest severity of module log lines shown
  bool quiet = false;
  std::string trace;
  std::string record;
  std::string replay;
  long long soak_seconds = 0;  // 0: one run
  bool help = false;
};

// Fills `options` from the arguments; false with a one-line `error` on bad input.
bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error);

extern const char kUsage[];

}  // namespace demo
