// One full request: RtcManager -> request sender -> engine stand-in (answering synchronously,
// in the sending thread) -> response handler -> the host's callback.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "alloc_counter.h"
#include "bench_data.h"
#include "benchmarks.h"
#include "network/rtc/nexo_module_event_impl.h"
#include "network/rtc/rtc_module_impl.h"
#include "network/sceneclass/nexo_module_event_impl.h"
#include "nexo_standin/engine_control.h"
#include "rtc/rtc_models.h"
#include "vanta/nexo/nexo_engine.h"

namespace bench {
namespace {

std::shared_ptr<vanta::rtc::RtcManager> Manager() {
  static std::shared_ptr<vanta::rtc::RtcManager> manager = [] {
    auto engine = vanta::nexo::NexoEngine::GetNexoEngine();
    engine->RegisterModule(vanta::rtc::GetRtcServiceInfo());
    engine->RegisterModule(vanta::sceneclass::GetClassSceneServiceInfo());
    const vanta::nexo::NexoUserId uid{"bench-user", "pc"};
    nexo_standin::AddAccount(uid);
    nexo_standin::InitAccount(uid);
    nexo_standin::SetSynchronousDelivery(true);
    static const std::string small = std::string("\x81\x01\x05", 3);
    static const std::string large =
        tessel::idl::Packb(tessel::idl::ToModel(MakeConfDetail(20, true)));
    nexo_standin::SetTransport([](const std::shared_ptr<nexo_standin::PendingRequest>& request) {
      const bool detail = request->request().uri == "/r/Adaptor/RtcMlink/getConfDetail";
      request->Respond({200, detail ? large : small, {}});
    });
    auto module = vanta::rtc::RtcModuleImpl::Find(uid);
    module->manager_uid = uid;
    return module->GetRtcManager();
  }();
  return manager;
}

void KickMembersSmallAnswer(benchmark::State& state) {
  auto manager = Manager();
  const auto request = MakeKick();
  int64_t answered = 0;
  const uint64_t before = Allocations();
  for (auto _ : state) {
    manager->KickMembers(
        request, [&](const vanta::rtc::KickMembersRsp& rsp) { answered += rsp.number1; },
        [](const vanta::nexo::NexoError&) {});
    // The stand-in keeps a record of every request; drop it now and then.
    if ((state.iterations() & 1023) == 0) {
      state.PauseTiming();
      nexo_standin::ClearSentRequests();
      state.ResumeTiming();
    }
  }
  if (answered != static_cast<int64_t>(state.iterations()) * 5) state.SkipWithError("lost answers");
  state.counters["allocs/op"] =
      static_cast<double>(Allocations() - before) / static_cast<double>(state.iterations());
}

void GetConfDetailLargeAnswer(benchmark::State& state) {
  auto manager = Manager();
  vanta::rtc::GetConfDetailReq request;
  request.rtc_id = "conf-7f3a9c2e-51b4-4d0a-9e6f-3c1b2a";
  size_t users = 0;
  const uint64_t before = Allocations();
  for (auto _ : state) {
    manager->GetConfDetail(
        request,
        [&](const vanta::rtc::GetConfDetailRsp& rsp) { users += rsp.conf_info.users.size(); },
        [](const vanta::nexo::NexoError&) {});
    if ((state.iterations() & 1023) == 0) {
      state.PauseTiming();
      nexo_standin::ClearSentRequests();
      state.ResumeTiming();
    }
  }
  if (users != static_cast<size_t>(state.iterations()) * 20) state.SkipWithError("lost answers");
  state.counters["allocs/op"] =
      static_cast<double>(Allocations() - before) / static_cast<double>(state.iterations());
}

}  // namespace

void RegisterRequestBenchmarks() {
  const std::string group = std::string(kRequest) + "/";
  benchmark::RegisterBenchmark((group + kKickSmallAnswer + "/" + kOurs).c_str(),
                               KickMembersSmallAnswer);
  benchmark::RegisterBenchmark((group + kConfDetailLargeAnswer + "/" + kOurs).c_str(),
                               GetConfDetailLargeAnswer);
}

}  // namespace bench
