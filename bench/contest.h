// Several implementations of one operation timed in one benchmark, in alternating short blocks,
// so that whatever the machine does meanwhile (clock changes, the other hardware thread of the
// core, other processes) weighs on all of them alike. Timed apart, two implementations of a
// shared machine can each land in a different state of it, and their ratio says more about the
// machine than about them.
//
// A round runs one block of every implementation, starting with a different one each round;
// a block is as many operations as take about kBlockNanoseconds. An implementation's time is
// the median over its blocks; a ratio is the median over rounds of the two blocks' ratio.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// The median of `values` (0 when there are none).
double Median(std::vector<double> values);

class Contest {
 public:
  // One call of `op` is one operation.
  template <typename Op>
  void Add(std::string name, Op op) {
    entries_.push_back(std::make_unique<Entry<Op>>(std::move(name), std::move(op)));
  }
  // Reported as the counter "<numerator>/<denominator>".
  void AddRatio(std::string numerator, std::string denominator) {
    ratios_.emplace_back(std::move(numerator), std::move(denominator));
  }
  // Runs rounds for as long as `state` asks. Counters: "<name>" (nanoseconds per operation),
  // "<name> allocs" (heap allocations per operation) and the ratios asked for.
  void Run(benchmark::State& state);
  // Runs `count` operations of one implementation and nothing else (for an instruction count
  // under callgrind). False when there is no such implementation.
  bool RunOperations(const std::string& name, int64_t count);

 private:
  struct Base {
    explicit Base(std::string n) : name(std::move(n)) {}
    virtual ~Base() = default;
    virtual void RunBlock(int64_t operations) = 0;

    std::string name;
    int64_t block = 1;
    std::vector<double> nanoseconds;  // per operation, one per block
    uint64_t allocations = 0;
    int64_t operations = 0;
  };
  template <typename Op>
  struct Entry : Base {
    Entry(std::string n, Op o) : Base(std::move(n)), op(std::move(o)) {}
    void RunBlock(int64_t operations) override {
      for (int64_t i = 0; i < operations; ++i) op();
    }
    Op op;
  };

  Base* Find(const std::string& name) const;

  std::vector<std::unique_ptr<Base>> entries_;
  std::vector<std::pair<std::string, std::string>> ratios_;
};

}  // namespace bench
