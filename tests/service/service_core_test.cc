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

// Every request operation, written once for both forms: `run(s, cb...)` gets either a success
// and a failure function, or one empty callback object. `entry_line` is what the operation
// logs before it looks at the context.
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

const std::vector<Operation> kOperations = {
    Op("JoinRtc", [](RtcService& s, auto... cb) { s.JoinRtc(0, cb...); }),
    Op("StartRoadPublish", [](RtcService& s, auto... cb) { s.StartRoadPublish(cb...); },
       {"INFO:StartRoadPublish"}),
    Op("LeaveRtc", [](RtcService& s, auto... cb) { s.LeaveRtc(false, cb...); },
       {"INFO:leave channel"}),
    Op("LeaveRtcDestroy", [](RtcService& s, auto... cb) { s.LeaveRtc(true, cb...); },
       {"INFO:leave channel"}),
    Op("AddMembers", [](RtcService& s, auto... cb) { s.AddMembers({Member("u1")}, cb...); }),
    Op("ListConfUser", [](RtcService& s, auto... cb) { s.ListConfUser({}, cb...); }),
    Op("ListApplyLinkMicUser",
       [](RtcService& s, auto... cb) { s.ListApplyLinkMicUser({}, cb...); }),
    Op("ApplyLinkMic", [](RtcService& s, auto... cb) { s.ApplyLinkMic(true, cb...); }),
    Op("ApproveLinkMic", [](RtcService& s, auto... cb) { s.ApproveLinkMic("bob", true, cb...); }),
    Op("ApproveSelf", [](RtcService& s, auto... cb) { s.ApproveLinkMic("alice", false, cb...); }),
    Op("KickUserFromRtc", [](RtcService& s, auto... cb) { s.KickUserFromRtc({"u1"}, cb...); }),
    Op("StartRecord", [](RtcService& s, auto... cb) { s.StartRecord(cb...); }),
    Op("StopRecord", [](RtcService& s, auto... cb) { s.StopRecord(cb...); }),
    Op("GetConfDetail", [](RtcService& s, auto... cb) { s.GetConfDetail(cb...); }),
    Op("StartScreenShare", [](RtcService& s, auto... cb) { s.StartScreenShare(1, 2, cb...); }),
    Op("StartScreenShareAlt",
       [](RtcService& s, auto... cb) { s.StartScreenShareAlt(1, 2, cb...); }),
    Op("StopScreenShare", [](RtcService& s, auto... cb) { s.StopScreenShare(cb...); }),
    Op("SetLayout", [](RtcService& s, auto... cb) { s.SetLayout({"u1"}, 2, cb...); }),
    Op("RtcMuteAll", [](RtcService& s, auto... cb) { s.RtcMuteAll(true, cb...); }),
    Op("RtcMuteUser", [](RtcService& s, auto... cb) { s.RtcMuteUser("bob", true, cb...); }),
    Op("StartClass", [](RtcService& s, auto... cb) { s.StartClass({"cls"}, cb...); }),
    Op("StopClass", [](RtcService& s, auto... cb) { s.StopClass({"cls"}, cb...); }),
    Op("GetClassDetail", [](RtcService& s, auto... cb) { s.GetClassDetail({"cls"}, cb...); }),
};

class OperationShape : public ServiceTest, public ::testing::WithParamInterface<Operation> {
 protected:
  size_t HostCalls() const {
    return host.media_engine->calls().size() + host.event_listener->events().size() +
           host.room->calls().size() + host.room_manager->create_rtc_requests().size() +
           host.room_manager->destroy_rtc_requests().size() +
           host.room_manager->create_live_requests().size() +
           host.live_manager->publish_requests().size() +
           host.live_manager->live_detail_requests().size() + host.live_module->calls();
  }
};

// A room in a conference with a live, the owner signed in, a token to join with: every
// operation would do something if it got the chance.
TEST_P(OperationShape, EmptyCallbackObjectOrContextGoneDoNothing) {
  const Operation& op = GetParam();
  InConference("conf-1");
  host.room->SetPluginInstanceId("live", "live-1");
  Answer("getToken", Bytes("81 02 a3 'tok'"));
  auto service = MakeAttachedService();
  const size_t host_calls = HostCalls();
  const size_t context_calls = host.context->calls().size();

  op.with_empty_object(*service);
  EXPECT_TRUE(AllLines().empty()) << AllLines().front().second;
  EXPECT_EQ(host.context->calls().size(), context_calls);

  std::weak_ptr<refhost::ReferenceServiceContext> context = host.context;
  host.context.reset();
  ASSERT_TRUE(context.expired());
  Counter counter;
  op.function_form(*service, counter);
  EXPECT_EQ(*counter.calls, 0);
  EXPECT_EQ(ServiceLines(), op.entry_line);
  EXPECT_TRUE(Reports().empty());
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(HostCalls(), host_calls);
}

INSTANTIATE_TEST_SUITE_P(EveryRequestOperation, OperationShape, ::testing::ValuesIn(kOperations),
                         [](const auto& info) { return std::string(info.param.name); });

// The clients are looked up once: a service made before the engine created the account's
// modules never finds them, even after they exist.
TEST_F(ServiceTest, ServiceBuiltBeforeTheAccountsModulesKeepsEmptyClients) {
  nexo_standin::ReleaseAccount({kUser, "pc"});
  auto service = std::make_shared<RtcService>(host.context);
  nexo_standin::AddAccount({kUser, "pc"});
  ASSERT_TRUE(nexo_standin::InitAccount({kUser, "pc"}));
  InConference("conf-1");
  ClearRecords();
  Counter counter;
  service->StartRecord(counter, counter);
  service->GetConfDetail(counter, counter);
  service->StartClass({"cls"}, counter, counter);
  EXPECT_EQ(*counter.calls, 0);
  EXPECT_TRUE(Sent().empty());
  EXPECT_TRUE(Reports().empty());
  EXPECT_EQ(ServiceLines(), Strs{"INFO:StartRecord, approve=rtc_id=conf-1"});
}

// Counts the calls that reach the function forms through the virtual table.
class DispatchProbe : public RtcService {
 public:
  using RtcService::GetConfDetail;
  using RtcService::JoinRtc;
  using RtcService::RtcService;
  using RtcService::StartClass;
  void JoinRtc(int32_t arg, const Done& s, const Failed& f) override {
    ++virtual_calls;
    RtcService::JoinRtc(arg, s, f);
  }
  void GetConfDetail(const vanta::meta::RtcSuccessFunc<vanta::rtc::GetConfDetailRsp>& s,
                     const Failed& f) override {
    ++virtual_calls;
    RtcService::GetConfDetail(s, f);
  }
  void StartClass(const vanta::sceneclass::StartClassReq& req,
                  const vanta::meta::RtcSuccessFunc<vanta::sceneclass::StartClassRsp>& s,
                  const Failed& f) override {
    ++virtual_calls;
    RtcService::StartClass(req, s, f);
  }
  int virtual_calls = 0;
};

// Regression: the object forms used to dispatch through the table into an override.
TEST_F(ServiceTest, ObjectFormsRunTheirOwnFunctionFormAndAnswerThroughTheObject) {
  InConference("conf-1");
  Answer("getConfDetail", Bytes("82 01 81 01 a2 'c1' 02 07"));
  FailWithAdaptorError("startClass", "no class");
  auto probe = std::make_shared<DispatchProbe>(host.context);
  auto join = std::make_shared<refhost::RecordingCallback<>>();
  probe->JoinRtc(0, join);
  auto detail = std::make_shared<refhost::RecordingCallback<vanta::rtc::GetConfDetailRsp>>();
  probe->GetConfDetail(detail);
  auto klass = std::make_shared<refhost::RecordingCallback<vanta::sceneclass::StartClassRsp>>();
  probe->StartClass({"cls"}, klass);

  EXPECT_EQ(probe->virtual_calls, 0);
  EXPECT_EQ(Sent(),
            (Strs{Rtc("getToken", "81 01 a6 'conf-1'"), Rtc("getConfDetail", "81 01 a6 'conf-1'"),
                  Cls("startClass", "81 01 a3 'cls'")}));
  EXPECT_EQ(join->count(), 0u) << "joining waits for an engine";
  ASSERT_EQ(detail->count(), 1u);
  EXPECT_EQ(std::get<0>(detail->results()[0].response).conf_info.text1, "c1");
  EXPECT_EQ(std::get<0>(detail->results()[0].response).number2, 7);
  ASSERT_EQ(klass->count(), 1u);
  EXPECT_EQ(klass->results()[0].error.code, 4001);
  EXPECT_EQ(klass->results()[0].error.reason, "no class");
}

// The service registers itself with the engine, then passes the host's answer about the user
// (true when the context is gone).
TEST_F(ServiceTest, SetMediaEngineRegistersTheServiceThenPassesTheTestUserAnswer) {
  for (int row = 0; row < 3; ++row) {
    SCOPED_TRACE(row);
    refhost::ReferenceHost own(kUser, kRoom, kUser);
    own.context->SetTestUserAnswer(row == 0);
    auto service = std::make_shared<RtcService>(own.context);
    if (row == 2) own.context.reset();
    service->SetMediaEngine(own.media_engine);
    EXPECT_EQ(own.media_engine->Ops(), (std::vector<int>{10, 1}));
    EXPECT_EQ(own.media_engine->CallsOf(1).at(0).flag, row != 1);
    EXPECT_EQ(own.media_engine->event_listener().get(),
              static_cast<vanta::meta::RtcMediaEventListener*>(service.get()));
    if (row < 2) {
      EXPECT_EQ(own.context->calls().Snapshot().back().user_id, kUser);
    }
    own.media_engine->ClearEventListener();
  }
}

// The engine needs a listener it can keep; a service no shared pointer owns cannot give one.
TEST_F(ServiceTest, SetMediaEngineOnAServiceWithoutOwnerThrowsAfterStoringTheEngine) {
  RtcService service(host.context);
  EXPECT_THROW(service.SetMediaEngine(host.media_engine), std::bad_weak_ptr);
  EXPECT_TRUE(host.media_engine->calls().Snapshot().empty()) << "neither op 10 nor op 1";
  host.media_engine->SetResult(8, 77);
  EXPECT_EQ(service.EngineCall8(3), 77) << "the engine was stored before the throw";
}

// Calls that report: the engine is called when attached, the report goes out while the context
// lives.
TEST_F(ServiceTest, ReportingEngineCalls) {
  struct Row {
    std::function<void(RtcService&)> call;
    int op;
    std::string text;
    std::string report;
  };
  const std::vector<Row> rows = {
      {[](RtcService& s) { s.EngineCall2(); }, 2, "", "102 {} 0 ''"},
      {[](RtcService& s) { s.EngineCall3(); }, 3, "", "103 {} 0 ''"},
      {[](RtcService& s) { s.EngineCall6("bob"); }, 6, "bob", "100 {target_uid=bob} 0 ''"},
      {[](RtcService& s) { s.EngineCall7(""); }, 7, "", "101 {target_uid=} 0 ''"},
  };
  for (const Row& row : rows) {
    for (int mode = 0; mode < 3; ++mode) {  // attached, no engine, context gone
      SCOPED_TRACE(std::to_string(row.op) + " mode " + std::to_string(mode));
      refhost::ReferenceHost own(kUser, kRoom, kUser);
      auto service = std::make_shared<RtcService>(own.context);
      if (mode != 1) service->SetMediaEngine(own.media_engine);
      if (mode == 2) own.context.reset();
      ClearRecords();
      row.call(*service);
      const auto calls = own.media_engine->calls().Snapshot();
      ASSERT_EQ(calls.size(), mode == 1 ? 0u : 3u);
      if (mode != 1) {
        EXPECT_EQ(calls.back().op, row.op);
        EXPECT_EQ(calls.back().text, row.text);
      }
      EXPECT_EQ(Reports(), mode == 2 ? Strs{} : Strs{row.report});
      EXPECT_TRUE(ServiceLines().empty());
      own.media_engine->ClearEventListener();
    }
  }
}

// The pass-through calls hand over their arguments and return the engine's answer; they do
// not look at the context and report nothing.
TEST_F(ServiceTest, PassThroughEngineCallsReturnTheEnginesAnswer) {
  auto service = MakeAttachedService();
  host.context.reset();
  for (int op : {8, 9, 27, 31, 32}) host.media_engine->SetResult(op, 1000 + op);
  EXPECT_EQ(service->EngineCall8(-1), 1008);
  EXPECT_EQ(service->EngineCall9(INT32_MAX), 1009);
  EXPECT_EQ(service->EngineCall27(INT32_MIN, 4), 1027);
  EXPECT_EQ(service->EngineCall31(0), 1031);
  EXPECT_EQ(service->EngineCall32(123456), 1032);
  EXPECT_EQ(host.media_engine->CallsOf(9)[0].ints, std::vector<int32_t>{INT32_MAX});
  EXPECT_EQ(host.media_engine->CallsOf(27)[0].ints, (std::vector<int32_t>{INT32_MIN, 4}));
  EXPECT_EQ(EngineOps(), (std::vector<int>{8, 9, 27, 31, 32}));
  EXPECT_TRUE(Reports().empty());
  EXPECT_TRUE(ServiceLines().empty());

  service->SetMediaEngine(nullptr);
  EXPECT_EQ(service->EngineCall8(5), 0) << "no engine: nothing to ask";
  EXPECT_EQ(EngineOps().size(), 5u);
}

}  // namespace
}  // namespace service_test
