// The FAULT RULES parser and the text form of rules.
#include "rtc_sim/faults.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "rtc_sim/codec.h"

namespace rtc_sim {
namespace {

std::string Trim(const std::string& s) {
  const size_t begin = s.find_first_not_of(" \t");
  if (begin == std::string::npos) return {};
  const size_t end = s.find_last_not_of(" \t");
  return s.substr(begin, end - begin + 1);
}

std::vector<std::string> Split(const std::string& s, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t at = s.find(separator, start);
    parts.push_back(Trim(s.substr(start, at - start)));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

bool ParseInt(const std::string& text, int64_t lo, int64_t hi, int64_t* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  *out = v;
  return true;
}

constexpr int64_t kMaxMillis = 3600 * 1000;

// Parses one rule; on failure `problem` says why.
bool ParseRule(const std::string& text, FaultRule* rule, std::string* problem) {
  auto bad_number = [problem](const std::string& t) {
    *problem = "bad number \"" + t + "\"";
    return false;
  };
  const size_t colon = text.find(':');
  if (colon == std::string::npos) {
    *problem = "missing \":\"";
    return false;
  }
  const std::string target = Trim(text.substr(0, colon));
  if (target == "*") {
    rule->uri = "*";
  } else {
    rule->uri = ResolveUri(target);
    if (rule->uri.empty()) {
      *problem = "unknown URI \"" + target + "\"";
      return false;
    }
  }

  // action [ "(" args ")" ] [ "@" selector ]
  std::string rest = Trim(text.substr(colon + 1));
  size_t name_end = 0;
  while (name_end < rest.size() && rest[name_end] >= 'a' && rest[name_end] <= 'z') ++name_end;
  const std::string name = rest.substr(0, name_end);
  rest = Trim(rest.substr(name_end));
  std::vector<std::string> args;
  if (!rest.empty() && rest[0] == '(') {
    const size_t close = rest.find(')');
    if (close == std::string::npos) {
      *problem = "unclosed \"(\"";
      return false;
    }
    args = Split(rest.substr(1, close - 1), ',');
    rest = Trim(rest.substr(close + 1));
  }
  std::string selector;
  if (!rest.empty() && rest[0] == '@') {
    selector = Trim(rest.substr(1));
  } else if (!rest.empty()) {
    *problem = "unexpected \"" + rest + "\"";
    return false;
  }

  auto takes = [&](size_t most, const char* what) {
    if (args.size() <= most) return true;
    *problem = "\"" + name + "\" takes " + what;
    return false;
  };
  int64_t v = 0;
  if (name == "error") {
    rule->kind = FaultKind::kError;
    if (!takes(3, "(status), (status,code) or (status,code,reason)")) return false;
    if (!args.empty()) {
      if (!ParseInt(args[0], 100, 999, &v)) return bad_number(args[0]);
      rule->status = static_cast<int32_t>(v);
    }
    if (args.size() > 1) rule->error_code = args[1];
    if (args.size() > 2) rule->reason = args[2];
  } else if (name == "garbage" || name == "drop") {
    rule->kind = name == "drop" ? FaultKind::kDrop : FaultKind::kGarbage;
    if (!takes(0, "no arguments")) return false;
  } else if (name == "fail") {
    rule->kind = FaultKind::kFail;
    if (!takes(1, "no arguments or (code)")) return false;
    if (!args.empty()) {
      if (!ParseInt(args[0], INT32_MIN, INT32_MAX, &v)) return bad_number(args[0]);
      rule->fail_code = static_cast<int32_t>(v);
    }
  } else if (name == "delay") {
    rule->kind = FaultKind::kDelay;
    if (args.empty() || args.size() > 2) {
      *problem = "\"delay\" takes (ms) or (ms,max-ms)";
      return false;
    }
    if (!ParseInt(args[0], 0, kMaxMillis, &v)) return bad_number(args[0]);
    rule->delay_min = rule->delay_max = std::chrono::milliseconds(v);
    if (args.size() > 1) {
      if (!ParseInt(args[1], rule->delay_min.count(), kMaxMillis, &v)) return bad_number(args[1]);
      rule->delay_max = std::chrono::milliseconds(v);
    }
  } else if (name == "reorder") {
    rule->kind = FaultKind::kReorder;
    if (!takes(2, "no arguments, (window) or (window,hold-ms)")) return false;
    if (!args.empty()) {
      if (!ParseInt(args[0], 1, 1000, &v)) return bad_number(args[0]);
      rule->window = static_cast<uint32_t>(v);
    }
    if (args.size() > 1) {
      if (!ParseInt(args[1], 0, kMaxMillis, &v)) return bad_number(args[1]);
      rule->hold = std::chrono::milliseconds(v);
    }
  } else {
    *problem = "unknown action \"" + name + "\"";
    return false;
  }

  if (selector.empty()) return true;
  const size_t eq = selector.find('=');
  const std::string key = Trim(selector.substr(0, eq));
  const std::string value = eq == std::string::npos ? "" : Trim(selector.substr(eq + 1));
  if (eq != std::string::npos && (key == "first" || key == "every")) {
    if (!ParseInt(value, 1, UINT32_MAX, &v)) return bad_number(value);
    rule->selection = key == "first" ? Selection::kFirst : Selection::kEvery;
    rule->n = static_cast<uint32_t>(v);
    return true;
  }
  if (eq != std::string::npos && key == "p") {
    char* end = nullptr;
    const double p = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0') return bad_number(value);
    if (!(p >= 0.0 && p <= 1.0)) {
      *problem = "probability \"" + value + "\" is not between 0 and 1";
      return false;
    }
    rule->selection = Selection::kProbability;
    rule->probability = p;
    return true;
  }
  *problem = "unknown selector \"" + selector + "\"";
  return false;
}

}  // namespace

bool ParseFaultRules(const std::string& faults, std::vector<FaultRule>* rules, std::string* error) {
  std::vector<FaultRule> parsed;
  for (const std::string& text : Split(faults, ';')) {
    if (text.empty()) continue;
    FaultRule rule;
    std::string problem;
    if (!ParseRule(text, &rule, &problem)) {
      *error = "bad fault rule \"" + text + "\": " + problem;
      return false;
    }
    parsed.push_back(std::move(rule));
  }
  if (parsed.empty()) {
    *error = "bad fault rule \"" + faults + "\": no rule";
    return false;
  }
  rules->insert(rules->end(), parsed.begin(), parsed.end());
  return true;
}

std::string FaultActionText(const FaultRule& rule) {
  switch (rule.kind) {
    case FaultKind::kError:
      return "error(" + std::to_string(rule.status) + "," +
             (rule.error_code.empty() ? std::to_string(rule.status) : rule.error_code) + "," +
             rule.reason + ")";
    case FaultKind::kGarbage:
      return "garbage";
    case FaultKind::kFail:
      return "fail(" + std::to_string(rule.fail_code) + ")";
    case FaultKind::kDelay:
      return "delay(" + std::to_string(rule.delay_min.count()) +
             (rule.delay_max > rule.delay_min ? "," + std::to_string(rule.delay_max.count())
                                              : std::string()) +
             ")";
    case FaultKind::kReorder:
      return "reorder(" + std::to_string(rule.window) + "," + std::to_string(rule.hold.count()) +
             ")";
    case FaultKind::kDrop:
      return "drop";
  }
  return {};
}

std::string FaultText(const FaultRule& rule) {
  std::string text = rule.uri + ":" + FaultActionText(rule);
  switch (rule.selection) {
    case Selection::kAlways:
      break;
    case Selection::kFirst:
      text += "@first=" + std::to_string(rule.n);
      break;
    case Selection::kEvery:
      text += "@every=" + std::to_string(rule.n);
      break;
    case Selection::kProbability: {
      // The fewest digits that read back as the same probability.
      char p[32];
      for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(p, sizeof p, "%.*g", precision, rule.probability);
        if (std::strtod(p, nullptr) == rule.probability) break;
      }
      text += "@p=" + std::string(p);
      break;
    }
  }
  return text;
}

}  // namespace rtc_sim
