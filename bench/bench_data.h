// The records the benchmarks encode and decode: conference details of 20 users with realistic
// identifiers (24 to 36 bytes, a few longer texts) or with strings that all fit the small-string
// buffer, user lists of 100 and 1 000, and a small kick request.
#pragma once

#include <string>

#include "vanta/rtc/rtc_records.h"

namespace bench {

vanta::rtc::GetConfDetailRsp MakeConfDetail(int users, bool realistic);
vanta::rtc::ListConfUserRsp MakeUserList(int users);
vanta::rtc::KickMembersReq MakeKick();

}  // namespace bench
