// msgpack-cxx as an independent oracle over randomised models (fixed seeds): what we write,
// msgpack-cxx reads as the same values; what msgpack-cxx writes, in every legal header width
// and with keys in any order, we read as the same model.
#include <gtest/gtest.h>

#include <msgpack.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/codec_all_types.h"

namespace {

using codec_test::All;
using codec_test::AllModel;
using codec_test::Inner;
using Rng = std::mt19937_64;
using Packer = msgpack::packer<msgpack::sbuffer>;

int64_t RandomInt(Rng& rng) {
  static const int64_t kEdges[] = {
      0,    127,  128,    255,    256,       65535,     65536,     -1,        -32,      -33,
      -128, -129, -32768, -32769, INT32_MAX, INT32_MIN, 1ll << 32, INT64_MAX, INT64_MIN};
  return rng() % 2 ? kEdges[rng() % (sizeof kEdges / sizeof kEdges[0])]
                   : static_cast<int64_t>(rng()) >> (rng() % 64);
}

std::string RandomText(Rng& rng) {
  static const size_t kLengths[] = {0, 1, 31, 32, 255, 256, 65535, 65536};
  const size_t n = rng() % 3 == 0 ? kLengths[rng() % 8] : rng() % 40;
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

Inner RandomInner(Rng& rng) {
  Inner inner;
  inner.number = static_cast<int32_t>(RandomInt(rng));
  inner.text = RandomText(rng);
  inner.texts.resize(rng() % 18);
  for (auto& t : inner.texts) t = RandomText(rng);
  return inner;
}

All RandomAll(Rng& rng) {
  All all;
  all.text = RandomText(rng);
  all.small = static_cast<int32_t>(RandomInt(rng));
  all.wide = RandomInt(rng);
  all.flag = rng() % 2 == 0;
  all.real = static_cast<float>(RandomInt(rng)) / 7.0f;
  all.texts.resize(rng() % 18);
  for (auto& t : all.texts) t = RandomText(rng);
  all.inners.resize(rng() % 4);
  for (auto& i : all.inners) i = RandomInner(rng);
  all.inner = RandomInner(rng);
  return all;
}

Inner InnerFrom(const msgpack::object& o) {
  Inner inner;
  for (uint32_t i = 0; i < o.via.map.size; ++i) {
    const auto& kv = o.via.map.ptr[i];
    switch (kv.key.as<int>()) {
      case 1:
        kv.val.convert(inner.number);
        break;
      case 2:
        kv.val.convert(inner.text);
        break;
      case 3:
        kv.val.convert(inner.texts);
        break;
      default:
        ADD_FAILURE() << "unexpected key";
    }
  }
  return inner;
}

TEST(OracleTest, MsgpackCxxReadsWhatWeWrite) {
  Rng rng(20261206);
  for (int round = 0; round < 300; ++round) {
    const All all = RandomAll(rng);
    const std::string body = tessel::idl::Packb(tessel::idl::ToModel(all));
    msgpack::object_handle oh = msgpack::unpack(body.data(), body.size());
    const msgpack::object& o = oh.get();
    ASSERT_EQ(o.type, msgpack::type::MAP);
    ASSERT_EQ(o.via.map.size, 8u);
    All read;
    for (uint32_t i = 0; i < o.via.map.size; ++i) {
      const auto& kv = o.via.map.ptr[i];
      ASSERT_EQ(kv.key.as<int>(), static_cast<int>(i + 1)) << "keys in field order";
      switch (i + 1) {
        case 1:
          kv.val.convert(read.text);
          break;
        case 2:
          kv.val.convert(read.small);
          break;
        case 3:
          kv.val.convert(read.wide);
          break;
        case 4:
          kv.val.convert(read.flag);
          break;
        case 5:
          ASSERT_EQ(kv.val.type, msgpack::type::FLOAT32);
          kv.val.convert(read.real);
          break;
        case 6:
          kv.val.convert(read.texts);
          break;
        case 7:
          for (uint32_t j = 0; j < kv.val.via.array.size; ++j) {
            read.inners.push_back(InnerFrom(kv.val.via.array.ptr[j]));
          }
          break;
        case 8:
          read.inner = InnerFrom(kv.val);
          break;
      }
    }
    EXPECT_TRUE(read == all) << "round " << round;
  }
}

// msgpack-cxx's packer chooses its own header widths (str8 included); the widest legal forms
// are written by hand. Either way, and with keys shuffled, we read the same model.
void PackString(Packer& pk, msgpack::sbuffer& b, const std::string& s, bool widest) {
  if (!widest) {
    pk.pack(s);
    return;
  }
  const uint32_t n = static_cast<uint32_t>(s.size());
  const char header[5] = {static_cast<char>(0xdb), static_cast<char>(n >> 24),
                          static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                          static_cast<char>(n)};
  b.write(header, 5);
  pk.pack_str_body(s.data(), n);
}

void PackInt(Packer& pk, msgpack::sbuffer& b, int64_t v, bool widest) {
  if (!widest) {
    pk.pack(v);
    return;
  }
  pk.pack_fix_int64(v);
  (void)b;
}

// 32-bit container headers, the widest form, whatever the count.
void PackHeader(Packer& pk, msgpack::sbuffer& b, char marker, size_t n, bool widest, bool map) {
  if (!widest) {
    map ? pk.pack_map(static_cast<uint32_t>(n)) : pk.pack_array(static_cast<uint32_t>(n));
    return;
  }
  const char header[5] = {marker, static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                          static_cast<char>(n >> 8), static_cast<char>(n)};
  b.write(header, 5);
}

void PackInner(Packer& pk, msgpack::sbuffer& b, const Inner& inner, bool widest) {
  PackHeader(pk, b, static_cast<char>(0xdf), 3, widest, true);
  pk.pack(3);
  PackHeader(pk, b, static_cast<char>(0xdd), inner.texts.size(), widest, false);
  for (const auto& t : inner.texts) PackString(pk, b, t, widest);
  pk.pack(2), PackString(pk, b, inner.text, widest);
  pk.pack(1);
  if (widest) {
    pk.pack_fix_int32(inner.number);
  } else {
    pk.pack(inner.number);
  }
}

TEST(OracleTest, WeReadWhatMsgpackCxxWritesInEveryWidth) {
  Rng rng(7);
  for (int round = 0; round < 300; ++round) {
    const bool widest = round % 2 == 1;
    All all = RandomAll(rng);
    msgpack::sbuffer b;
    Packer pk(b);
    pk.pack_map(9);
    // Keys in reverse order, and an unknown key with a nil value.
    pk.pack(9), pk.pack_nil();
    pk.pack(8), PackInner(pk, b, all.inner, widest);
    pk.pack(7), PackHeader(pk, b, static_cast<char>(0xdd), all.inners.size(), widest, false);
    for (const auto& i : all.inners) PackInner(pk, b, i, widest);
    pk.pack(6), PackHeader(pk, b, static_cast<char>(0xdd), all.texts.size(), widest, false);
    for (const auto& t : all.texts) PackString(pk, b, t, widest);
    // msgpack-cxx writes whole-number floats as integers, which a float field refuses: the
    // float32 form by hand.
    uint32_t bits = 0;
    std::memcpy(&bits, &all.real, sizeof bits);
    const char real[5] = {static_cast<char>(0xca), static_cast<char>(bits >> 24),
                          static_cast<char>(bits >> 16), static_cast<char>(bits >> 8),
                          static_cast<char>(bits)};
    pk.pack(5), b.write(real, 5);
    pk.pack(4), pk.pack(all.flag);
    pk.pack(3), PackInt(pk, b, all.wide, widest);
    // int fields refuse int64 forms: the widest form an int accepts is int32.
    pk.pack(2);
    if (widest) {
      pk.pack_fix_int32(all.small);
    } else {
      pk.pack(all.small);
    }
    pk.pack(1), PackString(pk, b, all.text, widest);

    AllModel model;
    bool unknown = false;
    ASSERT_TRUE(model.Unpackb(std::string(b.data(), b.size()), &unknown)) << "round " << round;
    EXPECT_TRUE(unknown);
    EXPECT_TRUE(tessel::idl::ToRecord(model) == all) << "round " << round;
  }
}

}  // namespace
