// What the demo saw, in the order it happened: one Event per arrow of the sequence diagram,
// plus the verdict of each step. The log prints every event as it is added, either as a
// transcript line or as one JSON object per line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace demo {

// The diagram's lanes, left to right.
#define DEMO_LANES(X)       \
  X(kHost, "host")          \
  X(kService, "service")    \
  X(kEngine, "engine")      \
  X(kAdaptor, "adaptor")    \
  X(kMedia, "media engine") \
  X(kMonitoring, "monitoring")

enum class Lane {
#define DEMO_LANE_ENUM(id, name) id,
  DEMO_LANES(DEMO_LANE_ENUM)
#undef DEMO_LANE_ENUM
};
inline constexpr int kLaneCount = 6;
const char* LaneName(Lane lane);

// Kinds of event and the lanes their arrow joins.
#define DEMO_EVENT_KINDS(X)                        \
  X(kCall, "call", kHost, kService)                \
  X(kHostRequest, "host-request", kService, kHost) \
  X(kHostAnswer, "host-answer", kHost, kService)   \
  X(kHostSend, "host-send", kHost, kEngine)        \
  X(kHostResult, "host-result", kEngine, kHost)    \
  X(kRequest, "request", kEngine, kAdaptor)        \
  X(kAnswer, "answer", kAdaptor, kEngine)          \
  X(kCallback, "callback", kService, kHost)        \
  X(kListener, "listener", kService, kHost)        \
  X(kMediaCall, "media-call", kService, kMedia)    \
  X(kMediaEvent, "media-event", kMedia, kService)  \
  X(kReport, "report", kService, kMonitoring)      \
  X(kLog, "log", kService, kService)

enum class Kind {
#define DEMO_KIND_ENUM(id, name, from, to) id,
  DEMO_EVENT_KINDS(DEMO_KIND_ENUM)
#undef DEMO_KIND_ENUM
};
const char* KindName(Kind kind);
Lane FromLane(Kind kind);
Lane ToLane(Kind kind);

struct Event {
  int seq = 0;   // 1, 2, ... in order of arrival
  int step = 0;  // the step it belongs to (0: set-up)
  Kind kind = Kind::kLog;
  std::string user;   // whose host, service or account, when known
  std::string label;  // operation, URI or event: the arrow's label
  bool failed = false;
  // Kind-specific details; empty ones are left out.
  std::string json;  // request or answer body, report parameters, response record (JSON text)
  int64_t code = 0;  // answer status, error or report code, log severity
  bool has_code = false;
  std::string text;   // error reason, report message, log line
  std::string fault;  // an answer's fault, as the simulator applied it ("error(503,503,busy)")
};

struct Verdict {
  int step = 0;
  int line = 0;  // script line
  std::string what;
  bool ok = true;
  std::string expected;
  std::string got;
};

enum class Format { kText, kJson };

// Thread-safe. Events must not be added from inside the print function.
class EventLog {
 public:
  EventLog(Format format, bool quiet, std::FILE* out);

  void set_step(int step);
  int step() const;
  // Numbers and prints the event; returns its number.
  int Add(Event event);
  void AddVerdict(const Verdict& verdict);
  // A line of the text transcript that is not an event (step headings); not in JSON.
  void Note(const std::string& text);
  void PrintRaw(const std::string& text);  // summary and the like, in every format

  std::vector<Event> events() const;
  std::vector<Verdict> verdicts() const;
  // The text transcript so far (kept even when printing JSON or nothing).
  std::string transcript() const;

 private:
  void Print(const std::string& text_line, const std::string& json_line);

  const Format format_;
  const bool quiet_;
  std::FILE* const out_;
  mutable std::mutex mu_;
  int step_ = 0;
  std::vector<Event> events_;
  std::vector<Verdict> verdicts_;
  std::string transcript_;
};

// The transcript line of an event, and its JSON object.
std::string EventText(const Event& event);
std::string EventJson(const Event& event);

}  // namespace demo
