// Encode and decode of the adaptor's bodies: this module's codec, msgpack-cxx doing the same
// work into the same records, memcpy of the body (the machine's limit) and the string floor
// (building the body's std::string values and nothing else: what any decode into fresh models
// must pay at least).
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "alloc_counter.h"
#include "bench_data.h"
#include "msgpack_peer.h"
#include "rtc/rtc_models.h"
#include "tessel/idl/model.h"
#include "tessel/idl/msgpack.h"

namespace bench {
namespace {

using tessel::idl::BufferSource;
using tessel::idl::MsgpackContext;
namespace mp = tessel::idl::msgpack;

struct Case {
  std::string body;
  std::vector<std::pair<size_t, size_t>> strings;  // offset and length of every string payload
};

// Where the body's strings are (setup only).
void FindStrings(MsgpackContext* ctx, BufferSource* src, Case* out) {
  mp::Header h;
  if (!mp::ReadHeader(ctx, &h)) return;
  switch (h.kind) {
    case mp::Kind::kStr:
      out->strings.emplace_back(static_cast<size_t>(src->position), h.length);
      src->position += h.length;
      break;
    case mp::Kind::kArray:
      for (uint32_t i = 0; i < h.length; ++i) FindStrings(ctx, src, out);
      break;
    case mp::Kind::kMap:
      for (uint32_t i = 0; i < 2 * h.length; ++i) FindStrings(ctx, src, out);
      break;
    default:
      break;
  }
}

template <typename Record>
Case MakeCase(const Record& record) {
  Case c;
  c.body = tessel::idl::Packb(tessel::idl::ToModel(record));
  BufferSource src{c.body.data(), c.body.size(), 0};
  MsgpackContext ctx = tessel::idl::MakeReadContext(&src);
  FindStrings(&ctx, &src, &c);
  return c;
}

const Case& ConfDetailRealistic() {
  static const Case c = MakeCase(MakeConfDetail(20, true));
  return c;
}
const Case& ConfDetailShort() {
  static const Case c = MakeCase(MakeConfDetail(20, false));
  return c;
}
const Case& UserList(int n) {
  static const Case c100 = MakeCase(MakeUserList(100));
  static const Case c1000 = MakeCase(MakeUserList(1000));
  return n == 100 ? c100 : c1000;
}
const Case& Kick() {
  static const Case c = MakeCase(MakeKick());
  return c;
}

void Finish(benchmark::State& state, size_t bytes, uint64_t allocations_before) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["allocs/op"] =
      benchmark::Counter(static_cast<double>(Allocations() - allocations_before) /
                         static_cast<double>(state.iterations() == 0 ? 1 : state.iterations()));
  state.counters["body_bytes"] = static_cast<double>(bytes);
}

// ---- decode -------------------------------------------------------------------------------

template <typename Model>
void OurDecode(benchmark::State& state, const Case& c) {
  const uint64_t before = Allocations();
  for (auto _ : state) {
    Model model;
    bool ok = model.Unpackb(c.body, nullptr);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(model);
  }
  Finish(state, c.body.size(), before);
}

template <typename Record>
void PeerDecode(benchmark::State& state, const Case& c) {
  const uint64_t before = Allocations();
  for (auto _ : state) {
    Record record;
    bool ok = peer::Decode(c.body, &record);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(record);
  }
  Finish(state, c.body.size(), before);
}

void StringFloor(benchmark::State& state, const Case& c) {
  const uint64_t before = Allocations();
  // The strings live together until the end, as they do in a decoded model.
  std::vector<std::string> values;
  values.reserve(c.strings.size());
  for (auto _ : state) {
    for (const auto& s : c.strings) values.emplace_back(c.body.data() + s.first, s.second);
    benchmark::DoNotOptimize(values.data());
    values.clear();
  }
  Finish(state, c.body.size(), before);
}

void Memcpy(benchmark::State& state, const Case& c) {
  std::string target(c.body.size(), '\0');
  const uint64_t before = Allocations();
  for (auto _ : state) {
    std::memcpy(&target[0], c.body.data(), c.body.size());
    benchmark::ClobberMemory();
  }
  Finish(state, c.body.size(), before);
}

// ---- encode -------------------------------------------------------------------------------

template <typename Record>
void OurEncode(benchmark::State& state, const Record& record, size_t size) {
  const auto model = tessel::idl::ToModel(record);
  const uint64_t before = Allocations();
  for (auto _ : state) {
    std::string body;
    body.reserve(size);
    tessel::idl::Packb(model, &body);
    benchmark::DoNotOptimize(body);
  }
  Finish(state, size, before);
}

template <typename Record>
void PeerEncode(benchmark::State& state, const Record& record, size_t size) {
  const uint64_t before = Allocations();
  for (auto _ : state) {
    std::string body = peer::Encode(record, size);
    benchmark::DoNotOptimize(body);
  }
  Finish(state, size, before);
}

// ---- registration -------------------------------------------------------------------------

void BM_Decode_ConfDetail20_Realistic_Ours(benchmark::State& s) {
  OurDecode<rtc::GetConfDetailRspModel>(s, ConfDetailRealistic());
}
void BM_Decode_ConfDetail20_Realistic_MsgpackCxx(benchmark::State& s) {
  PeerDecode<vanta::rtc::GetConfDetailRsp>(s, ConfDetailRealistic());
}
void BM_Decode_ConfDetail20_Realistic_StringFloor(benchmark::State& s) {
  StringFloor(s, ConfDetailRealistic());
}
void BM_Decode_ConfDetail20_Realistic_Memcpy(benchmark::State& s) {
  Memcpy(s, ConfDetailRealistic());
}
void BM_Decode_ConfDetail20_Short_Ours(benchmark::State& s) {
  OurDecode<rtc::GetConfDetailRspModel>(s, ConfDetailShort());
}
void BM_Decode_ConfDetail20_Short_MsgpackCxx(benchmark::State& s) {
  PeerDecode<vanta::rtc::GetConfDetailRsp>(s, ConfDetailShort());
}
void BM_Decode_ConfDetail20_Short_StringFloor(benchmark::State& s) {
  StringFloor(s, ConfDetailShort());
}
void BM_Decode_ConfDetail20_Short_Memcpy(benchmark::State& s) {
  Memcpy(s, ConfDetailShort());
}
void BM_Decode_UserList100_Ours(benchmark::State& s) {
  OurDecode<rtc::ListConfUserRspModel>(s, UserList(100));
}
void BM_Decode_UserList100_MsgpackCxx(benchmark::State& s) {
  PeerDecode<vanta::rtc::ListConfUserRsp>(s, UserList(100));
}
void BM_Decode_UserList100_StringFloor(benchmark::State& s) {
  StringFloor(s, UserList(100));
}
void BM_Decode_UserList1000_Ours(benchmark::State& s) {
  OurDecode<rtc::ListConfUserRspModel>(s, UserList(1000));
}
void BM_Decode_UserList1000_MsgpackCxx(benchmark::State& s) {
  PeerDecode<vanta::rtc::ListConfUserRsp>(s, UserList(1000));
}
void BM_Decode_UserList1000_StringFloor(benchmark::State& s) {
  StringFloor(s, UserList(1000));
}
void BM_Decode_Kick3_Ours(benchmark::State& s) {
  OurDecode<rtc::KickMembersReqModel>(s, Kick());
}
void BM_Decode_Kick3_MsgpackCxx(benchmark::State& s) {
  PeerDecode<vanta::rtc::KickMembersReq>(s, Kick());
}

void BM_Encode_ConfDetail20_Realistic_Ours(benchmark::State& s) {
  OurEncode(s, MakeConfDetail(20, true), ConfDetailRealistic().body.size());
}
void BM_Encode_ConfDetail20_Realistic_MsgpackCxx(benchmark::State& s) {
  PeerEncode(s, MakeConfDetail(20, true), ConfDetailRealistic().body.size());
}
void BM_Encode_ConfDetail20_Short_Ours(benchmark::State& s) {
  OurEncode(s, MakeConfDetail(20, false), ConfDetailShort().body.size());
}
void BM_Encode_ConfDetail20_Short_MsgpackCxx(benchmark::State& s) {
  PeerEncode(s, MakeConfDetail(20, false), ConfDetailShort().body.size());
}
void BM_Encode_UserList100_Ours(benchmark::State& s) {
  OurEncode(s, MakeUserList(100), UserList(100).body.size());
}
void BM_Encode_UserList100_MsgpackCxx(benchmark::State& s) {
  PeerEncode(s, MakeUserList(100), UserList(100).body.size());
}
void BM_Encode_UserList1000_Ours(benchmark::State& s) {
  OurEncode(s, MakeUserList(1000), UserList(1000).body.size());
}
void BM_Encode_UserList1000_MsgpackCxx(benchmark::State& s) {
  PeerEncode(s, MakeUserList(1000), UserList(1000).body.size());
}
void BM_Encode_Kick3_Ours(benchmark::State& s) {
  OurEncode(s, MakeKick(), Kick().body.size());
}
void BM_Encode_Kick3_MsgpackCxx(benchmark::State& s) {
  PeerEncode(s, MakeKick(), Kick().body.size());
}

BENCHMARK(BM_Decode_ConfDetail20_Realistic_Ours);
BENCHMARK(BM_Decode_ConfDetail20_Realistic_MsgpackCxx);
BENCHMARK(BM_Decode_ConfDetail20_Realistic_StringFloor);
BENCHMARK(BM_Decode_ConfDetail20_Realistic_Memcpy);
BENCHMARK(BM_Decode_ConfDetail20_Short_Ours);
BENCHMARK(BM_Decode_ConfDetail20_Short_MsgpackCxx);
BENCHMARK(BM_Decode_ConfDetail20_Short_StringFloor);
BENCHMARK(BM_Decode_ConfDetail20_Short_Memcpy);
BENCHMARK(BM_Decode_UserList100_Ours);
BENCHMARK(BM_Decode_UserList100_MsgpackCxx);
BENCHMARK(BM_Decode_UserList100_StringFloor);
BENCHMARK(BM_Decode_UserList1000_Ours);
BENCHMARK(BM_Decode_UserList1000_MsgpackCxx);
BENCHMARK(BM_Decode_UserList1000_StringFloor);
BENCHMARK(BM_Decode_Kick3_Ours);
BENCHMARK(BM_Decode_Kick3_MsgpackCxx);
BENCHMARK(BM_Encode_ConfDetail20_Realistic_Ours);
BENCHMARK(BM_Encode_ConfDetail20_Realistic_MsgpackCxx);
BENCHMARK(BM_Encode_ConfDetail20_Short_Ours);
BENCHMARK(BM_Encode_ConfDetail20_Short_MsgpackCxx);
BENCHMARK(BM_Encode_UserList100_Ours);
BENCHMARK(BM_Encode_UserList100_MsgpackCxx);
BENCHMARK(BM_Encode_UserList1000_Ours);
BENCHMARK(BM_Encode_UserList1000_MsgpackCxx);
BENCHMARK(BM_Encode_Kick3_Ours);
BENCHMARK(BM_Encode_Kick3_MsgpackCxx);

}  // namespace
}  // namespace bench
