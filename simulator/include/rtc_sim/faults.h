// Fault injection rules for the adaptor simulator, and the text form (FAULT RULES) that describes
// them.
//
// FAULT RULES grammar (blanks around rules and around the parts of a rule are ignored, and so are
// empty rules):
//
//   rules    = rule *( ";" rule )
//   rule     = target ":" action [ "@" selector ]
//   target   = "*"                      every URI
//            | URI                      "/r/Adaptor/RtcMlink/getToken", ...
//            | suffix                   "getToken", "startClass", ... (the URI's last part)
//   action   = "error" [ "(" status [ "," code [ "," reason ] ] ")" ]
//                 an error answer: `status` (100 to 999, default 500) with an error body whose
//                 code text is `code` (default: the status in decimal), whose reason is `reason`
//                 (default "injected error") and whose scope is the adaptor's name; code and
//                 reason cannot hold ",", ")" or ";"
//            | "garbage"                the answer's body replaced by bytes that no model
//                                       decodes (the code stays: 200 for a request served)
//            | "fail" [ "(" code ")" ]  a local failure (the module sees code -1) carrying the
//                                       framework error `code` (default -4,
//                                       "network_broken_error")
//            | "delay" "(" ms [ "," max-ms ] ")"
//                                       the answer is delivered ms later (uniform in
//                                       [ms, max-ms] when a maximum is given), from the
//                                       simulator's delivery thread
//            | "reorder" [ "(" window [ "," hold-ms ] ")" ]
//                                       answers are held until `window` (1 to 1000, default 3)
//                                       are held or the oldest has waited hold-ms (default 100),
//                                       then delivered in a shuffled order from the delivery
//                                       thread
//            | "drop"                   never answered: the engine's request timeout fails it
//                                       ("-3", "timeout")
//   selector = "first=" N               the first N requests that reach the rule
//            | "every=" N               every N-th request that reaches the rule
//            | "p=" P                   each request with probability P (0 to 1)
//            (none: every request)
//
// Numbers are decimal integers, milliseconds at most 3600000 (a probability: a decimal
// fraction). Example:
//   "getToken:error(503,50301,busy)@first=1; *:delay(5,20); startClass:drop"
//
// Rules are tried in the order given. A rule counts the requests that reach it and match its
// target; the first rule that selects a request applies, and later rules do not see it. Every
// random choice (probability selection, delay within a range, reorder shuffle) comes from the
// simulator's one PRNG, seeded explicitly, so a run is reproducible for a given seed and order
// of requests. Error, fail and drop stand for a request the adaptor never served: its state is
// left as it was. Garbage, delay and reorder are applied to the answer of a served request.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "rtc_sim/export.h"

namespace rtc_sim {

enum class FaultKind { kError, kGarbage, kFail, kDelay, kReorder, kDrop };

enum class Selection { kAlways, kFirst, kEvery, kProbability };

struct FaultRule {
  std::string uri = "*";  // a full adaptor URI, or "*"
  FaultKind kind = FaultKind::kError;

  Selection selection = Selection::kAlways;
  uint32_t n = 0;            // kFirst, kEvery
  double probability = 1.0;  // kProbability

  // kError
  int32_t status = 500;
  std::string error_code;  // empty: `status` in decimal
  std::string reason = "injected error";
  // kFail: a framework error code (-1 to -16)
  int32_t fail_code = -4;
  // kDelay: uniform in [delay_min, delay_max]
  std::chrono::milliseconds delay_min{0};
  std::chrono::milliseconds delay_max{0};
  // kReorder
  uint32_t window = 3;
  std::chrono::milliseconds hold{100};
};

// Parses FAULT RULES text into rules (appended to `rules`). On a malformed rule returns false,
// leaves `rules` as it was and sets `error` to one line naming the problem:
//   bad fault rule "<rule>": <problem>
// where <problem> is one of
//   missing ":" | unknown URI "<target>" | unknown action "<word>" | bad number "<text>"
//   | unclosed "(" | unexpected "<text>" | unknown selector "<text>"
//   | probability "<text>" is not between 0 and 1 | "<action>" takes <arguments it takes>
// A text without any rule gives `bad fault rule "<text>": no rule`.
RTC_SIM_EXPORT bool ParseFaultRules(const std::string& faults, std::vector<FaultRule>* rules,
                                    std::string* error);

// The rule in text form, all parts written out:
// "/r/Adaptor/RtcMlink/getToken:error(503,503,busy)@first=1".
RTC_SIM_EXPORT std::string FaultText(const FaultRule& rule);
// The action alone, as the simulator reports an applied fault (Exchange::fault): "drop",
// "error(503,503,busy)", "delay(5,20)".
RTC_SIM_EXPORT std::string FaultActionText(const FaultRule& rule);

}  // namespace rtc_sim
