// How a reference-host object answers a request: succeed with a given response, fail with a
// given error, or hold the request unanswered until a test releases or drops it; synchronously
// inside the call, or later from the owner's reply thread.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "reference/reply_worker.h"
#include "vanta/nexo/nexo_error.h"

namespace refhost {

using vanta::nexo::NexoError;

enum class Answer { kSucceed, kFail, kHold };
enum class Delivery { kSync, kReplyThread };

template <class Rsp>
struct Outcome {
  Answer answer = Answer::kSucceed;
  Rsp response{};
  NexoError error{};
  Delivery delivery = Delivery::kSync;
};

template <class Rsp>
class Responder {
 public:
  using Success = std::function<void(const Rsp&)>;
  using Failure = std::function<void(const NexoError&)>;

  explicit Responder(ReplyWorker& worker) : worker_(worker) {}
  Responder(const Responder&) = delete;
  Responder& operator=(const Responder&) = delete;

  void Set(Outcome<Rsp> outcome) {
    std::lock_guard<std::mutex> lock(mu_);
    outcome_ = std::move(outcome);
  }
  void SucceedWith(Rsp response, Delivery delivery = Delivery::kSync) {
    Set({Answer::kSucceed, std::move(response), NexoError{}, delivery});
  }
  void FailWith(NexoError error, Delivery delivery = Delivery::kSync) {
    Set({Answer::kFail, Rsp{}, std::move(error), delivery});
  }
  void Hold() { Set({Answer::kHold, Rsp{}, NexoError{}, Delivery::kSync}); }

  // Answers one request as currently configured. The callbacks are copied; a held request
  // keeps its copies (and whatever they hold) until it is released or dropped.
  void Answer(const Success& on_success, const Failure& on_failure) {
    Outcome<Rsp> outcome;
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (outcome_.answer == Answer::kHold) {
        held_.push_back({on_success, on_failure});
        return;
      }
      outcome = outcome_;
    }
    Deliver(std::move(outcome), on_success, on_failure);
  }

  std::size_t held() const {
    std::lock_guard<std::mutex> lock(mu_);
    return held_.size();
  }

  // Answers every held request with `outcome` (holding again if it says so).
  void ReleaseHeld(const Outcome<Rsp>& outcome) {
    for (Pending& pending : TakeHeld()) {
      if (outcome.answer == Answer::kHold) {
        std::lock_guard<std::mutex> lock(mu_);
        held_.push_back(std::move(pending));
      } else {
        Deliver(outcome, pending.on_success, pending.on_failure);
      }
    }
  }

  // Forgets the held requests without answering them; their callbacks die here.
  void DropHeld() { TakeHeld().clear(); }

 private:
  struct Pending {
    Success on_success;
    Failure on_failure;
  };

  std::vector<Pending> TakeHeld() {
    std::lock_guard<std::mutex> lock(mu_);
    return std::exchange(held_, {});
  }

  void Deliver(Outcome<Rsp> outcome, Success on_success, Failure on_failure) {
    const Delivery delivery = outcome.delivery;
    auto run = [outcome = std::move(outcome), on_success = std::move(on_success),
                on_failure = std::move(on_failure)] {
      if (outcome.answer == Answer::kSucceed) {
        if (on_success) on_success(outcome.response);
      } else if (on_failure) {
        on_failure(outcome.error);
      }
    };
    if (delivery == Delivery::kSync) {
      run();
    } else {
      worker_.Post(std::move(run));
    }
  }

  ReplyWorker& worker_;
  mutable std::mutex mu_;
  Outcome<Rsp> outcome_;
  std::vector<Pending> held_;
};

}  // namespace refhost
