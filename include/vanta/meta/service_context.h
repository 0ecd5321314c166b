// The host context one service is made for: the signed-in user, the room and the host managers.
//
// Implemented by the host and passed to IPlugin::CreateService. The service holds it weakly and
// calls it from host threads and from the threads its replies arrive on, so an implementation
// must be thread-safe. Every accessor returns a fresh value or shared pointer (which may be
// empty where noted).
#pragma once

#include <memory>
#include <string>

#include "vanta/meta/live_manager.h"
#include "vanta/meta/room.h"
#include "vanta/meta/room_manager.h"

namespace vanta {
namespace meta {

// The signed-in user as the host describes them.
struct UserRecord {
  std::string display_name;
  std::string avatar_url;
  std::string role;
  std::string user_id;  // fourth text: compared with event user ids to tell the user's own
};

class ServiceContext {
 public:
  virtual ~ServiceContext() = default;
  virtual std::string GetUserId() = 0;             // op 1
  virtual std::string GetRoomId() = 0;             // op 2
  virtual std::shared_ptr<Room> GetRoom() = 0;     // op 3
  virtual void Reserved4() {}                      // op 4
  virtual UserRecord GetUserRecord() = 0;          // op 5
  virtual bool TestUser(std::string user_id) = 0;  // op 6; the answer is the host's business
  virtual std::shared_ptr<RoomManager> GetRoomManager() = 0;  // op 7
  virtual std::shared_ptr<LiveModule> GetLiveModule() = 0;    // op 8; may be empty
};

}  // namespace meta
}  // namespace vanta
