// The RtcService tests' fixture: the real request path (both engine modules registered with the
// engine stand-in, one account up, synchronous delivery) under a transport that answers each
// adaptor URI as the test says, a reference host for the room, every log line and monitoring
// report captured.
//
// Answers are written by hand as MessagePack (map key = field position, smallest integer form,
// 0xa0+n strings); a failure is either a local ErrorResult or an adaptor error body under a
// non-2xx status. Unconfigured URIs answer 200 with an empty map, which decodes into any
// response as its defaults.
//
// Registries, engine state, log handler and monitoring module are process-wide: TearDown puts
// them back, so the tests also pass when one process runs them all.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "basefx/logging.h"
#include "metrix_standin/metrix_control.h"
#include "network/rtc/nexo_module_event_impl.h"
#include "network/sceneclass/nexo_module_event_impl.h"
#include "nexo_standin/engine_control.h"
#include "plugins/rtc/rtc_service.h"
#include "reference/recording_callback.h"
#include "reference/reference_host.h"
#include "tessel/base/error_result.h"
#include "vanta/nexo/nexo_engine.h"

namespace service_test {

using namespace std::chrono_literals;
using vanta::meta::RtcService;
using vanta::metrix::MetrixReport;
using vanta::nexo::NexoError;
using Params = std::map<std::string, std::string>;

// Bytes from a hand-written spec: hex pairs, and text in single quotes standing for its own
// bytes ("a2 'r1'" is a2 72 31). Blanks are ignored.
inline std::string Bytes(const std::string& spec) {
  std::string out;
  for (size_t i = 0; i < spec.size();) {
    const char c = spec[i];
    if (c == ' ') {
      ++i;
    } else if (c == '\'') {
      const size_t end = spec.find('\'', i + 1);
      if (end == std::string::npos) throw std::invalid_argument("unterminated text: " + spec);
      out += spec.substr(i + 1, end - i - 1);
      i = end + 1;
    } else {
      if (i + 1 >= spec.size() || !std::isxdigit(static_cast<unsigned char>(c)) ||
          !std::isxdigit(static_cast<unsigned char>(spec[i + 1]))) {
        throw std::invalid_argument("bad hex at " + std::to_string(i) + ": " + spec);
      }
      out += static_cast<char>(std::stoi(spec.substr(i, 2), nullptr, 16));
      i += 2;
    }
  }
  return out;
}

inline constexpr char kRtcUri[] = "/r/Adaptor/RtcMlink/";
inline constexpr char kClassUri[] = "/r/Adaptor/ClassScene/";

// One request as the adaptor saw it, with what the room held when it was sent.
struct Sent {
  std::string uri;
  std::string body;
  std::string room_rtc_id;
  std::string room_live_id;
};

// A local failure the engine reports for a request: code text and reason as the framework
// carries them (the host sees the code through StringToInt).
inline tessel::base::ErrorResult LocalError(const std::string& code, const std::string& reason) {
  return tessel::base::ErrorResult(0, code, reason);
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

// An adaptor error body: key 1 code "4001", 2 reason, 4 developer message, 6 scope.
inline std::string AdaptorErrorBody(const std::string& reason) {
  std::string body = Bytes("84 01 a4 '4001' 02");
  body += static_cast<char>(0xa0 + reason.size());
  body += reason + Bytes("04 a3 'dev' 06 a5 'scope'");
  return body;
}

class ServiceTest : public ::testing::Test {
 protected:
  static constexpr char kUser[] = "alice";
  static constexpr char kRoom[] = "room-1";

  void SetUp() override {
    basefx::SetMinLogSeverity(1);
    basefx::SetLogPrefix("");
    auto store = log_;
    basefx::SetLogMessageHandler([store](int severity, const std::string& text) {
      std::lock_guard<std::mutex> lock(store->mutex);
      store->lines.push_back({severity, text});
    });
    vanta::metrix::SetMetrixModuleObj(metrix_);

    nexo_standin::Reset();
    auto engine = vanta::nexo::NexoEngine::GetNexoEngine();
    ASSERT_TRUE(engine);
    engine->RegisterModule(vanta::rtc::GetRtcServiceInfo());
    engine->RegisterModule(vanta::sceneclass::GetClassSceneServiceInfo());
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
    basefx::SetLogMessageHandler(nullptr);
  }

  // The service as the plug-in makes it, with the host's engine and listener attached.
  std::shared_ptr<RtcService> MakeAttachedService() {
    auto made = std::make_shared<RtcService>(host.context);
    made->SetMediaEngine(host.media_engine);
    made->SetEventListener(host.event_listener);
    ClearRecords();
    return made;
  }

  // The room holds conference `rtc_id` (and live `live_id` when given).
  void InConference(const std::string& rtc_id = "conf-1", const std::string& live_id = {}) {
    host.room->SetPluginInstanceId("rtc", rtc_id);
    if (!live_id.empty()) host.room->SetPluginInstanceId("live", live_id);
  }

  // How the adaptor answers `op` (the URI's last part) from now on.
  void Answer(const std::string& op, const std::string& body) {
    std::lock_guard<std::mutex> lock(transport_->mutex);
    transport_->answers[op] = Reply{200, body, false, {}};
  }
  void FailLocally(const std::string& op, const std::string& code, const std::string& reason) {
    std::lock_guard<std::mutex> lock(transport_->mutex);
    transport_->answers[op] = Reply{-1, {}, true, LocalError(code, reason)};
  }
  void FailWithAdaptorError(const std::string& op, const std::string& reason) {
    std::lock_guard<std::mutex> lock(transport_->mutex);
    transport_->answers[op] = Reply{400, AdaptorErrorBody(reason), false, {}};
  }

  std::vector<Sent> SentRequests() const {
    std::lock_guard<std::mutex> lock(transport_->mutex);
    return transport_->sent;
  }
  // URIs of the requests sent so far, in order.
  std::vector<std::string> SentUris() const {
    std::vector<std::string> out;
    for (const Sent& s : SentRequests()) out.push_back(s.uri);
    return out;
  }

  // The service's own log lines as "<SEVERITY NAME>:<message>", in order. Each must have the
  // exact shape "[<NAME>:src/plugins/rtc/rtc_service(<line>)] <message>\n" and a handler
  // severity matching its name; lines of other files are left out.
  std::vector<std::string> ServiceLines() const {
    static const std::regex kLine(R"(^\[([A-Z]+):src/plugins/rtc/rtc_service\((\d+)\)\] (.*)\n$)");
    std::vector<std::string> out;
    for (const auto& [severity, text] : AllLines()) {
      if (text.find(":src/plugins/rtc/rtc_service(") == std::string::npos) continue;
      std::smatch m;
      EXPECT_TRUE(std::regex_match(text, m, kLine)) << "malformed line: " << text;
      if (m.empty()) continue;
      EXPECT_EQ(m[1].str(), basefx::GetNameForLogSeverity(severity)) << text;
      out.push_back(m[1].str() + ":" + m[3].str());
    }
    return out;
  }
  std::vector<std::pair<int, std::string>> AllLines() const {
    std::lock_guard<std::mutex> lock(log_->mutex);
    return log_->lines;
  }

  std::vector<MetrixReport> Reports() const { return metrix_->reports(); }
  std::vector<int32_t> ReportIds() const {
    std::vector<int32_t> out;
    for (const MetrixReport& r : metrix_->reports()) out.push_back(r.event_id);
    return out;
  }

  // Media-engine calls made since the records were last cleared.
  std::vector<refhost::MediaCall> EngineCalls() const {
    auto calls = host.media_engine->calls().Snapshot();
    calls.erase(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(engine_mark_));
    return calls;
  }
  std::vector<int> EngineOps() const {
    std::vector<int> out;
    for (const auto& call : EngineCalls()) out.push_back(call.op);
    return out;
  }

  void ClearRecords() {
    engine_mark_ = host.media_engine->calls().size();
    {
      std::lock_guard<std::mutex> lock(log_->mutex);
      log_->lines.clear();
    }
    {
      std::lock_guard<std::mutex> lock(transport_->mutex);
      transport_->sent.clear();
    }
    metrix_->Clear();
  }

  refhost::ReferenceHost host{kUser, kRoom, kUser};

 private:
  struct Reply {
    int32_t status = 200;
    std::string body;
    bool local = false;
    tessel::base::ErrorResult error;
  };
  struct TransportState {
    mutable std::mutex mutex;
    std::map<std::string, Reply> answers;
    std::vector<Sent> sent;
  };
  struct LogStore {
    std::mutex mutex;
    std::vector<std::pair<int, std::string>> lines;
  };

  void InstallTransport() {
    auto state = transport_;
    auto room = host.room;
    nexo_standin::SetTransport(
        [state, room](const std::shared_ptr<nexo_standin::PendingRequest>& r) {
          const std::string& uri = r->request().uri;
          const std::string op = uri.substr(uri.rfind('/') + 1);
          Reply reply;
          {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->sent.push_back(
                {uri, r->request().body, room->InstanceId("rtc"), room->InstanceId("live")});
            auto it = state->answers.find(op);
            reply = it == state->answers.end() ? Reply{200, Bytes("80"), false, {}} : it->second;
          }
          if (reply.local) {
            r->Fail(reply.error);
          } else {
            nexo_standin::Response response;
            response.code = reply.status;
            response.body = reply.body;
            r->Respond(response);
          }
        });
  }

  size_t engine_mark_ = 0;
  std::shared_ptr<TransportState> transport_ = std::make_shared<TransportState>();
  std::shared_ptr<LogStore> log_ = std::make_shared<LogStore>();
  std::shared_ptr<vanta::metrix::RecordingMetrixModule> metrix_ =
      std::make_shared<vanta::metrix::RecordingMetrixModule>();
};

}  // namespace service_test
