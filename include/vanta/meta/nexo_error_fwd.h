// The error record every failure callback receives, as seen from the host-side interfaces.
#pragma once

namespace vanta {
namespace nexo {
struct NexoError;
}  // namespace nexo

namespace meta {
// Failure callbacks always take the error by const reference.
using NexoError = ::vanta::nexo::NexoError;
}  // namespace meta
}  // namespace vanta
