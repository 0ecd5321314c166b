#include "rtc_sim/simulator.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>

#include "delivery.h"
#include "local_error.h"
#include "operations.h"
#include "prng.h"
#include "server.h"
#include "tessel/base/error_code.h"

namespace rtc_sim {

using detail::DeliveryThread;
using nexo_standin::PendingRequest;
using nexo_standin::Response;

namespace {

constexpr int64_t kClockStart = 1704067200000;  // 2024-01-01T00:00:00Z
constexpr int64_t kClockStep = 1000;
constexpr char kInjected[] = "injected by the adaptor simulator";
// 0xc1 is a marker MessagePack never uses: no model decodes a body that starts with it.
const char kGarbageBody[] = "\xc1not msgpack";

void Deliver(PendingRequest& request, const Answer& answer) {
  request.Respond(Response{answer.code, answer.body, {}});
}

}  // namespace

RefusalInfo Describe(Refusal refusal) {
  switch (refusal) {
#define RTC_SIM_REFUSAL_CASE(name, status, code, reason) \
  case Refusal::name:                                    \
    return RefusalInfo{status, code, reason};
    RTC_SIM_REFUSALS(RTC_SIM_REFUSAL_CASE)
#undef RTC_SIM_REFUSAL_CASE
  }
  return RefusalInfo{500, "50000", "unknown refusal"};
}

Answer ErrorAnswer(int32_t status, const ErrorBody& error) {
  return Answer{status, EncodeError(error)};
}

namespace detail {

class SimulatorCore : public std::enable_shared_from_this<SimulatorCore> {
 public:
  explicit SimulatorCore(SimulatorOptions options)
      : options_(std::move(options)), server_(options_.app_id), prng_(options_.seed) {}

  void Handle(const std::shared_ptr<PendingRequest>& request);
  int64_t Now();

  void AddRules(const std::vector<FaultRule>& rules) {
    std::lock_guard<std::mutex> lock(mu_);
    for (const FaultRule& rule : rules) rules_.push_back(RuleState{rule, 0});
  }
  void ClearFaults() {
    std::vector<Held> held;
    {
      std::lock_guard<std::mutex> lock(mu_);
      rules_.clear();
      held = TakeHeld();
    }
    PostInOrder(std::move(held));
  }
  void ReleaseHeld() {
    delivery_.Hurry();
    std::vector<Held> held;
    {
      std::lock_guard<std::mutex> lock(mu_);
      held = TakeHeld();
    }
    PostInOrder(std::move(held));
  }
  void SetScript(const std::string& uri, Script script) {
    std::lock_guard<std::mutex> lock(mu_);
    if (script) {
      scripts_[uri] = std::move(script);
    } else {
      scripts_.erase(uri);
    }
  }
  // Runs `fn` on the server under the lock.
  template <typename Fn>
  auto WithServer(Fn&& fn) -> decltype(fn(std::declval<Server&>())) {
    std::lock_guard<std::mutex> lock(mu_);
    return fn(server_);
  }
  void Stop() { delivery_.Stop(); }
  const Observer& observer() const { return options_.observer; }

 private:
  struct RuleState {
    FaultRule rule;
    uint64_t seen;  // requests that reached the rule and matched its target
  };
  // The fault chosen for one request, with its random draws.
  struct Decision {
    size_t index;
    FaultRule rule;
    std::chrono::milliseconds delay{0};
    uint64_t key = 0;  // reorder position
  };
  struct Held {
    uint64_t key;
    std::shared_ptr<PendingRequest> request;
    Answer answer;
  };
  struct Group {
    std::vector<Held> held;
    uint64_t generation = 0;
  };

  std::optional<Decision> Choose(const std::string& uri);
  void Hold(const Decision& decision, const std::shared_ptr<PendingRequest>& request,
            Answer answer);
  void Flush(size_t index, uint64_t generation);
  // Every held answer, in the order they are to be delivered; under the lock.
  std::vector<Held> TakeHeld();
  void PostInOrder(std::vector<Held> held);

  const SimulatorOptions options_;
  std::atomic<int64_t> ticks_{0};

  std::mutex mu_;
  Server server_;
  Prng prng_;
  std::vector<RuleState> rules_;
  std::map<std::string, Script> scripts_;
  std::map<size_t, Group> groups_;  // reorder groups by rule index

  DeliveryThread delivery_;  // last: stopped first
};

int64_t SimulatorCore::Now() {
  if (options_.clock) return options_.clock();
  return kClockStart + kClockStep * ticks_.fetch_add(1, std::memory_order_relaxed);
}

std::optional<SimulatorCore::Decision> SimulatorCore::Choose(const std::string& uri) {
  for (size_t i = 0; i < rules_.size(); ++i) {
    RuleState& state = rules_[i];
    const FaultRule& rule = state.rule;
    if (rule.uri != "*" && rule.uri != uri) continue;
    const uint64_t nth = ++state.seen;
    bool selected = true;
    switch (rule.selection) {
      case Selection::kAlways:
        break;
      case Selection::kFirst:
        selected = nth <= rule.n;
        break;
      case Selection::kEvery:
        selected = rule.n != 0 && nth % rule.n == 0;
        break;
      case Selection::kProbability:
        selected = prng_.Fraction() < rule.probability;
        break;
    }
    if (!selected) continue;
    Decision decision{i, rule};
    if (rule.kind == FaultKind::kDelay) {
      decision.delay = std::chrono::milliseconds(
          prng_.Between(rule.delay_min.count(), std::max(rule.delay_min, rule.delay_max).count()));
      decision.rule.delay_min = decision.rule.delay_max = decision.delay;
    }
    if (rule.kind == FaultKind::kReorder) decision.key = prng_.Next();
    return decision;
  }
  return std::nullopt;
}

void SimulatorCore::Handle(const std::shared_ptr<PendingRequest>& request) {
  const std::string& uri = request->request().uri;
  const std::string& body = request->request().body;
  const std::string& user = request->user_id();
  const Operation* op = FindOperation(uri);
  const int64_t now = Now();

  std::optional<Decision> fault;
  Script script;
  Answer answer;
  {
    std::lock_guard<std::mutex> lock(mu_);
    fault = Choose(uri);
    // Error, fail and drop stand for requests the adaptor never served.
    const bool served =
        !fault || (fault->rule.kind != FaultKind::kError && fault->rule.kind != FaultKind::kFail &&
                   fault->rule.kind != FaultKind::kDrop);
    if (served) {
      auto it = scripts_.find(uri);
      if (it != scripts_.end()) {
        script = it->second;
      } else {
        answer = op != nullptr ? server_.Serve(*op, user, body, now) : Server::UnknownUri(uri);
      }
    }
  }
  if (script) answer = script(user, body);
  if (!fault) {
    Deliver(*request, answer);
    return;
  }

  const FaultRule& rule = fault->rule;
  NoteFault(request.get(), FaultActionText(rule));
  switch (rule.kind) {
    case FaultKind::kError:
      Deliver(*request,
              ErrorAnswer(
                  rule.status,
                  ErrorBody{rule.error_code.empty() ? std::to_string(rule.status) : rule.error_code,
                            rule.reason, kInjected, "", op != nullptr ? op->adaptor : "Adaptor"}));
      return;
    case FaultKind::kFail: {
      std::string reason = tessel::base::ErrorCodeName(rule.fail_code);
      if (reason.empty()) reason = "injected failure";
      request->Fail(ToErrorResult(LocalError{rule.fail_code, std::to_string(rule.fail_code), reason,
                                             kInjected, "", "mlink", true}));
      return;
    }
    case FaultKind::kDrop:
      return;
    case FaultKind::kGarbage:
      answer.body = kGarbageBody;
      Deliver(*request, answer);
      return;
    case FaultKind::kDelay:
      delivery_.Post(DeliveryThread::Clock::now() + fault->delay,
                     [request, answer] { Deliver(*request, answer); });
      return;
    case FaultKind::kReorder:
      Hold(*fault, request, std::move(answer));
      return;
  }
}

void SimulatorCore::Hold(const Decision& decision, const std::shared_ptr<PendingRequest>& request,
                         Answer answer) {
  std::vector<Held> full;
  std::optional<uint64_t> flush_generation;
  {
    std::lock_guard<std::mutex> lock(mu_);
    Group& group = groups_[decision.index];
    group.held.push_back(Held{decision.key, request, std::move(answer)});
    if (group.held.size() >= decision.rule.window) {
      full.swap(group.held);
      ++group.generation;
    } else if (group.held.size() == 1) {
      flush_generation = group.generation;
    }
  }
  if (!full.empty()) {
    std::sort(full.begin(), full.end(), [](const Held& a, const Held& b) { return a.key < b.key; });
    PostInOrder(std::move(full));
  }
  if (flush_generation) {
    std::weak_ptr<SimulatorCore> weak = weak_from_this();
    const size_t index = decision.index;
    const uint64_t generation = *flush_generation;
    delivery_.Post(DeliveryThread::Clock::now() + decision.rule.hold, [weak, index, generation] {
      if (auto core = weak.lock()) core->Flush(index, generation);
    });
  }
}

void SimulatorCore::Flush(size_t index, uint64_t generation) {
  std::vector<Held> held;
  {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = groups_.find(index);
    if (it == groups_.end() || it->second.generation != generation) return;
    held.swap(it->second.held);
    ++it->second.generation;
  }
  std::sort(held.begin(), held.end(), [](const Held& a, const Held& b) { return a.key < b.key; });
  for (Held& h : held) Deliver(*h.request, h.answer);
}

std::vector<SimulatorCore::Held> SimulatorCore::TakeHeld() {
  std::vector<Held> all;
  for (auto& entry : groups_) {
    std::vector<Held>& held = entry.second.held;
    std::sort(held.begin(), held.end(), [](const Held& a, const Held& b) { return a.key < b.key; });
    for (Held& h : held) all.push_back(std::move(h));
    held.clear();
    ++entry.second.generation;
  }
  return all;
}

void SimulatorCore::PostInOrder(std::vector<Held> held) {
  const DeliveryThread::Clock::time_point now = DeliveryThread::Clock::now();
  for (Held& h : held) {
    delivery_.Post(now, [request = std::move(h.request), answer = std::move(h.answer)] {
      Deliver(*request, answer);
    });
  }
}

}  // namespace detail

AdaptorSimulator::AdaptorSimulator(SimulatorOptions options)
    : core_(std::make_shared<detail::SimulatorCore>(std::move(options))) {}

AdaptorSimulator::~AdaptorSimulator() {
  core_->Stop();
}

nexo_standin::Transport AdaptorSimulator::transport() {
  std::weak_ptr<detail::SimulatorCore> weak = core_;
  nexo_standin::Transport transport = [weak](const std::shared_ptr<PendingRequest>& request) {
    if (auto core = weak.lock()) core->Handle(request);
  };
  if (core_->observer()) return Tap(std::move(transport), core_->observer());
  return transport;
}

void AdaptorSimulator::AddFault(const FaultRule& rule) {
  core_->AddRules({rule});
}

bool AdaptorSimulator::AddFaults(const std::string& faults, std::string* error) {
  std::vector<FaultRule> rules;
  if (!ParseFaultRules(faults, &rules, error)) return false;
  core_->AddRules(rules);
  return true;
}

void AdaptorSimulator::ClearFaults() {
  core_->ClearFaults();
}
void AdaptorSimulator::ReleaseHeld() {
  core_->ReleaseHeld();
}

bool AdaptorSimulator::SetScript(const std::string& uri_or_suffix, Script script) {
  const std::string uri = ResolveUri(uri_or_suffix);
  if (uri.empty()) return false;
  core_->SetScript(uri, std::move(script));
  return true;
}

Status AdaptorSimulator::CreateConference(const std::string& room_id,
                                          const vanta::room::CreateRtcReq& req,
                                          vanta::room::CreateRtcRsp* rsp) {
  const int64_t now = core_->Now();
  return core_->WithServer(
      [&](detail::Server& s) { return s.CreateConference(room_id, req, now, rsp); });
}

Status AdaptorSimulator::DestroyConference(const std::string& caller,
                                           const vanta::room::DestroyRtcReq& req) {
  return core_->WithServer([&](detail::Server& s) { return s.DestroyConference(caller, req); });
}

Status AdaptorSimulator::CreateLive(const std::string& room_id,
                                    const vanta::room::CreateLiveReq& req,
                                    vanta::room::CreateLiveRsp* rsp) {
  return core_->WithServer([&](detail::Server& s) { return s.CreateLive(room_id, req, rsp); });
}

Status AdaptorSimulator::GetLiveDetail(const std::string& live_id,
                                       vanta::live::LiveDetail* detail) {
  return core_->WithServer([&](detail::Server& s) { return s.GetLiveDetail(live_id, detail); });
}

Status AdaptorSimulator::PublishLive(const std::string& caller,
                                     const vanta::live::PublishLiveReq& req,
                                     vanta::live::PublishLiveRsp* rsp) {
  return core_->WithServer([&](detail::Server& s) { return s.PublishLive(caller, req, rsp); });
}

std::string AdaptorSimulator::InstanceId(const std::string& room_id,
                                         const std::string& type) const {
  return core_->WithServer([&](detail::Server& s) { return s.InstanceId(room_id, type); });
}

void AdaptorSimulator::SetInstanceId(const std::string& room_id, const std::string& type,
                                     const std::string& id) {
  core_->WithServer([&](detail::Server& s) { s.SetInstanceId(room_id, type, id); });
}

void AdaptorSimulator::RemoveInstanceId(const std::string& room_id, const std::string& type) {
  core_->WithServer([&](detail::Server& s) { s.RemoveInstanceId(room_id, type); });
}

bool AdaptorSimulator::GetConference(const std::string& rtc_id, vanta::rtc::ConfInfo* info) const {
  return core_->WithServer([&](detail::Server& s) { return s.GetConference(rtc_id, info); });
}

bool AdaptorSimulator::GetClass(const std::string& class_id,
                                vanta::sceneclass::GetClassDetailRsp* detail) const {
  return core_->WithServer([&](detail::Server& s) { return s.GetClass(class_id, detail); });
}

}  // namespace rtc_sim
