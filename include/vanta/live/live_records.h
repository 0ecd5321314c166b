// Records the module exchanges with the host's live manager.
#pragma once

#include <cstdint>
#include <string>

namespace vanta {
namespace live {

struct PublishLiveReq {
  std::string live_id;
};

struct PublishLiveRsp {
  std::string live_id;
  std::string push_url;
  std::string pull_url;
  int32_t live_status = 0;
};

struct LiveDetail {
  std::string push_url;  // first text: where the conference's stream is pushed
  std::string pull_url;
  std::string live_id;
  std::string title;
  int32_t live_status = 0;
};

}  // namespace live
}  // namespace vanta
