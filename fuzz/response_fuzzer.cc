// libFuzzer entry of the response-handler check (tests/support/response_check.h).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/response_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string complaint = fuzz_check::CheckResponseHandling(data, size);
  if (!complaint.empty()) {
    std::fprintf(stderr, "response handler broken: %s\n", complaint.c_str());
    std::abort();
  }
  return 0;
}
