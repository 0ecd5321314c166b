// Bodies built to hurt a decoder: truncation at every byte, declared lengths with nothing
// behind them, lengths that wrap size arithmetic, deep nesting under unknown keys, reserved
// bytes. None may crash, hang or allocate more than the bytes actually present can justify.
// This binary replaces the global operator new to count every heap allocation of the process.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "rtc/rtc_models.h"
#include "support/codec_all_types.h"
#include "support/codec_bytes.h"
#include "support/codec_roundtrip.h"
#include "tessel/idl/model.h"

// Every allocation here comes from malloc, whatever operator new the compiler sees paired.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<bool> g_counting{false};
std::atomic<size_t> g_allocations{0};
std::atomic<size_t> g_bytes{0};
}  // namespace

void* operator new(std::size_t size) {
  if (g_counting.load(std::memory_order_relaxed)) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    g_bytes.fetch_add(size, std::memory_order_relaxed);
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return ::operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

using codec_test::AllModel;
using codec_test::Bytes;
using codec_test::Hex;

struct Outcome {
  bool ok = false;
  bool unknown = false;
  size_t allocations = 0;
  size_t bytes = 0;
};

// Decodes a fresh model, counting only what the decode itself allocates. `streamed` reads
// through a plain callback, where the decoder cannot see how many bytes are left.
template <typename M = AllModel>
Outcome Decode(const std::string& body, bool streamed = false) {
  M model;
  Outcome out;
  codec_test::StreamSource source{body.data(), body.size(), 0};
  tessel::idl::MsgpackContext ctx = codec_test::StreamReadContext(&source);
  bool is_nil = false;
  g_allocations = 0;
  g_bytes = 0;
  g_counting = true;
  out.ok = streamed ? model.Unpack(&ctx, &is_nil, &out.unknown) : model.Unpackb(body, &out.unknown);
  g_counting = false;
  out.allocations = g_allocations;
  out.bytes = g_bytes;
  return out;
}

// Where a hostile value is placed inside an AllModel body: the body itself, a text, an int, a
// list of texts, a list of models, a nested model, an unknown key.
const char* const kPlaces[] = {"", "81 01", "81 02", "81 06", "81 07", "81 08", "81 09"};

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(HostileTest, HugeDeclaredLengthsWithNothingBehindThem) {
  const std::vector<std::string> values = {
      "db ff ff ff ff", "dd ff 00 00 00", "de ff ff", "c9 ff ff ff ff 01", "d9 ff",
      // Lengths that wrap 32-bit size arithmetic when added to a position or multiplied.
      "db 80 00 00 00", "dd 10 00 00 01", "dd 40 00 00 00", "df 80 00 00 00",
      // Chains: each header promises more than the rest of the body.
      Repeat("dd ff ff ff ff ", 500), Repeat("dc ff ff ", 500) + "db ff ff ff ff",
      Repeat("de ff ff 01 ", 300)};
  for (const char* place : kPlaces) {
    for (const std::string& value : values) {
      SCOPED_TRACE(std::string(place) + " " + value.substr(0, 40));
      const std::string body = Bytes(std::string(place) + " " + value);
      for (bool streamed : {false, true}) {
        const Outcome o = Decode(body, streamed);
        EXPECT_FALSE(o.ok);
        // From memory a list may reserve what the bytes left could hold (at least one element
        // is decoded in place); from a stream, one bounded step of a string or a list.
        EXPECT_LE(o.bytes, streamed ? 256u * 1024u : body.size() * sizeof(codec_test::InnerModel))
            << "streamed=" << streamed;
      }
      EXPECT_EQ(codec_test::CheckDecodeRoundTrip(body), "");
    }
  }
}

TEST(HostileTest, ListsReserveNoMoreThanTheBytesLeftCanHold) {
  // Five-byte bodies: at most the one element decoded in place (a cut header: nothing).
  const std::pair<const char*, size_t> cases[] = {
      {"df ff ff ff ff", 0},
      {"81 01 da ff ff", 0},
      {"81 07 dd ff ff", 0},
      {"81 06 dc ff ff", sizeof(std::string)},
      {"81 07 dc ff ff", sizeof(codec_test::InnerModel)}};
  for (const auto& [hex, bytes] : cases) {
    const Outcome o = Decode(Bytes(hex));
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.bytes, bytes) << hex;
  }
  // 1 000 nil elements behind a count of 2^32 - 1: eight bytes per body byte left at most, never
  // for the count, even though each element is a large model.
  const Outcome o =
      Decode<rtc::ListConfUserRspModel>(Bytes("81 01 dd ff ff ff ff") + std::string(1000, '\xc0'));
  EXPECT_FALSE(o.ok);
  EXPECT_LE(o.bytes, 8 * 1000 + 2 * sizeof(rtc::ConfUserModel));
  EXPECT_GE(o.bytes, 1u);  // it does reserve, just not unboundedly
}

TEST(HostileTest, EveryPrefixOfAValidBodyFailsCleanly) {
  codec_test::All full;  // every field present
  full.text = std::string(40, 't');
  full.wide = INT64_MIN;
  full.texts = {"a", std::string(300, 'b')};
  full.inners.resize(2);
  full.inners[1].texts = {"c"};
  const std::string body = tessel::idl::Packb(tessel::idl::ToModel(full));
  const Outcome whole = Decode(body);
  ASSERT_TRUE(whole.ok);
  for (size_t n = 0; n < body.size(); ++n) {
    SCOPED_TRACE(n);
    for (bool streamed : {false, true}) {
      const Outcome o = Decode(body.substr(0, n), streamed);
      EXPECT_FALSE(o.ok);
      EXPECT_LE(o.bytes, whole.bytes + 256) << "streamed=" << streamed;
    }
    EXPECT_EQ(codec_test::CheckDecodeRoundTrip(body.substr(0, n)), "");
  }
}

TEST(HostileTest, DeepNestingUnderAnUnknownKeyIsSkippedWithoutRecursion) {
  const int kDepth = 100000;
  // Arrays, maps, wide headers, and maps whose key is the next map (its value comes after).
  for (const char* open : {"91", "81 01", "dc 00 01", "81"}) {
    SCOPED_TRACE(open);
    const bool keys = std::string(open) == "81";
    const std::string complete = Bytes("82 09") + Repeat(Bytes(open), kDepth) +
                                 std::string(keys ? kDepth + 1 : 1, '\xc0') + Bytes("01 a1 7a");
    for (bool streamed : {false, true}) {
      const Outcome o = Decode(complete, streamed);
      EXPECT_TRUE(o.ok) << "streamed=" << streamed;
      EXPECT_TRUE(o.unknown);
      EXPECT_EQ(o.allocations, 0u);
    }
    for (size_t cut : {complete.size() - 4, complete.size() / 2, size_t{3}}) {
      const Outcome o = Decode(complete.substr(0, cut));
      EXPECT_FALSE(o.ok) << cut;
      EXPECT_EQ(o.allocations, 0u);
    }
    EXPECT_EQ(codec_test::CheckDecodeRoundTrip(complete), "");
  }
}

TEST(HostileTest, TruncatedFixedWidthValuesAndReservedBytes) {
  const char* values[] = {"cd 01",       "ce 00 00 00", "cf 00 00 00 00 00 00 00",
                          "d0",          "d3 00",       "ca 00 00",
                          "cb 00",       "d8",          "c7 01",
                          "c9 00 00 00", "c5 00",       "d9",
                          "da 00",       "db 00 00 00", "dc 00",
                          "df 00 00 00", "c1",          "91 c1",
                          "81 c1 01"};
  for (const char* place : kPlaces) {
    for (const char* value : values) {
      SCOPED_TRACE(std::string(place) + " " + value);
      const std::string body = Bytes(std::string(place) + " " + value);
      for (bool streamed : {false, true}) {
        const Outcome o = Decode(body, streamed);
        EXPECT_FALSE(o.ok);
        // A reserved byte may leave behind the list element it was to become.
        EXPECT_LE(o.allocations, std::string(value).find("c1") == std::string::npos ? 0u : 1u);
      }
      EXPECT_EQ(codec_test::CheckDecodeRoundTrip(body), "");
    }
  }
}

}  // namespace
