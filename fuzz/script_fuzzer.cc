// libFuzzer entry of the check of rtc_demo's script parser (tests/faults/script_check.h).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "faults/script_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string complaint = fuzz_check::CheckScript(data, size);
  if (!complaint.empty()) {
    std::fprintf(stderr, "script parser broken: %s\n", complaint.c_str());
    std::abort();
  }
  return 0;
}
