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

// Every operation record the peer serves (each request, and the rtc responses): expands
// BENCH_PEER_EACH(Record), which the user defines first.
#define BENCH_PEER_RTC_RECORDS(Op, ...) \
  BENCH_PEER_EACH(vanta::rtc::Op##Req) BENCH_PEER_EACH(vanta::rtc::Op##Rsp)
#define BENCH_PEER_SCENE_RECORDS(Op, ...) BENCH_PEER_EACH(vanta::sceneclass::Op##Req)
#define BENCH_PEER_OPERATION_RECORDS()         \
  VANTA_RTC_OPERATIONS(BENCH_PEER_RTC_RECORDS) \
  VANTA_SCENECLASS_OPERATIONS(BENCH_PEER_SCENE_RECORDS)

// `reserve` sizes the packer's first buffer (the exact body size: generous to the peer).
#define BENCH_PEER_EACH(Record)                             \
  std::string Encode(const Record& record, size_t reserve); \
  bool Decode(const std::string& body, Record* out);
BENCH_PEER_OPERATION_RECORDS()
#undef BENCH_PEER_EACH

}  // namespace peer
}  // namespace bench
