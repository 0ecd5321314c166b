// Tap: a transport wrapper that reports each request and its outcome to an observer.
#include <atomic>
#include <mutex>

#include "local_error.h"
#include "rtc_sim/exchange.h"

namespace rtc_sim {

using nexo_standin::PendingRequest;
using nexo_standin::Response;

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kPending:
      return "pending";
    case Outcome::kAnswered:
      return "answered";
    case Outcome::kFailed:
      return "failed";
    case Outcome::kUnanswered:
      return "unanswered";
    case Outcome::kLate:
      return "late";
  }
  return "";
}

namespace {

class TappedRequest : public PendingRequest, public FaultNote {
 public:
  TappedRequest(std::shared_ptr<PendingRequest> inner, std::shared_ptr<const Observer> observer,
                uint64_t seq)
      : inner_(std::move(inner)), observer_(std::move(observer)) {
    sent_.seq = seq;
    sent_.user = inner_->user_id();
    sent_.uri = inner_->request().uri;
    sent_.request_body = inner_->request().body;
    sent_.sent = std::chrono::steady_clock::now();
  }
  ~TappedRequest() override {
    if (!ended_.exchange(true)) (*observer_)(Ended(Outcome::kUnanswered));
  }

  const Exchange& sent() const { return sent_; }

  const std::string& user_id() const override { return inner_->user_id(); }
  const tessel::mlink::Request& request() const override { return inner_->request(); }
  bool completed() const override { return inner_->completed(); }

  bool Respond(const Response& response) override {
    if (!ended_.exchange(true)) {
      Exchange e = Ended(inner_->completed() ? Outcome::kLate : Outcome::kAnswered);
      e.code = response.code;
      e.answer_body = response.body;
      (*observer_)(e);
    }
    return inner_->Respond(response);
  }

  bool Fail(const tessel::base::ErrorResult& error) override {
    if (!ended_.exchange(true)) {
      Exchange e = Ended(inner_->completed() ? Outcome::kLate : Outcome::kFailed);
      e.error = detail::FromErrorResult(error);
      (*observer_)(e);
    }
    return inner_->Fail(error);
  }

  void NoteFault(const std::string& fault) override {
    {
      std::lock_guard<std::mutex> lock(mu_);
      fault_ = fault;
    }
    rtc_sim::NoteFault(inner_.get(), fault);
  }

 private:
  Exchange Ended(Outcome outcome) {
    Exchange e = sent_;
    e.phase = Phase::kAnswer;
    e.outcome = outcome;
    e.answered = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(mu_);
    e.fault = fault_;
    return e;
  }

  const std::shared_ptr<PendingRequest> inner_;
  const std::shared_ptr<const Observer> observer_;
  Exchange sent_;
  std::atomic<bool> ended_{false};
  std::mutex mu_;
  std::string fault_;
};

}  // namespace

nexo_standin::Transport Tap(nexo_standin::Transport inner, Observer observer) {
  if (!observer) return inner;
  auto shared_observer = std::make_shared<const Observer>(std::move(observer));
  auto seq = std::make_shared<std::atomic<uint64_t>>(0);
  return [inner = std::move(inner), shared_observer,
          seq](const std::shared_ptr<PendingRequest>& request) {
    auto tapped = std::make_shared<TappedRequest>(request, shared_observer, ++*seq);
    (*shared_observer)(tapped->sent());
    if (inner) inner(tapped);
  };
}

}  // namespace rtc_sim
