// Replays every input kept in fuzz/corpus/ through the fuzz target's check, so inputs the
// fuzzer once found stay fixed in builds without clang.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/codec_bytes.h"
#include "support/codec_roundtrip.h"

namespace {

TEST(CorpusReplayTest, EveryKeptInputPassesTheRoundTripCheck) {
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(CODEC_CORPUS_DIR)) {
    if (!entry.is_regular_file()) continue;
    ++files;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string body{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(codec_test::CheckDecodeRoundTrip(body), "")
        << entry.path().filename() << ": " << codec_test::Hex(body);
  }
  // The seed inputs alone are more than this; an empty or missing folder is a broken build.
  EXPECT_GE(files, 20u) << CODEC_CORPUS_DIR;
}

}  // namespace
