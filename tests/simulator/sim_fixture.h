// Sends adaptor requests through the engine stand-in into an AdaptorSimulator, as the module's
// request senders do, and collects what the engine then tells each request's context.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "nexo_standin/engine_control.h"
#include "rtc_sim/simulator.h"
#include "tessel/idl/service_exception.h"
#include "tessel/mlink/request.h"
#include "tessel/mlink/request_context.h"
#include "vanta/nexo/nexo_engine.h"

namespace sim_test {

using namespace std::chrono_literals;
using tessel::mlink::Message;
using tessel::mlink::Request;

constexpr const char* kTeacher = "teacher";
constexpr const char* kStudent = "student";
constexpr const char* kGuest = "guest";
constexpr const char* kRoom = "room-1";
// The simulator's default clock: reading k (from 0) is kEpoch + 1000 k.
constexpr int64_t kEpoch = 1704067200000;
constexpr int64_t Tick(int k) {
  return kEpoch + 1000 * static_cast<int64_t>(k);
}

// What the engine told one request's context.
struct Reply {
  bool success = false;
  Message message;
  std::thread::id thread;
  std::chrono::steady_clock::time_point at;
  // The failure as the module sees it.
  tessel::base::ErrorResult error() const { return tessel::idl::ErrorResultFromResponse(message); }
};

class Context : public tessel::mlink::RequestContext {
 public:
  void OnSuccess(std::shared_ptr<Request>, std::shared_ptr<Message> r) override { Add(true, r); }
  void OnNotify(std::shared_ptr<Request>, std::shared_ptr<Message>) override {}
  void OnFailure(std::shared_ptr<Request>, std::shared_ptr<Message> r) override { Add(false, r); }
  bool Wait(std::chrono::milliseconds wait = 5s) {
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

inline std::shared_ptr<Context> Send(const std::string& user, const std::string& uri,
                                     const std::string& body,
                                     std::shared_ptr<Context> context = nullptr) {
  if (!context) context = std::make_shared<Context>();
  auto request = std::make_shared<Request>(uri);
  request->body = body;
  auto manager = vanta::nexo::GetNexoEngine()->GetNexoManagerEx({user, ""});
  manager->GetMlinkService()->GetRequestChannel()->SendRequest(request, context);
  return context;
}

// The URI of each request record, from the operation tables.
#define SIM_TEST_URI(Ns, prefix, Op, suffix)     \
  inline std::string UriOf(const Ns::Op##Req&) { \
    return std::string(prefix) + suffix;         \
  }
#define SIM_TEST_RTC_URI(Op, REQ, RSP, suffix, failure, missing) \
  SIM_TEST_URI(vanta::rtc, rtc_sim::kRtcUriPrefix, Op, suffix)
#define SIM_TEST_CLASS_URI(Op, REQ, RSP, suffix, failure) \
  SIM_TEST_URI(vanta::sceneclass, rtc_sim::kClassSceneUriPrefix, Op, suffix)
VANTA_RTC_OPERATIONS(SIM_TEST_RTC_URI)
VANTA_SCENECLASS_OPERATIONS(SIM_TEST_CLASS_URI)
#undef SIM_TEST_CLASS_URI
#undef SIM_TEST_RTC_URI
#undef SIM_TEST_URI

// Three accounts (teacher, student, guest) on the engine stand-in, with the simulator as its
// transport. Delivery is synchronous unless a test says otherwise: the answer has arrived when
// Call returns.
class SimulatorTest : public ::testing::Test {
 public:
  void SetUp() override { Start(rtc_sim::SimulatorOptions()); }
  void TearDown() override {
    nexo_standin::Reset();
    sim_.reset();
  }

  void Start(rtc_sim::SimulatorOptions options, bool synchronous = true) {
    nexo_standin::Reset();
    for (const char* user : {kTeacher, kStudent, kGuest}) nexo_standin::AddAccount({user, ""});
    nexo_standin::SetSynchronousDelivery(synchronous);
    sim_.reset();
    sim_ = std::make_unique<rtc_sim::AdaptorSimulator>(std::move(options));
    nexo_standin::SetTransport(sim_->transport());
  }

  Reply Call(const std::string& user, const std::string& uri, const std::string& body) {
    auto context = Send(user, uri, body);
    EXPECT_TRUE(context->Wait()) << uri;
    auto replies = context->replies();
    return replies.empty() ? Reply{} : replies[0];
  }
  template <typename Req>
  Reply Call(const std::string& user, const Req& req) {
    return Call(user, UriOf(req), rtc_sim::Encode(req));
  }

  // conf-1 in room-1: owner teacher, student added; the directory knows it.
  std::string Conference() {
    vanta::room::CreateRtcRsp created;
    EXPECT_TRUE(
        sim_->CreateConference(kRoom, {kTeacher, kTeacher, "Physics", {kStudent}, 0, ""}, &created)
            .ok());
    sim_->SetInstanceId(kRoom, "rtc", created.rtc_id);
    return created.rtc_id;
  }

  std::unique_ptr<rtc_sim::AdaptorSimulator> sim_;
};

}  // namespace sim_test
