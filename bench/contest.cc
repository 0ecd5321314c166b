#include "contest.h"

#include <algorithm>
#include <chrono>

#include "alloc_counter.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kBlockNanoseconds = 20000;
constexpr size_t kExpectedRounds = 1 << 14;

template <typename Run>
double NanosecondsFor(Run&& run) {
  const auto start = Clock::now();
  run();
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

}  // namespace

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Contest::Base* Contest::Find(const std::string& name) const {
  for (const auto& e : entries_) {
    if (e->name == name) return e.get();
  }
  return nullptr;
}

bool Contest::RunOperations(const std::string& name, int64_t count) {
  Base* e = Find(name);
  if (e == nullptr) return false;
  e->RunBlock(count);
  return true;
}

void Contest::Run(benchmark::State& state) {
  // Block sizes from a warmed-up estimate of one operation.
  for (const auto& e : entries_) {
    e->RunBlock(1);
    int64_t n = 1;
    double ns = NanosecondsFor([&] { e->RunBlock(n); });
    while (ns < kBlockNanoseconds / 10 && n < (int64_t{1} << 24)) {
      n *= 2;
      ns = NanosecondsFor([&] { e->RunBlock(n); });
    }
    e->block = std::max<int64_t>(1, static_cast<int64_t>(kBlockNanoseconds / (ns / n)));
    e->nanoseconds.clear();
    e->nanoseconds.reserve(kExpectedRounds);
    e->allocations = 0;
    e->operations = 0;
  }
  std::vector<std::pair<Base*, Base*>> pairs;
  std::vector<std::vector<double>> ratios(ratios_.size());
  for (size_t k = 0; k < ratios_.size(); ++k) {
    pairs.emplace_back(Find(ratios_[k].first), Find(ratios_[k].second));
    if (pairs.back().first == nullptr || pairs.back().second == nullptr) {
      state.SkipWithError("a ratio names an unknown implementation");
      return;
    }
    ratios[k].reserve(kExpectedRounds);
  }

  const size_t n = entries_.size();
  size_t round = 0;
  for (auto _ : state) {
    for (size_t j = 0; j < n; ++j) {
      Base& e = *entries_[(j + round) % n];
      const uint64_t before = Allocations();
      const double ns = NanosecondsFor([&] { e.RunBlock(e.block); });
      e.allocations += Allocations() - before;
      e.operations += e.block;
      e.nanoseconds.push_back(ns / static_cast<double>(e.block));
    }
    for (size_t k = 0; k < pairs.size(); ++k)
      ratios[k].push_back(pairs[k].first->nanoseconds.back() / pairs[k].second->nanoseconds.back());
    ++round;
  }

  for (const auto& e : entries_) {
    state.counters[e->name] = Median(e->nanoseconds);
    state.counters[e->name + " allocs"] = static_cast<double>(e->allocations) /
                                          static_cast<double>(std::max<int64_t>(1, e->operations));
  }
  for (size_t k = 0; k < pairs.size(); ++k)
    state.counters[ratios_[k].first + "/" + ratios_[k].second] = Median(ratios[k]);
}

}  // namespace bench
