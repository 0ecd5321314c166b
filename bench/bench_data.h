// The records the benchmarks encode and decode: conference details of 20 users with realistic
// identifiers (24 to 36 bytes, a few longer texts) or with strings that all fit the small-string
// buffer, user lists of 100 and 1 000, a small kick request, and every request record of both
// adaptors with realistic values.
#pragma once

#include <string>

#include "vanta/rtc/rtc_records.h"
#include "vanta/sceneclass/class_scene_records.h"

namespace bench {

vanta::rtc::GetConfDetailRsp MakeConfDetail(int users, bool realistic);
vanta::rtc::ListConfUserRsp MakeUserList(int users);
vanta::rtc::KickMembersReq MakeKick();

// A request as the service builds it: a conference id, user ids, a push url, small numbers,
// three user ids or two members or four panes in lists. The same values on every call.
#define BENCH_DECLARE_REQUEST_RTC(Op, REQ, RSP, ...) void Fill(vanta::rtc::Op##Req* request);
#define BENCH_DECLARE_REQUEST_SCENE(Op, REQ, RSP, ...) \
  void Fill(vanta::sceneclass::Op##Req* request);
VANTA_RTC_OPERATIONS(BENCH_DECLARE_REQUEST_RTC)
VANTA_SCENECLASS_OPERATIONS(BENCH_DECLARE_REQUEST_SCENE)
#undef BENCH_DECLARE_REQUEST_RTC
#undef BENCH_DECLARE_REQUEST_SCENE

}  // namespace bench
