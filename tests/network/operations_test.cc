// Every operation of both adaptor clients end to end through the engine stand-in: the request
// on the wire and the answer decoded into the host-facing record in both callback forms; each
// kind of failure as a NexoError after one severity-3 line (every URI's line under an adaptor
// error is the fault table's).
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <thread>

#include "support/network_fixture.h"

namespace network_test {
namespace {

class OperationsTest : public NetworkTest {
 protected:
  // Runs `check(op, send)` for every operation of both clients, where send(calls, object_form)
  // sends the row's request.
  template <typename Check>
  void ForEachOp(Check check) {
    auto rtc = Rtc();
    auto scene = Scene();
    for (const auto& op : RtcOperations()) {
      check(op, [&](const std::shared_ptr<Calls>& c, bool object) { op.send(*rtc, c, object); });
    }
    for (const auto& op : SceneOperations()) {
      check(op, [&](const std::shared_ptr<Calls>& c, bool object) { op.send(*scene, c, object); });
    }
  }
  // The operation `name` of either client, sent in the function form.
  std::string SendByName(const std::string& name, const std::shared_ptr<Calls>& calls) {
    std::string failure_text;
    ForEachOp([&](const auto& op, auto send) {
      if (op.name != name) return;
      send(calls, false);
      failure_text = op.failure_text;
    });
    return failure_text;
  }
};

TEST_F(OperationsTest, EveryOperationPutsItsRequestOnTheWireAndDecodesItsAnswer) {
  for (bool engine_threads : {false, true}) {
    nexo_standin::SetSynchronousDelivery(!engine_threads);
    ForEachOp([&](const auto& op, auto send) {
      for (bool object_form : {false, true}) {
        SCOPED_TRACE(op.name + (object_form ? " (object)" : "") + (engine_threads ? " (t)" : ""));
        nexo_standin::ClearSentRequests();
        AnswerWith(200, op.response_body);
        auto calls = NewCalls();
        send(calls, object_form);
        ASSERT_TRUE(calls->WaitFor(1));
        const auto sent = nexo_standin::SentRequests();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].uri, op.uri);
        EXPECT_EQ(sent[0].user_id, "alice");
        EXPECT_EQ(sent[0].headers, (tessel::mlink::HeaderMap{{"dt", "p"}}));
        if (!op.request_body.empty()) {
          EXPECT_EQ(sent[0].body, op.request_body);
        }
        ASSERT_EQ(calls->successes, 1);
        EXPECT_TRUE(op.is_expected(calls->last_success));
        EXPECT_EQ(calls->threads[0] != std::this_thread::get_id(), engine_threads);
      }
    });
  }
  EXPECT_TRUE(logs.Lines().empty());  // a success writes nothing
}

TEST_F(OperationsTest, EveryKindOfFailureIsReportedWithItsOwnCodeAndTexts) {
  constexpr int kLocal = 0, kUnanswered = -1;
#define UNDECODABLE -11, "", "unpackb_exception", "AppNet", "error code: -11 reason:"
  const struct {
    const char* op;
    int status;
    const char* body;
    int32_t code;
    const char *reason, *developer_message, *scope, *line;  // line: after the failure text
  } cases[] = {
      {"KickMembers", 403, "82 01 a2 '-5' 06 a3 'acl'", -5, "", "", "acl",
       "error code: -5 reason:"},
      {"KickMembers", 500, "82 01 a3 'E12' 02 a4 'nope'", 0, "nope", "", "",
       "error code: E12 reason:nope"},
      {"GetToken", 502, "81 03 a4 'lost'", 0, "", "", "", "error code:  reason:"},
      {"AddMembers", kLocal, "", -6, "no_connect", "socket closed", "mlink",
       "error code: -6 reason:no_connect"},
      {"GetClassDetail", kUnanswered, "", -3, "timeout", "no answer within 50 ms", "mlink",
       "error code: -3 reason:timeout"},
      {"GetToken", 500, "91 01", UNDECODABLE},  // an error body that is no map
      {"AddMembers", 500, "", UNDECODABLE},
      {"ShareScreen", 200, "", UNDECODABLE},
      {"StartClass", 200, "c1", UNDECODABLE},  // the reserved byte
      {"StopClass", 200, "a1 'x'", UNDECODABLE},
      {"StopRecord", 200, "81 00 01", UNDECODABLE},       // key 0
      {"StopClass", 200, "81 01 c4 01 00", UNDECODABLE},  // bin under an unknown key
      {"StopClass", 200, "81", UNDECODABLE},              // the map's one entry is missing
      {"KickMembers", 200, "81 01 a1 '2'", UNDECODABLE},
      {"ListConfUser", 200, "81 01 91 82 01 a2 'u1'", UNDECODABLE},
      // 32-bit fields outside their range, 64-bit ones beyond signed.
      {"ListConfUser", 200, "81 03 ce 80 00 00 00", UNDECODABLE},
      {"CreateClass", 200, "81 05 cf 00 00 00 01 00 00 00 00", UNDECODABLE},
      {"CreateClass", 200, "81 05 d3 ff ff ff ff 7f ff ff ff", UNDECODABLE},
      {"CreateClass", 200, "81 06 cf 80 00 00 00 00 00 00 00", UNDECODABLE},
      {"CreateClass", 200, "81 05 ca 3f 80 00 00", UNDECODABLE},
  };
#undef UNDECODABLE
  tessel::base::ErrorResult local(-6, "-6", "no_connect");
  local.set_scope("mlink");
  local.set_developer_message("socket closed");
  local.set_more_info("retry later");
  local.set_local_error(true);
  nexo_standin::SetRequestTimeout(50ms);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.op) + " " + c.body);
    if (c.status == kLocal) nexo_standin::SetTransport(nexo_standin::FailWith(local));
    if (c.status == kUnanswered) nexo_standin::SetTransport(nullptr);
    if (c.status > 0) AnswerWith(c.status, Bytes(c.body));
    logs.Clear();
    auto calls = NewCalls();
    const std::string failure_text = SendByName(c.op, calls);
    ASSERT_TRUE(calls->WaitFor(1));
    ASSERT_EQ(calls->failures.size(), 1u);
    const NexoError& e = calls->failures[0];
    EXPECT_EQ(e.domain, 1);
    EXPECT_EQ(e.code, c.code);
    EXPECT_EQ(e.reason, c.reason);
    EXPECT_EQ(e.developer_message, c.developer_message);
    EXPECT_EQ(e.more_info, c.status == kLocal ? "retry later" : "");
    EXPECT_EQ(e.scope, c.scope);
    EXPECT_EQ(calls->lines_before[0], 1u);
    EXPECT_EQ(logs.Messages(), std::vector<std::string>{failure_text + " " + c.line});
  }
}

TEST_F(OperationsTest, ClassDetailNumbersDecodeUpToTheEdgesOfTheirRanges) {
  const struct {
    const char* body;
    int32_t field5;
    int64_t field6, field7;
  } cases[] = {
      {"81 0d a4 'last'", 0, 0, 0},
      {"81 05 ce 7f ff ff ff", INT_MAX, 0, 0},
      {"81 05 d2 80 00 00 00", INT_MIN, 0, 0},
      {"82 06 cf 7f ff ff ff ff ff ff ff 07 d3 80 00 00 00 00 00 00 00", 0, LLONG_MAX, LLONG_MIN},
  };
  for (const auto& c : cases) {
    AnswerWith(200, Bytes(c.body));
    auto calls = NewCalls();
    vanta::sceneclass::CreateClassRsp expected;
    expected.field5 = c.field5;
    expected.field6 = c.field6;
    expected.field7 = c.field7;
    Scene()->CreateClass(
        {}, [&](const auto& rsp) { EXPECT_TRUE(rsp == expected) << c.body; },
        [&](const NexoError& e) { ADD_FAILURE() << c.body << " " << e.code; });
  }
}

}  // namespace
}  // namespace network_test
