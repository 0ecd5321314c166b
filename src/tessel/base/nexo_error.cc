// The engine's error record made from the framework's: kept out of the engine header so that a
// host compiling against the interfaces needs neither the framework nor the foundation library.
#include "vanta/nexo/nexo_error.h"

#include "basefx/string_utils.h"
#include "tessel/base/error_result.h"

namespace vanta {
namespace nexo {

NexoError::NexoError(const tessel::base::ErrorResult& result)
    : domain(1),
      developer_message(result.developer_message()),
      reason(result.reason()),
      more_info(result.more_info()),
      scope(result.scope()) {
  basefx::StringToInt(result.code(), &code);
}

}  // namespace nexo
}  // namespace vanta
