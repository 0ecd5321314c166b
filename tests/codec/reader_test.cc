// What the decoder accepts: each MessagePack marker against each field type, keys, skipping of
// unknown keys, nil, duplicates, vectors and partial failures. Every body here is also run
// through the shared round-trip check, so the typed, generic and streamed decoders must agree
// on each of them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/codec_all_types.h"
#include "support/codec_bytes.h"
#include "support/codec_roundtrip.h"
#include "tessel/idl/model.h"

namespace {

using codec_test::AllModel;
using codec_test::Bytes;
using codec_test::Hex;
using tessel::idl::BaseModel;
using tessel::idl::BaseModelValue;
using tessel::idl::ModelValue;
using tessel::idl::MsgpackContext;

enum Target { kInt, kInt64, kFloat, kBool, kString, kStrings, kModels, kModel, kTargets };

const char* const kTargetNames[kTargets] = {"int",    "int64_t",     "float",         "bool",
                                            "string", "vector<str>", "vector<model>", "model"};
const char* const kTargetKeys[kTargets] = {"02", "03", "05", "04", "01", "06", "07", "08"};

// The decoded value of a target field as text; "nil" when the field has no value.
std::string Render(const AllModel& m, Target t) {
  const BaseModelValue* fields[kTargets] = {&m.small, &m.wide,  &m.real,   &m.flag,
                                            &m.text,  &m.texts, &m.inners, &m.inner};
  if (!fields[t]->has_value) return "nil";
  switch (t) {
    case kInt:
      return std::to_string(m.small.value);
    case kInt64:
      return std::to_string(m.wide.value);
    case kFloat: {
      uint32_t bits;
      std::memcpy(&bits, &m.real.value, sizeof bits);
      char buf[16];
      std::snprintf(buf, sizeof buf, "0x%08x", bits);
      return buf;
    }
    case kBool:
      return m.flag.value ? "true" : "false";
    case kString:
      return "\"" + m.text.value + "\"";
    case kStrings: {
      std::string out = "[";
      for (const auto& s : m.texts.value) out += (out.size() > 1 ? "," : "") + s;
      return out + "]";
    }
    case kModels: {
      std::string out = "[";
      for (const auto& e : m.inners.value) {
        out += (out.size() > 1 ? "|" : "") + Hex(tessel::idl::Packb(e));
      }
      return out + "]";
    }
    case kModel:
      return "{" + Hex(tessel::idl::Packb(m.inner.value)) + "}";
    default:
      return "?";
  }
}

// Each marker against each target: nullptr = refused, otherwise the value text after the
// decode ("nil" = accepted, field left without a value).
struct MatrixRow {
  const char* name;
  const char* value;
  const char* expect[kTargets];
};

#define R nullptr
// clang-format off
const MatrixRow kMatrix[] = {
    // name                     bytes                         int           int64                   float         bool     string  vector<str> vector<model> model
    {"positive fixint",         "05",                         {"5",          "5",                    R,            R,       R,      R,          R,          R}},
    {"positive fixint 127",     "7f",                         {"127",        "127",                  R,            R,       R,      R,          R,          R}},
    {"uint8",                   "cc ff",                      {"255",        "255",                  R,            R,       R,      R,          R,          R}},
    {"uint16",                  "cd ff ff",                   {"65535",      "65535",                R,            R,       R,      R,          R,          R}},
    {"uint32 0x7fffffff",       "ce 7f ff ff ff",             {"2147483647", "2147483647",           R,            R,       R,      R,          R,          R}},
    {"uint32 0x80000000",       "ce 80 00 00 00",             {R,            "2147483648",           R,            R,       R,      R,          R,          R}},
    {"uint32 0xffffffff",       "ce ff ff ff ff",             {R,            "4294967295",           R,            R,       R,      R,          R,          R}},
    {"uint64 small",            "cf 00 00 00 00 00 00 00 05", {R,            "5",                    R,            R,       R,      R,          R,          R}},
    {"uint64 2^63-1",           "cf 7f ff ff ff ff ff ff ff", {R,            "9223372036854775807",  R,            R,       R,      R,          R,          R}},
    {"uint64 2^63",             "cf 80 00 00 00 00 00 00 00", {R,            R,                      R,            R,       R,      R,          R,          R}},
    {"negative fixint",         "e0",                         {"-32",        "-32",                  R,            R,       R,      R,          R,          R}},
    {"int8",                    "d0 80",                      {"-128",       "-128",                 R,            R,       R,      R,          R,          R}},
    {"int8 positive",           "d0 7f",                      {"127",        "127",                  R,            R,       R,      R,          R,          R}},
    {"int16",                   "d1 80 00",                   {"-32768",     "-32768",               R,            R,       R,      R,          R,          R}},
    {"int32",                   "d2 80 00 00 00",             {"-2147483648", "-2147483648",         R,            R,       R,      R,          R,          R}},
    {"int64 small",             "d3 ff ff ff ff ff ff ff fb", {R,            "-5",                   R,            R,       R,      R,          R,          R}},
    {"int64 min",               "d3 80 00 00 00 00 00 00 00", {R,            "-9223372036854775808", R,            R,       R,      R,          R,          R}},
    {"float32",                 "ca 3f c0 00 00",             {R,            R,                      "0x3fc00000", R,       R,      R,          R,          R}},
    {"float64",                 "cb 3f f8 00 00 00 00 00 00", {R,            R,                      R,            R,       R,      R,          R,          R}},
    {"nil",                     "c0",                         {"nil",        "nil",                  "nil",        "nil",   "nil",  "nil",      "nil",      "nil"}},
    {"true",                    "c3",                         {R,            R,                      R,            "true",  R,      R,          R,          R}},
    {"false",                   "c2",                         {R,            R,                      R,            "false", R,      R,          R,          R}},
    {"fixstr",                  "a2 68 69",                   {R,            R,                      R,            R,       "\"hi\"", R,        R,          R}},
    {"fixstr empty",            "a0",                         {R,            R,                      R,            R,       "\"\"", R,          R,          R}},
    {"str8",                    "d9 02 68 69",                {R,            R,                      R,            R,       "\"hi\"", R,        R,          R}},
    {"str16",                   "da 00 02 68 69",             {R,            R,                      R,            R,       "\"hi\"", R,        R,          R}},
    {"str32",                   "db 00 00 00 02 68 69",       {R,            R,                      R,            R,       "\"hi\"", R,        R,          R}},
    {"bin8",                    "c4 01 00",                   {R,            R,                      R,            R,       R,      R,          R,          R}},
    {"bin16",                   "c5 00 01 00",                {R,            R,                      R,            R,       R,      R,          R,          R}},
    {"bin32",                   "c6 00 00 00 01 00",          {R,            R,                      R,            R,       R,      R,          R,          R}},
    {"fixarray empty",          "90",                         {R,            R,                      R,            R,       R,      "[]",       "[]",       R}},
    {"array16 empty",           "dc 00 00",                   {R,            R,                      R,            R,       R,      "[]",       "[]",       R}},
    {"array32 empty",           "dd 00 00 00 00",             {R,            R,                      R,            R,       R,      "[]",       "[]",       R}},
    {"fixarray of a text",      "91 a1 78",                   {R,            R,                      R,            R,       R,      "[x]",      R,          R}},
    {"array16 of a map",        "dc 00 01 81 01 05",          {R,            R,                      R,            R,       R,      R,          "[81 01 05]", R}},
    {"fixmap empty",            "80",                         {R,            R,                      R,            R,       R,      R,          R,          "{80}"}},
    {"fixmap",                  "81 02 a1 78",                {R,            R,                      R,            R,       R,      R,          R,          "{81 02 a1 78}"}},
    {"map16",                   "de 00 01 01 05",             {R,            R,                      R,            R,       R,      R,          R,          "{81 01 05}"}},
    {"map32",                   "df 00 00 00 01 01 05",       {R,            R,                      R,            R,       R,      R,          R,          "{81 01 05}"}},
    {"fixext1",                 "d4 01 00",                   {R,            R,                      R,            R,       R,      R,          R,          R}},
    {"fixext2",                 "d5 01 00 00",                {R,            R,                      R,            R,       R,      R,          R,          R}},
    {"fixext4",                 "d6 01 00 00 00 00",          {R,            R,                      R,            R,       R,      R,          R,          R}},
    {"fixext8",                 "d7 01 00 00 00 00 00 00 00 00", {R,         R,                      R,            R,       R,      R,          R,          R}},
    {"fixext16",                "d8 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", {R, R,      R,            R,       R,      R,          R,          R}},
    {"ext8",                    "c7 01 01 00",                {R,            R,                      R,            R,       R,      R,          R,          R}},
    {"ext16",                   "c8 00 01 01 00",             {R,            R,                      R,            R,       R,      R,          R,          R}},
    {"ext32",                   "c9 00 00 00 01 01 00",       {R,            R,                      R,            R,       R,      R,          R,          R}},
    {"reserved c1",             "c1",                         {R,            R,                      R,            R,       R,      R,          R,          R}},
};
// clang-format on
#undef R

TEST(ReaderTest, EachMarkerAgainstEachFieldType) {
  for (const MatrixRow& row : kMatrix) {
    for (int t = 0; t < kTargets; ++t) {
      SCOPED_TRACE(std::string(row.name) + " into " + kTargetNames[t]);
      // The value is followed by an unknown key, so a value read to the wrong length shows.
      const std::string body =
          Bytes(std::string("82 ") + kTargetKeys[t] + " " + row.value + " 09 a1 7a");
      AllModel model;
      bool unknown = false;
      const bool ok = model.Unpackb(body, &unknown);
      const char* expected = row.expect[t];
      if (expected == nullptr) {
        EXPECT_FALSE(ok);
        EXPECT_FALSE(model.valid);
        EXPECT_EQ(Render(model, static_cast<Target>(t)), "nil");
        EXPECT_FALSE(unknown);
        // The kind of failure: a reserved byte is invalid, anything else a type mismatch.
        tessel::idl::BufferSource source{body.data(), body.size(), 0};
        MsgpackContext ctx = tessel::idl::MakeReadContext(&source);
        bool is_nil = false;
        AllModel again;
        EXPECT_FALSE(again.Unpack(&ctx, &is_nil, nullptr));
        EXPECT_EQ(int{ctx.error}, std::string(row.name) == "reserved c1"
                                      ? tessel::idl::kMsgpackInvalid
                                      : tessel::idl::kMsgpackTypeMismatch);
      } else {
        EXPECT_TRUE(ok);
        EXPECT_TRUE(model.valid);
        EXPECT_TRUE(unknown);
        EXPECT_EQ(Render(model, static_cast<Target>(t)), expected);
      }
      EXPECT_EQ(codec_test::CheckDecodeRoundTrip(body), "");
    }
  }
}

TEST(ReaderTest, KeysInEveryIntegerFormAndTheirLimits) {
  // "ok": key 1 (text "z"); "unknown": skipped; "fail": the decode fails as invalid.
  const struct {
    const char* key;
    const char* outcome;
  } cases[] = {
      {"01", "ok"},
      {"cc 01", "ok"},
      {"cd 00 01", "ok"},
      {"ce 00 00 00 01", "ok"},
      {"cf 00 00 00 00 00 00 00 01", "ok"},
      {"d0 01", "ok"},
      {"d1 00 01", "ok"},
      {"d2 00 00 00 01", "ok"},
      {"d3 00 00 00 00 00 00 00 01", "ok"},
      {"09", "unknown"},
      {"7f", "unknown"},
      {"cc 80", "unknown"},
      {"ce ff ff ff ff", "unknown"},
      {"cf 7f ff ff ff ff ff ff ff", "unknown"},
      {"00", "fail"},
      {"d0 00", "fail"},
      {"ff", "fail"},
      {"d0 80", "fail"},
      {"d3 80 00 00 00 00 00 00 00", "fail"},
      {"cf 80 00 00 00 00 00 00 00", "fail"},
      {"a1 31", "fail"},
      {"c0", "fail"},
      {"c3", "fail"},
      {"ca 3f 80 00 00", "fail"},
      {"cb 3f f0 00 00 00 00 00 00", "fail"},
      {"90", "fail"},
      {"80", "fail"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    const std::string body = Bytes(std::string("81 ") + c.key + " a1 7a");
    AllModel model;
    bool unknown = false;
    const bool ok = model.Unpackb(body, &unknown);
    const std::string outcome = c.outcome;
    EXPECT_EQ(ok, outcome != "fail");
    EXPECT_EQ(model.valid, outcome != "fail");
    EXPECT_EQ(unknown, outcome == "unknown");
    EXPECT_EQ(model.text.has_value, outcome == "ok");
    if (outcome == "ok") {
      EXPECT_EQ(model.text.value, "z");
    }
    if (outcome == "fail") {
      tessel::idl::BufferSource source{body.data(), body.size(), 0};
      MsgpackContext ctx = tessel::idl::MakeReadContext(&source);
      bool is_nil = false;
      EXPECT_FALSE(static_cast<BaseModel&>(model).Unpack(&ctx, &is_nil, nullptr));
      EXPECT_EQ(int{ctx.error}, tessel::idl::kMsgpackInvalid);
    }
    EXPECT_EQ(codec_test::CheckDecodeRoundTrip(body), "");
  }
}

TEST(ReaderTest, UnknownKeysSkipAnyValueButBinAndExt) {
  std::string deep;
  for (int i = 0; i < 200; ++i) deep += i % 2 ? "81 05 " : "91 ";
  deep += "c0";
  const struct {
    const char* name;
    std::string value;
    bool ok;
  } cases[] = {
      {"nil", "c0", true},
      {"bools", "c2", true},
      {"uint64 beyond int64", "cf ff ff ff ff ff ff ff ff", true},
      {"int64", "d3 80 00 00 00 00 00 00 00", true},
      {"float32", "ca 00 00 00 00", true},
      {"float64", "cb 00 00 00 00 00 00 00 00", true},
      {"str8", "d9 03 61 62 63", true},
      {"str16", "da 00 01 61", true},
      {"str32", "db 00 00 00 02 61 62", true},
      {"array16", "dc 00 02 c0 c3", true},
      {"array32", "dd 00 00 00 01 05", true},
      {"map16", "de 00 01 01 02", true},
      {"map32", "df 00 00 00 01 a1 6b dc 00 01 a0", true},
      {"nested maps and arrays", "92 81 01 92 a1 61 81 a1 62 c3 90", true},
      {"map with array and map keys", "82 91 01 c0 81 01 02 c3", true},
      {"200 levels", deep, true},
      {"bin8", "c4 01 00", false},
      {"bin16", "c5 00 00", false},
      {"bin32", "c6 00 00 00 00", false},
      {"fixext", "d4 01 00", false},
      {"ext8", "c7 00 01", false},
      {"bin inside an array", "92 01 c4 00", false},
      {"ext as a map key", "81 d4 01 00 01", false},
      {"reserved c1 inside a map", "81 01 c1", false},
      {"array longer than the body", "dc 00 05 01", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // A known key after the unknown one shows that the skip stopped exactly at its end.
    const std::string body = Bytes("82 09 " + c.value + " 01 a1 7a");
    AllModel model;
    bool unknown = false;
    EXPECT_EQ(model.Unpackb(body, &unknown), c.ok);
    EXPECT_EQ(model.valid, c.ok);
    EXPECT_EQ(unknown, c.ok);
    EXPECT_EQ(model.text.has_value, c.ok);
    if (c.ok) {
      EXPECT_EQ(model.text.value, "z");
    }
    EXPECT_EQ(codec_test::CheckDecodeRoundTrip(body), "");
  }
}

// A model whose key 2 has no field: that key is unknown like one beyond the field count.
class GappedModel : public BaseModel {
 public:
  int FieldCount() const override { return 3; }
  void GetFields(BaseModelValue** out) override {
    out[0] = &first;
    out[1] = nullptr;
    out[2] = &third;
  }
  ModelValue<std::string> first;
  ModelValue<int> third;
};

TEST(ReaderTest, KeyWithoutAFieldIsUnknown) {
  GappedModel model;
  bool unknown = false;
  EXPECT_TRUE(model.Unpackb(Bytes("83 01 a1 61 02 a3 62 63 64 03 07"), &unknown));
  EXPECT_TRUE(unknown);
  EXPECT_EQ(model.first.value, "a");
  EXPECT_EQ(model.third.value, 7);
  EXPECT_EQ(Hex(tessel::idl::Packb(model)), "82 01 a1 61 03 07");

  GappedModel bin;
  unknown = false;
  EXPECT_FALSE(bin.Unpackb(Bytes("82 01 a1 61 02 c4 00"), &unknown));
  EXPECT_FALSE(unknown);
  EXPECT_FALSE(bin.valid);
  EXPECT_EQ(bin.first.value, "a");
}

TEST(ReaderTest, UnknownSeenIsOnlyEverSetNeverCleared) {
  AllModel model;
  bool unknown = true;
  EXPECT_TRUE(model.Unpackb(Bytes("81 01 a0"), &unknown));
  EXPECT_TRUE(unknown);
  EXPECT_TRUE(model.Unpackb(Bytes("81 63 a0"), nullptr));  // no output is fine
  // Unknown keys inside nested models and list elements count as well.
  for (const char* hex : {"81 08 81 09 c0", "81 07 91 81 63 01"}) {
    SCOPED_TRACE(hex);
    unknown = false;
    AllModel nested;
    EXPECT_TRUE(nested.Unpackb(Bytes(hex), &unknown));
    EXPECT_TRUE(unknown);
  }
}

TEST(ReaderTest, NilBodiesAndNilValues) {
  AllModel nil_body;
  nil_body.text.Set("kept");
  EXPECT_TRUE(nil_body.Unpackb(Bytes("c0"), nullptr));
  EXPECT_FALSE(nil_body.valid);
  EXPECT_EQ(nil_body.text.value, "kept");

  AllModel empty;
  EXPECT_FALSE(empty.Unpackb("", nullptr));
  EXPECT_FALSE(empty.valid);

  // A nil value takes the presence away but leaves the old value in place.
  AllModel nil_value;
  nil_value.text.Set("old");
  nil_value.small.Set(4);
  EXPECT_TRUE(nil_value.Unpackb(Bytes("82 01 c0 02 c0"), nullptr));
  EXPECT_TRUE(nil_value.valid);
  EXPECT_FALSE(nil_value.text.has_value);
  EXPECT_EQ(nil_value.text.value, "old");
  EXPECT_FALSE(nil_value.small.has_value);
  EXPECT_EQ(nil_value.small.value, 4);

  // A nested model read as nil is marked invalid, and the field has no value.
  AllModel nil_nested;
  EXPECT_TRUE(nil_nested.Unpackb(Bytes("81 08 c0"), nullptr));
  EXPECT_TRUE(nil_nested.valid);
  EXPECT_FALSE(nil_nested.inner.has_value);
  EXPECT_FALSE(nil_nested.inner.value.valid);

  // Bytes after the map are not looked at.
  AllModel trailing;
  EXPECT_TRUE(trailing.Unpackb(Bytes("81 02 05 c1 ff"), nullptr));
  EXPECT_EQ(trailing.small.value, 5);
}

TEST(ReaderTest, ValidFollowsTheLastDecode) {
  AllModel model;
  EXPECT_TRUE(model.valid);
  EXPECT_FALSE(model.Unpackb(Bytes("81 01 05"), nullptr));
  EXPECT_FALSE(model.valid);
  EXPECT_TRUE(model.Unpackb(Bytes("80"), nullptr));
  EXPECT_TRUE(model.valid);
  EXPECT_FALSE(model.Unpackb(Bytes("a0"), nullptr));  // not a map
  EXPECT_FALSE(model.valid);
}

TEST(ReaderTest, DuplicateKeysAreDecodedAgainIntoTheSameField) {
  AllModel model;
  ASSERT_TRUE(model.Unpackb(Bytes("86 01 a1 61 01 a1 62 06 91 a1 61 06 91 a1 62 "
                                  "08 81 01 01 08 81 02 a1 78"),
                            nullptr));
  EXPECT_EQ(model.text.value, "b");
  EXPECT_EQ(model.texts.value, (std::vector<std::string>{"a", "b"}));
  // The nested model was decoded twice in place: keys of both bodies are there.
  EXPECT_EQ(model.inner.value.number.value, 1);
  EXPECT_EQ(model.inner.value.text.value, "x");
}

TEST(ReaderTest, KeysInAnyOrder) {
  AllModel model;
  ASSERT_TRUE(model.Unpackb(Bytes("84 08 81 01 09 03 07 01 a1 61 02 02"), nullptr));
  EXPECT_EQ(model.text.value, "a");
  EXPECT_EQ(model.small.value, 2);
  EXPECT_EQ(model.wide.value, 7);
  EXPECT_EQ(model.inner.value.number.value, 9);
}

TEST(ReaderTest, VectorsDropNilElementsAndAppendToWhatTheyHold) {
  AllModel model;
  model.texts.Set({"p"});
  model.inners.value.resize(1);
  model.inners.value[0].number.Set(1);
  ASSERT_TRUE(model.Unpackb(Bytes("82 06 94 a1 61 c0 a1 62 c0 07 93 c0 81 01 02 c0"), nullptr));
  EXPECT_EQ(model.texts.value, (std::vector<std::string>{"p", "a", "b"}));
  ASSERT_EQ(model.inners.value.size(), 2u);
  EXPECT_EQ(model.inners.value[1].number.value, 2);
  EXPECT_TRUE(model.inners.has_value);

  // A nil vector leaves the elements it held, without a value.
  ASSERT_TRUE(model.Unpackb(Bytes("81 06 c0"), nullptr));
  EXPECT_FALSE(model.texts.has_value);
  EXPECT_EQ(model.texts.value.size(), 3u);
}

TEST(ReaderTest, FailingElementKeepsTheElementsBeforeIt) {
  AllModel model;
  EXPECT_FALSE(model.Unpackb(Bytes("82 06 93 a1 61 05 a1 62 01 a1 7a"), nullptr));
  EXPECT_EQ(model.texts.value, (std::vector<std::string>{"a"}));
  EXPECT_FALSE(model.texts.has_value);  // the field itself failed
  EXPECT_FALSE(model.text.has_value);   // never reached

  AllModel models;
  EXPECT_FALSE(models.Unpackb(Bytes("81 07 93 81 01 01 81 01 ca 00 00 00 00 81 01 03"), nullptr));
  ASSERT_EQ(models.inners.value.size(), 1u);
  EXPECT_EQ(models.inners.value[0].number.value, 1);
}

TEST(ReaderTest, FieldsDecodedBeforeAFailureStay) {
  const struct {
    const char* name;
    const char* body;
  } cases[] = {
      {"bad value", "84 01 a1 61 02 05 04 c1 03 07"},
      {"map count larger than its entries", "84 01 a1 61 02 05"},
      {"truncated value", "83 01 a1 61 02 05 03 cd 01"},
      {"bad key", "83 01 a1 61 02 05 00 07"},
      {"nested failure", "83 01 a1 61 02 05 08 82 01 07 02 05"},
      {"the same field again, cut short", "83 01 a1 61 02 05 01 a2 62"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AllModel model;
    EXPECT_FALSE(model.Unpackb(Bytes(c.body), nullptr));
    EXPECT_FALSE(model.valid);
    EXPECT_EQ(model.text.value, "a");
    EXPECT_TRUE(model.text.has_value);
    EXPECT_EQ(model.small.value, 5);
    EXPECT_TRUE(model.small.has_value);
    EXPECT_FALSE(model.wide.has_value);
    EXPECT_FALSE(model.flag.has_value);
    EXPECT_EQ(codec_test::CheckDecodeRoundTrip(Bytes(c.body)), "");
  }
}

TEST(ReaderTest, DecodingKeepsFieldsTheBodyDoesNotName) {
  AllModel model;
  model.text.Set("mine");
  model.flag.Set(true);
  ASSERT_TRUE(model.Unpackb(Bytes("81 02 05"), nullptr));
  EXPECT_EQ(model.text.value, "mine");
  EXPECT_TRUE(model.flag.has_value);
  EXPECT_EQ(model.small.value, 5);
}

TEST(ReaderTest, LongStringsInEveryHeaderWidth) {
  for (size_t n : {31u, 32u, 255u, 256u, 65535u, 65536u, 200000u}) {
    SCOPED_TRACE(n);
    std::string text(n, 'q');
    text.back() = '!';
    const std::string forms[] = {
        n < 256 ? "\xd9" + codec_test::Be(n, 1) : "",
        n < 65536 ? "\xda" + codec_test::Be(n, 2) : "",
        "\xdb" + codec_test::Be(n, 4),
    };
    for (const std::string& header : forms) {
      if (header.empty()) continue;
      AllModel model;
      ASSERT_TRUE(model.Unpackb(Bytes("81 01") + header + text, nullptr));
      EXPECT_EQ(model.text.value, text);
      AllModel cut;
      EXPECT_FALSE(cut.Unpackb(Bytes("81 01") + header + text.substr(1), nullptr));
      EXPECT_FALSE(cut.text.has_value);
    }
  }
}

}  // namespace
