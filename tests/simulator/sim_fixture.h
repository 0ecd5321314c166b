// Sends adaptor requests through the engine stand-in into an AdaptorSimulator, as the module's
// request senders do, and collects what the engine then tells each request's context.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "nexo_standin/engine_control.h"
#include "rtc_sim/simulator.h"
#include "support/engine_context.h"

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

using engine_test::Context;
using engine_test::Reply;

inline std::shared_ptr<Context> Send(const std::string& user, const std::string& uri,
                                     const std::string& body,
                                     std::shared_ptr<Context> context = nullptr) {
  auto request = std::make_shared<Request>(uri);
  request->body = body;
  return engine_test::Send(user, request, std::move(context));
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

// The owner's conference `title` in `room` with `members`; the room directory knows it.
inline std::string CreateConference(rtc_sim::AdaptorSimulator& sim, const std::string& room,
                                    const std::string& owner, std::vector<std::string> members,
                                    const std::string& title = "Physics") {
  vanta::room::CreateRtcRsp created;
  EXPECT_TRUE(
      sim.CreateConference(room, {owner, owner, title, std::move(members), 0, ""}, &created).ok());
  sim.SetInstanceId(room, "rtc", created.rtc_id);
  return created.rtc_id;
}

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

  // conf-1 in room-1: owner teacher, student added.
  std::string Conference() { return CreateConference(*sim_, kRoom, kTeacher, {kStudent}); }

  std::unique_ptr<rtc_sim::AdaptorSimulator> sim_;
};

}  // namespace sim_test
