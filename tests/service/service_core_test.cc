// The service's construction, its shared operation shape (context gone, empty callback objects,
// object forms), attaching the media engine and the engine calls it passes through.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/service_fixture.h"

namespace service_test {
namespace {

using vanta::meta::IPluginService;
using vanta::meta::RtcMediaEventListener;

// Every request operation of the service, in both forms. The function form counts every
// callback it gets into `calls`; `entry_line` is what the operation logs before it looks at
// the context.
struct Operation {
  const char* name;
  std::function<void(RtcService&, const std::shared_ptr<int>& calls)> function_form;
  std::function<void(RtcService&)> with_empty_object;
  const char* entry_line;
};

std::ostream& operator<<(std::ostream& os, const Operation& op) {
  return os << op.name;
}

template <typename... Rsp>
vanta::meta::RtcResultCallbackPtr<Rsp...> NoCallback() {
  return nullptr;
}

std::vector<Operation> AllOperations() {
  using Calls = const std::shared_ptr<int>&;
  auto done = [](Calls c) { return [c] { ++*c; }; };
  auto got = [](Calls c) { return [c](const auto&) { ++*c; }; };
  const std::vector<vanta::rtc::ConfUser> members{Member("u1")};
  const std::vector<std::string> ids{"u1", "u2"};
  return {
      {"JoinRtc", [=](RtcService& s, Calls c) { s.JoinRtc(0, done(c), got(c)); },
       [](RtcService& s) { s.JoinRtc(0, NoCallback()); }, nullptr},
      {"StartRoadPublish", [=](RtcService& s, Calls c) { s.StartRoadPublish(done(c), got(c)); },
       [](RtcService& s) { s.StartRoadPublish(NoCallback()); }, "INFO:StartRoadPublish"},
      {"LeaveRtc", [=](RtcService& s, Calls c) { s.LeaveRtc(false, done(c), got(c)); },
       [](RtcService& s) { s.LeaveRtc(false, NoCallback()); }, "INFO:leave channel"},
      {"LeaveRtcDestroy", [=](RtcService& s, Calls c) { s.LeaveRtc(true, done(c), got(c)); },
       [](RtcService& s) { s.LeaveRtc(true, NoCallback()); }, "INFO:leave channel"},
      {"AddMembers", [=](RtcService& s, Calls c) { s.AddMembers(members, done(c), got(c)); },
       [=](RtcService& s) { s.AddMembers(members, NoCallback()); }, nullptr},
      {"ListConfUser", [=](RtcService& s, Calls c) { s.ListConfUser({}, got(c), got(c)); },
       [](RtcService& s) { s.ListConfUser({}, NoCallback<vanta::rtc::ListConfUserRsp>()); },
       nullptr},
      {"ListApplyLinkMicUser",
       [=](RtcService& s, Calls c) { s.ListApplyLinkMicUser({}, got(c), got(c)); },
       [](RtcService& s) {
         s.ListApplyLinkMicUser({}, NoCallback<vanta::rtc::ListApplyLinkMicUserRsp>());
       },
       nullptr},
      {"ApplyLinkMic", [=](RtcService& s, Calls c) { s.ApplyLinkMic(true, done(c), got(c)); },
       [](RtcService& s) { s.ApplyLinkMic(true, NoCallback()); }, nullptr},
      {"ApproveLinkMic",
       [=](RtcService& s, Calls c) { s.ApproveLinkMic("bob", true, done(c), got(c)); },
       [](RtcService& s) { s.ApproveLinkMic("bob", true, NoCallback()); }, nullptr},
      {"ApproveLinkMicSelf",
       [=](RtcService& s, Calls c) { s.ApproveLinkMic("alice", false, done(c), got(c)); },
       [](RtcService& s) { s.ApproveLinkMic("alice", false, NoCallback()); }, nullptr},
      {"KickUserFromRtc", [=](RtcService& s, Calls c) { s.KickUserFromRtc(ids, done(c), got(c)); },
       [=](RtcService& s) { s.KickUserFromRtc(ids, NoCallback()); }, nullptr},
      {"StartRecord", [=](RtcService& s, Calls c) { s.StartRecord(done(c), got(c)); },
       [](RtcService& s) { s.StartRecord(NoCallback()); }, nullptr},
      {"StopRecord", [=](RtcService& s, Calls c) { s.StopRecord(done(c), got(c)); },
       [](RtcService& s) { s.StopRecord(NoCallback()); }, nullptr},
      {"GetConfDetail", [=](RtcService& s, Calls c) { s.GetConfDetail(got(c), got(c)); },
       [](RtcService& s) { s.GetConfDetail(NoCallback<vanta::rtc::GetConfDetailRsp>()); }, nullptr},
      {"StartScreenShare",
       [=](RtcService& s, Calls c) { s.StartScreenShare(1, 2, done(c), got(c)); },
       [](RtcService& s) { s.StartScreenShare(1, 2, NoCallback()); }, nullptr},
      {"StartScreenShareAlt",
       [=](RtcService& s, Calls c) { s.StartScreenShareAlt(1, 2, done(c), got(c)); },
       [](RtcService& s) { s.StartScreenShareAlt(1, 2, NoCallback()); }, nullptr},
      {"StopScreenShare", [=](RtcService& s, Calls c) { s.StopScreenShare(done(c), got(c)); },
       [](RtcService& s) { s.StopScreenShare(NoCallback()); }, nullptr},
      {"SetLayout", [=](RtcService& s, Calls c) { s.SetLayout(ids, 2, done(c), got(c)); },
       [=](RtcService& s) { s.SetLayout(ids, 2, NoCallback()); }, nullptr},
      {"RtcMuteAll", [=](RtcService& s, Calls c) { s.RtcMuteAll(true, done(c), got(c)); },
       [](RtcService& s) { s.RtcMuteAll(true, NoCallback()); }, nullptr},
      {"RtcMuteUser", [=](RtcService& s, Calls c) { s.RtcMuteUser("bob", true, done(c), got(c)); },
       [](RtcService& s) { s.RtcMuteUser("bob", true, NoCallback()); }, nullptr},
      {"StartClass", [=](RtcService& s, Calls c) { s.StartClass({"cls"}, got(c), got(c)); },
       [](RtcService& s) { s.StartClass({"cls"}, NoCallback<vanta::sceneclass::StartClassRsp>()); },
       nullptr},
      {"StopClass", [=](RtcService& s, Calls c) { s.StopClass({"cls"}, got(c), got(c)); },
       [](RtcService& s) { s.StopClass({"cls"}, NoCallback<vanta::sceneclass::StopClassRsp>()); },
       nullptr},
      {"GetClassDetail", [=](RtcService& s, Calls c) { s.GetClassDetail({"cls"}, got(c), got(c)); },
       [](RtcService& s) {
         s.GetClassDetail({"cls"}, NoCallback<vanta::sceneclass::GetClassDetailRsp>());
       },
       nullptr},
  };
}

// A room in a conference with a live, the owner signed in, a token to join with: every
// operation would do something if it got the chance.
class OperationShape : public ServiceTest, public ::testing::WithParamInterface<Operation> {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    InConference("conf-1", "live-1");
    Answer("getToken", Bytes("81 02 a3 'tok'"));
    service = MakeAttachedService();
  }

  size_t HostCallCount() const {
    return host.media_engine->calls().size() + host.event_listener->events().size() +
           host.room->calls().size() + host.room_manager->create_rtc_requests().size() +
           host.room_manager->destroy_rtc_requests().size() +
           host.room_manager->create_live_requests().size() +
           host.live_manager->publish_requests().size() +
           host.live_manager->live_detail_requests().size() + host.live_module->calls();
  }

  std::shared_ptr<RtcService> service;
};

TEST_P(OperationShape, ContextGoneCallsNothingAndReportsNothing) {
  const Operation& op = GetParam();
  std::weak_ptr<refhost::ReferenceServiceContext> context = host.context;
  host.context.reset();
  ASSERT_TRUE(context.expired());
  const size_t host_calls = HostCallCount();

  auto calls = std::make_shared<int>(0);
  op.function_form(*service, calls);

  EXPECT_EQ(*calls, 0);
  EXPECT_TRUE(Reports().empty());
  EXPECT_TRUE(SentRequests().empty());
  EXPECT_EQ(HostCallCount(), host_calls);
  const std::vector<std::string> expected_lines =
      op.entry_line ? std::vector<std::string>{op.entry_line} : std::vector<std::string>{};
  EXPECT_EQ(ServiceLines(), expected_lines);
}

TEST_P(OperationShape, EmptyCallbackObjectDoesNothingAtAll) {
  const Operation& op = GetParam();
  const size_t host_calls = HostCallCount();
  const size_t context_calls = host.context->calls().size();

  op.with_empty_object(*service);

  EXPECT_TRUE(AllLines().empty()) << AllLines().front().second;
  EXPECT_TRUE(Reports().empty());
  EXPECT_TRUE(SentRequests().empty());
  EXPECT_EQ(HostCallCount(), host_calls);
  EXPECT_EQ(host.context->calls().size(), context_calls);
}

INSTANTIATE_TEST_SUITE_P(EveryRequestOperation, OperationShape,
                         ::testing::ValuesIn(AllOperations()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- construction ----------------------------------------------------------------------------

TEST_F(ServiceTest, ConstructionReadsTheContextAndFindsBothClients) {
  auto service = std::make_shared<RtcService>(host.context);
  std::vector<int> ops;
  for (const auto& call : host.context->calls().Snapshot()) ops.push_back(call.op);
  EXPECT_EQ(ops, (std::vector<int>{1, 2, 7})) << "user id, room id, room manager; nothing else";
  EXPECT_TRUE(host.media_engine->calls().Snapshot().empty())
      << "the engine is the host's to attach";

  IPluginService& plugin_service = *service;
  EXPECT_EQ(plugin_service.GetServiceName(), "rtc");

  InConference("conf-1");
  service->StartRecord([] {}, [](const NexoError&) {});
  service->StartClass(
      {"cls-1"}, [](const auto&) {}, [](const NexoError&) {});
  EXPECT_EQ(SentUris(), (std::vector<std::string>{std::string(kRtcUri) + "startRecord",
                                                  std::string(kClassUri) + "startClass"}));
}

// The clients are looked up once: a service made before the engine created the account's
// modules never finds them, even after they exist.
TEST_F(ServiceTest, ServiceBuiltBeforeTheAccountsModulesKeepsEmptyClients) {
  nexo_standin::ReleaseAccount({kUser, "pc"});
  auto service = std::make_shared<RtcService>(host.context);
  service->SetMediaEngine(host.media_engine);
  nexo_standin::AddAccount({kUser, "pc"});
  ASSERT_TRUE(nexo_standin::InitAccount({kUser, "pc"}));
  InConference("conf-1");
  ClearRecords();

  struct Row {
    const char* name;
    std::function<void(const std::shared_ptr<int>&)> run;
    std::vector<std::string> lines;
  };
  auto done = [](const std::shared_ptr<int>& c) { return [c] { ++*c; }; };
  auto got = [](const std::shared_ptr<int>& c) { return [c](const auto&) { ++*c; }; };
  const std::vector<Row> rows = {
      {"ApplyLinkMic",
       [&](auto c) { service->ApplyLinkMic(true, done(c), got(c)); },
       {"INFO:ApplyLinkMic success, apply=1 , rtc_id=conf-1"}},
      {"ApproveLinkMic",
       [&](auto c) { service->ApproveLinkMic("bob", true, done(c), got(c)); },
       {"INFO:ApproveLinkMic success, approve=1 , rtc_id=conf-1"}},
      {"KickUserFromRtc",
       [&](auto c) { service->KickUserFromRtc({"bob"}, done(c), got(c)); },
       {"INFO:KickUserFromRtc, approve=rtc_id=conf-1"}},
      {"StartRecord",
       [&](auto c) { service->StartRecord(done(c), got(c)); },
       {"INFO:StartRecord, approve=rtc_id=conf-1"}},
      {"StopRecord",
       [&](auto c) { service->StopRecord(done(c), got(c)); },
       {"INFO:StopRecord, approve=rtc_id=conf-1"}},
      {"GetConfDetail", [&](auto c) { service->GetConfDetail(got(c), got(c)); }, {}},
      {"JoinRtc", [&](auto c) { service->JoinRtc(0, done(c), got(c)); }, {}},
      {"StartClass", [&](auto c) { service->StartClass({"cls"}, got(c), got(c)); }, {}},
      {"GetClassDetail", [&](auto c) { service->GetClassDetail({"cls"}, got(c), got(c)); }, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ClearRecords();
    auto calls = std::make_shared<int>(0);
    row.run(calls);
    EXPECT_EQ(*calls, 0);
    EXPECT_TRUE(SentRequests().empty());
    EXPECT_TRUE(Reports().empty());
    EXPECT_EQ(ServiceLines(), row.lines);
  }
  host.media_engine->ClearEventListener();
}

// ---- object forms --------------------------------------------------------------------------

TEST_F(ServiceTest, ObjectFormsAnswerThroughTheCallbackObject) {
  InConference("conf-1");
  Answer("getToken", Bytes("81 02 a3 'tok'"));
  Answer("getConfDetail", Bytes("82 01 81 01 a2 'c1' 02 07"));
  Answer("listApplyLinkMicUser", Bytes("82 01 91 81 01 a2 'u7' 03 05"));
  Answer("getClassDetail", Bytes("82 01 a3 'cls' 05 2a"));
  FailWithAdaptorError("applyLinkMic", "no mic");
  auto service = MakeAttachedService();

  auto join = std::make_shared<refhost::RecordingCallback<>>();
  service->JoinRtc(0, join);
  auto apply = std::make_shared<refhost::RecordingCallback<>>();
  service->ApplyLinkMic(true, apply);
  auto detail = std::make_shared<refhost::RecordingCallback<vanta::rtc::GetConfDetailRsp>>();
  service->GetConfDetail(detail);
  auto applicants =
      std::make_shared<refhost::RecordingCallback<vanta::rtc::ListApplyLinkMicUserRsp>>();
  service->ListApplyLinkMicUser({}, applicants);
  auto klass = std::make_shared<refhost::RecordingCallback<vanta::sceneclass::GetClassDetailRsp>>();
  service->GetClassDetail({"cls"}, klass);
  host.room->RemovePluginInstanceId("rtc");
  auto layout = std::make_shared<refhost::RecordingCallback<>>();
  service->SetLayout({"u1"}, 1, layout);

  ASSERT_EQ(join->count(), 1u);
  EXPECT_TRUE(join->results()[0].success);

  ASSERT_EQ(apply->count(), 1u);
  EXPECT_FALSE(apply->results()[0].success);
  EXPECT_EQ(apply->results()[0].error.code, 4001);
  EXPECT_EQ(apply->results()[0].error.reason, "no mic");

  ASSERT_EQ(detail->count(), 1u);
  ASSERT_TRUE(detail->results()[0].success);
  vanta::rtc::GetConfDetailRsp expected_detail;
  expected_detail.conf_info.text1 = "c1";
  expected_detail.number2 = 7;
  EXPECT_EQ(std::get<0>(detail->results()[0].response), expected_detail);

  ASSERT_EQ(applicants->count(), 1u);
  ASSERT_TRUE(applicants->results()[0].success);
  vanta::rtc::ListApplyLinkMicUserRsp expected_applicants;
  expected_applicants.users = {Member("u7")};
  expected_applicants.number3 = 5;
  EXPECT_EQ(std::get<0>(applicants->results()[0].response), expected_applicants);

  ASSERT_EQ(klass->count(), 1u);
  ASSERT_TRUE(klass->results()[0].success);
  EXPECT_EQ(std::get<0>(klass->results()[0].response).field1, "cls");
  EXPECT_EQ(std::get<0>(klass->results()[0].response).field5, 42);

  ASSERT_EQ(layout->count(), 1u);
  EXPECT_FALSE(layout->results()[0].success);
  EXPECT_EQ(layout->results()[0].error.reason, "rtc_id is empty");
  EXPECT_EQ(layout->results()[0].error.code, 0);
}

// Counts the calls that reach the function forms through the virtual table.
class DispatchProbe : public RtcService {
 public:
  using RtcService::GetConfDetail;
  using RtcService::JoinRtc;
  using RtcService::LeaveRtc;
  using RtcService::RtcService;
  using RtcService::StartClass;
  void JoinRtc(int32_t arg, const Done& s, const Failed& f) override {
    ++virtual_calls;
    RtcService::JoinRtc(arg, s, f);
  }
  void LeaveRtc(bool destroy, const Done& s, const Failed& f) override {
    ++virtual_calls;
    RtcService::LeaveRtc(destroy, s, f);
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

TEST_F(ServiceTest, ObjectFormsRunTheirOwnFunctionFormNotAnOverride) {
  InConference("conf-1");
  auto probe = std::make_shared<DispatchProbe>(host.context);
  auto done = std::make_shared<refhost::RecordingCallback<>>();
  probe->JoinRtc(0, done);
  probe->LeaveRtc(false, done);
  auto detail = std::make_shared<refhost::RecordingCallback<vanta::rtc::GetConfDetailRsp>>();
  probe->GetConfDetail(detail);
  auto klass = std::make_shared<refhost::RecordingCallback<vanta::sceneclass::StartClassRsp>>();
  probe->StartClass({"cls"}, klass);

  EXPECT_EQ(probe->virtual_calls, 0);
  EXPECT_EQ(SentUris(), (std::vector<std::string>{
                            std::string(kRtcUri) + "getToken",
                            std::string(kRtcUri) + "reportLeaveStatus",
                            std::string(kRtcUri) + "getConfDetail",
                            std::string(kClassUri) + "startClass",
                        }));
  EXPECT_EQ(done->count(), 1u) << "leaving answers; joining waits for an engine";
  EXPECT_EQ(detail->count(), 1u);
  EXPECT_EQ(klass->count(), 1u);
}

// ---- attaching the media engine ----------------------------------------------------------

TEST_F(ServiceTest, SetMediaEngineRegistersTheServiceThenPassesTheTestUserAnswer) {
  for (bool answer : {true, false}) {
    SCOPED_TRACE(answer);
    host.context->SetTestUserAnswer(answer);
    auto service = std::make_shared<RtcService>(host.context);
    host.media_engine->ClearEventListener();
    const size_t before = host.media_engine->calls().size();
    service->SetMediaEngine(host.media_engine);

    std::vector<refhost::MediaCall> calls = host.media_engine->calls().Snapshot();
    calls.erase(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(before));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].op, 10);
    EXPECT_EQ(calls[1].op, 1);
    EXPECT_EQ(calls[1].flag, answer);
    EXPECT_EQ(host.media_engine->event_listener().get(),
              static_cast<RtcMediaEventListener*>(service.get()));
    const auto context_calls = host.context->calls().Snapshot();
    EXPECT_EQ(context_calls.back().op, 6);
    EXPECT_EQ(context_calls.back().user_id, kUser);
    EXPECT_TRUE(ServiceLines().empty());
    EXPECT_TRUE(Reports().empty());
  }
}

TEST_F(ServiceTest, SetMediaEngineWithTheContextGonePassesTrue) {
  host.context->SetTestUserAnswer(false);
  auto service = std::make_shared<RtcService>(host.context);
  host.context.reset();
  service->SetMediaEngine(host.media_engine);
  EXPECT_EQ(host.media_engine->Ops(), (std::vector<int>{10, 1}));
  EXPECT_TRUE(host.media_engine->CallsOf(1).at(0).flag);
}

TEST_F(ServiceTest, EmptyMediaEngineClearsTheEngineAndCallsNothing) {
  auto service = MakeAttachedService();
  service->SetMediaEngine(nullptr);
  service->EngineCall2();
  EXPECT_EQ(service->EngineCall8(5), 0);
  EXPECT_TRUE(EngineOps().empty());
  EXPECT_EQ(ReportIds(), (std::vector<int32_t>{102})) << "the report does not need an engine";
}

// The engine needs a listener it can keep; a service no shared pointer owns cannot give one.
TEST_F(ServiceTest, SetMediaEngineOnAServiceWithoutOwnerThrowsAfterStoringTheEngine) {
  RtcService service(host.context);
  EXPECT_THROW(service.SetMediaEngine(host.media_engine), std::bad_weak_ptr);
  EXPECT_TRUE(host.media_engine->calls().Snapshot().empty()) << "neither op 10 nor op 1";
  for (const auto& call : host.context->calls().Snapshot()) EXPECT_NE(call.op, 6);

  host.media_engine->SetResult(8, 77);
  EXPECT_EQ(service.EngineCall8(3), 77) << "the engine was stored before the throw";
}

TEST_F(ServiceTest, EventListenerIsKeptAsGiven) {
  auto service = std::make_shared<RtcService>(host.context);
  EXPECT_EQ(service->GetEventListener(), nullptr);
  service->SetEventListener(host.event_listener);
  EXPECT_EQ(service->GetEventListener(), host.event_listener);
  service->SetEventListener(nullptr);
  EXPECT_EQ(service->GetEventListener(), nullptr);
}

// ---- engine calls ----------------------------------------------------------------------------

struct EngineCallRow {
  const char* name;
  std::function<void(RtcService&)> call;
  int op;
  std::string text;
  int32_t event_id;
  Params params;
};

std::ostream& operator<<(std::ostream& os, const EngineCallRow& row) {
  return os << row.name;
}

class EngineCalls : public ServiceTest, public ::testing::WithParamInterface<EngineCallRow> {};

TEST_P(EngineCalls, CallTheEngineWhenAttachedAndReportWhileTheContextLives) {
  const EngineCallRow& row = GetParam();
  struct Case {
    const char* name;
    bool engine;
    bool context;
  };
  for (const Case& c : {Case{"attached", true, true}, Case{"no engine", false, true},
                        Case{"context gone", true, false}}) {
    SCOPED_TRACE(c.name);
    refhost::ReferenceHost own_host(kUser, kRoom, kUser);
    auto service = std::make_shared<RtcService>(own_host.context);
    if (c.engine) service->SetMediaEngine(own_host.media_engine);
    if (!c.context) own_host.context.reset();
    const size_t before = own_host.media_engine->calls().size();
    ClearRecords();

    row.call(*service);

    auto calls = own_host.media_engine->calls().Snapshot();
    if (c.engine) {
      ASSERT_EQ(calls.size(), before + 1);
      EXPECT_EQ(calls.back().op, row.op);
      EXPECT_EQ(calls.back().text, row.text);
    } else {
      EXPECT_EQ(calls.size(), before);
    }
    if (c.context) {
      ASSERT_EQ(Reports().size(), 1u);
      EXPECT_EQ(Reports()[0].event_id, row.event_id);
      EXPECT_EQ(Reports()[0].params, row.params);
      EXPECT_EQ(Reports()[0].code, 0);
      EXPECT_EQ(Reports()[0].message, "");
    } else {
      EXPECT_TRUE(Reports().empty());
    }
    EXPECT_TRUE(ServiceLines().empty());
    own_host.media_engine->ClearEventListener();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Reporting, EngineCalls,
    ::testing::Values(
        EngineCallRow{"EngineCall2", [](RtcService& s) { s.EngineCall2(); }, 2, "", 102, {}},
        EngineCallRow{"EngineCall3", [](RtcService& s) { s.EngineCall3(); }, 3, "", 103, {}},
        EngineCallRow{"EngineCall6",
                      [](RtcService& s) { s.EngineCall6("bob"); },
                      6,
                      "bob",
                      100,
                      {{"target_uid", "bob"}}},
        EngineCallRow{"EngineCall7",
                      [](RtcService& s) { s.EngineCall7(""); },
                      7,
                      "",
                      101,
                      {{"target_uid", ""}}}),
    [](const auto& info) { return std::string(info.param.name); });

// The pass-through calls hand over their arguments and return the engine's answer; they do
// not look at the context and report nothing.
TEST_F(ServiceTest, PassThroughEngineCallsReturnTheEnginesAnswer) {
  auto service = MakeAttachedService();
  host.context.reset();
  struct Row {
    int op;
    std::function<int32_t()> call;
    std::vector<int32_t> args;
  };
  const std::vector<Row> rows = {
      {8, [&] { return service->EngineCall8(-1); }, {-1}},
      {9, [&] { return service->EngineCall9(INT32_MAX); }, {INT32_MAX}},
      {27, [&] { return service->EngineCall27(INT32_MIN, 4); }, {INT32_MIN, 4}},
      {31, [&] { return service->EngineCall31(0); }, {0}},
      {32, [&] { return service->EngineCall32(123456); }, {123456}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.op);
    host.media_engine->SetResult(row.op, 1000 + row.op);
    EXPECT_EQ(row.call(), 1000 + row.op);
    auto calls = host.media_engine->CallsOf(row.op);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].ints, row.args);
  }
  EXPECT_TRUE(Reports().empty());
  EXPECT_TRUE(ServiceLines().empty());
}

}  // namespace
}  // namespace service_test
