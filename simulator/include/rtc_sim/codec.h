// Typed access to adaptor bodies, so that nobody writes MessagePack by hand to test a host:
// encode a request or response record into the exact body the module sends or expects, decode a
// body into a record, encode an error body, and render any body as JSON with field names.
//
// Every function here is a plain, thread-safe function of its arguments. None throws: a body
// that does not decode is a false result.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rtc_sim/export.h"
#include "vanta/rtc/rtc_records.h"
#include "vanta/sceneclass/class_scene_records.h"

namespace rtc_sim {

// The two adaptors' URIs are these prefixes followed by the operation's suffix.
constexpr const char kRtcUriPrefix[] = "/r/Adaptor/RtcMlink/";
constexpr const char kClassSceneUriPrefix[] = "/r/Adaptor/ClassScene/";

// The 25 adaptor URIs: the 21 RTC operations, then the 4 class-scene operations, each in the
// order of its client's slots.
RTC_SIM_EXPORT const std::vector<std::string>& AdaptorUris();

// Resolves what a user may write for an operation: a full adaptor URI
// ("/r/Adaptor/RtcMlink/getToken") or its suffix alone ("getToken"). Empty when neither.
RTC_SIM_EXPORT std::string ResolveUri(const std::string& uri_or_suffix);

// Encode: the body the module sends (request records) or expects (response records): every
// field present, MessagePack keys in table order.
// Decode: false when `body` does not decode as the record's model; `out` then holds what was
// decoded before the failure. Unknown keys are skipped, and a nil body gives an empty record (as
// the module reads it). `out` must not be null.
#define RTC_SIM_DECLARE_CODEC(Ns, Op)                                    \
  RTC_SIM_EXPORT std::string Encode(const Ns::Op##Req& record);          \
  RTC_SIM_EXPORT std::string Encode(const Ns::Op##Rsp& record);          \
  RTC_SIM_EXPORT bool Decode(const std::string& body, Ns::Op##Req* out); \
  RTC_SIM_EXPORT bool Decode(const std::string& body, Ns::Op##Rsp* out);
#define RTC_SIM_DECLARE_RTC_CODEC(Op, REQ, RSP, uri, failure, missing) \
  RTC_SIM_DECLARE_CODEC(vanta::rtc, Op)
#define RTC_SIM_DECLARE_CLASS_CODEC(Op, REQ, RSP, uri, failure) \
  RTC_SIM_DECLARE_CODEC(vanta::sceneclass, Op)
VANTA_RTC_OPERATIONS(RTC_SIM_DECLARE_RTC_CODEC)
VANTA_SCENECLASS_OPERATIONS(RTC_SIM_DECLARE_CLASS_CODEC)
#undef RTC_SIM_DECLARE_RTC_CODEC
#undef RTC_SIM_DECLARE_CLASS_CODEC
#undef RTC_SIM_DECLARE_CODEC

// The body of an error answer (a non-2xx code). The module turns it into the host's NexoError:
// `code` read as a decimal number, `reason`, `developer_message`, `more_info` and `scope` copied.
struct ErrorBody {
  std::string code;
  std::string reason;
  std::string developer_message;
  std::string more_info;
  std::string scope;
};
RTC_SIM_EXPORT std::string EncodeError(const ErrorBody& error);
RTC_SIM_EXPORT bool DecodeError(const std::string& body, ErrorBody* out);

// JSON rendering of bodies, with the field names of the record tables (a wire-only field, such
// as the class detail's field13, under its table name too). Only fields present on the wire are
// shown. An answer with a non-2xx code is rendered as an error body. True when the body decoded;
// otherwise (or for a URI that is not an adaptor URI) `json` is {"undecodable":"<hex bytes>"}.
RTC_SIM_EXPORT bool RequestJson(const std::string& uri, const std::string& body, std::string* json);
RTC_SIM_EXPORT bool AnswerJson(const std::string& uri, int32_t code, const std::string& body,
                               std::string* json);

// Lower-case hex of `bytes`, and back (false on an odd length or a non-hex character).
RTC_SIM_EXPORT std::string ToHex(const std::string& bytes);
RTC_SIM_EXPORT bool FromHex(const std::string& hex, std::string* bytes);

}  // namespace rtc_sim
