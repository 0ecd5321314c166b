// What the decoder accepts: each MessagePack marker against each field type, keys, skipping of
// unknown keys, nil, duplicates, vectors and partial failures. Every body here is also run
// through the shared round-trip check, so the typed, generic and streamed decoders must agree
// on each of them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
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

// Each marker against each field (keys 1 text, 2 int, 3 int64, 4 bool, 5 float, 6 texts,
// 7 models, 8 model): the keys that accept it, and the field's value encoded again ("" = the
// field is left without a value). Every other key refuses it.
const struct {
  const char* value;
  const char* keys;
  const char* again;
} kMatrix[] = {
    {"7f", "23", "7f"},
    {"ce 7f ff ff ff", "23", "ce 7f ff ff ff"},
    {"ce 80 00 00 00", "3", "ce 80 00 00 00"},
    {"cf 00 00 00 00 00 00 00 05", "3", "05"},
    {"cf 7f ff ff ff ff ff ff ff", "3", "cf 7f ff ff ff ff ff ff ff"},
    {"cf 80 00 00 00 00 00 00 00", "", ""},
    {"d0 7f", "23", "7f"},
    {"d2 80 00 00 00", "23", "d2 80 00 00 00"},
    {"d3 ff ff ff ff ff ff ff fb", "3", "fb"},
    {"ca 3f c0 00 00", "5", "ca 3f c0 00 00"},
    {"cb 3f f8 00 00 00 00 00 00", "", ""},
    {"c0", "12345678", ""},
    {"c2", "4", "c2"},
    {"d9 02 68 69", "1", "a2 68 69"},
    {"db 00 00 00 02 68 69", "1", "a2 68 69"},
    {"c4 01 00", "", ""},
    {"dd 00 00 00 00", "67", "90"},
    {"91 a1 78", "6", "91 a1 78"},
    {"dc 00 01 81 01 05", "7", "91 81 01 05"},
    {"80", "8", "80"},
    {"df 00 00 00 01 01 05", "8", "81 01 05"},
    {"d4 01 00", "", ""},
    {"c7 01 01 00", "", ""},
    {"c1", "", ""},
};

TEST(ReaderTest, EachMarkerAgainstEachFieldType) {
  for (const auto& row : kMatrix) {
    for (char key = '1'; key <= '8'; ++key) {
      SCOPED_TRACE(std::string(row.value) + " into key " + key);
      // The value is followed by an unknown key, so a value read to the wrong length shows.
      const std::string body = Bytes(std::string("82 0") + key + " " + row.value + " 09 a1 7a");
      const bool accepted = std::string(row.keys).find(key) != std::string::npos;
      AllModel model;
      bool unknown = false;
      EXPECT_EQ(model.Unpackb(body, &unknown), accepted);
      EXPECT_EQ(model.valid, accepted);
      EXPECT_EQ(unknown, accepted);
      EXPECT_EQ(Hex(tessel::idl::Packb(model)),
                accepted && *row.again ? std::string("81 0") + key + " " + row.again : "80");
      // The kind of failure: a reserved byte is invalid, anything else a type mismatch.
      EXPECT_EQ(ErrorOf(body), accepted ? tessel::idl::kMsgpackOk
                               : std::string(row.value) == "c1"
                                   ? tessel::idl::kMsgpackInvalid
                                   : tessel::idl::kMsgpackTypeMismatch);
      EXPECT_EQ(codec_test::CheckDecodeRoundTrip(body), "");
    }
  }
}

TEST(ReaderTest, KeysInEveryIntegerFormAndTheirLimits) {
  // Key 1 in wide forms; keys the model does not have; keys that make the body invalid.
  const std::vector<std::string> keys[] = {
      {"cd 00 01", "d3 00 00 00 00 00 00 00 01"},
      {"09", "cf 7f ff ff ff ff ff ff ff"},
      {"00", "ff", "d0 00", "cf 80 00 00 00 00 00 00 00", "a1 31", "c0", "ca 3f 80 00 00", "80"}};
  for (int outcome = 0; outcome < 3; ++outcome) {
    for (const std::string& key : keys[outcome]) {
      SCOPED_TRACE(key);
      const std::string body = Bytes("81 " + key + " a1 7a");
      AllModel model;
      bool unknown = false;
      EXPECT_EQ(model.Unpackb(body, &unknown), outcome != 2);
      EXPECT_EQ(model.valid, outcome != 2);
      EXPECT_EQ(unknown, outcome == 1);
      EXPECT_EQ(Hex(tessel::idl::Packb(model)), outcome == 0 ? "81 01 a1 7a" : "80");
      EXPECT_EQ(ErrorOf(body), outcome == 2 ? tessel::idl::kMsgpackInvalid : 0);
      EXPECT_EQ(codec_test::CheckDecodeRoundTrip(body), "");
    }
  }
}

TEST(ReaderTest, UnknownKeysSkipAnyValueButBinAndExt) {
  std::string deep;
  for (int i = 0; i < 200; ++i) deep += i % 2 ? "81 05 " : "91 ";
  const std::vector<std::string> values[] = {
      {"cf ff ff ff ff ff ff ff ff", "cb 00 00 00 00 00 00 00 00", "db 00 00 00 02 61 62",
       "df 00 00 00 01 a1 6b dc 00 01 a0", "82 91 01 c0 81 01 02 c3", deep + "c0"},
      {"c4 01 00", "d4 01 00", "92 01 c4 00", "81 d4 01 00 01", "81 01 c1", "dc 00 05 01"}};
  for (bool ok : {true, false}) {
    for (const std::string& value : values[ok ? 0 : 1]) {
      SCOPED_TRACE(value.substr(0, 40));
      // A known key after the unknown one shows that the skip stopped exactly at its end.
      const std::string body = Bytes("82 09 " + value + " 01 a1 7a");
      AllModel model;
      bool unknown = false;
      EXPECT_EQ(model.Unpackb(body, &unknown), ok);
      EXPECT_EQ(model.valid, ok);
      EXPECT_EQ(unknown, ok);
      EXPECT_EQ(Hex(tessel::idl::Packb(model)), ok ? "81 01 a1 7a" : "80");
      EXPECT_EQ(codec_test::CheckDecodeRoundTrip(body), "");
    }
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
  // Unknown keys inside nested models and list elements count too; a clean decode never clears
  // the flag.
  const std::pair<const char*, bool> cases[] = {
      {"81 08 81 09 c0", false}, {"81 07 91 81 63 01", false}, {"81 01 a0", true}};
  for (const auto& [hex, seen_before] : cases) {
    AllModel all;
    unknown = seen_before;
    EXPECT_TRUE(all.Unpackb(Bytes(hex), &unknown));
    EXPECT_TRUE(unknown) << hex;
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

TEST(ReaderTest, LongStringsArriveWholeOrNotAtAll) {
  const std::pair<const char*, size_t> cases[] = {
      {"d9 ff", 255}, {"da ff ff", 65535}, {"db 00 01 00 00", 65536}};
  for (const auto& [header, n] : cases) {
    SCOPED_TRACE(header);
    std::string text(n, 'q');
    text.back() = '!';
    AllModel model, cut;
    ASSERT_TRUE(model.Unpackb(Bytes(std::string("81 01 ") + header) + text, nullptr));
    EXPECT_EQ(model.text.value, text);
    EXPECT_FALSE(cut.Unpackb(Bytes(std::string("81 01 ") + header) + text.substr(1), nullptr));
    EXPECT_FALSE(cut.text.has_value);
  }
}

}  // namespace
