// The reference host's own logic: how its responders answer (inside the call, from the reply
// thread, held and later released or dropped) and its reply thread's lifetime.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "reference/recording_callback.h"
#include "reference/reference_host.h"

namespace {

using refhost::Delivery;
using vanta::nexo::NexoError;
using vanta::room::CreateRtcRsp;

NexoError Error(int32_t code, const std::string& reason) {
  NexoError error;
  error.code = code;
  error.reason = reason;
  return error;
}

struct AnswerCase {
  const char* name;
  bool fail;
  Delivery delivery;
};

class RoomManagerAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(RoomManagerAnswers, ReachExactlyOneCallbackOnTheConfiguredThread) {
  const AnswerCase& c = GetParam();
  refhost::ReferenceRoomManager manager;
  if (c.fail) manager.create_rtc().FailWith(Error(-7, "room is closed"), c.delivery);
  if (!c.fail) manager.create_rtc().SucceedWith(CreateRtcRsp{"rtc-42"}, c.delivery);
  refhost::ResultRecorder<CreateRtcRsp> recorder;
  vanta::meta::RoomManager& base = manager;  // through the host's table, as the module calls it
  base.CreateRtc({"u1", "u1", "title", {}, 0, {}}, recorder.OnSuccess(), recorder.OnFailure());
  const bool sync = c.delivery == Delivery::kSync;
  if (sync) {
    EXPECT_EQ(recorder.count(), 1u) << "a synchronous answer arrives inside the call";
  }
  ASSERT_TRUE(recorder.WaitFor(1));
  manager.reply_thread().WaitIdle();
  auto results = recorder.results();
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].success, !c.fail);
  EXPECT_EQ(results[0].error.code, c.fail ? -7 : 0);
  EXPECT_EQ(std::get<0>(results[0].response).rtc_id, c.fail ? "" : "rtc-42");
  EXPECT_EQ(results[0].thread,
            sync ? std::this_thread::get_id() : manager.reply_thread().thread_id());
  EXPECT_EQ(manager.create_rtc_requests().Snapshot().at(0).title, "title");
  EXPECT_TRUE(manager.unexpected_calls().Snapshot().empty());
}

INSTANTIATE_TEST_SUITE_P(
    All, RoomManagerAnswers,
    ::testing::Values(AnswerCase{"SyncSuccess", false, Delivery::kSync},
                      AnswerCase{"SyncFailure", true, Delivery::kSync},
                      AnswerCase{"ThreadSuccess", false, Delivery::kReplyThread},
                      AnswerCase{"ThreadFailure", true, Delivery::kReplyThread}),
    [](const auto& info) { return std::string(info.param.name); });

// What a held request's callbacks capture stays alive exactly as long as the request is held.
TEST(ReferenceHostResponder, HeldRequestKeepsItsCallbacksUntilReleasedOrDropped) {
  refhost::ReferenceLiveManager manager;
  manager.live_detail().Hold();
  auto context = std::make_shared<int>(1);
  std::weak_ptr<int> watch = context;
  int successes = 0;
  manager.GetLiveDetail(
      "live-1", [context, &successes](const vanta::live::LiveDetail&) { ++successes; },
      [context](const NexoError&) {});
  manager.GetLiveDetail(
      "live-2", [context, &successes](const vanta::live::LiveDetail&) { ++successes; },
      [context](const NexoError&) {});
  context.reset();
  EXPECT_EQ(manager.live_detail().held(), 2u);
  EXPECT_FALSE(watch.expired());

  refhost::Outcome<vanta::live::LiveDetail> answer;
  answer.response.push_url = "rtmp://push";
  manager.live_detail().ReleaseHeld(answer);
  EXPECT_EQ(successes, 2);
  EXPECT_EQ(manager.live_detail().held(), 0u);
  EXPECT_TRUE(watch.expired()) << "released callbacks are not kept";

  auto again = std::make_shared<int>(2);
  watch = again;
  manager.GetLiveDetail(
      "live-3", [again, &successes](const vanta::live::LiveDetail&) { ++successes; }, nullptr);
  again.reset();
  manager.live_detail().DropHeld();
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(successes, 2) << "a dropped request is never answered";
  EXPECT_EQ(manager.live_detail_requests().Snapshot(),
            (std::vector<std::string>{"live-1", "live-2", "live-3"}));
}

TEST(ReferenceHostReplyWorker, RunsTasksInOrderAndFinishesQueuedOnesWhenDestroyed) {
  std::vector<int> order;
  {
    refhost::ReplyWorker worker;
    for (int i = 0; i < 100; ++i) worker.Post([&order, i] { order.push_back(i); });
  }
  ASSERT_EQ(order.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);
}

// A task on the reply thread may drop the last reference to the reply thread's owner (a
// continuation holding the host context, which holds the room manager).
TEST(ReferenceHostReplyWorker, OwnerDestroyedOnItsOwnReplyThread) {
  auto manager = std::make_shared<refhost::ReferenceRoomManager>();
  std::weak_ptr<refhost::ReferenceRoomManager> watch = manager;
  std::promise<void> gate;
  std::atomic<bool> ran{false};
  // Keep the reply thread busy until the test has let go of the manager.
  manager->reply_thread().Post([opened = gate.get_future().share()] { opened.wait(); });
  manager->create_rtc().SucceedWith({"rtc-1"}, Delivery::kReplyThread);
  manager->CreateRtc(
      {}, [keep = manager, &ran](const CreateRtcRsp&) { ran = true; }, nullptr);
  manager.reset();
  EXPECT_FALSE(watch.expired());
  gate.set_value();
  for (int i = 0; i < 500 && !watch.expired(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(ran);
  EXPECT_TRUE(watch.expired());
}

}  // namespace
