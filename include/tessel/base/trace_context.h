// Tracing data that travels with every message and request context. The engine fills and reads
// it; the module carries it without interpretation.
#pragma once

#include <string>

namespace tessel {
namespace base {

struct TraceContext {
  std::string trace_id;
  std::string span_id;
  std::string parent_span_id;
  std::string baggage;
  bool sampled = false;
};

}  // namespace base
}  // namespace tessel
