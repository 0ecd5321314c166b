// rtc_bench's main: Google Benchmark's run and console output, then the table of
// docs/performance.md computed from this run's results: per cell the median over the
// repetitions and, when there are several, their range.
#include <benchmark/benchmark.h>
#include <msgpack/version.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#include <cpuid.h>
#define BENCH_HAVE_CPUID 1
#endif

#include "benchmarks.h"
#include "contest.h"

namespace bench {
namespace {

// Every repetition's counters (and CPU time per iteration) of one benchmark.
struct Samples {
  std::vector<std::map<std::string, double>> runs;

  std::vector<double> Values(const std::string& counter) const {
    std::vector<double> values;
    for (const auto& run : runs) {
      const auto it = run.find(counter);
      if (it != run.end()) values.push_back(it->second);
    }
    std::sort(values.begin(), values.end());
    return values;
  }
};

constexpr char kCpuTime[] = "cpu ns";

class Collector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      std::map<std::string, double> values;
      for (const auto& counter : run.counters) values[counter.first] = counter.second.value;
      values[kCpuTime] =
          run.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
      results_[run.benchmark_name()].runs.push_back(std::move(values));
    }
    ConsoleReporter::ReportRuns(runs);
  }

  std::vector<double> Values(const std::string& benchmark, const std::string& counter) const {
    const auto it = results_.find(benchmark);
    return it == results_.end() ? std::vector<double>() : it->second.Values(counter);
  }

 private:
  std::map<std::string, Samples> results_;
};

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

std::string Ratio(double r) {
  return Format("%.2fx", r);
}

// Allocations per operation: whole numbers unless they are not.
std::string Count(double value) {
  std::string text = Format("%.2f", value);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

// The median, and with several repetitions their range.
template <typename Show>
std::string Cell(const std::vector<double>& v, Show&& show) {
  if (v.empty()) return "";
  std::string cell = show(Median(v));
  if (v.size() > 1 && v.front() != v.back())
    cell += " (" + show(v.front()) + " to " + show(v.back()) + ")";
  return cell;
}

void Row(const std::vector<std::string>& cells) {
  std::string line = "|";
  for (const std::string& cell : cells) line += " " + cell + " |";
  std::printf("%s\n", line.c_str());
}

// The model name of the processor: /proc/cpuinfo where there is one, else the brand string the
// processor reports.
std::string CpuModel() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.compare(0, 10, "model name") != 0) continue;
    const size_t colon = line.find(':');
    if (colon != std::string::npos) return line.substr(line.find_first_not_of(' ', colon + 1));
  }
#if defined(BENCH_HAVE_CPUID)
  unsigned regs[12] = {};
  if (__get_cpuid_max(0x80000000u, nullptr) >= 0x80000004u) {
    for (unsigned i = 0; i < 3; ++i)
      __get_cpuid(0x80000002u + i, &regs[4 * i], &regs[4 * i + 1], &regs[4 * i + 2],
                  &regs[4 * i + 3]);
    char brand[sizeof regs + 1] = {};
    std::memcpy(brand, regs, sizeof regs);
    std::string model(brand);
    const size_t start = model.find_first_not_of(' ');
    if (start != std::string::npos) return model.substr(start);
  }
#endif
  return "CPU model unknown";
}

struct Body {
  const char* key;
  const char* label;
};

constexpr Body kBodies[] = {
    {kConfDetailRealistic, "conference detail, 20 users, realistic strings"},
    {kConfDetailShort, "conference detail, 20 users, short strings"},
    {kUserList100, "user list, 100 users"},
    {kUserList1000, "user list, 1 000 users"},
    {kKick, "kick request, 3 ids"},
};

std::string Name(const char* operation, const std::string& body) {
  return std::string(operation) + "/" + body;
}

std::string Allocs(const char* implementation) {
  return std::string(implementation) + " allocs";
}

std::string Over(const char* numerator, const char* denominator) {
  return std::string(numerator) + "/" + denominator;
}

void PrintTable(const Collector& c, const std::string& command) {
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
  const size_t repetitions = c.Values(Name(kEncode, kKick), kOurs).size();
  std::printf("Command: `%s`.\n", command.c_str());
  std::printf(
      "Time per operation: each body's implementations run in alternating blocks (the median "
      "block); a ratio is the median over rounds of two blocks run one after the other.%s\n\n",
      repetitions > 1
          ? Format(" Median of %.0f repetitions, their range in parentheses.", repetitions).c_str()
          : "");

  const auto time = [](double ns) { return Time(ns); };
  const auto ratio = [](double r) { return Ratio(r); };
  const auto faster = [](double r) { return Ratio(r) + " faster"; };

  Row({"body", "bytes", "ours", "msgpack-cxx", "string floor", "memcpy", "ours vs msgpack-cxx",
       "ours vs floor"});
  Row({"---", "---:", "---:", "---:", "---:", "---:", "---:", "---:"});
  for (const Body& b : kBodies) {
    const std::string name = Name(kDecode, b.key);
    const auto bytes = c.Values(name, "body_bytes");
    if (bytes.empty()) continue;
    Row({std::string("decode ") + b.label, Count(bytes.front()), Cell(c.Values(name, kOurs), time),
         Cell(c.Values(name, kPeer), time), Cell(c.Values(name, kFloor), time),
         Cell(c.Values(name, kMemcpy), time), Cell(c.Values(name, Over(kPeer, kOurs)), faster),
         Cell(c.Values(name, Over(kOurs, kFloor)), ratio)});
  }
  for (const Body& b : kBodies) {
    const std::string name = Name(kEncode, b.key);
    const auto bytes = c.Values(name, "body_bytes");
    if (bytes.empty()) continue;
    Row({std::string("encode ") + b.label, Count(bytes.front()), Cell(c.Values(name, kOurs), time),
         Cell(c.Values(name, kPeer), time), Cell(c.Values(name, kFloor), time), "",
         Cell(c.Values(name, Over(kPeer, kOurs)), faster),
         Cell(c.Values(name, Over(kOurs, kFloor)), ratio)});
  }

  const std::string scaling = Name(kDecodeScaling, kUserList);
  if (!c.Values(scaling, kScaling1000).empty()) {
    std::printf(
        "\nScaling: decoding 1 000 users costs %s decoding one 100-user body again and again, "
        "and %s decoding ten 100-user bodies in turn that hold the same 1 000 users (the body "
        "grows 10x).\n",
        Cell(c.Values(scaling, Over(kScaling1000, kScaling100)), ratio).c_str(),
        Cell(c.Values(scaling, Over(kScaling1000, kScalingTen100)), ratio).c_str());
  }

  std::printf("\nEncode of every request model (the body of each adaptor request):\n\n");
  Row({"request model", "bytes", "ours", "msgpack-cxx", "string floor", "ours vs msgpack-cxx",
       "ours vs floor", "allocations"});
  Row({"---", "---:", "---:", "---:", "---:", "---:", "---:", "---:"});
  std::vector<std::pair<double, std::string>> medians;
  std::vector<double> over_floor;
  double lowest = 0;
  for (const std::string& model : RequestModelNames()) {
    const std::string name = Name(kEncodeRequest, model);
    const auto bytes = c.Values(name, "body_bytes");
    if (bytes.empty()) continue;
    const auto ratios = c.Values(name, Over(kPeer, kOurs));
    if (ratios.empty()) continue;
    const auto floor = c.Values(name, Over(kOurs, kFloor));
    Row({model, Count(bytes.front()), Cell(c.Values(name, kOurs), time),
         Cell(c.Values(name, kPeer), time), Cell(c.Values(name, kFloor), time), Cell(ratios, ratio),
         Cell(floor, ratio),
         Cell(c.Values(name, Allocs(kOurs)), [](double v) { return Count(v); })});
    medians.emplace_back(Median(ratios), model);
    if (!floor.empty()) over_floor.push_back(Median(floor));
    lowest = medians.size() == 1 ? ratios.front() : std::min(lowest, ratios.front());
  }
  if (!medians.empty()) {
    const auto range = std::minmax_element(medians.begin(), medians.end());
    std::printf(
        "\nRequest models: ours is %s to %s faster than msgpack-cxx (slowest gain: %s; lowest "
        "single repetition of any model: %s).\n",
        Ratio(range.first->first).c_str(), Ratio(range.second->first).c_str(),
        range.first->second.c_str(), Ratio(lowest).c_str());
  }
  if (!over_floor.empty()) {
    const auto range = std::minmax_element(over_floor.begin(), over_floor.end());
    std::printf("Ours costs %s to %s the string floor (one new string of the finished body).\n",
                Ratio(*range.first).c_str(), Ratio(*range.second).c_str());
  }

  std::printf("\nAllocations per operation:\n\n");
  Row({"operation", "allocations", "time"});
  Row({"---", "---:", "---:"});
  const struct {
    const char* label;
    std::string benchmark;
    std::string allocations;
    std::string time;
  } rows[] = {
      {"decode, realistic detail", Name(kDecode, kConfDetailRealistic), Allocs(kOurs), kOurs},
      {"decode, short-string detail", Name(kDecode, kConfDetailShort), Allocs(kOurs), kOurs},
      {"encode, realistic detail", Name(kEncode, kConfDetailRealistic), Allocs(kOurs), kOurs},
      {"encode, kick request", Name(kEncode, kKick), Allocs(kOurs), kOurs},
      {"full request, small answer (`KickMembers`)", Name(kRequest, kKickSmallAnswer) + "/" + kOurs,
       "allocs/op", kCpuTime},
      {"full request, large answer (`GetConfDetail`)",
       Name(kRequest, kConfDetailLargeAnswer) + "/" + kOurs, "allocs/op", kCpuTime},
  };
  for (const auto& row : rows) {
    const auto allocations = c.Values(row.benchmark, row.allocations);
    if (allocations.empty()) continue;
    Row({row.label, Cell(allocations, [](double v) { return Count(v); }),
         Cell(c.Values(row.benchmark, row.time), time)});
  }
}

}  // namespace
}  // namespace bench

namespace {

// --operations=<benchmark>/<implementation>:<count>, e.g. encode/kick-3/ours:1000: that many
// operations and nothing else, for counting instructions under callgrind (the difference of two
// counts, divided by the difference of the operations, is what one operation costs).
int RunOperations(const std::string& request) {
  const size_t colon = request.rfind(':');
  const size_t slash = request.rfind('/', colon);
  if (colon == std::string::npos || slash == std::string::npos) {
    std::fprintf(stderr, "--operations wants <benchmark>/<implementation>:<count>\n");
    return 2;
  }
  const long long count = std::atoll(request.c_str() + colon + 1);
  if (!bench::RunOperations(request.substr(0, slash), request.substr(slash + 1, colon - slash - 1),
                            count)) {
    std::fprintf(stderr, "no benchmark implementation %s\n", request.substr(0, colon).c_str());
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = "rtc_bench";
  for (int i = 1; i < argc; ++i) command += std::string(" ") + argv[i];
  constexpr char kOperations[] = "--operations=";
  if (argc == 2 && std::strncmp(argv[1], kOperations, sizeof kOperations - 1) == 0) {
    bench::RegisterCodecBenchmarks();
    return RunOperations(argv[1] + sizeof kOperations - 1);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  bench::RegisterCodecBenchmarks();
  bench::RegisterRequestBenchmarks();
  bench::Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  bench::PrintTable(collector, command);
  benchmark::Shutdown();
  return 0;
}
