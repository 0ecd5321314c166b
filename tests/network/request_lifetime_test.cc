// What outlives what while a request is in flight: the manager, the account's module, the
// caller's callback object; and what a request with no one to answer to still does.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/network_fixture.h"

namespace network_test {
namespace {

enum class Answer { kSuccess, kServerError, kLocalFailure };

void AnswerHeld(nexo_standin::PendingRequest& request, Answer answer, const std::string& body) {
  if (answer == Answer::kLocalFailure) {
    EXPECT_TRUE(request.Fail(tessel::base::ErrorResult(-4, "-4", "network_broken_error")));
  } else if (answer == Answer::kServerError) {
    EXPECT_TRUE(request.Respond({500, ServerErrorBody(), {}}));
  } else {
    EXPECT_TRUE(request.Respond({200, body, {}}));
  }
}

using RequestLifetimeTest = NetworkTest;

// Sends, lets go of the manager and releases the account (so the module, the only other
// owner, goes too), then answers: nothing may reach the caller.
TEST_F(RequestLifetimeTest, AnswerAfterTheManagerIsGoneIsDropped) {
  for (bool rtc : {true, false}) {
    for (Answer answer : {Answer::kSuccess, Answer::kServerError, Answer::kLocalFailure}) {
      SCOPED_TRACE(std::to_string(rtc) + " " + std::to_string(static_cast<int>(answer)));
      if (!Rtc()) {
        nexo_standin::AddAccount(user);
        ASSERT_TRUE(nexo_standin::InitAccount(user));
      }
      held.clear();
      HoldRequests();
      auto calls = NewCalls();
      std::weak_ptr<void> weak;
      if (rtc) {
        auto manager = Rtc();
        weak = manager;
        RtcOperations()[0].send(*manager, calls, false);
      } else {
        auto manager = Scene();
        weak = manager;
        SceneOperations()[0].send(*manager, calls, false);
      }
      nexo_standin::ReleaseAccount(user);
      ASSERT_TRUE(weak.expired());
      ASSERT_EQ(held.size(), 1u);
      logs.Clear();
      AnswerHeld(*held[0], answer, "\x80");
      EXPECT_EQ(calls->total(), 0u);
      const auto lines = logs.Lines();
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0].file, rtc ? kRtcManagerFile : kSceneManagerFile);
      EXPECT_EQ(lines[0].severity, 1);
      EXPECT_EQ(lines[0].message, "self is destoryed");
    }
  }
}

// An empty callback object stops the request (RTC with a line, class scene silently); empty
// callback functions do not, and a failure is still logged.
TEST_F(RequestLifetimeTest, EmptyCallbackObjectStopsTheRequestEmptyFunctionsDoNot) {
  auto rtc = Rtc();
  auto scene = Scene();
  for (bool fail : {false, true}) {
    AnswerWith(fail ? 500 : 200, fail ? ServerErrorBody() : Bytes("80"));
    nexo_standin::ClearSentRequests();
    logs.Clear();
    std::vector<std::string> uris, lines;
    auto expect = [&](const auto& op, bool rtc_op) {
      uris.push_back(op.uri);
      if (rtc_op) lines.push_back("INFO callback in null");
      if (fail) lines.push_back("ERROR " + op.failure_text + " error code: 4001 reason:bad room");
    };
    for (const auto& op : RtcOperations()) {
      op.send_empty_object(*rtc);
      op.send_without_callbacks(*rtc);
      expect(op, true);
    }
    for (const auto& op : SceneOperations()) {
      op.send_empty_object(*scene);
      op.send_without_callbacks(*scene);
      expect(op, false);
    }
    std::vector<std::string> sent, logged;
    for (const auto& r : nexo_standin::SentRequests()) sent.push_back(r.uri);
    for (const auto& l : logs.Lines()) logged.push_back(l.level + " " + l.message);
    EXPECT_EQ(sent, uris);
    EXPECT_EQ(logged, lines);
  }
}

TEST_F(RequestLifetimeTest, CallbackObjectLivesUntilItsAnswerAndNoLonger) {
  HoldRequests();
  auto calls = NewCalls();
  auto rtc_callback = std::make_shared<RecordingCallback<vanta::rtc::ListConfUserRsp>>(calls);
  auto scene_callback = std::make_shared<RecordingCallback<vanta::sceneclass::StopClassRsp>>(calls);
  std::weak_ptr<void> rtc_weak = rtc_callback, scene_weak = scene_callback;
  Rtc()->ListConfUser({}, std::move(rtc_callback));
  Scene()->StopClass({}, std::move(scene_callback));
  EXPECT_FALSE(rtc_weak.expired() || scene_weak.expired());
  ASSERT_EQ(held.size(), 2u);
  AnswerHeld(*held[0], Answer::kServerError, "");
  AnswerHeld(*held[1], Answer::kLocalFailure, "");
  ASSERT_EQ(calls->failures.size(), 2u);
  ExpectServerError(calls->failures[0]);
  EXPECT_EQ(calls->failures[1].code, -4);
  EXPECT_EQ(calls->failures[1].reason, "network_broken_error");
  EXPECT_TRUE(rtc_weak.expired() && scene_weak.expired());

  // A request dropped for want of a sender lets go of its callback at once.
  auto rtc = Rtc();
  nexo_standin::ReleaseAccount(user);
  auto dropped = std::make_shared<RecordingCallback<vanta::rtc::GetTokenRsp>>(calls);
  std::weak_ptr<void> weak = dropped;
  rtc->GetToken({}, std::move(dropped));
  EXPECT_TRUE(weak.expired());
}

}  // namespace
}  // namespace network_test
