// Every RTC adaptor operation end to end through the engine stand-in: the request on the wire
// (URI, "dt" header, exact body bytes) and the answer decoded into the host-facing record, in
// both the function form and the callback-object form.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "support/network_fixture.h"
#include "support/network_operations.h"

namespace network_test {
namespace {

class RtcOperationsTest : public NetworkTest {
 protected:
  // Sends `op` through `send`, answered at once with the row's response body, and checks what
  // went out and what came back. Returns the calls for further checks.
  std::shared_ptr<Calls> RunRow(const RtcOp& op, bool object_form) {
    nexo_standin::ClearSentRequests();
    AnswerWith(200, op.response_body);
    auto manager = RtcManager();
    EXPECT_TRUE(manager);
    auto calls = std::make_shared<Calls>();
    if (!manager) return calls;
    if (object_form) {
      op.send_object(*manager, calls);
    } else {
      op.send(*manager, calls);
    }
    EXPECT_TRUE(calls->WaitFor(1));
    EXPECT_TRUE(nexo_standin::WaitUntilIdle(5s));

    const auto sent = nexo_standin::SentRequests();
    EXPECT_EQ(sent.size(), 1u);
    if (sent.size() == 1) {
      EXPECT_EQ(sent[0].uri, op.uri);
      EXPECT_EQ(sent[0].user_id, user.user_id);
      // "dt" = "p" and nothing else.
      EXPECT_EQ(sent[0].headers, (tessel::mlink::HeaderMap{{"dt", "p"}}));
      EXPECT_EQ(Hex(sent[0].body), Hex(op.request_body));
    }
    EXPECT_EQ(calls->successes(), 1);
    EXPECT_TRUE(calls->failures().empty());
    EXPECT_TRUE(op.is_expected_response(calls->last_success()))
        << "answer " << Hex(op.response_body) << " decoded into another record";
    return calls;
  }
};

TEST_F(RtcOperationsTest, FunctionFormPutsExactBytesOnTheWireAndDecodesTheAnswer) {
  const auto ops = RtcOperations();
  ASSERT_EQ(ops.size(), 21u);
  for (const auto& op : ops) {
    SCOPED_TRACE(op.name);
    auto calls = RunRow(op, false);
    // Synchronous delivery of an inline answer: the callback runs inside the call.
    for (auto id : calls->threads()) EXPECT_EQ(id, std::this_thread::get_id());
  }
  // A success is not a failure: the manager writes nothing on the way back.
  EXPECT_TRUE(logs.Messages(kRtcManagerFile).empty());
}

TEST_F(RtcOperationsTest, CallbackObjectFormBehavesLikeTheFunctionForm) {
  for (const auto& op : RtcOperations()) {
    SCOPED_TRACE(op.name);
    RunRow(op, true);
  }
}

TEST_F(RtcOperationsTest, AnswersDeliveredOnEngineThreadsReachTheCallbackThere) {
  nexo_standin::SetSynchronousDelivery(false);
  for (const auto& op : RtcOperations()) {
    SCOPED_TRACE(op.name);
    for (bool object_form : {false, true}) {
      auto calls = RunRow(op, object_form);
      const auto threads = calls->threads();
      ASSERT_EQ(threads.size(), 1u);
      EXPECT_NE(threads[0], std::this_thread::get_id());
    }
  }
}

}  // namespace
}  // namespace network_test
