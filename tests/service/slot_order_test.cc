// The virtual-table layout of every interface shared with the host and the media engine: each
// named operation in its slot, and nothing after the last one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/vtable_index.h"
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

namespace {

struct Slot {
  std::string name;
  std::ptrdiff_t index;  // what the compiler made of it
  int slot;              // what the host expects
};

enum class Destructor { kFirst, kLast };

// Table index of host slot `slot`, for a class whose destructor sits first or after the operations.
std::ptrdiff_t Expected(int slot, Destructor where) {
  return where == Destructor::kFirst ? vtable::IndexForSlot(slot) : slot;
}

// `probe` is the index of a virtual added by a derived class: the size of the base's table.
void ExpectLayout(const std::vector<Slot>& table, Destructor where, int slot_count,
                  std::ptrdiff_t probe) {
  if (!vtable::kSupported) GTEST_SKIP() << "layout is read through the Itanium member pointer";
  for (const Slot& s : table) {
    EXPECT_EQ(s.index, Expected(s.slot, where)) << s.name << " should be slot " << s.slot;
  }
  // Slot count plus the second destructor entry.
  EXPECT_EQ(probe, slot_count + 1) << "unexpected entries after the last slot";
}

#define SLOT(Class, fn, n)              \
  Slot {                                \
#fn, vtable::IndexOf(&Class::fn), n \
  }
#define OVERLOAD(Class, Result, fn, sig, n)                                      \
  Slot {                                                                         \
#fn #sig, vtable::IndexOf(static_cast <Result(Class::*) sig>(&Class::fn)), n \
  }
#define PROBE(Class)                       \
  [] {                                     \
    struct P : Class {                     \
      virtual void ProbeSlot() = 0;        \
    };                                     \
    return vtable::IndexOf(&P::ProbeSlot); \
  }()

using Rs = vm::IRtcService;
using Done = Rs::Done;
using Failed = Rs::Failed;
using DoneCb = Rs::DoneCallback;
template <class R>
using Ok = vm::RtcSuccessFunc<R>;
template <class R>
using Cb = vm::RtcResultCallbackPtr<R>;
namespace rtc = vanta::rtc;
namespace sc = vanta::sceneclass;

TEST(SlotOrder, RtcServiceHasItsFiftyFiveSlots) {
  const std::vector<Slot> table = {
      SLOT(Rs, SetMediaEngine, 1),
      SLOT(Rs, SetEventListener, 2),
      SLOT(Rs, GetEventListener, 3),
      SLOT(Rs, EngineCall2, 4),
      SLOT(Rs, EngineCall3, 5),
      OVERLOAD(Rs, void, JoinRtc, (int32_t, const Done&, const Failed&), 6),
      OVERLOAD(Rs, void, JoinRtc, (int32_t, const DoneCb&), 7),
      OVERLOAD(Rs, void, StartRoadPublish, (const Done&, const Failed&), 8),
      OVERLOAD(Rs, void, StartRoadPublish, (const DoneCb&), 9),
      SLOT(Rs, EngineCall6, 10),
      SLOT(Rs, EngineCall7, 11),
      SLOT(Rs, EngineCall8, 12),
      SLOT(Rs, EngineCall9, 13),
      OVERLOAD(Rs, void, LeaveRtc, (bool, const Done&, const Failed&), 14),
      OVERLOAD(Rs, void, LeaveRtc, (bool, const DoneCb&), 15),
      OVERLOAD(Rs, void, AddMembers,
               (const std::vector<rtc::ConfUser>&, const Done&, const Failed&), 16),
      OVERLOAD(Rs, void, AddMembers, (const std::vector<rtc::ConfUser>&, const DoneCb&), 17),
      OVERLOAD(Rs, void, ListConfUser,
               (const rtc::ListConfUserReq&, const Ok<rtc::ListConfUserRsp>&, const Failed&), 18),
      OVERLOAD(Rs, void, ListConfUser,
               (const rtc::ListConfUserReq&, const Cb<rtc::ListConfUserRsp>&), 19),
      OVERLOAD(Rs, void, ListApplyLinkMicUser,
               (const rtc::ListApplyLinkMicUserReq&, const Ok<rtc::ListApplyLinkMicUserRsp>&,
                const Failed&),
               20),
      OVERLOAD(Rs, void, ListApplyLinkMicUser,
               (const rtc::ListApplyLinkMicUserReq&, const Cb<rtc::ListApplyLinkMicUserRsp>&), 21),
      OVERLOAD(Rs, void, ApplyLinkMic, (bool, const Done&, const Failed&), 22),
      OVERLOAD(Rs, void, ApplyLinkMic, (bool, const DoneCb&), 23),
      OVERLOAD(Rs, void, ApproveLinkMic, (const std::string&, bool, const Done&, const Failed&),
               24),
      OVERLOAD(Rs, void, ApproveLinkMic, (const std::string&, bool, const DoneCb&), 25),
      OVERLOAD(Rs, void, KickUserFromRtc,
               (const std::vector<std::string>&, const Done&, const Failed&), 26),
      OVERLOAD(Rs, void, KickUserFromRtc, (const std::vector<std::string>&, const DoneCb&), 27),
      OVERLOAD(Rs, void, StartRecord, (const Done&, const Failed&), 28),
      OVERLOAD(Rs, void, StartRecord, (const DoneCb&), 29),
      OVERLOAD(Rs, void, StopRecord, (const Done&, const Failed&), 30),
      OVERLOAD(Rs, void, StopRecord, (const DoneCb&), 31),
      OVERLOAD(Rs, void, GetConfDetail, (const Ok<rtc::GetConfDetailRsp>&, const Failed&), 32),
      OVERLOAD(Rs, void, GetConfDetail, (const Cb<rtc::GetConfDetailRsp>&), 33),
      SLOT(Rs, EngineCall27, 34),
      OVERLOAD(Rs, void, StartScreenShare, (int32_t, int32_t, const Done&, const Failed&), 35),
      OVERLOAD(Rs, void, StartScreenShare, (int32_t, int32_t, const DoneCb&), 36),
      OVERLOAD(Rs, void, StartScreenShareAlt, (int32_t, int32_t, const Done&, const Failed&), 37),
      OVERLOAD(Rs, void, StartScreenShareAlt, (int32_t, int32_t, const DoneCb&), 38),
      OVERLOAD(Rs, void, StopScreenShare, (const Done&, const Failed&), 39),
      OVERLOAD(Rs, void, StopScreenShare, (const DoneCb&), 40),
      OVERLOAD(Rs, void, SetLayout,
               (const std::vector<std::string>&, int32_t, const Done&, const Failed&), 41),
      OVERLOAD(Rs, void, SetLayout, (const std::vector<std::string>&, int32_t, const DoneCb&), 42),
      SLOT(Rs, EngineCall31, 43),
      SLOT(Rs, EngineCall32, 44),
      OVERLOAD(Rs, void, RtcMuteAll, (bool, const Done&, const Failed&), 45),
      OVERLOAD(Rs, void, RtcMuteAll, (bool, const DoneCb&), 46),
      OVERLOAD(Rs, void, RtcMuteUser, (const std::string&, bool, const Done&, const Failed&), 47),
      OVERLOAD(Rs, void, RtcMuteUser, (const std::string&, bool, const DoneCb&), 48),
      OVERLOAD(Rs, void, StartClass,
               (const sc::StartClassReq&, const Ok<sc::StartClassRsp>&, const Failed&), 49),
      OVERLOAD(Rs, void, StartClass, (const sc::StartClassReq&, const Cb<sc::StartClassRsp>&), 50),
      OVERLOAD(Rs, void, StopClass,
               (const sc::StopClassReq&, const Ok<sc::StopClassRsp>&, const Failed&), 51),
      OVERLOAD(Rs, void, StopClass, (const sc::StopClassReq&, const Cb<sc::StopClassRsp>&), 52),
      OVERLOAD(Rs, void, GetClassDetail,
               (const sc::GetClassDetailReq&, const Ok<sc::GetClassDetailRsp>&, const Failed&), 53),
      OVERLOAD(Rs, void, GetClassDetail,
               (const sc::GetClassDetailReq&, const Cb<sc::GetClassDetailRsp>&), 54),
  };
  ASSERT_EQ(table.size(), 54u);  // every slot but the destructor
  ExpectLayout(table, Destructor::kFirst, 55, PROBE(Rs));
}

using Ml = vm::RtcMediaEventListener;

TEST(SlotOrder, MediaEventListenerHasItsTwentyEightSlots) {
  const std::vector<Slot> table = {
      SLOT(Ml, OnJoinResult, 1),
      SLOT(Ml, OnUserNotify, 2),
      SLOT(Ml, OnForwardedEvent3, 3),
      SLOT(Ml, OnNetworkQualityChanged, 4),
      SLOT(Ml, OnRtcWarning, 5),
      SLOT(Ml, OnRtcError, 6),
      SLOT(Ml, OnOccurError, 7),
      SLOT(Ml, OnPerformanceRecovery, 8),
      SLOT(Ml, OnFirstRemoteVideoFrameDrawn, 9),
      SLOT(Ml, OnFirstLocalVideoFrameDrawn, 10),
      SLOT(Ml, OnConnectionLost, 11),
      SLOT(Ml, OnTryToReconnect, 12),
      SLOT(Ml, OnConnectionRecovery, 13),
      SLOT(Ml, OnConnectionStatusChange, 14),
      SLOT(Ml, OnPublishLiveStreamStateChanged, 15),
      SLOT(Ml, OnPublishTaskStateChanged, 16),
      SLOT(Ml, OnRemoteUserOffLineNotify, 17),
      SLOT(Ml, OnBye, 18),
      SLOT(Ml, OnStats, 19),
      SLOT(Ml, OnLocalVideoStats, 20),
      SLOT(Ml, OnLocalAudioStats, 21),
      SLOT(Ml, OnRemoteVideoStats, 22),
      SLOT(Ml, OnRemoteAudioStats, 23),
      SLOT(Ml, OnForwardedEvent24, 24),
      SLOT(Ml, OnForwardedEvent25, 25),
      SLOT(Ml, OnForwardedEvent26, 26),
      SLOT(Ml, OnScreenShareStateChanged, 27),
  };
  ExpectLayout(table, Destructor::kFirst, 28, PROBE(Ml));
}

TEST(SlotOrder, PluginAndPluginService) {
  ExpectLayout({SLOT(vm::IPlugin, Init, 1), SLOT(vm::IPlugin, Uninit, 2),
                SLOT(vm::IPlugin, CreateService, 3)},
               Destructor::kFirst, 4, PROBE(vm::IPlugin));
  ExpectLayout({SLOT(vm::IPluginService, GetServiceName, 1)}, Destructor::kFirst, 2,
               PROBE(vm::IPluginService));
}

TEST(SlotOrder, ResultCallbacks) {
  using Plain = vm::RtcResultCallback<>;
  using WithRecord = vm::RtcResultCallback<rtc::GetConfDetailRsp>;
  ExpectLayout({SLOT(Plain, OnSuccess, 1), SLOT(Plain, OnFailure, 2)}, Destructor::kFirst, 3,
               PROBE(Plain));
  ExpectLayout({SLOT(WithRecord, OnSuccess, 1), SLOT(WithRecord, OnFailure, 2)}, Destructor::kFirst,
               3, PROBE(WithRecord));
}

using Ctx = vm::ServiceContext;

TEST(SlotOrder, ServiceContextAndRoom) {
  ExpectLayout({SLOT(Ctx, GetUserId, 1), SLOT(Ctx, GetRoomId, 2), SLOT(Ctx, GetRoom, 3),
                SLOT(Ctx, GetUserRecord, 5), SLOT(Ctx, TestUser, 6), SLOT(Ctx, GetRoomManager, 7),
                SLOT(Ctx, GetLiveModule, 8)},
               Destructor::kFirst, 9, PROBE(Ctx));
  // The room's and the live module's operations start the table; the destructor follows them.
  ExpectLayout({SLOT(vm::Room, GetPluginInstanceId, 0), SLOT(vm::Room, SetPluginInstanceId, 1),
                SLOT(vm::Room, RemovePluginInstanceId, 2), SLOT(vm::Room, GetRoomDetail, 3)},
               Destructor::kLast, 5, PROBE(vm::Room));
  ExpectLayout({SLOT(vm::LiveModule, GetLiveManager, 0)}, Destructor::kLast, 2,
               PROBE(vm::LiveModule));
}

TEST(SlotOrder, RoomAndLiveManagers) {
  using Rm = vm::RoomManager;
  ExpectLayout({SLOT(Rm, CreateLive, 10), SLOT(Rm, CreateRtc, 16), SLOT(Rm, DestroyRtc, 18)},
               Destructor::kFirst, 19, PROBE(Rm));
  using Lm = vm::LiveManager;
  ExpectLayout({SLOT(Lm, PublishLive, 1), SLOT(Lm, GetLiveDetail, 3)}, Destructor::kFirst, 4,
               PROBE(Lm));
}

TEST(SlotOrder, MediaEngine) {
  using Me = vm::MediaEngine;
  ExpectLayout({SLOT(Me, EngineCall1, 1), SLOT(Me, EngineCall2, 2), SLOT(Me, EngineCall3, 3),
                SLOT(Me, JoinChannel, 4), SLOT(Me, LeaveChannel, 5), SLOT(Me, EngineCall6, 6),
                SLOT(Me, EngineCall7, 7), SLOT(Me, EngineCall8, 8), SLOT(Me, EngineCall9, 9),
                SLOT(Me, SetEventListener, 10), SLOT(Me, EngineCall27, 27),
                SLOT(Me, StartScreenShareByDesktopId, 28), SLOT(Me, StartScreenShareAlt, 29),
                SLOT(Me, EngineCall30, 30), SLOT(Me, EngineCall31, 31), SLOT(Me, EngineCall32, 32)},
               Destructor::kFirst, 33, PROBE(Me));
}

TEST(SlotOrder, HostEventListener) {
  using El = vm::RtcEventListener;
  ExpectLayout(
      {SLOT(El, OnJoined, 1), SLOT(El, OnError, 2), SLOT(El, OnUserNotice, 3),
       SLOT(El, OnForwardedEvent18, 18), SLOT(El, OnStats, 19), SLOT(El, OnForwardedEvent21, 21),
       SLOT(El, OnForwardedEvent22, 22), SLOT(El, OnForwardedEvent24, 24),
       SLOT(El, OnFirstRemoteVideoFrameDrawn, 25), SLOT(El, OnFirstLocalVideoFrameDrawn, 26)},
      Destructor::kFirst, 27, PROBE(El));
}

// The ABI trick itself: a plain class with known layout, and a non-virtual member.
struct Known {
  virtual ~Known() = default;
  virtual void A() {}
  virtual void B() {}
  void NotVirtual() {}
};

TEST(SlotOrder, IndexReaderAgreesWithAKnownLayout) {
  if (!vtable::kSupported) GTEST_SKIP();
  EXPECT_EQ(vtable::IndexOf(&Known::A), 2);
  EXPECT_EQ(vtable::IndexOf(&Known::B), 3);
  EXPECT_EQ(vtable::IndexOf(&Known::NotVirtual), -1);
}

}  // namespace
