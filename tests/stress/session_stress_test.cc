// Load and churn on the whole module at once, bounded in time and seeded: eight services of four
// accounts in two rooms; host threads issuing every operation (both forms, and the requests
// IRtcService has no slot for through the account's clients); the adaptor simulator answering
// out of order from the engine's threads, with every kind of fault; a media thread reporting
// events; the engine releasing and adding accounts; contexts dropped and services made anew
// while their requests are in flight.
//
// Invariants, judged once everything has settled:
//   - no host call ends in more than one callback (the stored screen-share callbacks excepted:
//     a later state event may complete them again);
//   - a call whose request reached the adaptor ends in exactly one callback. The calls whose
//     request carries a text of the host's choice carry their call's tag ("call-00000042"), so
//     the transport sees which call a request belongs to;
//   - nothing leaks: once the host lets go, every service and context is gone, every callback
//     the host handed over is released (counted), and the engine holds no request.
//
// RTC_STRESS_SECONDS sets the length of each case (default 2); the figures of every run are
// printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "basefx/logging.h"
#include "faults/sim_world.h"
#include "metrix_standin/metrix_control.h"
#include "network/rtc/nexo_module_event_impl.h"
#include "network/rtc/rtc_module_impl.h"
#include "network/sceneclass/class_scene_module_impl.h"
#include "network/sceneclass/nexo_module_event_impl.h"
#include "nexo_standin/engine_control.h"
#include "plugins/rtc/rtc_service.h"
#include "reference/room.h"
#include "reference/session_media_engine.h"
#include "reference/sim_host.h"
#include "rtc_sim/exchange.h"
#include "rtc_sim/simulator.h"
#include "vanta/nexo/nexo_engine.h"

namespace stress {
namespace {

using namespace std::chrono_literals;
using vanta::meta::RtcService;
using vanta::nexo::NexoError;
using vanta::nexo::NexoUserId;
namespace rtc = vanta::rtc;
namespace sceneclass = vanta::sceneclass;

constexpr int kAccounts = 4;
constexpr int kSlots = 8;
constexpr int kHostThreads = 4;
constexpr char kTag[] = "pc";
// Every request's outcome: delivered out of order (reordered, delayed) from the simulator's
// delivery thread and the engine's, refused, broken, failed locally or never answered.
constexpr char kFaults[] =
    "*:reorder(4,5)@p=0.25; *:delay(0,3)@p=0.2; *:error(503,50301,busy)@p=0.05;"
    "*:garbage@p=0.05; *:fail@p=0.05; *:drop@p=0.02";

std::chrono::milliseconds RunLength() {
  const char* seconds = std::getenv("RTC_STRESS_SECONDS");
  const long value = seconds != nullptr ? std::strtol(seconds, nullptr, 10) : 0;
  return std::chrono::milliseconds(value > 0 ? value * 1000 : 2000);
}

std::string User(int account) {
  return "u" + std::to_string(account);
}

// The response type of the operations whose success carries nothing.
struct Void {};

// One host call's account: callbacks received, whether its tagged request reached the adaptor.
struct CallState {
  std::atomic<uint8_t> callbacks{0};
  std::atomic<bool> sent{false};
  bool tagged = false;
  bool repeatable = false;  // the stored screen-share callbacks
};

// Call states by id, in chunks that never move.
class Calls {
 public:
  CallState& New(uint64_t* id) {
    std::lock_guard<std::mutex> lock(mu_);
    *id = next_++;
    if (*id % kChunk == 0) chunks_.push_back(std::make_unique<std::array<CallState, kChunk>>());
    return (*chunks_.back())[*id % kChunk];
  }
  CallState* Find(uint64_t id) {
    std::lock_guard<std::mutex> lock(mu_);
    if (id >= next_) return nullptr;
    return &(*chunks_[id / kChunk])[id % kChunk];
  }
  template <typename Fn>
  void ForEach(Fn fn) {
    std::lock_guard<std::mutex> lock(mu_);
    for (uint64_t id = 0; id < next_; ++id) fn(id, (*chunks_[id / kChunk])[id % kChunk]);
  }

 private:
  static constexpr uint64_t kChunk = 1 << 16;
  std::mutex mu_;
  uint64_t next_ = 0;
  std::vector<std::unique_ptr<std::array<CallState, kChunk>>> chunks_;
};

// Every callback function handed to the module holds one token; live() counts them.
class Tokens {
 public:
  std::shared_ptr<void> Make() {
    live_.fetch_add(1);
    return std::shared_ptr<void>(nullptr, [this](void*) { live_.fetch_sub(1); });
  }
  int64_t live() const { return live_.load(); }

 private:
  std::atomic<int64_t> live_{0};
};

std::string TagOf(uint64_t id) {
  char tag[32];
  std::snprintf(tag, sizeof tag, "call-%08" PRIu64, id);
  return tag;
}

// Counts monitoring reports without keeping them.
class CountingMetrix : public vanta::metrix::MetrixModule {
 public:
  int Report(int32_t, const std::map<std::string, std::string>&, int64_t,
             const std::string&) override {
    reports.fetch_add(1, std::memory_order_relaxed);
    return 0;
  }
  std::atomic<uint64_t> reports{0};
};

// One host of a room for one account.
struct Slot {
  std::string user;
  std::string room;
  std::shared_ptr<refhost::ReferenceServiceContext> context;
  std::shared_ptr<refhost::SessionMediaEngine> media;
  std::shared_ptr<refhost::ReferenceEventListener> listener;
  std::shared_ptr<RtcService> service;
};

struct Figures {
  std::atomic<uint64_t> calls{0}, callbacks{0}, requests{0}, answered{0}, failed{0}, unanswered{0},
      media_events{0}, account_churns{0}, contexts_dropped{0};
};

class SessionStress : public ::testing::TestWithParam<uint64_t> {
 protected:
  void SetUp() override;
  void TearDown() override;

  void HostThread(int index);
  void MediaThread();
  void ChurnThread();
  void Issue(std::mt19937_64& rng, Slot slot);
  // A fresh context, room parts and service for slot `i` (under slots_mu_).
  void MakeSlot(int i);
  Slot SlotCopy(int i) {
    std::lock_guard<std::mutex> lock(slots_mu_);
    return slots_[i];
  }
  bool Settle(std::chrono::milliseconds wait);

  // The success and failure functions of one call.
  template <class... Rsp>
  std::pair<vanta::meta::RtcSuccessFunc<Rsp...>, vanta::meta::RtcFailureFunc> Functions(
      uint64_t id) {
    auto token = tokens_.Make();
    auto done = Done(id);
    return {[done, token](const Rsp&...) { done(); }, [done, token](const NexoError&) { done(); }};
  }
  // The callback object of one call (object forms).
  template <class... Rsp>
  std::shared_ptr<vanta::meta::RtcResultCallback<Rsp...>> Object(uint64_t id) {
    struct Object : vanta::meta::RtcResultCallback<Rsp...> {
      std::function<void()> done;
      std::shared_ptr<void> token;
      void OnSuccess(const Rsp&...) override { done(); }
      void OnFailure(const NexoError&) override { done(); }
    };
    auto object = std::make_shared<Object>();
    object->token = tokens_.Make();
    object->done = Done(id);
    return object;
  }
  // Counts one callback of call `id`.
  std::function<void()> Done(uint64_t id) {
    return [this, id] {
      figures_.callbacks.fetch_add(1, std::memory_order_relaxed);
      calls_.Find(id)->callbacks.fetch_add(1);
    };
  }

  std::unique_ptr<rtc_sim::AdaptorSimulator> sim_;
  std::shared_ptr<CountingMetrix> metrix_ = std::make_shared<CountingMetrix>();
  Calls calls_;
  Tokens tokens_;
  Figures figures_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> account_up_[kAccounts];
  std::mutex account_mu_[kAccounts];

  std::mutex slots_mu_;
  std::array<Slot, kSlots> slots_;
  // Services and contexts once made: kept weakly for the leak check. Room managers are kept
  // whole, as a host keeps its own objects until the end: their answers may still be queued.
  std::vector<std::weak_ptr<RtcService>> services_made_;
  std::vector<std::weak_ptr<refhost::ReferenceServiceContext>> contexts_made_;
  std::vector<std::shared_ptr<void>> host_parts_;
  // Replaced services: the host keeps them (their clients answer what they sent).
  std::vector<std::shared_ptr<RtcService>> retired_;
  // The clients the host called directly, kept like the host keeps its services.
  std::mutex clients_mu_;
  std::set<std::shared_ptr<void>> clients_;
  void KeepClient(std::shared_ptr<void> client) {
    std::lock_guard<std::mutex> lock(clients_mu_);
    clients_.insert(std::move(client));
  }
};

void SessionStress::SetUp() {
  basefx::SetMinLogSeverity(1);
  basefx::SetLogMessageHandler([](int, const std::string&) {});
  vanta::metrix::SetMetrixModuleObj(metrix_);
  network_test::RegisterBothModules();
  nexo_standin::SetRequestTimeout(100ms);

  rtc_sim::SimulatorOptions options;
  options.seed = GetParam();
  options.observer = [this](const rtc_sim::Exchange& x) {
    if (x.phase == rtc_sim::Phase::kRequest) {
      figures_.requests.fetch_add(1, std::memory_order_relaxed);
      const size_t at = x.request_body.find("call-");
      if (at != std::string::npos && at + 13 <= x.request_body.size()) {
        const uint64_t id = std::strtoull(x.request_body.substr(at + 5, 8).c_str(), nullptr, 10);
        if (CallState* call = calls_.Find(id)) call->sent = true;
      }
      return;
    }
    auto& counter = x.outcome == rtc_sim::Outcome::kAnswered ? figures_.answered
                    : x.outcome == rtc_sim::Outcome::kFailed ? figures_.failed
                                                             : figures_.unanswered;
    counter.fetch_add(1, std::memory_order_relaxed);
  };
  sim_ = std::make_unique<rtc_sim::AdaptorSimulator>(options);
  std::string error;
  ASSERT_TRUE(sim_->AddFaults(kFaults, &error)) << error;
  nexo_standin::SetTransport(sim_->transport());

  for (int a = 0; a < kAccounts; ++a) {
    nexo_standin::AddAccount({User(a), kTag});
    ASSERT_TRUE(nexo_standin::InitAccount({User(a), kTag}));
    account_up_[a] = true;
  }
  // Room r0 is u0's and r1 is u2's; everyone is a member of both conferences.
  for (int r = 0; r < 2; ++r) {
    const std::string room = "r" + std::to_string(r);
    sim_test::CreateConference(*sim_, room, User(2 * r), {"u0", "u1", "u2", "u3"}, room);
  }
  std::lock_guard<std::mutex> lock(slots_mu_);
  for (int i = 0; i < kSlots; ++i) MakeSlot(i);
}

void SessionStress::MakeSlot(int i) {
  Slot& slot = slots_[i];
  slot.user = User(i % kAccounts);
  slot.room = "r" + std::to_string(i / kAccounts);
  const std::string owner = slot.room == "r0" ? "u0" : "u2";
  refhost::SimHostSide host =
      refhost::MakeSimHostSide(*sim_, slot.user, {slot.room, slot.room, {}, owner}, "member");
  const std::shared_ptr<refhost::ReferenceServiceContext>& context = host.context;
  host_parts_.push_back(host.room_manager);
  host_parts_.push_back(host.live_manager);
  if (!slot.media) {
    slot.media = std::make_shared<refhost::SessionMediaEngine>(slot.user);
    slot.listener = std::make_shared<refhost::ReferenceEventListener>();
  }
  if (slot.service) retired_.push_back(slot.service);
  slot.context = context;
  // Made while the engine may be releasing or adding the account: the clients are then empty
  // for the service's whole life.
  slot.service = std::make_shared<RtcService>(context);
  slot.service->SetMediaEngine(slot.media);
  slot.service->SetEventListener(slot.listener);
  services_made_.push_back(slot.service);
  contexts_made_.push_back(context);
}

void SessionStress::Issue(std::mt19937_64& rng, Slot slot) {
  uint64_t id = 0;
  CallState& call = calls_.New(&id);
  figures_.calls.fetch_add(1, std::memory_order_relaxed);
  const std::string tag = TagOf(id);
  RtcService& s = *slot.service;
  const bool object = rng() % 2 == 0;
  const bool flag = rng() % 2 == 0;
  std::uniform_int_distribution<int> pick(0, 33);
  const int op = pick(rng);
  // The operations whose request carries the call's tag.
  call.tagged = (op >= 4 && op <= 8) || (op >= 19 && op <= 23);
  call.repeatable = op >= 14 && op <= 16;
  // Each operation in the form the coin chose: the callback object or the two functions.
  auto both = [&](auto response, auto&& operation) {
    using Rsp = decltype(response);
    if (object) {
      if constexpr (std::is_same_v<Rsp, Void>) {
        operation(Object<>(id));
      } else {
        operation(Object<Rsp>(id));
      }
      return;
    }
    if constexpr (std::is_same_v<Rsp, Void>) {
      auto [ok, fail] = Functions<>(id);
      operation(ok, fail);
    } else {
      auto [ok, fail] = Functions<Rsp>(id);
      operation(ok, fail);
    }
  };
  const Void none;
  switch (op) {
    case 0:
      both(none, [&](auto&&... cb) { s.JoinRtc(0, cb...); });
      break;
    case 1:
      both(none, [&](auto&&... cb) { s.LeaveRtc(rng() % 4 == 0, cb...); });
      break;
    case 2:
      both(none, [&](auto&&... cb) { s.StartRoadPublish(cb...); });
      break;
    case 3:
      both(none, [&](auto&&... cb) { s.ApplyLinkMic(flag, cb...); });
      break;
    case 4: {
      rtc::ConfUser member;
      member.user_id = tag;
      both(none, [&](auto&&... cb) { s.AddMembers({member}, cb...); });
      break;
    }
    case 5:
      both(none, [&](auto&&... cb) { s.KickUserFromRtc({tag}, cb...); });
      break;
    case 6:
      both(none, [&](auto&&... cb) { s.SetLayout({tag}, 2, cb...); });
      break;
    case 7:
      both(none, [&](auto&&... cb) { s.RtcMuteUser(tag, flag, cb...); });
      break;
    case 8:
      both(none, [&](auto&&... cb) { s.ApproveLinkMic(tag, flag, cb...); });
      break;
    case 9:
      both(none, [&](auto&&... cb) { s.StartRecord(cb...); });
      break;
    case 10:
      both(none, [&](auto&&... cb) { s.StopRecord(cb...); });
      break;
    case 11:
      both(rtc::GetConfDetailRsp{}, [&](auto&&... cb) { s.GetConfDetail(cb...); });
      break;
    case 12:
      both(none, [&](auto&&... cb) { s.RtcMuteAll(flag, cb...); });
      break;
    case 13:
      if (flag) {
        both(rtc::ListConfUserRsp{}, [&](auto&&... cb) { s.ListConfUser({}, cb...); });
      } else {
        both(rtc::ListApplyLinkMicUserRsp{},
             [&](auto&&... cb) { s.ListApplyLinkMicUser({}, cb...); });
      }
      break;
    case 14:
      both(none, [&](auto&&... cb) { s.StartScreenShare(1, 0, cb...); });
      break;
    case 15:
      both(none, [&](auto&&... cb) { s.StartScreenShareAlt(2, 0, cb...); });
      break;
    case 16:
      both(none, [&](auto&&... cb) { s.StopScreenShare(cb...); });
      break;
    case 17:
      s.EngineCall2();
      s.EngineCall6(slot.user);
      s.EngineCall8(1);
      s.EngineCall27(1, 2);
      s.EngineCall31(3);
      break;
    case 18:
      (void)s.GetEventListener();
      (void)s.GetServiceName();
      break;
    case 19:
      both(sceneclass::StartClassRsp{}, [&](auto&&... cb) { s.StartClass({tag}, cb...); });
      break;
    case 20:
      both(sceneclass::StopClassRsp{}, [&](auto&&... cb) { s.StopClass({tag}, cb...); });
      break;
    case 21:
      both(sceneclass::GetClassDetailRsp{}, [&](auto&&... cb) { s.GetClassDetail({tag}, cb...); });
      break;
    // The requests IRtcService has no slot for, through the account's clients; the host keeps
    // the clients it called, as it keeps its services.
    case 22:
      if (auto client = faults::ClassClientOf({slot.user, ""})) {
        both(sceneclass::CreateClassRsp{}, [&](auto&&... cb) {
          client->CreateClass({slot.room, tag}, cb...);
        });
        KeepClient(client);
      }
      break;
    case 23:
      if (auto client = faults::RtcClientOf({slot.user, ""})) {
        rtc::Pane pane;
        pane.text6 = tag;
        both(rtc::SetCustomLayoutRsp{}, [&](auto&&... cb) {
          client->SetCustomLayout({slot.room, {pane}}, cb...);
        });
        KeepClient(client);
      }
      break;
    default:
      if (auto client = faults::RtcClientOf({slot.user, ""})) {
        switch (op % 3) {
          case 0:
            both(rtc::ReportRtcMuteRsp{}, [&](auto&&... cb) {
              client->ReportRtcMute({slot.room, flag}, cb...);
            });
            break;
          case 1:
            both(rtc::OperateCameraRsp{}, [&](auto&&... cb) {
              client->OperateCamera({slot.room, flag}, cb...);
            });
            break;
          default:
            both(rtc::StopLiveStreamRsp{},
                 [&](auto&&... cb) { client->StopLiveStream({slot.room}, cb...); });
            break;
        }
        KeepClient(client);
      }
      break;
  }
}

void SessionStress::HostThread(int index) {
  std::mt19937_64 rng(GetParam() * 1000 + static_cast<uint64_t>(index));
  while (!stop_.load()) {
    const int i = static_cast<int>(rng() % kSlots);
    if (rng() % 256 == 0) {
      // The host closes the room's context and opens it again: the old context goes while its
      // requests are in flight.
      std::lock_guard<std::mutex> lock(slots_mu_);
      MakeSlot(i);
      figures_.contexts_dropped.fetch_add(1, std::memory_order_relaxed);
      continue;
    }
    Issue(rng, SlotCopy(i));
  }
}

void SessionStress::MediaThread() {
  std::mt19937_64 rng(GetParam() * 1000 + 999);
  vanta::meta::RtcStats stats;
  stats.call_duration = 7;
  while (!stop_.load()) {
    const Slot slot = SlotCopy(static_cast<int>(rng() % kSlots));
    vanta::meta::RtcMediaEventListener& l = *slot.service;
    figures_.media_events.fetch_add(1, std::memory_order_relaxed);
    switch (rng() % 10) {
      case 0:
        l.OnJoinResult(rng() % 4 == 0 ? -5 : 0, 0, 0);
        break;
      case 1:
        l.OnUserNotify(slot.user, 1, static_cast<int32_t>(rng() % 3));
        break;
      case 2:
        l.OnNetworkQualityChanged(slot.user, static_cast<int32_t>(rng() % 7), 1);
        break;
      case 3:
        l.OnRtcError(5, "media error");
        l.OnConnectionLost();
        l.OnConnectionRecovery();
        break;
      case 4:
        l.OnStats(stats);
        break;
      case 5:
        l.OnScreenShareStateChanged(static_cast<int32_t>(rng() % 4),
                                    static_cast<int32_t>(rng() % 4), 0);
        break;
      case 6:
        l.OnPublishLiveStreamStateChanged("rtmp://live.sim.invalid/x", 2, 0x1100007);
        break;
      case 7:
        l.OnFirstRemoteVideoFrameDrawn(slot.user, 1, 640, 480, 30);
        break;
      case 8:
        l.OnBye(0);
        break;
      default:
        std::this_thread::yield();
        break;
    }
  }
}

void SessionStress::ChurnThread() {
  std::mt19937_64 rng(GetParam() * 1000 + 998);
  while (!stop_.load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5 + rng() % 15));
    const int a = static_cast<int>(rng() % kAccounts);
    std::lock_guard<std::mutex> lock(account_mu_[a]);
    nexo_standin::ReleaseAccount({User(a), kTag});
    std::this_thread::sleep_for(1ms);
    nexo_standin::AddAccount({User(a), kTag});
    nexo_standin::InitAccount({User(a), kTag});
    figures_.account_churns.fetch_add(1, std::memory_order_relaxed);
  }
}

bool SessionStress::Settle(std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  // Held answers go out now, and new requests are answered at once.
  sim_->ClearFaults();
  uint64_t requests = figures_.requests.load() + 1;
  while (requests != figures_.requests.load()) {
    requests = figures_.requests.load();
    if (!nexo_standin::WaitUntilIdle(std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()))) {
      return false;
    }
    std::vector<std::shared_ptr<void>> parts;
    std::vector<Slot> slots;
    {
      std::lock_guard<std::mutex> lock(slots_mu_);
      parts = host_parts_;
      slots.assign(slots_.begin(), slots_.end());
    }
    for (size_t i = 0; i < parts.size(); i += 2) {
      std::static_pointer_cast<refhost::SimRoomManager>(parts[i])->reply_thread().WaitIdle();
      std::static_pointer_cast<refhost::SimLiveManager>(parts[i + 1])->reply_thread().WaitIdle();
    }
    for (const Slot& slot : slots) slot.media->event_thread().WaitIdle();
    sim_->ReleaseHeld();
    if (!nexo_standin::WaitUntilIdle(std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()))) {
      return false;
    }
  }
  return true;
}

void SessionStress::TearDown() {
  nexo_standin::SetTransport(nullptr);
  nexo_standin::Reset();
  sim_.reset();
  vanta::metrix::SetMetrixModuleObj(nullptr);
  basefx::SetLogMessageHandler(nullptr);
}

TEST_P(SessionStress, EveryCallEndsAtMostOnceAndNothingLeaks) {
  std::vector<std::thread> threads;
  for (int i = 0; i < kHostThreads; ++i) threads.emplace_back([this, i] { HostThread(i); });
  threads.emplace_back([this] { MediaThread(); });
  threads.emplace_back([this] { ChurnThread(); });
  std::this_thread::sleep_for(RunLength());
  stop_ = true;
  for (std::thread& t : threads) t.join();
  ASSERT_TRUE(Settle(30s)) << "requests still unanswered";

  uint64_t repeated = 0, missing = 0, tagged_sent = 0;
  std::string examples;
  calls_.ForEach([&](uint64_t id, const CallState& call) {
    const int callbacks = call.callbacks.load();
    const bool sent = call.tagged && call.sent.load();
    tagged_sent += sent ? 1 : 0;
    const bool bad_repeat = callbacks > 1 && !call.repeatable;
    const bool bad_missing = sent && callbacks != 1;
    repeated += bad_repeat ? 1 : 0;
    missing += bad_missing ? 1 : 0;
    if ((bad_repeat || bad_missing) && examples.size() < 200) {
      examples += " " + TagOf(id) + ":" + std::to_string(callbacks);
    }
  });
  EXPECT_EQ(repeated, 0u) << "calls with more than one callback:" << examples;
  EXPECT_EQ(missing, 0u) << "answered tagged calls without exactly one callback:" << examples;

  // The host lets go: the engines drop their listeners, the services, contexts and clients go.
  std::vector<std::shared_ptr<RtcService>> services;
  {
    std::lock_guard<std::mutex> lock(slots_mu_);
    for (Slot& slot : slots_) {
      slot.media->ClearEventListener();
      slot.service.reset();
      slot.context.reset();
    }
    retired_.clear();
  }
  {
    std::lock_guard<std::mutex> lock(clients_mu_);
    clients_.clear();
  }
  ASSERT_TRUE(Settle(30s));
  for (int a = 0; a < kAccounts; ++a) nexo_standin::ReleaseAccount({User(a), kTag});
  host_parts_.clear();
  const size_t services_left = static_cast<size_t>(std::count_if(
      services_made_.begin(), services_made_.end(), [](const auto& w) { return !w.expired(); }));
  const size_t contexts_left = static_cast<size_t>(std::count_if(
      contexts_made_.begin(), contexts_made_.end(), [](const auto& w) { return !w.expired(); }));
  EXPECT_EQ(services_left, 0u) << "of " << services_made_.size() << " services";
  EXPECT_EQ(contexts_left, 0u) << "of " << contexts_made_.size() << " contexts";
  EXPECT_EQ(tokens_.live(), 0) << "callbacks the module still holds";
  EXPECT_EQ(nexo_standin::PendingRequestCount(), 0u);

  std::printf(
      "seed %" PRIu64 ", %lld ms: %" PRIu64 " host calls, %" PRIu64 " callbacks (%" PRIu64
      " tagged calls reached the adaptor), %" PRIu64 " requests (%" PRIu64 " answered, %" PRIu64
      " failed locally, %" PRIu64 " unanswered), %" PRIu64 " media events, %" PRIu64
      " account churns, %" PRIu64 " contexts dropped, %zu services made, %" PRIu64
      " reports; findings: %" PRIu64 " repeated, %" PRIu64 " missing, %zu leaked\n",
      GetParam(), static_cast<long long>(RunLength().count()), figures_.calls.load(),
      figures_.callbacks.load(), tagged_sent, figures_.requests.load(), figures_.answered.load(),
      figures_.failed.load(), figures_.unanswered.load(), figures_.media_events.load(),
      figures_.account_churns.load(), figures_.contexts_dropped.load(), services_made_.size(),
      metrix_->reports.load(), repeated, missing, services_left + contexts_left);
}

INSTANTIATE_TEST_SUITE_P(Seeds, SessionStress, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<uint64_t>& info) {
                           return "Seed" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace stress
