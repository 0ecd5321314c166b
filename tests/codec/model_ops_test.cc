// Operations on values and models other than the wire codec: MergeFrom, Clear and the JSON
// conversion both ways. Results are mostly checked through the encoded bytes, which show
// presence and value of every field at once.
#include <gtest/gtest.h>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <string>
#include <vector>

#include "support/codec_all_types.h"
#include "support/codec_bytes.h"
#include "tessel/idl/json_context.h"
#include "tessel/idl/model.h"

namespace {

using codec_test::AllModel;
using codec_test::InnerModel;
using tessel::idl::BaseModel;
using tessel::idl::BaseModelValue;
using tessel::idl::JsonDeSerializeContext;
using tessel::idl::JsonSerializeContext;
using tessel::idl::ModelValue;
using tessel::idl::ObjectModelValue;

std::string Packed(const BaseModel& m) {
  return codec_test::Hex(tessel::idl::Packb(m), 200);
}

// Plain values and whole nested models (ModelValue<Model>) copy only into an empty field;
// ObjectModelValue merges field by field and takes presence from either side.
TEST(MergeFromTest, PresenceDecidesWhatIsCopied) {
  const struct {
    bool mine, theirs;
    const char* text;  // ModelValue<std::string> after the merge
    const char* nested;
    const char* object;
  } cases[] = {
      {true, true, "mine", "81 01 01", "+83 01 01 02 a1 78 03 91 a1 6d"},
      {false, true, "theirs", "81 02 a1 78", "+83 01 01 02 a1 78 03 91 a1 6d"},
      {true, false, "mine", "81 01 01", "+82 01 01 03 91 a1 6d"},
      {false, false, "absent", "absent", "-82 01 01 03 91 a1 6d"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.mine) + std::to_string(c.theirs));
    ModelValue<std::string> text, their_text;
    text.value = "mine";  // a stale value stays behind an absent flag
    text.has_value = c.mine;
    their_text.value = "theirs";
    their_text.has_value = c.theirs;
    text.MergeFrom(their_text);
    EXPECT_EQ(text.has_value ? text.value : "absent", c.text);

    ModelValue<InnerModel> nested, their_nested;
    ObjectModelValue<InnerModel> object, their_object;
    nested.value.number.Set(1);
    object.value.number.Set(1);
    object.value.texts.Set({"m"});
    nested.has_value = object.has_value = c.mine;
    their_nested.value.text.Set("x");
    their_object.value.number.Set(2);
    their_object.value.text.Set("x");
    their_nested.has_value = their_object.has_value = c.theirs;
    nested.MergeFrom(their_nested);
    object.MergeFrom(their_object);
    EXPECT_EQ(nested.has_value ? Packed(nested.value) : "absent", c.nested);
    EXPECT_EQ((object.has_value ? "+" : "-") + Packed(object.value), c.object);
  }
  // Lists are copied whole, never appended.
  ModelValue<std::vector<std::string>> list, other;
  list.value = {"stale"};
  other.Set({"x", "y"});
  list.MergeFrom(other);
  EXPECT_EQ(list.value, (std::vector<std::string>{"x", "y"}));
}

TEST(ClearTest, EveryTypeResetsToItsEmptyValue) {
  AllModel model;
  model.text.Set("t");
  model.wide.Set(-1);
  model.flag.Set(true);
  model.real.Set(2.5f);
  model.inners.value.resize(3);
  model.inner.value.number.Set(3);
  BaseModelValue* fields[tessel::idl::kMaxModelFields];
  model.GetFields(fields);
  for (int i = 0; i < model.FieldCount(); ++i) {
    fields[i]->has_value = true;
    fields[i]->Clear();
    EXPECT_FALSE(fields[i]->has_value) << i;
  }
  EXPECT_FALSE(model.inner.value.valid);
  // Marked present again, the fields show what Clear left in them.
  for (int i = 0; i < model.FieldCount(); ++i) fields[i]->has_value = true;
  EXPECT_EQ(Packed(model), "88 01 a0 02 00 03 00 04 c2 05 ca 00 00 00 00 06 90 07 90 08 80");
}

std::string ToJsonText(const BaseModel& model, bool* ok) {
  rapidjson::Document doc;
  doc.SetObject();
  JsonSerializeContext ctx{&doc, &doc.GetAllocator()};
  *ok = model.ToJsonObject(&ctx);
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  doc.Accept(writer);
  return buffer.GetString();
}

TEST(JsonTest, ModelToObjectNamesMembersByFieldIndexAndLeavesOutEmptyObjects) {
  AllModel model;
  model.text.Set("hello");
  model.small.Set(-33);
  model.wide.Set(INT64_C(4294967296));
  model.flag.Set(true);
  model.real.Set(1.5f);
  model.texts.Set({"a", ""});
  model.inners.value.resize(2);
  model.inners.value[0].number.Set(5);
  model.inners.has_value = true;
  model.inner.value.texts.Set({});
  model.inner.has_value = true;
  bool ok = false;
  EXPECT_EQ(ToJsonText(model, &ok),
            R"({"0":"hello","1":-33,"2":4294967296,"3":true,"4":1.5,"5":["a",""],)"
            R"("6":[{"0":5},{}],"7":{"2":[]}})");
  EXPECT_TRUE(ok);
  model.inner.value.texts.Clear();  // a nested object without present fields is left out
  model.texts.Clear();
  model.inners.Clear();
  EXPECT_EQ(ToJsonText(model, &ok), R"({"0":"hello","1":-33,"2":4294967296,"3":true,"4":1.5})");
}

TEST(JsonTest, ObjectToModelAcceptanceRules) {
  // The encoded model after FromJsonObject; on failure the fields converted so far stay, and the
  // failing field counts as present (it is marked before its conversion).
  const struct {
    const char* json;
    bool ok;
    const char* packed;
  } cases[] = {
      {R"({"0":5})", false, "81 01 a0"},
      {R"({"1":"-7"})", true, "81 02 f9"},
      {R"({"1":"abc"})", true, "81 02 00"},
      {R"({"1":3.5})", false, "81 02 00"},
      {R"({"1":4294967296})", false, "81 02 00"},
      {R"({"2":"9007199254740993"})", true, "81 03 cf 00 20 00 00 00 00 00 01"},
      {R"({"2":-9223372036854775808})", true, "81 03 d3 80 00 00 00 00 00 00 00"},
      {R"({"2":9223372036854775808})", false, "81 03 00"},
      {R"({"2":2.5})", false, "81 03 00"},
      {R"({"3":1})", false, "81 04 c2"},
      {R"({"4":"1.25"})", true, "81 05 ca 3f a0 00 00"},
      {R"({"5":["a",1,"c"]})", false, "81 06 91 a1 61"},
      {R"({"6":[{"0":1},{}]})", true, "81 07 92 81 01 01 80"},
      {R"({"7":[]})", false, "81 08 80"},
      {R"({"1":1,"9":5,"x":1,"-1":2})", true, "81 02 01"},
      // Conversion runs in field order and stops at the first failure.
      {R"({"2":5,"1":true,"0":"a"})", false, "82 01 a1 61 02 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    rapidjson::Document doc;
    ASSERT_FALSE(doc.Parse(c.json).HasParseError());
    AllModel model;
    EXPECT_EQ(model.FromJsonObject(JsonDeSerializeContext{&doc}), c.ok);
    EXPECT_EQ(model.valid, c.ok);
    EXPECT_EQ(Packed(model), c.packed);
  }
  rapidjson::Document array;
  array.Parse("[]");
  AllModel model;
  EXPECT_FALSE(model.FromJsonObject(JsonDeSerializeContext{&array}));
  EXPECT_FALSE(model.valid);
  EXPECT_FALSE(model.FromJsonObject(JsonDeSerializeContext{nullptr}));
}

}  // namespace
