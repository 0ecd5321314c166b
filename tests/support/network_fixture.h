// Shared pieces of the network-layer tests: wire bytes written by hand, captured log lines, a
// thread-safe record of what a request's callbacks received, the operations of both adaptor
// clients as a table, and a fixture that registers both engine modules with the engine
// stand-in and brings one account up (and leaves the process-wide registries as it found them).
//
// Request and answer bytes are written by hand from the wire rules (key = field position,
// smallest integer form, float32, 0xa0+n / 0xda strings), never produced by the codec under test.
#pragma once

#include <gtest/gtest.h>
#include "support/hex_bytes.h"

#include <any>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "basefx/logging.h"
#include "network/rtc/nexo_module_event_impl.h"
#include "network/rtc/rtc_module_impl.h"
#include "network/sceneclass/class_scene_module_impl.h"
#include "network/sceneclass/nexo_module_event_impl.h"
#include "nexo_standin/engine_control.h"
#include "vanta/meta/rtc_result_callback.h"
#include "vanta/nexo/nexo_engine.h"
#include "vanta/rtc/rtc_manager.h"
#include "vanta/sceneclass/sceneclass_manager.h"

namespace network_test {

using namespace std::chrono_literals;
using vanta::nexo::NexoError;
using vanta::nexo::NexoUserId;
using RtcManager = vanta::rtc::RtcManager;
using SceneManager = vanta::sceneclass::SceneclassManager;

using test_support::Bytes;

// One captured "[<level>:<file>(<line>)] <message>\n".
struct LogLine {
  int severity;
  std::string level, file, message;
};

// Captures every line from severity 1 up, with an empty prefix. Lines may arrive on engine
// threads after the capture is gone, so the storage is shared with the handler.
class LogCapture {
 public:
  LogCapture() {
    basefx::SetMinLogSeverity(1);
    basefx::SetLogPrefix("");
    basefx::SetLogMessageHandler([store = store_](int severity, const std::string& text) {
      static const std::regex kFormat(R"(^\[([A-Z]+):(.*?)\(\d+\)\] ([^\n]*)\n$)");
      std::smatch m;
      LogLine line{severity, "", "", text};
      if (std::regex_match(text, m, kFormat)) line = {severity, m[1], m[2], m[3]};
      std::lock_guard<std::mutex> lock(store->mutex);
      store->lines.push_back(line);
    });
  }
  ~LogCapture() { basefx::SetLogMessageHandler(nullptr); }
  std::vector<LogLine> Lines() const {
    std::lock_guard<std::mutex> lock(store_->mutex);
    return store_->lines;
  }
  // The messages of the lines from `file` (every file when empty), in order.
  std::vector<std::string> Messages(const std::string& file = "") const {
    std::vector<std::string> out;
    for (const auto& l : Lines()) {
      if (file.empty() || l.file == file) out.push_back(l.message);
    }
    return out;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(store_->mutex);
    store_->lines.clear();
  }

 private:
  struct Store {
    std::mutex mutex;
    std::vector<LogLine> lines;
  };
  std::shared_ptr<Store> store_ = std::make_shared<Store>();
};

// What one request's callbacks received, on which threads, and how many log lines had been
// written by then (when `logs` is set).
struct Calls {
  void Record(std::any success, const NexoError* failure) {
    std::lock_guard<std::mutex> lock(mutex);
    if (failure) failures.push_back(*failure);
    if (!failure) {
      ++successes;
      last_success = std::move(success);
    }
    threads.push_back(std::this_thread::get_id());
    lines_before.push_back(logs ? logs->Lines().size() : 0);
    changed.notify_all();
  }
  bool WaitFor(size_t total, std::chrono::milliseconds wait = 5s) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, wait, [&] { return threads.size() >= total; });
  }
  size_t total() {
    std::lock_guard<std::mutex> lock(mutex);
    return threads.size();
  }
  const LogCapture* logs = nullptr;
  std::mutex mutex;
  std::condition_variable changed;
  int successes = 0;
  std::any last_success;
  std::vector<NexoError> failures;
  std::vector<std::thread::id> threads;
  std::vector<size_t> lines_before;
};

template <typename Rsp>
struct RecordingCallback : vanta::meta::RtcResultCallback<Rsp> {
  explicit RecordingCallback(std::shared_ptr<Calls> c) : calls(std::move(c)) {}
  void OnSuccess(const Rsp& rsp) override { calls->Record(rsp, nullptr); }
  void OnFailure(const NexoError& error) override { calls->Record({}, &error); }
  const std::shared_ptr<Calls> calls;
};

// The error an adaptor answers with: keys 1 code, 2 reason, 3 (ignored), 4 developer message,
// 5 more info, 6 scope.
inline std::string ServerErrorBody() {
  return Bytes("86 01 a4 '4001' 02 a8 'bad room' 03 a1 'x' 04 a3 'dev' 05 a4 'more' 06 a5 'scope'");
}

inline void ExpectServerError(const NexoError& e) {
  EXPECT_EQ(std::vector<std::string>({e.reason, e.developer_message, e.more_info, e.scope}),
            std::vector<std::string>({"bad room", "dev", "more", "scope"}));
  EXPECT_EQ(e.domain, 1);
  EXPECT_EQ(e.code, 4001);
}

constexpr const char* kRtcManagerFile = "src/network/rtc/rtc_manager_impl";
constexpr const char* kSceneManagerFile = "src/network/sceneclass/class_scene_manager_impl";
constexpr const char* kRtcModuleFile = "src/network/rtc/rtc_module_impl";
constexpr const char* kSceneModuleFile = "src/network/sceneclass/class_scene_module_impl";

// One operation of a client: its URI and failure text, a request with the exact body it must
// put on the wire (empty: not checked), and an answer with the record it decodes into.
template <typename Manager>
struct Operation {
  std::string name, uri, failure_text, request_body, response_body;
  std::function<void(Manager&, const std::shared_ptr<Calls>&, bool object_form)> send;
  std::function<void(Manager&)> send_empty_object, send_without_callbacks;
  std::function<bool(const std::any&)> is_expected;
};

template <typename Manager, typename Req, typename Rsp>
Operation<Manager> Op(
    void (Manager::*fn)(const Req&, const std::function<void(const Rsp&)>&,
                        const std::function<void(const NexoError&)>&),
    void (Manager::*obj)(const Req&, const std::shared_ptr<vanta::meta::RtcResultCallback<Rsp>>&),
    const std::string& name, const Req& req = Req(), const std::string& request_hex = "",
    const std::string& response_hex = "80", const Rsp& expected = Rsp()) {
  const bool rtc = std::is_same<Manager, RtcManager>::value;
  std::string uri = (rtc ? "/r/Adaptor/RtcMlink/" : "/r/Adaptor/ClassScene/") + name;
  uri[uri.size() - name.size()] = static_cast<char>(std::tolower(name[0]));
  Operation<Manager> op;
  op.name = name;
  op.uri = uri;
  op.failure_text = name + " failed,";
  op.request_body = Bytes(request_hex);
  op.response_body = Bytes(response_hex);
  op.send = [=](Manager& m, const std::shared_ptr<Calls>& calls, bool object_form) {
    if (object_form) return (m.*obj)(req, std::make_shared<RecordingCallback<Rsp>>(calls));
    (m.*fn)(
        req, [calls](const Rsp& rsp) { calls->Record(rsp, nullptr); },
        [calls](const NexoError& e) { calls->Record({}, &e); });
  };
  op.send_empty_object = [=](Manager& m) { (m.*obj)(req, nullptr); };
  op.send_without_callbacks = [=](Manager& m) { (m.*fn)(req, nullptr, nullptr); };
  op.is_expected = [expected](const std::any& got) {
    const Rsp* rsp = std::any_cast<Rsp>(&got);
    return rsp != nullptr && *rsp == expected;
  };
  return op;
}

#define VANTA_TEST_OP(Op) &Manager::Op, &Manager::Op, #Op

inline std::vector<Operation<RtcManager>> RtcOperations() {
  using namespace vanta::rtc;
  using Manager = RtcManager;
  GetTokenReq token;
  token.rtc_id = "r1";
  GetTokenRsp token_rsp;
  token_rsp.token = "tk";
  token_rsp.text6 = "f";
  token_rsp.number5 = 5000000000;  // needs the 64-bit form
  ReportJoinStatusReq join;
  join.rtc_id = "r1";
  join.join_status = 4;
  join.number6 = -6;
  join.number7 = 300;
  ReportJoinStatusRsp join_rsp;
  join_rsp.conf_info.users.resize(1);
  join_rsp.conf_info.users[0].user_id = "u9";
  join_rsp.conf_info.users[0].number14 = 9000000000;
  join_rsp.conf_info.number7 = -1;
  join_rsp.number3 = -128;
  PushLiveStreamReq push;
  push.push_url = "rtmp://live.example/app/stream01";  // 32 bytes: 0xda, never 0xd9
  SetCustomLayoutReq layout;
  layout.panes.resize(1);
  layout.panes[0].number1 = 0.5f;
  layout.panes[0].number3 = -2.0f;
  ApproveLinkMicReq approve;
  approve.approve = false;
  std::vector<Operation<RtcManager>> ops = {
      // Keys out of order: a field is found by its key, not by where it stands.
      Op(VANTA_TEST_OP(GetToken), token, "81 01 a2 'r1'",
         "83 06 a1 'f' 02 a2 'tk' 05 cf 00 00 00 01 2a 05 f2 00", token_rsp),
      Op(VANTA_TEST_OP(ReportJoinStatus), join,
         "87 01 a2 'r1' 02 a0 03 a0 04 04 05 a0 06 fa 07 cd 01 2c",
         "82 01 82 05 91 82 01 a2 'u9' 0e cf 00 00 00 02 18 71 1a 00 07 ff 03 d0 80", join_rsp),
      Op(VANTA_TEST_OP(ReportLeaveStatus)),
      // A field-less answer skips what it does not know.
      Op(VANTA_TEST_OP(PushLiveStream), push,
         "83 01 a0 02 da 00 20 'rtmp://live.example/app/stream01' 03 00",
         "82 01 a1 'x' 07 92 01 c3"),
      Op(VANTA_TEST_OP(StopLiveStream), StopLiveStreamReq(), "81 01 a0", "c0"),  // nil: success
      Op(VANTA_TEST_OP(SetLayout)),
      Op(VANTA_TEST_OP(SetCustomLayout), layout,
         "82 01 a0 02 91 86 01 ca 3f 00 00 00 02 ca 00 00 00 00 03 ca c0 00 00 00"
         "   04 ca 00 00 00 00 05 00 06 a0"),
      Op(VANTA_TEST_OP(AddMembers)),
      Op(VANTA_TEST_OP(KickMembers)),
      Op(VANTA_TEST_OP(GetConfDetail)),
      Op(VANTA_TEST_OP(ApplyLinkMic)),
      Op(VANTA_TEST_OP(ApproveLinkMic), approve, "83 01 a0 02 a0 03 c2", "81 03 a5 'later'"),
      Op(VANTA_TEST_OP(ListConfUser)),
      Op(VANTA_TEST_OP(ListApplyLinkMicUser)),
      Op(VANTA_TEST_OP(StartRecord)),
      Op(VANTA_TEST_OP(StopRecord)),
      Op(VANTA_TEST_OP(ReportRtcMute)),
      Op(VANTA_TEST_OP(RtcMuteAll)),
      Op(VANTA_TEST_OP(RtcMuteUser)),
      Op(VANTA_TEST_OP(OperateCamera)),
      Op(VANTA_TEST_OP(ShareScreen)),
  };
  ops[7].failure_text = "rtc AddMembers failed,";
  return ops;
}

inline std::vector<Operation<SceneManager>> SceneOperations() {
  using namespace vanta::sceneclass;
  using Manager = SceneManager;
  CreateClassReq create;
  create.field1 = "math";
  CreateClassRsp created;
  created.field1 = "f1";
  created.field5 = -2147483647 - 1;
  created.field6 = 4294967296;
  created.field7 = -4294967297;
  created.field12 = "f12";
  return {
      // Key 13 is decoded and not carried into the record.
      Op(VANTA_TEST_OP(CreateClass), create, "82 01 a4 'math' 02 a0",
         "86 01 a2 'f1' 05 d2 80 00 00 00 06 cf 00 00 00 01 00 00 00 00"
         "   07 d3 ff ff ff fe ff ff ff ff 0c a3 'f12' 0d a3 'f13'",
         created),
      Op(VANTA_TEST_OP(GetClassDetail)),
      Op(VANTA_TEST_OP(StartClass)),
      Op(VANTA_TEST_OP(StopClass), StopClassReq(), "81 01 a0", "82 01 a2 'ok' 02 a1 'y'"),
  };
}

#undef VANTA_TEST_OP

// The account's clients, reached as a service made now reaches them: it writes the account key
// into the module before it asks for the client (a client made without the key finds no sender).
// Empty when the engine has not created the account's modules.
inline std::shared_ptr<RtcManager> RtcClientOf(const NexoUserId& key) {
  auto module = vanta::rtc::RtcModuleImpl::Find(key);
  if (module) module->SetManagerUid(key);
  return vanta::rtc::RtcModuleWrapper(module, key).GetRtcManager();
}
inline std::shared_ptr<SceneManager> ClassClientOf(const NexoUserId& key) {
  auto module = vanta::sceneclass::ClassSceneModuleImpl::Find(key);
  if (module) module->SetManagerUid(key);
  return vanta::sceneclass::ClassSceneModuleWrapper(module, key).GetSceneclassManager();
}

// A fresh engine stand-in with both of the module's engine modules registered.
inline void RegisterBothModules() {
  nexo_standin::Reset();
  auto engine = vanta::nexo::NexoEngine::GetNexoEngine();
  engine->RegisterModule(vanta::rtc::GetRtcServiceInfo());
  engine->RegisterModule(vanta::sceneclass::GetClassSceneServiceInfo());
}

// Both modules registered, account `user` added and initialised, synchronous delivery, and
// every log line captured (the set-up's own lines are cleared).
class NetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterBothModules();
    nexo_standin::SetSynchronousDelivery(true);
    nexo_standin::AddAccount(user);
    ASSERT_TRUE(nexo_standin::InitAccount(user));
    logs.Clear();
  }
  void TearDown() override {
    nexo_standin::SetTransport(nullptr);
    nexo_standin::ReleaseAccount(user);
    nexo_standin::WaitUntilIdle(5s);
    nexo_standin::Reset();
  }

  std::shared_ptr<RtcManager> Rtc() { return RtcClientOf(user); }
  std::shared_ptr<SceneManager> Scene() { return ClassClientOf(user); }
  std::shared_ptr<Calls> NewCalls() {
    auto calls = std::make_shared<Calls>();
    calls->logs = &logs;
    return calls;
  }

  // Every request is answered at once with `status` and `body`.
  static void AnswerWith(int32_t status, const std::string& body) {
    nexo_standin::SetTransport(nexo_standin::RespondWith({status, body, {}}));
  }
  // Requests are kept unanswered in `held` for the test to answer.
  void HoldRequests() {
    nexo_standin::SetTransport([this](const std::shared_ptr<nexo_standin::PendingRequest>& r) {
      std::lock_guard<std::mutex> lock(held_mutex);
      held.push_back(r);
    });
  }

  const NexoUserId user{"alice", "pc"};
  LogCapture logs;
  std::mutex held_mutex;
  std::vector<std::shared_ptr<nexo_standin::PendingRequest>> held;
};

}  // namespace network_test
