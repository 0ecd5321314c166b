// The operations of both adaptor clients as tables: for each, the manager's two forms, the URI,
// the failure and missing-sender texts, a representative request with the exact body it must
// put on the wire, and an answer body with the record it must decode into.
//
// Every byte below is written by hand from the wire rules (map key = field position, smallest
// integer form, float32, 0xa0+n / 0xda strings), never produced by the codec under test. Field
// values differ from position to position, so a field moved to another key shows.
#pragma once

#include <any>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "network_fixture.h"
#include "vanta/rtc/rtc_manager.h"
#include "vanta/sceneclass/sceneclass_manager.h"

namespace network_test {

template <typename Manager>
struct Operation {
  std::string name;
  std::string uri;
  std::string failure_text;
  // Empty where a missing sender is silent.
  std::string missing_sender_line;
  std::string request_body;
  std::string response_body;
  // The row's request through the function form, recording into `calls`.
  std::function<void(Manager&, const std::shared_ptr<Calls>&)> send;
  // The same through the callback-object form.
  std::function<void(Manager&, const std::shared_ptr<Calls>&)> send_object;
  // The callback-object form with an empty pointer.
  std::function<void(Manager&)> send_empty_object;
  // The function form with both callbacks empty.
  std::function<void(Manager&)> send_without_callbacks;
  // Whether a recorded success is the row's expected response record.
  std::function<bool(const std::any&)> is_expected_response;
};

using RtcOp = Operation<vanta::rtc::RtcManager>;
using SceneOp = Operation<vanta::sceneclass::SceneclassManager>;

template <typename Manager>
std::ostream& operator<<(std::ostream& os, const Operation<Manager>& op) {
  return os << op.name;
}

template <typename Manager, typename Req, typename Rsp>
Operation<Manager> MakeOp(
    void (Manager::*fn)(const Req&, const std::function<void(const Rsp&)>&,
                        const std::function<void(const NexoError&)>&),
    void (Manager::*obj)(const Req&, const std::shared_ptr<vanta::meta::RtcResultCallback<Rsp>>&),
    std::string name, std::string uri, std::string failure_text, std::string missing_sender_line,
    const Req& req, const std::string& request_hex, const std::string& response_hex,
    const Rsp& expected) {
  Operation<Manager> op;
  op.name = std::move(name);
  op.uri = std::move(uri);
  op.failure_text = std::move(failure_text);
  op.missing_sender_line = std::move(missing_sender_line);
  op.request_body = Bytes(request_hex);
  op.response_body = Bytes(response_hex);
  op.send = [fn, req](Manager& m, const std::shared_ptr<Calls>& calls) {
    (m.*fn)(req, calls->OnSuccess<Rsp>(calls), calls->OnFailure(calls));
  };
  op.send_object = [obj, req](Manager& m, const std::shared_ptr<Calls>& calls) {
    (m.*obj)(req, std::make_shared<RecordingCallback<Rsp>>(calls));
  };
  op.send_empty_object = [obj, req](Manager& m) {
    (m.*obj)(req, std::shared_ptr<vanta::meta::RtcResultCallback<Rsp>>());
  };
  op.send_without_callbacks = [fn, req](Manager& m) {
    (m.*fn)(req, std::function<void(const Rsp&)>(), std::function<void(const NexoError&)>());
  };
  op.is_expected_response = [expected](const std::any& got) {
    const Rsp* rsp = std::any_cast<Rsp>(&got);
    return rsp != nullptr && *rsp == expected;
  };
  return op;
}

// An RTC row: URI "/r/Adaptor/RtcMlink/" + suffix, missing-sender line "rtc <Op>. get rpc
// service is null".
template <typename Req, typename Rsp>
RtcOp MakeRtcOp(void (vanta::rtc::RtcManager::*fn)(const Req&,
                                                   const std::function<void(const Rsp&)>&,
                                                   const std::function<void(const NexoError&)>&),
                void (vanta::rtc::RtcManager::*obj)(
                    const Req&, const std::shared_ptr<vanta::meta::RtcResultCallback<Rsp>>&),
                const std::string& name, const std::string& uri_suffix, std::string failure_text,
                const Req& req, const std::string& request_hex, const std::string& response_hex,
                const Rsp& expected) {
  return MakeOp(fn, obj, name, "/r/Adaptor/RtcMlink/" + uri_suffix, std::move(failure_text),
                "rtc " + name + ". get rpc service is null", req, request_hex, response_hex,
                expected);
}

inline std::vector<RtcOp> RtcOperations() {
  using namespace vanta::rtc;
  std::vector<RtcOp> ops;
#define VANTA_TEST_OP(Op) &RtcManager::Op, &RtcManager::Op, #Op

  {
    GetTokenReq req;
    req.rtc_id = "r1";
    GetTokenRsp rsp;
    rsp.text1 = "a";
    rsp.token = "tk";
    rsp.text3 = "c";
    rsp.text4 = "d";
    rsp.number5 = 5000000000;  // 0x12a05f200: needs the 64-bit form
    rsp.text6 = "f";
    // Keys out of order: a field is found by its key, not by where it stands.
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(GetToken), "getToken", "GetToken failed,", req,
                            "81 01 a2 'r1'",
                            "86 06 a1 'f' 02 a2 'tk' 01 a1 'a' 03 a1 'c' 04 a1 'd'"
                            "   05 cf 00 00 00 01 2a 05 f2 00",
                            rsp));
  }
  {
    ReportJoinStatusReq req;
    req.rtc_id = "r1";
    req.user_id = "u2";
    req.text3 = "t3";
    req.join_status = 4;
    req.text5 = "t5";
    req.number6 = -6;
    req.number7 = 300;
    ReportJoinStatusRsp rsp;
    rsp.conf_info.text1 = "c1";
    ConfUser user;
    user.user_id = "u9";
    user.number4 = 7;
    user.number14 = 9000000000;  // 0x218711a00
    rsp.conf_info.users = {user};
    rsp.conf_info.number7 = -1;
    rsp.conf_info.text18 = "z";
    rsp.number2 = 10;
    rsp.number3 = -128;
    ops.push_back(
        MakeRtcOp(VANTA_TEST_OP(ReportJoinStatus), "reportJoinStatus", "ReportJoinStatus failed,",
                  req, "87 01 a2 'r1' 02 a2 'u2' 03 a2 't3' 04 04 05 a2 't5' 06 fa 07 cd 01 2c",
                  "83 01 84 01 a2 'c1'"
                  "         05 91 83 01 a2 'u9' 04 07 0e cf 00 00 00 02 18 71 1a 00"
                  "         07 ff"
                  "         12 a1 'z'"
                  "   02 0a 03 d0 80",
                  rsp));
  }
  {
    ReportLeaveStatusReq req;
    req.rtc_id = "r1";
    req.text2 = "bye";
    ReportLeaveStatusRsp rsp;
    rsp.number1 = 255;
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(ReportLeaveStatus), "reportLeaveStatus",
                            "ReportLeaveStatus failed,", req, "82 01 a2 'r1' 02 a3 'bye'",
                            "81 01 cc ff", rsp));
  }
  {
    PushLiveStreamReq req;
    req.rtc_id = "r1";
    req.push_url = "rtmp://live.example/app/stream01";  // 32 bytes: 0xda, never 0xd9
    req.number3 = 0;
    // A field-less answer skips what it does not know.
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(PushLiveStream), "pushLiveStream",
                            "PushLiveStream failed,", req,
                            "83 01 a2 'r1' 02 da 00 20 'rtmp://live.example/app/stream01' 03 00",
                            "82 01 a1 'x' 07 92 01 c3", PushLiveStreamRsp()));
  }
  {
    StopLiveStreamReq req;  // an empty conference id still goes on the wire
    // A nil answer counts as success.
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(StopLiveStream), "stopLiveStream",
                            "StopLiveStream failed,", req, "81 01 a0", "c0", StopLiveStreamRsp()));
  }
  {
    SetLayoutReq req;
    req.rtc_id = "r1";
    req.user_ids = {"a", "bb"};
    req.layout = 2;
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(SetLayout), "setLayout", "SetLayout failed,", req,
                            "83 01 a2 'r1' 02 92 a1 'a' a2 'bb' 03 02", "80", SetLayoutRsp()));
  }
  {
    SetCustomLayoutReq req;
    req.rtc_id = "r1";
    Pane pane;
    pane.number1 = 0.5f;   // 3f000000
    pane.number2 = 1.0f;   // 3f800000
    pane.number3 = -2.0f;  // c0000000
    pane.number4 = 0.25f;  // 3e800000
    pane.number5 = 3;
    pane.text6 = "p";
    req.panes = {pane};
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(SetCustomLayout), "setCustomLayout",
                            "SetCustomLayout failed,", req,
                            "82 01 a2 'r1' 02 91 86 01 ca 3f 00 00 00 02 ca 3f 80 00 00"
                            "                      03 ca c0 00 00 00 04 ca 3e 80 00 00"
                            "                      05 03 06 a1 'p'",
                            "80", SetCustomLayoutRsp()));
  }
  {
    AddMembersReq req;
    req.rtc_id = "r1";
    ConfUser m;
    m.user_id = "u1";
    m.text2 = "b";
    m.text3 = "c";
    m.number4 = 4;
    m.text5 = "e";
    m.number6 = 6;
    m.number7 = -7;
    m.number8 = 128;
    m.text9 = "i";
    m.text10 = "j";
    m.number11 = 70000;
    m.number12 = -129;
    m.text13 = "m";
    m.number14 = -2147483649LL;
    req.members = {m};
    AddMembersRsp rsp;
    rsp.number1 = 65536;
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(AddMembers), "addMembers", "rtc AddMembers failed,", req,
                            "82 01 a2 'r1' 02 91 8e 01 a2 'u1' 02 a1 'b' 03 a1 'c' 04 04"
                            "   05 a1 'e' 06 06 07 f9 08 cc 80 09 a1 'i' 0a a1 'j'"
                            "   0b ce 00 01 11 70 0c d1 ff 7f 0d a1 'm'"
                            "   0e d3 ff ff ff ff 7f ff ff ff",
                            "81 01 ce 00 01 00 00", rsp));
  }
  {
    KickMembersReq req;
    req.rtc_id = "r1";
    req.user_ids = {"u2", "u3"};
    KickMembersRsp rsp;
    rsp.number1 = 2;
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(KickMembers), "kickMembers", "KickMembers failed,", req,
                            "82 01 a2 'r1' 02 92 a2 'u2' a2 'u3'", "82 09 a1 'x' 01 02", rsp));
  }
  {
    GetConfDetailReq req;
    req.rtc_id = "r1";
    GetConfDetailRsp rsp;
    ConfInfo& info = rsp.conf_info;
    info.text2 = "t2";
    info.text3 = "t3";
    info.text4 = "t4";
    info.text6 = "t6";
    info.number8 = 8;
    info.number9 = 9;
    info.number10 = 10;
    info.number11 = 11;
    info.number12 = 12;
    info.number13 = 13;
    info.text14 = "n";
    info.text15 = "o";
    info.text16 = "p";
    info.text17 = "q";
    rsp.number2 = 256;
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(GetConfDetail), "getConfDetail", "GetConfDetail failed,",
                            req, "81 01 a2 'r1'",
                            "82 01 8f 02 a2 't2' 03 a2 't3' 04 a2 't4' 05 90 06 a2 't6'"
                            "         08 08 09 09 0a 0a 0b 0b 0c 0c 0d 0d"
                            "         0e a1 'n' 0f a1 'o' 10 a1 'p' 11 a1 'q'"
                            "   02 cd 01 00",
                            rsp));
  }
  {
    ApplyLinkMicReq req;
    req.rtc_id = "r1";
    req.apply = true;
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(ApplyLinkMic), "applyLinkMic", "ApplyLinkMic failed,",
                            req, "82 01 a2 'r1' 02 c3", "80", ApplyLinkMicRsp()));
  }
  {
    ApproveLinkMicReq req;
    req.rtc_id = "r1";
    req.user_id = "u2";
    req.approve = false;
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(ApproveLinkMic), "approveLinkMic",
                            "ApproveLinkMic failed,", req, "83 01 a2 'r1' 02 a2 'u2' 03 c2",
                            "81 03 a5 'later'", ApproveLinkMicRsp()));
  }
  {
    ListConfUserReq req;
    req.rtc_id = "r1";
    req.number2 = 1;
    req.number3 = 50;
    ListConfUserRsp rsp;
    ConfUser first;
    first.user_id = "u1";
    ConfUser second;
    second.user_id = "u2";
    second.number6 = 1;
    rsp.users = {first, second};
    rsp.flag2 = true;
    rsp.number3 = 2;
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(ListConfUser), "listConfUser", "ListConfUser failed,",
                            req, "83 01 a2 'r1' 02 01 03 32",
                            "83 01 92 81 01 a2 'u1' 82 01 a2 'u2' 06 01 02 c3 03 02", rsp));
  }
  {
    ListApplyLinkMicUserReq req;
    req.rtc_id = "r1";
    req.number2 = 0;
    req.number3 = -1;
    // Only key 1: flag2 stays false and number3 0.
    ListApplyLinkMicUserRsp rsp;
    ConfUser user;
    user.number8 = -2147483647 - 1;
    user.text10 = "j0";
    rsp.users = {user};
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(ListApplyLinkMicUser), "listApplyLinkMicUser",
                            "ListApplyLinkMicUser failed,", req, "83 01 a2 'r1' 02 00 03 ff",
                            "81 01 91 82 08 d2 80 00 00 00 0a a2 'j0'", rsp));
  }
  {
    StartRecordReq req;
    req.rtc_id = "r1";
    req.number2 = -33;
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(StartRecord), "startRecord", "StartRecord failed,", req,
                            "82 01 a2 'r1' 02 d0 df", "80", StartRecordRsp()));
  }
  {
    StopRecordReq req;
    req.rtc_id = "r1";
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(StopRecord), "stopRecord", "StopRecord failed,", req,
                            "81 01 a2 'r1'", "80", StopRecordRsp()));
  }
  {
    ReportRtcMuteReq req;
    req.rtc_id = "r1";
    req.mute = true;
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(ReportRtcMute), "reportRtcMute", "ReportRtcMute failed,",
                            req, "82 01 a2 'r1' 02 c3", "80", ReportRtcMuteRsp()));
  }
  {
    RtcMuteAllReq req;
    req.rtc_id = "r1";
    req.mute = false;
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(RtcMuteAll), "rtcMuteAll", "RtcMuteAll failed,", req,
                            "82 01 a2 'r1' 02 c2", "80", RtcMuteAllRsp()));
  }
  {
    RtcMuteUserReq req;
    req.rtc_id = "r1";
    req.user_id = "u2";
    req.mute = true;
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(RtcMuteUser), "rtcMuteUser", "RtcMuteUser failed,", req,
                            "83 01 a2 'r1' 02 a2 'u2' 03 c3", "80", RtcMuteUserRsp()));
  }
  {
    OperateCameraReq req;
    req.rtc_id = "r1";
    req.enable = false;
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(OperateCamera), "operateCamera", "OperateCamera failed,",
                            req, "82 01 a2 'r1' 02 c2", "80", OperateCameraRsp()));
  }
  {
    ShareScreenReq req;
    req.rtc_id = "r1";
    req.share = true;
    ops.push_back(MakeRtcOp(VANTA_TEST_OP(ShareScreen), "shareScreen", "ShareScreen failed,", req,
                            "82 01 a2 'r1' 02 c3", "80", ShareScreenRsp()));
  }
#undef VANTA_TEST_OP
  return ops;
}

inline std::vector<SceneOp> SceneOperations() {
  using namespace vanta::sceneclass;
  std::vector<SceneOp> ops;
#define VANTA_TEST_OP(Op) &SceneclassManager::Op, &SceneclassManager::Op, #Op
  {
    CreateClassReq req;
    req.field1 = "math";
    req.field2 = "room 7";
    // All thirteen keys; the thirteenth is decoded and not carried into the record.
    CreateClassRsp rsp;
    rsp.field1 = "f1";
    rsp.field2 = "f2";
    rsp.field3 = "f3";
    rsp.field4 = "f4";
    rsp.field5 = -2147483647 - 1;
    rsp.field6 = 4294967296;   // 2^32
    rsp.field7 = -4294967297;  // fffffffeffffffff
    rsp.field8 = "f8";
    rsp.field9 = "f9";
    rsp.field10 = "f10";
    rsp.field11 = "f11";
    rsp.field12 = "f12";
    ops.push_back(MakeOp(VANTA_TEST_OP(CreateClass), "/r/Adaptor/ClassScene/createClass",
                         "CreateClass failed,", "", req, "82 01 a4 'math' 02 a6 'room 7'",
                         "8d 01 a2 'f1' 02 a2 'f2' 03 a2 'f3' 04 a2 'f4' 05 d2 80 00 00 00"
                         "   06 cf 00 00 00 01 00 00 00 00 07 d3 ff ff ff fe ff ff ff ff"
                         "   08 a2 'f8' 09 a2 'f9' 0a a3 'f10' 0b a3 'f11' 0c a3 'f12'"
                         "   0d a3 'f13'",
                         rsp));
  }
  {
    GetClassDetailReq req;
    req.field1 = "c-42";
    GetClassDetailRsp rsp;
    rsp.field1 = "x";
    rsp.field5 = 127;
    rsp.field12 = "tw";
    ops.push_back(MakeOp(VANTA_TEST_OP(GetClassDetail), "/r/Adaptor/ClassScene/getClassDetail",
                         "GetClassDetail failed,", "", req, "81 01 a4 'c-42'",
                         "83 05 7f 0c a2 'tw' 01 a1 'x'", rsp));
  }
  {
    StartClassReq req;
    req.field1 = "c-42";
    ops.push_back(MakeOp(VANTA_TEST_OP(StartClass), "/r/Adaptor/ClassScene/startClass",
                         "StartClass failed,", "", req, "81 01 a4 'c-42'", "80", StartClassRsp()));
  }
  {
    StopClassReq req;
    // Unknown keys holding strings are skipped.
    ops.push_back(MakeOp(VANTA_TEST_OP(StopClass), "/r/Adaptor/ClassScene/stopClass",
                         "StopClass failed,", "", req, "81 01 a0", "82 01 a2 'ok' 02 a1 'y'",
                         StopClassRsp()));
  }
#undef VANTA_TEST_OP
  return ops;
}

}  // namespace network_test
