// The same records written and read with msgpack-cxx, the way a developer would use that
// library: its packer, field by field (strings in the module's header forms, so both sides
// write the same bytes), and msgpack::unpack into an object tree converted field by field into
// the records. Expanded from the same field tables as the models, so the two cannot disagree on
// a key.
#pragma once

#include <string>

#include "vanta/rtc/rtc_records.h"
#include "vanta/sceneclass/class_scene_records.h"

namespace bench {
namespace peer {

// `reserve` sizes the packer's first buffer (the exact body size: generous to the peer).
#define BENCH_PEER_DECLARE(Record)                          \
  std::string Encode(const Record& record, size_t reserve); \
  bool Decode(const std::string& body, Record* out);
#define BENCH_PEER_DECLARE_RTC(Op, REQ, RSP, ...) \
  BENCH_PEER_DECLARE(vanta::rtc::Op##Req)         \
  BENCH_PEER_DECLARE(vanta::rtc::Op##Rsp)
#define BENCH_PEER_DECLARE_SCENE(Op, REQ, RSP, ...) BENCH_PEER_DECLARE(vanta::sceneclass::Op##Req)
VANTA_RTC_OPERATIONS(BENCH_PEER_DECLARE_RTC)
VANTA_SCENECLASS_OPERATIONS(BENCH_PEER_DECLARE_SCENE)
#undef BENCH_PEER_DECLARE_RTC
#undef BENCH_PEER_DECLARE_SCENE
#undef BENCH_PEER_DECLARE

}  // namespace peer
}  // namespace bench
