// The class-scene adaptor client end to end through the engine stand-in: exact request bytes,
// decoded answers, the range rules of the detail fields, and failures.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/network_fixture.h"
#include "support/network_operations.h"

namespace network_test {
namespace {

using vanta::sceneclass::CreateClassReq;
using vanta::sceneclass::CreateClassRsp;

class ClassSceneTest : public NetworkTest {
 protected:
  std::shared_ptr<Calls> Send(const SceneOp& op, bool object_form) {
    auto manager = SceneManager();
    auto calls = std::make_shared<Calls>();
    EXPECT_TRUE(manager);
    if (!manager) return calls;
    object_form ? op.send_object(*manager, calls) : op.send(*manager, calls);
    EXPECT_TRUE(calls->WaitFor(1));
    EXPECT_TRUE(nexo_standin::WaitUntilIdle(5s));
    return calls;
  }

  // Sends CreateClass with empty strings, answered with `body`.
  std::shared_ptr<Calls> CreateClassAnsweredWith(const std::string& body) {
    AnswerWith(200, body);
    auto calls = std::make_shared<Calls>();
    SceneManager()->CreateClass(CreateClassReq(), calls->OnSuccess<CreateClassRsp>(calls),
                                calls->OnFailure(calls));
    EXPECT_EQ(calls->total(), 1);
    return calls;
  }
};

TEST_F(ClassSceneTest, EveryOperationPutsExactBytesOnTheWireAndDecodesTheAnswer) {
  for (bool engine_threads : {false, true}) {
    nexo_standin::SetSynchronousDelivery(!engine_threads);
    for (const auto& op : SceneOperations()) {
      for (bool object_form : {false, true}) {
        SCOPED_TRACE(op.name + (object_form ? " (object)" : "") +
                     (engine_threads ? " (engine threads)" : ""));
        nexo_standin::ClearSentRequests();
        AnswerWith(200, op.response_body);
        auto calls = Send(op, object_form);
        const auto sent = nexo_standin::SentRequests();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].uri, op.uri);
        EXPECT_EQ(sent[0].headers, (tessel::mlink::HeaderMap{{"dt", "p"}}));
        EXPECT_EQ(Hex(sent[0].body), Hex(op.request_body));
        ASSERT_EQ(calls->successes(), 1);
        EXPECT_TRUE(op.is_expected_response(calls->last_success()));
        EXPECT_EQ(calls->threads()[0] != std::this_thread::get_id(), engine_threads);
      }
    }
  }
  EXPECT_TRUE(logs.Messages(kSceneManagerFile).empty());
}

TEST_F(ClassSceneTest, CreateClassWithEmptyStringsStillSendsBothKeys) {
  EXPECT_EQ(CreateClassAnsweredWith(Bytes("80"))->successes(), 1);
  const auto sent = nexo_standin::SentRequests();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].uri, "/r/Adaptor/ClassScene/createClass");
  EXPECT_EQ(sent[0].headers, (tessel::mlink::HeaderMap{{"dt", "p"}}));
  EXPECT_EQ(Hex(sent[0].body), Hex(Bytes("82 01 a0 02 a0")));
}

TEST_F(ClassSceneTest, DetailFieldsKeepTheirRanges) {
  const struct {
    const char* what;
    const char* body;
    bool decodes;
    int32_t field5;
    int64_t field6;
    int64_t field7;
  } cases[] = {
      {"key 13 alone", "81 0d a4 'last'", true, 0, 0, 0},
      {"key 5 at the top of 32 bits", "81 05 ce 7f ff ff ff", true, 2147483647, 0, 0},
      {"key 5 at the bottom of 32 bits", "81 05 d2 80 00 00 00", true, -2147483647 - 1, 0, 0},
      {"key 5 one past 32 bits, unsigned", "81 05 ce 80 00 00 00", false, 0, 0, 0},
      {"key 5 as a 64-bit value", "81 05 cf 00 00 00 01 00 00 00 00", false, 0, 0, 0},
      {"key 5 below 32 bits", "81 05 d3 ff ff ff ff 7f ff ff ff", false, 0, 0, 0},
      {"keys 6 and 7 beyond 32 bits",
       "82 06 cf 00 00 00 01 00 00 00 00 07 d3 ff ff ff ff 7f ff ff ff", true, 0, 4294967296,
       -2147483649LL},
      {"key 6 at 2^63", "81 06 cf 80 00 00 00 00 00 00 00", false, 0, 0, 0},
      {"key 5 as a float", "81 05 ca 3f 80 00 00", false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    logs.Clear();
    auto calls = CreateClassAnsweredWith(Bytes(c.body));
    if (c.decodes) {
      ASSERT_EQ(calls->successes(), 1);
      CreateClassRsp expected;
      expected.field5 = c.field5;
      expected.field6 = c.field6;
      expected.field7 = c.field7;
      EXPECT_TRUE(std::any_cast<CreateClassRsp>(calls->last_success()) == expected);
      EXPECT_TRUE(logs.Lines().empty());
    } else {
      ASSERT_EQ(calls->failures().size(), 1u);
      ExpectDecodeFailure(calls->failures()[0]);
      EXPECT_EQ(logs.Messages(kSceneManagerFile),
                std::vector<std::string>{"CreateClass failed, error code: -11 reason:"});
    }
  }
}

TEST_F(ClassSceneTest, UndecodableStartAndStopAnswersFailAfterTheFailureLine) {
  using namespace vanta::sceneclass;
  // Lines and callbacks in the one order they happened.
  std::mutex mutex;
  std::vector<std::string> order;
  auto note = [&](const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex);
    order.push_back(what);
  };
  logs.SetObserver([&](const LogLine& l) { note(l.message); });
  auto on_failure = [&](const NexoError& e) {
    note("failure " + std::to_string(e.code) + " " + e.developer_message + " " + e.scope);
  };
  auto manager = SceneManager();
  const struct {
    const char* op;
    std::function<void()> send;
  } ops[] = {
      {"StartClass",
       [&] {
         manager->StartClass(
             StartClassReq(), [&](const StartClassRsp&) { note("success"); }, on_failure);
       }},
      {"StopClass",
       [&] {
         manager->StopClass(
             StopClassReq(), [&](const StopClassRsp&) { note("success"); }, on_failure);
       }},
  };
  // Empty, the reserved byte, a text, a bin value under an unknown key (cannot be skipped),
  // and a map whose one entry is missing.
  const char* bodies[] = {"", "c1", "a1 'x'", "81 01 c4 01 00", "81"};
  for (const auto& op : ops) {
    for (const char* body : bodies) {
      SCOPED_TRACE(std::string(op.op) + " answered with " + body);
      AnswerWith(200, Bytes(body));
      {
        std::lock_guard<std::mutex> lock(mutex);
        order.clear();
      }
      op.send();
      std::lock_guard<std::mutex> lock(mutex);
      EXPECT_EQ(order,
                (std::vector<std::string>{std::string(op.op) + " failed, error code: -11 reason:",
                                          "failure -11 unpackb_exception AppNet"}));
    }
  }
  logs.SetObserver(nullptr);
}

TEST_F(ClassSceneTest, AdaptorErrorsBecomeNexoErrorsAfterEachOperationsLine) {
  AnswerWith(500, ServerErrorBody());
  for (const auto& op : SceneOperations()) {
    for (bool object_form : {false, true}) {
      SCOPED_TRACE(op.name + (object_form ? " (object)" : ""));
      logs.Clear();
      auto calls = Send(op, object_form);
      ASSERT_EQ(calls->failures().size(), 1u);
      ExpectServerError(calls->failures()[0]);
      const auto lines = logs.Lines();
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_TRUE(std::regex_match(
          lines[0].raw, LinePattern("ERROR", kSceneManagerFile,
                                    op.failure_text + " error code: 4001 reason:bad room")))
          << lines[0].raw;
    }
  }
}

TEST_F(ClassSceneTest, UnansweredRequestTimesOut) {
  nexo_standin::SetRequestTimeout(50ms);
  auto calls = std::make_shared<Calls>();
  SceneOperations()[1].send(*SceneManager(), calls);
  ASSERT_TRUE(calls->WaitFor(1));
  ASSERT_EQ(calls->failures().size(), 1u);
  EXPECT_EQ(calls->failures()[0].code, -3);
  EXPECT_EQ(calls->failures()[0].reason, "timeout");
  EXPECT_EQ(logs.Messages(kSceneManagerFile),
            std::vector<std::string>{"GetClassDetail failed, error code: -3 reason:timeout"});
}

}  // namespace
}  // namespace network_test
