// The adaptor operations as one table, expanded from the module's operation X-macros: URI,
// adaptor name and the body renderers of each. The server's handlers (server.cc) are indexed by
// the same order.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "classScene/class_scene_models.h"
#include "rtc/rtc_models.h"

namespace rtc_sim {
namespace detail {

struct Operation {
  size_t index;         // position in Operations()
  std::string uri;      // prefix + suffix
  const char* suffix;   // "getToken"
  const char* adaptor;  // "RtcMlink" or "ClassScene": the scope of its error bodies
  // Render a request or a success answer body as JSON; false when it does not decode.
  bool (*request_json)(const std::string& body, std::string* json);
  bool (*answer_json)(const std::string& body, std::string* json);
};

// The 21 RTC operations, then the 4 class-scene operations, in their clients' slot order.
const std::vector<Operation>& Operations();
// Null for a URI that is not an adaptor URI.
const Operation* FindOperation(const std::string& uri);

// Expands X(Ns, ModelNs, Op) for every operation, in Operations() order.
#define RTC_SIM_RTC_ENTRY(Op, REQ, RSP, suffix, failure, missing) X(vanta::rtc, rtc, Op)
#define RTC_SIM_CLASS_ENTRY(Op, REQ, RSP, suffix, failure) X(vanta::sceneclass, classScene, Op)
#define RTC_SIM_FOR_EACH_OPERATION()      \
  VANTA_RTC_OPERATIONS(RTC_SIM_RTC_ENTRY) \
  VANTA_SCENECLASS_OPERATIONS(RTC_SIM_CLASS_ENTRY)

}  // namespace detail
}  // namespace rtc_sim
