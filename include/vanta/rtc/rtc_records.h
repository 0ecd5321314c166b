// Host-facing records of the RTC adaptor: one request and one response record per operation,
// plus the nested Pane, ConfUser and ConfInfo.
//
// Each record's field list is written once, below, as a field table. The record structs here,
// the wire models (models/rtc/rtc_models.h) and the conversions between them are all expanded
// from these tables, so a field's position in its table is its position on the wire (MessagePack
// map key = position + 1). Never reorder a table.
//
// A table takes two macro arguments: F(type, name) for fields carried by record and model alike,
// and H(type, name) for fields the wire model has but the record does not carry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vanta/record_macros.h"

// clang-format off
#define VANTA_RTC_PANE_FIELDS(F, H) \
  F(float, number1) F(float, number2) F(float, number3) F(float, number4) F(int32_t, number5) \
  F(std::string, text6)

#define VANTA_RTC_CONF_USER_FIELDS(F, H) \
  F(std::string, user_id) F(std::string, text2) F(std::string, text3) F(int32_t, number4) \
  F(std::string, text5) F(int32_t, number6) F(int32_t, number7) F(int32_t, number8) \
  F(std::string, text9) F(std::string, text10) F(int64_t, number11) F(int64_t, number12) \
  F(std::string, text13) F(int64_t, number14)

#define VANTA_RTC_CONF_INFO_FIELDS(F, H) \
  F(std::string, text1) F(std::string, text2) F(std::string, text3) F(std::string, text4) \
  F(std::vector<::vanta::rtc::ConfUser>, users) F(std::string, text6) F(int32_t, number7) \
  F(int64_t, number8) F(int64_t, number9) F(int64_t, number10) F(int64_t, number11) \
  F(int64_t, number12) F(int32_t, number13) F(std::string, text14) F(std::string, text15) \
  F(std::string, text16) F(std::string, text17) F(std::string, text18)

// Requests: field 1 is always the conference id.
#define VANTA_RTC_GET_TOKEN_REQ_FIELDS(F, H) F(std::string, rtc_id)
#define VANTA_RTC_REPORT_JOIN_STATUS_REQ_FIELDS(F, H) \
  F(std::string, rtc_id) F(std::string, user_id) F(std::string, text3) F(int32_t, join_status) \
  F(std::string, text5) F(int32_t, number6) F(int32_t, number7)
#define VANTA_RTC_REPORT_LEAVE_STATUS_REQ_FIELDS(F, H) F(std::string, rtc_id) F(std::string, text2)
#define VANTA_RTC_PUSH_LIVE_STREAM_REQ_FIELDS(F, H) \
  F(std::string, rtc_id) F(std::string, push_url) F(int32_t, number3)
#define VANTA_RTC_STOP_LIVE_STREAM_REQ_FIELDS(F, H) F(std::string, rtc_id)
#define VANTA_RTC_SET_LAYOUT_REQ_FIELDS(F, H) \
  F(std::string, rtc_id) F(std::vector<std::string>, user_ids) F(int32_t, layout)
#define VANTA_RTC_SET_CUSTOM_LAYOUT_REQ_FIELDS(F, H) \
  F(std::string, rtc_id) F(std::vector<::vanta::rtc::Pane>, panes)
#define VANTA_RTC_ADD_MEMBERS_REQ_FIELDS(F, H) \
  F(std::string, rtc_id) F(std::vector<::vanta::rtc::ConfUser>, members)
#define VANTA_RTC_KICK_MEMBERS_REQ_FIELDS(F, H) \
  F(std::string, rtc_id) F(std::vector<std::string>, user_ids)
#define VANTA_RTC_GET_CONF_DETAIL_REQ_FIELDS(F, H) F(std::string, rtc_id)
#define VANTA_RTC_APPLY_LINK_MIC_REQ_FIELDS(F, H) F(std::string, rtc_id) F(bool, apply)
#define VANTA_RTC_APPROVE_LINK_MIC_REQ_FIELDS(F, H) \
  F(std::string, rtc_id) F(std::string, user_id) F(bool, approve)
#define VANTA_RTC_LIST_CONF_USER_REQ_FIELDS(F, H) \
  F(std::string, rtc_id) F(int32_t, number2) F(int32_t, number3)
#define VANTA_RTC_LIST_APPLY_LINK_MIC_USER_REQ_FIELDS(F, H) \
  F(std::string, rtc_id) F(int32_t, number2) F(int32_t, number3)
#define VANTA_RTC_START_RECORD_REQ_FIELDS(F, H) F(std::string, rtc_id) F(int32_t, number2)
#define VANTA_RTC_STOP_RECORD_REQ_FIELDS(F, H) F(std::string, rtc_id)
#define VANTA_RTC_REPORT_RTC_MUTE_REQ_FIELDS(F, H) F(std::string, rtc_id) F(bool, mute)
#define VANTA_RTC_RTC_MUTE_ALL_REQ_FIELDS(F, H) F(std::string, rtc_id) F(bool, mute)
#define VANTA_RTC_RTC_MUTE_USER_REQ_FIELDS(F, H) \
  F(std::string, rtc_id) F(std::string, user_id) F(bool, mute)
#define VANTA_RTC_OPERATE_CAMERA_REQ_FIELDS(F, H) F(std::string, rtc_id) F(bool, enable)
#define VANTA_RTC_SHARE_SCREEN_REQ_FIELDS(F, H) F(std::string, rtc_id) F(bool, share)

// Responses.
#define VANTA_RTC_GET_TOKEN_RSP_FIELDS(F, H) \
  F(std::string, text1) F(std::string, token) F(std::string, text3) F(std::string, text4) \
  F(int64_t, number5) F(std::string, text6)
#define VANTA_RTC_REPORT_JOIN_STATUS_RSP_FIELDS(F, H) \
  F(::vanta::rtc::ConfInfo, conf_info) F(int64_t, number2) F(int64_t, number3)
#define VANTA_RTC_GET_CONF_DETAIL_RSP_FIELDS(F, H) \
  F(::vanta::rtc::ConfInfo, conf_info) F(int64_t, number2)
#define VANTA_RTC_REPORT_LEAVE_STATUS_RSP_FIELDS(F, H) F(int64_t, number1)
#define VANTA_RTC_ADD_MEMBERS_RSP_FIELDS(F, H) F(int64_t, number1)
#define VANTA_RTC_KICK_MEMBERS_RSP_FIELDS(F, H) F(int64_t, number1)
#define VANTA_RTC_LIST_CONF_USER_RSP_FIELDS(F, H) \
  F(std::vector<::vanta::rtc::ConfUser>, users) F(bool, flag2) F(int32_t, number3)
#define VANTA_RTC_LIST_APPLY_LINK_MIC_USER_RSP_FIELDS(F, H) \
  F(std::vector<::vanta::rtc::ConfUser>, users) F(bool, flag2) F(int32_t, number3)
#define VANTA_RTC_PUSH_LIVE_STREAM_RSP_FIELDS(F, H)
#define VANTA_RTC_STOP_LIVE_STREAM_RSP_FIELDS(F, H)
#define VANTA_RTC_SET_LAYOUT_RSP_FIELDS(F, H)
#define VANTA_RTC_SET_CUSTOM_LAYOUT_RSP_FIELDS(F, H)
#define VANTA_RTC_APPLY_LINK_MIC_RSP_FIELDS(F, H)
#define VANTA_RTC_APPROVE_LINK_MIC_RSP_FIELDS(F, H)
#define VANTA_RTC_START_RECORD_RSP_FIELDS(F, H)
#define VANTA_RTC_STOP_RECORD_RSP_FIELDS(F, H)
#define VANTA_RTC_REPORT_RTC_MUTE_RSP_FIELDS(F, H)
#define VANTA_RTC_RTC_MUTE_ALL_RSP_FIELDS(F, H)
#define VANTA_RTC_RTC_MUTE_USER_RSP_FIELDS(F, H)
#define VANTA_RTC_OPERATE_CAMERA_RSP_FIELDS(F, H)
#define VANTA_RTC_SHARE_SCREEN_RSP_FIELDS(F, H)

// The three nested records, in dependency order.
#define VANTA_RTC_NESTED_RECORDS(X) \
  X(Pane, VANTA_RTC_PANE_FIELDS) \
  X(ConfUser, VANTA_RTC_CONF_USER_FIELDS) \
  X(ConfInfo, VANTA_RTC_CONF_INFO_FIELDS)

// The 21 adaptor operations in the order of RtcManager's slots:
// X(Op, request table, response table, uri suffix, failure text, missing-sender line).
#define VANTA_RTC_OPERATIONS(X) \
  X(GetToken, VANTA_RTC_GET_TOKEN_REQ_FIELDS, VANTA_RTC_GET_TOKEN_RSP_FIELDS, "getToken", "GetToken failed,", "rtc GetToken. get rpc service is null") \
  X(ReportJoinStatus, VANTA_RTC_REPORT_JOIN_STATUS_REQ_FIELDS, VANTA_RTC_REPORT_JOIN_STATUS_RSP_FIELDS, "reportJoinStatus", "ReportJoinStatus failed,", "rtc ReportJoinStatus. get rpc service is null") \
  X(ReportLeaveStatus, VANTA_RTC_REPORT_LEAVE_STATUS_REQ_FIELDS, VANTA_RTC_REPORT_LEAVE_STATUS_RSP_FIELDS, "reportLeaveStatus", "ReportLeaveStatus failed,", "rtc ReportLeaveStatus. get rpc service is null") \
  X(PushLiveStream, VANTA_RTC_PUSH_LIVE_STREAM_REQ_FIELDS, VANTA_RTC_PUSH_LIVE_STREAM_RSP_FIELDS, "pushLiveStream", "PushLiveStream failed,", "rtc PushLiveStream. get rpc service is null") \
  X(StopLiveStream, VANTA_RTC_STOP_LIVE_STREAM_REQ_FIELDS, VANTA_RTC_STOP_LIVE_STREAM_RSP_FIELDS, "stopLiveStream", "StopLiveStream failed,", "rtc StopLiveStream. get rpc service is null") \
  X(SetLayout, VANTA_RTC_SET_LAYOUT_REQ_FIELDS, VANTA_RTC_SET_LAYOUT_RSP_FIELDS, "setLayout", "SetLayout failed,", "rtc SetLayout. get rpc service is null") \
  X(SetCustomLayout, VANTA_RTC_SET_CUSTOM_LAYOUT_REQ_FIELDS, VANTA_RTC_SET_CUSTOM_LAYOUT_RSP_FIELDS, "setCustomLayout", "SetCustomLayout failed,", "rtc SetCustomLayout. get rpc service is null") \
  X(AddMembers, VANTA_RTC_ADD_MEMBERS_REQ_FIELDS, VANTA_RTC_ADD_MEMBERS_RSP_FIELDS, "addMembers", "rtc AddMembers failed,", "rtc AddMembers. get rpc service is null") \
  X(KickMembers, VANTA_RTC_KICK_MEMBERS_REQ_FIELDS, VANTA_RTC_KICK_MEMBERS_RSP_FIELDS, "kickMembers", "KickMembers failed,", "rtc KickMembers. get rpc service is null") \
  X(GetConfDetail, VANTA_RTC_GET_CONF_DETAIL_REQ_FIELDS, VANTA_RTC_GET_CONF_DETAIL_RSP_FIELDS, "getConfDetail", "GetConfDetail failed,", "rtc GetConfDetail. get rpc service is null") \
  X(ApplyLinkMic, VANTA_RTC_APPLY_LINK_MIC_REQ_FIELDS, VANTA_RTC_APPLY_LINK_MIC_RSP_FIELDS, "applyLinkMic", "ApplyLinkMic failed,", "rtc ApplyLinkMic. get rpc service is null") \
  X(ApproveLinkMic, VANTA_RTC_APPROVE_LINK_MIC_REQ_FIELDS, VANTA_RTC_APPROVE_LINK_MIC_RSP_FIELDS, "approveLinkMic", "ApproveLinkMic failed,", "rtc ApproveLinkMic. get rpc service is null") \
  X(ListConfUser, VANTA_RTC_LIST_CONF_USER_REQ_FIELDS, VANTA_RTC_LIST_CONF_USER_RSP_FIELDS, "listConfUser", "ListConfUser failed,", "rtc ListConfUser. get rpc service is null") \
  X(ListApplyLinkMicUser, VANTA_RTC_LIST_APPLY_LINK_MIC_USER_REQ_FIELDS, VANTA_RTC_LIST_APPLY_LINK_MIC_USER_RSP_FIELDS, "listApplyLinkMicUser", "ListApplyLinkMicUser failed,", "rtc ListApplyLinkMicUser. get rpc service is null") \
  X(StartRecord, VANTA_RTC_START_RECORD_REQ_FIELDS, VANTA_RTC_START_RECORD_RSP_FIELDS, "startRecord", "StartRecord failed,", "rtc StartRecord. get rpc service is null") \
  X(StopRecord, VANTA_RTC_STOP_RECORD_REQ_FIELDS, VANTA_RTC_STOP_RECORD_RSP_FIELDS, "stopRecord", "StopRecord failed,", "rtc StopRecord. get rpc service is null") \
  X(ReportRtcMute, VANTA_RTC_REPORT_RTC_MUTE_REQ_FIELDS, VANTA_RTC_REPORT_RTC_MUTE_RSP_FIELDS, "reportRtcMute", "ReportRtcMute failed,", "rtc ReportRtcMute. get rpc service is null") \
  X(RtcMuteAll, VANTA_RTC_RTC_MUTE_ALL_REQ_FIELDS, VANTA_RTC_RTC_MUTE_ALL_RSP_FIELDS, "rtcMuteAll", "RtcMuteAll failed,", "rtc RtcMuteAll. get rpc service is null") \
  X(RtcMuteUser, VANTA_RTC_RTC_MUTE_USER_REQ_FIELDS, VANTA_RTC_RTC_MUTE_USER_RSP_FIELDS, "rtcMuteUser", "RtcMuteUser failed,", "rtc RtcMuteUser. get rpc service is null") \
  X(OperateCamera, VANTA_RTC_OPERATE_CAMERA_REQ_FIELDS, VANTA_RTC_OPERATE_CAMERA_RSP_FIELDS, "operateCamera", "OperateCamera failed,", "rtc OperateCamera. get rpc service is null") \
  X(ShareScreen, VANTA_RTC_SHARE_SCREEN_REQ_FIELDS, VANTA_RTC_SHARE_SCREEN_RSP_FIELDS, "shareScreen", "ShareScreen failed,", "rtc ShareScreen. get rpc service is null")
// clang-format on

namespace vanta {
namespace rtc {

// Plain value records: no presence flags; an absent response field reads as its default.
#define VANTA_RTC_DECLARE_NESTED(Name, FIELDS) VANTA_DECLARE_RECORD(Name, FIELDS)
VANTA_RTC_NESTED_RECORDS(VANTA_RTC_DECLARE_NESTED)
#undef VANTA_RTC_DECLARE_NESTED

#define VANTA_RTC_DECLARE_OPERATION(Op, REQ, RSP, uri, failure, missing) \
  VANTA_DECLARE_RECORD(Op##Req, REQ)                                     \
  VANTA_DECLARE_RECORD(Op##Rsp, RSP)
VANTA_RTC_OPERATIONS(VANTA_RTC_DECLARE_OPERATION)
#undef VANTA_RTC_DECLARE_OPERATION

}  // namespace rtc
}  // namespace vanta
