#include "demo/events.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <utility>

namespace demo {

namespace {

struct KindInfo {
  const char* name;
  Lane from;
  Lane to;
};

const KindInfo& Info(Kind kind) {
  static const KindInfo kInfo[] = {
#define DEMO_KIND_INFO(id, name, from, to) {name, Lane::from, Lane::to},
      DEMO_EVENT_KINDS(DEMO_KIND_INFO)
#undef DEMO_KIND_INFO
  };
  return kInfo[static_cast<int>(kind)];
}

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

void Key(Writer& w, const char* key) {
  w.Key(key);
}

void String(Writer& w, const std::string& value) {
  w.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
}

// Embeds `json` as a value; text that is not JSON goes in as a string.
void Embed(Writer& w, const std::string& json) {
  rapidjson::Document doc;
  if (doc.Parse(json.data(), json.size()).HasParseError()) {
    String(w, json);
  } else {
    doc.Accept(w);
  }
}

// Long bodies are cut in the text transcript (--json keeps them whole).
std::string Abridged(const std::string& json) {
  constexpr size_t kMax = 160;
  if (json.size() <= kMax) return json;
  size_t cut = kMax;
  while (cut > 0 && (static_cast<unsigned char>(json[cut]) & 0xc0) == 0x80) --cut;
  return json.substr(0, cut) + " ...";
}

}  // namespace

const char* LaneName(Lane lane) {
  static const char* const kNames[] = {
#define DEMO_LANE_NAME(id, name) name,
      DEMO_LANES(DEMO_LANE_NAME)
#undef DEMO_LANE_NAME
  };
  return kNames[static_cast<int>(lane)];
}

const char* KindName(Kind kind) {
  return Info(kind).name;
}
Lane FromLane(Kind kind) {
  return Info(kind).from;
}
Lane ToLane(Kind kind) {
  return Info(kind).to;
}

std::string EventText(const Event& e) {
  std::string line = "  ";
  std::string lanes = std::string(LaneName(FromLane(e.kind))) + " -> " + LaneName(ToLane(e.kind));
  if (e.kind == Kind::kLog) lanes = "log";
  lanes.resize(lanes.size() < 26 ? 26 : lanes.size() + 1, ' ');
  line += lanes;
  if (!e.user.empty() && e.kind != Kind::kLog) line += e.user + ": ";
  if (e.kind == Kind::kLog) {
    line += e.text;
    while (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
  }
  line += e.label;
  if (e.has_code) line += (e.kind == Kind::kAnswer ? " " : " code=") + std::to_string(e.code);
  if (!e.json.empty()) line += " " + Abridged(e.json);
  if (!e.text.empty()) {
    line += e.kind == Kind::kReport ? " message=\"" + e.text + "\"" : " (" + e.text + ")";
  }
  if (!e.fault.empty()) line += " [fault " + e.fault + "]";
  if (e.failed) line += "  !";
  return line;
}

std::string EventJson(const Event& e) {
  rapidjson::StringBuffer buffer;
  Writer w(buffer);
  w.StartObject();
  Key(w, "seq");
  w.Int(e.seq);
  Key(w, "step");
  w.Int(e.step);
  Key(w, "kind");
  w.String(KindName(e.kind));
  Key(w, "from");
  w.String(LaneName(FromLane(e.kind)));
  Key(w, "to");
  w.String(LaneName(ToLane(e.kind)));
  if (!e.user.empty()) {
    Key(w, "user");
    String(w, e.user);
  }
  Key(w, "label");
  String(w, e.label);
  Key(w, "failed");
  w.Bool(e.failed);
  if (!e.json.empty()) {
    Key(w, e.kind == Kind::kReport ? "params" : "body");
    Embed(w, e.json);
  }
  if (e.has_code) {
    Key(w, e.kind == Kind::kLog ? "severity" : "code");
    w.Int64(e.code);
  }
  if (!e.text.empty()) {
    Key(w, e.kind == Kind::kLog ? "line" : e.kind == Kind::kReport ? "message" : "reason");
    String(w, e.text);
  }
  if (!e.fault.empty()) {
    Key(w, "fault");
    String(w, e.fault);
  }
  w.EndObject();
  return buffer.GetString();
}

EventLog::EventLog(Format format, bool quiet, std::FILE* out)
    : format_(format), quiet_(quiet), out_(out) {}

void EventLog::set_step(int step) {
  std::lock_guard<std::mutex> lock(mu_);
  step_ = step;
}

int EventLog::step() const {
  std::lock_guard<std::mutex> lock(mu_);
  return step_;
}

int EventLog::Add(Event event) {
  std::lock_guard<std::mutex> lock(mu_);
  event.seq = static_cast<int>(events_.size()) + 1;
  event.step = step_;
  Print(EventText(event), EventJson(event));
  events_.push_back(std::move(event));
  return events_.back().seq;
}

void EventLog::AddVerdict(const Verdict& v) {
  std::string text = std::string("  => ") + (v.ok ? "as expected: " : "UNEXPECTED: ") + v.got;
  if (!v.ok) text += " (expected " + v.expected + ")";
  rapidjson::StringBuffer buffer;
  Writer w(buffer);
  w.StartObject();
  Key(w, "kind");
  w.String("verdict");
  Key(w, "step");
  w.Int(v.step);
  Key(w, "line");
  w.Int(v.line);
  Key(w, "what");
  String(w, v.what);
  Key(w, "ok");
  w.Bool(v.ok);
  Key(w, "expected");
  String(w, v.expected);
  Key(w, "got");
  String(w, v.got);
  w.EndObject();
  std::lock_guard<std::mutex> lock(mu_);
  Print(text, buffer.GetString());
  verdicts_.push_back(v);
}

void EventLog::Note(const std::string& text) {
  std::lock_guard<std::mutex> lock(mu_);
  Print(text, {});
}

void EventLog::PrintRaw(const std::string& text) {
  std::lock_guard<std::mutex> lock(mu_);
  std::fputs(text.c_str(), out_);
  std::fflush(out_);
}

void EventLog::Print(const std::string& text_line, const std::string& json_line) {
  transcript_ += text_line + "\n";
  if (quiet_) return;
  const std::string& line = format_ == Format::kJson ? json_line : text_line;
  if (format_ == Format::kJson && line.empty()) return;
  std::fputs(line.c_str(), out_);
  std::fputc('\n', out_);
}

std::vector<Event> EventLog::events() const {
  std::lock_guard<std::mutex> lock(mu_);
  return events_;
}

std::vector<Verdict> EventLog::verdicts() const {
  std::lock_guard<std::mutex> lock(mu_);
  return verdicts_;
}

std::string EventLog::transcript() const {
  std::lock_guard<std::mutex> lock(mu_);
  return transcript_;
}

}  // namespace demo
