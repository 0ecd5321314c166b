// The service's requests: the shared operation shape (context gone, empty callback objects,
// object forms), attaching the media engine and its pass-through calls; joining, leaving and
// destroying, members and lists, live publishing; conference control, screen sharing and the
// class-scene operations.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/service_fixture.h"

namespace service_test {
namespace {

using service_test::operator<<;

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
    Op("ApplyLinkMic", [](RtcService& s, auto... cb) { s.ApplyLinkMic(true, cb...); }),
    Op("ApproveSelf", [](RtcService& s, auto... cb) { s.ApproveLinkMic("alice", false, cb...); }),
    Op("StartRecord", [](RtcService& s, auto... cb) { s.StartRecord(cb...); }),
    Op("GetConfDetail", [](RtcService& s, auto... cb) { s.GetConfDetail(cb...); }),
    Op("StartScreenShare", [](RtcService& s, auto... cb) { s.StartScreenShare(1, 2, cb...); }),
    Op("StopScreenShare", [](RtcService& s, auto... cb) { s.StopScreenShare(cb...); }),
    Op("SetLayout", [](RtcService& s, auto... cb) { s.SetLayout({"u1"}, 2, cb...); }),
    Op("StartClass", [](RtcService& s, auto... cb) { s.StartClass({"cls"}, cb...); }),
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
                         RowName());

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
  EXPECT_TRUE(ServiceLines().empty());
}

// ---- conference ----------------------------------------------------------------------------

class ConferenceTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    Answer("getToken", Bytes("86 01 a2 't1' 02 a3 'tok' 03 a2 't3' 04 a2 't4' 05 cf 00 00 00 01 "
                             "2a 05 f2 00 06 a2 't6'"));
    service = MakeAttachedService();
  }
  void Join() { service->JoinRtc(99, result.OnSuccess(), result.OnFailure()); }
  void Leave(bool destroy) { service->LeaveRtc(destroy, result.OnSuccess(), result.OnFailure()); }
  void Publish() { service->StartRoadPublish(result.OnSuccess(), result.OnFailure()); }

  std::shared_ptr<RtcService> service;
  ResultRecorder<> result;
};

// Without a conference one is created and stored before the token request.
TEST_F(ConferenceTest, JoinAsksForATokenAndJoinsTheChannel) {
  InConference();
  Join();
  const vanta::meta::JoinChannelInfo info = host.media_engine->CallsOf(4).at(0).join;
  EXPECT_EQ(info.channel_id + "|" + info.user_id + "|" + info.token + "|" + info.token_text3 + "|" +
                info.token_text4 + "|" + info.token_text6 + "|" +
                std::to_string(info.token_number5),
            "conf-1|alice|tok|t3|t4|t6|5000000000");
  host.room->RemovePluginInstanceId("rtc");
  host.room_manager->create_rtc().SucceedWith({"conf-new"});
  Join();
  const auto create = host.room_manager->create_rtc_requests().Snapshot().at(0);
  EXPECT_EQ(create.creator_id + "|" + create.owner_id + "|" + create.title + "|" + create.extra,
            "alice|alice|room room-1|");
  Strs rooms;
  EXPECT_EQ(Sent(&rooms),
            (Strs{Rtc("getToken", "81 01 a6 'conf-1'"), Rtc("getToken", "81 01 a8 'conf-new'")}));
  EXPECT_EQ(rooms.back(), "conf-new|");
  EXPECT_EQ(host.media_engine->CallsOf(4).at(1).join.channel_id, "conf-new");
  EXPECT_EQ(Outcomes(result), (Strs{"ok", "ok"}));
  EXPECT_EQ(Reports(), (Strs{"127 {rtc_id=conf-1} 0 ''", "127 {rtc_id=conf-new} 0 ''",
                             "104 {rtc_id=conf-new} 0 ''"}));
  EXPECT_TRUE(ServiceLines().empty());
}

TEST_F(ConferenceTest, JoinFailures) {
  host.room_manager->create_rtc().FailWith(HostError(-9, "room closed"));
  size_t listener_events_at_failure = 0;
  service->JoinRtc(
      0, [] { ADD_FAILURE(); },
      [&](const NexoError&) { listener_events_at_failure = host.event_listener->events().size(); });
  EXPECT_EQ(listener_events_at_failure, 1u) << "the listener hears first";
  EXPECT_EQ(host.event_listener->EventsOf(2).at(0).error.reason, "room closed");
  EXPECT_EQ(Reports(), Strs{"104 {rtc_id=} -9 'room closed'"});

  ClearRecords();
  InConference();
  FailLocally("getToken", "-7", "net down");
  Join();
  EXPECT_EQ(Outcomes(result), Strs{"-7 'net down'"});
  EXPECT_EQ(Reports(), Strs{"127 {rtc_id=conf-1} -7 'net down'"});
  EXPECT_TRUE(host.media_engine->CallsOf(4).empty());

  // An empty token is only logged.
  Answer("getToken", Bytes("82 02 a0 04 a2 't4'"));
  Join();
  EXPECT_EQ(ServiceLines(), Strs{"INFO:get token error"});
  EXPECT_EQ(Outcomes(result), (Strs{"-7 'net down'", "ok"}));
}

TEST_F(ConferenceTest, LeaveReportsTheLeaveStatusAndLeavesTheChannel) {
  Leave(true);
  EXPECT_EQ(ServiceLines(), Strs{"INFO:leave channel"}) << "no conference: nothing more";
  EXPECT_TRUE(Sent().empty() && Reports().empty() && EngineOps().empty());

  ClearRecords();
  InConference();
  Leave(false);
  EXPECT_EQ(ServiceLines(), (Strs{"INFO:leave channel", "INFO:ReportLeaveStatus, conf_id=conf-1",
                                  "INFO:ReportLeaveStatus success"}));
  EXPECT_EQ(Sent(), Strs{Rtc("reportLeaveStatus", "82 01 a6 'conf-1' 02 a0")});
  EXPECT_EQ(EngineOps(), std::vector<int>{5});
  EXPECT_EQ(Reports(), (Strs{"126 {rtc_id=conf-1} 0 ''", "109 {rtc_id=conf-1} 0 ''"}));

  ClearRecords();
  FailWithAdaptorError("reportLeaveStatus", "late");
  service->SetMediaEngine(nullptr);
  Leave(false);
  EXPECT_EQ(ServiceLines().back(), "ERROR:ReportLeaveStatus failed, code=4001 msg=late");
  EXPECT_EQ(Reports(), Strs{"126 {rtc_id=conf-1} 4001 'late'"}) << "no engine: no report 109";
  EXPECT_EQ(Outcomes(result), (Strs{"ok", "ok"})) << "the leave goes on";
  EXPECT_EQ(host.room->InstanceId("rtc"), "conf-1") << "leaving does not destroy";
}

TEST_F(ConferenceTest, OwnerDestroysTheConferenceAndKeepsItWhenDestroyingFails) {
  InConference();
  host.room_manager->destroy_rtc().FailWith(HostError(-4, "busy"));
  Leave(true);
  EXPECT_EQ(host.room->InstanceId("rtc"), "conf-1");
  host.room_manager->destroy_rtc().SucceedWith({});
  Leave(true);
  EXPECT_EQ(host.room->InstanceId("rtc"), "");
  EXPECT_EQ(host.room_manager->destroy_rtc_requests().Snapshot().at(1).rtc_id, "conf-1");
  EXPECT_EQ(Outcomes(result), (Strs{"-4 'busy'", "ok"}));
  EXPECT_EQ(Reports().at(2), "105 {rtc_id=conf-1} -4 'busy'");
  EXPECT_EQ(Reports().at(5), "105 {rtc_id=conf-1} 0 ''");
}

// Only the room's owner may destroy: the channel is left and the status reported first.
TEST_F(ConferenceTest, DestroyWithoutOwnershipIsRefused) {
  for (const auto& [user, owner] : std::vector<std::pair<std::string, std::string>>{
           {kUser, "bob"}, {kUser, ""}, {"", ""}, {kUser, "Alice"}}) {
    SCOPED_TRACE(user + " owner " + owner);
    refhost::ReferenceHost room_host(user, kRoom, owner);
    room_host.room->SetPluginInstanceId("rtc", "conf-1");
    auto own = std::make_shared<RtcService>(room_host.context);
    own->SetMediaEngine(room_host.media_engine);
    ResultRecorder<> outcome;
    own->LeaveRtc(true, outcome.OnSuccess(), outcome.OnFailure());
    EXPECT_EQ(Outcomes(outcome), Strs{"0 'no permission to destroy rtc'"});
    EXPECT_EQ(room_host.media_engine->Ops(), (std::vector<int>{10, 1, 5}));
    EXPECT_TRUE(room_host.room_manager->destroy_rtc_requests().Snapshot().empty());
    room_host.media_engine->ClearEventListener();
  }
}

// The list is checked before the conference; every field of a member record goes on the wire;
// the report lists the ids, and on failure the room too.
TEST_F(ConferenceTest, AddMembers) {
  service->AddMembers({}, result.OnSuccess(), result.OnFailure());
  service->AddMembers({Member("u1")}, result.OnSuccess(), result.OnFailure());
  InConference();
  vanta::rtc::ConfUser full = Member("u1");
  full.number4 = 4;
  full.number14 = -1;
  service->AddMembers({full}, result.OnSuccess(), result.OnFailure());
  FailLocally("addMembers", "-7", "net down");
  service->AddMembers({Member("u1"), Member(""), Member("u3")}, result.OnSuccess(),
                      result.OnFailure());
  EXPECT_EQ(Outcomes(result),
            (Strs{"0 'user_list is empty'", "0 'rtc_id is empty'", "ok", "-7 'net down'"}));
  EXPECT_EQ(Sent().at(0), Rtc("addMembers",
                              "82 01 a6 'conf-1' 02 91 8e 01 a2 'u1' 02 a0 03 a0 04 04 05 a0 06 00 "
                              "07 00 08 00 09 a0 0a a0 0b 00 0c 00 0d a0 0e ff"));
  EXPECT_EQ(Reports(), (Strs{"110 {rtc_id=conf-1,user_list=u1} 0 ''",
                             "110 {room_id=room-1,rtc_id=conf-1,user_list=u1,,u3} -7 'net down'"}));
}

// The caller's record goes out with the room's conference id; the answer comes back as it was
// decoded, an error as the client made it; nothing is logged or reported.
TEST_F(ConferenceTest, MemberLists) {
  const vanta::rtc::ListApplyLinkMicUserReq req{"stale", 2, 300};
  ResultRecorder<vanta::rtc::ListApplyLinkMicUserRsp> got;
  service->ListApplyLinkMicUser(req, got.OnSuccess(), got.OnFailure());
  InConference();
  Answer("listApplyLinkMicUser", Bytes("83 01 92 81 01 a2 'u7' 81 01 a2 'u8' 02 c3 03 02"));
  service->ListApplyLinkMicUser(req, got.OnSuccess(), got.OnFailure());
  FailWithAdaptorError("listConfUser", "gone");
  ResultRecorder<vanta::rtc::ListConfUserRsp> users;
  service->ListConfUser({"stale", 2, 300}, users.OnSuccess(), users.OnFailure());

  EXPECT_EQ(Sent(), (Strs{Rtc("listApplyLinkMicUser", "83 01 a6 'conf-1' 02 02 03 cd 01 2c"),
                          Rtc("listConfUser", "83 01 a6 'conf-1' 02 02 03 cd 01 2c")}));
  EXPECT_EQ(Outcomes(got), (Strs{"0 'no rtc'", "ok"}));
  const auto answer = std::get<0>(got.results()[1].response);
  EXPECT_EQ(answer.users, (std::vector<vanta::rtc::ConfUser>{Member("u7"), Member("u8")}));
  EXPECT_TRUE(answer.flag2);
  EXPECT_EQ(answer.number3, 2);
  EXPECT_EQ(Outcomes(users), Strs{"4001 'gone'"});
  EXPECT_EQ(users.results()[0].error.developer_message + "|" + users.results()[0].error.scope,
            "dev|scope");
  EXPECT_TRUE(ServiceLines().empty());
  EXPECT_TRUE(Reports().empty());
}

// ---- live broadcast ------------------------------------------------------------------------

TEST_F(ConferenceTest, PublishToTheRoomsLiveOrANewOneStoredBeforeThePush) {
  InConference();
  host.room->SetPluginInstanceId("live", "live-1");
  vanta::live::LiveDetail detail;
  detail.push_url = "rtmp://push/1";
  host.live_manager->live_detail().SucceedWith(detail);
  host.live_manager->publish().SucceedWith({"live-1", "rtmp://push/1", "rtmp://pull/1", 2});
  Publish();
  EXPECT_EQ(ServiceLines(), (Strs{"INFO:StartRoadPublish", "INFO:PublishLive Success"}));
  EXPECT_EQ(
      Reports(),
      (Strs{"107 {push_url=rtmp://push/1,rtc_id=conf-1} 0 ''",
            "124 {live_id=live-1,live_status=2,pull_url=rtmp://pull/1,push_url=rtmp://push/1} "
            "0 ''",
            "106 {rtc_id=conf-1} 0 ''"}));

  host.room->RemovePluginInstanceId("live");
  host.room_manager->create_live().SucceedWith({"room-1", "live-9", "rtmp://push/9", ""});
  Publish();
  const auto create = host.room_manager->create_live_requests().Snapshot().at(0);
  EXPECT_EQ(create.owner_id + "|" + create.title + "|" + create.cover_url + "|" +
                create.description + "|" + create.extra,
            "alice|room room-1|||");
  Strs rooms;
  EXPECT_EQ(Sent(&rooms),
            (Strs{Rtc("pushLiveStream", "83 01 a6 'conf-1' 02 ad 'rtmp://push/1' 03 01"),
                  Rtc("pushLiveStream", "83 01 a6 'conf-1' 02 ad 'rtmp://push/9' 03 01")}));
  EXPECT_EQ(rooms.back(), "conf-1|live-9");
  EXPECT_EQ(host.live_manager->live_detail_requests().Snapshot(), Strs{"live-1"});
  EXPECT_EQ(host.live_manager->publish_requests().Snapshot().at(1).live_id, "live-9");
  EXPECT_EQ(Outcomes(result), (Strs{"ok", "ok"}));
}

// Failures before and of the push reach the caller, reported with -1 whatever the code; a
// publish that fails after the push (the caller has heard of it) is only logged and reported.
TEST_F(ConferenceTest, PublishFailures) {
  InConference();
  host.room->SetPluginInstanceId("live", "live-1");
  host.live_manager->live_detail().FailWith(HostError(-4, "gone"));
  Publish();
  host.live_module->SetLiveManager(nullptr);
  Publish();
  host.live_module->SetLiveManager(host.live_manager);
  host.live_manager->live_detail().SucceedWith({});
  FailLocally("pushLiveStream", "-7", "net down");
  Publish();
  EXPECT_EQ(Outcomes(result), (Strs{"-4 'gone'", "0 'no live_manager'", "-7 'net down'"}));
  EXPECT_EQ(Reports(),
            (Strs{"107 {push_url=,rtc_id=conf-1} -1 'gone'",
                  "107 {push_url=,rtc_id=conf-1} -1 'no live_manager'",
                  "107 {push_url=,rtc_id=conf-1} 0 ''", "106 {rtc_id=conf-1} -1 'net down'"}));
  EXPECT_TRUE(host.live_manager->publish_requests().Snapshot().empty());

  ClearRecords();
  Answer("pushLiveStream", Bytes("80"));
  host.live_manager->publish().FailWith(HostError(-8, "denied"));
  Publish();
  EXPECT_EQ(Outcomes(result).back(), "ok");
  EXPECT_EQ(ServiceLines(), (Strs{"INFO:StartRoadPublish", "INFO:PublishLive error: denied"}));
  EXPECT_EQ(Reports().at(1), "124 {live_id=,live_status=,pull_url=,push_url=} -8 'denied'");
}

// ---- control -------------------------------------------------------------------------------

using Run = std::function<void(RtcService&, const RtcService::Done&, const RtcService::Failed&)>;

class ControlTest : public ConferenceTest {
 protected:
  void SetUp() override {
    ConferenceTest::SetUp();
    InConference();
  }
  void StateChanged(int32_t first, int32_t second) {
    ASSERT_TRUE(host.media_engine->Emit([=](vanta::meta::RtcMediaEventListener& l) {
      l.OnScreenShareStateChanged(first, second, 0);
    }));
  }
};

struct ControlRow {
  const char* name;  // also the log lines' "<name> success" / "<name> failed, code=.. msg=.."
  Run run;
  std::string request;       // "<op> <body>"
  std::string sending_line;  // none: ""
  std::string report;        // "<id> {params}", none: ""
};

class ControlRequests : public ControlTest, public ::testing::WithParamInterface<ControlRow> {};

// The failure's code is 32-bit and reaches the report sign-extended.
TEST_P(ControlRequests, LogCallBackAndReportOnSuccessAndFailure) {
  const ControlRow& row = GetParam();
  const std::string op = row.request.substr(0, row.request.find(' '));
  for (bool fail : {false, true}) {
    SCOPED_TRACE(fail ? "failure" : "success");
    ClearRecords();
    if (fail) FailLocally(op, "-2147483648", "net down");
    ResultRecorder<> result;
    row.run(*service, result.OnSuccess(), result.OnFailure());
    EXPECT_EQ(Sent(), Strs{Rtc(op, row.request.substr(op.size() + 1))});
    Strs lines = row.sending_line.empty() ? Strs{} : Strs{row.sending_line};
    lines.push_back(fail ? "ERROR:" + std::string(row.name) +
                               " failed, code=-2147483648 msg=net down"
                         : "INFO:" + std::string(row.name) + " success");
    EXPECT_EQ(ServiceLines(), lines);
    EXPECT_EQ(Outcomes(result), Strs{fail ? "-2147483648 'net down'" : "ok"});
    EXPECT_EQ(result.results().at(0).error.domain, fail ? 1 : 0);
    const std::string outcome = fail ? " -2147483648 'net down'" : " 0 ''";
    EXPECT_EQ(Reports(), row.report.empty() ? Strs{} : Strs{row.report + outcome});
  }
}

INSTANTIATE_TEST_SUITE_P(
    Operations, ControlRequests,
    ::testing::Values(
        ControlRow{
            "ApplyLinkMic", [](RtcService& s, auto& ok, auto& ko) { s.ApplyLinkMic(true, ok, ko); },
            "applyLinkMic 82 01 a6 'conf-1' 02 c3",
            "INFO:ApplyLinkMic success, apply=1 , rtc_id=conf-1", "122 {apply=1,rtc_id=conf-1}"},
        ControlRow{
            "ApproveLinkMic",
            [](RtcService& s, auto& ok, auto& ko) { s.ApproveLinkMic("bob", false, ok, ko); },
            "approveLinkMic 83 01 a6 'conf-1' 02 a3 'bob' 03 c2",
            "INFO:ApproveLinkMic success, approve=0 , rtc_id=conf-1", ""},
        ControlRow{"KickUserFromRtc",
                   [](RtcService& s, auto& ok, auto& ko) {
                     s.KickUserFromRtc({"u1", "", "u3"}, ok, ko);
                   },
                   "kickMembers 82 01 a6 'conf-1' 02 93 a2 'u1' a0 a2 'u3'",
                   "INFO:KickUserFromRtc, approve=rtc_id=conf-1",
                   "111 {rtc_id=conf-1,user_list=u1,,u3}"},
        ControlRow{"StartRecord", [](RtcService& s, auto& ok, auto& ko) { s.StartRecord(ok, ko); },
                   "startRecord 82 01 a6 'conf-1' 02 01", "INFO:StartRecord, approve=rtc_id=conf-1",
                   "112 {rtc_id=conf-1}"},
        ControlRow{"SetLayout",
                   [](RtcService& s, auto& ok, auto& ko) {
                     s.SetLayout({"u1", "u2"}, -3, ok, ko);
                   },
                   "setLayout 83 01 a6 'conf-1' 02 92 a2 'u1' a2 'u2' 03 fd", "", ""},
        ControlRow{"GetConfDetail",
                   [](RtcService& s, auto ok, auto& ko) {
                     s.GetConfDetail([ok](const auto&) { ok(); }, ko);
                   },
                   "getConfDetail 81 01 a6 'conf-1'", "", ""}),
    RowName());

// Without a conference most operations still go out, with an empty id; six refuse at once.
// Refusing one's own link-mic is a join status; approving oneself needs nothing.
TEST_F(ControlTest, ChecksBeforeSending) {
  service->ApproveLinkMic(kUser, false, result.OnSuccess(), result.OnFailure());
  service->ApproveLinkMic(kUser, true, result.OnSuccess(), result.OnFailure());
  EXPECT_EQ(Reports(), Strs{"125 {join_status=4,rtc_id=conf-1} 0 ''"});
  host.room->RemovePluginInstanceId("rtc");
  service->ApplyLinkMic(true, result.OnSuccess(), result.OnFailure());
  EXPECT_EQ(Sent(), (Strs{Rtc("reportJoinStatus",
                              "87 01 a6 'conf-1' 02 a5 'alice' 03 a0 04 04 05 a0 06 00 07 00"),
                          Rtc("applyLinkMic", "82 01 a0 02 c3")}));
  EXPECT_EQ(ServiceLines(),
            (Strs{"INFO:ApproveLinkMic success, approve=0 , rtc_id=conf-1",
                  "INFO:ApproveLinkMic success, approve=1 , rtc_id=conf-1",
                  "INFO:ApplyLinkMic success, apply=1 , rtc_id=", "INFO:ApplyLinkMic success"}));
  EXPECT_EQ(Outcomes(result), Strs{"ok"}) << "approving oneself answers nobody";

  ClearRecords();
  ResultRecorder<> refused;
  service->SetLayout({"u1"}, 1, refused.OnSuccess(), refused.OnFailure());
  service->RtcMuteAll(true, refused.OnSuccess(), refused.OnFailure());
  service->RtcMuteUser("bob", true, refused.OnSuccess(), refused.OnFailure());
  service->StopScreenShare(refused.OnSuccess(), refused.OnFailure());
  service->StartScreenShare(1, 2, refused.OnSuccess(), refused.OnFailure());
  service->StartScreenShareAlt(1, 2, refused.OnSuccess(), refused.OnFailure());
  EXPECT_EQ(Outcomes(refused), Strs(6, "0 'rtc_id is empty'"));
  EXPECT_TRUE(Sent().empty() && EngineOps().empty() && ServiceLines().empty() && Reports().empty());
}

// A start the engine accepts completes on the share-started event, one it refuses at once; the
// answer finds whatever start is stored when it arrives.
TEST_F(ControlTest, ShareStart) {
  host.media_engine->SetResult(29, -1);
  service->StartScreenShareAlt(5, -6, result.OnSuccess(), result.OnFailure());
  EXPECT_EQ(Outcomes(result), Strs{"0 'rtc StartScreenShareByDesktopId failed'"});
  ResultRecorder<> replaced;
  service->StartScreenShare(1, 1, replaced.OnSuccess(), replaced.OnFailure());
  service->StartScreenShare(5, -6, result.OnSuccess(), result.OnFailure());
  EXPECT_EQ(EngineOps(), (std::vector<int>{29, 28, 28}));
  EXPECT_EQ(host.media_engine->CallsOf(28).back().ints, (std::vector<int32_t>{5, -6}));
  EXPECT_TRUE(Sent().empty()) << "nothing until the engine reports the share";
  StateChanged(0, 3);
  FailLocally("shareScreen", "-5", "no screen");
  service->StartScreenShare(1, 2, result.OnSuccess(), result.OnFailure());
  StateChanged(3, 3);  // the second state is tested first: a start
  EXPECT_EQ(Sent(), Strs(2, Rtc("shareScreen", "82 01 a6 'conf-1' 02 c3")));
  EXPECT_EQ(ServiceLines(),
            (Strs{"INFO:ShareScreen success", "ERROR:ShareScreen failed, code=-5 msg=no screen"}));
  EXPECT_EQ(replaced.count(), 0u);
  EXPECT_EQ(Outcomes(result),
            (Strs{"0 'rtc StartScreenShareByDesktopId failed'", "ok", "-5 'no screen'"}));
  service->StartScreenShare(1, 2, result.OnSuccess(), result.OnFailure());
  host.room->RemovePluginInstanceId("rtc");
  StateChanged(3, 0);
  EXPECT_EQ(Outcomes(result).back(), "0 'rtc_id is empty'");
}

// A stop completes on the share-ended event; a failed stop, or one without a success function,
// leaves the engine alone; other states do nothing.
TEST_F(ControlTest, ShareStop) {
  StateChanged(3, 0);
  service->StopScreenShare(result.OnSuccess(), result.OnFailure());
  EXPECT_EQ(Sent(), Strs{Rtc("shareScreen", "82 01 a6 'conf-1' 02 c2")});
  EXPECT_EQ(EngineOps(), std::vector<int>{30});
  EXPECT_EQ(result.count(), 0u);
  StateChanged(3, 0);
  StateChanged(0, 0);
  StateChanged(1, 2);
  EXPECT_EQ(Outcomes(result), Strs{"ok"});
  service->StopScreenShare(nullptr, result.OnFailure());
  FailWithAdaptorError("shareScreen", "busy");
  service->StopScreenShare(result.OnSuccess(), result.OnFailure());
  EXPECT_EQ(Outcomes(result), (Strs{"ok", "4001 'busy'"}));
  EXPECT_EQ(ServiceLines(), (Strs{"INFO:ShareScreen success", "INFO:ShareScreen success",
                                  "ERROR:ShareScreen failed, code=4001 msg=busy"}));
  EXPECT_EQ(EngineOps(), std::vector<int>{30});
}

// The class-scene client gets the caller's record and functions as they are; the service adds
// no line of its own.
TEST_F(ControlTest, ClassSceneOperationsGoToTheClassClient) {
  Answer("getClassDetail", Bytes("82 01 a5 'cls-1' 06 cf 00 00 00 02 00 00 00 00"));
  FailWithAdaptorError("stopClass", "ended");
  ResultRecorder<vanta::sceneclass::StartClassRsp> started;
  ResultRecorder<vanta::sceneclass::StopClassRsp> stopped;
  ResultRecorder<vanta::sceneclass::GetClassDetailRsp> detail;
  service->StartClass({"cls-1"}, started.OnSuccess(), started.OnFailure());
  service->StopClass({"cls-2"}, stopped.OnSuccess(), stopped.OnFailure());
  service->GetClassDetail({"cls-3"}, detail.OnSuccess(), detail.OnFailure());
  EXPECT_EQ(Sent(), (Strs{Rtc("startClass", "81 01 a5 'cls-1'", kClassUri),
                          Rtc("stopClass", "81 01 a5 'cls-2'", kClassUri),
                          Rtc("getClassDetail", "81 01 a5 'cls-3'", kClassUri)}));
  EXPECT_EQ(Outcomes(started), Strs{"ok"});
  EXPECT_EQ(Outcomes(stopped), Strs{"4001 'ended'"});
  ASSERT_EQ(Outcomes(detail), Strs{"ok"});
  EXPECT_EQ(std::get<0>(detail.results()[0].response).field6, 8589934592);
  EXPECT_TRUE(ServiceLines().empty() && Reports().empty());
}

}  // namespace
}  // namespace service_test
