// msgpack-cxx as an independent oracle, over randomised models (fixed seeds):
// - what we write is byte for byte what msgpack-cxx's packer writes for the same values in the
//   forms the adaptors expect (smallest integers, old-style raw string headers), and msgpack-cxx
//   reads it back as the same values;
// - what msgpack-cxx writes in any legal header width, keys in any order, with nils and unknown
//   keys mixed in, we read as the same model;
// - integers in every width msgpack-cxx can write are accepted or refused by each integer field
//   exactly as the acceptance rules say.
#include <gtest/gtest.h>

#include <msgpack.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/codec_all_types.h"
#include "support/codec_bytes.h"
#include "support/codec_roundtrip.h"
#include "tessel/idl/model.h"

namespace {

using codec_test::AllModel;
using codec_test::Hex;
using codec_test::InnerModel;
using Packer = msgpack::packer<msgpack::sbuffer>;
using Rng = std::mt19937_64;

// ---- random models --------------------------------------------------------------------------

int64_t RandomInt(Rng& rng) {
  // Mostly values near a width boundary, some anywhere.
  static const int64_t kEdges[] = {
      0,         1,  127, 128, 255,  256,  65535,  65536,  INT32_MAX, 0xFFFFFFFFll,    1ll << 32,
      INT64_MAX, -1, -32, -33, -128, -129, -32768, -32769, INT32_MIN, INT32_MIN - 1ll, INT64_MIN};
  const int64_t edge = kEdges[rng() % (sizeof kEdges / sizeof kEdges[0])];
  switch (rng() % 4) {
    case 0:
      return edge;
    case 1:
      // One either side of the boundary, wrapping around at the ends of the range.
      return static_cast<int64_t>(static_cast<uint64_t>(edge) + rng() % 3 - 1);
    case 2:
      return static_cast<int64_t>(rng()) >> (rng() % 64);
    default:
      return static_cast<int64_t>(rng());
  }
}

std::string RandomString(Rng& rng) {
  static const size_t kLengths[] = {0, 1, 15, 31, 32, 33, 255, 256, 1000, 65535, 65536};
  size_t n = rng() % 4 == 0 ? kLengths[rng() % 11] : rng() % 40;
  if (n >= 65535 && rng() % 8 != 0) n = rng() % 300;  // keep the big ones rare
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

float RandomFloat(Rng& rng) {
  uint32_t bits = static_cast<uint32_t>(rng());
  if (rng() % 4 == 0) bits = 0x7fc00000u | (bits & 0x3fffffu);  // NaNs too
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

std::vector<std::string> RandomStrings(Rng& rng) {
  size_t n = rng() % 3 == 0 ? 14 + rng() % 4 : rng() % 5;
  if (rng() % 200 == 0) n = 65536;
  std::vector<std::string> v(n);
  for (auto& s : v) s = n > 100 ? std::string() : RandomString(rng);
  return v;
}

void RandomInner(Rng& rng, InnerModel* m) {
  if (rng() % 2) m->number.Set(static_cast<int>(RandomInt(rng)));
  if (rng() % 2) m->text.Set(RandomString(rng));
  if (rng() % 2) m->texts.Set(RandomStrings(rng));
}

AllModel RandomModel(Rng& rng) {
  AllModel m;
  if (rng() % 2) m.text.Set(RandomString(rng));
  if (rng() % 2) m.small.Set(static_cast<int>(RandomInt(rng)));
  if (rng() % 2) m.wide.Set(RandomInt(rng));
  if (rng() % 2) m.flag.Set(rng() % 2 == 0);
  if (rng() % 2) m.real.Set(RandomFloat(rng));
  if (rng() % 2) m.texts.Set(RandomStrings(rng));
  if (rng() % 2) {
    m.inners.value.resize(rng() % 3 == 0 ? 16 + rng() % 3 : rng() % 4);
    for (auto& e : m.inners.value) RandomInner(rng, &e);
    m.inners.has_value = true;
  }
  if (rng() % 2) {
    RandomInner(rng, &m.inner.value);
    m.inner.has_value = true;
  }
  return m;
}

// ---- msgpack-cxx in the adaptors' forms -----------------------------------------------------

// msgpack-cxx's pack_float and pack_double write integral values as integers; a float field
// takes only 0xca, so floats are written by hand with the bits msgpack-cxx would use.
void PackFloat32(msgpack::sbuffer& buffer, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  buffer.write("\xca", 1);
  buffer.write(codec_test::Be(bits, 4).data(), 4);
}

void PackFloat64(msgpack::sbuffer& buffer, double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  buffer.write("\xcb", 1);
  buffer.write(codec_test::Be(bits, 8).data(), 8);
}

void OraclePackStr(Packer& pk, const std::string& s) {
  pk.pack_v4raw(static_cast<uint32_t>(s.size()));  // 0xa0 / 0xda / 0xdb: no str8
  pk.pack_v4raw_body(s.data(), static_cast<uint32_t>(s.size()));
}

void OraclePackStrings(Packer& pk, const std::vector<std::string>& v) {
  pk.pack_array(static_cast<uint32_t>(v.size()));
  for (const auto& s : v) OraclePackStr(pk, s);
}

void OraclePackInner(Packer& pk, const InnerModel& m) {
  pk.pack_map(m.number.has_value + m.text.has_value + m.texts.has_value);
  if (m.number.has_value) pk.pack(1).pack_int64(m.number.value);
  if (m.text.has_value) pk.pack(2), OraclePackStr(pk, m.text.value);
  if (m.texts.has_value) pk.pack(3), OraclePackStrings(pk, m.texts.value);
}

std::string OraclePack(const AllModel& m) {
  msgpack::sbuffer buffer;
  Packer pk(buffer);
  pk.pack_map(m.text.has_value + m.small.has_value + m.wide.has_value + m.flag.has_value +
              m.real.has_value + m.texts.has_value + m.inners.has_value + m.inner.has_value);
  if (m.text.has_value) pk.pack(1), OraclePackStr(pk, m.text.value);
  if (m.small.has_value) pk.pack(2).pack_int(m.small.value);
  if (m.wide.has_value) pk.pack(3).pack_int64(m.wide.value);
  if (m.flag.has_value) pk.pack(4).pack(m.flag.value);
  if (m.real.has_value) pk.pack(5), PackFloat32(buffer, m.real.value);
  if (m.texts.has_value) pk.pack(6), OraclePackStrings(pk, m.texts.value);
  if (m.inners.has_value) {
    pk.pack(7).pack_array(static_cast<uint32_t>(m.inners.value.size()));
    for (const auto& e : m.inners.value) OraclePackInner(pk, e);
  }
  if (m.inner.has_value) pk.pack(8), OraclePackInner(pk, m.inner.value);
  return std::string(buffer.data(), buffer.size());
}

// ---- reading our bytes with msgpack-cxx -----------------------------------------------------

std::string AsString(const msgpack::object& o) {
  EXPECT_EQ(o.type, msgpack::type::STR);
  return o.type == msgpack::type::STR ? std::string(o.via.str.ptr, o.via.str.size) : "";
}

void ExpectStrings(const msgpack::object& o, const std::vector<std::string>& v) {
  ASSERT_EQ(o.type, msgpack::type::ARRAY);
  ASSERT_EQ(o.via.array.size, v.size());
  for (size_t i = 0; i < v.size(); ++i) EXPECT_EQ(AsString(o.via.array.ptr[i]), v[i]);
}

// Entries of a map as (key, value), keys checked to be positive integers.
std::vector<std::pair<uint64_t, const msgpack::object*>> Entries(const msgpack::object& o) {
  std::vector<std::pair<uint64_t, const msgpack::object*>> out;
  EXPECT_EQ(o.type, msgpack::type::MAP);
  if (o.type != msgpack::type::MAP) return out;
  for (uint32_t i = 0; i < o.via.map.size; ++i) {
    const msgpack::object_kv& kv = o.via.map.ptr[i];
    EXPECT_EQ(kv.key.type, msgpack::type::POSITIVE_INTEGER);
    out.emplace_back(kv.key.via.u64, &kv.val);
  }
  return out;
}

void ExpectInner(const msgpack::object& o, const InnerModel& m) {
  std::vector<uint64_t> keys;
  for (const auto& [key, val] : Entries(o)) {
    keys.push_back(key);
    if (key == 1) {
      EXPECT_EQ(val->as<int64_t>(), m.number.value);
    }
    if (key == 2) {
      EXPECT_EQ(AsString(*val), m.text.value);
    }
    if (key == 3) ExpectStrings(*val, m.texts.value);
  }
  std::vector<uint64_t> present;
  if (m.number.has_value) present.push_back(1);
  if (m.text.has_value) present.push_back(2);
  if (m.texts.has_value) present.push_back(3);
  EXPECT_EQ(keys, present);
}

void ExpectModel(const msgpack::object& o, const AllModel& m) {
  std::vector<uint64_t> keys;
  for (const auto& [key, val] : Entries(o)) {
    keys.push_back(key);
    switch (key) {
      case 1:
        EXPECT_EQ(AsString(*val), m.text.value);
        break;
      case 2:
        EXPECT_EQ(val->as<int64_t>(), m.small.value);
        break;
      case 3:
        EXPECT_EQ(val->as<int64_t>(), m.wide.value);
        break;
      case 4:
        EXPECT_EQ(val->type, msgpack::type::BOOLEAN);
        EXPECT_EQ(val->via.boolean, m.flag.value);
        break;
      case 5: {
        EXPECT_EQ(val->type, msgpack::type::FLOAT32);
        const float f = static_cast<float>(val->via.f64);
        if (std::isnan(m.real.value)) {
          EXPECT_TRUE(std::isnan(f));
        } else {
          EXPECT_EQ(f, m.real.value);
        }
        break;
      }
      case 6:
        ExpectStrings(*val, m.texts.value);
        break;
      case 7:
        ASSERT_EQ(val->type, msgpack::type::ARRAY);
        ASSERT_EQ(val->via.array.size, m.inners.value.size());
        for (size_t i = 0; i < m.inners.value.size(); ++i) {
          ExpectInner(val->via.array.ptr[i], m.inners.value[i]);
        }
        break;
      case 8:
        ExpectInner(*val, m.inner.value);
        break;
      default:
        ADD_FAILURE() << "unexpected key " << key;
    }
  }
  std::vector<uint64_t> present;
  const bool flags[] = {m.text.has_value, m.small.has_value, m.wide.has_value,   m.flag.has_value,
                        m.real.has_value, m.texts.has_value, m.inners.has_value, m.inner.has_value};
  for (uint64_t k = 0; k < 8; ++k) {
    if (flags[k]) present.push_back(k + 1);
  }
  EXPECT_EQ(keys, present);
}

TEST(OracleTest, WeWriteWhatTheOracleWritesAndItReadsTheSameValues) {
  Rng rng(20240601);
  for (int i = 0; i < 2000; ++i) {
    SCOPED_TRACE(i);
    const AllModel model = RandomModel(rng);
    const std::string ours = tessel::idl::Packb(model);
    const std::string oracle = OraclePack(model);
    ASSERT_EQ(ours.size(), oracle.size()) << Hex(ours) << "\n" << Hex(oracle);
    ASSERT_TRUE(ours == oracle) << Hex(ours) << "\n" << Hex(oracle);
    msgpack::object_handle handle = msgpack::unpack(ours.data(), ours.size());
    ExpectModel(handle.get(), model);
    if (HasFailure()) break;
  }
}

// ---- the oracle writing every legal width ---------------------------------------------------

class WideWriter {
 public:
  explicit WideWriter(Rng* rng) : rng_(*rng), pk_(buffer_) {}

  std::string bytes() const { return std::string(buffer_.data(), buffer_.size()); }
  bool wrote_unknown() const { return wrote_unknown_; }

  // Any form that a field of the given width accepts for v.
  void Int(int64_t v, bool int32_field) {
    std::vector<int> forms;  // 0 fixint, 1 cc, 2 cd, 3 ce, 4 cf, 5 d0, 6 d1, 7 d2, 8 d3
    if (v >= -32 && v <= 127) forms.push_back(0);
    if (v >= 0 && v <= 0xFF) forms.push_back(1);
    if (v >= 0 && v <= 0xFFFF) forms.push_back(2);
    if (v >= 0 && v <= (int32_field ? 0x7FFFFFFFll : 0xFFFFFFFFll)) forms.push_back(3);
    if (v >= 0 && !int32_field) forms.push_back(4);
    if (v >= INT8_MIN && v <= INT8_MAX) forms.push_back(5);
    if (v >= INT16_MIN && v <= INT16_MAX) forms.push_back(6);
    if (v >= INT32_MIN && v <= INT32_MAX) forms.push_back(7);
    if (!int32_field) forms.push_back(8);
    switch (forms[rng_() % forms.size()]) {
      case 0:
        v >= 0 ? pk_.pack_uint8(static_cast<uint8_t>(v)) : pk_.pack_int8(static_cast<int8_t>(v));
        break;
      case 1:
        pk_.pack_fix_uint8(static_cast<uint8_t>(v));
        break;
      case 2:
        pk_.pack_fix_uint16(static_cast<uint16_t>(v));
        break;
      case 3:
        pk_.pack_fix_uint32(static_cast<uint32_t>(v));
        break;
      case 4:
        pk_.pack_fix_uint64(static_cast<uint64_t>(v));
        break;
      case 5:
        pk_.pack_fix_int8(static_cast<int8_t>(v));
        break;
      case 6:
        pk_.pack_fix_int16(static_cast<int16_t>(v));
        break;
      case 7:
        pk_.pack_fix_int32(static_cast<int32_t>(v));
        break;
      default:
        pk_.pack_fix_int64(v);
    }
  }

  void Str(const std::string& s) {
    const auto n = static_cast<uint32_t>(s.size());
    switch (rng_() % 4) {
      case 0:
        pk_.pack_str(n);  // msgpack-cxx's own choice, str8 included
        break;
      case 1:
        if (n < 256) {
          Raw("\xd9", codec_test::Be(n, 1));
          break;
        }
        [[fallthrough]];
      case 2:
        if (n < 65536) {
          Raw("\xda", codec_test::Be(n, 2));
          break;
        }
        [[fallthrough]];
      default:
        Raw("\xdb", codec_test::Be(n, 4));
    }
    pk_.pack_str_body(s.data(), n);
  }

  void ArrayHeader(size_t count) { Container(count, '\xdc', '\xdd', true); }
  void MapHeader(size_t count) { Container(count, '\xde', '\xdf', false); }

  void Strings(const std::vector<std::string>& v) {
    const auto nils = RandomNils(v.size());
    ArrayHeader(v.size() + nils.size());
    size_t next_nil = 0;
    for (size_t i = 0; i < v.size(); ++i) {
      while (next_nil < nils.size() && nils[next_nil] == i) pk_.pack_nil(), ++next_nil;
      Str(v[i]);
    }
    while (next_nil++ < nils.size()) pk_.pack_nil();
  }

  // A model map: present fields in random order, absent ones sometimes as nil, and unknown
  // keys with arbitrary values in between.
  template <typename EmitField>
  void Model(int field_count, const std::vector<bool>& present, EmitField&& emit) {
    std::vector<int> entries;  // > 0: field key, < 0: a nil for that key, 0: unknown key
    for (int k = 1; k <= field_count; ++k) {
      if (present[static_cast<size_t>(k - 1)]) {
        entries.push_back(k);
      } else if (rng_() % 4 == 0) {
        entries.push_back(-k);
      }
    }
    for (int extra = static_cast<int>(rng_() % 3); extra > 0; --extra) {
      if (rng_() % 3 == 0) entries.push_back(0);
    }
    std::shuffle(entries.begin(), entries.end(), rng_);
    MapHeader(entries.size());
    for (int e : entries) {
      if (e == 0) {
        Int(field_count + 1 + static_cast<int64_t>(rng_() % 1000), false);
        AnyValue(3);
        wrote_unknown_ = true;
      } else {
        Int(e < 0 ? -e : e, false);
        if (e < 0) {
          pk_.pack_nil();
        } else {
          emit(e);
        }
      }
    }
  }

  void Inner(const InnerModel& m) {
    Model(3, {m.number.has_value, m.text.has_value, m.texts.has_value}, [&](int key) {
      if (key == 1) Int(m.number.value, true);
      if (key == 2) Str(m.text.value);
      if (key == 3) Strings(m.texts.value);
    });
  }

  void All(const AllModel& m) {
    Model(8,
          {m.text.has_value, m.small.has_value, m.wide.has_value, m.flag.has_value,
           m.real.has_value, m.texts.has_value, m.inners.has_value, m.inner.has_value},
          [&](int key) {
            switch (key) {
              case 1:
                return Str(m.text.value);
              case 2:
                return Int(m.small.value, true);
              case 3:
                return Int(m.wide.value, false);
              case 4:
                pk_.pack(m.flag.value);
                return;
              case 5:
                return PackFloat32(buffer_, m.real.value);
              case 6:
                return Strings(m.texts.value);
              case 7: {
                const auto nils = RandomNils(m.inners.value.size());
                ArrayHeader(m.inners.value.size() + nils.size());
                for (const auto& e : m.inners.value) Inner(e);
                for (size_t i = 0; i < nils.size(); ++i) pk_.pack_nil();
                return;
              }
              default:
                return Inner(m.inner.value);
            }
          });
  }

 private:
  void Raw(const char* marker, const std::string& length) {
    buffer_.write(marker, 1);
    buffer_.write(length.data(), length.size());
  }

  void Container(size_t count, char m16, char m32, bool array) {
    const auto n = static_cast<uint32_t>(count);
    switch (rng_() % 3) {
      case 0:
        array ? pk_.pack_array(n) : pk_.pack_map(n);
        break;
      case 1:
        if (n < 65536) {
          Raw(&m16, codec_test::Be(n, 2));
          break;
        }
        [[fallthrough]];
      default:
        Raw(&m32, codec_test::Be(n, 4));
    }
  }

  // Positions (sorted) before which a nil element goes.
  std::vector<size_t> RandomNils(size_t size) {
    std::vector<size_t> nils;
    if (size > 100) return nils;
    for (int i = static_cast<int>(rng_() % 4) - 1; i > 0; --i) nils.push_back(rng_() % (size + 1));
    std::sort(nils.begin(), nils.end());
    return nils;
  }

  // Anything but bin and ext, nested up to `depth`.
  void AnyValue(int depth) {
    switch (rng_() % (depth > 0 ? 9 : 7)) {
      case 0:
        pk_.pack_nil();
        break;
      case 1:
        pk_.pack(rng_() % 2 == 0);
        break;
      case 2:
        pk_.pack(static_cast<uint64_t>(rng_()));
        break;
      case 3:
        pk_.pack(static_cast<int64_t>(rng_()));
        break;
      case 4:
        PackFloat64(buffer_, static_cast<double>(rng_() % 1000) / 8);
        break;
      case 5:
        PackFloat32(buffer_, RandomFloat(rng_));
        break;
      case 6:
        Str(RandomString(rng_));
        break;
      case 7: {
        const size_t n = rng_() % 4;
        ArrayHeader(n);
        for (size_t i = 0; i < n; ++i) AnyValue(depth - 1);
        break;
      }
      default: {
        const size_t n = rng_() % 4;
        MapHeader(n);
        for (size_t i = 0; i < 2 * n; ++i) AnyValue(depth - 1);
      }
    }
  }

  Rng& rng_;
  msgpack::sbuffer buffer_;
  Packer pk_;
  bool wrote_unknown_ = false;
};

TEST(OracleTest, WeReadWhatTheOracleWritesInEveryLegalWidth) {
  Rng rng(77);
  for (int i = 0; i < 3000; ++i) {
    SCOPED_TRACE(i);
    const AllModel model = RandomModel(rng);
    WideWriter writer(&rng);
    writer.All(model);
    const std::string body = writer.bytes();
    AllModel decoded;
    bool unknown = false;
    ASSERT_TRUE(decoded.Unpackb(body, &unknown)) << Hex(body);
    EXPECT_TRUE(decoded.valid);
    EXPECT_EQ(unknown, writer.wrote_unknown());
    ASSERT_EQ(Hex(tessel::idl::Packb(decoded), 400), Hex(tessel::idl::Packb(model), 400))
        << "from " << Hex(body);
    if (i % 10 == 0) {
      ASSERT_EQ(codec_test::CheckDecodeRoundTrip(body), "") << Hex(body);
    }
  }
}

TEST(OracleTest, IntegerWidthsAgainstIntAndInt64Fields) {
  Rng rng(5);
  for (int i = 0; i < 5000; ++i) {
    const int64_t v = RandomInt(rng);
    const auto u = static_cast<uint64_t>(rng());
    const int form = static_cast<int>(rng() % 9);
    msgpack::sbuffer buffer;
    Packer pk(buffer);
    bool in_int = false, in_int64 = false;
    int64_t expected = v;
    switch (form) {
      case 0:  // msgpack-cxx's smallest form of a signed value
        pk.pack_int64(v);
        in_int = v >= INT32_MIN && v <= INT32_MAX;
        in_int64 = true;
        break;
      case 1:  // smallest form of an unsigned value: up to uint64
        pk.pack_uint64(u);
        in_int = u <= 0x7FFFFFFFu;
        in_int64 = u <= static_cast<uint64_t>(INT64_MAX);
        expected = static_cast<int64_t>(u);
        break;
      case 2:
        pk.pack_fix_uint32(static_cast<uint32_t>(u));
        in_int = static_cast<uint32_t>(u) <= 0x7FFFFFFFu;
        in_int64 = true;
        expected = static_cast<uint32_t>(u);
        break;
      case 3:
        pk.pack_fix_uint64(u);
        in_int64 = u <= static_cast<uint64_t>(INT64_MAX);
        expected = static_cast<int64_t>(u);
        break;
      case 4:
        pk.pack_fix_int64(v);
        in_int64 = true;
        break;
      case 5:
        pk.pack_fix_int32(static_cast<int32_t>(v));
        in_int = in_int64 = true;
        expected = static_cast<int32_t>(v);
        break;
      case 6:
        pk.pack_fix_int16(static_cast<int16_t>(v));
        in_int = in_int64 = true;
        expected = static_cast<int16_t>(v);
        break;
      case 7:
        PackFloat64(buffer, static_cast<double>(v));
        break;
      default:
        pk.pack_fix_uint16(static_cast<uint16_t>(u));
        in_int = in_int64 = true;
        expected = static_cast<uint16_t>(u);
    }
    const std::string value(buffer.data(), buffer.size());
    SCOPED_TRACE(Hex(value));
    AllModel as_int, as_int64;
    ASSERT_EQ(as_int.Unpackb(codec_test::Bytes("81 02") + value, nullptr), in_int);
    ASSERT_EQ(as_int64.Unpackb(codec_test::Bytes("81 03") + value, nullptr), in_int64);
    if (in_int) {
      ASSERT_EQ(as_int.small.value, expected);
    }
    if (in_int64) {
      ASSERT_EQ(as_int64.wide.value, expected);
    }
  }
}

}  // namespace
