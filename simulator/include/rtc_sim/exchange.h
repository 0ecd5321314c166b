// Observation of adaptor traffic: a transport wrapper that reports every request and its outcome.
//
// Tap(inner, observer) returns a transport for the engine stand-in that hands each request to
// `inner` and reports it to `observer`: once when it arrives (Phase::kRequest, on the sending
// thread) and once when it ends (Phase::kAnswer, on the thread that answers, before the answer
// reaches the engine; or, for a request the transport lets go of without answering, on the thread
// that drops the last reference). Works around any transport: the simulator, a replay, a script.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "nexo_standin/engine_control.h"
#include "rtc_sim/export.h"

namespace rtc_sim {

// A local failure as the engine delivers it (the fields of the framework's ErrorResult).
struct LocalError {
  int32_t status = 0;
  std::string code;
  std::string reason;
  std::string developer_message;
  std::string more_info;
  std::string scope;
  bool local_error = false;
};

enum class Phase { kRequest, kAnswer };

enum class Outcome {
  kPending,     // Phase::kRequest events
  kAnswered,    // a response (`code`, `body`) reached the engine
  kFailed,      // a local failure (`error`; the module sees code -1)
  kUnanswered,  // the transport let go of the request without answering (the engine's timeout
                // fails it, or the engine's Reset drops it)
  kLate,        // answered after the engine had already completed the request (timed out)
};

// Text names: "pending", "answered", "failed", "unanswered", "late".
RTC_SIM_EXPORT const char* OutcomeName(Outcome outcome);

struct Exchange {
  Phase phase = Phase::kRequest;
  uint64_t seq = 0;  // 1, 2, ... per Tap, in the order requests arrived
  std::string user;  // the sending account (PendingRequest::user_id)
  std::string uri;
  std::string request_body;
  Outcome outcome = Outcome::kPending;
  int32_t code = 0;         // kAnswered, kLate: the response code
  std::string answer_body;  // kAnswered, kLate
  LocalError error;         // kFailed
  std::string fault;        // the fault the simulator applied ("" for none): FaultActionText
  std::chrono::steady_clock::time_point sent;
  std::chrono::steady_clock::time_point answered;  // kAnswer events
};

// Called once per phase per request. Must not block, and must not call back into the transport
// synchronously with the same request. May run on several threads at once.
using Observer = std::function<void(const Exchange& exchange)>;

RTC_SIM_EXPORT nexo_standin::Transport Tap(nexo_standin::Transport inner, Observer observer);

// How the simulator tells the transports wrapped around it (Tap, the recorder) which fault it
// applied to a request (Exchange::fault): a request wrapper implements FaultNote, and the
// simulator notes the fault on the request it was given before answering it. A wrapper of its
// own between a Tap and the simulator passes the note on to the request it wraps (NoteFault), or
// the Tap is not told.
class FaultNote {
 public:
  virtual void NoteFault(const std::string& fault) = 0;

 protected:
  ~FaultNote() = default;
};

// Notes `fault` on `request` when it listens (implements FaultNote); nothing otherwise.
inline void NoteFault(nexo_standin::PendingRequest* request, const std::string& fault) {
  if (auto* note = dynamic_cast<FaultNote*>(request)) note->NoteFault(fault);
}

}  // namespace rtc_sim
