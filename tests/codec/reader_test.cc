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

// Decodes `body` through a BufferSource, generically; returns the kind of error that stopped it.
int ErrorOf(const std::string& body) {
  tessel::idl::BufferSource source{body.data(), body.size(), 0};
  MsgpackContext ctx = tessel::idl::MakeReadContext(&source);
  bool is_nil = false;
  AllModel model;
  static_cast<BaseModel&>(model).Unpack(&ctx, &is_nil, nullptr);
  return ctx.error;
}

enum Target { kInt, kInt64, kFloat, kBool, kString, kStrings, kModels, kModel, kTargets };
const char* const kTargetKeys[kTargets] = {"02", "03", "05", "04", "01", "06", "07", "08"};

// The decoded value of a target field as text; "nil" when the field has no value.
std::string Render(const AllModel& m, int t) {
  const BaseModelValue* fields[kTargets] = {&m.small, &m.wide,  &m.real,   &m.flag,
                                            &m.text,  &m.texts, &m.inners, &m.inner};
  if (!fields[t]->has_value) return "nil";
  uint32_t bits;
  std::memcpy(&bits, &m.real.value, sizeof bits);
  std::string texts = "[";
  for (const auto& s : m.texts.value) texts += (texts.size() > 1 ? "," : "") + s;
  const std::string inner = Hex(tessel::idl::Packb(m.inner.value));
  const std::string first =
      m.inners.value.empty() ? "" : Hex(tessel::idl::Packb(m.inners.value[0]));
  const std::string rendered[kTargets] = {std::to_string(m.small.value),
                                          std::to_string(m.wide.value),
                                          Hex(codec_test::Be(bits, 4)),
                                          m.flag.value ? "true" : "false",
                                          "\"" + m.text.value + "\"",
                                          texts + "]",
                                          "[" + first + "]",
                                          "{" + inner + "}"};
  return rendered[t];
}

// Each marker against each target: R = refused, otherwise the value text after the decode
// ("nil" = accepted, field left without a value).
#define R nullptr
// clang-format off
const struct {
  const char* name;
  const char* value;
  const char* expect[kTargets];  // int, int64, float, bool, string, vector<str>, vector<model>, model
} kMatrix[] = {
    {"positive fixint",   "7f",                         {"127", "127", R, R, R, R, R, R}},
    {"uint8",             "cc ff",                      {"255", "255", R, R, R, R, R, R}},
    {"uint32 int max",    "ce 7f ff ff ff",             {"2147483647", "2147483647", R, R, R, R, R, R}},
    {"uint32 beyond int", "ce 80 00 00 00",             {R, "2147483648", R, R, R, R, R, R}},
    {"uint64 small",      "cf 00 00 00 00 00 00 00 05", {R, "5", R, R, R, R, R, R}},
    {"uint64 2^63-1",     "cf 7f ff ff ff ff ff ff ff", {R, "9223372036854775807", R, R, R, R, R, R}},
    {"uint64 2^63",       "cf 80 00 00 00 00 00 00 00", {R, R, R, R, R, R, R, R}},
    {"negative fixint",   "e0",                         {"-32", "-32", R, R, R, R, R, R}},
    {"int8 positive",     "d0 7f",                      {"127", "127", R, R, R, R, R, R}},
    {"int32",             "d2 80 00 00 00",             {"-2147483648", "-2147483648", R, R, R, R, R, R}},
    {"int64 small",       "d3 ff ff ff ff ff ff ff fb", {R, "-5", R, R, R, R, R, R}},
    {"float32",           "ca 3f c0 00 00",             {R, R, "3f c0 00 00", R, R, R, R, R}},
    {"float64",           "cb 3f f8 00 00 00 00 00 00", {R, R, R, R, R, R, R, R}},
    {"nil",               "c0",                         {"nil", "nil", "nil", "nil", "nil", "nil", "nil", "nil"}},
    {"false",             "c2",                         {R, R, R, "false", R, R, R, R}},
    {"fixstr empty",      "a0",                         {R, R, R, R, "\"\"", R, R, R}},
    {"str8",              "d9 02 68 69",                {R, R, R, R, "\"hi\"", R, R, R}},
    {"str32",             "db 00 00 00 02 68 69",       {R, R, R, R, "\"hi\"", R, R, R}},
    {"bin8",              "c4 01 00",                   {R, R, R, R, R, R, R, R}},
    {"array32 empty",     "dd 00 00 00 00",             {R, R, R, R, R, "[]", "[]", R}},
    {"fixarray of text",  "91 a1 78",                   {R, R, R, R, R, "[x]", R, R}},
    {"array16 of a map",  "dc 00 01 81 01 05",          {R, R, R, R, R, R, "[81 01 05]", R}},
    {"fixmap empty",      "80",                         {R, R, R, R, R, R, R, "{80}"}},
    {"map32",             "df 00 00 00 01 01 05",       {R, R, R, R, R, R, R, "{81 01 05}"}},
    {"fixext1",           "d4 01 00",                   {R, R, R, R, R, R, R, R}},
    {"ext8",              "c7 01 01 00",                {R, R, R, R, R, R, R, R}},
    {"reserved c1",       "c1",                         {R, R, R, R, R, R, R, R}},
};
// clang-format on
#undef R

TEST(ReaderTest, EachMarkerAgainstEachFieldType) {
  for (const auto& row : kMatrix) {
    for (int t = 0; t < kTargets; ++t) {
      SCOPED_TRACE(std::string(row.name) + " into key " + kTargetKeys[t]);
      // The value is followed by an unknown key, so a value read to the wrong length shows.
      const std::string body =
          Bytes(std::string("82 ") + kTargetKeys[t] + " " + row.value + " 09 a1 7a");
      AllModel model;
      bool unknown = false;
      EXPECT_EQ(model.Unpackb(body, &unknown), row.expect[t] != nullptr);
      EXPECT_EQ(model.valid, row.expect[t] != nullptr);
      EXPECT_EQ(unknown, row.expect[t] != nullptr);
      EXPECT_EQ(Render(model, t), row.expect[t] ? row.expect[t] : "nil");
      if (row.expect[t] == nullptr) {
        // The kind of failure: a reserved byte is invalid, anything else a type mismatch.
        EXPECT_EQ(ErrorOf(body), std::string(row.name) == "reserved c1"
                                     ? tessel::idl::kMsgpackInvalid
                                     : tessel::idl::kMsgpackTypeMismatch);
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
      {"cd 00 01", "ok"},
      {"d3 00 00 00 00 00 00 00 01", "ok"},
      {"09", "unknown"},
      {"cf 7f ff ff ff ff ff ff ff", "unknown"},
      {"00", "fail"},
      {"ff", "fail"},
      {"d0 00", "fail"},
      {"cf 80 00 00 00 00 00 00 00", "fail"},
      {"a1 31", "fail"},
      {"c0", "fail"},
      {"ca 3f 80 00 00", "fail"},
      {"80", "fail"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    const std::string body = Bytes(std::string("81 ") + c.key + " a1 7a");
    const std::string outcome = c.outcome;
    AllModel model;
    bool unknown = false;
    EXPECT_EQ(model.Unpackb(body, &unknown), outcome != "fail");
    EXPECT_EQ(unknown, outcome == "unknown");
    EXPECT_EQ(model.text.has_value ? model.text.value : "", outcome == "ok" ? "z" : "");
    EXPECT_EQ(ErrorOf(body), outcome == "fail" ? tessel::idl::kMsgpackInvalid : 0);
    EXPECT_EQ(codec_test::CheckDecodeRoundTrip(body), "");
  }
}

TEST(ReaderTest, UnknownKeysSkipAnyValueButBinAndExt) {
  std::string deep;
  for (int i = 0; i < 200; ++i) deep += i % 2 ? "81 05 " : "91 ";
  const struct {
    std::string value;
    bool ok;
  } cases[] = {
      {"cf ff ff ff ff ff ff ff ff", true},
      {"cb 00 00 00 00 00 00 00 00", true},
      {"db 00 00 00 02 61 62", true},
      {"df 00 00 00 01 a1 6b dc 00 01 a0", true},
      {"82 91 01 c0 81 01 02 c3", true},  // array and map keys
      {deep + "c0", true},
      {"c4 01 00", false},
      {"d4 01 00", false},
      {"92 01 c4 00", false},
      {"81 d4 01 00 01", false},
      {"81 01 c1", false},
      {"dc 00 05 01", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value.substr(0, 40));
    // A known key after the unknown one shows that the skip stopped exactly at its end.
    const std::string body = Bytes("82 09 " + c.value + " 01 a1 7a");
    AllModel model;
    bool unknown = false;
    EXPECT_EQ(model.Unpackb(body, &unknown), c.ok);
    EXPECT_EQ(unknown, c.ok);
    EXPECT_EQ(model.text.has_value ? model.text.value : "", c.ok ? "z" : "");
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
  EXPECT_EQ(Hex(tessel::idl::Packb(model)), "82 01 a1 61 03 07");
  GappedModel bin;
  EXPECT_FALSE(bin.Unpackb(Bytes("82 01 a1 61 02 c4 00"), nullptr));
  EXPECT_EQ(bin.first.value, "a");
}

TEST(ReaderTest, UnknownSeenIsOnlyEverSetAndCountsNestedKeys) {
  for (const char* hex : {"81 01 a0", "81 08 81 09 c0", "81 07 91 81 63 01"}) {
    SCOPED_TRACE(hex);
    bool unknown = std::string(hex) == "81 01 a0";
    AllModel model;
    EXPECT_TRUE(model.Unpackb(Bytes(hex), &unknown));
    EXPECT_TRUE(unknown);
  }
}

TEST(ReaderTest, NilBodiesNilValuesAndValid) {
  AllModel model;
  model.text.Set("old");
  model.small.Set(4);
  EXPECT_TRUE(model.Unpackb(Bytes("c0"), nullptr));
  EXPECT_FALSE(model.valid);
  EXPECT_FALSE(model.Unpackb("", nullptr));
  EXPECT_FALSE(model.Unpackb(Bytes("a0"), nullptr));  // not a map
  // A nil value takes the presence away but leaves the old value in place; bytes after the map
  // are not looked at.
  EXPECT_TRUE(model.Unpackb(Bytes("82 01 c0 08 c0 c1 ff"), nullptr));
  EXPECT_TRUE(model.valid);
  EXPECT_FALSE(model.text.has_value);
  EXPECT_EQ(model.text.value, "old");
  EXPECT_EQ(model.small.value, 4);  // not named by the body: kept
  EXPECT_FALSE(model.inner.has_value);
  EXPECT_FALSE(model.inner.value.valid);  // a nested model read as nil
}

TEST(ReaderTest, DuplicateKeysInAnyOrderAreDecodedAgainIntoTheSameField) {
  AllModel model;
  ASSERT_TRUE(model.Unpackb(Bytes("86 08 81 01 01 01 a1 61 06 91 a1 61 01 a1 62 "
                                  "08 81 02 a1 78 06 91 a1 62"),
                            nullptr));
  // Lists append; the nested model is decoded twice in place, keeping keys of both bodies.
  EXPECT_EQ(Hex(tessel::idl::Packb(model)), "83 01 a1 62 06 92 a1 61 a1 62 08 82 01 01 02 a1 78");
}

TEST(ReaderTest, VectorsDropNilElementsAndAppendToWhatTheyHold) {
  AllModel model;
  model.texts.Set({"p"});
  ASSERT_TRUE(model.Unpackb(Bytes("82 06 94 a1 61 c0 a1 62 c0 07 93 c0 81 01 02 c0"), nullptr));
  EXPECT_EQ(Hex(tessel::idl::Packb(model)), "82 06 93 a1 70 a1 61 a1 62 07 91 81 01 02");
  // A nil vector leaves the elements it held, without a value.
  ASSERT_TRUE(model.Unpackb(Bytes("81 06 c0"), nullptr));
  EXPECT_FALSE(model.texts.has_value);
  EXPECT_EQ(model.texts.value.size(), 3u);
  // A failing element keeps the elements before it; the field itself failed.
  AllModel failed;
  EXPECT_FALSE(failed.Unpackb(Bytes("81 06 93 a1 61 05 a1 62"), nullptr));
  EXPECT_EQ(failed.texts.value, (std::vector<std::string>{"a"}));
  EXPECT_FALSE(failed.texts.has_value);
}

TEST(ReaderTest, FieldsDecodedBeforeAFailureStay) {
  for (const char* body : {
           "84 01 a1 61 02 05 04 c1 03 07",        // bad value
           "84 01 a1 61 02 05",                    // map count larger than its entries
           "83 01 a1 61 02 05 03 cd 01",           // truncated value
           "83 01 a1 61 02 05 00 07",              // bad key
           "83 01 a1 61 02 05 08 82 01 07 02 05",  // nested failure
           "83 01 a1 61 02 05 01 a2 62",           // the same field again, cut short (a bug)
       }) {
    SCOPED_TRACE(body);
    AllModel model;
    EXPECT_FALSE(model.Unpackb(Bytes(body), nullptr));
    EXPECT_FALSE(model.valid);
    EXPECT_EQ(Hex(tessel::idl::Packb(model)), "82 01 a1 61 02 05");
    EXPECT_EQ(codec_test::CheckDecodeRoundTrip(Bytes(body)), "");
  }
}

TEST(ReaderTest, LongStringsInEveryHeaderWidth) {
  for (size_t n : {255u, 65536u}) {
    std::string text(n, 'q');
    text.back() = '!';
    for (int width : {1, 2, 4}) {
      if (n >> (8 * width) != 0) continue;
      SCOPED_TRACE(std::to_string(n) + " in " + std::to_string(width) + " bytes");
      const std::string header = Bytes(width == 1   ? "81 01 d9"
                                       : width == 2 ? "81 01 da"
                                                    : "81 01 db") +
                                 codec_test::Be(n, width);
      AllModel model, cut;
      ASSERT_TRUE(model.Unpackb(header + text, nullptr));
      EXPECT_EQ(model.text.value, text);
      EXPECT_FALSE(cut.Unpackb(header + text.substr(1), nullptr));
      EXPECT_FALSE(cut.text.has_value);
    }
  }
}

}  // namespace
