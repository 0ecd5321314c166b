// Records the module exchanges with the host's room manager when it creates or destroys a
// room's conference or creates a room's live. Plain values, fields in the order the room manager
// reads them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vanta {
namespace room {

struct CreateRtcReq {
  std::string creator_id;
  std::string owner_id;
  std::string title;  // the room's title (second text of its detail)
  std::vector<std::string> members;
  int32_t type = 0;
  std::string extra;
};

struct CreateRtcRsp {
  std::string rtc_id;  // the new conference id
};

struct DestroyRtcReq {
  std::string rtc_id;
};

struct DestroyRtcRsp {};

struct CreateLiveReq {
  std::string owner_id;
  std::string title;  // the room's title (second text of its detail)
  std::vector<std::string> members;
  int32_t type = 0;
  std::string cover_url;
  std::string description;
  std::string extra;
};

struct CreateLiveRsp {
  std::string room_id;
  std::string live_id;  // the new live id
  std::string push_url;
  std::string pull_url;
};

}  // namespace room
}  // namespace vanta
