// Counts the heap allocations of the calling thread, so each benchmark can report how many
// allocations one operation costs. A plain per-thread count: a shared atomic one would add a
// locked instruction to every allocation and weigh on whichever side allocates more. Every
// benchmarked operation allocates on the benchmark's thread (the engine stand-in answers
// synchronously).
#pragma once

#include <cstdint>

namespace bench {

uint64_t Allocations();

}  // namespace bench
