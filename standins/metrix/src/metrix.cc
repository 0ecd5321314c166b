#include <utility>

#include "metrix_standin/metrix_control.h"
#include "vanta/metrix/metrix_module.h"

namespace vanta {
namespace metrix {
namespace {

class DiscardingMetrixModule : public MetrixModule {
 public:
  int Report(int32_t, const std::map<std::string, std::string>&, int64_t,
             const std::string&) override {
    return 0;
  }
};

struct Installed {
  std::mutex mutex;
  std::shared_ptr<MetrixModule> module = std::make_shared<DiscardingMetrixModule>();
};

Installed& GetInstalled() {
  static Installed* installed = new Installed();  // reports may come in during exit
  return *installed;
}

}  // namespace

std::shared_ptr<MetrixModule> GetMetrixModuleObj() {
  Installed& installed = GetInstalled();
  std::lock_guard<std::mutex> lock(installed.mutex);
  return installed.module;
}

void SetMetrixModuleObj(std::shared_ptr<MetrixModule> module) {
  if (!module) module = std::make_shared<DiscardingMetrixModule>();
  Installed& installed = GetInstalled();
  std::lock_guard<std::mutex> lock(installed.mutex);
  installed.module.swap(module);
  // The previous module is released after the lock, when `module` goes out of scope.
}

RecordingMetrixModule::RecordingMetrixModule() = default;
RecordingMetrixModule::~RecordingMetrixModule() = default;

int RecordingMetrixModule::Report(int32_t event_id,
                                  const std::map<std::string, std::string>& params, int64_t code,
                                  const std::string& message) {
  std::lock_guard<std::mutex> lock(mutex_);
  reports_.push_back(MetrixReport{event_id, params, code, message});
  return 0;
}

std::vector<MetrixReport> RecordingMetrixModule::reports() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reports_;
}

std::vector<MetrixReport> RecordingMetrixModule::reports(int32_t event_id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<MetrixReport> matching;
  for (const auto& report : reports_) {
    if (report.event_id == event_id) matching.push_back(report);
  }
  return matching;
}

std::size_t RecordingMetrixModule::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reports_.size();
}

void RecordingMetrixModule::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  reports_.clear();
}

}  // namespace metrix
}  // namespace vanta
