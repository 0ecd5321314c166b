// Replays every input kept for the fuzz targets of the simulator's request decoding, the
// demo's script parser and the traffic-file reader through the targets' own checks, so inputs
// a fuzzer once found stay fixed in builds without clang.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "faults/script_check.h"
#include "faults/sim_input_check.h"

namespace {

using Check = std::string (*)(const uint8_t* data, size_t size);

struct Corpus {
  const char* name;  // the folder under fuzz/corpus
  Check check;
  size_t at_least;  // seeds alone are more: fewer means a broken checkout
};

void PrintTo(const Corpus& corpus, std::ostream* os) {
  *os << corpus.name;
}

class FuzzReplay : public ::testing::TestWithParam<Corpus> {};

TEST_P(FuzzReplay, EveryKeptInputPassesItsTargetsCheck) {
  const Corpus& corpus = GetParam();
  size_t files = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(FUZZ_CORPUS_DIR) + "/" + corpus.name)) {
    if (!entry.is_regular_file()) continue;
    ++files;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(corpus.check(reinterpret_cast<const uint8_t*>(input.data()), input.size()), "")
        << entry.path().filename();
  }
  EXPECT_GE(files, corpus.at_least) << corpus.name;
}

INSTANTIATE_TEST_SUITE_P(
    Targets, FuzzReplay,
    ::testing::Values(Corpus{"sim_request", fuzz_check::CheckSimulatorRequest, 25},
                      Corpus{"script", fuzz_check::CheckScript, 5},
                      Corpus{"traffic", fuzz_check::CheckTrafficFile, 8}),
    [](const ::testing::TestParamInfo<Corpus>& info) { return std::string(info.param.name); });

}  // namespace
