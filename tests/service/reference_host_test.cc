// The reference host's own logic: how its responders answer (inside the call, from the reply
// thread, held and later released or dropped), its reply thread's lifetime, and its media
// engine's listener handling.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <map>
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
  if (c.fail) {
    manager.create_rtc().FailWith(Error(-7, "room is closed"), c.delivery);
  } else {
    manager.create_rtc().SucceedWith(CreateRtcRsp{"rtc-42"}, c.delivery);
  }
  refhost::ResultRecorder<CreateRtcRsp> recorder;
  vanta::meta::RoomManager& base = manager;  // through the host's table, as the module calls it
  base.CreateRtc({"u1", "u1", "title", {}, 0, {}}, recorder.OnSuccess(), recorder.OnFailure());

  if (c.delivery == Delivery::kSync) {
    EXPECT_EQ(recorder.count(), 1u) << "a synchronous answer arrives inside the call";
  }
  ASSERT_TRUE(recorder.WaitFor(1));
  manager.reply_thread().WaitIdle();
  auto results = recorder.results();
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].success, !c.fail);
  if (c.fail) {
    EXPECT_EQ(results[0].error.code, -7);
    EXPECT_EQ(results[0].error.reason, "room is closed");
  } else {
    EXPECT_EQ(std::get<0>(results[0].response).rtc_id, "rtc-42");
  }
  if (c.delivery == Delivery::kSync) {
    EXPECT_EQ(results[0].thread, std::this_thread::get_id());
  } else {
    EXPECT_NE(results[0].thread, std::this_thread::get_id());
    EXPECT_EQ(results[0].thread, manager.reply_thread().thread_id());
  }
  auto requests = manager.create_rtc_requests().Snapshot();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].title, "title");
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

class ProbeListener : public vanta::meta::RtcMediaEventListener {
 public:
  std::atomic<int> byes{0};
  std::thread::id thread;
  void OnJoinResult(int32_t, int32_t, int32_t) override {}
  void OnUserNotify(const std::string&, int32_t, int32_t) override {}
  void OnForwardedEvent3(int32_t, int32_t) override {}
  void OnNetworkQualityChanged(const std::string&, int32_t, int32_t) override {}
  void OnRtcWarning(int32_t, const std::string&) override {}
  void OnRtcError(int32_t, const std::string&) override {}
  void OnOccurError() override {}
  void OnPerformanceRecovery() override {}
  void OnFirstRemoteVideoFrameDrawn(const std::string&, int32_t, int32_t, int32_t,
                                    int32_t) override {}
  void OnFirstLocalVideoFrameDrawn(int32_t, int32_t, int32_t) override {}
  void OnConnectionLost() override {}
  void OnTryToReconnect() override {}
  void OnConnectionRecovery() override {}
  void OnConnectionStatusChange(int32_t, int32_t) override {}
  void OnPublishLiveStreamStateChanged(const std::string&, int32_t, int32_t) override {}
  void OnPublishTaskStateChanged(const std::string&, int32_t) override {}
  void OnRemoteUserOffLineNotify(const std::string&, int32_t) override {}
  void OnBye(int32_t) override {
    thread = std::this_thread::get_id();
    ++byes;
  }
  void OnStats(const vanta::meta::RtcStats&) override {}
  void OnLocalVideoStats(const vanta::meta::LocalVideoStats&) override {}
  void OnLocalAudioStats(const vanta::meta::LocalAudioStats&) override {}
  void OnRemoteVideoStats(const vanta::meta::RemoteVideoStats&) override {}
  void OnRemoteAudioStats(const vanta::meta::RemoteAudioStats&) override {}
  void OnForwardedEvent24(int32_t, int32_t) override {}
  void OnForwardedEvent25(int32_t, int32_t) override {}
  void OnForwardedEvent26(int32_t) override {}
  void OnScreenShareStateChanged(int32_t, int32_t, int32_t) override {}
};

TEST(ReferenceMediaEngine, RecordsEveryOperationUnderItsSlotNumber) {
  refhost::ReferenceMediaEngine engine;
  vanta::meta::MediaEngine& base = engine;
  for (int op : {8, 9, 27, 28, 29, 31, 32}) engine.SetResult(op, 1000 + op);
  const bool flag = true;
  base.EngineCall1(flag);
  base.EngineCall2();
  base.EngineCall3();
  base.JoinChannel({"t4", "rtc-1", "u1", "tok", "t6", 5, "t3"});
  base.LeaveChannel();
  base.EngineCall6("u6");
  base.EngineCall7("u7");
  EXPECT_EQ(base.EngineCall8(-8), 1008);
  EXPECT_EQ(base.EngineCall9(9), 1009);
  base.SetEventListener(nullptr);
  base.Reserved17();
  EXPECT_EQ(base.EngineCall27(1, 2), 1027);
  EXPECT_EQ(base.StartScreenShareByDesktopId(3, 4), 1028);
  EXPECT_EQ(base.StartScreenShareAlt(5, 6), 1029);
  base.EngineCall30();
  EXPECT_EQ(base.EngineCall31(31), 1031);
  EXPECT_EQ(base.EngineCall32(32), 1032);

  EXPECT_EQ(engine.Ops(),
            (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 27, 28, 29, 30, 31, 32}));
  EXPECT_EQ(engine.unexpected_calls().Snapshot(), std::vector<int>{17});
  EXPECT_TRUE(engine.CallsOf(1)[0].flag);
  EXPECT_EQ(engine.CallsOf(4)[0].join.token, "tok");
  EXPECT_EQ(engine.CallsOf(4)[0].join.token_number5, 5);
  EXPECT_EQ(engine.CallsOf(7)[0].text, "u7");
  EXPECT_EQ(engine.CallsOf(8)[0].ints, std::vector<int32_t>{-8});
  EXPECT_EQ(engine.CallsOf(29)[0].ints, (std::vector<int32_t>{5, 6}));
}

TEST(ReferenceMediaEngine, EmitsToTheRegisteredListenerAndLetsItGo) {
  refhost::ReferenceMediaEngine engine;
  EXPECT_FALSE(engine.Emit([](vanta::meta::RtcMediaEventListener& l) { l.OnBye(0); }));

  auto listener = std::make_shared<ProbeListener>();
  std::weak_ptr<ProbeListener> watch = listener;
  engine.SetEventListener(listener);
  ASSERT_TRUE(engine.Emit([](vanta::meta::RtcMediaEventListener& l) { l.OnBye(0); }));
  EXPECT_EQ(listener->thread, std::this_thread::get_id());
  ASSERT_TRUE(engine.Emit([](vanta::meta::RtcMediaEventListener& l) { l.OnBye(0); },
                          Delivery::kReplyThread));
  engine.event_thread().WaitIdle();
  EXPECT_EQ(listener->byes, 2);
  EXPECT_EQ(listener->thread, engine.event_thread().thread_id());

  listener.reset();
  EXPECT_FALSE(watch.expired()) << "the engine shares ownership of its listener";
  engine.ClearEventListener();
  EXPECT_TRUE(watch.expired());
}

TEST(ReferenceHostWiring, ContextReachesEveryPartAndRecordsItsCalls) {
  refhost::ReferenceHost host("u1", "room-9", "owner-1");
  vanta::meta::ServiceContext& context = *host.context;
  EXPECT_EQ(context.GetRoom(), host.room);
  EXPECT_EQ(context.GetRoomManager(), host.room_manager);
  EXPECT_EQ(context.GetLiveModule()->GetLiveManager(), host.live_manager);
  EXPECT_EQ(context.GetUserRecord().user_id, "u1");
  EXPECT_EQ(context.GetRoom()->GetRoomDetail().owner_id, "owner-1");
  host.context->SetTestUserAnswer(true);
  EXPECT_TRUE(context.TestUser("u2"));

  vanta::meta::Room& room = *host.room;
  EXPECT_EQ(room.GetPluginInstanceId("rtc"), "");
  room.SetPluginInstanceId("rtc", "rtc-1");
  room.SetPluginInstanceId("live", "live-1");
  room.RemovePluginInstanceId("rtc");
  EXPECT_EQ(host.room->InstanceIds(), (std::map<std::string, std::string>{{"live", "live-1"}}));

  std::vector<int> ops;
  for (const auto& call : host.context->calls().Snapshot()) ops.push_back(call.op);
  EXPECT_EQ(ops, (std::vector<int>{3, 7, 8, 5, 3, 6}));
  EXPECT_EQ(host.context->calls().Snapshot()[5].user_id, "u2");
}

}  // namespace
