// Conference control: what each operation puts on the wire, logs and reports, its checks, the
// screen-share start and stop that complete on the engine's state event, and the class-scene
// operations.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/service_fixture.h"

namespace service_test {
namespace {

using refhost::ResultRecorder;

struct ControlRow {
  const char* name;
  std::string op;
  std::function<void(RtcService&, const ResultRecorder<>&)> run;
  std::string body;
  std::vector<std::string> sending_lines;
  std::string line_name;  // "<name> success" / "<name> failed, code=.. msg=.."
  int32_t event_id;       // 0: none
  Params params;
};

std::ostream& operator<<(std::ostream& os, const ControlRow& row) {
  return os << row.name;
}

class ControlTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    InConference("conf-1");
    service = MakeAttachedService();
  }
  std::shared_ptr<RtcService> service;
};

class ControlRequests : public ControlTest, public ::testing::WithParamInterface<ControlRow> {};

TEST_P(ControlRequests, SuccessLogsCallsBackAndReports) {
  const ControlRow& row = GetParam();
  ResultRecorder<> result;
  row.run(*service, result);

  ASSERT_EQ(SentRequests().size(), 1u);
  EXPECT_EQ(SentRequests()[0].uri, kRtcUri + row.op);
  EXPECT_EQ(SentRequests()[0].body, Bytes(row.body));
  std::vector<std::string> lines = row.sending_lines;
  lines.push_back("INFO:" + row.line_name + " success");
  EXPECT_EQ(ServiceLines(), lines);
  ASSERT_EQ(result.count(), 1u);
  EXPECT_TRUE(result.results()[0].success);
  if (row.event_id == 0) {
    EXPECT_TRUE(Reports().empty());
  } else {
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0].event_id, row.event_id);
    EXPECT_EQ(Reports()[0].params, row.params);
    EXPECT_EQ(Reports()[0].code, 0);
    EXPECT_EQ(Reports()[0].message, "");
  }
}

// The error's code is 32-bit and reaches the report sign-extended.
TEST_P(ControlRequests, FailureLogsPassesTheErrorOnAndReportsItsCode) {
  const ControlRow& row = GetParam();
  FailLocally(row.op, "-2147483648", "net down");
  ResultRecorder<> result;
  row.run(*service, result);

  std::vector<std::string> lines = row.sending_lines;
  lines.push_back("ERROR:" + row.line_name + " failed, code=-2147483648 msg=net down");
  EXPECT_EQ(ServiceLines(), lines);
  ASSERT_EQ(result.count(), 1u);
  EXPECT_FALSE(result.results()[0].success);
  EXPECT_EQ(result.results()[0].error.domain, 1);
  EXPECT_EQ(result.results()[0].error.code, INT32_MIN);
  EXPECT_EQ(result.results()[0].error.reason, "net down");
  if (row.event_id == 0) {
    EXPECT_TRUE(Reports().empty());
  } else {
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0].event_id, row.event_id);
    EXPECT_EQ(Reports()[0].params, row.params);
    EXPECT_EQ(Reports()[0].code, -2147483648LL);
    EXPECT_EQ(Reports()[0].message, "net down");
  }
}

template <typename F>
std::function<void(RtcService&, const ResultRecorder<>&)> WithRecorder(F f) {
  return [f](RtcService& s, const ResultRecorder<>& r) { f(s, r.OnSuccess(), r.OnFailure()); };
}

INSTANTIATE_TEST_SUITE_P(
    Operations, ControlRequests,
    ::testing::Values(
        ControlRow{
            "ApplyLinkMic",
            "applyLinkMic",
            WithRecorder([](RtcService& s, auto ok, auto ko) { s.ApplyLinkMic(true, ok, ko); }),
            "82 01 a6 'conf-1' 02 c3",
            {"INFO:ApplyLinkMic success, apply=1 , rtc_id=conf-1"},
            "ApplyLinkMic",
            122,
            {{"apply", "1"}, {"rtc_id", "conf-1"}}},
        ControlRow{
            "WithdrawLinkMic",
            "applyLinkMic",
            WithRecorder([](RtcService& s, auto ok, auto ko) { s.ApplyLinkMic(false, ok, ko); }),
            "82 01 a6 'conf-1' 02 c2",
            {"INFO:ApplyLinkMic success, apply=0 , rtc_id=conf-1"},
            "ApplyLinkMic",
            122,
            {{"apply", "0"}, {"rtc_id", "conf-1"}}},
        ControlRow{"ApproveLinkMic",
                   "approveLinkMic",
                   WithRecorder([](RtcService& s, auto ok, auto ko) {
                     s.ApproveLinkMic("bob", true, ok, ko);
                   }),
                   "83 01 a6 'conf-1' 02 a3 'bob' 03 c3",
                   {"INFO:ApproveLinkMic success, approve=1 , rtc_id=conf-1"},
                   "ApproveLinkMic",
                   0,
                   {}},
        ControlRow{"RefuseLinkMic",
                   "approveLinkMic",
                   WithRecorder([](RtcService& s, auto ok, auto ko) {
                     s.ApproveLinkMic("bob", false, ok, ko);
                   }),
                   "83 01 a6 'conf-1' 02 a3 'bob' 03 c2",
                   {"INFO:ApproveLinkMic success, approve=0 , rtc_id=conf-1"},
                   "ApproveLinkMic",
                   0,
                   {}},
        ControlRow{"KickThreeUsers",
                   "kickMembers",
                   WithRecorder([](RtcService& s, auto ok, auto ko) {
                     s.KickUserFromRtc({"u1", "u2", "u3"}, ok, ko);
                   }),
                   "82 01 a6 'conf-1' 02 93 a2 'u1' a2 'u2' a2 'u3'",
                   {"INFO:KickUserFromRtc, approve=rtc_id=conf-1"},
                   "KickUserFromRtc",
                   111,
                   {{"rtc_id", "conf-1"}, {"user_list", "u1,u2,u3"}}},
        ControlRow{
            "KickNobody",
            "kickMembers",
            WithRecorder([](RtcService& s, auto ok, auto ko) { s.KickUserFromRtc({}, ok, ko); }),
            "82 01 a6 'conf-1' 02 90",
            {"INFO:KickUserFromRtc, approve=rtc_id=conf-1"},
            "KickUserFromRtc",
            111,
            {{"rtc_id", "conf-1"}, {"user_list", ""}}},
        ControlRow{"StartRecord",
                   "startRecord",
                   WithRecorder([](RtcService& s, auto ok, auto ko) { s.StartRecord(ok, ko); }),
                   "82 01 a6 'conf-1' 02 01",
                   {"INFO:StartRecord, approve=rtc_id=conf-1"},
                   "StartRecord",
                   112,
                   {{"rtc_id", "conf-1"}}},
        ControlRow{"StopRecord",
                   "stopRecord",
                   WithRecorder([](RtcService& s, auto ok, auto ko) { s.StopRecord(ok, ko); }),
                   "81 01 a6 'conf-1'",
                   {"INFO:StopRecord, approve=rtc_id=conf-1"},
                   "StopRecord",
                   113,
                   {{"rtc_id", "conf-1"}}},
        ControlRow{"SetLayout",
                   "setLayout",
                   WithRecorder(
                       [](RtcService& s, auto ok, auto ko) {
                         s.SetLayout({"u1", "u2"}, -3, ok, ko);
                       }),
                   "83 01 a6 'conf-1' 02 92 a2 'u1' a2 'u2' 03 fd",
                   {},
                   "SetLayout",
                   0,
                   {}},
        ControlRow{
            "RtcMuteAll",
            "rtcMuteAll",
            WithRecorder([](RtcService& s, auto ok, auto ko) { s.RtcMuteAll(true, ok, ko); }),
            "82 01 a6 'conf-1' 02 c3",
            {},
            "RtcMuteAll",
            0,
            {}},
        ControlRow{"RtcMuteUser",
                   "rtcMuteUser",
                   WithRecorder([](RtcService& s, auto ok,
                                   auto ko) { s.RtcMuteUser("bob", false, ok, ko); }),
                   "83 01 a6 'conf-1' 02 a3 'bob' 03 c2",
                   {},
                   "RtcMuteUser",
                   0,
                   {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControlTest, ConfDetailPassesTheDecodedRecord) {
  Answer("getConfDetail",
         Bytes("82 01 83 01 a2 'c1' 05 91 82 01 a2 'u1' 0e cf 00 00 00 02 18 71 1a 00 07 ff"
               "   02 d1 fc 18"));
  ResultRecorder<vanta::rtc::GetConfDetailRsp> result;
  service->GetConfDetail(result.OnSuccess(), result.OnFailure());

  EXPECT_EQ(SentRequests().at(0).uri, std::string(kRtcUri) + "getConfDetail");
  EXPECT_EQ(SentRequests().at(0).body, Bytes("81 01 a6 'conf-1'"));
  ASSERT_EQ(result.count(), 1u);
  ASSERT_TRUE(result.results()[0].success);
  vanta::rtc::GetConfDetailRsp expected;
  expected.conf_info.text1 = "c1";
  vanta::rtc::ConfUser user = Member("u1");
  user.number14 = 9000000000;
  expected.conf_info.users = {user};
  expected.conf_info.number7 = -1;
  expected.number2 = -1000;
  EXPECT_EQ(std::get<0>(result.results()[0].response), expected);
  EXPECT_EQ(ServiceLines(), (std::vector<std::string>{"INFO:GetConfDetail success"}));
  EXPECT_TRUE(Reports().empty());

  ClearRecords();
  FailWithAdaptorError("getConfDetail", "bad");
  service->GetConfDetail(result.OnSuccess(), result.OnFailure());
  ASSERT_EQ(result.count(), 2u);
  EXPECT_EQ(result.results()[1].error.code, 4001);
  EXPECT_EQ(ServiceLines(),
            (std::vector<std::string>{"ERROR:GetConfDetail failed, code=4001 msg=bad"}));
  EXPECT_TRUE(Reports().empty());
}

// Without a conference most operations still go out, with an empty id; four refuse at once.
TEST_F(ControlTest, WithoutAConferenceTheCheckingOperationsRefuse) {
  host.room->RemovePluginInstanceId("rtc");
  ResultRecorder<> result;
  service->ApplyLinkMic(true, result.OnSuccess(), result.OnFailure());
  EXPECT_EQ(SentRequests().at(0).body, Bytes("82 01 a0 02 c3"));
  EXPECT_EQ(ServiceLines(),
            (std::vector<std::string>{"INFO:ApplyLinkMic success, apply=1 , rtc_id=",
                                      "INFO:ApplyLinkMic success"}));

  ClearRecords();
  ResultRecorder<> refused;
  service->SetLayout({"u1"}, 1, refused.OnSuccess(), refused.OnFailure());
  service->RtcMuteAll(true, refused.OnSuccess(), refused.OnFailure());
  service->RtcMuteUser("bob", true, refused.OnSuccess(), refused.OnFailure());
  service->StopScreenShare(refused.OnSuccess(), refused.OnFailure());
  service->StartScreenShare(1, 2, refused.OnSuccess(), refused.OnFailure());
  service->StartScreenShareAlt(1, 2, refused.OnSuccess(), refused.OnFailure());
  ASSERT_EQ(refused.count(), 6u);
  for (const auto& r : refused.results()) {
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.error.code, 0);
    EXPECT_EQ(r.error.reason, "rtc_id is empty");
    EXPECT_EQ(r.error.domain, 0);
  }
  EXPECT_TRUE(SentRequests().empty());
  EXPECT_TRUE(EngineOps().empty());
  EXPECT_TRUE(ServiceLines().empty());
  EXPECT_TRUE(Reports().empty());
}

// Refusing one's own link-mic is a join status; approving oneself needs nothing.
TEST_F(ControlTest, ApprovingOneselfSendsNoRequest) {
  ResultRecorder<> result;
  service->ApproveLinkMic(kUser, false, result.OnSuccess(), result.OnFailure());
  EXPECT_EQ(ServiceLines(),
            (std::vector<std::string>{"INFO:ApproveLinkMic success, approve=0 , rtc_id=conf-1"}));
  EXPECT_EQ(SentUris(), (std::vector<std::string>{std::string(kRtcUri) + "reportJoinStatus"}));
  EXPECT_EQ(SentRequests().at(0).body,
            Bytes("87 01 a6 'conf-1' 02 a5 'alice' 03 a0 04 04 05 a0 06 00 07 00"));
  ASSERT_EQ(Reports().size(), 1u);
  EXPECT_EQ(Reports()[0].event_id, 125);
  EXPECT_EQ(Reports()[0].params, (Params{{"join_status", "4"}, {"rtc_id", "conf-1"}}));

  ClearRecords();
  service->ApproveLinkMic(kUser, true, result.OnSuccess(), result.OnFailure());
  EXPECT_EQ(ServiceLines(),
            (std::vector<std::string>{"INFO:ApproveLinkMic success, approve=1 , rtc_id=conf-1"}));
  EXPECT_TRUE(SentRequests().empty());
  EXPECT_TRUE(Reports().empty());
  EXPECT_EQ(result.count(), 0u);
}

// ---- screen sharing --------------------------------------------------------------------------

class ScreenShareTest : public ControlTest {
 protected:
  void StateChanged(int32_t first, int32_t second) {
    ASSERT_TRUE(host.media_engine->Emit([=](vanta::meta::RtcMediaEventListener& l) {
      l.OnScreenShareStateChanged(first, second, 0);
    }));
  }
  std::vector<std::string> ShareBodies() const {
    std::vector<std::string> out;
    for (const Sent& s : SentRequests()) {
      EXPECT_EQ(s.uri, std::string(kRtcUri) + "shareScreen");
      out.push_back(s.body);
    }
    return out;
  }
  ResultRecorder<> start;
  ResultRecorder<> stop;
};

TEST_F(ScreenShareTest, AcceptedStartCompletesOnTheStateEvent) {
  struct Case {
    const char* name;
    int op;
    std::function<void(RtcService&, const ResultRecorder<>&)> start;
  };
  for (const Case& c : {Case{"by desktop id", 28, WithRecorder([](RtcService&s, auto ok, auto ko) {
                               s.StartScreenShare(5, -6, ok, ko);
                             })},
                        Case{"alternative", 29, WithRecorder([](RtcService&s, auto ok, auto ko) {
                               s.StartScreenShareAlt(5, -6, ok, ko);
                             })}}) {
    SCOPED_TRACE(c.name);
    ClearRecords();
    ResultRecorder<> result;
    c.start(*service, result);
    ASSERT_EQ(EngineCalls().size(), 1u);
    EXPECT_EQ(EngineCalls()[0].op, c.op);
    EXPECT_EQ(EngineCalls()[0].ints, (std::vector<int32_t>{5, -6}));
    EXPECT_EQ(result.count(), 0u) << "nothing until the engine reports the share";
    EXPECT_TRUE(SentRequests().empty());

    StateChanged(0, 3);
    EXPECT_EQ(ShareBodies(), (std::vector<std::string>{Bytes("82 01 a6 'conf-1' 02 c3")}));
    EXPECT_EQ(ServiceLines(), (std::vector<std::string>{"INFO:ShareScreen success"}));
    ASSERT_EQ(result.count(), 1u);
    EXPECT_TRUE(result.results()[0].success);
  }
}

TEST_F(ScreenShareTest, RefusedStartFailsAtOnceAndStoresNothing) {
  for (int op : {28, 29}) {
    SCOPED_TRACE(op);
    host.media_engine->SetResult(op, -1);
    ResultRecorder<> result;
    if (op == 28) {
      service->StartScreenShare(1, 2, result.OnSuccess(), result.OnFailure());
    } else {
      service->StartScreenShareAlt(1, 2, result.OnSuccess(), result.OnFailure());
    }
    ASSERT_EQ(result.count(), 1u);
    EXPECT_FALSE(result.results()[0].success);
    EXPECT_EQ(result.results()[0].error.reason, "rtc StartScreenShareByDesktopId failed");
    EXPECT_EQ(result.results()[0].error.code, 0);

    StateChanged(0, 3);
    EXPECT_EQ(result.count(), 1u) << "the refused start's callbacks were not stored";
  }
  EXPECT_EQ(ShareBodies().size(), 2u);
}

// The answer finds whatever start is stored when it arrives: the latest accepted one.
TEST_F(ScreenShareTest, LaterStartReplacesTheStoredCallbacks) {
  ResultRecorder<> first;
  service->StartScreenShare(1, 1, first.OnSuccess(), first.OnFailure());
  service->StartScreenShare(2, 2, start.OnSuccess(), start.OnFailure());
  FailLocally("shareScreen", "-5", "no screen");
  StateChanged(0, 3);

  EXPECT_EQ(first.count(), 0u);
  ASSERT_EQ(start.count(), 1u);
  EXPECT_FALSE(start.results()[0].success);
  EXPECT_EQ(start.results()[0].error.code, -5);
  EXPECT_EQ(start.results()[0].error.reason, "no screen");
  EXPECT_EQ(ServiceLines(),
            (std::vector<std::string>{"ERROR:ShareScreen failed, code=-5 msg=no screen"}));
}

TEST_F(ScreenShareTest, StopCompletesWhenTheEngineReportsTheEnd) {
  service->StopScreenShare(stop.OnSuccess(), stop.OnFailure());
  EXPECT_EQ(ShareBodies(), (std::vector<std::string>{Bytes("82 01 a6 'conf-1' 02 c2")}));
  EXPECT_EQ(ServiceLines(), (std::vector<std::string>{"INFO:ShareScreen success"}));
  EXPECT_EQ(EngineOps(), (std::vector<int>{30}));
  EXPECT_EQ(stop.count(), 0u);

  StateChanged(3, 0);
  ASSERT_EQ(stop.count(), 1u);
  EXPECT_TRUE(stop.results()[0].success);
  StateChanged(0, 0);
  StateChanged(1, 2);
  EXPECT_EQ(stop.count(), 1u);
  EXPECT_EQ(SentRequests().size(), 1u) << "other states do nothing";
}

TEST_F(ScreenShareTest, StopFailureReachesTheCallerAndLeavesTheEngineAlone) {
  FailWithAdaptorError("shareScreen", "busy");
  service->StopScreenShare(stop.OnSuccess(), stop.OnFailure());
  ASSERT_EQ(stop.count(), 1u);
  EXPECT_FALSE(stop.results()[0].success);
  EXPECT_EQ(stop.results()[0].error.reason, "busy");
  EXPECT_EQ(ServiceLines(),
            (std::vector<std::string>{"ERROR:ShareScreen failed, code=4001 msg=busy"}));
  EXPECT_TRUE(EngineOps().empty());
}

TEST_F(ScreenShareTest, StopWithoutASuccessFunctionDoesNotStopTheEngine) {
  service->StopScreenShare(nullptr, stop.OnFailure());
  EXPECT_EQ(ServiceLines(), (std::vector<std::string>{"INFO:ShareScreen success"}));
  EXPECT_TRUE(EngineOps().empty());
  StateChanged(3, 0);
  EXPECT_EQ(stop.count(), 0u);
}

// The second state is tested first: both at 3 is a start.
TEST_F(ScreenShareTest, BothStatesActiveTakeTheStartPathOnly) {
  service->StartScreenShare(1, 2, start.OnSuccess(), start.OnFailure());
  service->StopScreenShare(stop.OnSuccess(), stop.OnFailure());
  ClearRecords();
  StateChanged(3, 3);
  EXPECT_EQ(ShareBodies(), (std::vector<std::string>{Bytes("82 01 a6 'conf-1' 02 c3")}));
  EXPECT_EQ(start.count(), 1u);
  EXPECT_EQ(stop.count(), 0u);
}

TEST_F(ScreenShareTest, StateEventWithoutAConferenceFailsTheStoredStart) {
  service->StartScreenShare(1, 2, start.OnSuccess(), start.OnFailure());
  service->StopScreenShare(stop.OnSuccess(), stop.OnFailure());
  host.room->RemovePluginInstanceId("rtc");
  ClearRecords();
  StateChanged(3, 0);
  ASSERT_EQ(start.count(), 1u);
  EXPECT_EQ(start.results()[0].error.reason, "rtc_id is empty");
  EXPECT_EQ(stop.count(), 0u);
  EXPECT_TRUE(SentRequests().empty());
}

// A state event before any start or stop finds nothing stored and calls nothing.
TEST_F(ScreenShareTest, StateEventsWithNothingStoredAreHarmless) {
  StateChanged(0, 3);
  StateChanged(3, 0);
  host.room->RemovePluginInstanceId("rtc");
  StateChanged(0, 3);
  EXPECT_EQ(ShareBodies().size(), 1u);
  EXPECT_EQ(ServiceLines(), (std::vector<std::string>{"INFO:ShareScreen success"}));
}

// ---- class scenes ----------------------------------------------------------------------------

// The class-scene client gets the caller's record and functions as they are; the service adds
// no line of its own.
TEST_F(ControlTest, ClassSceneOperationsGoToTheClassClient) {
  Answer("getClassDetail", Bytes("83 01 a5 'cls-1' 06 cf 00 00 00 02 00 00 00 00 0d a1 'h'"));
  FailWithAdaptorError("stopClass", "ended");
  ResultRecorder<vanta::sceneclass::StartClassRsp> started;
  ResultRecorder<vanta::sceneclass::StopClassRsp> stopped;
  ResultRecorder<vanta::sceneclass::GetClassDetailRsp> detail;
  service->StartClass({"cls-1"}, started.OnSuccess(), started.OnFailure());
  service->StopClass({"cls-2"}, stopped.OnSuccess(), stopped.OnFailure());
  service->GetClassDetail({"cls-3"}, detail.OnSuccess(), detail.OnFailure());

  const auto sent = SentRequests();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].uri, std::string(kClassUri) + "startClass");
  EXPECT_EQ(sent[0].body, Bytes("81 01 a5 'cls-1'"));
  EXPECT_EQ(sent[1].uri, std::string(kClassUri) + "stopClass");
  EXPECT_EQ(sent[1].body, Bytes("81 01 a5 'cls-2'"));
  EXPECT_EQ(sent[2].uri, std::string(kClassUri) + "getClassDetail");
  EXPECT_EQ(sent[2].body, Bytes("81 01 a5 'cls-3'"));

  ASSERT_EQ(started.count(), 1u);
  EXPECT_TRUE(started.results()[0].success);
  ASSERT_EQ(stopped.count(), 1u);
  EXPECT_EQ(stopped.results()[0].error.code, 4001);
  EXPECT_EQ(stopped.results()[0].error.reason, "ended");
  ASSERT_EQ(detail.count(), 1u);
  vanta::sceneclass::GetClassDetailRsp expected;
  expected.field1 = "cls-1";
  expected.field6 = 8589934592;
  EXPECT_EQ(std::get<0>(detail.results()[0].response), expected);

  EXPECT_TRUE(ServiceLines().empty());
  EXPECT_TRUE(Reports().empty());
}

}  // namespace
}  // namespace service_test
