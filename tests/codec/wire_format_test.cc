// What the encoder puts on the wire, byte for byte, through every writer: the typed two-pass
// Packb of generated models, Packb through BaseModel (growing buffer), a StringSink stream and
// a plain write callback.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
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

// The bytes every writer agrees on; a disagreement fails the test.
template <typename M>
std::string Encode(const M& model) {
  std::string complaint;
  const std::string bytes = codec_test::PackEveryWay(model, &complaint);
  EXPECT_EQ(complaint, "");
  return bytes;
}

template <typename M>
std::string Wire(const M& model) {
  return Hex(Encode(model), 200);
}

TEST(WireFormatTest, IntegersTakeTheSmallestForm) {
  // Both sides of every limit between two forms.
  const std::pair<int64_t, const char*> cases[] = {
      {0, "00"},
      {127, "7f"},
      {128, "cc 80"},
      {255, "cc ff"},
      {256, "cd 01 00"},
      {65535, "cd ff ff"},
      {65536, "ce 00 01 00 00"},
      {INT32_MAX, "ce 7f ff ff ff"},
      {INT64_C(0xFFFFFFFF), "ce ff ff ff ff"},
      {INT64_C(1) << 32, "cf 00 00 00 01 00 00 00 00"},
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
      {INT64_MIN, "d3 80 00 00 00 00 00 00 00"}};
  for (const auto& [value, hex] : cases) {
    SCOPED_TRACE(value);
    AllModel wide, small;
    wide.wide.Set(value);
    EXPECT_EQ(Wire(wide), std::string("81 03 ") + hex);
    // `int` is widened with its sign first, so it shares the forms of its range.
    if (value >= INT32_MIN && value <= INT32_MAX) {
      small.small.Set(static_cast<int>(value));
      EXPECT_EQ(Wire(small), std::string("81 02 ") + hex);
    }
  }
}

// Strings never use the one-byte length form (0xd9).
TEST(WireFormatTest, StringAndListHeadersAtTheirWidthBoundaries) {
  const struct {
    size_t length;
    const char* text;
    const char* list;
  } cases[] = {{15, "af", "9f"},
               {16, "b0", "dc 00 10"},
               {31, "bf", "dc 00 1f"},
               {32, "da 00 20", "dc 00 20"},
               {65536, "db 00 01 00 00", "dd 00 01 00 00"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    std::string text(c.length, 's');
    text.back() = 'e';  // the last byte must land too
    AllModel model;
    model.text.Set(text);
    model.texts.Set(std::vector<std::string>(c.length));
    EXPECT_EQ(Encode(model), Bytes(std::string("82 01 ") + c.text) + text +
                                 Bytes(std::string("06 ") + c.list) +
                                 std::string(c.length, '\xa0'));
  }
}

// Short strings are moved in whole blocks that overlap: every byte of every length lands in
// its place, whether the string keeps its bytes in itself or, though short, in a heap block
// that held a longer value before; the last field of the body is a string too, so nothing the
// encoder stores past a value shows up in the body.
TEST(WireFormatTest, StringsOfEveryShortLengthCarryEveryByte) {
  for (size_t n = 0; n <= 80; ++n) {
    std::string text;
    for (size_t i = 0; i < n; ++i) text.push_back(static_cast<char>('!' + i));
    std::string held_on_heap(100, '#');
    held_on_heap = text;
    const std::string encoded = (n < 32 ? std::string(1, static_cast<char>(0xa0 | n))
                                        : Bytes("da") + codec_test::Be(n, 2)) +
                                text;
    for (const std::string* value : {&text, &held_on_heap}) {
      SCOPED_TRACE(std::to_string(n) + (value == &text ? " bytes" : " bytes in a heap block"));
      AllModel model;
      model.text.Set(*value);
      model.texts.Set({*value, *value});
      EXPECT_EQ(Encode(model), Bytes("82 01") + encoded + Bytes("06 92") + encoded + encoded);
    }
  }
}

// Bodies are written on the stack up to a limit and in the output beyond it; every size around
// the limit gives the same bytes on every writer, up to the string's last byte.
TEST(WireFormatTest, BodiesAroundTheOnStackLimitEncodeTheSame) {
  const size_t limit = tessel::idl::detail::kStackBody;
  for (size_t n = limit - 160; n <= limit + 16; ++n) {
    SCOPED_TRACE(n);
    std::string text(n, 's');
    text.back() = 'e';
    AllModel model;
    model.text.Set(text);
    EXPECT_EQ(Encode(model), Bytes("81 01 da") + codec_test::Be(n, 2) + text);
  }
}

// A model of `n` int fields, field i holding i + 1.
class WideModel : public BaseModel {
 public:
  explicit WideModel(int n) : fields(static_cast<size_t>(n)) {
    for (int i = 0; i < n; ++i) fields[static_cast<size_t>(i)].Set(i + 1);
  }
  int FieldCount() const override { return static_cast<int>(fields.size()); }
  void GetFields(BaseModelValue** out) override {
    for (auto& f : fields) *out++ = &f;
  }
  std::vector<ModelValue<int>> fields;
};

TEST(WireFormatTest, MapHeaderCountsPresentFieldsAndKeysFollowFieldPositions) {
  EXPECT_EQ(Wire(WideModel(16)).substr(0, 14), "de 00 10 01 01");
  WideModel sparse(tessel::idl::kMaxModelFields);
  for (int i = 0; i < 100; ++i) {
    if (i != 0 && i != 16 && i != 99) sparse.fields[static_cast<size_t>(i)].Clear();
  }
  EXPECT_EQ(Wire(sparse), "83 01 01 11 11 64 64");
  std::string body = "left over";
  EXPECT_FALSE(tessel::idl::Packb(WideModel(tessel::idl::kMaxModelFields + 1), &body));
  EXPECT_EQ(body, "");
}

TEST(WireFormatTest, FloatsKeepTheirSinglePrecisionBits) {
  // -0, -inf, a NaN with payload, the smallest subnormal.
  for (uint32_t bits : {0x80000000u, 0xff800000u, 0x7fc00001u, 0x00000001u}) {
    AllModel model;
    std::memcpy(&model.real.value, &bits, sizeof bits);
    model.real.has_value = true;
    EXPECT_EQ(Wire(model), Hex(Bytes("81 05 ca") + codec_test::Be(bits, 4)));
  }
}

TEST(WireFormatTest, OnlyPresentFieldsAreWrittenInKeyOrder) {
  AllModel model;
  model.inner.value.number.Set(1);  // contents of an absent nested model
  model.text.Set("x");
  model.text.Clear();
  EXPECT_EQ(Wire(model), "80");
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
  EXPECT_EQ(Wire(model),
            "88 01 a5 68 65 6c 6c 6f 02 d0 df 03 cf 00 00 00 01 00 00 00 00 04 c3 05 ca 3f c0 "
            "00 00 06 92 a1 61 a0 07 92 81 01 05 80 08 83 01 cd 01 2c 02 a1 78 03 91 a1 79");
  codec_test::All record;  // a converted record has every field present
  record.inners.resize(1);
  EXPECT_EQ(Wire(tessel::idl::ToModel(record)),
            "88 01 a0 02 00 03 00 04 c2 05 ca 00 00 00 00 06 90 07 91 83 01 00 02 a0 03 90 08 "
            "83 01 00 02 a0 03 90");
}

// A sink with a byte budget: takes a write whole or refuses it (returns 0).
struct BudgetSink {
  std::string out;
  size_t budget = 0;
  bool refused = false;
  int calls_after_refusal = 0;
};

TEST(WireFormatTest, RefusedWriteStopsTheEncodeAtOnce) {
  AllModel model;
  model.text.Set("hello");
  model.texts.Set({"a", std::string(40, 'b')});
  model.inner.value.number.Set(70000);
  model.inner.has_value = true;
  const std::string full = tessel::idl::Packb(model);
  for (size_t budget = 0; budget <= full.size(); ++budget) {
    SCOPED_TRACE(budget);
    for (bool typed : {false, true}) {
      BudgetSink sink{"", budget};
      MsgpackContext ctx;
      ctx.buffer = &sink;
      ctx.write = [](MsgpackContext* c, const void* src, size_t n) -> size_t {
        auto* s = static_cast<BudgetSink*>(c->buffer);
        s->calls_after_refusal += s->refused;
        if (s->out.size() + n > s->budget) {
          s->refused = true;
          return 0;
        }
        s->out.append(static_cast<const char*>(src), n);
        return n;
      };
      const bool ok = typed ? model.Pack(&ctx) : static_cast<const BaseModel&>(model).Pack(&ctx);
      EXPECT_EQ(ok, budget == full.size());
      EXPECT_EQ(int{ctx.error}, ok ? tessel::idl::kMsgpackOk : tessel::idl::kMsgpackWriteFailed);
      EXPECT_EQ(sink.calls_after_refusal, 0);
      EXPECT_EQ(sink.out, full.substr(0, sink.out.size()));
    }
  }
}

// A marker byte counts as written only when the callback reports exactly one byte; any other
// write counts when the callback reports anything at all.
TEST(WireFormatTest, WriteCallbackCountRules) {
  const std::pair<size_t (*)(MsgpackContext*, const void*, size_t), bool> cases[] = {
      {[](MsgpackContext*, const void*, size_t) -> size_t { return 1; }, true},
      {[](MsgpackContext*, const void*, size_t n) { return n + 1; }, false},
      {[](MsgpackContext*, const void*, size_t n) -> size_t { return n == 1 ? 1 : 0; }, false}};
  AllModel model;
  model.text.Set("hello");
  for (const auto& [write, ok] : cases) {
    MsgpackContext ctx;
    ctx.write = write;
    EXPECT_EQ(static_cast<const BaseModel&>(model).Pack(&ctx), ok);
    EXPECT_EQ(model.Pack(&ctx), ok);
  }
}

}  // namespace
