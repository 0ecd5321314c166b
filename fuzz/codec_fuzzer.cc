// Decodes arbitrary bytes into models with every field type (and a few adaptor models), in
// every way the codec can be driven, and checks that the ways agree and that whatever decoded
// re-encodes stably. The same check replays fuzz/corpus/codec/ in the ordinary test suite.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/codec_roundtrip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  const std::string complaint = codec_test::CheckDecodeRoundTrip(body);
  if (!complaint.empty()) {
    std::fprintf(stderr, "codec round trip broken: %s\n", complaint.c_str());
    std::abort();
  }
  return 0;
}
