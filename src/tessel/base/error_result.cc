#include "tessel/base/error_result.h"

namespace tessel {
namespace base {

ErrorResult::ErrorResult() = default;

ErrorResult::ErrorResult(int status, const std::string& code, const std::string& reason)
    : status_(status), code_(code), reason_(reason) {}

ErrorResult::ErrorResult(const ErrorResult& other) = default;

ErrorResult& ErrorResult::operator=(const ErrorResult& other) = default;

ErrorResult::~ErrorResult() = default;

std::string ErrorResult::ToString() const {
  std::string text;
  text.reserve(64 + scope_.size() + code_.size() + reason_.size() + developer_message_.size());
  text += "(status=";
  text += std::to_string(status_);
  text += ", scope=";
  text += scope_;
  text += ", code=";
  text += code_;
  text += ", reason=";
  text += reason_;
  text += ", developMessage=";
  text += developer_message_;
  text += ")";
  return text;
}

}  // namespace base
}  // namespace tessel
