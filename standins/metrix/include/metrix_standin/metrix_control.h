// Configuration of the monitoring library: which module GetMetrixModuleObj hands out, and a
// ready module that keeps every report for inspection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "vanta/metrix/export.h"
#include "vanta/metrix/metrix_module.h"

namespace vanta {
namespace metrix {

// Hands out `module` from now on; empty restores the default module, which discards reports.
// Thread-safe.
METRIX_EXPORT void SetMetrixModuleObj(std::shared_ptr<MetrixModule> module);

struct MetrixReport {
  int32_t event_id = 0;
  std::map<std::string, std::string> params;
  int64_t code = 0;
  std::string message;
};

// Keeps every report in arrival order. Thread-safe.
class METRIX_EXPORT RecordingMetrixModule : public MetrixModule {
 public:
  RecordingMetrixModule();
  ~RecordingMetrixModule() override;

  int Report(int32_t event_id, const std::map<std::string, std::string>& params, int64_t code,
             const std::string& message) override;

  std::vector<MetrixReport> reports() const;
  // The reports with `event_id`, in arrival order.
  std::vector<MetrixReport> reports(int32_t event_id) const;
  std::size_t size() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<MetrixReport> reports_;
};

}  // namespace metrix
}  // namespace vanta
