// rtc_demo --soak as a person runs it: a short soak ends with every run as expected and the
// memory back to its level; bad soak options are refused with one line and status 2.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct DemoRun {
  int status;
  std::string out;
};

DemoRun Demo(const std::string& args) {
  const std::string out = testing::TempDir() + "rtc_demo_soak_" + std::to_string(::getpid());
  const int raw =
      std::system((std::string(RTC_DEMO_PATH) + " " + args + " >" + out + " 2>&1").c_str());
  std::ifstream in(out);
  std::ostringstream text;
  text << in.rdbuf();
  std::remove(out.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text.str()};
}

TEST(Soak, RunsAgainAndAgainAndMemoryComesBack) {
  const DemoRun run = Demo("--soak 3");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find(" runs of 21 operations in "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(", 0 unexpected outcomes\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("): back to its level\n"), std::string::npos) << run.out;
}

TEST(Soak, BadOptionsAreRefusedWithOneLine) {
  const struct {
    const char* args;
    const char* line;
  } cases[] = {
      {"--soak 0", "rtc_demo: --soak wants a number of seconds from 1 to 604800, not \"0\"\n"},
      {"--soak 2x", "rtc_demo: --soak wants a number of seconds from 1 to 604800, not \"2x\"\n"},
      {"--soak 5 --record r.jsonl",
       "rtc_demo: --soak runs quietly: it takes no --trace, --record, --replay or --json\n"},
  };
  for (const auto& c : cases) {
    const DemoRun run = Demo(c.args);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_EQ(run.out, c.line) << c.args;
  }
}

}  // namespace
