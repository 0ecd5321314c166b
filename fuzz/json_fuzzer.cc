// libFuzzer entry of the JSON-conversion check (tests/support/json_check.h).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/json_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string complaint = fuzz_check::CheckJsonConversion(data, size);
  if (!complaint.empty()) {
    std::fprintf(stderr, "JSON conversion broken: %s\n", complaint.c_str());
    std::abort();
  }
  return 0;
}
