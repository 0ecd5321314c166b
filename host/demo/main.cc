// rtc_demo: runs a room session through the built plug-in against the adaptor simulator and
// prints what happens. See --help and docs/demo-script.md.
#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "demo/events.h"
#include "demo/options.h"
#include "demo/script.h"
#include "demo/session.h"
#include "demo/soak.h"
#include "demo/trace.h"

namespace {

int BadInput(const std::string& problem) {
  std::fprintf(stderr, "rtc_demo: %s\n", problem.c_str());
  return 2;
}

bool ReadFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return false;
  *text = buffer.str();
  return true;
}

int Run(int argc, char** argv) {
  demo::Options options;
  options.plugin = RTC_DEMO_PLUGIN_PATH;
  std::string error;
  if (!demo::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
    return BadInput(error);
  }
  if (options.help) {
    std::fputs(demo::kUsage, stdout);
    return 0;
  }
  std::string text = demo::kBuiltinSession;
  std::string name = "built-in session";
  if (!options.script.empty()) {
    name = options.script;
    if (!ReadFile(options.script, &text)) return BadInput(options.script + ": cannot read");
  }
  std::vector<demo::Step> steps;
  if (!demo::ParseScript(text, name, &steps, &error)) return BadInput(error);
  if (options.soak_seconds > 0) return demo::RunSoak(options, steps, stdout);
  std::FILE* trace = nullptr;
  if (!options.trace.empty()) {
    trace = std::fopen(options.trace.c_str(), "wb");
    if (trace == nullptr) return BadInput(options.trace + ": cannot open for writing");
  }

  demo::EventLog log(options.json ? demo::Format::kJson : demo::Format::kText, options.quiet,
                     stdout);
  demo::SessionResult result = demo::RunSession(options, steps, log);
  if (!result.setup_ok) {
    if (trace != nullptr) std::fclose(trace);
    return BadInput(result.error);
  }
  if (trace != nullptr) {
    const std::string page = demo::TracePage("rtc_demo: " + name, log.events(), log.verdicts());
    const bool written = std::fwrite(page.data(), 1, page.size(), trace) == page.size();
    if (std::fclose(trace) != 0 || !written) {
      return BadInput(options.trace + ": cannot write");
    }
  }
  if (options.json) {
    log.PrintRaw(result.summary_json);
  } else {
    log.PrintRaw("\n" + result.summary);
  }
  for (const std::string& complaint : result.complaints) {
    std::fprintf(stderr, "rtc_demo: %s\n", complaint.c_str());
  }
  return result.unexpected == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "rtc_demo: internal error: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "rtc_demo: internal error\n");
  }
  return 1;
}
