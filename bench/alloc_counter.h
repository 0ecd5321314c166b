// Counts heap allocations made by the benchmark process, so each benchmark can report how many
// allocations one operation costs.
#pragma once

#include <atomic>
#include <cstdint>

namespace bench {

extern std::atomic<uint64_t> g_allocations;

inline uint64_t Allocations() {
  return g_allocations.load(std::memory_order_relaxed);
}

}  // namespace bench
