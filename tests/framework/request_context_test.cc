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

using tessel::mlink::Logger;
using tessel::mlink::LoggerConfig;
using tessel::mlink::LogRegistry;
using tessel::mlink::LogSink;
using tessel::mlink::RequestContext;

struct Line {
  int level;
  int64_t seconds;
  int32_t micros;
  std::string source;
  int line;
  std::string function;
  std::string text;
};

class RecordingSink : public LogSink {
 public:
  void Write(int level, int64_t seconds, int32_t micros, const std::string& source, int line,
             const std::string& function, const std::string& text) override {
    lines.push_back({level, seconds, micros, source, line, function, text});
  }
  std::vector<Line> lines;
};

class FixedRegistry : public LogRegistry {
 public:
  explicit FixedRegistry(LoggerConfig config) : config_(std::move(config)) {}
  LoggerConfig GetLoggerConfig(const std::string& name) override {
    asked.push_back(name);
    return config_;
  }
  LoggerConfig config_;
  std::vector<std::string> asked;
};

class RequestContextLoggerTest : public ::testing::Test {
 protected:
  void TearDown() override { tessel::mlink::SetLogRegistry(nullptr); }

  std::shared_ptr<RecordingSink> Install(int min_level, const std::string& name = "tessel.mlink") {
    auto sink = std::make_shared<RecordingSink>();
    registry_ = std::make_shared<FixedRegistry>(LoggerConfig{name, {sink}, min_level});
    tessel::mlink::SetLogRegistry(registry_);
    return sink;
  }

  std::shared_ptr<FixedRegistry> registry_;
};

int64_t NowMillis() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

TEST_F(RequestContextLoggerTest, WithoutRegistryAFreshContextHasTheDefaultState) {
  const RequestContext context;
  EXPECT_EQ(context.logger.name(), "");
  EXPECT_TRUE(context.logger.sinks().empty());
  EXPECT_EQ(context.logger.min_level(), 0);
  EXPECT_FALSE(context.unknown_seen);
  EXPECT_FALSE(context.idl_request);
  EXPECT_FALSE(context.accept_undecodable);
  EXPECT_EQ(context.decode_status, 0);
  EXPECT_EQ(context.error_result.ToString(), "(status=0, scope=, code=, reason=, developMessage=)");
}

TEST_F(RequestContextLoggerTest, AsksTheRegistryForTheMlinkLoggerOncePerContext) {
  Install(3, "configured-name");
  const RequestContext first;
  const RequestContext second;
  EXPECT_EQ(registry_->asked, (std::vector<std::string>{"tessel.mlink", "tessel.mlink"}));
  EXPECT_EQ(first.logger.name(), "configured-name");
  EXPECT_EQ(first.logger.min_level(), 3);
  EXPECT_EQ(first.logger.sinks().size(), 1u);

  // A context keeps what it was given; later contexts see the new registry.
  tessel::mlink::SetLogRegistry(nullptr);
  const RequestContext third;
  EXPECT_EQ(second.logger.name(), "configured-name");
  EXPECT_EQ(third.logger.name(), "");
}

TEST_F(RequestContextLoggerTest, LineCarriesNameMessageLocationAndWallClockTime) {
  auto sink = Install(0);
  const RequestContext context;
  const int64_t before = NowMillis();
  context.Log(2, "include/tessel/idl/request_handler", 181,
              "tessel::mlink::RequestHandler<class rtc::KickMembersRspModel>::OnSuccess",
              "[idl] success, uri=/r/x");
  const int64_t after = NowMillis();

  ASSERT_EQ(sink->lines.size(), 1u);
  const Line& line = sink->lines[0];
  EXPECT_EQ(line.text, "tessel.mlink| [idl] success, uri=/r/x");
  EXPECT_EQ(line.level, 2);
  EXPECT_EQ(line.source, "include/tessel/idl/request_handler");
  EXPECT_EQ(line.line, 181);
  EXPECT_EQ(line.function,
            "tessel::mlink::RequestHandler<class rtc::KickMembersRspModel>::OnSuccess");
  // Milliseconds resolution, given as microseconds within the second.
  EXPECT_EQ(line.micros % 1000, 0);
  EXPECT_GE(line.micros, 0);
  EXPECT_LT(line.micros, 1000000);
  const int64_t stamp = line.seconds * 1000 + line.micros / 1000;
  EXPECT_GE(stamp, before);
  EXPECT_LE(stamp, after);
}

TEST_F(RequestContextLoggerTest, MinimumLevelGatesEachLevel) {
  const int kLevels[] = {2, 3, 6};
  for (int min_level : {0, 2, 3, 4, 6, 7}) {
    auto sink = Install(min_level);
    const RequestContext context;
    for (int level : kLevels) context.Log(level, "src", 1, "f", "m" + std::to_string(level));
    std::vector<int> logged;
    for (const Line& line : sink->lines) logged.push_back(line.level);
    std::vector<int> expected;
    for (int level : kLevels) {
      if (level >= min_level) expected.push_back(level);
    }
    EXPECT_EQ(logged, expected) << "minimum level " << min_level;
  }
}

TEST_F(RequestContextLoggerTest, EverySinkGetsTheLineAndEmptySlotsAreSkipped) {
  auto first = std::make_shared<RecordingSink>();
  auto second = std::make_shared<RecordingSink>();
  const Logger logger(LoggerConfig{"n", {first, nullptr, second}, 0});
  logger.Log(6, "s", 9, "f", "");
  ASSERT_EQ(first->lines.size(), 1u);
  ASSERT_EQ(second->lines.size(), 1u);
  EXPECT_EQ(first->lines[0].text, "n| ");
  EXPECT_EQ(second->lines[0].text, "n| ");
}

}  // namespace
