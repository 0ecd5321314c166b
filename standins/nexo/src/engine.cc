#include "engine.h"

#include <utility>

#include "tessel/base/error_code.h"
#include "tessel/mlink/request_context.h"

namespace nexo_standin {

using tessel::mlink::Message;
using tessel::mlink::Request;
using tessel::mlink::RequestContext;

namespace {

constexpr std::chrono::milliseconds kDefaultTimeout{30000};
constexpr int kDeliveryThreads = 2;

}  // namespace

class PendingRequestImpl : public PendingRequest {
 public:
  PendingRequestImpl(std::weak_ptr<Engine> engine, uint64_t id, std::string user_id,
                     std::shared_ptr<Request> request, std::shared_ptr<RequestContext> context)
      : engine_(std::move(engine)),
        id_(id),
        user_id_(std::move(user_id)),
        request_(std::move(request)),
        context_(std::move(context)) {}

  const std::string& user_id() const override { return user_id_; }
  const Request& request() const override { return *request_; }

  bool Respond(const Response& response) override {
    auto message = std::make_shared<Message>();
    message->mid = request_->mid;
    message->code = response.code;
    message->body = response.body;
    message->set_headers(response.headers);
    const bool success = response.code >= 200 && response.code < 300;
    return Complete(std::move(message), success);
  }

  bool Fail(const ErrorResult& error) override {
    auto message = std::make_shared<Message>();
    message->mid = request_->mid;
    message->code = -1;
    message->local_error_result = error;
    return Complete(std::move(message), false);
  }

  bool completed() const override { return done_.load(std::memory_order_acquire); }

  // Ends the request without a notification; false when it had already ended.
  bool Abandon() {
    if (done_.exchange(true, std::memory_order_acq_rel)) return false;
    context_.reset();
    return true;
  }

  uint64_t id() const { return id_; }

  // Set by the engine before the request is published; read under the engine's lock.
  Engine::Clock::time_point deadline{};
  std::chrono::milliseconds timeout{0};

 private:
  bool Complete(std::shared_ptr<Message> response, bool success) {
    // Answers, failures and the timeout may race; exactly one of them wins.
    if (done_.exchange(true, std::memory_order_acq_rel)) return false;
    // Only the winner touches context_ from here on.
    std::shared_ptr<RequestContext> context = std::move(context_);
    if (auto engine = engine_.lock()) {
      engine->Deliver(id_, request_, std::move(context), std::move(response), success);
    }
    return true;
  }

  const std::weak_ptr<Engine> engine_;
  const uint64_t id_;
  const std::string user_id_;
  const std::shared_ptr<Request> request_;
  std::shared_ptr<RequestContext> context_;
  std::atomic<bool> done_{false};
};

class Channel : public vanta::nexo::MlinkRequestChannel {
 public:
  Channel(std::weak_ptr<Engine> engine, std::string user_id)
      : engine_(std::move(engine)), user_id_(std::move(user_id)) {}

  void SendRequest(std::shared_ptr<Request> request,
                   std::shared_ptr<RequestContext> context) override {
    if (auto engine = engine_.lock())
      engine->Send(user_id_, std::move(request), std::move(context));
  }

 private:
  const std::weak_ptr<Engine> engine_;
  const std::string user_id_;
};

// Switches of one account, shared by its manager and its mlink service.
struct AccountFlags {
  std::atomic<bool> mlink_service{true};
  std::atomic<bool> request_channel{true};
};

class MlinkService : public vanta::nexo::NexoMlinkService {
 public:
  MlinkService(std::shared_ptr<Channel> channel, std::shared_ptr<AccountFlags> flags)
      : channel_(std::move(channel)), flags_(std::move(flags)) {}

  std::shared_ptr<vanta::nexo::MlinkRequestChannel> GetRequestChannel() override {
    if (!flags_->request_channel.load()) return nullptr;
    return channel_;
  }

 private:
  const std::shared_ptr<Channel> channel_;
  const std::shared_ptr<AccountFlags> flags_;
};

class Manager : public vanta::nexo::NexoManagerEx {
 public:
  Manager(std::weak_ptr<Engine> engine, const std::string& user_id)
      : flags_(std::make_shared<AccountFlags>()),
        service_(std::make_shared<MlinkService>(
            std::make_shared<Channel>(std::move(engine), user_id), flags_)) {}

  std::shared_ptr<vanta::nexo::NexoMlinkService> GetMlinkService() override {
    if (!flags_->mlink_service.load()) return nullptr;
    return service_;
  }

  AccountFlags& flags() { return *flags_; }

 private:
  const std::shared_ptr<AccountFlags> flags_;
  const std::shared_ptr<MlinkService> service_;
};

// --- Engine ---

Engine::Engine() : timeout_(kDefaultTimeout) {
  for (int i = 0; i < kDeliveryThreads; ++i) {
    workers_.push_back(std::make_unique<basefx::Thread>("nexo.deliver." + std::to_string(i)));
  }
  timer_ = std::thread(&Engine::TimerLoop, this);
}

Engine::~Engine() {
  Stop();
}

void Engine::Stop() {
  std::lock_guard<std::mutex> stop_lock(stop_mutex_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  timer_wake_.notify_all();
  if (timer_.joinable()) timer_.join();
  // Notifications not yet run are dropped with their tasks.
  for (auto& worker : workers_) worker->Join(false);
}

const std::shared_ptr<Engine>& Engine::Instance() {
  // At exit the engine's own threads may still hold a reference taken for a moment (a timeout
  // being delivered); stopping them first leaves the last release to this thread.
  struct Holder {
    ~Holder() { engine->Stop(); }
    const std::shared_ptr<Engine> engine = std::make_shared<Engine>();
  };
  static const Holder holder;
  return holder.engine;
}

NexoError Engine::RegisterModule(std::shared_ptr<NexoModuleInfo> info) {
  if (!info) {
    NexoError error;
    error.domain = 1;
    error.code = tessel::base::kInvalidParam;
    error.reason = "module info is empty";
    return error;
  }
  const std::string name = info->GetModuleName();
  std::shared_ptr<NexoModuleInfo> replaced;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    registrations_.push_back(info);
    bool found = false;
    for (auto& module : modules_) {
      if (module.first == name) {
        replaced = std::exchange(module.second, info);
        found = true;
        break;
      }
    }
    if (!found) modules_.emplace_back(name, info);
  }
  return NexoError();
}

std::shared_ptr<vanta::nexo::NexoManagerEx> Engine::GetNexoManagerEx(const NexoUserId& uid) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = managers_.find(uid.user_id);
  if (it == managers_.end()) return nullptr;
  return it->second;
}

void Engine::Send(const std::string& user_id, std::shared_ptr<Request> request,
                  std::shared_ptr<RequestContext> context) {
  if (!request) return;
  std::chrono::milliseconds timeout{0};
  if (context && context->timeout_millis > 0)
    timeout = std::chrono::milliseconds(context->timeout_millis);

  std::shared_ptr<PendingRequestImpl> pending;
  Transport transport;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    request->mid.number = next_mid_number_++;
    sent_.push_back(SentRequest{user_id, request->uri, request->headers(), request->body,
                                request->mid.ToString()});
    const uint64_t id = next_id_++;
    pending = std::make_shared<PendingRequestImpl>(weak_from_this(), id, user_id,
                                                   std::move(request), std::move(context));
    if (timeout.count() <= 0) timeout = timeout_;
    if (timeout.count() > 0) {
      pending->timeout = timeout;
      pending->deadline = Clock::now() + timeout;
      deadlines_.emplace(pending->deadline, id);
      timer_wake_.notify_all();
    }
    pending_.emplace(id, pending);
    ++in_flight_;
    transport = transport_;
  }
  if (transport) transport(pending);
}

void Engine::Deliver(uint64_t id, std::shared_ptr<Request> request,
                     std::shared_ptr<RequestContext> context, std::shared_ptr<Message> response,
                     bool success) {
  bool synchronous;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    synchronous = synchronous_;
  }
  Forget(id);
  if (!context) {
    Finished();
    return;
  }
  auto notify = [this, request = std::move(request), context = std::move(context),
                 response = std::move(response), success]() mutable {
    // The context gets its own references and drops them on return; ours go first.
    auto ctx = std::move(context);
    if (success) {
      ctx->OnSuccess(std::move(request), std::move(response));
    } else {
      ctx->OnFailure(std::move(request), std::move(response));
    }
    ctx.reset();
    Finished();
  };
  if (synchronous) {
    notify();
    return;
  }
  const uint32_t index = next_worker_.fetch_add(1, std::memory_order_relaxed) % workers_.size();
  workers_[index]->PostTask(std::move(notify));
}

void Engine::Forget(uint64_t id) {
  std::shared_ptr<PendingRequestImpl> pending;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = pending_.find(id);
  if (it == pending_.end()) return;
  pending = std::move(it->second);
  pending_.erase(it);
  if (pending->timeout.count() > 0) {
    auto range = deadlines_.equal_range(pending->deadline);
    for (auto d = range.first; d != range.second; ++d) {
      if (d->second == id) {
        deadlines_.erase(d);
        break;
      }
    }
  }
}

void Engine::Finished() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (in_flight_ > 0 && --in_flight_ == 0) idle_.notify_all();
}

void Engine::TimerLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (deadlines_.empty()) {
      timer_wake_.wait(lock);
      continue;
    }
    auto first = deadlines_.begin();
    // A copy: the entry may be erased while we wait.
    const Clock::time_point deadline = first->first;
    if (deadline > Clock::now()) {
      timer_wake_.wait_until(lock, deadline);
      continue;
    }
    const uint64_t id = first->second;
    deadlines_.erase(first);
    auto it = pending_.find(id);
    if (it == pending_.end()) continue;
    std::shared_ptr<PendingRequestImpl> pending = it->second;
    lock.unlock();
    ErrorResult error(tessel::base::kTimeout, std::to_string(tessel::base::kTimeout),
                      tessel::base::ErrorCodeName(tessel::base::kTimeout));
    error.set_scope("mlink");
    error.set_developer_message("no answer within " + std::to_string(pending->timeout.count()) +
                                " ms");
    error.set_local_error(true);
    pending->Fail(error);
    pending.reset();
    lock.lock();
  }
}

std::vector<std::shared_ptr<NexoModuleInfo>> Engine::Modules() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::shared_ptr<NexoModuleInfo>> modules;
  for (const auto& module : modules_) modules.push_back(module.second);
  return modules;
}

std::vector<std::shared_ptr<NexoModuleInfo>> Engine::Registrations() {
  std::lock_guard<std::mutex> lock(mutex_);
  return registrations_;
}

void Engine::AddManager(const NexoUserId& uid) {
  auto manager = std::make_shared<Manager>(weak_from_this(), uid.user_id);
  std::lock_guard<std::mutex> lock(mutex_);
  managers_[uid.user_id] = std::move(manager);
}

void Engine::RemoveManager(const std::string& user_id) {
  std::shared_ptr<Manager> removed;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = managers_.find(user_id);
  if (it == managers_.end()) return;
  removed = std::move(it->second);
  managers_.erase(it);
}

void Engine::SetAccountServices(const std::string& user_id, bool mlink_service,
                                bool request_channel) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = managers_.find(user_id);
  if (it == managers_.end()) return;
  it->second->flags().mlink_service = mlink_service;
  it->second->flags().request_channel = request_channel;
}

void Engine::SetTransport(Transport transport) {
  std::lock_guard<std::mutex> lock(mutex_);
  transport_.swap(transport);
}

void Engine::SetSynchronousDelivery(bool synchronous) {
  std::lock_guard<std::mutex> lock(mutex_);
  synchronous_ = synchronous;
}

void Engine::SetRequestTimeout(std::chrono::milliseconds timeout) {
  std::lock_guard<std::mutex> lock(mutex_);
  timeout_ = timeout;
}

std::vector<SentRequest> Engine::Sent() {
  std::lock_guard<std::mutex> lock(mutex_);
  return sent_;
}

void Engine::ClearSent() {
  std::lock_guard<std::mutex> lock(mutex_);
  sent_.clear();
}

std::size_t Engine::PendingCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return pending_.size();
}

bool Engine::WaitUntilIdle(std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  return idle_.wait_for(lock, wait, [this] { return in_flight_ == 0; });
}

void Engine::Reset() {
  std::map<uint64_t, std::shared_ptr<PendingRequestImpl>> dropped;
  std::vector<std::pair<std::string, std::shared_ptr<NexoModuleInfo>>> modules;
  std::vector<std::shared_ptr<NexoModuleInfo>> registrations;
  std::map<std::string, std::shared_ptr<Manager>> managers;
  Transport transport;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(pending_);
    deadlines_.clear();
    modules.swap(modules_);
    registrations.swap(registrations_);
    managers.swap(managers_);
    transport.swap(transport_);
    synchronous_ = false;
    timeout_ = kDefaultTimeout;
    sent_.clear();
  }
  available = true;
  // Contexts, modules and the transport are released outside the lock: their destructors may
  // call back into the engine.
  for (auto& entry : dropped) {
    if (entry.second->Abandon()) Finished();
  }
}

}  // namespace nexo_standin
