#include "reference/reference_host.h"

namespace refhost {

ReferenceHost::ReferenceHost(const std::string& user_id, const std::string& room_id,
                             const std::string& owner_id)
    : context(std::make_shared<ReferenceServiceContext>(user_id, room_id)),
      room(std::make_shared<ReferenceRoom>(
          vanta::meta::RoomDetail{room_id, "room " + room_id, {}, owner_id})),
      room_manager(std::make_shared<ReferenceRoomManager>()),
      live_module(std::make_shared<ReferenceLiveModule>()),
      live_manager(std::make_shared<ReferenceLiveManager>()),
      media_engine(std::make_shared<ReferenceMediaEngine>()),
      event_listener(std::make_shared<ReferenceEventListener>()) {
  live_module->SetLiveManager(live_manager);
  context->SetRoom(room);
  context->SetRoomManager(room_manager);
  context->SetLiveModule(live_module);
  context->SetUserRecord({{}, {}, {}, user_id});
}

}  // namespace refhost
