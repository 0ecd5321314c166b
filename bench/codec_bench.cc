// Encode and decode of the adaptor's bodies: this module's codec, msgpack-cxx doing the same
// work into the same records, memcpy of the body (the machine's limit) and the string floor
// (for a decode, building the body's std::string values and nothing else: what any decode into
// fresh models must pay at least; for an encode, building the body's one string), each body
// one contest of those implementations (see contest.h). Names are "<operation>/<body>";
// report.cc reads them.
#include <benchmark/benchmark.h>

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench_data.h"
#include "benchmarks.h"
#include "classScene/class_scene_models.h"
#include "contest.h"
#include "msgpack_peer.h"
#include "rtc/rtc_models.h"
#include "tessel/idl/model.h"
#include "tessel/idl/msgpack.h"

namespace bench {
namespace {

using tessel::idl::BufferSource;
using tessel::idl::MsgpackContext;
namespace mp = tessel::idl::msgpack;

// Where the body's strings are (setup only): offset and length of every string payload.
void FindStrings(MsgpackContext* ctx, BufferSource* src,
                 std::vector<std::pair<size_t, size_t>>* out) {
  mp::Header h;
  if (!mp::ReadHeader(ctx, &h)) return;
  switch (h.kind) {
    case mp::Kind::kStr:
      out->emplace_back(static_cast<size_t>(src->position), h.length);
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

// Contests live as long as the benchmarks that run them.
Contest& NewContest() {
  static std::deque<Contest> contests;
  return contests.emplace_back();
}

std::map<std::string, Contest*>& ContestsByName() {
  static std::map<std::string, Contest*> contests;
  return contests;
}

void Register(const std::string& name, Contest& contest, size_t bytes) {
  ContestsByName()[name] = &contest;
  benchmark::RegisterBenchmark(name.c_str(), [&contest, bytes](benchmark::State& state) {
    contest.Run(state);
    state.counters["body_bytes"] = static_cast<double>(bytes);
  });
}

template <typename Model>
void AddOurDecode(Contest& contest, const std::string& name, std::vector<std::string> bodies) {
  size_t next = 0;
  contest.Add(name, [bodies = std::move(bodies), next]() mutable {
    Model model;
    bool ok = model.Unpackb(bodies[next], nullptr);
    next = next + 1 == bodies.size() ? 0 : next + 1;
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(model);
  });
}

template <typename Record>
void RegisterDecode(const std::string& body_name, const Record& record) {
  using Model = typename tessel::idl::RecordBinding<Record>::Model;
  const std::string body = tessel::idl::Packb(tessel::idl::ToModel(record));
  std::vector<std::pair<size_t, size_t>> strings;
  BufferSource src{body.data(), body.size(), 0};
  MsgpackContext ctx = tessel::idl::MakeReadContext(&src);
  FindStrings(&ctx, &src, &strings);

  Contest& c = NewContest();
  AddOurDecode<Model>(c, kOurs, {body});
  c.Add(kPeer, [body] {
    Record out;
    bool ok = peer::Decode(body, &out);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(out);
  });
  // The strings live together until the end, as they do in a decoded model.
  c.Add(kFloor, [body, strings, values = std::vector<std::string>()]() mutable {
    values.reserve(strings.size());
    for (const auto& s : strings) values.emplace_back(body.data() + s.first, s.second);
    benchmark::DoNotOptimize(values.data());
    values.clear();
  });
  std::string target(body.size(), '\0');
  c.Add(kMemcpy, [body, target]() mutable {
    std::memcpy(&target[0], body.data(), body.size());
    benchmark::ClobberMemory();
  });
  c.AddRatio(kPeer, kOurs);
  c.AddRatio(kOurs, kFloor);
  Register(std::string(kDecode) + "/" + body_name, c, body.size());
}

// Scaling: one 1 000-user body against one 100-user body, and against ten 100-user bodies
// decoded in turn that hold the same 1 000 users. One body decoded again and again stays in the
// first-level cache and its branches are learnt; ten bodies are what a stream of answers looks
// like.
void RegisterScaling() {
  const auto thousand = MakeUserList(1000);
  std::vector<std::string> tenth;
  for (size_t k = 0; k < 10; ++k) {
    auto part = thousand;
    part.users.assign(thousand.users.begin() + static_cast<std::ptrdiff_t>(100 * k),
                      thousand.users.begin() + static_cast<std::ptrdiff_t>(100 * (k + 1)));
    part.number3 = 100;
    tenth.push_back(tessel::idl::Packb(tessel::idl::ToModel(part)));
  }
  const std::string body = tessel::idl::Packb(tessel::idl::ToModel(thousand));
  Contest& c = NewContest();
  using Model = rtc::ListConfUserRspModel;
  AddOurDecode<Model>(c, kScaling100,
                      {tessel::idl::Packb(tessel::idl::ToModel(MakeUserList(100)))});
  AddOurDecode<Model>(c, kScalingTen100, std::move(tenth));
  AddOurDecode<Model>(c, kScaling1000, {body});
  c.AddRatio(kScaling1000, kScaling100);
  c.AddRatio(kScaling1000, kScalingTen100);
  Register(std::string(kDecodeScaling) + "/" + kUserList, c, body.size());
}

template <typename Record>
void RegisterEncode(const std::string& name, const Record& record) {
  const auto model = tessel::idl::ToModel(record);
  const std::string bytes = tessel::idl::Packb(model);
  if (peer::Encode(record, bytes.size()) != bytes) {
    benchmark::RegisterBenchmark(name.c_str(), [](benchmark::State& state) {
      state.SkipWithError("msgpack-cxx wrote other bytes");
    });
    return;
  }
  Contest& c = NewContest();
  c.Add(kOurs, [model] {
    std::string body = tessel::idl::Packb(model);
    benchmark::DoNotOptimize(body);
  });
  const size_t size = bytes.size();
  c.Add(kPeer, [record, size] {
    std::string body = peer::Encode(record, size);
    benchmark::DoNotOptimize(body);
  });
  // The finished body copied into a new string: what any encode that returns a fresh
  // std::string pays at least (the allocation, the copy and the release).
  c.Add(kFloor, [bytes] {
    std::string body(bytes);
    benchmark::DoNotOptimize(body);
  });
  c.AddRatio(kPeer, kOurs);
  c.AddRatio(kOurs, kFloor);
  Register(name, c, size);
}

template <typename Record>
void RegisterRequestEncode() {
  Record record;
  Fill(&record);
  RegisterEncode(std::string(kEncodeRequest) + "/" +
                     tessel::idl::RecordBinding<Record>::Model::QualifiedName(),
                 record);
}

}  // namespace

bool RunOperations(const std::string& benchmark, const std::string& implementation, int64_t count) {
  const auto it = ContestsByName().find(benchmark);
  return it != ContestsByName().end() && it->second->RunOperations(implementation, count);
}

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
  RegisterScaling();

  const std::string encode = std::string(kEncode) + "/";
  RegisterEncode(encode + kConfDetailRealistic, MakeConfDetail(20, true));
  RegisterEncode(encode + kConfDetailShort, MakeConfDetail(20, false));
  RegisterEncode(encode + kUserList100, MakeUserList(100));
  RegisterEncode(encode + kUserList1000, MakeUserList(1000));
  RegisterEncode(encode + kKick, MakeKick());

#define BENCH_REQUEST_RTC(Op, REQ, RSP, ...) RegisterRequestEncode<vanta::rtc::Op##Req>();
#define BENCH_REQUEST_SCENE(Op, REQ, RSP, ...) RegisterRequestEncode<vanta::sceneclass::Op##Req>();
  VANTA_RTC_OPERATIONS(BENCH_REQUEST_RTC)
  VANTA_SCENECLASS_OPERATIONS(BENCH_REQUEST_SCENE)
#undef BENCH_REQUEST_RTC
#undef BENCH_REQUEST_SCENE
}

}  // namespace bench
