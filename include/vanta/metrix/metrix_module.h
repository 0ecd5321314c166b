// The monitoring module. Callers fetch it anew for every report and drop it afterwards. Report
// may be called on any thread; its result is informative only. Placeholder slots keep Report at
// its place in the library's table.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "vanta/metrix/export.h"

namespace vanta {
namespace metrix {

class METRIX_INTERFACE MetrixModule {
 public:
  virtual ~MetrixModule() = default;
  virtual void Reserved1() {}
  virtual void Reserved2() {}
  virtual void Reserved3() {}
  virtual void Reserved4() {}
  // One monitoring event: its id, its parameters, a code (0 on success) and a message.
  virtual int Report(int32_t event_id, const std::map<std::string, std::string>& params,
                     int64_t code, const std::string& message) = 0;
};

// The process's monitoring module; never empty.
METRIX_EXPORT std::shared_ptr<MetrixModule> GetMetrixModuleObj();

}  // namespace metrix
}  // namespace vanta
