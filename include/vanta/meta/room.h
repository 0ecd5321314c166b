// The host's room: which plug-in instances (conference, live) belong to it, and its detail.
//
// Implemented by the host. The module calls it from host threads and from the threads its
// replies arrive on, so an implementation must be thread-safe. Obtained from
// ServiceContext::GetRoom and held only for the duration of one call.
#pragma once

#include <string>

namespace vanta {
namespace meta {

struct RoomDetail {
  std::string room_id;
  std::string title;  // second text: the title new conferences and lives are created with
  std::string description;
  std::string owner_id;  // fourth text: only the owner may destroy the room's conference
};

// The room's table starts with its operations; the destructor comes after them.
class Room {
 public:
  // Plug-in types used by the module: "rtc" (the conference id) and "live" (the live id). An
  // empty text means the room has no instance of that type.
  virtual std::string GetPluginInstanceId(const std::string& type) = 0;                  // op 0
  virtual void SetPluginInstanceId(const std::string& type, const std::string& id) = 0;  // op 1
  virtual void RemovePluginInstanceId(const std::string& type) = 0;                      // op 2
  virtual RoomDetail GetRoomDetail() = 0;                                                // op 3
  virtual ~Room() = default;
};

}  // namespace meta
}  // namespace vanta
