#include "reference/managers.h"

namespace refhost {

void ReferenceRoomManager::CreateLive(
    const vanta::room::CreateLiveReq& req,
    const vanta::meta::RtcSuccessFunc<vanta::room::CreateLiveRsp>& on_success,
    const vanta::meta::RtcFailureFunc& on_failure) {
  live_reqs_.Add(req);
  create_live_.Answer(on_success, on_failure);
}

void ReferenceRoomManager::CreateRtc(
    const vanta::room::CreateRtcReq& req,
    const vanta::meta::RtcSuccessFunc<vanta::room::CreateRtcRsp>& on_success,
    const vanta::meta::RtcFailureFunc& on_failure) {
  create_reqs_.Add(req);
  create_rtc_.Answer(on_success, on_failure);
}

void ReferenceRoomManager::DestroyRtc(
    const vanta::room::DestroyRtcReq& req,
    const vanta::meta::RtcSuccessFunc<vanta::room::DestroyRtcRsp>& on_success,
    const vanta::meta::RtcFailureFunc& on_failure) {
  destroy_reqs_.Add(req);
  destroy_rtc_.Answer(on_success, on_failure);
}

void ReferenceLiveManager::PublishLive(
    const vanta::live::PublishLiveReq& req,
    const vanta::meta::RtcSuccessFunc<vanta::live::PublishLiveRsp>& on_success,
    const vanta::meta::RtcFailureFunc& on_failure) {
  publish_reqs_.Add(req);
  publish_.Answer(on_success, on_failure);
}

void ReferenceLiveManager::GetLiveDetail(
    const std::string& live_id,
    const vanta::meta::RtcSuccessFunc<vanta::live::LiveDetail>& on_success,
    const vanta::meta::RtcFailureFunc& on_failure) {
  detail_reqs_.Add(live_id);
  detail_.Answer(on_success, on_failure);
}

}  // namespace refhost
