#include "reference/media_engine.h"

#include <utility>

namespace refhost {

namespace {

MediaCall Call(int op, std::vector<int32_t> ints = {}) {
  MediaCall call;
  call.op = op;
  call.ints = std::move(ints);
  return call;
}

HostEvent Event(int op, std::vector<int32_t> ints = {}) {
  HostEvent event;
  event.op = op;
  event.ints = std::move(ints);
  return event;
}

}  // namespace

void ReferenceMediaEngine::Record(MediaCall call) {
  call.thread = std::this_thread::get_id();
  std::function<void(const MediaCall&)> observer;
  {
    std::lock_guard<std::mutex> lock(mu_);
    observer = call_observer_;
  }
  if (observer) observer(call);
  calls_.Add(std::move(call));
}

void ReferenceMediaEngine::SetCallObserver(std::function<void(const MediaCall&)> observer) {
  std::lock_guard<std::mutex> lock(mu_);
  call_observer_ = std::move(observer);
}

int32_t ReferenceMediaEngine::ResultOf(int op) const {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = results_.find(op);
  return it == results_.end() ? 0 : it->second;
}

void ReferenceMediaEngine::EngineCall1(const bool& flag) {
  MediaCall call = Call(1);
  call.flag = flag;
  Record(std::move(call));
}

void ReferenceMediaEngine::EngineCall2() {
  Record(Call(2));
}
void ReferenceMediaEngine::EngineCall3() {
  Record(Call(3));
}

void ReferenceMediaEngine::JoinChannel(const vanta::meta::JoinChannelInfo& info) {
  MediaCall call = Call(4);
  call.join = info;
  Record(std::move(call));
}

void ReferenceMediaEngine::LeaveChannel() {
  Record(Call(5));
}

void ReferenceMediaEngine::EngineCall6(const std::string& user_id) {
  MediaCall call = Call(6);
  call.text = user_id;
  Record(std::move(call));
}

void ReferenceMediaEngine::EngineCall7(const std::string& user_id) {
  MediaCall call = Call(7);
  call.text = user_id;
  Record(std::move(call));
}

int32_t ReferenceMediaEngine::EngineCall8(int32_t arg) {
  Record(Call(8, {arg}));
  return ResultOf(8);
}

int32_t ReferenceMediaEngine::EngineCall9(int32_t arg) {
  Record(Call(9, {arg}));
  return ResultOf(9);
}

void ReferenceMediaEngine::SetEventListener(
    const std::shared_ptr<vanta::meta::RtcMediaEventListener>& listener) {
  Record(Call(10));
  std::lock_guard<std::mutex> lock(mu_);
  listener_ = listener;
}

int32_t ReferenceMediaEngine::EngineCall27(int32_t arg1, int32_t arg2) {
  Record(Call(27, {arg1, arg2}));
  return ResultOf(27);
}

int32_t ReferenceMediaEngine::StartScreenShareByDesktopId(int32_t arg1, int32_t arg2) {
  Record(Call(28, {arg1, arg2}));
  return ResultOf(28);
}

int32_t ReferenceMediaEngine::StartScreenShareAlt(int32_t arg1, int32_t arg2) {
  Record(Call(29, {arg1, arg2}));
  return ResultOf(29);
}

void ReferenceMediaEngine::EngineCall30() {
  Record(Call(30));
}

int32_t ReferenceMediaEngine::EngineCall31(int32_t arg) {
  Record(Call(31, {arg}));
  return ResultOf(31);
}

int32_t ReferenceMediaEngine::EngineCall32(int32_t arg) {
  Record(Call(32, {arg}));
  return ResultOf(32);
}

void ReferenceMediaEngine::SetResult(int op, int32_t result) {
  std::lock_guard<std::mutex> lock(mu_);
  results_[op] = result;
}

std::vector<MediaCall> ReferenceMediaEngine::CallsOf(int op) const {
  std::vector<MediaCall> out;
  for (MediaCall& call : calls_.Snapshot()) {
    if (call.op == op) out.push_back(std::move(call));
  }
  return out;
}

std::vector<int> ReferenceMediaEngine::Ops() const {
  std::vector<int> out;
  for (const MediaCall& call : calls_.Snapshot()) out.push_back(call.op);
  return out;
}

std::shared_ptr<vanta::meta::RtcMediaEventListener> ReferenceMediaEngine::event_listener() const {
  std::lock_guard<std::mutex> lock(mu_);
  return listener_;
}

void ReferenceMediaEngine::ClearEventListener() {
  std::shared_ptr<vanta::meta::RtcMediaEventListener> listener;
  {
    std::lock_guard<std::mutex> lock(mu_);
    listener.swap(listener_);
  }
  // The listener may be the last owner of the service, which may own this engine: let it go
  // outside the lock.
}

bool ReferenceMediaEngine::Emit(std::function<void(vanta::meta::RtcMediaEventListener&)> event,
                                Delivery delivery) {
  std::shared_ptr<vanta::meta::RtcMediaEventListener> listener = event_listener();
  if (!listener) return false;
  if (delivery == Delivery::kSync) {
    event(*listener);
  } else {
    worker_.Post([listener = std::move(listener), event = std::move(event)] { event(*listener); });
  }
  return true;
}

void ReferenceEventListener::Record(HostEvent event) {
  event.thread = std::this_thread::get_id();
  std::function<void(const HostEvent&)> observer;
  {
    std::lock_guard<std::mutex> lock(mu_);
    observer = observer_;
  }
  if (observer) observer(event);
  events_.Add(std::move(event));
}

void ReferenceEventListener::SetObserver(std::function<void(const HostEvent&)> observer) {
  std::lock_guard<std::mutex> lock(mu_);
  observer_ = std::move(observer);
}

void ReferenceEventListener::OnJoined() {
  Record(Event(1));
}

void ReferenceEventListener::OnError(const NexoError& error) {
  HostEvent event = Event(2);
  event.error = error;
  Record(std::move(event));
}

void ReferenceEventListener::OnUserNotice(const vanta::meta::UserNotice& notice) {
  HostEvent event = Event(3);
  event.notice = notice;
  Record(std::move(event));
}

void ReferenceEventListener::OnForwardedEvent18(int32_t arg1, int32_t arg2) {
  Record(Event(18, {arg1, arg2}));
}

void ReferenceEventListener::OnStats(const vanta::meta::RtcStats& stats) {
  HostEvent event = Event(19);
  event.stats = stats;
  Record(std::move(event));
}

void ReferenceEventListener::OnForwardedEvent21(int32_t arg1, int32_t arg2) {
  Record(Event(21, {arg1, arg2}));
}

void ReferenceEventListener::OnForwardedEvent22(int32_t arg1, int32_t arg2) {
  Record(Event(22, {arg1, arg2}));
}

void ReferenceEventListener::OnForwardedEvent24(int32_t arg) {
  Record(Event(24, {arg}));
}

void ReferenceEventListener::OnFirstRemoteVideoFrameDrawn(const std::string& user_id,
                                                          int32_t video_track, int32_t width,
                                                          int32_t height, int32_t cost) {
  HostEvent event = Event(25, {video_track, width, height, cost});
  event.text = user_id;
  Record(std::move(event));
}

void ReferenceEventListener::OnFirstLocalVideoFrameDrawn(int32_t width, int32_t height,
                                                         int32_t cost) {
  Record(Event(26, {width, height, cost}));
}

std::vector<HostEvent> ReferenceEventListener::EventsOf(int op) const {
  std::vector<HostEvent> out;
  for (HostEvent& event : events_.Snapshot()) {
    if (event.op == op) out.push_back(std::move(event));
  }
  return out;
}

std::vector<int> ReferenceEventListener::Ops() const {
  std::vector<int> out;
  for (const HostEvent& event : events_.Snapshot()) out.push_back(event.op);
  return out;
}

}  // namespace refhost
