// The check of rtc_demo's script parser, shared by its fuzz target and the corpus replay test.
//
// The bytes are a script. ParseScript either refuses it with one line "<name>:<line>: ..." (or
// "<name>: ..." for a script without a signin), or returns steps the session can run without a
// further check: lines in order, the room before the first signin, each user signed in once and
// before acting, no empty user, room or owner name, operation arguments within their counts, every
// number the session converts a valid int (a tick count not negative). The steps' own source lines,
// parsed again, give the same steps. Returns "" when all holds, otherwise what broke.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "demo/script.h"

namespace fuzz_check {

inline constexpr char kScriptName[] = "fuzz.script";

inline bool ConvertsToInt(const std::string& text) {
  try {
    size_t used = 0;
    std::stoi(text, &used);
    return used == text.size();
  } catch (const std::exception&) {
    return false;
  }
}

// Why a parsed step could not run, or "".
inline std::string StepProblem(const demo::Step& step, std::set<std::string>* users,
                               bool* room_seen) {
  struct Counts {
    size_t min, max;
  };
  static const Counts kCounts[] = {
#define FUZZ_CHECK_COUNTS(id, name, min, max, args, host, adaptor, what) {min, max},
      DEMO_OPERATIONS(FUZZ_CHECK_COUNTS)
#undef FUZZ_CHECK_COUNTS
  };
  const std::vector<std::string>& a = step.args;
  switch (step.directive) {
    case demo::Directive::kRoom:
      if (*room_seen || !users->empty()) return "a misplaced room";
      if (a.size() < 2 || a.size() > 3 || a[0].empty() || a[1].empty())
        return "a room without id or owner";
      *room_seen = true;
      return {};
    case demo::Directive::kSignin:
      if (step.user.empty()) return "a signin without a name";
      if (!users->insert(step.user).second) return "a repeated signin";
      return {};
    case demo::Directive::kTick:
      if (a.size() != 1 || !ConvertsToInt(a[0]) || std::stoi(a[0]) < 0) return "a bad tick count";
      return {};
    case demo::Directive::kOperation:
      break;
  }
  if (users->count(step.user) == 0) return "an operation of a user not signed in";
  const Counts& counts = kCounts[static_cast<int>(step.op)];
  if (a.size() < counts.min || a.size() > counts.max) return "an operation with too many args";
  if (step.op == demo::Op::kLayout && !ConvertsToInt(a[0])) return "a layout that is no number";
  if (step.op == demo::Op::kShareStart) {
    for (const std::string& n : a) {
      if (!ConvertsToInt(n)) return "a share-start argument that is no number";
    }
  }
  return {};
}

inline bool SameSteps(const std::vector<demo::Step>& a, const std::vector<demo::Step>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].directive != b[i].directive || a[i].user != b[i].user || a[i].op != b[i].op ||
        a[i].args != b[i].args || a[i].expect != b[i].expect || a[i].source != b[i].source) {
      return false;
    }
  }
  return true;
}

inline std::string CheckScript(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<demo::Step> steps;
  std::string error;
  if (!demo::ParseScript(text, kScriptName, &steps, &error)) {
    if (error.rfind(std::string(kScriptName) + ":", 0) != 0 ||
        error.find('\n') != std::string::npos) {
      return "the refusal is not one line naming the script: " + error;
    }
    return {};
  }
  std::set<std::string> users;
  bool room_seen = false;
  int last_line = 0;
  std::string sources;
  for (const demo::Step& step : steps) {
    if (step.line <= last_line) return "steps out of line order";
    last_line = step.line;
    const std::string problem = StepProblem(step, &users, &room_seen);
    if (!problem.empty()) return "line " + std::to_string(step.line) + ": " + problem;
    sources += step.source + "\n";
  }
  if (users.empty()) return "a script without a signin was accepted";
  std::vector<demo::Step> again;
  if (!demo::ParseScript(sources, kScriptName, &again, &error)) {
    return "the steps' own lines do not parse: " + error;
  }
  if (!SameSteps(steps, again)) return "the steps' own lines parse into other steps";
  return {};
}

}  // namespace fuzz_check
