// The decode / re-encode check shared by the fuzz target and the corpus replay test.
//
// One body is decoded several ways that must agree: a generated model through its typed decode
// (in-order fast path), the same model through BaseModel (field-by-field virtual dispatch), a
// hand-written twin of it, and all of them again through a read callback that is not the
// in-memory source (no fast paths at all). Whatever decoded - even after a failure - is then
// encoded: every writer must give the same bytes, and decoding those bytes again must succeed
// and encode to the very same bytes.
#pragma once

#include <cstring>
#include <memory>
#include <string>

#include "classScene/class_scene_models.h"
#include "codec_all_types.h"
#include "codec_bytes.h"
#include "rtc/rtc_models.h"
#include "tessel/idl/model.h"
#include "tessel/idl/msgpack_context.h"

namespace codec_test {

using tessel::idl::MsgpackContext;

// A source that is not a BufferSource: the codec only sees the read callback.
struct StreamSource {
  const char* data = nullptr;
  size_t size = 0;
  size_t position = 0;
};

inline MsgpackContext StreamReadContext(StreamSource* source) {
  MsgpackContext ctx;
  ctx.buffer = source;
  ctx.read = [](MsgpackContext* c, void* dst, size_t n) {
    auto* s = static_cast<StreamSource*>(c->buffer);
    if (s->size - s->position < n) return false;
    if (n != 0) std::memcpy(dst, s->data + s->position, n);
    s->position += n;
    return true;
  };
  return ctx;
}

// A sink that is neither a StringSink nor a BufferSink.
inline size_t StreamWrite(MsgpackContext* ctx, const void* src, size_t n) {
  static_cast<std::string*>(ctx->buffer)->append(static_cast<const char*>(src), n);
  return n;
}

inline MsgpackContext StreamWriteContext(std::string* out) {
  MsgpackContext ctx;
  ctx.buffer = out;
  ctx.write = &StreamWrite;
  return ctx;
}

// Every writer of a model must produce the same bytes; returns them, or sets a complaint.
template <typename M>
std::string PackEveryWay(const M& model, std::string* complaint) {
  const tessel::idl::BaseModel& base = model;
  const std::string bytes = tessel::idl::Packb(base);
  std::string stream, callback, typed;
  tessel::idl::StringSink sink{&stream};
  MsgpackContext sctx = tessel::idl::MakeWriteContext(&sink);
  MsgpackContext cctx = StreamWriteContext(&callback);
  MsgpackContext tctx = StreamWriteContext(&typed);
  if (!base.Pack(&sctx) || !base.Pack(&cctx) || !model.Pack(&tctx)) {
    *complaint = "a stream writer failed";
  } else if (stream != bytes || callback != bytes || typed != bytes ||
             tessel::idl::Packb(model) != bytes) {
    *complaint = "writers disagree";
  }
  return bytes;
}

// What one decode left: "ok"/"failed", valid, unknown keys seen, and the model encoded again.
struct Decoded {
  std::string state;
  std::string packed;
  bool operator==(const Decoded& o) const { return state == o.state && packed == o.packed; }
  std::string Describe() const { return state + " packed=[" + Hex(packed, 24) + "]"; }
};

// Typed from memory, through BaseModel from an exact buffer, then both through a read callback.
inline const char* const kWays[] = {"typed", "through BaseModel, exact buffer",
                                    "typed, read callback", "through BaseModel, read callback"};

template <typename M>
Decoded DecodeOneWay(const std::string& body, int way, std::string* complaint) {
  M model;
  tessel::idl::BaseModel& base = model;
  bool unknown = false, is_nil = false;
  // An allocation of exactly the body's size, so a read past its end is a heap overflow.
  std::unique_ptr<char[]> exact(new char[body.size()]);
  if (!body.empty()) std::memcpy(exact.get(), body.data(), body.size());
  tessel::idl::BufferSource buffer{exact.get(), body.size(), 0};
  MsgpackContext bctx = tessel::idl::MakeReadContext(&buffer);
  StreamSource source{exact.get(), body.size(), 0};
  MsgpackContext sctx = StreamReadContext(&source);
  const bool ok = way == 0   ? model.Unpackb(body, &unknown)
                  : way == 1 ? base.Unpack(&bctx, &is_nil, &unknown)
                  : way == 2 ? model.Unpack(&sctx, &is_nil, &unknown)
                             : base.Unpack(&sctx, &is_nil, &unknown);
  std::string state = std::string(ok ? "ok" : "failed") + (model.valid ? " valid" : " invalid");
  if (unknown) state += " unknown_seen";
  return Decoded{state, PackEveryWay(model, complaint)};
}

// Decodes `body` into M every way (and into Twin, the base-model ways); all must agree with the
// typed decode, and what it left must encode to bytes that decode cleanly to themselves.
template <typename M, typename Twin = M>
void CheckModel(const std::string& body, const char* name, std::string* complaint) {
  if (!complaint->empty()) return;
  const Decoded first = DecodeOneWay<M>(body, 0, complaint);
  for (int way = 1; way < 4 && complaint->empty(); ++way) {
    const Decoded other =
        way == 2 ? DecodeOneWay<M>(body, way, complaint) : DecodeOneWay<Twin>(body, way, complaint);
    if (!(other == first)) {
      *complaint = std::string(kWays[way]) + " gave " + other.Describe() + ", typed decode gave " +
                   first.Describe();
    }
  }
  if (complaint->empty()) {
    const Decoded again = DecodeOneWay<M>(first.packed, 0, complaint);
    if (complaint->empty() && !(again == Decoded{"ok valid", first.packed})) {
      *complaint = "re-encoding is not stable, decoding it gave " + again.Describe() + " from " +
                   std::to_string(first.packed.size()) + " bytes";
    }
  }
  if (!complaint->empty()) *complaint = std::string(name) + ": " + *complaint;
}

// The whole check; "" when every rule held, otherwise what broke.
inline std::string CheckDecodeRoundTrip(const std::string& body) {
  std::string complaint;
  CheckModel<AllModel, AllModel>(body, "AllModel", &complaint);
  CheckModel<AllModel, GenericAll>(body, "AllModel vs hand-written twin", &complaint);
  CheckModel<rtc::GetConfDetailRspModel>(body, "rtc::GetConfDetailRspModel", &complaint);
  CheckModel<rtc::ListConfUserRspModel>(body, "rtc::ListConfUserRspModel", &complaint);
  CheckModel<rtc::SetCustomLayoutReqModel>(body, "rtc::SetCustomLayoutReqModel", &complaint);
  CheckModel<classScene::CreateClassRspModel>(body, "classScene::CreateClassRspModel", &complaint);
  CheckModel<classScene::StartClassRspModel>(body, "classScene::StartClassRspModel", &complaint);
  return complaint;
}

}  // namespace codec_test
