#include "demo/script.h"

#include <cstdlib>
#include <set>

namespace demo {

const char kBuiltinSession[] =
    R"(# The built-in session: a teacher (alice) holds a class in room r1 with one student (bob).
room r1 alice "Physics 101"
signin alice
signin bob
alice join
alice add bob
bob join
bob apply
alice list-applicants
alice approve bob
alice record-start
alice record-stop
alice share-start
alice share-stop
alice layout 1 alice bob
alice mute-all
alice mute bob
alice detail
alice push-live
alice class-create "Optics"
alice class-start
alice class-stop
alice class-detail
alice kick bob
alice leave destroy
)";

namespace {

struct OpInfo {
  const char* name;
  int min_args;
  int max_args;
  const char* host;
  const char* adaptor;
};

const OpInfo kOps[] = {
#define DEMO_OP_INFO(id, name, min, max, args, host, adaptor, what) {name, min, max, host, adaptor},
    DEMO_OPERATIONS(DEMO_OP_INFO)
#undef DEMO_OP_INFO
};

// Splits a line into words; "double quoted" words may hold blanks, \" and \\.
bool Tokenize(const std::string& line, std::vector<std::string>* words, std::string* problem) {
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if (c == '#') break;
    std::string word;
    if (c == '"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < line.size()) c = line[i++];
        word += c;
      }
      if (!closed) {
        *problem = "unterminated quoted text";
        return false;
      }
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
        word += line[i++];
      }
    }
    words->push_back(word);
  }
  return true;
}

bool IsInt(const std::string& text) {
  if (text.empty() || text.size() > 9) return false;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

// Checks the arguments of an operation; empty when they are fine.
std::string CheckArgs(Op op, const std::vector<std::string>& args,
                      const std::set<std::string>& users) {
  const OpInfo& info = kOps[static_cast<int>(op)];
  if (static_cast<int>(args.size()) < info.min_args ||
      static_cast<int>(args.size()) > info.max_args) {
    return std::string(info.name) + " takes " + std::to_string(info.min_args) +
           (info.min_args == info.max_args ? "" : " to " + std::to_string(info.max_args)) +
           " argument(s), not " + std::to_string(args.size());
  }
  auto word = [&](size_t i, const char* expected) -> std::string {
    if (i < args.size() && args[i] != expected) {
      return std::string(info.name) + ": expected \"" + expected + "\", not \"" + args[i] + "\"";
    }
    return {};
  };
  auto user = [&](size_t i) -> std::string {
    if (users.count(args[i]) == 0) return "unknown user \"" + args[i] + "\" (no signin)";
    return {};
  };
  switch (op) {
    case Op::kLeave:
      return word(0, "destroy");
    case Op::kApply:
    case Op::kMuteAll:
      return word(0, "off");
    case Op::kApprove:
      return !user(0).empty() ? user(0) : word(1, "deny");
    case Op::kMute:
      return !user(0).empty() ? user(0) : word(1, "off");
    case Op::kAdd:
    case Op::kKick:
      for (size_t i = 0; i < args.size(); ++i) {
        if (!user(i).empty()) return user(i);
      }
      return {};
    case Op::kLayout:
      if (!IsInt(args[0])) return "layout wants a number first, not \"" + args[0] + "\"";
      for (size_t i = 1; i < args.size(); ++i) {
        if (!user(i).empty()) return user(i);
      }
      return {};
    case Op::kShareStart:
      for (const std::string& a : args) {
        if (!IsInt(a)) return "share-start wants numbers, not \"" + a + "\"";
      }
      return {};
    default:
      return {};
  }
}

}  // namespace

const char* OpName(Op op) {
  return kOps[static_cast<int>(op)].name;
}
const char* OpHostCall(Op op) {
  return kOps[static_cast<int>(op)].host;
}
const char* OpAdaptor(Op op) {
  return kOps[static_cast<int>(op)].adaptor;
}

bool ParseScript(const std::string& text, const std::string& name, std::vector<Step>* steps,
                 std::string* error) {
  std::set<std::string> users;
  bool have_room = false;
  int line_no = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    ++line_no;
    auto fail = [&](const std::string& problem) {
      *error = name + ":" + std::to_string(line_no) + ": " + problem;
      return false;
    };
    if (line.find('\0') != std::string::npos) return fail("not a text line");
    std::vector<std::string> words;
    std::string problem;
    if (!Tokenize(line, &words, &problem)) return fail(problem);
    if (words.empty()) continue;

    Step step;
    step.line = line_no;
    size_t first = line.find_first_not_of(" \t");
    size_t last = line.find_last_not_of(" \t\r");
    step.source = line.substr(first, last - first + 1);
    const std::string& head = words[0];
    if (head == "room") {
      if (words.size() < 3 || words.size() > 4 || words[1].empty() || words[2].empty()) {
        return fail("room wants ROOM OWNER [TITLE]");
      }
      if (have_room) return fail("the room is already set");
      if (!users.empty()) return fail("room must come before the first signin");
      have_room = true;
      step.directive = Directive::kRoom;
      step.args.assign(words.begin() + 1, words.end());
    } else if (head == "signin") {
      if (words.size() != 2 || words[1].empty()) return fail("signin wants one user name");
      if (!users.insert(words[1]).second) return fail("\"" + words[1] + "\" is already signed in");
      step.directive = Directive::kSignin;
      step.user = words[1];
    } else if (head == "tick") {
      if (words.size() > 2 || (words.size() == 2 && (!IsInt(words[1]) || words[1][0] == '-'))) {
        return fail("tick wants an optional count");
      }
      step.directive = Directive::kTick;
      step.args.push_back(words.size() == 2 ? words[1] : "1");
    } else {
      if (users.count(head) == 0) {
        return fail("\"" + head + "\" is neither a directive nor a signed-in user");
      }
      if (words.size() < 2) return fail("an operation is missing after \"" + head + "\"");
      step.user = head;
      bool known = false;
      for (size_t i = 0; i < sizeof(kOps) / sizeof(kOps[0]); ++i) {
        if (words[1] == kOps[i].name) {
          step.op = static_cast<Op>(i);
          known = true;
        }
      }
      if (!known) return fail("unknown operation \"" + words[1] + "\"");
      std::vector<std::string> args(words.begin() + 2, words.end());
      if (args.size() >= 2 && args[args.size() - 2] == "expect") {
        const std::string& what = args.back();
        if (what == "ok") {
          step.expect = Expect::kOk;
        } else if (what == "fail") {
          step.expect = Expect::kFail;
        } else if (what == "none") {
          step.expect = Expect::kNone;
        } else {
          return fail("expect wants ok, fail or none, not \"" + what + "\"");
        }
        args.resize(args.size() - 2);
      }
      problem = CheckArgs(step.op, args, users);
      if (!problem.empty()) return fail(problem);
      step.args = std::move(args);
    }
    steps->push_back(std::move(step));
  }
  if (users.empty()) {
    *error = name + ": no signin: a script needs at least one user";
    return false;
  }
  return true;
}

}  // namespace demo
