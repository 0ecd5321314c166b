// The module's log lines: exact text, routing to the handler or the standard error stream,
// filtering before anything is built, and the end of the process at fatal severities.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "basefx/logging.h"
#include "common/log_message.h"

namespace {

using vanta::common::LogMessage;

struct Captured {
  int severity;
  std::string text;
};

class LogMessageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    basefx::SetMinLogSeverity(1);
    basefx::SetLogPrefix("");
    basefx::SetLogMessageHandler([this](int severity, const std::string& text) {
      std::lock_guard<std::mutex> lock(mutex_);
      lines_.push_back({severity, text});
    });
  }
  void TearDown() override {
    basefx::SetLogMessageHandler(nullptr);
    basefx::SetMinLogSeverity(1);
    basefx::SetLogPrefix("");
  }

  std::vector<Captured> Lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }

  std::mutex mutex_;
  std::vector<Captured> lines_;
};

TEST_F(LogMessageTest, ExactText) {
  const struct {
    int severity;
    const char* file;
    const char* prefix;
    const char* tag;
    const char* expected;
  } cases[] = {
      {1, "src/plugins/rtc/rtc_service", "", "",
       "[INFO:src/plugins/rtc/rtc_service(120)] message 7\n"},
      {2, "./src/network/rtc/rtc_module_impl", "", "",
       "[WARNING:src/network/rtc/rtc_module_impl(120)] message 7\n"},
      {3, "../../src/network/sceneclass/class_scene_module_impl", "", "",
       "[ERROR:src/network/sceneclass/class_scene_module_impl(120)] message 7\n"},
      {1, nullptr, "", "", "[INFO:(120)] message 7\n"},
      {1, "", "", "", "[INFO:(120)] message 7\n"},
      {1, "f", "host-7 ", "", "[INFO:f(120)] host-7 message 7\n"},
      {3, "f", "P|", "[tag]", "[ERROR:f(120)] P|[tag]message 7\n"},
      {0, "f", "", "", "[VERBOSE:f(120)] message 7\n"},
  };
  basefx::SetMinLogSeverity(0);
  for (const auto& c : cases) {
    basefx::SetLogPrefix(c.prefix);
    { LogMessage(c.severity, c.file, 120, c.tag).stream() << "message " << 7; }
  }
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), std::size(cases));
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].text, cases[i].expected);
    EXPECT_EQ(lines[i].severity, cases[i].severity);
  }
}

TEST_F(LogMessageTest, MacroUsesTheCallingLineAndStreamsValues) {
  const std::string rtc_id = "conf-1";
  const int line = __LINE__ + 1;
  RTC_LOG(1, "src/plugins/rtc/rtc_service")
      << "JoinRtc success, rtc_id:" << rtc_id << " code:" << -5;
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, "[INFO:src/plugins/rtc/rtc_service(" + std::to_string(line) +
                               ")] JoinRtc success, rtc_id:conf-1 code:-5\n");
}

int g_evaluations = 0;
std::string Evaluated() {
  ++g_evaluations;
  return "evaluated";
}

TEST_F(LogMessageTest, MinimumSeverityDecidesAndFilteredArgumentsAreNotEvaluated) {
  for (int min_severity : {0, 1, 2, 3}) {
    basefx::SetMinLogSeverity(min_severity);
    g_evaluations = 0;
    const size_t before = Lines().size();
    int expected = 0;
    for (int severity = 0; severity <= 3; ++severity) {
      RTC_LOG(severity, "f") << Evaluated();
      if (severity >= min_severity) ++expected;
    }
    EXPECT_EQ(g_evaluations, expected) << "minimum " << min_severity;
    EXPECT_EQ(Lines().size() - before, static_cast<size_t>(expected)) << "minimum " << min_severity;
  }
}

std::string RaiseMinimumTo3() {
  basefx::SetMinLogSeverity(3);
  return "x";
}

TEST_F(LogMessageTest, LineIsDroppedWhenTheMinimumRisesWhileItIsBuilt) {
  RTC_LOG(1, "f") << RaiseMinimumTo3();
  EXPECT_TRUE(Lines().empty());
  RTC_LOG(3, "f") << "kept";
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_EQ(Lines()[0].text, "[ERROR:f(" + std::to_string(__LINE__ - 2) + ")] kept\n");
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
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  basefx::SetLogMessageHandler(nullptr);
  EXPECT_DEATH({ RTC_LOG(4, "src/x") << "cannot go on"; },
               "\\[FATAL:src/x\\([0-9]+\\)\\] cannot go on");
  EXPECT_DEATH({ RTC_LOG(5, "src/x") << "worse"; }, "\\[FATAL:src/x\\([0-9]+\\)\\] worse");
}

TEST_F(LogMessageDeathTest, FatalSeverityAbortsAfterTheHandler) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        basefx::SetLogMessageHandler([](int severity, const std::string& text) {
          fprintf(stderr, "handler got %d: %s", severity, text.c_str());
        });
        RTC_LOG(4, "f") << "bye";
      },
      "handler got 4: \\[FATAL:f\\([0-9]+\\)\\] bye");
}

TEST_F(LogMessageDeathTest, FatalLineThatIsFilteredIsNeverBuilt) {
  basefx::SetMinLogSeverity(5);
  RTC_LOG(4, "f") << "filtered";
  EXPECT_TRUE(Lines().empty());  // still alive
}

}  // namespace
