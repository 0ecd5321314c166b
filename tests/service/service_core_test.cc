// The service's shared operation shape (context gone, empty callback objects, object forms),
// attaching the media engine and the engine calls it passes through.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/service_fixture.h"

namespace service_test {
namespace {

// A callback of any signature that counts its calls.
struct Counter {
  std::shared_ptr<int> calls = std::make_shared<int>(0);
  template <class... T>
  void operator()(const T&...) const {
    ++*calls;
  }
};

// Every request operation, written once for both forms: `run(s, cb...)` gets a success and a
// failure function, or one empty callback object. `entry_line` is what the operation logs
// before it looks at the context.
struct Operation {
  const char* name;
  std::function<void(RtcService&, const Counter&)> function_form;
  std::function<void(RtcService&)> with_empty_object;
  Strs entry_line;
};

template <class F>
Operation Op(const char* name, F run, Strs entry_line = {}) {
  return {name, [run](RtcService& s, const Counter& c) { run(s, c, c); },
          [run](RtcService& s) { run(s, nullptr); }, entry_line};
}

// clang-format off
const std::vector<Operation> kOperations = {
    Op("JoinRtc", [](RtcService& s, auto... cb) { s.JoinRtc(0, cb...); }),
    Op("StartRoadPublish", [](RtcService& s, auto... cb) { s.StartRoadPublish(cb...); },
       {"INFO:StartRoadPublish"}),
    Op("LeaveRtc", [](RtcService& s, auto... cb) { s.LeaveRtc(true, cb...); },
       {"INFO:leave channel"}),
    Op("AddMembers", [](RtcService& s, auto... cb) { s.AddMembers({Member("u1")}, cb...); }),
    Op("ListConfUser", [](RtcService& s, auto... cb) { s.ListConfUser({}, cb...); }),
    Op("ListApplyLinkMicUser", [](RtcService& s, auto... cb) { s.ListApplyLinkMicUser({}, cb...); }),
    Op("ApplyLinkMic", [](RtcService& s, auto... cb) { s.ApplyLinkMic(true, cb...); }),
    Op("ApproveLinkMic", [](RtcService& s, auto... cb) { s.ApproveLinkMic("bob", true, cb...); }),
    Op("ApproveSelf", [](RtcService& s, auto... cb) { s.ApproveLinkMic("alice", false, cb...); }),
    Op("KickUserFromRtc", [](RtcService& s, auto... cb) { s.KickUserFromRtc({"u1"}, cb...); }),
    Op("StartRecord", [](RtcService& s, auto... cb) { s.StartRecord(cb...); }),
    Op("StopRecord", [](RtcService& s, auto... cb) { s.StopRecord(cb...); }),
    Op("GetConfDetail", [](RtcService& s, auto... cb) { s.GetConfDetail(cb...); }),
    Op("StartScreenShare", [](RtcService& s, auto... cb) { s.StartScreenShare(1, 2, cb...); }),
    Op("StartScreenShareAlt", [](RtcService& s, auto... cb) { s.StartScreenShareAlt(1, 2, cb...); }),
    Op("StopScreenShare", [](RtcService& s, auto... cb) { s.StopScreenShare(cb...); }),
    Op("SetLayout", [](RtcService& s, auto... cb) { s.SetLayout({"u1"}, 2, cb...); }),
    Op("RtcMuteAll", [](RtcService& s, auto... cb) { s.RtcMuteAll(true, cb...); }),
    Op("RtcMuteUser", [](RtcService& s, auto... cb) { s.RtcMuteUser("bob", true, cb...); }),
    Op("StartClass", [](RtcService& s, auto... cb) { s.StartClass({"cls"}, cb...); }),
    Op("StopClass", [](RtcService& s, auto... cb) { s.StopClass({"cls"}, cb...); }),
    Op("GetClassDetail", [](RtcService& s, auto... cb) { s.GetClassDetail({"cls"}, cb...); }),
};
// clang-format on

class OperationShape : public ServiceTest, public ::testing::WithParamInterface<Operation> {};

// A room in a conference with a live, the owner signed in, a token to join with: every
// operation would do something if it got the chance.
TEST_P(OperationShape, EmptyCallbackObjectOrContextGoneDoNothing) {
  InConference();
  host.room->SetPluginInstanceId("live", "live-1");
  Answer("getToken", Bytes("81 02 a3 'tok'"));
  auto service = MakeAttachedService();
  auto host_calls = [&] {
    return host.media_engine->calls().size() + host.event_listener->events().size() +
           host.room->calls().size() + host.room_manager->create_rtc_requests().size() +
           host.room_manager->destroy_rtc_requests().size() +
           host.room_manager->create_live_requests().size() + host.live_module->calls();
  };
  const size_t host_before = host_calls(), context_before = host.context->calls().size();
  GetParam().with_empty_object(*service);
  EXPECT_EQ(host.context->calls().size(), context_before);
  EXPECT_TRUE(ServiceLines().empty());

  host.context.reset();
  Counter counter;
  GetParam().function_form(*service, counter);
  EXPECT_EQ(*counter.calls, 0);
  EXPECT_EQ(ServiceLines(), GetParam().entry_line);
  EXPECT_TRUE(Reports().empty() && Sent().empty());
  EXPECT_EQ(host_calls(), host_before);
}

INSTANTIATE_TEST_SUITE_P(EveryRequestOperation, OperationShape, ::testing::ValuesIn(kOperations),
                         [](const auto& info) { return std::string(info.param.name); });

// Counts the calls that reach the function forms through the virtual table.
class DispatchProbe : public RtcService {
 public:
  using RtcService::GetConfDetail;
  using RtcService::JoinRtc;
  using RtcService::RtcService;
  void JoinRtc(int32_t arg, const Done& s, const Failed& f) override {
    ++virtual_calls;
    RtcService::JoinRtc(arg, s, f);
  }
  void GetConfDetail(const vanta::meta::RtcSuccessFunc<vanta::rtc::GetConfDetailRsp>& s,
                     const Failed& f) override {
    ++virtual_calls;
    RtcService::GetConfDetail(s, f);
  }
  int virtual_calls = 0;
};

// Regression: the object forms used to dispatch through the table into an override.
TEST_F(ServiceTest, ObjectFormsRunTheirOwnFunctionFormAndAnswerThroughTheObject) {
  InConference();
  Answer("getConfDetail", Bytes("82 01 81 01 a2 'c1' 02 07"));
  auto probe = std::make_shared<DispatchProbe>(host.context);
  auto join = std::make_shared<refhost::RecordingCallback<>>();
  probe->JoinRtc(0, join);
  auto detail = std::make_shared<refhost::RecordingCallback<vanta::rtc::GetConfDetailRsp>>();
  probe->GetConfDetail(detail);
  FailWithAdaptorError("getConfDetail", "no conf");
  probe->GetConfDetail(detail);
  EXPECT_EQ(probe->virtual_calls, 0);
  EXPECT_EQ(Sent().size(), 3u);
  EXPECT_EQ(join->count(), 0u) << "joining waits for an engine";
  ASSERT_EQ(detail->count(), 2u);
  EXPECT_EQ(std::get<0>(detail->results()[0].response).number2, 7);
  EXPECT_EQ(detail->results()[1].error.reason, "no conf");
}

// The service registers itself with the engine, then passes the host's answer about the user
// (true when the context is gone). A service no shared pointer owns cannot give the engine a
// listener to keep: it throws, after storing the engine.
TEST_F(ServiceTest, SetMediaEngine) {
  for (int row = 0; row < 3; ++row) {
    refhost::ReferenceHost own(kUser, kRoom, kUser);
    own.context->SetTestUserAnswer(row == 0);
    auto service = std::make_shared<RtcService>(own.context);
    if (row == 2) own.context.reset();
    service->SetMediaEngine(own.media_engine);
    EXPECT_EQ(own.media_engine->Ops(), (std::vector<int>{10, 1})) << row;
    EXPECT_EQ(own.media_engine->CallsOf(1).at(0).flag, row != 1) << row;
    EXPECT_EQ(own.media_engine->event_listener().get(),
              static_cast<vanta::meta::RtcMediaEventListener*>(service.get()));
    own.media_engine->ClearEventListener();
  }
  RtcService unowned(host.context);
  EXPECT_THROW(unowned.SetMediaEngine(host.media_engine), std::bad_weak_ptr);
  EXPECT_TRUE(EngineOps().empty()) << "neither op 10 nor op 1";
  host.media_engine->SetResult(8, 77);
  EXPECT_EQ(unowned.EngineCall8(3), 77);
}

// Calls 2, 3, 6 and 7 report while the context lives; the others hand over their arguments and
// return the engine's answer. Without an engine nothing is called.
TEST_F(ServiceTest, EngineCalls) {
  auto service = MakeAttachedService();
  service->EngineCall2();
  service->EngineCall3();
  service->EngineCall6("bob");
  service->EngineCall7("");
  EXPECT_EQ(Reports(), (Strs{"102 {} 0 ''", "103 {} 0 ''", "100 {target_uid=bob} 0 ''",
                             "101 {target_uid=} 0 ''"}));
  EXPECT_EQ(host.media_engine->CallsOf(6).at(0).text, "bob");
  host.context.reset();
  service->EngineCall2();
  for (int op : {9, 27}) host.media_engine->SetResult(op, 1000 + op);
  EXPECT_EQ(service->EngineCall9(INT32_MAX), 1009);
  EXPECT_EQ(service->EngineCall27(INT32_MIN, 4), 1027);
  EXPECT_EQ(host.media_engine->CallsOf(27).at(0).ints, (std::vector<int32_t>{INT32_MIN, 4}));
  EXPECT_EQ(EngineOps(), (std::vector<int>{2, 3, 6, 7, 2, 9, 27}));
  EXPECT_EQ(Reports().size(), 4u) << "the context is gone";
  service->SetMediaEngine(nullptr);
  service->EngineCall3();
  EXPECT_EQ(service->EngineCall8(5), 0);
  EXPECT_EQ(EngineOps().size(), 7u);
  EXPECT_TRUE(ServiceLines().empty());
}

}  // namespace
}  // namespace service_test
