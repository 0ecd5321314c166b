// Golden bytes of the RTC adaptor models: every request record, converted to its model, encodes
// to exactly the body below (derived by hand from the field tables), and representative
// response bodies decode into the records below.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "rtc/rtc_models.h"
#include "support/codec_bytes.h"
#include "support/codec_roundtrip.h"

namespace {

using codec_test::Bytes;
using codec_test::Hex;
using tessel::idl::ToModel;
using tessel::idl::ToRecord;
namespace vr = vanta::rtc;

// The body of a request record, through every writer.
template <typename Record>
std::string Body(const Record& record) {
  std::string complaint;
  const std::string bytes = codec_test::PackEveryWay(ToModel(record), &complaint);
  EXPECT_EQ(complaint, "");
  return Hex(bytes, 400);
}

vr::ConfUser SampleUser() {
  return vr::ConfUser{"u1", "n", "", 1, "", 2, 3, -4, "", "", INT64_C(0x100000000), -1, "", 5};
}
// SampleUser() on the wire: all fourteen keys, empty strings included.
const std::string kSampleUser =
    "8e 01 a2 75 31 02 a1 6e 03 a0 04 01 05 a0 06 02 07 03 08 fc 09 a0 0a a0 "
    "0b cf 00 00 00 01 00 00 00 00 0c ff 0d a0 0e 05";

TEST(RtcModelsTest, EveryRequestBody) {
  const std::string id = "01 a2 72 31";  // conference id "r1", key 1 of every request
  const std::pair<std::string, std::string> cases[] = {
      {Body(vr::GetTokenReq{"r1"}), "81 " + id},
      {Body(vr::GetTokenReq{std::string(32, 'r')}),
       Hex(Bytes("81 01 da 00 20") + std::string(32, 'r'))},
      {Body(vr::ReportJoinStatusReq{"r1", "u1", "t", 1, "", -1, 300}),
       "87 " + id + " 02 a2 75 31 03 a1 74 04 01 05 a0 06 ff 07 cd 01 2c"},
      {Body(vr::ReportLeaveStatusReq{"r1", "bye"}), "82 " + id + " 02 a3 62 79 65"},
      {Body(vr::PushLiveStreamReq{"r1", "rtmp://x/y", 2}),
       "83 " + id + " 02 aa 72 74 6d 70 3a 2f 2f 78 2f 79 03 02"},
      {Body(vr::StopLiveStreamReq{"r1"}), "81 " + id},
      {Body(vr::SetLayoutReq{"r1", {"a", "b"}, 3}), "83 " + id + " 02 92 a1 61 a1 62 03 03"},
      {Body(vr::SetCustomLayoutReq{"r1", {vr::Pane{0.5f, 0.25f, 1.0f, -2.0f, 7, "p"}}}),
       "82 " + id +
           " 02 91 86 01 ca 3f 00 00 00 02 ca 3e 80 00 00 03 ca 3f 80 00 00 04 ca c0 00 00 00 "
           "05 07 06 a1 70"},
      {Body(vr::AddMembersReq{"r1", {SampleUser()}}), "82 " + id + " 02 91 " + kSampleUser},
      {Body(vr::KickMembersReq{"r1", {"u1"}}), "82 " + id + " 02 91 a2 75 31"},
      {Body(vr::GetConfDetailReq{"r1"}), "81 " + id},
      {Body(vr::ApplyLinkMicReq{"r1", true}), "82 " + id + " 02 c3"},
      {Body(vr::ApproveLinkMicReq{"r1", "u2", false}), "83 " + id + " 02 a2 75 32 03 c2"},
      {Body(vr::ListConfUserReq{"r1", 0, 50}), "83 " + id + " 02 00 03 32"},
      {Body(vr::ListApplyLinkMicUserReq{"r1", 1, 128}), "83 " + id + " 02 01 03 cc 80"},
      {Body(vr::StartRecordReq{"r1", 65536}), "82 " + id + " 02 ce 00 01 00 00"},
      {Body(vr::StopRecordReq{"r1"}), "81 " + id},
      {Body(vr::ReportRtcMuteReq{"r1", true}), "82 " + id + " 02 c3"},
      {Body(vr::RtcMuteAllReq{"r1", false}), "82 " + id + " 02 c2"},
      {Body(vr::RtcMuteUserReq{"r1", "u3", true}), "83 " + id + " 02 a2 75 33 03 c3"},
      {Body(vr::OperateCameraReq{"r1", true}), "82 " + id + " 02 c3"},
      {Body(vr::ShareScreenReq{"r1", false}), "82 " + id + " 02 c2"},
  };
  for (const auto& [body, expected] : cases) EXPECT_EQ(body, expected);
}

// Decodes `hex` as the response model and converts it; the decode must succeed.
template <typename Model>
auto Decode(const std::string& hex, bool* unknown = nullptr) {
  Model model;
  EXPECT_TRUE(model.Unpackb(Bytes(hex), unknown)) << hex;
  EXPECT_EQ(codec_test::CheckDecodeRoundTrip(Bytes(hex)), "");
  return ToRecord(model);
}

TEST(RtcModelsTest, ResponsesWithFields) {
  const vr::GetTokenRsp token{"a", "tok", "", "d", INT64_C(0x200000000), "f"};
  EXPECT_EQ(Decode<rtc::GetTokenRspModel>("86 01 a1 61 02 a3 74 6f 6b 03 a0 04 a1 64 "
                                          "05 cf 00 00 00 02 00 00 00 00 06 a1 66"),
            token);
  vr::ReportJoinStatusRsp join;
  join.conf_info.text1 = "c1";
  join.conf_info.users.resize(1);
  join.conf_info.users[0].user_id = "u1";
  join.conf_info.users[0].number4 = 7;
  join.number2 = 5;
  join.number3 = -1;
  EXPECT_EQ(Decode<rtc::ReportJoinStatusRspModel>(
                "83 01 82 01 a2 63 31 05 91 82 01 a2 75 31 04 07 02 05 03 ff"),
            join);
  EXPECT_EQ(Decode<rtc::ReportLeaveStatusRspModel>("81 01 d3 ff ff ff ff 7f ff ff ff").number1,
            INT64_C(-2147483649));
  EXPECT_EQ(Decode<rtc::AddMembersRspModel>("81 01 07").number1, 7);
  EXPECT_EQ(Decode<rtc::KickMembersRspModel>("81 01 cd 01 00").number1, 256);

  const std::string body = "83 01 92 " + kSampleUser + " 80 02 c3 03 0a";
  EXPECT_EQ(Decode<rtc::ListConfUserRspModel>(body),
            (vr::ListConfUserRsp{{SampleUser(), vr::ConfUser{}}, true, 10}));
  EXPECT_EQ(Decode<rtc::ListApplyLinkMicUserRspModel>(body),
            (vr::ListApplyLinkMicUserRsp{{SampleUser(), vr::ConfUser{}}, true, 10}));
}

TEST(RtcModelsTest, GetConfDetailResponseWithEveryConferenceField) {
  const std::string body =
      "82 01 de 00 12 01 a5 72 74 63 2d 31 02 a2 74 32 03 a0 04 a2 74 34 "
      "05 92 " +
      kSampleUser +
      " 80 06 a2 74 36 07 07 08 08 09 09 0a 0a 0b 0b 0c 0c 0d 0d 0e a1 61 "
      "0f a1 62 10 a1 63 11 a1 64 12 a1 65 02 cc c8";
  vr::GetConfDetailRsp expected;
  vr::ConfInfo& info = expected.conf_info;
  info = {
      "rtc-1", "t2", "",  "t4", {SampleUser(), vr::ConfUser{}}, "t6", 7, 8, 9, 10, 11, 12, 13, "a",
      "b",     "c",  "d", "e"};
  expected.number2 = 200;
  EXPECT_EQ(Decode<rtc::GetConfDetailRspModel>(body), expected);
  // Written back through the records, the conference keeps the 16-bit map header.
  EXPECT_EQ(Body(expected).substr(0, 14), "82 01 de 00 12");
}

// The thirteen responses without fields: an empty map on the wire, and any body whose keys
// all hold skippable values decodes.
template <typename... Models>
void CheckEmptyResponses() {
  for (const std::string& packed : {Hex(tessel::idl::Packb(Models()))...}) EXPECT_EQ(packed, "80");
  (Decode<Models>("82 01 a1 61 02 92 01 81 01 c0"), ...);
}

TEST(RtcModelsTest, ResponsesWithoutFields) {
  CheckEmptyResponses<rtc::PushLiveStreamRspModel, rtc::StopLiveStreamRspModel,
                      rtc::SetLayoutRspModel, rtc::SetCustomLayoutRspModel,
                      rtc::ApplyLinkMicRspModel, rtc::ApproveLinkMicRspModel,
                      rtc::StartRecordRspModel, rtc::StopRecordRspModel, rtc::ReportRtcMuteRspModel,
                      rtc::RtcMuteAllRspModel, rtc::RtcMuteUserRspModel, rtc::OperateCameraRspModel,
                      rtc::ShareScreenRspModel>();
}

TEST(RtcModelsTest, WrongTypesInResponsesFail) {
  const bool decoded[] = {
      // A user's number4 is 32-bit; flag2 a bool; number3 an int; the conference a map.
      rtc::ListConfUserRspModel().Unpackb(Bytes("81 01 91 81 04 ce 80 00 00 00"), nullptr),
      rtc::ListConfUserRspModel().Unpackb(Bytes("81 02 01"), nullptr),
      rtc::ListConfUserRspModel().Unpackb(Bytes("81 03 d3 00 00 00 00 00 00 00 01"), nullptr),
      rtc::GetConfDetailRspModel().Unpackb(Bytes("81 01 90"), nullptr),
      rtc::GetTokenRspModel().Unpackb(Bytes("81 02 c4 01 61"), nullptr),
      rtc::PaneModel().Unpackb(Bytes("81 01 cb 3f f0 00 00 00 00 00 00"), nullptr),
  };
  for (size_t i = 0; i < std::size(decoded); ++i) EXPECT_FALSE(decoded[i]) << i;
}

}  // namespace
