// Replays every input kept in fuzz/corpus/<target>/ through that fuzz target's check, so the
// seeds and every fault the fuzzers once found stay fixed in builds without clang.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include "support/codec_bytes.h"
#include "support/codec_roundtrip.h"
#include "support/json_check.h"
#include "support/response_check.h"

namespace {

struct Target {
  const char* name;  // the corpus folder
  std::string (*check)(const std::string& input);
  size_t at_least;  // the seeds alone are more: an empty or missing folder is a broken build
};

const Target kTargets[] = {
    {"codec", &codec_test::CheckDecodeRoundTrip, 20},
    {"response",
     [](const std::string& in) {
       return fuzz_check::CheckResponseHandling(reinterpret_cast<const uint8_t*>(in.data()),
                                                in.size());
     },
     20},
    {"json",
     [](const std::string& in) {
       return fuzz_check::CheckJsonConversion(reinterpret_cast<const uint8_t*>(in.data()),
                                              in.size());
     },
     15},
};

std::ostream& operator<<(std::ostream& os, const Target& target) { return os << target.name; }

class CorpusReplayTest : public ::testing::TestWithParam<Target> {};

TEST_P(CorpusReplayTest, EveryKeptInputPassesTheCheck) {
  const std::filesystem::path folder = std::filesystem::path(FUZZ_CORPUS_DIR) / GetParam().name;
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    ++files;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(GetParam().check(input), "")
        << entry.path().filename() << ": " << codec_test::Hex(input);
  }
  EXPECT_GE(files, GetParam().at_least) << folder;
}

INSTANTIATE_TEST_SUITE_P(FuzzTargets, CorpusReplayTest, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
