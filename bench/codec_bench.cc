// Encode and decode of the adaptor's bodies: this module's codec, msgpack-cxx doing the same
// work into the same records, memcpy of the body (the machine's limit) and the string floor
// (building the body's std::string values and nothing else: what any decode into fresh models
// must pay at least). Names are "<operation>/<body>/<implementation>"; report.cc reads them.
#include <benchmark/benchmark.h>

#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "alloc_counter.h"
#include "bench_data.h"
#include "benchmarks.h"
#include "classScene/class_scene_models.h"
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

// Cases live as long as the benchmarks that use them.
template <typename Record>
const Case& MakeCase(const Record& record) {
  static std::deque<Case> cases;
  Case& c = cases.emplace_back();
  c.body = tessel::idl::Packb(tessel::idl::ToModel(record));
  BufferSource src{c.body.data(), c.body.size(), 0};
  MsgpackContext ctx = tessel::idl::MakeReadContext(&src);
  FindStrings(&ctx, &src, &c);
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

template <typename Record>
void RegisterDecode(const std::string& body, const Record& record) {
  using Model = typename tessel::idl::RecordBinding<Record>::Model;
  const Case& c = MakeCase(record);
  const std::string name = std::string(kDecode) + "/" + body + "/";
  benchmark::RegisterBenchmark((name + kOurs).c_str(),
                               [&c](benchmark::State& s) { OurDecode<Model>(s, c); });
  benchmark::RegisterBenchmark((name + kPeer).c_str(),
                               [&c](benchmark::State& s) { PeerDecode<Record>(s, c); });
  benchmark::RegisterBenchmark((name + kFloor).c_str(),
                               [&c](benchmark::State& s) { StringFloor(s, c); });
  benchmark::RegisterBenchmark((name + kMemcpy).c_str(),
                               [&c](benchmark::State& s) { Memcpy(s, c); });
}

// ---- encode -------------------------------------------------------------------------------

template <typename Model>
void OurEncode(benchmark::State& state, const Model& model, size_t size) {
  const uint64_t before = Allocations();
  for (auto _ : state) {
    std::string body = tessel::idl::Packb(model);
    benchmark::DoNotOptimize(body);
  }
  Finish(state, size, before);
}

template <typename Record>
void PeerEncode(benchmark::State& state, const Record& record, const std::string& ours) {
  if (peer::Encode(record, ours.size()) != ours) {
    state.SkipWithError("msgpack-cxx wrote other bytes");
    return;
  }
  const uint64_t before = Allocations();
  for (auto _ : state) {
    std::string body = peer::Encode(record, ours.size());
    benchmark::DoNotOptimize(body);
  }
  Finish(state, ours.size(), before);
}

template <typename Record>
void RegisterEncode(const std::string& group, const std::string& body, const Record& record) {
  const auto model = tessel::idl::ToModel(record);
  const std::string bytes = tessel::idl::Packb(model);
  const std::string name = group + "/" + body + "/";
  benchmark::RegisterBenchmark((name + kOurs).c_str(), [model, bytes](benchmark::State& s) {
    OurEncode(s, model, bytes.size());
  });
  benchmark::RegisterBenchmark((name + kPeer).c_str(), [record, bytes](benchmark::State& s) {
    PeerEncode(s, record, bytes);
  });
}

template <typename Record>
void RegisterRequestEncode() {
  Record record;
  Fill(&record);
  RegisterEncode(kEncodeRequest, tessel::idl::RecordBinding<Record>::Model::QualifiedName(),
                 record);
}

}  // namespace

std::vector<std::string> RequestModelNames() {
  std::vector<std::string> names;
#define BENCH_NAME_RTC(Op, REQ, RSP, ...) names.push_back(::rtc::Op##ReqModel::QualifiedName());
#define BENCH_NAME_SCENE(Op, REQ, RSP, ...) \
  names.push_back(::classScene::Op##ReqModel::QualifiedName());
  VANTA_RTC_OPERATIONS(BENCH_NAME_RTC)
  VANTA_SCENECLASS_OPERATIONS(BENCH_NAME_SCENE)
#undef BENCH_NAME_RTC
#undef BENCH_NAME_SCENE
  return names;
}

void RegisterCodecBenchmarks() {
  RegisterDecode(kConfDetailRealistic, MakeConfDetail(20, true));
  RegisterDecode(kConfDetailShort, MakeConfDetail(20, false));
  RegisterDecode(kUserList100, MakeUserList(100));
  RegisterDecode(kUserList1000, MakeUserList(1000));
  RegisterDecode(kKick, MakeKick());

  RegisterEncode(kEncode, kConfDetailRealistic, MakeConfDetail(20, true));
  RegisterEncode(kEncode, kConfDetailShort, MakeConfDetail(20, false));
  RegisterEncode(kEncode, kUserList100, MakeUserList(100));
  RegisterEncode(kEncode, kUserList1000, MakeUserList(1000));
  RegisterEncode(kEncode, kKick, MakeKick());

#define BENCH_REQUEST_RTC(Op, REQ, RSP, ...) RegisterRequestEncode<vanta::rtc::Op##Req>();
#define BENCH_REQUEST_SCENE(Op, REQ, RSP, ...) RegisterRequestEncode<vanta::sceneclass::Op##Req>();
  VANTA_RTC_OPERATIONS(BENCH_REQUEST_RTC)
  VANTA_SCENECLASS_OPERATIONS(BENCH_REQUEST_SCENE)
#undef BENCH_REQUEST_RTC
#undef BENCH_REQUEST_SCENE
}

}  // namespace bench
