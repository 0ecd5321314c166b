// Bodies built to hurt a decoder: truncation at every byte, declared lengths with nothing
// behind them, lengths that wrap size arithmetic, deep nesting under unknown keys, reserved
// bytes. None may crash, hang or allocate more than the bytes actually present can justify.
// This binary counts every heap allocation of the process (counting_new.cc).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "counting_new.h"
#include "rtc/rtc_models.h"
#include "support/codec_all_types.h"
#include "support/codec_bytes.h"
#include "support/codec_roundtrip.h"
#include "tessel/idl/model.h"

namespace {

using codec_test::AllModel;
using codec_test::Bytes;
using codec_test::g_allocations;
using codec_test::g_bytes;
using codec_test::g_counting;
using codec_test::Hex;

struct Outcome {
  bool ok = false;
  bool unknown = false;
  size_t allocations = 0;
  size_t bytes = 0;
};

// Decodes a fresh model, counting only what the decode itself allocates. `streamed` reads
// through a plain callback, where the decoder cannot see how many bytes are left.
template <typename M>
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

// Where a hostile value is placed inside an AllModel body.
const struct {
  const char* name;
  const char* prefix;
} kPlaces[] = {
    {"the body", ""},
    {"a text", "81 01"},
    {"an int", "81 02"},
    {"a list of texts", "81 06"},
    {"a list of models", "81 07"},
    {"a nested model", "81 08"},
    {"an unknown key", "81 09"},
};

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(HostileTest, HugeDeclaredLengthsWithNothingBehindThem) {
  const std::vector<std::string> values = {
      "db ff ff ff ff", "dd ff 00 00 00", "dc ff ff", "de ff ff", "df ff ff ff ff",
      "c6 ff ff ff ff", "c9 ff ff ff ff 01", "d9 ff",
      // Lengths that wrap 32-bit size arithmetic when added to a position or multiplied.
      "db 10 00 00 01", "db 40 00 00 00", "db 80 00 00 00", "dd 10 00 00 01", "dd 40 00 00 00",
      "dd 80 00 00 00", "df 40 00 00 00", "df 80 00 00 00", "df 10 00 00 01",
      // Chains: each header promises more than the rest of the body.
      Repeat("dd ff ff ff ff ", 500), Repeat("df ff ff ff ff ", 500),
      Repeat("dc ff ff ", 500) + "db ff ff ff ff", Repeat("de ff ff 01 ", 300)};
  for (const auto& place : kPlaces) {
    for (const std::string& value : values) {
      SCOPED_TRACE(std::string(place.name) + ": " + value.substr(0, 40));
      const std::string body = Bytes(std::string(place.prefix) + " " + value);
      for (bool streamed : {false, true}) {
        const Outcome o = Decode<AllModel>(body, streamed);
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

TEST(HostileTest, FiveByteBodiesAllocateAtMostOneElement) {
  const struct {
    const char* hex;
    size_t bytes;
  } cases[] = {
      {"db ff ff ff ff", 0},
      {"dd ff 00 00 00", 0},
      {"df ff ff ff ff", 0},
      {"81 01 da ff ff", 0},
      {"81 07 dd ff ff", 0},  // the header itself is cut
      {"81 06 dc ff ff", sizeof(std::string)},
      {"81 07 dc ff ff", sizeof(codec_test::InnerModel)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hex);
    const Outcome o = Decode<AllModel>(Bytes(c.hex));
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.bytes, c.bytes);
  }
}

TEST(HostileTest, ListReservationIsCappedByTheBytesLeft) {
  // 1 000 nil elements behind a count of 2^32 - 1: the list reserves no more memory than eight
  // bytes per body byte left (plus the one element decoded in place), never for the count, even
  // though each element is a large model.
  const std::string body = Bytes("81 01 dd ff ff ff ff") + std::string(1000, '\xc0');
  const Outcome o = Decode<rtc::ListConfUserRspModel>(body);
  EXPECT_FALSE(o.ok);
  EXPECT_LE(o.bytes, 8 * 1000 + 2 * sizeof(rtc::ConfUserModel));
  EXPECT_GE(o.bytes, 1u);  // it does reserve, just not unboundedly
}

TEST(HostileTest, EveryPrefixOfAValidBodyFailsCleanly) {
  AllModel full;
  full.text.Set(std::string(40, 't'));
  full.small.Set(-33);
  full.wide.Set(INT64_MIN);
  full.flag.Set(true);
  full.real.Set(1.5f);
  full.texts.Set({"a", std::string(300, 'b')});
  full.inners.value.resize(2);
  full.inners.value[1].texts.Set({"c"});
  full.inners.has_value = true;
  full.inner.value.number.Set(70000);
  full.inner.has_value = true;
  const std::string body = tessel::idl::Packb(full);
  const Outcome whole = Decode<AllModel>(body);
  ASSERT_TRUE(whole.ok);
  for (size_t n = 0; n < body.size(); ++n) {
    SCOPED_TRACE(n);
    const std::string prefix = body.substr(0, n);
    for (bool streamed : {false, true}) {
      const Outcome o = Decode<AllModel>(prefix, streamed);
      EXPECT_FALSE(o.ok);
      EXPECT_LE(o.bytes, whole.bytes + 256) << "streamed=" << streamed;
    }
    EXPECT_EQ(codec_test::CheckDecodeRoundTrip(prefix), "");
  }
}

TEST(HostileTest, DeepNestingUnderAnUnknownKeyIsSkippedWithoutRecursion) {
  const int kDepth = 100000;
  const struct {
    const char* name;
    std::string open;
  } nests[] = {
      {"arrays", "\x91"},
      {"maps", std::string("\x81\x01", 2)},
      {"map keys", "\x81"},  // each map's key is the next map, its value comes after
      {"wide headers", std::string("\xdc\x00\x01", 3)},
  };
  for (const auto& nest : nests) {
    SCOPED_TRACE(nest.name);
    std::string complete = Bytes("82 09") + Repeat(nest.open, kDepth);
    if (std::string(nest.name) == "map keys") {
      complete += std::string(kDepth + 1, '\xc0');  // the innermost key, then every value
    } else {
      complete += '\xc0';
    }
    complete += Bytes("01 a1 7a");
    for (bool streamed : {false, true}) {
      const Outcome o = Decode<AllModel>(complete, streamed);
      EXPECT_TRUE(o.ok) << "streamed=" << streamed;
      EXPECT_TRUE(o.unknown);
      EXPECT_EQ(o.allocations, 0u);
    }
    // Cut anywhere inside the nesting: a clean failure.
    for (size_t cut : {complete.size() - 4, complete.size() / 2, size_t{3}}) {
      const Outcome o = Decode<AllModel>(complete.substr(0, cut));
      EXPECT_FALSE(o.ok) << cut;
      EXPECT_EQ(o.allocations, 0u);
    }
    EXPECT_EQ(codec_test::CheckDecodeRoundTrip(complete), "");
  }
}

TEST(HostileTest, TruncatedFixedWidthValues) {
  const char* values[] = {"cc",          "cd",
                          "cd 01",       "ce 00",
                          "ce 00 00 00", "cf 00 00 00 00 00 00 00",
                          "d0",          "d1 00",
                          "d2 00 00",    "d3 00 00 00 00 00 00 00",
                          "ca 00 00",    "cb 00 00 00 00 00 00 00",
                          "d4",          "d5",
                          "d6",          "d7",
                          "d8",          "d4 01",
                          "c7",          "c7 01",
                          "c8 00",       "c9 00 00 00",
                          "c4",          "c5 00",
                          "c6 00 00",    "d9",
                          "da 00",       "db 00 00 00",
                          "dc 00",       "dd 00 00",
                          "de 00",       "df 00 00 00"};
  for (const auto& place : kPlaces) {
    for (const char* value : values) {
      SCOPED_TRACE(std::string(place.name) + ": " + value);
      const std::string body = Bytes(std::string(place.prefix) + " " + value);
      for (bool streamed : {false, true}) {
        const Outcome o = Decode<AllModel>(body, streamed);
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.allocations, 0u);
      }
      EXPECT_EQ(codec_test::CheckDecodeRoundTrip(body), "");
    }
  }
}

TEST(HostileTest, ReservedByteAnywhere) {
  for (const char* hex : {"c1", "81 c1 01", "81 01 c1", "81 09 c1", "81 09 91 c1", "81 09 81 c1 01",
                          "81 06 91 c1", "81 07 91 c1", "81 08 81 c1 01", "81 08 81 01 c1"}) {
    SCOPED_TRACE(hex);
    const Outcome o = Decode<AllModel>(Bytes(hex));
    EXPECT_FALSE(o.ok);
    EXPECT_LE(o.allocations, 1u);  // the list element the reserved byte was to become
    AllModel model;
    tessel::idl::BufferSource source{nullptr, 0, 0};
    const std::string body = Bytes(hex);
    source.data = body.data();
    source.size = body.size();
    tessel::idl::MsgpackContext ctx = tessel::idl::MakeReadContext(&source);
    bool is_nil = false;
    EXPECT_FALSE(model.Unpack(&ctx, &is_nil, nullptr));
    EXPECT_EQ(int{ctx.error}, tessel::idl::kMsgpackInvalid);
  }
}

TEST(HostileTest, MapAndArrayCountsLargerThanTheirEntries) {
  const struct {
    const char* hex;
    const char* kept;  // what the decode left behind, re-encoded
  } cases[] = {
      {"8f 01 a1 61", "81 01 a1 61"},
      {"df ff ff ff ff 01 a1 61 02 05", "82 01 a1 61 02 05"},
      {"de 00 03 02 05", "81 02 05"},
      {"81 06 dd ff ff ff ff a1 61 a1 62", "80"},
      {"82 02 05 07 9f 80 81 01 01", "81 02 05"},
      {"81 08 8f 01 07", "80"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hex);
    AllModel model;
    EXPECT_FALSE(model.Unpackb(Bytes(c.hex), nullptr));
    EXPECT_FALSE(model.valid);
    EXPECT_EQ(Hex(tessel::idl::Packb(model)), c.kept);
    EXPECT_EQ(codec_test::CheckDecodeRoundTrip(Bytes(c.hex)), "");
  }
}

}  // namespace
