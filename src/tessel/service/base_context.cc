#include "tessel/service/base_context.h"

namespace tessel {
namespace service {

BaseContext::BaseContext() = default;
BaseContext::BaseContext(const BaseContext& other) = default;
BaseContext& BaseContext::operator=(const BaseContext& other) = default;
BaseContext::~BaseContext() = default;

}  // namespace service
}  // namespace tessel
