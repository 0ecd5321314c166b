// The engine behind both the engine interfaces and the control functions.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "basefx/thread.h"
#include "nexo_standin/engine_control.h"
#include "vanta/nexo/nexo_engine.h"

namespace nexo_standin {

class PendingRequestImpl;
class Manager;

class Engine : public vanta::nexo::NexoEngine,
               public vanta::nexo::NexoEngineEx,
               public std::enable_shared_from_this<Engine> {
 public:
  using Clock = std::chrono::steady_clock;

  Engine();
  ~Engine() override;

  static const std::shared_ptr<Engine>& Instance();

  // Ends the timer and the delivery threads; notifications not yet run are dropped. Idempotent.
  // The process-wide instance is stopped before it is released, so that a thread of the engine
  // holding a passing reference never ends up running the destructor and joining itself.
  void Stop();

  // NexoEngine
  NexoError RegisterModule(std::shared_ptr<NexoModuleInfo> info) override;
  // NexoEngineEx
  std::shared_ptr<vanta::nexo::NexoManagerEx> GetNexoManagerEx(const NexoUserId& uid) override;

  void Send(const std::string& user_id, std::shared_ptr<tessel::mlink::Request> request,
            std::shared_ptr<tessel::mlink::RequestContext> context);
  // Called by the one completion of a pending request.
  void Deliver(uint64_t id, std::shared_ptr<tessel::mlink::Request> request,
               std::shared_ptr<tessel::mlink::RequestContext> context,
               std::shared_ptr<tessel::mlink::Message> response, bool success);

  std::atomic<bool> available{true};

  // Control state; everything below is guarded by mutex_.
  std::vector<std::shared_ptr<NexoModuleInfo>> Modules();
  std::vector<std::shared_ptr<NexoModuleInfo>> Registrations();
  void AddManager(const NexoUserId& uid);
  void RemoveManager(const std::string& user_id);
  void SetAccountServices(const std::string& user_id, bool mlink_service, bool request_channel);
  void SetTransport(Transport transport);
  void SetSynchronousDelivery(bool synchronous);
  void SetRequestTimeout(std::chrono::milliseconds timeout);
  std::vector<SentRequest> Sent();
  void ClearSent();
  std::size_t PendingCount();
  bool WaitUntilIdle(std::chrono::milliseconds wait);
  void Reset();

 private:
  void Forget(uint64_t id);
  void Finished();
  void TimerLoop();

  std::mutex mutex_;
  std::condition_variable idle_;
  // One module per name, in first-registration order.
  std::vector<std::pair<std::string, std::shared_ptr<NexoModuleInfo>>> modules_;
  std::vector<std::shared_ptr<NexoModuleInfo>> registrations_;
  std::map<std::string, std::shared_ptr<Manager>> managers_;
  Transport transport_;
  bool synchronous_ = false;
  std::chrono::milliseconds timeout_;
  std::vector<SentRequest> sent_;
  uint64_t next_id_ = 1;
  uint64_t next_mid_number_ = 1;
  std::map<uint64_t, std::shared_ptr<PendingRequestImpl>> pending_;
  std::multimap<Clock::time_point, uint64_t> deadlines_;
  // Requests accepted whose notification has not finished yet.
  std::size_t in_flight_ = 0;

  std::condition_variable timer_wake_;
  bool stopping_ = false;
  std::thread timer_;
  std::mutex stop_mutex_;  // serialises Stop
  std::atomic<uint32_t> next_worker_{0};
  std::vector<std::unique_ptr<basefx::Thread>> workers_;
};

}  // namespace nexo_standin
