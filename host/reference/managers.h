// The reference host's room manager and live manager: every request is recorded, then answered
// as its responder is set (by default: success with an empty response, inside the call).
#pragma once

#include <string>

#include "reference/call_log.h"
#include "reference/reply_worker.h"
#include "reference/responder.h"
#include "vanta/meta/live_manager.h"
#include "vanta/meta/room_manager.h"

namespace refhost {

class ReferenceRoomManager : public vanta::meta::RoomManager {
 public:
  ReferenceRoomManager() = default;

  void CreateLive(const vanta::room::CreateLiveReq& req,
                  const vanta::meta::RtcSuccessFunc<vanta::room::CreateLiveRsp>& on_success,
                  const vanta::meta::RtcFailureFunc& on_failure) override;
  void CreateRtc(const vanta::room::CreateRtcReq& req,
                 const vanta::meta::RtcSuccessFunc<vanta::room::CreateRtcRsp>& on_success,
                 const vanta::meta::RtcFailureFunc& on_failure) override;
  void DestroyRtc(const vanta::room::DestroyRtcReq& req,
                  const vanta::meta::RtcSuccessFunc<vanta::room::DestroyRtcRsp>& on_success,
                  const vanta::meta::RtcFailureFunc& on_failure) override;

  // Slots the module should never call; a call lands in unexpected_calls() with its op number.
  void Reserved1() override { unexpected_.Add(1); }
  void Reserved2() override { unexpected_.Add(2); }
  void Reserved3() override { unexpected_.Add(3); }
  void Reserved4() override { unexpected_.Add(4); }
  void Reserved5() override { unexpected_.Add(5); }
  void Reserved6() override { unexpected_.Add(6); }
  void Reserved7() override { unexpected_.Add(7); }
  void Reserved8() override { unexpected_.Add(8); }
  void Reserved9() override { unexpected_.Add(9); }
  void Reserved11() override { unexpected_.Add(11); }
  void Reserved12() override { unexpected_.Add(12); }
  void Reserved13() override { unexpected_.Add(13); }
  void Reserved14() override { unexpected_.Add(14); }
  void Reserved15() override { unexpected_.Add(15); }
  void Reserved17() override { unexpected_.Add(17); }

  Responder<vanta::room::CreateLiveRsp>& create_live() { return create_live_; }
  Responder<vanta::room::CreateRtcRsp>& create_rtc() { return create_rtc_; }
  Responder<vanta::room::DestroyRtcRsp>& destroy_rtc() { return destroy_rtc_; }

  const CallLog<vanta::room::CreateLiveReq>& create_live_requests() const { return live_reqs_; }
  const CallLog<vanta::room::CreateRtcReq>& create_rtc_requests() const { return create_reqs_; }
  const CallLog<vanta::room::DestroyRtcReq>& destroy_rtc_requests() const { return destroy_reqs_; }
  const CallLog<int>& unexpected_calls() const { return unexpected_; }

  // The thread asynchronous answers come from.
  ReplyWorker& reply_thread() { return worker_; }

 private:
  ReplyWorker worker_;  // first: the responders post to it until they are gone
  Responder<vanta::room::CreateLiveRsp> create_live_{worker_};
  Responder<vanta::room::CreateRtcRsp> create_rtc_{worker_};
  Responder<vanta::room::DestroyRtcRsp> destroy_rtc_{worker_};
  CallLog<vanta::room::CreateLiveReq> live_reqs_;
  CallLog<vanta::room::CreateRtcReq> create_reqs_;
  CallLog<vanta::room::DestroyRtcReq> destroy_reqs_;
  CallLog<int> unexpected_;
};

class ReferenceLiveManager : public vanta::meta::LiveManager {
 public:
  ReferenceLiveManager() = default;

  void PublishLive(const vanta::live::PublishLiveReq& req,
                   const vanta::meta::RtcSuccessFunc<vanta::live::PublishLiveRsp>& on_success,
                   const vanta::meta::RtcFailureFunc& on_failure) override;
  void GetLiveDetail(const std::string& live_id,
                     const vanta::meta::RtcSuccessFunc<vanta::live::LiveDetail>& on_success,
                     const vanta::meta::RtcFailureFunc& on_failure) override;
  void Reserved2() override { unexpected_.Add(2); }

  Responder<vanta::live::PublishLiveRsp>& publish() { return publish_; }
  Responder<vanta::live::LiveDetail>& live_detail() { return detail_; }

  const CallLog<vanta::live::PublishLiveReq>& publish_requests() const { return publish_reqs_; }
  const CallLog<std::string>& live_detail_requests() const { return detail_reqs_; }
  const CallLog<int>& unexpected_calls() const { return unexpected_; }

  ReplyWorker& reply_thread() { return worker_; }

 private:
  ReplyWorker worker_;
  Responder<vanta::live::PublishLiveRsp> publish_{worker_};
  Responder<vanta::live::LiveDetail> detail_{worker_};
  CallLog<vanta::live::PublishLiveReq> publish_reqs_;
  CallLog<std::string> detail_reqs_;
  CallLog<int> unexpected_;
};

}  // namespace refhost
