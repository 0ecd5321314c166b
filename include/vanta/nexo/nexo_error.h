// The error record every failure callback of the module receives. A plain value.
//
// An error made by the module itself is a default record with only `reason` set; an adaptor's
// error is converted from the framework's ErrorResult (domain 1, numeric code parsed from the
// code text, 0 when that text is not a number).
#pragma once

#include <cstdint>
#include <string>

#include "basefx/string_utils.h"
#include "tessel/base/error_result.h"

namespace vanta {
namespace nexo {

struct NexoError {
  NexoError() = default;
  explicit NexoError(const tessel::base::ErrorResult& result)
      : domain(1),
        developer_message(result.developer_message()),
        reason(result.reason()),
        more_info(result.more_info()),
        scope(result.scope()) {
    basefx::StringToInt(result.code(), &code);
  }

  int32_t domain = 0;
  int32_t code = 0;
  std::string developer_message;
  std::string reason;
  std::string more_info;
  std::string scope;
};

}  // namespace nexo
}  // namespace vanta
