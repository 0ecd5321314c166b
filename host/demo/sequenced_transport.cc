#include "demo/sequenced_transport.h"

#include <atomic>
#include <memory>
#include <utility>

#include "rtc_sim/exchange.h"

namespace demo {

namespace {

// Holds the answer until the sequencer lets it go; the simulator's fault note goes straight on
// to the request it wraps, so the Tap outside sees it.
class HeldRequest : public nexo_standin::PendingRequest, public rtc_sim::FaultNote {
 public:
  HeldRequest(std::shared_ptr<nexo_standin::PendingRequest> inner, refhost::Sequencer& sequencer,
              refhost::ReplyWorker& network)
      : inner_(std::move(inner)), sequencer_(sequencer), network_(network) {}

  const std::string& user_id() const override { return inner_->user_id(); }
  const tessel::mlink::Request& request() const override { return inner_->request(); }
  bool Respond(const nexo_standin::Response& response) override {
    return Hold([inner = inner_, response] { inner->Respond(response); });
  }
  bool Fail(const nexo_standin::ErrorResult& error) override {
    return Hold([inner = inner_, error] { inner->Fail(error); });
  }
  bool completed() const override { return answered_ || inner_->completed(); }
  void NoteFault(const std::string& fault) override { rtc_sim::NoteFault(inner_.get(), fault); }

 private:
  bool Hold(std::function<void()> answer) {
    if (answered_.exchange(true) || inner_->completed()) return false;
    sequencer_.Post(network_, std::move(answer));
    return true;
  }

  const std::shared_ptr<nexo_standin::PendingRequest> inner_;
  refhost::Sequencer& sequencer_;
  refhost::ReplyWorker& network_;
  std::atomic<bool> answered_{false};
};

}  // namespace

nexo_standin::Transport Sequenced(nexo_standin::Transport inner, refhost::Sequencer& sequencer,
                                  refhost::ReplyWorker& network) {
  return [inner = std::move(inner), &sequencer,
          &network](const std::shared_ptr<nexo_standin::PendingRequest>& request) {
    // No transport: the request stays unanswered, as with the engine's own empty transport.
    if (inner) inner(std::make_shared<HeldRequest>(request, sequencer, network));
  };
}

}  // namespace demo
