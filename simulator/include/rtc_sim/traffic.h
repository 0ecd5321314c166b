// Record and replay of adaptor traffic.
//
// A traffic file holds one JSON object per line, one line per request, written when the request
// ends (so in the order of answers; "seq" is the order of sending):
//   {"seq":1,"user":"teacher","uri":"/r/Adaptor/RtcMlink/getToken",
//    "request":{"rtc_id":"conf-1"},"request_hex":"81a6...",
//    "outcome":"answered","code":200,"answer":{...},"answer_hex":"86...",
//    "fault":"","sent_us":120,"answered_us":410}
// "outcome" is an OutcomeName (exchange.h). "answered" and "late" lines carry "code",
// "answer_hex" and "answer"; "failed" lines carry "error" (the LocalError fields: "status",
// "code", "reason", "developer_message", "more_info", "scope", "local_error"). "request" and
// "answer" are the JSON renderings of codec.h, for people; replay reads only the hex bodies.
// Times are microseconds since the recorder was opened.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "nexo_standin/engine_control.h"
#include "rtc_sim/exchange.h"
#include "rtc_sim/export.h"

namespace rtc_sim {

namespace detail {
class RecorderSink;
class ReplayCore;
}  // namespace detail

// Writes the traffic of any transport. Thread-safe; lines are written whole, as requests end.
class RTC_SIM_EXPORT TrafficRecorder {
 public:
  // Opens (truncates) `path`. Null, with `error` set to one line
  // ("<path>: cannot open for writing"), when it cannot be opened.
  static std::unique_ptr<TrafficRecorder> Open(const std::string& path, std::string* error);
  ~TrafficRecorder();  // flushes and closes; requests that end later are not written
  TrafficRecorder(const TrafficRecorder&) = delete;
  TrafficRecorder& operator=(const TrafficRecorder&) = delete;

  // `inner` wrapped: its traffic is written to the file and also reported to `observer` (when
  // set), as Tap does.
  nexo_standin::Transport Wrap(nexo_standin::Transport inner, Observer observer = Observer());
  // Lines written so far.
  size_t lines() const;

 private:
  explicit TrafficRecorder(std::shared_ptr<detail::RecorderSink> sink);
  std::shared_ptr<detail::RecorderSink> sink_;
};

struct ReplayOptions {
  // Deliver each answer as long after its request as the recording says (answered_us - sent_us,
  // at most an hour), from the replay's delivery thread; otherwise answer at once on the sending
  // thread.
  bool keep_timing = false;
};

// Serves answers from a traffic file instead of the simulator. Requests are matched to recorded
// lines per URI, in the order of sending: the k-th request to a URI gets the k-th recorded line
// of that URI. "answered" lines are answered with their code and body, "failed" lines fail with
// their error, "unanswered" and "late" lines are not answered (the engine's timeout fails them).
// A request with no line left, or whose body or user differs from the recording, is noted in
// problems(); one with no line left fails locally (code "-2", reason "invalid_operation").
// Thread-safe; the delivery thread (keep_timing) is joined by the destructor.
class RTC_SIM_EXPORT ReplayTransport {
 public:
  // Reads the whole file. Null, with `error` set to one line naming the file, the line and the
  // problem ("traffic.jsonl:3: \"answer_hex\" is not hex"; "traffic.jsonl: cannot open for
  // reading"), when it cannot be read or a line is malformed.
  static std::unique_ptr<ReplayTransport> Open(const std::string& path, std::string* error,
                                               ReplayOptions options = ReplayOptions());
  ~ReplayTransport();
  ReplayTransport(const ReplayTransport&) = delete;
  ReplayTransport& operator=(const ReplayTransport&) = delete;

  // Refers to the replay weakly: after its destruction requests are left unanswered.
  nexo_standin::Transport transport();
  // One line per mismatch, in the order met: "request 4 (/r/Adaptor/RtcMlink/setLayout):
  // body differs from line 7".
  std::vector<std::string> problems() const;
  // Recorded lines not yet served.
  size_t remaining() const;

 private:
  explicit ReplayTransport(std::shared_ptr<detail::ReplayCore> core);
  std::shared_ptr<detail::ReplayCore> core_;
};

}  // namespace rtc_sim
