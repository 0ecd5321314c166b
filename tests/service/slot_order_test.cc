// The virtual-table layout of every interface shared with the host and the media engine: each
// named operation in its slot, and nothing after the last one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/slot_layout.h"
#include "vanta/meta/i_plugin.h"
#include "vanta/meta/i_rtc_service.h"
#include "vanta/meta/live_manager.h"
#include "vanta/meta/media_engine.h"
#include "vanta/meta/room.h"
#include "vanta/meta/room_manager.h"
#include "vanta/meta/rtc_event_listener.h"
#include "vanta/meta/rtc_media_event_listener.h"
#include "vanta/meta/service_context.h"

namespace vm = vanta::meta;
namespace rtc = vanta::rtc;
namespace sc = vanta::sceneclass;

namespace {

using vtable::ExpectLayout;
using vtable::Slot;

// The two forms of an operation taking `A...`: success and failure functions, or one callback
// object; `R` is the success record (empty for none).
template <class... A>
struct Forms {
  template <class... R>
  using Function = void (vm::IRtcService::*)(A..., const vm::RtcSuccessFunc<R...>&,
                                             const vm::RtcFailureFunc&);
  template <class... R>
  using Object = void (vm::IRtcService::*)(A..., const vm::RtcResultCallbackPtr<R...>&);
};
#define BOTH(fn, R, ...)                                                            \
  Slot(#fn, vtable::IndexOf(static_cast<Forms<__VA_ARGS__>::Function<R>>(&T::fn))), \
      Slot(#fn " (object)", vtable::IndexOf(static_cast<Forms<__VA_ARGS__>::Object<R>>(&T::fn)))

// The tables are listed in slot order, several entries a line.
// clang-format off
TEST(SlotOrder, RtcService) {
  using T = vm::IRtcService;
  using Ids = const std::vector<std::string>&;
  const std::vector<Slot> table = {
      S(SetMediaEngine), S(SetEventListener), S(GetEventListener), S(EngineCall2), S(EngineCall3),
      BOTH(JoinRtc, , int32_t), BOTH(StartRoadPublish, , ), S(EngineCall6), S(EngineCall7),
      S(EngineCall8), S(EngineCall9), BOTH(LeaveRtc, , bool),
      BOTH(AddMembers, , const std::vector<rtc::ConfUser>&),
      BOTH(ListConfUser, rtc::ListConfUserRsp, const rtc::ListConfUserReq&),
      BOTH(ListApplyLinkMicUser, rtc::ListApplyLinkMicUserRsp, const rtc::ListApplyLinkMicUserReq&),
      BOTH(ApplyLinkMic, , bool), BOTH(ApproveLinkMic, , const std::string&, bool),
      BOTH(KickUserFromRtc, , Ids), BOTH(StartRecord, , ), BOTH(StopRecord, , ),
      BOTH(GetConfDetail, rtc::GetConfDetailRsp, ), S(EngineCall27),
      BOTH(StartScreenShare, , int32_t, int32_t), BOTH(StartScreenShareAlt, , int32_t, int32_t),
      BOTH(StopScreenShare, , ), BOTH(SetLayout, , Ids, int32_t), S(EngineCall31), S(EngineCall32),
      BOTH(RtcMuteAll, , bool), BOTH(RtcMuteUser, , const std::string&, bool),
      BOTH(StartClass, sc::StartClassRsp, const sc::StartClassReq&),
      BOTH(StopClass, sc::StopClassRsp, const sc::StopClassReq&),
      BOTH(GetClassDetail, sc::GetClassDetailRsp, const sc::GetClassDetailReq&)};
  ASSERT_EQ(table.size(), 54u);  // every slot but the destructor
  ExpectLayout<T>(table, 55);
}

TEST(SlotOrder, MediaEventListener) {
  using T = vm::RtcMediaEventListener;
  ExpectLayout<T>(
      {S(OnJoinResult), S(OnUserNotify), S(OnForwardedEvent3), S(OnNetworkQualityChanged),
       S(OnRtcWarning), S(OnRtcError), S(OnOccurError), S(OnPerformanceRecovery),
       S(OnFirstRemoteVideoFrameDrawn), S(OnFirstLocalVideoFrameDrawn), S(OnConnectionLost),
       S(OnTryToReconnect), S(OnConnectionRecovery), S(OnConnectionStatusChange),
       S(OnPublishLiveStreamStateChanged), S(OnPublishTaskStateChanged),
       S(OnRemoteUserOffLineNotify), S(OnBye), S(OnStats), S(OnLocalVideoStats),
       S(OnLocalAudioStats), S(OnRemoteVideoStats), S(OnRemoteAudioStats), S(OnForwardedEvent24),
       S(OnForwardedEvent25), S(OnForwardedEvent26), S(OnScreenShareStateChanged)},
      28);
}

TEST(SlotOrder, PluginAndResultCallbacks) {
  { using T = vm::IPlugin; ExpectLayout<T>({S(Init), S(Uninit), S(CreateService)}, 4); }
  { using T = vm::IPluginService; ExpectLayout<T>({S(GetServiceName)}, 2); }
  { using T = vm::RtcResultCallback<>; ExpectLayout<T>({S(OnSuccess), S(OnFailure)}, 3); }
  { using T = vm::RtcResultCallback<rtc::GetConfDetailRsp>;
    ExpectLayout<T>({S(OnSuccess), S(OnFailure)}, 3); }
}

TEST(SlotOrder, HostObjects) {
  { using T = vm::ServiceContext;
    ExpectLayout<T>({S(GetUserId), S(GetRoomId), S(GetRoom), AT(GetUserRecord, 5), S(TestUser),
                     S(GetRoomManager), S(GetLiveModule)}, 9); }
  { using T = vm::Room;  // operations first, the destructor after them
    ExpectLayout<T>({S(GetPluginInstanceId), S(SetPluginInstanceId), S(RemovePluginInstanceId),
                     S(GetRoomDetail)}, 5, true); }
  { using T = vm::LiveModule; ExpectLayout<T>({S(GetLiveManager)}, 2, true); }
  { using T = vm::RoomManager;
    ExpectLayout<T>({AT(CreateLive, 10), AT(CreateRtc, 16), AT(DestroyRtc, 18)}, 19); }
  { using T = vm::LiveManager; ExpectLayout<T>({S(PublishLive), AT(GetLiveDetail, 3)}, 4); }
  { using T = vm::MediaEngine;
    ExpectLayout<T>({S(EngineCall1), S(EngineCall2), S(EngineCall3), S(JoinChannel),
                     S(LeaveChannel), S(EngineCall6), S(EngineCall7), S(EngineCall8),
                     S(EngineCall9), S(SetEventListener), AT(EngineCall27, 27),
                     S(StartScreenShareByDesktopId), S(StartScreenShareAlt), S(EngineCall30),
                     S(EngineCall31), S(EngineCall32)}, 33); }
  { using T = vm::RtcEventListener;
    ExpectLayout<T>({S(OnJoined), S(OnError), S(OnUserNotice), AT(OnForwardedEvent18, 18),
                     S(OnStats), AT(OnForwardedEvent21, 21), S(OnForwardedEvent22),
                     AT(OnForwardedEvent24, 24), S(OnFirstRemoteVideoFrameDrawn),
                     S(OnFirstLocalVideoFrameDrawn)}, 27); }
}
// clang-format on

}  // namespace
