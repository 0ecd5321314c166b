// The same records written and read with msgpack-cxx, the way a developer would use that
// library: its packer (strings in the module's header forms, so both sides write the same
// bytes), and msgpack::unpack into an object tree converted field by field into the records.
#pragma once

#include <string>

#include "vanta/rtc/rtc_records.h"

namespace bench {
namespace peer {

std::string Encode(const vanta::rtc::GetConfDetailRsp& rsp, size_t reserve);
std::string Encode(const vanta::rtc::ListConfUserRsp& rsp, size_t reserve);
std::string Encode(const vanta::rtc::KickMembersReq& req, size_t reserve);

bool Decode(const std::string& body, vanta::rtc::GetConfDetailRsp* out);
bool Decode(const std::string& body, vanta::rtc::ListConfUserRsp* out);
bool Decode(const std::string& body, vanta::rtc::KickMembersReq* out);

}  // namespace peer
}  // namespace bench
