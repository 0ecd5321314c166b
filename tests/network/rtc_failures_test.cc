// How failed RTC requests reach the caller: the adaptor's error body, local failures, answers
// that do not decode and requests that time out, each as a NexoError after one severity-3 line.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <thread>

#include "support/network_fixture.h"
#include "support/network_operations.h"
#include "tessel/base/error_result.h"

namespace network_test {
namespace {

using tessel::base::ErrorResult;

class RtcFailuresTest : public NetworkTest {
 protected:
  static RtcOp Op(const std::string& name) {
    for (auto& op : RtcOperations()) {
      if (op.name == name) return op;
    }
    ADD_FAILURE() << "no operation " << name;
    return RtcOp();
  }

  // The lines the manager wrote.
  std::vector<LogLine> ManagerLines() {
    std::vector<LogLine> out;
    for (auto& l : logs.Lines()) {
      if (l.file == kRtcManagerFile) out.push_back(l);
    }
    return out;
  }
};

TEST_F(RtcFailuresTest, AdaptorErrorBodyBecomesNexoErrorAfterTheFailureLine) {
  AnswerWith(500, ServerErrorBody());
  auto manager = RtcManager();
  ASSERT_TRUE(manager);
  for (const auto& op : RtcOperations()) {
    for (bool object_form : {false, true}) {
      SCOPED_TRACE(op.name + (object_form ? " (object)" : ""));
      logs.Clear();
      auto calls = std::make_shared<Calls>();
      object_form ? op.send_object(*manager, calls) : op.send(*manager, calls);
      ASSERT_TRUE(calls->WaitFor(1));
      EXPECT_EQ(calls->successes(), 0);
      ASSERT_EQ(calls->failures().size(), 1u);
      ExpectServerError(calls->failures()[0]);

      const auto lines = ManagerLines();
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0].severity, 3);
      EXPECT_TRUE(std::regex_match(
          lines[0].raw, LinePattern("ERROR", kRtcManagerFile,
                                    op.failure_text + " error code: 4001 reason:bad room")))
          << lines[0].raw;
    }
  }
}

TEST_F(RtcFailuresTest, EveryKindOfFailureIsReportedWithItsOwnCodeAndTexts) {
  ErrorResult local(-6, "-6", "no_connect");
  local.set_scope("mlink");
  local.set_developer_message("socket closed");
  local.set_more_info("retry later");
  local.set_local_error(true);

  const struct {
    const char* what;
    const char* op;
    int status;  // 0: a local failure carrying `local`
    const char* body;
    int32_t code;
    const char* reason;
    const char* developer_message;
    const char* more_info;
    const char* scope;
    const char* line;  // after "<failure text> "
  } cases[] = {
      {"numeric code with an empty reason", "KickMembers", 403, "82 01 a2 '-5' 06 a3 'acl'", -5, "",
       "", "", "acl", "error code: -5 reason:"},
      {"code text that is no number", "KickMembers", 500, "82 01 a3 'E12' 02 a4 'nope'", 0, "nope",
       "", "", "", "error code: E12 reason:nope"},
      {"error body with key 3 only", "GetToken", 502, "81 03 a4 'lost'", 0, "", "", "", "",
       "error code:  reason:"},
      {"error body that is no map", "GetToken", 500, "91 01", -11, "", "unpackb_exception", "",
       "AppNet", "error code: -11 reason:"},
      {"error body that is empty", "AddMembers", 500, "", -11, "", "unpackb_exception", "",
       "AppNet", "error code: -11 reason:"},
      {"local failure", "AddMembers", 0, "", -6, "no_connect", "socket closed", "retry later",
       "mlink", "error code: -6 reason:no_connect"},
      {"success with an empty body", "ShareScreen", 200, "", -11, "", "unpackb_exception", "",
       "AppNet", "error code: -11 reason:"},
      {"success with the reserved byte", "ShareScreen", 200, "c1", -11, "", "unpackb_exception", "",
       "AppNet", "error code: -11 reason:"},
      {"success that is an array", "StopRecord", 200, "92 01 02", -11, "", "unpackb_exception", "",
       "AppNet", "error code: -11 reason:"},
      {"success with key 0", "StopRecord", 200, "81 00 01", -11, "", "unpackb_exception", "",
       "AppNet", "error code: -11 reason:"},
      {"success with a text where a number belongs", "KickMembers", 200, "81 01 a1 '2'", -11, "",
       "unpackb_exception", "", "AppNet", "error code: -11 reason:"},
      {"success with a 32-bit field beyond its range", "ListConfUser", 200, "81 03 ce 80 00 00 00",
       -11, "", "unpackb_exception", "", "AppNet", "error code: -11 reason:"},
      {"success with a truncated nested member", "ListConfUser", 200, "81 01 91 82 01 a2 'u1'", -11,
       "", "unpackb_exception", "", "AppNet", "error code: -11 reason:"},
  };

  auto manager = RtcManager();
  ASSERT_TRUE(manager);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const RtcOp op = Op(c.op);
    if (c.status == 0) {
      nexo_standin::SetTransport(nexo_standin::FailWith(local));
    } else {
      AnswerWith(c.status, Bytes(c.body));
    }
    logs.Clear();
    auto calls = std::make_shared<Calls>();
    op.send(*manager, calls);
    ASSERT_TRUE(calls->WaitFor(1));
    EXPECT_EQ(calls->successes(), 0);
    ASSERT_EQ(calls->failures().size(), 1u);
    const NexoError e = calls->failures()[0];
    EXPECT_EQ(e.domain, 1);
    EXPECT_EQ(e.code, c.code);
    EXPECT_EQ(e.reason, c.reason);
    EXPECT_EQ(e.developer_message, c.developer_message);
    EXPECT_EQ(e.more_info, c.more_info);
    EXPECT_EQ(e.scope, c.scope);

    const auto lines = ManagerLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, "ERROR");
    EXPECT_EQ(lines[0].message, op.failure_text + " " + c.line);
  }
}

TEST_F(RtcFailuresTest, UnansweredRequestTimesOutWithCodeMinusThree) {
  nexo_standin::SetRequestTimeout(50ms);
  nexo_standin::SetTransport(nullptr);
  auto manager = RtcManager();
  ASSERT_TRUE(manager);
  auto calls = std::make_shared<Calls>();
  Op("GetToken").send(*manager, calls);
  ASSERT_TRUE(calls->WaitFor(1));
  ASSERT_EQ(calls->failures().size(), 1u);
  const NexoError e = calls->failures()[0];
  EXPECT_EQ(e.domain, 1);
  EXPECT_EQ(e.code, -3);
  EXPECT_EQ(e.reason, "timeout");
  EXPECT_NE(calls->threads()[0], std::this_thread::get_id());
  EXPECT_EQ(logs.Messages(kRtcManagerFile),
            std::vector<std::string>{"GetToken failed, error code: -3 reason:timeout"});
}

}  // namespace
}  // namespace network_test
