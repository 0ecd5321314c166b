// libFuzzer entry of the check of request bodies as the adaptor simulator reads them
// (tests/faults/sim_input_check.h).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "faults/sim_input_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string complaint = fuzz_check::CheckSimulatorRequest(data, size);
  if (!complaint.empty()) {
    std::fprintf(stderr, "simulator request handling broken: %s\n", complaint.c_str());
    std::abort();
  }
  return 0;
}
