// The module's log lines: exact text, routing to the handler or the standard error stream,
// filtering before anything is built, and the end of the process at fatal severities.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "basefx/logging.h"
#include "common/log_message.h"

namespace {

class LogMessageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    basefx::SetMinLogSeverity(1);
    basefx::SetLogPrefix("");
    basefx::SetLogMessageHandler([this](int severity, const std::string& text) {
      lines.push_back(std::to_string(severity) + text);
    });
  }
  void TearDown() override {
    basefx::SetLogMessageHandler(nullptr);
    basefx::SetMinLogSeverity(1);
    basefx::SetLogPrefix("");
  }
  std::vector<std::string> lines;  // severity, then the text
};

TEST_F(LogMessageTest, ExactText) {
  const struct {
    int severity;
    const char *file, *prefix, *tag, *expected;
  } cases[] = {
      {1, "src/plugins/rtc/rtc_service", "", "", "1[INFO:src/plugins/rtc/rtc_service(120)] m 7\n"},
      {2, "./src/a", "", "", "2[WARNING:src/a(120)] m 7\n"},
      {3, "../../src/a", "", "", "3[ERROR:src/a(120)] m 7\n"},
      {1, nullptr, "", "", "1[INFO:(120)] m 7\n"},
      {3, "f", "P|", "[tag]", "3[ERROR:f(120)] P|[tag]m 7\n"},
      {0, "f", "", "", "0[VERBOSE:f(120)] m 7\n"},
  };
  basefx::SetMinLogSeverity(0);
  std::vector<std::string> expected;
  for (const auto& c : cases) {
    basefx::SetLogPrefix(c.prefix);
    vanta::common::LogMessage(c.severity, c.file, 120, c.tag).stream() << "m " << 7;
    expected.push_back(c.expected);
  }
  EXPECT_EQ(lines, expected);
  const int line = __LINE__ + 1;
  RTC_LOG(1, "src/x") << "rtc_id:" << std::string("c-1") << " code:" << -5;
  EXPECT_EQ(lines.back(), "1[INFO:src/x(" + std::to_string(line) + ")] rtc_id:c-1 code:-5\n");
}

int g_evaluations = 0;
std::string Evaluated() {
  ++g_evaluations;
  return "";
}
std::string RaiseMinimumTo3() {
  basefx::SetMinLogSeverity(3);
  return "";
}

TEST_F(LogMessageTest, FilteredLinesAreNeverBuilt) {
  for (int min_severity : {0, 2, 3}) {
    basefx::SetMinLogSeverity(min_severity);
    g_evaluations = 0;
    lines.clear();
    for (int severity = 0; severity <= 3; ++severity) RTC_LOG(severity, "f") << Evaluated();
    EXPECT_EQ(g_evaluations, 4 - min_severity);
    EXPECT_EQ(lines.size(), static_cast<size_t>(4 - min_severity));
  }
  // The minimum rising while a line is built drops that line.
  basefx::SetMinLogSeverity(1);
  lines.clear();
  RTC_LOG(1, "f") << RaiseMinimumTo3();
  EXPECT_TRUE(lines.empty());
  basefx::SetMinLogSeverity(5);
  RTC_LOG(4, "f") << "filtered fatal";  // still alive
  EXPECT_TRUE(lines.empty());
}

TEST_F(LogMessageTest, WithoutHandlerTheLineGoesToStandardError) {
  basefx::SetLogMessageHandler(nullptr);
  ::testing::internal::CaptureStderr();
  const int line = __LINE__ + 1;
  RTC_LOG(2, "src/x") << "to stderr";
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "[WARNING:src/x(" + std::to_string(line) + ")] to stderr\n");
}

using LogMessageDeathTest = LogMessageTest;

TEST_F(LogMessageDeathTest, FatalSeverityWritesTheLineThenAborts) {
  // Re-executing the test program is the style that stays safe whatever threads run; a run that
  // cannot re-execute it (under an emulator) asks for fork-only death tests in the environment.
  if (std::getenv("GTEST_DEATH_TEST_STYLE") == nullptr) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
  }
  basefx::SetLogMessageHandler(nullptr);
  EXPECT_DEATH({ RTC_LOG(5, "src/x") << "worse"; }, "\\[FATAL:src/x\\([0-9]+\\)\\] worse");
  EXPECT_DEATH(
      {
        basefx::SetLogMessageHandler([](int severity, const std::string& text) {
          fprintf(stderr, "handler got %d: %s", severity, text.c_str());
        });
        RTC_LOG(4, "f") << "bye";
      },
      "handler got 4: \\[FATAL:f\\([0-9]+\\)\\] bye");
}

}  // namespace
