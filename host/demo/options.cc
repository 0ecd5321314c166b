#include "demo/options.h"

#include <cerrno>
#include <cstdlib>

namespace demo {

const char kUsage[] =
    "usage: rtc_demo [options]\n"
    "Runs a room session against the adaptor simulator with the built plug-in and prints what\n"
    "happens, then a summary. Exit status: 0 every step ended as expected, 1 a step did not,\n"
    "2 bad input.\n"
    "\n"
    "  --plugin PATH      the plug-in library to load (default: the one built with the demo)\n"
    "  --script FILE      run the operations in FILE instead of the built-in session\n"
    "                     (language: docs/demo-script.md)\n"
    "  --fault RULES      inject adaptor faults (may be repeated; grammar: docs/demo-script.md)\n"
    "  --seed N           seed of the fault injection (default 1)\n"
    "  --json             one JSON object per event on standard output\n"
    "  --log-level N      show module log lines of severity N and above (default 1; 0 all)\n"
    "  --quiet            print only the summary (and errors)\n"
    "  --trace FILE.html  write the session as an HTML page with a sequence diagram\n"
    "  --record FILE      write the adaptor traffic to FILE (JSON lines)\n"
    "  --replay FILE      answer adaptor requests from a recorded FILE instead of the simulator\n"
    "  --soak SECONDS     run the session again and again for SECONDS, then check that the\n"
    "                     memory in use came back to its level after a warm-up\n"
    "  --help             this text\n";

namespace {

bool ParseInt(const std::string& text, long long min, long long max, long long* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == nullptr || *end != '\0' || value < min || value > max) return false;
  *out = value;
  return true;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error) {
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool has_value = false;
    const size_t eq = name.find('=');
    if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      has_value = true;
    }
    auto take = [&](std::string* out) {
      if (!has_value) {
        if (i + 1 >= args.size()) {
          *error = "option " + name + " needs a value";
          return false;
        }
        value = args[++i];
      }
      *out = value;
      return true;
    };
    auto flag = [&](bool* out) {
      if (has_value) {
        *error = "option " + name + " takes no value";
        return false;
      }
      *out = true;
      return true;
    };
    std::string text;
    long long number = 0;
    if (name == "--plugin") {
      if (!take(&options->plugin)) return false;
    } else if (name == "--script") {
      if (!take(&options->script)) return false;
    } else if (name == "--fault") {
      if (!take(&text)) return false;
      options->faults.push_back(text);
    } else if (name == "--seed") {
      if (!take(&text)) return false;
      if (!ParseInt(text, 0, INT64_MAX, &number)) {
        *error = "--seed wants a non-negative integer, not \"" + text + "\"";
        return false;
      }
      options->seed = static_cast<uint64_t>(number);
    } else if (name == "--log-level") {
      if (!take(&text)) return false;
      if (!ParseInt(text, 0, 3, &number)) {
        *error = "--log-level wants 0, 1, 2 or 3, not \"" + text + "\"";
        return false;
      }
      options->log_level = static_cast<int>(number);
    } else if (name == "--trace") {
      if (!take(&options->trace)) return false;
    } else if (name == "--record") {
      if (!take(&options->record)) return false;
    } else if (name == "--replay") {
      if (!take(&options->replay)) return false;
    } else if (name == "--soak") {
      if (!take(&text)) return false;
      if (!ParseInt(text, 1, 7 * 24 * 3600, &number)) {
        *error = "--soak wants a number of seconds from 1 to 604800, not \"" + text + "\"";
        return false;
      }
      options->soak_seconds = number;
    } else if (name == "--json") {
      if (!flag(&options->json)) return false;
    } else if (name == "--quiet") {
      if (!flag(&options->quiet)) return false;
    } else if (name == "--help" || name == "-h") {
      options->help = true;
    } else {
      *error = "unknown option " + name + " (see --help)";
      return false;
    }
  }
  if (options->soak_seconds > 0 && (!options->trace.empty() || !options->record.empty() ||
                                    !options->replay.empty() || options->json)) {
    *error = "--soak runs quietly: it takes no --trace, --record, --replay or --json";
    return false;
  }
  if (!options->record.empty() && !options->replay.empty()) {
    *error = "--record and --replay cannot be used together";
    return false;
  }
  return true;
}

}  // namespace demo
