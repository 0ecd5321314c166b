// The checks of the outside bytes the adaptor simulator reads, shared by the fuzz targets and the
// corpus replay test: request bodies (as any host's requests reach it) and traffic files (as
// rtc_demo --replay reads them).
//
// CheckSimulatorRequest: byte 0 picks the URI (value % 26: the 25 adaptor URIs in their tables'
// order, 25 an unknown URI) and the caller (value / 26 % 3: the teacher, a student member, a
// guest); the rest is the request body. It goes to a simulator that holds the teacher's
// conference (the student a member) and a class of the teacher's. The simulator must answer it
// exactly once, at once, with a 200 answer whose body the module's response model decodes, or
// with a documented refusal: its status, and an error body with its code text, reason and the
// adaptor's scope.
//
// CheckTrafficFile: the bytes are a traffic file. Open either refuses it with one line naming
// the file, or serves it: every request is answered at most once ("answered" and "failed" lines
// once, "unanswered" and "late" lines never), a URI with no line left fails locally with "-2",
// and every served line counts down remaining(). The file is also opened with its recorded
// timing kept, one request per URI sent and the replay dropped with answers still due.
//
// Both return "" when all holds, otherwise what broke.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "nexo_standin/engine_control.h"
#include "rtc_sim/simulator.h"
#include "rtc_sim/traffic.h"
#include "tessel/mlink/request.h"

namespace fuzz_check {

// A request as the engine hands it to a transport; counts how it was completed.
class CountingRequest : public nexo_standin::PendingRequest {
 public:
  CountingRequest(std::string user, const std::string& uri, std::string body)
      : user_(std::move(user)), request_(uri) {
    request_.body = std::move(body);
  }
  const std::string& user_id() const override { return user_; }
  const tessel::mlink::Request& request() const override { return request_; }
  bool Respond(const nexo_standin::Response& response) override {
    std::lock_guard<std::mutex> lock(mu_);
    ++completions_;
    code_ = response.code;
    body_ = response.body;
    return completions_ == 1;
  }
  bool Fail(const nexo_standin::ErrorResult& error) override {
    std::lock_guard<std::mutex> lock(mu_);
    ++completions_;
    code_ = -1;
    error_code_ = error.code();
    error_reason_ = error.reason();
    return completions_ == 1;
  }
  bool completed() const override {
    std::lock_guard<std::mutex> lock(mu_);
    return completions_ > 0;
  }

  int completions() const {
    std::lock_guard<std::mutex> lock(mu_);
    return completions_;
  }
  int32_t code() const { return code_; }
  const std::string& body() const { return body_; }
  const std::string& error_code() const { return error_code_; }
  const std::string& error_reason() const { return error_reason_; }

 private:
  const std::string user_;
  tessel::mlink::Request request_;
  mutable std::mutex mu_;
  int completions_ = 0;
  int32_t code_ = 0;
  std::string body_, error_code_, error_reason_;
};

inline constexpr char kUnknownUri[] = "/r/Adaptor/RtcMlink/unknownOperation";

// What the input's first byte picks.
inline std::string UriOfByte(uint8_t b) {
  const std::vector<std::string>& uris = rtc_sim::AdaptorUris();
  const size_t i = b % (uris.size() + 1);
  return i < uris.size() ? uris[i] : kUnknownUri;
}
inline const char* CallerOfByte(uint8_t b) {
  static const char* const kCallers[] = {"teacher", "student", "guest"};
  return kCallers[b / (rtc_sim::AdaptorUris().size() + 1) % 3];
}

inline std::string Send(rtc_sim::AdaptorSimulator& sim, const std::string& user,
                        const std::string& uri, const std::string& body,
                        std::shared_ptr<CountingRequest>* out = nullptr) {
  auto request = std::make_shared<CountingRequest>(user, uri, body);
  sim.transport()(request);
  if (out) *out = request;
  if (request->completions() != 1) {
    return uri + " answered " + std::to_string(request->completions()) + " times";
  }
  return {};
}

inline std::string CheckSimulatorRequest(const uint8_t* data, size_t size) {
  if (size == 0) return {};
  const std::string uri = UriOfByte(data[0]);
  const std::string user = CallerOfByte(data[0]);
  const std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);

  rtc_sim::AdaptorSimulator sim;
  vanta::room::CreateRtcRsp conference;
  if (!sim.CreateConference("room-1", {"teacher", "teacher", "Physics", {"student"}, 0, ""},
                            &conference)
           .ok()) {
    return "the conference was refused";
  }
  sim.SetInstanceId("room-1", "rtc", conference.rtc_id);
  const std::string create_class = std::string(rtc_sim::kClassSceneUriPrefix) + "createClass";
  std::string problem =
      Send(sim, "teacher", create_class,
           rtc_sim::Encode(vanta::sceneclass::CreateClassReq{"room-1", "Optics"}));
  if (!problem.empty()) return problem;

  std::shared_ptr<CountingRequest> request;
  problem = Send(sim, user, uri, body, &request);
  if (!problem.empty()) return problem;
  const int32_t code = request->code();
  std::string json;
  if (code == nexo_standin::kOk) {
    if (!rtc_sim::AnswerJson(uri, code, request->body(), &json)) {
      return uri + ": the 200 answer does not decode: " + json;
    }
    return {};
  }
  rtc_sim::ErrorBody error;
  if (!rtc_sim::DecodeError(request->body(), &error)) {
    return uri + ": the " + std::to_string(code) + " answer's error body does not decode";
  }
  const std::string adaptor = uri == kUnknownUri                          ? "Adaptor"
                              : uri.rfind(rtc_sim::kRtcUriPrefix, 0) == 0 ? "RtcMlink"
                                                                          : "ClassScene";
#define FUZZ_CHECK_REFUSAL(name, status, code_text, reason) rtc_sim::Refusal::name,
  static const rtc_sim::Refusal kRefusals[] = {RTC_SIM_REFUSALS(FUZZ_CHECK_REFUSAL)};
#undef FUZZ_CHECK_REFUSAL
  for (const rtc_sim::Refusal refusal : kRefusals) {
    const rtc_sim::RefusalInfo documented = rtc_sim::Describe(refusal);
    if (code == documented.status && error.code == documented.code &&
        error.reason == documented.reason && error.scope == adaptor) {
      return {};
    }
  }
  return uri + ": an undocumented refusal: " + std::to_string(code) + " code=" + error.code +
         " reason=" + error.reason + " scope=" + error.scope;
}

// A scratch file of its own, removed when it goes.
class ScratchFile {
 public:
  ScratchFile() {
    static std::atomic<unsigned> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = (std::filesystem::temp_directory_path() /
             ("rtc-traffic-check-" + std::to_string(now) + "-" + std::to_string(++counter)))
                .string();
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline std::string CheckTrafficFile(const uint8_t* data, size_t size) {
  ScratchFile file;
  {
    std::ofstream out(file.path(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) return "cannot write " + file.path();
  }
  std::string error;
  auto replay = rtc_sim::ReplayTransport::Open(file.path(), &error);
  if (!replay) {
    if (error.rfind(file.path() + ":", 0) != 0 || error.find('\n') != std::string::npos) {
      return "the refusal is not one line naming the file: " + error;
    }
    return {};
  }
  std::vector<std::string> uris = rtc_sim::AdaptorUris();
  uris.push_back(kUnknownUri);
  size_t remaining = replay->remaining();
  const nexo_standin::Transport transport = replay->transport();
  for (const std::string& uri : uris) {
    for (;;) {
      auto request = std::make_shared<CountingRequest>("teacher", uri, std::string());
      transport(request);
      const int completions = request->completions();
      if (completions > 1) return uri + " answered " + std::to_string(completions) + " times";
      const size_t now_remaining = replay->remaining();
      if (now_remaining == remaining) {
        // No line left for this URI: a local failure, once.
        if (completions != 1 || request->code() != -1 || request->error_code() != "-2" ||
            request->error_reason() != "invalid_operation") {
          return uri + ": a request with no line left was not failed with -2";
        }
        break;
      }
      if (now_remaining + 1 != remaining) {
        return uri + ": one request served " + std::to_string(remaining - now_remaining) + " lines";
      }
      remaining = now_remaining;
    }
  }
  // With the recorded timing kept, answers are due later; the replay goes with them still due.
  auto timed = rtc_sim::ReplayTransport::Open(file.path(), &error, rtc_sim::ReplayOptions{true});
  if (!timed) return "the file opened once and not again: " + error;
  for (const std::string& uri : uris) {
    timed->transport()(std::make_shared<CountingRequest>("teacher", uri, std::string()));
  }
  return {};
}

}  // namespace fuzz_check
