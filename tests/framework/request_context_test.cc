// The request context's logger: configured once from the process-wide log registry, forming
// "<name>| <message>" lines for every sink at or above its minimum level.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tessel/mlink/log_registry.h"
#include "tessel/mlink/request_context.h"

namespace {

using tessel::mlink::LoggerConfig;
using tessel::mlink::RequestContext;

struct Line {
  int level;
  int64_t seconds;
  int32_t micros;
  std::string source;
  int line;
  std::string function, text;
};

struct RecordingSink : tessel::mlink::LogSink {
  void Write(int level, int64_t seconds, int32_t micros, const std::string& source, int line,
             const std::string& function, const std::string& text) override {
    lines.push_back({level, seconds, micros, source, line, function, text});
  }
  std::vector<Line> lines;
};

struct FixedRegistry : tessel::mlink::LogRegistry {
  explicit FixedRegistry(LoggerConfig c) : config(std::move(c)) {}
  LoggerConfig GetLoggerConfig(const std::string& name) override {
    asked.push_back(name);
    return config;
  }
  LoggerConfig config;
  std::vector<std::string> asked;
};

class RequestContextLoggerTest : public ::testing::Test {
 protected:
  void TearDown() override { tessel::mlink::SetLogRegistry(nullptr); }
  std::shared_ptr<RecordingSink> Install(int min_level) {
    auto sink = std::make_shared<RecordingSink>();
    registry = std::make_shared<FixedRegistry>(LoggerConfig{"configured", {sink}, min_level});
    tessel::mlink::SetLogRegistry(registry);
    return sink;
  }
  std::shared_ptr<FixedRegistry> registry;
};

int64_t NowMillis() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

TEST_F(RequestContextLoggerTest, AsksForTheMlinkLoggerOncePerContextAndKeepsIt) {
  Install(3);
  const RequestContext first, second;
  EXPECT_EQ(registry->asked, (std::vector<std::string>{"tessel.mlink", "tessel.mlink"}));
  tessel::mlink::SetLogRegistry(nullptr);
  const RequestContext third;
  EXPECT_EQ(first.logger.name(), "configured");
  EXPECT_EQ(first.logger.min_level(), 3);
  EXPECT_EQ(third.logger.name(), "");
  EXPECT_TRUE(third.logger.sinks().empty());
}

TEST_F(RequestContextLoggerTest, LineCarriesNameMessageLocationAndWallClockTime) {
  auto sink = Install(0);
  const RequestContext context;
  const int64_t before = NowMillis();
  context.Log(2, "include/tessel/idl/request_handler", 181, "Handler::OnSuccess", "[idl] ok");
  const int64_t after = NowMillis();
  ASSERT_EQ(sink->lines.size(), 1u);
  const Line& line = sink->lines[0];
  EXPECT_EQ(line.text, "configured| [idl] ok");
  EXPECT_EQ(line.level, 2);
  EXPECT_EQ(line.source, "include/tessel/idl/request_handler");
  EXPECT_EQ(line.line, 181);
  EXPECT_EQ(line.function, "Handler::OnSuccess");
  // Milliseconds resolution, given as microseconds within the second.
  EXPECT_EQ(line.micros % 1000, 0);
  EXPECT_LT(line.micros, 1000000);
  const int64_t stamp = line.seconds * 1000 + line.micros / 1000;
  EXPECT_GE(stamp, before);
  EXPECT_LE(stamp, after);
}

TEST_F(RequestContextLoggerTest, MinimumLevelGatesAndEmptySinkSlotsAreSkipped) {
  for (int min_level : {0, 3, 4, 7}) {
    auto sink = Install(min_level);
    const RequestContext context;
    for (int level : {2, 3, 6}) context.Log(level, "src", 1, "f", "m");
    std::vector<int> logged;
    for (const Line& line : sink->lines) logged.push_back(line.level);
    std::vector<int> expected;
    for (int level : {2, 3, 6}) {
      if (level >= min_level) expected.push_back(level);
    }
    EXPECT_EQ(logged, expected) << "minimum level " << min_level;
  }
  auto first = std::make_shared<RecordingSink>(), second = std::make_shared<RecordingSink>();
  tessel::mlink::Logger(LoggerConfig{"n", {first, nullptr, second}, 0}).Log(6, "s", 9, "f", "");
  ASSERT_EQ(second->lines.size(), 1u);
  EXPECT_EQ(second->lines[0].text, "n| ");
  EXPECT_EQ(first->lines.size(), 1u);
}

}  // namespace
