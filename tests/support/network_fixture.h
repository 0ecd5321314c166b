// Shared pieces of the network-layer tests: wire bytes written by hand, captured log lines taken
// apart, a thread-safe record of what a request's callbacks received, and a fixture that
// registers both engine modules with the engine stand-in and brings one account up.
//
// The module registries are process-wide, so the fixture leaves them as it found them (the
// account is released in TearDown); the tests also pass when a binary runs all of them in one
// process.
#pragma once

#include <gtest/gtest.h>

#include <any>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <regex>
#include <stdexcept>
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
#include "vanta/nexo/nexo_error.h"

namespace network_test {

using namespace std::chrono_literals;
using vanta::nexo::NexoError;
using vanta::nexo::NexoUserId;

// Bytes written by hand: hex pairs, and text in single quotes standing for its own
// bytes ("a2 'r1'" is a2 72 31). Blanks separate nothing and may go anywhere.
inline std::string Bytes(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i < hex.size();) {
    const char c = hex[i];
    if (c == ' ') {
      ++i;
    } else if (c == '\'') {
      const size_t end = hex.find('\'', i + 1);
      if (end == std::string::npos) throw std::invalid_argument("unterminated text: " + hex);
      out += hex.substr(i + 1, end - i - 1);
      i = end + 1;
    } else {
      if (i + 1 >= hex.size() || !std::isxdigit(static_cast<unsigned char>(c)) ||
          !std::isxdigit(static_cast<unsigned char>(hex[i + 1]))) {
        throw std::invalid_argument("bad hex at " + std::to_string(i) + ": " + hex);
      }
      out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
      i += 2;
    }
  }
  return out;
}

// Readable form for failure messages.
inline std::string Hex(const std::string& bytes) {
  std::string out;
  char buf[4];
  for (unsigned char b : bytes) {
    std::snprintf(buf, sizeof buf, out.empty() ? "%02x" : " %02x", b);
    out += buf;
  }
  return out;
}

// A pattern matching exactly the line `level`/`file`/`message`, at any source line.
inline std::regex LinePattern(const std::string& level, const std::string& file,
                              const std::string& message) {
  static const std::regex kSpecial(R"([.^$|()\[\]{}*+?\\])");
  auto quote = [](const std::string& s) { return std::regex_replace(s, kSpecial, R"(\$&)"); };
  return std::regex(R"(^\[)" + quote(level) + ":" + quote(file) + R"(\(\d+\)\] )" + quote(message) +
                    "\n$");
}

// One captured line, taken apart: "[<level>:<file>(<line>)] <message>\n".
struct LogLine {
  int severity = 0;
  std::string level;
  std::string file;
  int line = 0;
  std::string message;
  std::string raw;
};

inline std::ostream& operator<<(std::ostream& os, const LogLine& l) {
  return os << l.raw;
}

// Captures every line from severity 1 up, with an empty log prefix. Lines may arrive on engine
// threads; the storage outlives the capture, so a late line never writes into freed memory.
class LogCapture {
 public:
  LogCapture() : lines_(std::make_shared<Store>()) {
    basefx::SetMinLogSeverity(1);
    basefx::SetLogPrefix("");
    std::shared_ptr<Store> store = lines_;
    basefx::SetLogMessageHandler([store](int severity, const std::string& text) {
      static const std::regex kFormat(R"(^\[([A-Z]+):(.*?)\((\d+)\)\] ([^\n]*)\n$)");
      LogLine line;
      line.severity = severity;
      line.raw = text;
      std::smatch m;
      if (std::regex_match(text, m, kFormat)) {
        line.level = m[1];
        line.file = m[2];
        line.line = std::stoi(m[3]);
        line.message = m[4];
      }
      std::function<void(const LogLine&)> observer;
      {
        std::lock_guard<std::mutex> lock(store->mutex);
        store->lines.push_back(line);
        observer = store->observer;
      }
      if (observer) observer(line);
    });
  }
  ~LogCapture() { basefx::SetLogMessageHandler(nullptr); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<LogLine> Lines() const {
    std::lock_guard<std::mutex> lock(lines_->mutex);
    return lines_->lines;
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
    std::lock_guard<std::mutex> lock(lines_->mutex);
    lines_->lines.clear();
  }
  // Called after each line is stored, on the logging thread.
  void SetObserver(std::function<void(const LogLine&)> observer) {
    std::lock_guard<std::mutex> lock(lines_->mutex);
    lines_->observer = std::move(observer);
  }

 private:
  struct Store {
    std::mutex mutex;
    std::vector<LogLine> lines;
    std::function<void(const LogLine&)> observer;
  };
  std::shared_ptr<Store> lines_;
};

// What one request's callbacks received, and on which threads.
class Calls {
 public:
  void Success(std::any rsp) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++successes_;
      last_success_ = std::move(rsp);
      threads_.push_back(std::this_thread::get_id());
    }
    changed_.notify_all();
  }
  void Failure(const NexoError& error) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      failures_.push_back(error);
      threads_.push_back(std::this_thread::get_id());
    }
    changed_.notify_all();
  }
  template <typename Rsp>
  std::function<void(const Rsp&)> OnSuccess(const std::shared_ptr<Calls>& self) {
    return [self](const Rsp& rsp) { self->Success(rsp); };
  }
  std::function<void(const NexoError&)> OnFailure(const std::shared_ptr<Calls>& self) {
    return [self](const NexoError& error) { self->Failure(error); };
  }

  bool WaitFor(int total, std::chrono::milliseconds wait = 5s) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, wait, [&] { return Total() >= total; });
  }
  int successes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return successes_;
  }
  std::vector<NexoError> failures() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failures_;
  }
  int total() {
    std::lock_guard<std::mutex> lock(mutex_);
    return Total();
  }
  std::any last_success() {
    std::lock_guard<std::mutex> lock(mutex_);
    return last_success_;
  }
  std::vector<std::thread::id> threads() {
    std::lock_guard<std::mutex> lock(mutex_);
    return threads_;
  }

 private:
  int Total() const { return successes_ + static_cast<int>(failures_.size()); }

  std::mutex mutex_;
  std::condition_variable changed_;
  int successes_ = 0;
  std::any last_success_;
  std::vector<NexoError> failures_;
  std::vector<std::thread::id> threads_;
};

// A host callback object that reports into `calls`.
template <typename Rsp>
class RecordingCallback : public vanta::meta::RtcResultCallback<Rsp> {
 public:
  explicit RecordingCallback(std::shared_ptr<Calls> calls) : calls_(std::move(calls)) {}
  void OnSuccess(const Rsp& rsp) override { calls_->Success(rsp); }
  void OnFailure(const NexoError& error) override { calls_->Failure(error); }

 private:
  const std::shared_ptr<Calls> calls_;
};

// The error an adaptor answers with: keys 1 code, 2 reason, 3 (ignored), 4 developer message,
// 5 more info, 6 scope.
inline const std::string& ServerErrorBody() {
  static const std::string body =
      Bytes("86 01 a4 '4001' 02 a8 'bad room' 03 a1 'x' 04 a3 'dev' 05 a4 'more' 06 a5 'scope'");
  return body;
}

inline void ExpectServerError(const NexoError& e) {
  EXPECT_EQ(e.domain, 1);
  EXPECT_EQ(e.code, 4001);
  EXPECT_EQ(e.reason, "bad room");
  EXPECT_EQ(e.developer_message, "dev");
  EXPECT_EQ(e.more_info, "more");
  EXPECT_EQ(e.scope, "scope");
}

// What every undecodable body turns into.
inline void ExpectDecodeFailure(const NexoError& e) {
  EXPECT_EQ(e.domain, 1);
  EXPECT_EQ(e.code, -11);
  EXPECT_EQ(e.developer_message, "unpackb_exception");
  EXPECT_EQ(e.scope, "AppNet");
  EXPECT_EQ(e.reason, "");
  EXPECT_EQ(e.more_info, "");
}

constexpr const char* kRtcManagerFile = "src/network/rtc/rtc_manager_impl";
constexpr const char* kRtcSenderFile = "src/network/rtc/rtc_mlink_service_rpc";
constexpr const char* kRtcModuleFile = "src/network/rtc/rtc_module_impl";
constexpr const char* kRtcEventsFile = "src/network/rtc/nexo_module_event_impl";
constexpr const char* kSceneManagerFile = "src/network/sceneclass/class_scene_manager_impl";
constexpr const char* kSceneSenderFile = "src/network/sceneclass/class_scene_service_rpc";
constexpr const char* kSceneModuleFile = "src/network/sceneclass/class_scene_module_impl";
constexpr const char* kSceneEventsFile = "src/network/sceneclass/nexo_module_event_impl";

// Both modules registered, account `user` added and initialised, synchronous delivery, and
// every log line captured (the set-up's own lines are cleared).
class NetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    nexo_standin::Reset();
    auto engine = vanta::nexo::NexoEngine::GetNexoEngine();
    ASSERT_TRUE(engine);
    engine->RegisterModule(vanta::rtc::GetRtcServiceInfo());
    engine->RegisterModule(vanta::sceneclass::GetClassSceneServiceInfo());
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

  // The account's managers, reached as the service reaches them.
  std::shared_ptr<vanta::rtc::RtcManager> RtcManager() {
    auto module = vanta::rtc::RtcModuleImpl::Find(user);
    if (!module) return nullptr;
    module->manager_uid = user;
    return vanta::rtc::RtcModuleWrapper(module, user).GetRtcManager();
  }
  std::shared_ptr<vanta::sceneclass::SceneclassManager> SceneManager() {
    auto module = vanta::sceneclass::ClassSceneModuleImpl::Find(user);
    if (!module) return nullptr;
    module->manager_uid = user;
    return vanta::sceneclass::ClassSceneModuleWrapper(module, user).GetSceneclassManager();
  }

  // Every request is answered at once with `status` and `body`.
  static void AnswerWith(int32_t status, const std::string& body) {
    nexo_standin::Response response;
    response.code = status;
    response.body = body;
    nexo_standin::SetTransport(nexo_standin::RespondWith(response));
  }

  // Requests are kept unanswered in `held` for the test to answer.
  void HoldRequests() {
    nexo_standin::SetTransport([this](const std::shared_ptr<nexo_standin::PendingRequest>& r) {
      std::lock_guard<std::mutex> lock(held_mutex);
      held.push_back(r);
    });
  }
  std::vector<std::shared_ptr<nexo_standin::PendingRequest>> Held() {
    std::lock_guard<std::mutex> lock(held_mutex);
    return held;
  }

  const NexoUserId user{"alice", "pc"};
  LogCapture logs;
  std::mutex held_mutex;
  std::vector<std::shared_ptr<nexo_standin::PendingRequest>> held;
};

}  // namespace network_test
