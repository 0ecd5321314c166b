// How the simulator tells a wrapping transport (Tap, the recorder) which fault it applied to a
// request: a request wrapper implements FaultNote, and the simulator notes the fault on it before
// answering. Requests that do not implement it are simply not told.
#pragma once

#include <memory>
#include <string>

#include "nexo_standin/engine_control.h"

namespace rtc_sim {
namespace detail {

class FaultNote {
 public:
  virtual void NoteFault(const std::string& fault) = 0;

 protected:
  ~FaultNote() = default;
};

inline void NoteFault(nexo_standin::PendingRequest* request, const std::string& fault) {
  if (auto* note = dynamic_cast<FaultNote*>(request)) note->NoteFault(fault);
}

}  // namespace detail
}  // namespace rtc_sim
