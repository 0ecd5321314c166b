#include <condition_variable>
#include <mutex>
#include <utility>

#include "engine.h"
#include "nexo_standin/engine_control.h"
#include "vanta/nexo/nexo_engine.h"

namespace vanta {
namespace nexo {

std::shared_ptr<NexoEngine> NexoEngine::GetNexoEngine() {
  const auto& engine = nexo_standin::Engine::Instance();
  if (!engine->available.load()) return nullptr;
  return engine;
}

NexoEngineEx* GetNexoEngine() {
  const auto& engine = nexo_standin::Engine::Instance();
  if (!engine->available.load()) return nullptr;
  return engine.get();
}

}  // namespace nexo
}  // namespace vanta

namespace nexo_standin {
namespace {

using vanta::nexo::NexoModuleEventHandler;

std::vector<std::shared_ptr<NexoModuleEventHandler>> Handlers() {
  std::vector<std::shared_ptr<NexoModuleEventHandler>> handlers;
  for (const auto& module : Engine::Instance()->Modules()) {
    if (auto handler = module->GetEventHandler()) handlers.push_back(std::move(handler));
  }
  return handlers;
}

// Counts the completions of one initialisation round.
struct InitRound {
  std::mutex mutex;
  std::condition_variable changed;
  int completions = 0;
  AsyncInitOutcome outcome;

  bool Wait(int expected, std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, wait, [&] { return completions >= expected; });
  }
  void Count() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      ++completions;
    }
    changed.notify_all();
  }
};

class InitListener : public vanta::nexo::NexoResultListener {
 public:
  explicit InitListener(std::shared_ptr<InitRound> round) : round_(std::move(round)) {}

  void OnSuccess() override {
    {
      std::lock_guard<std::mutex> lock(round_->mutex);
      ++round_->outcome.successes;
    }
    round_->Count();
  }

  void OnFailure(const NexoError& error) override {
    {
      std::lock_guard<std::mutex> lock(round_->mutex);
      ++round_->outcome.failures;
      round_->outcome.errors.push_back(error);
    }
    round_->Count();
  }

 private:
  const std::shared_ptr<InitRound> round_;
};

}  // namespace

void SetEngineAvailable(bool available) {
  Engine::Instance()->available = available;
}

std::vector<std::shared_ptr<NexoModuleInfo>> RegisteredModules() {
  return Engine::Instance()->Modules();
}

std::vector<std::shared_ptr<NexoModuleInfo>> RegistrationCalls() {
  return Engine::Instance()->Registrations();
}

void StartEngine(const std::string& app_id) {
  const auto handlers = Handlers();
  for (const auto& handler : handlers) handler->OnEngineStart(app_id);
  for (const auto& handler : handlers) handler->OnEngineStarted();
}

void EnterBackground() {
  for (const auto& handler : Handlers()) handler->OnEnterBackground();
}

void EnterForeground() {
  for (const auto& handler : Handlers()) handler->OnEnterForeground();
}

void ReleaseEngine() {
  for (const auto& handler : Handlers()) handler->OnEngineReleased();
}

std::vector<std::shared_ptr<void>> QueryExtensions() {
  std::vector<std::shared_ptr<void>> extensions;
  for (const auto& handler : Handlers()) extensions.push_back(handler->GetExtension());
  return extensions;
}

std::vector<NexoModuleDescriptor> QueryDescriptors() {
  std::vector<NexoModuleDescriptor> descriptors;
  for (const auto& handler : Handlers()) {
    for (auto& descriptor : handler->GetDescriptors()) descriptors.push_back(std::move(descriptor));
  }
  return descriptors;
}

void AddAccount(const NexoUserId& uid) {
  Engine::Instance()->AddManager(uid);
  const auto handlers = Handlers();
  for (const auto& handler : handlers) handler->OnManagerCreate(uid);
  for (const auto& handler : handlers) handler->OnManagerCreated(uid);
}

bool InitAccount(const NexoUserId& uid, std::chrono::milliseconds wait) {
  const auto handlers = Handlers();
  auto round = std::make_shared<InitRound>();
  for (const auto& handler : handlers) {
    auto called = std::make_shared<std::atomic<bool>>(false);
    // A module that signals twice is counted once.
    handler->OnManagerInit(
        uid,
        [round, called] {
          if (!called->exchange(true)) round->Count();
        },
        0, "standin-device");
  }
  return round->Wait(static_cast<int>(handlers.size()), wait);
}

AsyncInitOutcome InitAccountAsync(const NexoUserId& uid, std::chrono::milliseconds wait) {
  const auto handlers = Handlers();
  auto round = std::make_shared<InitRound>();
  for (const auto& handler : handlers) {
    handler->OnManagerInitAsync(uid, std::make_shared<InitListener>(round));
  }
  const bool complete = round->Wait(static_cast<int>(handlers.size()), wait);
  std::lock_guard<std::mutex> lock(round->mutex);
  AsyncInitOutcome outcome = round->outcome;
  outcome.complete = complete;
  return outcome;
}

void ReleaseAccount(const NexoUserId& uid) {
  for (const auto& handler : Handlers()) handler->OnManagerRelease(uid);
  Engine::Instance()->RemoveManager(uid.user_id);
}

void SetAccountServices(const std::string& user_id, bool mlink_service, bool request_channel) {
  Engine::Instance()->SetAccountServices(user_id, mlink_service, request_channel);
}

void SetTransport(Transport transport) {
  Engine::Instance()->SetTransport(std::move(transport));
}

void SetSynchronousDelivery(bool synchronous) {
  Engine::Instance()->SetSynchronousDelivery(synchronous);
}

void SetRequestTimeout(std::chrono::milliseconds timeout) {
  Engine::Instance()->SetRequestTimeout(timeout);
}

std::vector<SentRequest> SentRequests() {
  return Engine::Instance()->Sent();
}

void ClearSentRequests() {
  Engine::Instance()->ClearSent();
}

std::size_t PendingRequestCount() {
  return Engine::Instance()->PendingCount();
}

bool WaitUntilIdle(std::chrono::milliseconds wait) {
  return Engine::Instance()->WaitUntilIdle(wait);
}

void Reset() {
  Engine::Instance()->Reset();
}

}  // namespace nexo_standin
