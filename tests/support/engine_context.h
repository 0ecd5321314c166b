// A request context that records what the engine told it (each answer, on which thread, when),
// and the sending of a request on an account's request channel, as the module's senders do.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tessel/idl/service_exception.h"
#include "tessel/mlink/request.h"
#include "tessel/mlink/request_context.h"
#include "vanta/nexo/nexo_engine.h"

namespace engine_test {

// What the engine told one request's context.
struct Reply {
  bool success = false;
  tessel::mlink::Message message;
  std::thread::id thread;
  std::chrono::steady_clock::time_point at;
  // The failure as the module sees it.
  tessel::base::ErrorResult error() const { return tessel::idl::ErrorResultFromResponse(message); }
};

class Context : public tessel::mlink::RequestContext {
 public:
  using Request = tessel::mlink::Request;
  using Message = tessel::mlink::Message;
  void OnSuccess(std::shared_ptr<Request>, std::shared_ptr<Message> r) override { Add(true, r); }
  void OnNotify(std::shared_ptr<Request>, std::shared_ptr<Message>) override {}
  void OnFailure(std::shared_ptr<Request>, std::shared_ptr<Message> r) override { Add(false, r); }
  bool Wait(std::chrono::milliseconds wait = std::chrono::seconds(5)) {
    std::unique_lock<std::mutex> lock(mu_);
    return changed_.wait_for(lock, wait, [this] { return !replies_.empty(); });
  }
  std::vector<Reply> replies() {
    std::lock_guard<std::mutex> lock(mu_);
    return replies_;
  }
  // Runs after each reply is recorded, on the delivering thread.
  std::function<void()> then;

 private:
  void Add(bool success, const std::shared_ptr<Message>& response) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      replies_.push_back(
          Reply{success, *response, std::this_thread::get_id(), std::chrono::steady_clock::now()});
      changed_.notify_all();
    }
    if (then) then();
  }
  std::mutex mu_;
  std::condition_variable changed_;
  std::vector<Reply> replies_;
};

// Sends `request` on the request channel of `user`'s account.
inline std::shared_ptr<Context> Send(const std::string& user,
                                     std::shared_ptr<tessel::mlink::Request> request,
                                     std::shared_ptr<Context> context = nullptr) {
  if (!context) context = std::make_shared<Context>();
  auto manager = vanta::nexo::GetNexoEngine()->GetNexoManagerEx({user, ""});
  manager->GetMlinkService()->GetRequestChannel()->SendRequest(request, context);
  return context;
}

}  // namespace engine_test
