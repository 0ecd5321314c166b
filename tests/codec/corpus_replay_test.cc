// Replays every input kept in fuzz/corpus/ through the fuzz target's check, so inputs the
// fuzzer once found stay fixed in builds without clang.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/codec_bytes.h"
#include "support/codec_roundtrip.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> CorpusFiles() {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(CODEC_CORPUS_DIR)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(CorpusReplayTest, EveryKeptInputPassesTheRoundTripCheck) {
  const std::vector<fs::path> files = CorpusFiles();
  // The seed inputs alone are more than this; an empty or missing folder is a broken build.
  ASSERT_GE(files.size(), 20u) << CODEC_CORPUS_DIR;
  for (const fs::path& file : files) {
    const std::string body = ReadFile(file);
    EXPECT_EQ(codec_test::CheckDecodeRoundTrip(body), "")
        << file.filename() << ": " << codec_test::Hex(body);
  }
}

}  // namespace
