// rtc_bench's main: Google Benchmark's run and console output, then the table of
// docs/performance.md computed from this run's results (CPU time per operation; the median when
// the run has repetitions, with their range).
#include <benchmark/benchmark.h>
#include <msgpack/version.hpp>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "benchmarks.h"

namespace bench {
namespace {

struct Result {
  std::vector<double> cpu_ns;  // one per repetition
  double allocations = 0;
  double bytes = 0;

  double Median() const {
    std::vector<double> v = cpu_ns;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  }
};

class Collector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      Result& r = results_[run.benchmark_name()];
      r.cpu_ns.push_back(run.GetAdjustedCPUTime() * 1e9 /
                         benchmark::GetTimeUnitMultiplier(run.time_unit));
      const auto allocations = run.counters.find("allocs/op");
      if (allocations != run.counters.end()) r.allocations = allocations->second.value;
      const auto bytes = run.counters.find("body_bytes");
      if (bytes != run.counters.end()) r.bytes = bytes->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  const Result* Find(const std::string& operation, const std::string& body,
                     const std::string& implementation) const {
    const auto it = results_.find(operation + "/" + body + "/" + implementation);
    return it == results_.end() || it->second.cpu_ns.empty() ? nullptr : &it->second;
  }

 private:
  std::map<std::string, Result> results_;
};

std::string CpuModel() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.compare(0, 10, "model name") != 0) continue;
    const size_t colon = line.find(':');
    if (colon != std::string::npos) return line.substr(line.find_first_not_of(' ', colon + 1));
  }
  return "CPU model unknown";
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Time(double ns) {
  if (ns < 100) return Format("%.1f ns", ns);
  if (ns < 1000) return Format("%.0f ns", ns);
  if (ns < 100000) return Format("%.2f us", ns / 1000);
  return Format("%.0f us", ns / 1000);
}

// The median, and with repetitions their range.
std::string TimeCell(const Result* r) {
  if (r == nullptr) return "";
  std::string cell = Time(r->Median());
  if (r->cpu_ns.size() > 1) {
    const auto range = std::minmax_element(r->cpu_ns.begin(), r->cpu_ns.end());
    cell += " (" + Time(*range.first) + " to " + Time(*range.second) + ")";
  }
  return cell;
}

// How many times faster `ours` is than `other` (above 1: ours is faster).
std::string Faster(const Result* ours, const Result* other) {
  if (ours == nullptr || other == nullptr) return "";
  return Format("%.2fx", other->Median() / ours->Median());
}

// How many times `ours` costs `floor`.
std::string Times(const Result* ours, const Result* floor) {
  if (ours == nullptr || floor == nullptr) return "";
  return Format("%.2fx", ours->Median() / floor->Median());
}

// Allocations per operation: whole numbers unless they are not.
std::string Count(double value) {
  std::string text = Format("%.2f", value);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

void Row(const std::vector<std::string>& cells) {
  std::string line = "|";
  for (const std::string& cell : cells) line += " " + cell + " |";
  std::printf("%s\n", line.c_str());
}

struct Body {
  const char* key;
  const char* label;
};

constexpr Body kDecodeBodies[] = {
    {kConfDetailRealistic, "conference detail, 20 users, realistic strings"},
    {kConfDetailShort, "conference detail, 20 users, short strings"},
    {kUserList100, "user list, 100 users"},
    {kUserList1000, "user list, 1 000 users"},
    {kKick, "kick request, 3 ids"},
};

void PrintTable(const Collector& c) {
  const benchmark::CPUInfo& cpu = benchmark::CPUInfo::Get();
  std::printf("\n## Table of this run\n\n%s, %d cores at %.0f MHz; %s; msgpack-cxx %s.\n",
              CpuModel().c_str(), cpu.num_cpus, cpu.cycles_per_second / 1e6,
#if defined(__clang__)
              "clang " __clang_version__,
#elif defined(__GNUC__)
              "g++ " __VERSION__,
#else
              "compiler unknown",
#endif
              MSGPACK_VERSION);
  std::printf(
      "CPU time per operation%s.\n\n",
      c.Find(kDecode, kKick, kOurs) != nullptr && c.Find(kDecode, kKick, kOurs)->cpu_ns.size() > 1
          ? ", median of the repetitions (their range)"
          : "");

  Row({"body", "bytes", "ours", "msgpack-cxx", "string floor", "memcpy", "ours vs msgpack-cxx",
       "ours vs floor"});
  Row({"---", "---:", "---:", "---:", "---:", "---:", "---:", "---:"});
  for (const Body& b : kDecodeBodies) {
    const Result* ours = c.Find(kDecode, b.key, kOurs);
    if (ours == nullptr) continue;
    const Result* peer = c.Find(kDecode, b.key, kPeer);
    const Result* floor = c.Find(kDecode, b.key, kFloor);
    Row({std::string("decode ") + b.label, Count(ours->bytes), TimeCell(ours), TimeCell(peer),
         TimeCell(floor), TimeCell(c.Find(kDecode, b.key, kMemcpy)), Faster(ours, peer) + " faster",
         Times(ours, floor)});
  }
  for (const Body& b : kDecodeBodies) {
    const Result* ours = c.Find(kEncode, b.key, kOurs);
    if (ours == nullptr) continue;
    const Result* peer = c.Find(kEncode, b.key, kPeer);
    Row({std::string("encode ") + b.label, Count(ours->bytes), TimeCell(ours), TimeCell(peer), "",
         "", Faster(ours, peer) + " faster", ""});
  }

  const Result* d100 = c.Find(kDecode, kUserList100, kOurs);
  const Result* d1000 = c.Find(kDecode, kUserList1000, kOurs);
  if (d100 != nullptr && d1000 != nullptr) {
    const Result* p100 = c.Find(kDecode, kUserList100, kPeer);
    const Result* p1000 = c.Find(kDecode, kUserList1000, kPeer);
    std::printf(
        "\nScaling: decoding 1 000 users costs %s decoding 100 (msgpack-cxx: %s; the body "
        "grows %s).\n",
        Times(d1000, d100).c_str(), Times(p1000, p100).c_str(),
        Format("%.2fx", d1000->bytes / d100->bytes).c_str());
  }

  std::printf("\nEncode of every request model (the body of each adaptor request):\n\n");
  Row({"request model", "bytes", "ours", "msgpack-cxx", "ours vs msgpack-cxx", "allocations"});
  Row({"---", "---:", "---:", "---:", "---:", "---:"});
  std::vector<std::pair<double, std::string>> ratios;
  for (const std::string& model : RequestModelNames()) {
    const Result* ours = c.Find(kEncodeRequest, model, kOurs);
    const Result* peer = c.Find(kEncodeRequest, model, kPeer);
    if (ours == nullptr) continue;
    Row({model, Count(ours->bytes), TimeCell(ours), TimeCell(peer), Faster(ours, peer),
         Count(ours->allocations)});
    if (peer != nullptr) ratios.emplace_back(peer->Median() / ours->Median(), model);
  }
  if (!ratios.empty()) {
    const auto range = std::minmax_element(ratios.begin(), ratios.end());
    std::printf("\nRequest models: ours is %s to %s faster than msgpack-cxx (slowest gain: %s).\n",
                Format("%.2fx", range.first->first).c_str(),
                Format("%.2fx", range.second->first).c_str(), range.first->second.c_str());
  }

  std::printf("\nAllocations per operation:\n\n");
  Row({"operation", "allocations", "time"});
  Row({"---", "---:", "---:"});
  const struct {
    const char* label;
    const Result* result;
  } allocation_rows[] = {
      {"decode, realistic detail", c.Find(kDecode, kConfDetailRealistic, kOurs)},
      {"decode, short-string detail", c.Find(kDecode, kConfDetailShort, kOurs)},
      {"encode, realistic detail (output not pre-sized)",
       c.Find(kEncode, kConfDetailRealistic, kOurs)},
      {"encode, kick request", c.Find(kEncode, kKick, kOurs)},
      {"full request, small answer (`KickMembers`)", c.Find(kRequest, kKickSmallAnswer, kOurs)},
      {"full request, large answer (`GetConfDetail`)",
       c.Find(kRequest, kConfDetailLargeAnswer, kOurs)},
  };
  for (const auto& row : allocation_rows) {
    if (row.result != nullptr)
      Row({row.label, Count(row.result->allocations), TimeCell(row.result)});
  }
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  bench::RegisterCodecBenchmarks();
  bench::RegisterRequestBenchmarks();
  bench::Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  bench::PrintTable(collector);
  benchmark::Shutdown();
  return 0;
}
