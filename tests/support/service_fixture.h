// The RtcService tests' fixture: the real request path (both engine modules registered with the
// engine stand-in, one account up, synchronous delivery) under a transport that answers each
// adaptor URI as the test says, a reference host for the room, every log line and monitoring
// report captured.
//
// Answers are written by hand as MessagePack (map key = field position, smallest integer form,
// 0xa0+n strings). Unconfigured URIs answer 200 with an empty map: every field at its default.
//
// Registries, engine state, log handler and monitoring module are process-wide: the fixture puts
// them back, so the tests also pass when one process runs them all.
#pragma once

#include <gtest/gtest.h>
#include "support/hex_bytes.h"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "basefx/logging.h"
#include "metrix_standin/metrix_control.h"
#include "network/rtc/nexo_module_event_impl.h"
#include "network/sceneclass/nexo_module_event_impl.h"
#include "nexo_standin/engine_control.h"
#include "plugins/rtc/rtc_service.h"
#include "reference/recording_callback.h"
#include "reference/reference_host.h"
#include "support/network_fixture.h"
#include "tessel/base/error_result.h"
#include "vanta/nexo/nexo_engine.h"

namespace service_test {

using namespace std::chrono_literals;
using refhost::ResultRecorder;
using vanta::meta::RtcService;
using vanta::nexo::NexoError;
using Strs = std::vector<std::string>;

using test_support::Bytes;

inline constexpr char kRtcUri[] = "/r/Adaptor/RtcMlink/";
inline constexpr char kClassUri[] = "/r/Adaptor/ClassScene/";

// A request as Sent() shows it: "<uri> <body bytes>".
inline std::string Rtc(const std::string& op, const std::string& body, const char* uri = kRtcUri) {
  return uri + op + " " + Bytes(body);
}

inline vanta::rtc::ConfUser Member(const std::string& user_id) {
  vanta::rtc::ConfUser member;
  member.user_id = user_id;
  return member;
}

inline NexoError HostError(int32_t code, const std::string& reason) {
  NexoError error;
  error.code = code;
  error.reason = reason;
  return error;
}

// Each result as "ok" or "<code> '<reason>'".
template <class... R>
Strs Outcomes(const ResultRecorder<R...>& recorder) {
  Strs out;
  for (const auto& r : recorder.results()) {
    out.push_back(r.success ? "ok" : std::to_string(r.error.code) + " '" + r.error.reason + "'");
  }
  return out;
}

// Table rows are named: the name ends the test's name (RowName, the generator of every
// parameterised suite here) and is what a failure message prints for the row. Rows live in the
// test files' unnamed namespaces, so those pull the operator in with a using-declaration.
template <class Row, class = decltype(Row::name)>
std::ostream& operator<<(std::ostream& os, const Row& row) {
  return os << row.name;
}
struct RowName {
  template <class Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& info) const {
    return info.param.name;
  }
};

class ServiceTest : public ::testing::Test {
 protected:
  static constexpr char kUser[] = "alice";
  static constexpr char kRoom[] = "room-1";

  void SetUp() override {
    vanta::metrix::SetMetrixModuleObj(metrix_);
    network_test::RegisterBothModules();
    nexo_standin::SetSynchronousDelivery(true);
    InstallTransport();
    nexo_standin::AddAccount({kUser, "pc"});
    ASSERT_TRUE(nexo_standin::InitAccount({kUser, "pc"}));
    ClearRecords();
  }

  void TearDown() override {
    // The engine and the service keep each other alive until the engine lets its listener go.
    host.media_engine->ClearEventListener();
    nexo_standin::SetTransport(nullptr);
    nexo_standin::ReleaseAccount({kUser, "pc"});
    nexo_standin::WaitUntilIdle(5s);
    nexo_standin::Reset();
    vanta::metrix::SetMetrixModuleObj(nullptr);
  }

  // The service as the plug-in makes it, with the host's engine and listener attached.
  std::shared_ptr<RtcService> MakeAttachedService() {
    auto made = std::make_shared<RtcService>(host.context);
    made->SetMediaEngine(host.media_engine);
    made->SetEventListener(host.event_listener);
    ClearRecords();
    return made;
  }

  void InConference() { host.room->SetPluginInstanceId("rtc", "conf-1"); }

  // How the adaptor answers `op` (the URI's last part) from now on.
  void Answer(const std::string& op, const std::string& body, int32_t status = 200) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->answers[op] = {status, body, {}};
  }
  void FailLocally(const std::string& op, const std::string& code, const std::string& reason) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->answers[op] = {-1, {}, tessel::base::ErrorResult(0, code, reason)};
  }
  // An adaptor error body under status 400: code "4001", reason, developer message, scope.
  void FailWithAdaptorError(const std::string& op, const std::string& reason) {
    Answer(op,
           Bytes("84 01 a4 '4001' 02 ") + static_cast<char>(0xa0 + reason.size()) + reason +
               Bytes("04 a3 'dev' 06 a5 'scope'"),
           400);
  }

  // The requests sent so far as "<uri> <body>"; `rooms` gets "<rtc id>|<live id>" the room held
  // as each was sent.
  Strs Sent(Strs* rooms = nullptr) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (rooms) *rooms = state_->rooms;
    return state_->sent;
  }

  // The service's own log lines as "<SEVERITY NAME>:<message>". Each must have the exact shape
  // "[<NAME>:src/plugins/rtc/rtc_service(<line>)] <message>\n" and a matching severity.
  Strs ServiceLines() const {
    Strs out;
    for (const auto& line : logs_.Lines()) {
      // LogCapture leaves the file empty when a line does not have the shape.
      EXPECT_FALSE(line.file.empty() &&
                   line.message.find(":src/plugins/rtc/rtc_service(") != std::string::npos)
          << "malformed line: " << line.message;
      if (line.file != "src/plugins/rtc/rtc_service") continue;
      EXPECT_EQ(line.level, basefx::GetNameForLogSeverity(line.severity)) << line.message;
      out.push_back(line.level + ":" + line.message);
    }
    return out;
  }

  // Each report as "<id> {k=v,...} <code> '<message>'".
  Strs Reports() const {
    Strs out;
    for (const auto& r : metrix_->reports()) {
      std::string params;
      for (const auto& [key, value] : r.params) {
        params += (params.empty() ? "" : ",") + key + "=" + value;
      }
      out.push_back(std::to_string(r.event_id) + " {" + params + "} " + std::to_string(r.code) +
                    " '" + r.message + "'");
    }
    return out;
  }

  // Media-engine ops called since the records were last cleared.
  std::vector<int> EngineOps() const {
    std::vector<int> out;
    const auto calls = host.media_engine->calls().Snapshot();
    for (size_t i = engine_mark_; i < calls.size(); ++i) out.push_back(calls[i].op);
    return out;
  }

  void ClearRecords() {
    engine_mark_ = host.media_engine->calls().size();
    logs_.Clear();
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->sent.clear();
    state_->rooms.clear();
    metrix_->Clear();
  }

  refhost::ReferenceHost host{kUser, kRoom, kUser};

 private:
  struct Reply {
    int32_t status;  // -1: the local `error`
    std::string body;
    tessel::base::ErrorResult error;
  };
  // What the transport shares with the test.
  struct State {
    std::mutex mutex;
    std::map<std::string, Reply> answers;
    Strs sent, rooms;
  };

  void InstallTransport() {
    nexo_standin::SetTransport(
        [state = state_, room = host.room](const std::shared_ptr<nexo_standin::PendingRequest>& r) {
          const std::string& uri = r->request().uri;
          Reply reply{200, Bytes("80"), {}};
          {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->sent.push_back(uri + " " + r->request().body);
            state->rooms.push_back(room->InstanceId("rtc") + "|" + room->InstanceId("live"));
            auto it = state->answers.find(uri.substr(uri.rfind('/') + 1));
            if (it != state->answers.end()) reply = it->second;
          }
          if (reply.status < 0) {
            r->Fail(reply.error);
            return;
          }
          nexo_standin::Response response;
          response.code = reply.status;
          response.body = reply.body;
          r->Respond(response);
        });
  }

  size_t engine_mark_ = 0;
  std::shared_ptr<State> state_ = std::make_shared<State>();
  network_test::LogCapture logs_;
  std::shared_ptr<vanta::metrix::RecordingMetrixModule> metrix_ =
      std::make_shared<vanta::metrix::RecordingMetrixModule>();
};

}  // namespace service_test
