// Process-wide allocation counting for the hostile-input test binary. The replaced global
// operator new lives in its own translation unit (counting_new.cc).
#pragma once

#include <atomic>
#include <cstddef>

namespace codec_test {

extern std::atomic<bool> g_counting;
extern std::atomic<size_t> g_allocations;
extern std::atomic<size_t> g_bytes;

}  // namespace codec_test
