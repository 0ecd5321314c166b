// A complete reference host for one room: the context with its room, room manager, live module
// and live manager, plus a media engine and an event listener, wired together. Tests and the
// demo configure the parts through the typed pointers and hand `context` to the plug-in.
#pragma once

#include <memory>
#include <string>

#include "reference/managers.h"
#include "reference/media_engine.h"
#include "reference/room.h"

namespace refhost {

struct ReferenceHost {
  // The room's detail names `owner_id` as its owner; the context's user record names `user_id`.
  ReferenceHost(const std::string& user_id, const std::string& room_id,
                const std::string& owner_id = {});

  std::shared_ptr<ReferenceServiceContext> context;
  std::shared_ptr<ReferenceRoom> room;
  std::shared_ptr<ReferenceRoomManager> room_manager;
  std::shared_ptr<ReferenceLiveModule> live_module;
  std::shared_ptr<ReferenceLiveManager> live_manager;
  std::shared_ptr<ReferenceMediaEngine> media_engine;
  std::shared_ptr<ReferenceEventListener> event_listener;
};

}  // namespace refhost
