// The libFuzzer entry of a check that returns "" when all holds and otherwise what broke: a
// complaint is printed and aborts the run, so the fuzzer keeps the input as a finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define RTC_FUZZ_CHECK_ENTRY(check, what)                                   \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { \
    const std::string complaint = check(data, size);                        \
    if (!complaint.empty()) {                                               \
      std::fprintf(stderr, what " broken: %s\n", complaint.c_str());        \
      std::abort();                                                         \
    }                                                                       \
    return 0;                                                               \
  }
