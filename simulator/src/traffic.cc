// Record and replay of adaptor traffic as JSON lines.
#include "rtc_sim/traffic.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>

#include "delivery.h"
#include "local_error.h"
#include "rtc_sim/codec.h"

namespace rtc_sim {

using nexo_standin::PendingRequest;
using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

namespace {

void WriteString(Writer& w, const char* key, const std::string& value) {
  w.Key(key);
  w.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
}

void WriteRaw(Writer& w, const char* key, const std::string& json) {
  w.Key(key);
  w.RawValue(json.data(), json.size(), rapidjson::kObjectType);
}

int64_t Micros(std::chrono::steady_clock::duration d) {
  return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
}

}  // namespace

// --- recording ---

namespace detail {

class RecorderSink {
 public:
  explicit RecorderSink(const std::string& path) : out_(path, std::ios::out | std::ios::trunc) {}
  bool ok() const { return out_.is_open(); }

  void Write(const Exchange& e) {
    rapidjson::StringBuffer buffer;
    Writer w(buffer);
    w.StartObject();
    w.Key("seq");
    w.Uint64(e.seq);
    WriteString(w, "user", e.user);
    WriteString(w, "uri", e.uri);
    std::string json;
    RequestJson(e.uri, e.request_body, &json);
    WriteRaw(w, "request", json);
    WriteString(w, "request_hex", ToHex(e.request_body));
    WriteString(w, "outcome", OutcomeName(e.outcome));
    if (e.outcome == Outcome::kAnswered || e.outcome == Outcome::kLate) {
      w.Key("code");
      w.Int(e.code);
      AnswerJson(e.uri, e.code, e.answer_body, &json);
      WriteRaw(w, "answer", json);
      WriteString(w, "answer_hex", ToHex(e.answer_body));
    } else if (e.outcome == Outcome::kFailed) {
      w.Key("error");
      w.StartObject();
      w.Key("status");
      w.Int(e.error.status);
      WriteString(w, "code", e.error.code);
      WriteString(w, "reason", e.error.reason);
      WriteString(w, "developer_message", e.error.developer_message);
      WriteString(w, "more_info", e.error.more_info);
      WriteString(w, "scope", e.error.scope);
      w.Key("local_error");
      w.Bool(e.error.local_error);
      w.EndObject();
    }
    WriteString(w, "fault", e.fault);
    w.Key("sent_us");
    w.Int64(Micros(e.sent - start_));
    w.Key("answered_us");
    w.Int64(Micros(e.answered - start_));
    w.EndObject();

    std::lock_guard<std::mutex> lock(mu_);
    if (closed_) return;
    out_.write(buffer.GetString(), static_cast<std::streamsize>(buffer.GetSize()));
    out_.put('\n');
    out_.flush();
    ++lines_;
  }

  void Close() {
    std::lock_guard<std::mutex> lock(mu_);
    closed_ = true;
    out_.close();
  }

  size_t lines() {
    std::lock_guard<std::mutex> lock(mu_);
    return lines_;
  }

 private:
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::mutex mu_;
  std::ofstream out_;
  bool closed_ = false;
  size_t lines_ = 0;
};

}  // namespace detail

TrafficRecorder::TrafficRecorder(std::shared_ptr<detail::RecorderSink> sink)
    : sink_(std::move(sink)) {}

std::unique_ptr<TrafficRecorder> TrafficRecorder::Open(const std::string& path,
                                                       std::string* error) {
  auto sink = std::make_shared<detail::RecorderSink>(path);
  if (!sink->ok()) {
    *error = path + ": cannot open for writing";
    return nullptr;
  }
  return std::unique_ptr<TrafficRecorder>(new TrafficRecorder(std::move(sink)));
}

TrafficRecorder::~TrafficRecorder() {
  sink_->Close();
}

nexo_standin::Transport TrafficRecorder::Wrap(nexo_standin::Transport inner, Observer observer) {
  std::shared_ptr<detail::RecorderSink> sink = sink_;
  return Tap(std::move(inner), [sink, observer](const Exchange& e) {
    if (observer) observer(e);
    if (e.phase == Phase::kAnswer) sink->Write(e);
  });
}

size_t TrafficRecorder::lines() const {
  return sink_->lines();
}

// --- replay ---

namespace {

struct Entry {
  uint64_t seq = 0;
  size_t line = 0;
  std::string user, uri, request;
  Outcome outcome = Outcome::kAnswered;
  int32_t code = 0;
  std::string answer;
  LocalError error;
  std::string fault;
  int64_t sent_us = 0, answered_us = 0;
};

// Reads one member; false with `problem` set when it is missing (and required) or mistyped.
class Fields {
 public:
  Fields(const rapidjson::Value& object, std::string* problem)
      : object_(object), problem_(problem) {}

  bool String(const char* key, bool required, std::string* out) {
    const rapidjson::Value* v = Find(key, required);
    if (v == nullptr) return !required;
    if (!v->IsString()) return Bad(key, "is not a string");
    out->assign(v->GetString(), v->GetStringLength());
    return true;
  }
  bool Hex(const char* key, std::string* out) {
    std::string hex;
    if (!String(key, true, &hex)) return false;
    return FromHex(hex, out) || Bad(key, "is not hex");
  }
  template <typename T>
  bool Integer(const char* key, bool required, T* out) {
    const rapidjson::Value* v = Find(key, required);
    if (v == nullptr) return !required;
    if (!v->Is<T>()) return Bad(key, "is not an integer");
    *out = v->Get<T>();
    return true;
  }
  bool Seq(uint64_t* out) {
    const rapidjson::Value* v = Find("seq", true);
    if (v == nullptr) return false;
    if (!v->IsUint64() || v->GetUint64() == 0) return Bad("seq", "is not a positive integer");
    *out = v->GetUint64();
    return true;
  }
  bool Bool(const char* key, bool* out) {
    const rapidjson::Value* v = Find(key, false);
    if (v == nullptr) return true;
    if (!v->IsBool()) return Bad(key, "is not true or false");
    *out = v->GetBool();
    return true;
  }
  const rapidjson::Value* Object(const char* key) {
    const rapidjson::Value* v = Find(key, true);
    if (v != nullptr && !v->IsObject()) {
      Bad(key, "is not an object");
      return nullptr;
    }
    return v;
  }

 private:
  const rapidjson::Value* Find(const char* key, bool required) {
    auto it = object_.FindMember(key);
    if (it != object_.MemberEnd()) return &it->value;
    if (required) *problem_ = std::string("missing \"") + key + "\"";
    return nullptr;
  }
  bool Bad(const char* key, const char* what) {
    *problem_ = std::string("\"") + key + "\" " + what;
    return false;
  }
  const rapidjson::Value& object_;
  std::string* problem_;
};

bool ParseOutcome(const std::string& name, Outcome* outcome) {
  for (Outcome o : {Outcome::kAnswered, Outcome::kFailed, Outcome::kUnanswered, Outcome::kLate}) {
    if (name == OutcomeName(o)) {
      *outcome = o;
      return true;
    }
  }
  return false;
}

bool ParseEntry(const std::string& text, Entry* entry, std::string* problem) {
  rapidjson::Document doc;
  doc.Parse(text.c_str(), text.size());
  if (doc.HasParseError()) {
    *problem = std::string("invalid JSON: ") + rapidjson::GetParseError_En(doc.GetParseError()) +
               " (column " + std::to_string(doc.GetErrorOffset() + 1) + ")";
    return false;
  }
  if (!doc.IsObject()) {
    *problem = "not a JSON object";
    return false;
  }
  Fields f(doc, problem);
  std::string outcome;
  if (!f.Seq(&entry->seq) || !f.String("user", true, &entry->user) ||
      !f.String("uri", true, &entry->uri) || !f.Hex("request_hex", &entry->request) ||
      !f.String("outcome", true, &outcome) || !f.String("fault", false, &entry->fault) ||
      !f.Integer("sent_us", false, &entry->sent_us) ||
      !f.Integer("answered_us", false, &entry->answered_us)) {
    return false;
  }
  if (!ParseOutcome(outcome, &entry->outcome)) {
    // The value is echoed without its control characters: the error stays one line.
    std::string shown;
    for (char c : outcome) shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
    *problem = "\"outcome\" \"" + shown + "\" is unknown";
    return false;
  }
  if (entry->outcome == Outcome::kAnswered || entry->outcome == Outcome::kLate) {
    return f.Integer("code", true, &entry->code) && f.Hex("answer_hex", &entry->answer);
  }
  if (entry->outcome == Outcome::kFailed) {
    const rapidjson::Value* error = f.Object("error");
    if (error == nullptr) return false;
    Fields e(*error, problem);
    LocalError& le = entry->error;
    return e.Integer("status", true, &le.status) && e.String("code", true, &le.code) &&
           e.String("reason", true, &le.reason) &&
           e.String("developer_message", false, &le.developer_message) &&
           e.String("more_info", false, &le.more_info) && e.String("scope", false, &le.scope) &&
           e.Bool("local_error", &le.local_error);
  }
  return true;
}

}  // namespace

namespace detail {

class ReplayCore {
 public:
  ReplayCore(std::vector<Entry> entries, ReplayOptions options) : options_(options) {
    remaining_ = entries.size();
    for (Entry& entry : entries) by_uri_[entry.uri].push_back(std::move(entry));
  }

  void Handle(const std::shared_ptr<PendingRequest>& request);
  void Stop() { delivery_.Stop(); }
  std::vector<std::string> problems() {
    std::lock_guard<std::mutex> lock(mu_);
    return problems_;
  }
  size_t remaining() {
    std::lock_guard<std::mutex> lock(mu_);
    return remaining_;
  }

 private:
  const ReplayOptions options_;
  std::mutex mu_;
  std::map<std::string, std::deque<Entry>> by_uri_;
  size_t remaining_ = 0;
  uint64_t requests_ = 0;
  std::vector<std::string> problems_;
  detail::DeliveryThread delivery_;
};

void ReplayCore::Handle(const std::shared_ptr<PendingRequest>& request) {
  const std::string& uri = request->request().uri;
  Entry entry;
  {
    std::lock_guard<std::mutex> lock(mu_);
    const std::string which = "request " + std::to_string(++requests_) + " (" + uri + "): ";
    std::deque<Entry>& queue = by_uri_[uri];
    if (queue.empty()) {
      problems_.push_back(which + "no recorded answer left");
    } else {
      entry = std::move(queue.front());
      queue.pop_front();
      --remaining_;
      const std::string line = std::to_string(entry.line);
      if (entry.request != request->request().body) {
        problems_.push_back(which + "body differs from line " + line);
      }
      if (entry.user != request->user_id()) {
        problems_.push_back(which + "user \"" + request->user_id() + "\" differs from \"" +
                            entry.user + "\" on line " + line);
      }
    }
  }
  if (entry.line == 0) {
    request->Fail(detail::ToErrorResult(LocalError{
        -2, "-2", "invalid_operation", "no recorded answer left for " + uri, "", "replay", true}));
    return;
  }
  if (!entry.fault.empty()) rtc_sim::NoteFault(request.get(), entry.fault);
  if (entry.outcome == Outcome::kUnanswered || entry.outcome == Outcome::kLate) return;

  auto answer = [request, entry] {
    if (entry.outcome == Outcome::kFailed) {
      request->Fail(detail::ToErrorResult(entry.error));
    } else {
      request->Respond(nexo_standin::Response{entry.code, entry.answer, {}});
    }
  };
  if (!options_.keep_timing) {
    answer();
    return;
  }
  // A file's times are any 64-bit numbers: their difference is taken without overflow and
  // capped, so that no recorded delay overflows the clock.
  constexpr uint64_t kLongestDelayUs = 3600ull * 1000 * 1000;
  uint64_t delay_us = 0;
  if (entry.answered_us > entry.sent_us) {
    delay_us = std::min(kLongestDelayUs, static_cast<uint64_t>(entry.answered_us) -
                                             static_cast<uint64_t>(entry.sent_us));
  }
  delivery_.Post(detail::DeliveryThread::Clock::now() +
                     std::chrono::microseconds(static_cast<int64_t>(delay_us)),
                 std::move(answer));
}

}  // namespace detail

ReplayTransport::ReplayTransport(std::shared_ptr<detail::ReplayCore> core)
    : core_(std::move(core)) {}

std::unique_ptr<ReplayTransport> ReplayTransport::Open(const std::string& path, std::string* error,
                                                       ReplayOptions options) {
  std::ifstream in(path);
  if (!in.is_open()) {
    *error = path + ": cannot open for reading";
    return nullptr;
  }
  std::vector<Entry> entries;
  std::map<uint64_t, size_t> seen;  // seq -> line
  std::string text;
  for (size_t line = 1; std::getline(in, text); ++line) {
    if (text.find_first_not_of(" \t\r") == std::string::npos) continue;
    Entry entry;
    std::string problem;
    if (!ParseEntry(text, &entry, &problem)) {
      *error = path + ":" + std::to_string(line) + ": " + problem;
      return nullptr;
    }
    auto repeated = seen.emplace(entry.seq, line);
    if (!repeated.second) {
      *error = path + ":" + std::to_string(line) + ": \"seq\" " + std::to_string(entry.seq) +
               " repeats line " + std::to_string(repeated.first->second);
      return nullptr;
    }
    entry.line = line;
    entries.push_back(std::move(entry));
  }
  if (in.bad()) {
    *error = path + ": cannot read";
    return nullptr;
  }
  // Lines are written as requests end; requests are matched in the order they were sent.
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.seq < b.seq; });
  return std::unique_ptr<ReplayTransport>(
      new ReplayTransport(std::make_shared<detail::ReplayCore>(std::move(entries), options)));
}

ReplayTransport::~ReplayTransport() {
  core_->Stop();
}

nexo_standin::Transport ReplayTransport::transport() {
  std::weak_ptr<detail::ReplayCore> weak = core_;
  return [weak](const std::shared_ptr<PendingRequest>& request) {
    if (auto core = weak.lock()) core->Handle(request);
  };
}

std::vector<std::string> ReplayTransport::problems() const {
  return core_->problems();
}
size_t ReplayTransport::remaining() const {
  return core_->remaining();
}

}  // namespace rtc_sim
