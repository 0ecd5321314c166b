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
using codec_test::Hex;
using codec_test::InnerModel;
using tessel::idl::BaseModel;
using tessel::idl::BaseModelValue;
using tessel::idl::JsonDeSerializeContext;
using tessel::idl::JsonSerializeContext;
using tessel::idl::ModelValue;
using tessel::idl::ObjectModelValue;

std::string Packed(const BaseModel& m) {
  return Hex(tessel::idl::Packb(m), 200);
}

// ---- MergeFrom ------------------------------------------------------------------------------

TEST(MergeFromTest, PlainValuesCopyOnlyIntoAnEmptyField) {
  const struct {
    const char* name;
    bool mine_present;
    bool theirs_present;
    const char* result;  // text after the merge, or "absent"
  } cases[] = {
      {"both present", true, true, "mine"},
      {"only theirs", false, true, "theirs"},
      {"only mine", true, false, "mine"},
      {"neither", false, false, "absent"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ModelValue<std::string> mine, theirs;
    mine.value = "mine";  // a stale value stays behind an absent flag
    mine.has_value = c.mine_present;
    theirs.value = "theirs";
    theirs.has_value = c.theirs_present;
    mine.MergeFrom(theirs);
    EXPECT_EQ(mine.has_value ? mine.value : std::string("absent"), c.result);
    EXPECT_EQ(theirs.value, "theirs");
  }
  // Lists are copied whole, never appended.
  ModelValue<std::vector<std::string>> list, other;
  list.value = {"stale"};
  other.Set({"x", "y"});
  list.MergeFrom(other);
  EXPECT_TRUE(list.has_value);
  EXPECT_EQ(list.value, (std::vector<std::string>{"x", "y"}));
}

TEST(MergeFromTest, NestedModelValueIsCopiedWholeOnlyWhenAbsent) {
  ModelValue<InnerModel> present, absent, theirs;
  present.value.number.Set(1);
  present.has_value = true;
  absent.value.number.Set(9);  // stale: replaced by the whole copy
  theirs.value.text.Set("x");
  theirs.has_value = true;
  present.MergeFrom(theirs);
  absent.MergeFrom(theirs);
  EXPECT_EQ(Packed(present.value), "81 01 01");
  EXPECT_TRUE(absent.has_value);
  EXPECT_EQ(Packed(absent.value), "81 02 a1 78");
}

TEST(MergeFromTest, ObjectModelValueMergesFieldByField) {
  const struct {
    const char* name;
    bool mine_present;
    bool theirs_present;
    bool present_after;
    const char* inner_after;
  } cases[] = {
      // Mine has number 1 and texts; theirs has number 2 and text "x".
      {"both present", true, true, true, "83 01 01 02 a1 78 03 91 a1 6d"},
      {"mine absent", false, true, true, "83 01 01 02 a1 78 03 91 a1 6d"},
      {"theirs absent", true, false, true, "82 01 01 03 91 a1 6d"},
      {"neither", false, false, false, "82 01 01 03 91 a1 6d"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ObjectModelValue<InnerModel> mine, theirs;
    mine.value.number.Set(1);
    mine.value.texts.Set({"m"});
    mine.has_value = c.mine_present;
    theirs.value.number.Set(2);
    theirs.value.text.Set("x");
    theirs.has_value = c.theirs_present;
    mine.MergeFrom(theirs);
    EXPECT_EQ(mine.has_value, c.present_after);
    EXPECT_EQ(Packed(mine.value), c.inner_after);
  }
}

// A model whose field count is chosen at run time, so two of the same type can differ.
class VarModel : public BaseModel {
 public:
  void Resize(int n) { fields_.resize(static_cast<size_t>(n)); }
  int FieldCount() const override { return static_cast<int>(fields_.size()); }
  void GetFields(BaseModelValue** out) override {
    for (auto& f : fields_) *out++ = &f;
  }
  ModelValue<int>& at(int i) { return fields_[static_cast<size_t>(i)]; }

 private:
  std::vector<ModelValue<int>> fields_;
};

TEST(MergeFromTest, ObjectModelValueWithDifferentFieldCountsOnlyTakesPresence) {
  ObjectModelValue<VarModel> mine, theirs;
  mine.value.Resize(2);
  theirs.value.Resize(3);
  theirs.value.at(0).Set(5);
  theirs.has_value = true;
  mine.MergeFrom(theirs);
  EXPECT_TRUE(mine.has_value);
  EXPECT_FALSE(mine.value.at(0).has_value);
}

TEST(MergeFromTest, MergingWholeModelsThroughTheirFields) {
  AllModel a, b;
  a.text.Set("a");
  a.inner.value.number.Set(1);
  a.inner.has_value = true;
  b.text.Set("b");
  b.small.Set(2);
  b.inner.value.text.Set("bx");
  b.inner.has_value = true;
  b.inners.value.resize(1);
  b.inners.has_value = true;
  BaseModelValue* mine[tessel::idl::kMaxModelFields];
  BaseModelValue* theirs[tessel::idl::kMaxModelFields];
  a.GetFields(mine);
  b.GetFields(theirs);
  for (int i = 0; i < a.FieldCount(); ++i) mine[i]->MergeFrom(*theirs[i]);
  EXPECT_EQ(Packed(a), "84 01 a1 61 02 02 07 91 80 08 82 01 01 02 a2 62 78");
}

// ---- Clear ----------------------------------------------------------------------------------

TEST(ClearTest, EveryTypeResetsToItsEmptyValue) {
  AllModel model;
  model.text.Set("t");
  model.small.Set(-1);
  model.wide.Set(-1);
  model.flag.Set(true);
  model.real.Set(2.5f);
  model.texts.Set({"a"});
  model.inners.value.resize(3);
  model.inners.has_value = true;
  model.inner.value.number.Set(3);
  model.inner.value.texts.Set({"b"});
  model.inner.has_value = true;
  BaseModelValue* fields[tessel::idl::kMaxModelFields];
  model.GetFields(fields);
  for (int i = 0; i < model.FieldCount(); ++i) {
    fields[i]->Clear();
    EXPECT_FALSE(fields[i]->has_value) << i;
  }
  EXPECT_FALSE(model.inner.value.valid);
  EXPECT_FALSE(model.inner.value.number.has_value);
  // Marked present again, the fields show what Clear left in them.
  for (int i = 0; i < model.FieldCount(); ++i) fields[i]->has_value = true;
  EXPECT_EQ(Packed(model), "88 01 a0 02 00 03 00 04 c2 05 ca 00 00 00 00 06 90 07 90 08 80");
}

// ---- JSON -----------------------------------------------------------------------------------

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

TEST(JsonTest, ModelToObjectNamesMembersByFieldIndex) {
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
  model.inner.value.number.Set(300);
  model.inner.value.text.Set("x");
  model.inner.value.texts.Set({"y"});
  model.inner.has_value = true;
  bool ok = false;
  EXPECT_EQ(ToJsonText(model, &ok),
            R"({"0":"hello","1":-33,"2":4294967296,"3":true,"4":1.5,"5":["a",""],)"
            R"("6":[{"0":5},{}],"7":{"0":300,"1":"x","2":["y"]}})");
  EXPECT_TRUE(ok);
}

TEST(JsonTest, AbsentFieldsAndEmptyNestedObjectsAreLeftOut) {
  const struct {
    const char* name;
    void (*fill)(AllModel*);
    const char* json;
  } cases[] = {
      {"nothing", [](AllModel*) {}, "{}"},
      {"nested without present fields", [](AllModel* m) { m->inner.has_value = true; }, "{}"},
      {"nested with an empty list",
       [](AllModel* m) {
         m->inner.value.texts.Set({});
         m->inner.has_value = true;
       },
       R"({"7":{"2":[]}})"},
      {"empty lists stay",
       [](AllModel* m) {
         m->texts.Set({});
         m->inners.Set({});
       },
       R"({"5":[],"6":[]})"},
      {"absent nested with contents", [](AllModel* m) { m->inner.value.number.Set(1); }, "{}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AllModel model;
    c.fill(&model);
    bool ok = false;
    EXPECT_EQ(ToJsonText(model, &ok), c.json);
    EXPECT_TRUE(ok);
  }
}

// A field whose conversion to JSON always fails.
class FailingValue : public ModelValue<int> {
 public:
  bool ToJson(const std::string&, JsonSerializeContext*) const override { return false; }
};

class ModelWithFailingField : public BaseModel {
 public:
  int FieldCount() const override { return 3; }
  void GetFields(BaseModelValue** out) override {
    out[0] = &first;
    out[1] = &failing;
    out[2] = &third;
  }
  ModelValue<std::string> first;
  FailingValue failing;
  ModelValue<std::string> third;
};

TEST(JsonTest, FailingFieldStopsTheConversion) {
  ModelWithFailingField model;
  model.first.Set("a");
  model.failing.Set(1);
  model.third.Set("c");
  bool ok = true;
  EXPECT_EQ(ToJsonText(model, &ok), R"({"0":"a"})");
  EXPECT_FALSE(ok);
}

TEST(JsonTest, ObjectToModelAcceptanceRules) {
  // The encoded model after FromJsonObject; on failure the fields converted so far stay, and the
  // failing field counts as present (it is marked before its conversion).
  const struct {
    const char* json;
    bool ok;
    const char* packed;
  } cases[] = {
      {R"({})", true, "80"},
      {R"({"0":"hi"})", true, "81 01 a2 68 69"},
      {R"({"0":5})", false, "81 01 a0"},
      {R"({"1":42})", true, "81 02 2a"},
      {R"({"1":"42"})", true, "81 02 2a"},
      {R"({"1":"-7"})", true, "81 02 f9"},
      {R"({"1":""})", true, "81 02 00"},
      {R"({"1":"abc"})", true, "81 02 00"},
      {R"({"1":3.5})", false, "81 02 00"},
      {R"({"1":true})", false, "81 02 00"},
      {R"({"1":null})", false, "81 02 00"},
      {R"({"1":4294967296})", false, "81 02 00"},
      {R"({"2":"9007199254740993"})", true, "81 03 cf 00 20 00 00 00 00 00 01"},
      {R"({"2":-9223372036854775808})", true, "81 03 d3 80 00 00 00 00 00 00 00"},
      {R"({"2":1.0})", false, "81 03 00"},
      {R"({"2":"x"})", true, "81 03 00"},
      {R"({"3":true})", true, "81 04 c3"},
      {R"({"3":false})", true, "81 04 c2"},
      {R"({"3":1})", false, "81 04 c2"},
      {R"({"3":"true"})", false, "81 04 c2"},
      {R"({"4":2})", true, "81 05 ca 40 00 00 00"},
      {R"({"4":-0.5})", true, "81 05 ca bf 00 00 00"},
      {R"({"4":"1.25"})", true, "81 05 ca 3f a0 00 00"},
      {R"({"4":""})", true, "81 05 ca 00 00 00 00"},
      {R"({"4":true})", false, "81 05 ca 00 00 00 00"},
      {R"({"5":["a","b"]})", true, "81 06 92 a1 61 a1 62"},
      {R"({"5":"a"})", false, "81 06 90"},
      {R"({"5":["a",1,"c"]})", false, "81 06 91 a1 61"},
      {R"({"6":[{"0":1},{}]})", true, "81 07 92 81 01 01 80"},
      {R"({"6":[1]})", false, "81 07 90"},
      {R"({"7":{"1":"x"}})", true, "81 08 81 02 a1 78"},
      {R"({"7":[]})", false, "81 08 80"},
      {R"({"7":{"0":true}})", false, "81 08 81 01 00"},
      {R"({"7":{"0":"x"}})", true, "81 08 81 01 00"},
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
}

TEST(JsonTest, NonObjectInputFails) {
  for (const char* json : {"[]", "\"x\"", "1", "null"}) {
    SCOPED_TRACE(json);
    rapidjson::Document doc;
    doc.Parse(json);
    AllModel model;
    EXPECT_FALSE(model.FromJsonObject(JsonDeSerializeContext{&doc}));
    EXPECT_FALSE(model.valid);
  }
  AllModel model;
  EXPECT_FALSE(model.FromJsonObject(JsonDeSerializeContext{nullptr}));
}

TEST(JsonTest, RoundTripKeepsEveryValue) {
  AllModel model;
  model.text.Set("t\"\\\n");
  model.small.Set(INT32_MIN);
  model.wide.Set(INT64_MIN);
  model.flag.Set(false);
  model.real.Set(-3.25f);
  model.texts.Set({"", "b"});
  model.inners.value.resize(1);
  model.inners.value[0].texts.Set({"z"});
  model.inners.has_value = true;
  model.inner.value.text.Set("i");
  model.inner.has_value = true;
  bool ok = false;
  const std::string json = ToJsonText(model, &ok);
  ASSERT_TRUE(ok);
  rapidjson::Document doc;
  ASSERT_FALSE(doc.Parse(json.c_str()).HasParseError());
  AllModel back;
  ASSERT_TRUE(back.FromJsonObject(JsonDeSerializeContext{&doc}));
  EXPECT_EQ(Packed(back), Packed(model));
}

}  // namespace
