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

using Run = std::function<void(RtcService&, const RtcService::Done&, const RtcService::Failed&)>;

class ControlTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    InConference("conf-1");
    service = MakeAttachedService();
  }
  void StateChanged(int32_t first, int32_t second) {
    ASSERT_TRUE(host.media_engine->Emit([=](vanta::meta::RtcMediaEventListener& l) {
      l.OnScreenShareStateChanged(first, second, 0);
    }));
  }
  std::shared_ptr<RtcService> service;
  ResultRecorder<> start, stop;
};

struct ControlRow {
  const char* name;
  Run run;
  std::string request;  // "<op> <body>"
  Strs sending_lines;
  std::string line_name;  // "<name> success" / "<name> failed, code=.. msg=.."
  std::string report;     // "<id> {params}", empty: none
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
    Strs lines = row.sending_lines;
    lines.push_back(fail ? "ERROR:" + row.line_name + " failed, code=-2147483648 msg=net down"
                         : "INFO:" + row.line_name + " success");
    EXPECT_EQ(ServiceLines(), lines);
    EXPECT_EQ(Outcomes(result), Strs{fail ? "-2147483648 'net down'" : "ok"});
    if (fail) {
      EXPECT_EQ(result.results()[0].error.domain, 1);
    }
    const std::string outcome = fail ? " -2147483648 'net down'" : " 0 ''";
    EXPECT_EQ(Reports(), row.report.empty() ? Strs{} : Strs{row.report + outcome});
  }
}

INSTANTIATE_TEST_SUITE_P(
    Operations, ControlRequests,
    ::testing::Values(
        ControlRow{"ApplyLinkMic",
                   [](RtcService& s, auto& ok, auto& ko) { s.ApplyLinkMic(true, ok, ko); },
                   "applyLinkMic 82 01 a6 'conf-1' 02 c3",
                   {"INFO:ApplyLinkMic success, apply=1 , rtc_id=conf-1"},
                   "ApplyLinkMic",
                   "122 {apply=1,rtc_id=conf-1}"},
        ControlRow{
            "RefuseLinkMic",
            [](RtcService& s, auto& ok, auto& ko) { s.ApproveLinkMic("bob", false, ok, ko); },
            "approveLinkMic 83 01 a6 'conf-1' 02 a3 'bob' 03 c2",
            {"INFO:ApproveLinkMic success, approve=0 , rtc_id=conf-1"},
            "ApproveLinkMic",
            ""},
        ControlRow{"KickThree",
                   [](RtcService& s, auto& ok, auto& ko) {
                     s.KickUserFromRtc({"u1", "u2", "u3"}, ok, ko);
                   },
                   "kickMembers 82 01 a6 'conf-1' 02 93 a2 'u1' a2 'u2' a2 'u3'",
                   {"INFO:KickUserFromRtc, approve=rtc_id=conf-1"},
                   "KickUserFromRtc",
                   "111 {rtc_id=conf-1,user_list=u1,u2,u3}"},
        ControlRow{"KickNobody",
                   [](RtcService& s, auto& ok, auto& ko) { s.KickUserFromRtc({}, ok, ko); },
                   "kickMembers 82 01 a6 'conf-1' 02 90",
                   {"INFO:KickUserFromRtc, approve=rtc_id=conf-1"},
                   "KickUserFromRtc",
                   "111 {rtc_id=conf-1,user_list=}"},
        ControlRow{"StartRecord",
                   [](RtcService& s, auto& ok, auto& ko) { s.StartRecord(ok, ko); },
                   "startRecord 82 01 a6 'conf-1' 02 01",
                   {"INFO:StartRecord, approve=rtc_id=conf-1"},
                   "StartRecord",
                   "112 {rtc_id=conf-1}"},
        ControlRow{"StopRecord",
                   [](RtcService& s, auto& ok, auto& ko) { s.StopRecord(ok, ko); },
                   "stopRecord 81 01 a6 'conf-1'",
                   {"INFO:StopRecord, approve=rtc_id=conf-1"},
                   "StopRecord",
                   "113 {rtc_id=conf-1}"},
        ControlRow{"SetLayout",
                   [](RtcService& s, auto& ok, auto& ko) {
                     s.SetLayout({"u1", "u2"}, -3, ok, ko);
                   },
                   "setLayout 83 01 a6 'conf-1' 02 92 a2 'u1' a2 'u2' 03 fd",
                   {},
                   "SetLayout",
                   ""},
        ControlRow{"RtcMuteUser",
                   [](RtcService& s, auto& ok, auto& ko) { s.RtcMuteUser("bob", false, ok, ko); },
                   "rtcMuteUser 83 01 a6 'conf-1' 02 a3 'bob' 03 c2",
                   {},
                   "RtcMuteUser",
                   ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControlTest, ConfDetailLogsItsOutcomeAndReportsNothing) {
  Answer("getConfDetail", Bytes("82 01 81 01 a2 'c1' 02 d1 fc 18"));
  ResultRecorder<vanta::rtc::GetConfDetailRsp> result;
  service->GetConfDetail(result.OnSuccess(), result.OnFailure());
  FailWithAdaptorError("getConfDetail", "bad");
  service->GetConfDetail(result.OnSuccess(), result.OnFailure());

  EXPECT_EQ(Sent(), Strs(2, Rtc("getConfDetail", "81 01 a6 'conf-1'")));
  EXPECT_EQ(Outcomes(result), (Strs{"ok", "4001 'bad'"}));
  EXPECT_EQ(std::get<0>(result.results()[0].response).number2, -1000);
  EXPECT_EQ(ServiceLines(),
            (Strs{"INFO:GetConfDetail success", "ERROR:GetConfDetail failed, code=4001 msg=bad"}));
  EXPECT_TRUE(Reports().empty());
}

// Without a conference most operations still go out, with an empty id; six refuse at once.
TEST_F(ControlTest, WithoutAConferenceTheCheckingOperationsRefuse) {
  host.room->RemovePluginInstanceId("rtc");
  ResultRecorder<> result;
  service->ApplyLinkMic(true, result.OnSuccess(), result.OnFailure());
  EXPECT_EQ(Sent(), Strs{Rtc("applyLinkMic", "82 01 a0 02 c3")});
  EXPECT_EQ(ServiceLines(),
            (Strs{"INFO:ApplyLinkMic success, apply=1 , rtc_id=", "INFO:ApplyLinkMic success"}));

  ClearRecords();
  ResultRecorder<> refused;
  service->SetLayout({"u1"}, 1, refused.OnSuccess(), refused.OnFailure());
  service->RtcMuteAll(true, refused.OnSuccess(), refused.OnFailure());
  service->RtcMuteUser("bob", true, refused.OnSuccess(), refused.OnFailure());
  service->StopScreenShare(refused.OnSuccess(), refused.OnFailure());
  service->StartScreenShare(1, 2, refused.OnSuccess(), refused.OnFailure());
  service->StartScreenShareAlt(1, 2, refused.OnSuccess(), refused.OnFailure());
  EXPECT_EQ(Outcomes(refused), Strs(6, "0 'rtc_id is empty'"));
  for (const auto& r : refused.results()) EXPECT_EQ(r.error.domain, 0);
  EXPECT_TRUE(Sent().empty());
  EXPECT_TRUE(EngineOps().empty());
  EXPECT_TRUE(ServiceLines().empty());
  EXPECT_TRUE(Reports().empty());
}

// Refusing one's own link-mic is a join status; approving oneself needs nothing.
TEST_F(ControlTest, ApprovingOneselfSendsNoRequest) {
  ResultRecorder<> result;
  service->ApproveLinkMic(kUser, false, result.OnSuccess(), result.OnFailure());
  EXPECT_EQ(Sent(), Strs{Rtc("reportJoinStatus",
                             "87 01 a6 'conf-1' 02 a5 'alice' 03 a0 04 04 05 a0 06 00 07 00")});
  EXPECT_EQ(Reports(), Strs{"125 {join_status=4,rtc_id=conf-1} 0 ''"});

  ClearRecords();
  service->ApproveLinkMic(kUser, true, result.OnSuccess(), result.OnFailure());
  EXPECT_EQ(ServiceLines(), Strs{"INFO:ApproveLinkMic success, approve=1 , rtc_id=conf-1"});
  EXPECT_TRUE(Sent().empty());
  EXPECT_TRUE(Reports().empty());
  EXPECT_EQ(result.count(), 0u);
}

// ---- screen sharing ------------------------------------------------------------------------

TEST_F(ControlTest, ShareStartCompletesOnTheStateEventOrFailsAtOnceWhenRefused) {
  for (int op : {28, 29}) {
    for (bool refused : {false, true}) {
      SCOPED_TRACE(std::to_string(op) + (refused ? " refused" : " accepted"));
      host.media_engine->SetResult(op, refused ? -1 : 0);
      ClearRecords();
      ResultRecorder<> result;
      if (op == 28) service->StartScreenShare(5, -6, result.OnSuccess(), result.OnFailure());
      if (op == 29) service->StartScreenShareAlt(5, -6, result.OnSuccess(), result.OnFailure());
      EXPECT_EQ(EngineOps(), std::vector<int>{op});
      EXPECT_EQ(host.media_engine->CallsOf(op).back().ints, (std::vector<int32_t>{5, -6}));
      EXPECT_EQ(Outcomes(result),
                refused ? Strs{"0 'rtc StartScreenShareByDesktopId failed'"} : Strs{});
      EXPECT_TRUE(Sent().empty());

      StateChanged(0, 3);
      EXPECT_EQ(Sent(), Strs{Rtc("shareScreen", "82 01 a6 'conf-1' 02 c3")});
      EXPECT_EQ(ServiceLines(), Strs{"INFO:ShareScreen success"});
      EXPECT_EQ(result.count(), 1u) << "a refused start's callbacks are not stored";
    }
  }
}

// The answer finds whatever start is stored when it arrives: the latest accepted one.
TEST_F(ControlTest, LaterShareStartReplacesTheStoredCallbacks) {
  ResultRecorder<> first;
  service->StartScreenShare(1, 1, first.OnSuccess(), first.OnFailure());
  service->StartScreenShare(2, 2, start.OnSuccess(), start.OnFailure());
  FailLocally("shareScreen", "-5", "no screen");
  StateChanged(0, 3);
  EXPECT_EQ(first.count(), 0u);
  EXPECT_EQ(Outcomes(start), Strs{"-5 'no screen'"});
  EXPECT_EQ(ServiceLines(), Strs{"ERROR:ShareScreen failed, code=-5 msg=no screen"});
}

TEST_F(ControlTest, ShareStopCompletesWhenTheEngineReportsTheEnd) {
  service->StopScreenShare(stop.OnSuccess(), stop.OnFailure());
  EXPECT_EQ(Sent(), Strs{Rtc("shareScreen", "82 01 a6 'conf-1' 02 c2")});
  EXPECT_EQ(ServiceLines(), Strs{"INFO:ShareScreen success"});
  EXPECT_EQ(EngineOps(), std::vector<int>{30});
  EXPECT_EQ(stop.count(), 0u);
  StateChanged(3, 0);
  StateChanged(0, 0);
  StateChanged(1, 2);
  EXPECT_EQ(Outcomes(stop), Strs{"ok"});
  EXPECT_EQ(Sent().size(), 1u) << "other states do nothing";

  // A failed stop, or one without a success function, leaves the engine alone.
  ClearRecords();
  service->StopScreenShare(nullptr, stop.OnFailure());
  FailWithAdaptorError("shareScreen", "busy");
  service->StopScreenShare(stop.OnSuccess(), stop.OnFailure());
  EXPECT_EQ(Outcomes(stop), (Strs{"ok", "4001 'busy'"}));
  EXPECT_EQ(ServiceLines(),
            (Strs{"INFO:ShareScreen success", "ERROR:ShareScreen failed, code=4001 msg=busy"}));
  EXPECT_TRUE(EngineOps().empty());
}

// The second state is tested first: both at 3 is a start. Without a conference the stored start
// fails; with nothing stored the events are harmless.
TEST_F(ControlTest, ShareStateEventEdges) {
  StateChanged(3, 0);
  StateChanged(0, 3);
  EXPECT_EQ(Sent().size(), 1u);
  service->StartScreenShare(1, 2, start.OnSuccess(), start.OnFailure());
  service->StopScreenShare(stop.OnSuccess(), stop.OnFailure());
  ClearRecords();
  StateChanged(3, 3);
  EXPECT_EQ(Sent(), Strs{Rtc("shareScreen", "82 01 a6 'conf-1' 02 c3")});
  EXPECT_EQ(Outcomes(start), Strs{"ok"});
  EXPECT_EQ(stop.count(), 0u);

  service->StartScreenShare(1, 2, start.OnSuccess(), start.OnFailure());
  host.room->RemovePluginInstanceId("rtc");
  StateChanged(3, 0);
  EXPECT_EQ(Outcomes(start), (Strs{"ok", "0 'rtc_id is empty'"}));
  EXPECT_EQ(stop.count(), 0u);
  EXPECT_EQ(Sent().size(), 1u);
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

  EXPECT_EQ(Sent(),
            (Strs{Cls("startClass", "81 01 a5 'cls-1'"), Cls("stopClass", "81 01 a5 'cls-2'"),
                  Cls("getClassDetail", "81 01 a5 'cls-3'")}));
  EXPECT_EQ(Outcomes(started), Strs{"ok"});
  EXPECT_EQ(Outcomes(stopped), Strs{"4001 'ended'"});
  ASSERT_EQ(Outcomes(detail), Strs{"ok"});
  EXPECT_EQ(std::get<0>(detail.results()[0].response).field1, "cls-1");
  EXPECT_EQ(std::get<0>(detail.results()[0].response).field6, 8589934592);
  EXPECT_TRUE(ServiceLines().empty());
  EXPECT_TRUE(Reports().empty());
}

}  // namespace
}  // namespace service_test
