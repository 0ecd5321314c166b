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
    InConference();
    service = MakeAttachedService();
  }
  void StateChanged(int32_t first, int32_t second) {
    ASSERT_TRUE(host.media_engine->Emit([=](vanta::meta::RtcMediaEventListener& l) {
      l.OnScreenShareStateChanged(first, second, 0);
    }));
  }
  std::shared_ptr<RtcService> service;
  ResultRecorder<> result;
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
        ControlRow{"StopRecord", [](RtcService& s, auto& ok, auto& ko) { s.StopRecord(ok, ko); },
                   "stopRecord 81 01 a6 'conf-1'", "INFO:StopRecord, approve=rtc_id=conf-1",
                   "113 {rtc_id=conf-1}"},
        ControlRow{"SetLayout",
                   [](RtcService& s, auto& ok, auto& ko) {
                     s.SetLayout({"u1", "u2"}, -3, ok, ko);
                   },
                   "setLayout 83 01 a6 'conf-1' 02 92 a2 'u1' a2 'u2' 03 fd", "", ""},
        ControlRow{"RtcMuteUser",
                   [](RtcService& s, auto& ok, auto& ko) { s.RtcMuteUser("bob", false, ok, ko); },
                   "rtcMuteUser 83 01 a6 'conf-1' 02 a3 'bob' 03 c2", "", ""},
        ControlRow{"GetConfDetail",
                   [](RtcService& s, auto ok, auto& ko) {
                     s.GetConfDetail([ok](const auto&) { ok(); }, ko);
                   },
                   "getConfDetail 81 01 a6 'conf-1'", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

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
