// Golden bytes of the RTC adaptor models: every request record, converted to its model, encodes
// to exactly the body below (derived by hand from the field tables), and representative
// response bodies decode into the records below.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "rtc/rtc_models.h"
#include "support/codec_bytes.h"
#include "support/codec_roundtrip.h"

namespace {

using codec_test::Bytes;
using codec_test::Hex;
using tessel::idl::ToModel;
using tessel::idl::ToRecord;
namespace vr = vanta::rtc;

// The body of a request record; the typed and the generic writers must agree on it.
template <typename Record>
std::string Body(const Record& record) {
  const auto model = ToModel(record);
  const std::string typed = tessel::idl::Packb(model);
  EXPECT_EQ(Hex(typed, 400),
            Hex(tessel::idl::Packb(static_cast<const tessel::idl::BaseModel&>(model)), 400));
  return Hex(typed, 400);
}

vr::ConfUser SampleUser() {
  vr::ConfUser u;
  u.user_id = "u1";
  u.text2 = "n";
  u.number4 = 1;
  u.number6 = 2;
  u.number7 = 3;
  u.number8 = -4;
  u.number11 = INT64_C(0x100000000);
  u.number12 = -1;
  u.number14 = 5;
  return u;
}
// SampleUser() on the wire: all fourteen keys, empty strings included.
const char kSampleUser[] =
    "8e 01 a2 75 31 02 a1 6e 03 a0 04 01 05 a0 06 02 07 03 08 fc 09 a0 0a a0 "
    "0b cf 00 00 00 01 00 00 00 00 0c ff 0d a0 0e 05";

TEST(RtcModelsTest, EveryRequestBody) {
  const struct {
    const char* name;
    std::function<std::string()> body;
    std::string hex;
  } cases[] = {
      {"GetToken", [] { return Body(vr::GetTokenReq{"r1"}); }, "81 01 a2 72 31"},
      {"GetToken, empty id", [] { return Body(vr::GetTokenReq{}); }, "81 01 a0"},
      {"ReportJoinStatus",
       [] {
         return Body(vr::ReportJoinStatusReq{"r1", "u1", "t", 1, "", -1, 300});
       },
       "87 01 a2 72 31 02 a2 75 31 03 a1 74 04 01 05 a0 06 ff 07 cd 01 2c"},
      {"ReportLeaveStatus",
       [] {
         return Body(vr::ReportLeaveStatusReq{"r1", "bye"});
       },
       "82 01 a2 72 31 02 a3 62 79 65"},
      {"PushLiveStream",
       [] {
         return Body(vr::PushLiveStreamReq{"r1", "rtmp://x/y", 2});
       },
       "83 01 a2 72 31 02 aa 72 74 6d 70 3a 2f 2f 78 2f 79 03 02"},
      {"StopLiveStream", [] { return Body(vr::StopLiveStreamReq{"r1"}); }, "81 01 a2 72 31"},
      {"SetLayout",
       [] {
         return Body(vr::SetLayoutReq{"r1", {"a", "b"}, 3});
       },
       "83 01 a2 72 31 02 92 a1 61 a1 62 03 03"},
      {"SetLayout, nobody",
       [] {
         return Body(vr::SetLayoutReq{"r1", {}, -1});
       },
       "83 01 a2 72 31 02 90 03 ff"},
      {"SetCustomLayout",
       [] {
         return Body(vr::SetCustomLayoutReq{"r1", {vr::Pane{0.5f, 0.25f, 1.0f, -2.0f, 7, "p"}}});
       },
       "82 01 a2 72 31 02 91 86 01 ca 3f 00 00 00 02 ca 3e 80 00 00 03 ca 3f 80 00 00 04 ca c0 "
       "00 00 00 05 07 06 a1 70"},
      {"SetCustomLayout, no panes",
       [] {
         return Body(vr::SetCustomLayoutReq{"r1", {}});
       },
       "82 01 a2 72 31 02 90"},
      {"AddMembers",
       [] {
         return Body(vr::AddMembersReq{"r1", {SampleUser()}});
       },
       std::string("82 01 a2 72 31 02 91 ") + kSampleUser},
      {"KickMembers",
       [] {
         return Body(vr::KickMembersReq{"r1", {"u1"}});
       },
       "82 01 a2 72 31 02 91 a2 75 31"},
      {"GetConfDetail", [] { return Body(vr::GetConfDetailReq{"r1"}); }, "81 01 a2 72 31"},
      {"ApplyLinkMic",
       [] {
         return Body(vr::ApplyLinkMicReq{"r1", true});
       },
       "82 01 a2 72 31 02 c3"},
      {"ApproveLinkMic",
       [] {
         return Body(vr::ApproveLinkMicReq{"r1", "u2", false});
       },
       "83 01 a2 72 31 02 a2 75 32 03 c2"},
      {"ListConfUser",
       [] {
         return Body(vr::ListConfUserReq{"r1", 0, 50});
       },
       "83 01 a2 72 31 02 00 03 32"},
      {"ListApplyLinkMicUser",
       [] {
         return Body(vr::ListApplyLinkMicUserReq{"r1", 1, 128});
       },
       "83 01 a2 72 31 02 01 03 cc 80"},
      {"StartRecord",
       [] {
         return Body(vr::StartRecordReq{"r1", 65536});
       },
       "82 01 a2 72 31 02 ce 00 01 00 00"},
      {"StopRecord", [] { return Body(vr::StopRecordReq{"r1"}); }, "81 01 a2 72 31"},
      {"ReportRtcMute",
       [] {
         return Body(vr::ReportRtcMuteReq{"r1", true});
       },
       "82 01 a2 72 31 02 c3"},
      {"RtcMuteAll",
       [] {
         return Body(vr::RtcMuteAllReq{"r1", false});
       },
       "82 01 a2 72 31 02 c2"},
      {"RtcMuteUser",
       [] {
         return Body(vr::RtcMuteUserReq{"r1", "u3", true});
       },
       "83 01 a2 72 31 02 a2 75 33 03 c3"},
      {"OperateCamera",
       [] {
         return Body(vr::OperateCameraReq{"r1", true});
       },
       "82 01 a2 72 31 02 c3"},
      {"ShareScreen",
       [] {
         return Body(vr::ShareScreenReq{"r1", false});
       },
       "82 01 a2 72 31 02 c2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.body(), c.hex);
  }
}

TEST(RtcModelsTest, LongConferenceIdUsesTheTwoByteLengthHeader) {
  const std::string id(40, 'r');
  EXPECT_EQ(Body(vr::GetTokenReq{id}), Hex(Bytes("81 01 da 00 28") + id, 400));
}

// Decodes `hex` as the response model of Record and converts it; the decode must succeed.
template <typename Model>
auto Decode(const std::string& hex, bool* unknown = nullptr) {
  Model model;
  EXPECT_TRUE(model.Unpackb(Bytes(hex), unknown)) << hex;
  EXPECT_TRUE(model.valid);
  EXPECT_EQ(codec_test::CheckDecodeRoundTrip(Bytes(hex)), "");
  return ToRecord(model);
}

TEST(RtcModelsTest, GetTokenResponse) {
  vr::GetTokenRsp expected;
  expected.text1 = "a";
  expected.token = "tok";
  expected.text4 = "d";
  expected.number5 = INT64_C(0x200000000);
  expected.text6 = "f";
  EXPECT_EQ(Decode<rtc::GetTokenRspModel>("86 01 a1 61 02 a3 74 6f 6b 03 a0 04 a1 64 "
                                          "05 cf 00 00 00 02 00 00 00 00 06 a1 66"),
            expected);
}

TEST(RtcModelsTest, ReportJoinStatusResponseWithNestedConference) {
  vr::ReportJoinStatusRsp expected;
  expected.conf_info.text1 = "c1";
  expected.conf_info.users.resize(1);
  expected.conf_info.users[0].user_id = "u1";
  expected.conf_info.users[0].number4 = 7;
  expected.number2 = 5;
  expected.number3 = -1;
  EXPECT_EQ(Decode<rtc::ReportJoinStatusRspModel>(
                "83 01 82 01 a2 63 31 05 91 82 01 a2 75 31 04 07 02 05 03 ff"),
            expected);
}

TEST(RtcModelsTest, GetConfDetailResponseWithEveryConferenceField) {
  const std::string body =
      std::string("82 01 de 00 12 01 a5 72 74 63 2d 31 02 a2 74 32 03 a0 04 a2 74 34 05 92 ") +
      kSampleUser +
      " 80 06 a2 74 36 07 07 08 08 09 09 0a 0a 0b 0b 0c 0c 0d 0d 0e a1 61 0f a1 62 "
      "10 a1 63 11 a1 64 12 a1 65 02 cc c8";
  vr::GetConfDetailRsp expected;
  vr::ConfInfo& info = expected.conf_info;
  info.text1 = "rtc-1";
  info.text2 = "t2";
  info.text4 = "t4";
  info.users = {SampleUser(), vr::ConfUser{}};
  info.text6 = "t6";
  info.number7 = 7;
  info.number8 = 8;
  info.number9 = 9;
  info.number10 = 10;
  info.number11 = 11;
  info.number12 = 12;
  info.number13 = 13;
  info.text14 = "a";
  info.text15 = "b";
  info.text16 = "c";
  info.text17 = "d";
  info.text18 = "e";
  expected.number2 = 200;
  EXPECT_EQ(Decode<rtc::GetConfDetailRspModel>(body), expected);
  // Written back through the records, the same conference encodes with the 16-bit map header.
  rtc::GetConfDetailRspModel model = ToModel(expected);
  EXPECT_EQ(Hex(tessel::idl::Packb(model), 400).substr(0, 14), "82 01 de 00 12");
}

TEST(RtcModelsTest, SingleNumberResponses) {
  EXPECT_EQ(Decode<rtc::ReportLeaveStatusRspModel>("81 01 d3 ff ff ff ff 7f ff ff ff").number1,
            INT64_C(-2147483649));
  EXPECT_EQ(Decode<rtc::AddMembersRspModel>("81 01 07").number1, 7);
  EXPECT_EQ(Decode<rtc::KickMembersRspModel>("81 01 cd 01 00").number1, 256);
  EXPECT_EQ(Decode<rtc::KickMembersRspModel>("80").number1, 0);
}

TEST(RtcModelsTest, UserListResponses) {
  vr::ListConfUserRsp full;
  full.users = {SampleUser(), vr::ConfUser{}};
  full.flag2 = true;
  full.number3 = 10;
  const std::string body = std::string("83 01 92 ") + kSampleUser + " 80 02 c3 03 0a";
  EXPECT_EQ(Decode<rtc::ListConfUserRspModel>(body), full);
  const vr::ListApplyLinkMicUserRsp apply = Decode<rtc::ListApplyLinkMicUserRspModel>(body);
  EXPECT_EQ(apply.users, full.users);
  EXPECT_TRUE(apply.flag2);
  EXPECT_EQ(apply.number3, 10);

  // Only key 1: the flag and the count keep their defaults.
  const vr::ListConfUserRsp only_users = Decode<rtc::ListConfUserRspModel>("81 01 91 81 01 a1 78");
  ASSERT_EQ(only_users.users.size(), 1u);
  EXPECT_EQ(only_users.users[0].user_id, "x");
  EXPECT_FALSE(only_users.flag2);
  EXPECT_EQ(only_users.number3, 0);
}

// The thirteen responses without fields: an empty map on the wire; any body whose keys all
// hold skippable values decodes, as unknown keys.
template <typename Model>
void CheckEmptyResponse(const char* name) {
  SCOPED_TRACE(name);
  EXPECT_EQ(Model::kFieldCount, 0);
  EXPECT_EQ(Hex(tessel::idl::Packb(Model())), "80");
  bool unknown = false;
  Decode<Model>("80", &unknown);
  EXPECT_FALSE(unknown);
  Decode<Model>("82 01 a1 61 02 92 01 81 01 c0", &unknown);
  EXPECT_TRUE(unknown);
  Model bin;
  EXPECT_FALSE(bin.Unpackb(Bytes("81 01 c4 00"), nullptr));
  EXPECT_FALSE(bin.valid);
}

TEST(RtcModelsTest, ResponsesWithoutFields) {
  CheckEmptyResponse<rtc::PushLiveStreamRspModel>("PushLiveStream");
  CheckEmptyResponse<rtc::StopLiveStreamRspModel>("StopLiveStream");
  CheckEmptyResponse<rtc::SetLayoutRspModel>("SetLayout");
  CheckEmptyResponse<rtc::SetCustomLayoutRspModel>("SetCustomLayout");
  CheckEmptyResponse<rtc::ApplyLinkMicRspModel>("ApplyLinkMic");
  CheckEmptyResponse<rtc::ApproveLinkMicRspModel>("ApproveLinkMic");
  CheckEmptyResponse<rtc::StartRecordRspModel>("StartRecord");
  CheckEmptyResponse<rtc::StopRecordRspModel>("StopRecord");
  CheckEmptyResponse<rtc::ReportRtcMuteRspModel>("ReportRtcMute");
  CheckEmptyResponse<rtc::RtcMuteAllRspModel>("RtcMuteAll");
  CheckEmptyResponse<rtc::RtcMuteUserRspModel>("RtcMuteUser");
  CheckEmptyResponse<rtc::OperateCameraRspModel>("OperateCamera");
  CheckEmptyResponse<rtc::ShareScreenRspModel>("ShareScreen");
}

TEST(RtcModelsTest, FieldCountsFollowTheTables) {
  EXPECT_EQ(rtc::PaneModel::kFieldCount, 6);
  EXPECT_EQ(rtc::ConfUserModel::kFieldCount, 14);
  EXPECT_EQ(rtc::ConfInfoModel::kFieldCount, 18);
  EXPECT_EQ(rtc::GetTokenRspModel::kFieldCount, 6);
  EXPECT_EQ(rtc::ReportJoinStatusRspModel::kFieldCount, 3);
  EXPECT_EQ(rtc::GetConfDetailRspModel::kFieldCount, 2);
  EXPECT_EQ(rtc::ListConfUserRspModel::kFieldCount, 3);
}

TEST(RtcModelsTest, WrongTypesInResponsesFail) {
  const struct {
    const char* name;
    std::function<bool()> decode;
  } cases[] = {
      // number4 of a user is 32-bit.
      {"user number4 as uint32 above int",
       [] {
         return rtc::ListConfUserRspModel().Unpackb(Bytes("81 01 91 81 04 ce 80 00 00 00"),
                                                    nullptr);
       }},
      // flag2 is a bool, number3 an int.
      {"flag as int",
       [] { return rtc::ListConfUserRspModel().Unpackb(Bytes("81 02 01"), nullptr); }},
      {"count as int64",
       [] {
         return rtc::ListConfUserRspModel().Unpackb(Bytes("81 03 d3 00 00 00 00 00 00 00 01"),
                                                    nullptr);
       }},
      // The conference is a map, not a list.
      {"conference as list",
       [] { return rtc::GetConfDetailRspModel().Unpackb(Bytes("81 01 90"), nullptr); }},
      {"token as bin",
       [] { return rtc::GetTokenRspModel().Unpackb(Bytes("81 02 c4 01 61"), nullptr); }},
      {"pane number as float64",
       [] { return rtc::PaneModel().Unpackb(Bytes("81 01 cb 3f f0 00 00 00 00 00 00"), nullptr); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(c.decode());
  }
}

}  // namespace
