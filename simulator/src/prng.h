// The simulator's PRNG: splitmix64, the same sequence on every platform for a given seed.
#pragma once

#include <cstdint>

namespace rtc_sim {
namespace detail {

class Prng {
 public:
  explicit Prng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double Fraction() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  // Uniform in [lo, hi] (lo <= hi).
  int64_t Between(int64_t lo, int64_t hi) {
    const uint64_t span = static_cast<uint64_t>(hi - lo) + 1;
    return span == 0 ? static_cast<int64_t>(Next()) : lo + static_cast<int64_t>(Next() % span);
  }

 private:
  uint64_t state_;
};

}  // namespace detail
}  // namespace rtc_sim
