// The error record every failure callback of the module receives. A plain value: copyable, no
// locks; the host reads it inside the callback or keeps a copy.
//
// An error made by the module itself is a default record with only `reason` set (code 0); an
// adaptor's or the engine's error is converted from the framework's ErrorResult (domain 1,
// numeric code parsed from the code text, 0 when that text is not a number): the adaptor's error
// body as it sent it, the engine's own failure as the engine reports it, and for an answer that
// does not decode code -11, scope "AppNet", developer_message "unpackb_exception".
//
// A host only receives these records, so this header stands on its own: the conversion from
// ErrorResult is compiled into whoever links the framework (the plug-in), not written inline
// here, and needs neither the framework's nor the foundation library's headers at the host.
#pragma once

#include <cstdint>
#include <string>

namespace tessel {
namespace base {
class ErrorResult;
}  // namespace base
}  // namespace tessel

namespace vanta {
namespace nexo {

struct NexoError {
  NexoError() = default;
  // domain 1; code = the result's code text read whole by basefx::StringToInt (a decimal int
  // with an optional sign), 0 when it is not one; the texts copied from the same-named parts.
  explicit NexoError(const tessel::base::ErrorResult& result);

  int32_t domain = 0;
  int32_t code = 0;
  std::string developer_message;
  std::string reason;
  std::string more_info;
  std::string scope;
};

}  // namespace nexo
}  // namespace vanta
