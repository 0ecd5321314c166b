// What the encoder puts on the wire, byte for byte, through every writer: the typed two-pass
// Packb of generated models, Packb through BaseModel (growing buffer), a StringSink stream and
// a plain write callback.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "support/codec_all_types.h"
#include "support/codec_bytes.h"
#include "support/codec_roundtrip.h"
#include "tessel/idl/model.h"
#include "tessel/idl/msgpack.h"

namespace {

using codec_test::AllModel;
using codec_test::Bytes;
using codec_test::Hex;
using codec_test::InnerModel;
using tessel::idl::BaseModel;
using tessel::idl::BaseModelValue;
using tessel::idl::ModelValue;
using tessel::idl::MsgpackContext;

// The bytes every writer agrees on; a disagreement fails the test.
template <typename M>
std::string Encode(const M& model) {
  std::string complaint;
  const std::string bytes = codec_test::PackEveryWay(model, &complaint);
  EXPECT_EQ(complaint, "");
  return bytes;
}

// A model of `n` int fields (up to the 100 a model may have), field i holding i + 1.
class WideModel : public BaseModel {
 public:
  explicit WideModel(int n) : fields_(static_cast<size_t>(n)) {
    for (int i = 0; i < n; ++i) fields_[static_cast<size_t>(i)].Set(i + 1);
  }
  int FieldCount() const override { return static_cast<int>(fields_.size()); }
  void GetFields(BaseModelValue** out) override {
    for (auto& f : fields_) *out++ = &f;
  }
  ModelValue<int>& field(int i) { return fields_[static_cast<size_t>(i)]; }

 private:
  std::vector<ModelValue<int>> fields_;
};

TEST(WireFormatTest, IntegersTakeTheSmallestForm) {
  const struct {
    int64_t value;
    const char* hex;
  } cases[] = {
      {0, "00"},
      {1, "01"},
      {127, "7f"},
      {128, "cc 80"},
      {255, "cc ff"},
      {256, "cd 01 00"},
      {300, "cd 01 2c"},
      {65535, "cd ff ff"},
      {65536, "ce 00 01 00 00"},
      {INT32_MAX, "ce 7f ff ff ff"},
      {INT64_C(0xFFFFFFFF), "ce ff ff ff ff"},
      {INT64_C(0x100000000), "cf 00 00 00 01 00 00 00 00"},
      {INT64_MAX, "cf 7f ff ff ff ff ff ff ff"},
      {-1, "ff"},
      {-32, "e0"},
      {-33, "d0 df"},
      {-128, "d0 80"},
      {-129, "d1 ff 7f"},
      {-32768, "d1 80 00"},
      {-32769, "d2 ff ff 7f ff"},
      {INT32_MIN, "d2 80 00 00 00"},
      {INT64_C(-2147483649), "d3 ff ff ff ff 7f ff ff ff"},
      {INT64_MIN, "d3 80 00 00 00 00 00 00 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    AllModel wide;
    wide.wide.Set(c.value);
    EXPECT_EQ(Hex(Encode(wide)), Hex(Bytes(std::string("81 03 ") + c.hex)));
    // `int` is widened with its sign first, so it shares the forms of its range.
    if (c.value >= INT32_MIN && c.value <= INT32_MAX) {
      AllModel small;
      small.small.Set(static_cast<int>(c.value));
      EXPECT_EQ(Hex(Encode(small)), Hex(Bytes(std::string("81 02 ") + c.hex)));
    }
  }
}

TEST(WireFormatTest, StringHeadersNeverUseTheOneByteLengthForm) {
  const struct {
    size_t length;
    const char* header;
  } cases[] = {
      {0, "a0"},
      {1, "a1"},
      {31, "bf"},
      {32, "da 00 20"},
      {40, "da 00 28"},
      {255, "da 00 ff"},
      {256, "da 01 00"},
      {65535, "da ff ff"},
      {65536, "db 00 01 00 00"},
      {70000, "db 00 01 11 70"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    std::string text(c.length, 's');
    if (c.length > 2) text[c.length - 1] = 'e';  // the last byte must land too
    AllModel model;
    model.text.Set(text);
    EXPECT_EQ(Encode(model), Bytes(std::string("81 01 ") + c.header) + text);
  }
}

TEST(WireFormatTest, ArrayHeadersAtEveryWidthBoundary) {
  const struct {
    size_t count;
    const char* header;
  } cases[] = {
      {0, "90"},        {1, "91"},           {15, "9f"},
      {16, "dc 00 10"}, {65535, "dc ff ff"}, {65536, "dd 00 01 00 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    AllModel model;
    model.texts.Set(std::vector<std::string>(c.count));
    EXPECT_EQ(Encode(model),
              Bytes(std::string("81 06 ") + c.header) + std::string(c.count, '\xa0'));
  }
}

// Models hold at most 100 fields, so the wide map headers are checked on the writer itself.
TEST(WireFormatTest, ContainerHeadersFromEveryWriter) {
  const struct {
    uint32_t count;
    const char* map;
    const char* array;
  } cases[] = {
      {0, "80", "90"},
      {15, "8f", "9f"},
      {16, "de 00 10", "dc 00 10"},
      {65535, "de ff ff", "dc ff ff"},
      {65536, "df 00 01 00 00", "dd 00 01 00 00"},
      {0xFFFFFFFFu, "df ff ff ff ff", "dd ff ff ff ff"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    std::string via_string, via_buffer, via_callback;
    tessel::idl::StringSink string_sink{&via_string};
    MsgpackContext a = tessel::idl::MakeWriteContext(&string_sink);
    tessel::idl::BufferSink buffer_sink{&via_buffer, 0};
    MsgpackContext b = tessel::idl::MakeWriteContext(&buffer_sink);
    MsgpackContext cb;
    cb.buffer = &via_callback;
    cb.write = &codec_test::StreamWrite;
    for (MsgpackContext* ctx : {&a, &b, &cb}) {
      ASSERT_TRUE(tessel::idl::msgpack::WriteMapHeader(ctx, c.count));
      ASSERT_TRUE(tessel::idl::msgpack::WriteArrayHeader(ctx, c.count));
    }
    via_buffer.resize(buffer_sink.used);
    const std::string expected = Bytes(c.map) + Bytes(c.array);
    EXPECT_EQ(Hex(via_string), Hex(expected));
    EXPECT_EQ(Hex(via_buffer), Hex(expected));
    EXPECT_EQ(Hex(via_callback), Hex(expected));
  }
}

TEST(WireFormatTest, MapHeaderCountsPresentFieldsAndKeysFollowFieldPositions) {
  const struct {
    int fields;
    const char* start;  // header and first entry
  } cases[] = {
      {1, "81 01 01"},
      {15, "8f 01 01"},
      {16, "de 00 10 01 01"},
      {100, "de 00 64 01 01"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fields);
    WideModel model(c.fields);
    const std::string bytes = Encode(model);
    ASSERT_EQ(Hex(bytes.substr(0, Bytes(c.start).size())), Hex(Bytes(c.start)));
    // The last key is the field count; values 1..127 are single bytes too.
    const auto n = static_cast<char>(c.fields);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), std::string({n, n}));
  }
  WideModel sparse(100);
  for (int i = 0; i < 100; ++i) {
    if (i != 0 && i != 16 && i != 99) sparse.field(i).Clear();
  }
  EXPECT_EQ(Hex(Encode(sparse)), "83 01 01 11 11 64 64");
}

TEST(WireFormatTest, ModelWithMoreFieldsThanTheLimitDoesNotEncode) {
  WideModel too_wide(tessel::idl::kMaxModelFields + 1);
  std::string body = "left over";
  EXPECT_FALSE(tessel::idl::Packb(too_wide, &body));
  EXPECT_EQ(body, "");
}

TEST(WireFormatTest, FloatsKeepTheirSinglePrecisionBits) {
  const uint32_t bit_patterns[] = {
      0x3fc00000u,  // 1.5
      0x00000000u,  // +0
      0x80000000u,  // -0
      0x7f800000u,  // +inf
      0xff800000u,  // -inf
      0x7fc00001u,  // a NaN with payload
      0x00000001u,  // smallest subnormal
      0x7f7fffffu,  // FLT_MAX
  };
  for (uint32_t bits : bit_patterns) {
    SCOPED_TRACE(bits);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    AllModel model;
    model.real.Set(v);
    EXPECT_EQ(Hex(Encode(model)), Hex(Bytes("81 05 ca") + codec_test::Be(bits, 4)));
  }
}

TEST(WireFormatTest, SmallBodies) {
  const struct {
    const char* name;
    std::function<void(AllModel*)> fill;
    const char* hex;
  } cases[] = {
      {"nothing set", [](AllModel*) {}, "80"},
      {"true", [](AllModel* m) { m->flag.Set(true); }, "81 04 c3"},
      {"false", [](AllModel* m) { m->flag.Set(false); }, "81 04 c2"},
      {"empty text is written", [](AllModel* m) { m->text.Set(""); }, "81 01 a0"},
      {"empty list is written", [](AllModel* m) { m->texts.Set({}); }, "81 06 90"},
      {"texts",
       [](AllModel* m) {
         m->texts.Set({"a", "", "bc"});
       },
       "81 06 93 a1 61 a0 a2 62 63"},
      {"nested model without fields", [](AllModel* m) { m->inner.has_value = true; }, "81 08 80"},
      {"nested model",
       [](AllModel* m) {
         m->inner.value.number.Set(300);
         m->inner.value.texts.Set({"y"});
         m->inner.has_value = true;
       },
       "81 08 82 01 cd 01 2c 03 91 a1 79"},
      {"list of models, one empty",
       [](AllModel* m) {
         m->inners.value.resize(2);
         m->inners.value[0].number.Set(-33);
         m->inners.has_value = true;
       },
       "81 07 92 81 01 d0 df 80"},
      // Fields without a value are not written, whatever the nested contents.
      {"absent nested model with contents", [](AllModel* m) { m->inner.value.number.Set(1); },
       "80"},
      {"a cleared field is gone",
       [](AllModel* m) {
         m->text.Set("x");
         m->text.Clear();
       },
       "80"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AllModel model;
    c.fill(&model);
    EXPECT_EQ(Hex(Encode(model)), c.hex);
  }
  InnerModel inner;
  inner.number.Set(300);
  EXPECT_EQ(Hex(Encode(inner)), "81 01 cd 01 2c");
}

TEST(WireFormatTest, EveryFieldTypeInKeyOrderWhateverTheOrderOfAssignment) {
  AllModel model;
  model.inner.value.texts.Set({"y"});
  model.inner.value.text.Set("x");
  model.inner.value.number.Set(300);
  model.inner.has_value = true;
  model.inners.value.resize(2);
  model.inners.value[0].number.Set(5);
  model.inners.has_value = true;
  model.texts.Set({"a", ""});
  model.real.Set(1.5f);
  model.flag.Set(true);
  model.wide.Set(INT64_C(0x100000000));
  model.small.Set(-33);
  model.text.Set("hello");
  EXPECT_EQ(Hex(Encode(model), 200),
            "88 01 a5 68 65 6c 6c 6f 02 d0 df 03 cf 00 00 00 01 00 00 00 00 04 c3 05 ca 3f c0 "
            "00 00 06 92 a1 61 a0 07 92 81 01 05 80 08 83 01 cd 01 2c 02 a1 78 03 91 a1 79");
}

TEST(WireFormatTest, RecordConversionMarksEveryFieldPresent) {
  codec_test::All record;
  record.inners.resize(1);
  EXPECT_EQ(Hex(Encode(tessel::idl::ToModel(record)), 200),
            "88 01 a0 02 00 03 00 04 c2 05 ca 00 00 00 00 06 90 07 91 83 01 00 02 a0 03 90 08 "
            "83 01 00 02 a0 03 90");
}

// A sink with a byte budget: takes a write whole or refuses it (returns 0).
struct BudgetSink {
  std::string out;
  size_t budget = 0;
  int calls_after_refusal = 0;
  bool refused = false;
};

size_t BudgetWrite(MsgpackContext* ctx, const void* src, size_t n) {
  auto* s = static_cast<BudgetSink*>(ctx->buffer);
  if (s->refused) ++s->calls_after_refusal;
  if (s->out.size() + n > s->budget) {
    s->refused = true;
    return 0;
  }
  s->out.append(static_cast<const char*>(src), n);
  return n;
}

TEST(WireFormatTest, RefusedWriteStopsTheEncodeAtOnce) {
  AllModel model;
  model.text.Set("hello");
  model.wide.Set(70000);
  model.texts.Set({"a", std::string(40, 'b')});
  model.inner.value.number.Set(1);
  model.inner.has_value = true;
  const std::string full = tessel::idl::Packb(model);
  for (size_t budget = 0; budget <= full.size(); ++budget) {
    SCOPED_TRACE(budget);
    for (bool typed : {false, true}) {
      BudgetSink sink;
      sink.budget = budget;
      MsgpackContext ctx;
      ctx.buffer = &sink;
      ctx.write = &BudgetWrite;
      const bool ok = typed ? model.Pack(&ctx) : static_cast<const BaseModel&>(model).Pack(&ctx);
      if (budget == full.size()) {
        EXPECT_TRUE(ok);
        EXPECT_EQ(sink.out, full);
        EXPECT_EQ(ctx.error, tessel::idl::kMsgpackOk);
      } else {
        EXPECT_FALSE(ok);
        EXPECT_EQ(ctx.error, tessel::idl::kMsgpackWriteFailed);
        EXPECT_EQ(sink.calls_after_refusal, 0);
        EXPECT_EQ(sink.out, full.substr(0, sink.out.size()));
      }
    }
  }
}

// A marker byte counts as written only when the callback reports exactly one byte; any other
// write counts when the callback reports anything at all.
TEST(WireFormatTest, WriteCallbackCountRules) {
  const struct {
    const char* name;
    size_t (*write)(MsgpackContext*, const void*, size_t);
    bool ok;
  } cases[] = {
      {"honest", [](MsgpackContext*, const void*, size_t n) { return n; }, true},
      {"always one", [](MsgpackContext*, const void*, size_t) -> size_t { return 1; }, true},
      {"over-reports", [](MsgpackContext*, const void*, size_t n) { return n + 1; }, false},
      {"drops payloads",
       [](MsgpackContext*, const void*, size_t n) -> size_t { return n == 1 ? 1 : 0; }, false},
  };
  AllModel model;
  model.text.Set("hello");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MsgpackContext ctx;
    ctx.write = c.write;
    EXPECT_EQ(static_cast<const BaseModel&>(model).Pack(&ctx), c.ok);
    EXPECT_EQ(model.Pack(&ctx), c.ok);
  }
}

}  // namespace
