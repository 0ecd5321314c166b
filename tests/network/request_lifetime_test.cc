// What outlives what while a request is in flight: the manager, the account's module, the
// caller's callback object; and what a request with no one to answer to still does.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/network_fixture.h"
#include "support/network_operations.h"
#include "tessel/base/error_result.h"

namespace network_test {
namespace {

using tessel::base::ErrorResult;

enum class Answer { kSuccess, kServerError, kLocalFailure };

void AnswerHeld(nexo_standin::PendingRequest& request, Answer answer, const std::string& body) {
  nexo_standin::Response response;
  switch (answer) {
    case Answer::kSuccess:
      response.body = body;
      EXPECT_TRUE(request.Respond(response));
      break;
    case Answer::kServerError:
      response.code = 500;
      response.body = ServerErrorBody();
      EXPECT_TRUE(request.Respond(response));
      break;
    case Answer::kLocalFailure:
      EXPECT_TRUE(request.Fail(ErrorResult(-4, "-4", "network_broken_error")));
      break;
  }
}

class RequestLifetimeTest : public NetworkTest {
 protected:
  // Sends `op` through `manager`, lets go of the manager and releases the account (so the
  // module, the only other owner, goes too), then answers: nothing may reach the caller.
  template <typename Manager>
  void AnswerAfterManagerIsGone(std::shared_ptr<Manager> manager, const Operation<Manager>& op,
                                const char* manager_file) {
    for (Answer answer : {Answer::kSuccess, Answer::kServerError, Answer::kLocalFailure}) {
      SCOPED_TRACE(static_cast<int>(answer));
      if (!manager) {
        nexo_standin::AddAccount(user);
        ASSERT_TRUE(nexo_standin::InitAccount(user));
        manager = Reacquire<Manager>();
      }
      held.clear();
      HoldRequests();
      auto calls = std::make_shared<Calls>();
      op.send(*manager, calls);
      std::weak_ptr<Manager> weak = manager;
      manager.reset();
      nexo_standin::ReleaseAccount(user);
      ASSERT_TRUE(weak.expired());
      ASSERT_EQ(Held().size(), 1u);

      logs.Clear();
      AnswerHeld(*Held()[0], answer, op.response_body);
      EXPECT_EQ(calls->total(), 0);
      const auto lines = logs.Lines();
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0].file, manager_file);
      EXPECT_EQ(lines[0].severity, 1);
      EXPECT_EQ(lines[0].message, "self is destoryed");
    }
  }

  template <typename Manager>
  std::shared_ptr<Manager> Reacquire();
};

template <>
std::shared_ptr<vanta::rtc::RtcManager> RequestLifetimeTest::Reacquire() {
  return RtcManager();
}
template <>
std::shared_ptr<vanta::sceneclass::SceneclassManager> RequestLifetimeTest::Reacquire() {
  return SceneManager();
}

TEST_F(RequestLifetimeTest, RtcAnswerAfterTheManagerIsGoneIsDropped) {
  AnswerAfterManagerIsGone(RtcManager(), RtcOperations()[0], kRtcManagerFile);
}

TEST_F(RequestLifetimeTest, ClassSceneAnswerAfterTheManagerIsGoneIsDropped) {
  AnswerAfterManagerIsGone(SceneManager(), SceneOperations()[0], kSceneManagerFile);
}

TEST_F(RequestLifetimeTest, AManagerStillHeldGetsItsAnswerAfterRelease) {
  HoldRequests();
  auto rtc = RtcManager();
  auto scene = SceneManager();
  auto calls = std::make_shared<Calls>();
  const auto rtc_op = RtcOperations()[1];
  const auto scene_op = SceneOperations()[0];
  rtc_op.send(*rtc, calls);
  scene_op.send(*scene, calls);
  nexo_standin::ReleaseAccount(user);
  const auto requests = Held();
  ASSERT_EQ(requests.size(), 2u);
  AnswerHeld(*requests[0], Answer::kSuccess, rtc_op.response_body);
  EXPECT_TRUE(rtc_op.is_expected_response(calls->last_success()));
  AnswerHeld(*requests[1], Answer::kSuccess, scene_op.response_body);
  EXPECT_TRUE(scene_op.is_expected_response(calls->last_success()));
  EXPECT_EQ(calls->successes(), 2);
}

TEST_F(RequestLifetimeTest, EmptyCallbackObjectSendsNothing) {
  auto rtc = RtcManager();
  for (const auto& op : RtcOperations()) {
    SCOPED_TRACE(op.name);
    logs.Clear();
    op.send_empty_object(*rtc);
    const auto lines = logs.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].file, kRtcManagerFile);
    EXPECT_EQ(lines[0].severity, 1);
    EXPECT_EQ(lines[0].message, "callback in null");
  }
  logs.Clear();
  auto scene = SceneManager();
  for (const auto& op : SceneOperations()) op.send_empty_object(*scene);
  EXPECT_TRUE(logs.Lines().empty());
  EXPECT_TRUE(nexo_standin::SentRequests().empty());
}

TEST_F(RequestLifetimeTest, WithoutCallbacksTheRequestIsStillSentAndItsFailureLogged) {
  auto rtc = RtcManager();
  auto scene = SceneManager();
  std::vector<std::pair<std::string, std::string>> expected;  // uri, failure text
  for (const auto& op : RtcOperations()) expected.emplace_back(op.uri, op.failure_text);
  for (const auto& op : SceneOperations()) expected.emplace_back(op.uri, op.failure_text);

  for (Answer answer : {Answer::kSuccess, Answer::kServerError}) {
    SCOPED_TRACE(static_cast<int>(answer));
    if (answer == Answer::kSuccess) {
      AnswerWith(200, Bytes("80"));
    } else {
      AnswerWith(500, ServerErrorBody());
    }
    nexo_standin::ClearSentRequests();
    logs.Clear();
    for (const auto& op : RtcOperations()) op.send_without_callbacks(*rtc);
    for (const auto& op : SceneOperations()) op.send_without_callbacks(*scene);

    const auto sent = nexo_standin::SentRequests();
    ASSERT_EQ(sent.size(), expected.size());
    std::vector<std::string> failure_lines;
    for (size_t i = 0; i < sent.size(); ++i) {
      EXPECT_EQ(sent[i].uri, expected[i].first);
      failure_lines.push_back(expected[i].second + " error code: 4001 reason:bad room");
    }
    std::vector<std::string> lines;
    for (const auto& l : logs.Lines()) lines.push_back(l.message);
    EXPECT_EQ(lines, answer == Answer::kSuccess ? std::vector<std::string>{} : failure_lines);
  }
}

TEST_F(RequestLifetimeTest, CallbackObjectLivesUntilItsAnswerAndNoLonger) {
  HoldRequests();
  auto rtc = RtcManager();
  auto scene = SceneManager();
  auto calls = std::make_shared<Calls>();
  auto rtc_callback = std::make_shared<RecordingCallback<vanta::rtc::ListConfUserRsp>>(calls);
  auto scene_callback = std::make_shared<RecordingCallback<vanta::sceneclass::StopClassRsp>>(calls);
  std::weak_ptr<void> rtc_weak = rtc_callback, scene_weak = scene_callback;
  rtc->ListConfUser(vanta::rtc::ListConfUserReq(), std::move(rtc_callback));
  scene->StopClass(vanta::sceneclass::StopClassReq(), std::move(scene_callback));
  EXPECT_FALSE(rtc_weak.expired());
  EXPECT_FALSE(scene_weak.expired());

  const auto requests = Held();
  ASSERT_EQ(requests.size(), 2u);
  AnswerHeld(*requests[0], Answer::kServerError, "");
  AnswerHeld(*requests[1], Answer::kLocalFailure, "");
  ASSERT_EQ(calls->failures().size(), 2u);
  EXPECT_EQ(calls->failures()[1].code, -4);
  EXPECT_EQ(calls->failures()[1].reason, "network_broken_error");
  EXPECT_TRUE(rtc_weak.expired());
  EXPECT_TRUE(scene_weak.expired());
}

TEST_F(RequestLifetimeTest, CallbackObjectOfADroppedRequestIsReleasedAtOnce) {
  auto rtc = RtcManager();
  nexo_standin::ReleaseAccount(user);
  auto callback =
      std::make_shared<RecordingCallback<vanta::rtc::GetTokenRsp>>(std::make_shared<Calls>());
  std::weak_ptr<void> weak = callback;
  rtc->GetToken(vanta::rtc::GetTokenReq(), std::move(callback));
  EXPECT_TRUE(weak.expired());
}

}  // namespace
}  // namespace network_test
