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
#include <type_traits>

#include "classScene/class_scene_models.h"
#include "codec_all_types.h"
#include "codec_bytes.h"
#include "rtc/rtc_models.h"
#include "tessel/idl/model.h"
#include "tessel/idl/msgpack_context.h"

namespace codec_test {

// A source that is not a BufferSource: the codec only sees the read callback.
struct StreamSource {
  const char* data = nullptr;
  size_t size = 0;
  size_t position = 0;
};

inline bool StreamRead(tessel::idl::MsgpackContext* ctx, void* dst, size_t n) {
  auto* s = static_cast<StreamSource*>(ctx->buffer);
  if (s->size - s->position < n) return false;
  if (n != 0) std::memcpy(dst, s->data + s->position, n);
  s->position += n;
  return true;
}

// A sink that is neither a StringSink nor a BufferSink.
inline size_t StreamWrite(tessel::idl::MsgpackContext* ctx, const void* src, size_t n) {
  static_cast<std::string*>(ctx->buffer)->append(static_cast<const char*>(src), n);
  return n;
}

inline tessel::idl::MsgpackContext StreamReadContext(StreamSource* source) {
  tessel::idl::MsgpackContext ctx;
  ctx.buffer = source;
  ctx.read = &StreamRead;
  return ctx;
}

struct Decoded {
  bool ok = false;
  bool valid = false;
  bool unknown = false;
  std::string packed;  // the model after the decode, encoded again
};

inline std::string Describe(const Decoded& d) {
  std::string out = d.ok ? "ok" : "failed";
  out += d.valid ? " valid" : " invalid";
  if (d.unknown) out += " unknown_seen";
  out += " packed=[" + Hex(d.packed, 24) + "]";
  return out;
}

inline bool operator==(const Decoded& a, const Decoded& b) {
  return a.ok == b.ok && a.valid == b.valid && a.unknown == b.unknown && a.packed == b.packed;
}

// Packs through the plain write callback above.
template <typename PackFn>
std::string PackThroughCallback(PackFn&& pack, bool* ok) {
  std::string out;
  tessel::idl::MsgpackContext ctx;
  ctx.buffer = &out;
  ctx.write = &StreamWrite;
  *ok = pack(&ctx);
  return out;
}

// Every writer of a model must produce the same bytes; returns them, or sets a complaint.
template <typename M>
std::string PackEveryWay(const M& model, std::string* complaint) {
  using tessel::idl::BaseModel;
  using tessel::idl::MsgpackContext;
  const BaseModel& base = model;
  const std::string generic = tessel::idl::Packb(base);
  std::string stream;
  tessel::idl::StringSink sink{&stream};
  MsgpackContext sctx = tessel::idl::MakeWriteContext(&sink);
  const bool stream_ok = base.Pack(&sctx);
  bool callback_ok = false;
  const std::string callback =
      PackThroughCallback([&](MsgpackContext* ctx) { return base.Pack(ctx); }, &callback_ok);
  if (!stream_ok || !callback_ok) {
    *complaint = "a stream writer failed";
  } else if (stream != generic || callback != generic) {
    *complaint = "writers disagree";
  } else if constexpr (!std::is_same<M, GenericAll>::value) {
    bool typed_ok = false;
    const std::string typed =
        PackThroughCallback([&](MsgpackContext* ctx) { return model.Pack(ctx); }, &typed_ok);
    if (!typed_ok || typed != generic) {
      *complaint = "typed Pack disagrees";
    } else if (tessel::idl::Packb(model) != generic) {
      *complaint = "typed Packb disagrees";
    }
  }
  return generic;
}

enum class Way { kTyped, kBase, kTypedBuffer, kBaseBuffer, kTypedStream, kBaseStream };
constexpr Way kOtherWays[] = {Way::kBase, Way::kTypedBuffer, Way::kBaseBuffer, Way::kTypedStream,
                              Way::kBaseStream};

inline const char* WayName(Way w) {
  switch (w) {
    case Way::kTyped:
      return "typed";
    case Way::kBase:
      return "through BaseModel";
    case Way::kTypedBuffer:
      return "typed, exact buffer";
    case Way::kBaseBuffer:
      return "through BaseModel, exact buffer";
    case Way::kTypedStream:
      return "typed, read callback";
    case Way::kBaseStream:
      return "through BaseModel, read callback";
  }
  return "?";
}

template <typename M>
Decoded DecodeOneWay(const std::string& body, Way way, std::string* complaint) {
  M model;
  Decoded d;
  bool unknown = false;
  bool is_nil = false;
  std::unique_ptr<char[]> exact(new char[body.size()]);
  if (!body.empty()) std::memcpy(exact.get(), body.data(), body.size());
  tessel::idl::BufferSource buffer{exact.get(), body.size(), 0};
  tessel::idl::MsgpackContext bctx = tessel::idl::MakeReadContext(&buffer);
  StreamSource source{exact.get(), body.size(), 0};
  tessel::idl::MsgpackContext ctx = StreamReadContext(&source);
  switch (way) {
    case Way::kTyped:
      d.ok = model.Unpackb(body, &unknown);
      break;
    case Way::kBase:
      d.ok = static_cast<tessel::idl::BaseModel&>(model).Unpackb(body, &unknown);
      break;
    case Way::kTypedBuffer:
      d.ok = model.Unpack(&bctx, &is_nil, &unknown);
      break;
    case Way::kBaseBuffer:
      d.ok = static_cast<tessel::idl::BaseModel&>(model).Unpack(&bctx, &is_nil, &unknown);
      break;
    case Way::kTypedStream:
      d.ok = model.Unpack(&ctx, &is_nil, &unknown);
      break;
    case Way::kBaseStream:
      d.ok = static_cast<tessel::idl::BaseModel&>(model).Unpack(&ctx, &is_nil, &unknown);
      break;
  }
  d.valid = model.valid;
  d.unknown = unknown;
  d.packed = PackEveryWay(model, complaint);
  return d;
}

// Decodes `body` into M every way; all must agree with the first. Returns the first outcome.
template <typename M>
Decoded DecodeEveryWay(const std::string& body, const char* name, std::string* complaint) {
  const Decoded first = DecodeOneWay<M>(body, Way::kTyped, complaint);
  for (Way w : kOtherWays) {
    if (!complaint->empty()) break;
    const Decoded other = DecodeOneWay<M>(body, w, complaint);
    if (!(other == first)) {
      *complaint = std::string(name) + ": typed decode gave " + Describe(first) + ", " +
                   WayName(w) + " gave " + Describe(other);
    }
  }
  if (!complaint->empty() && complaint->find(':') == std::string::npos) {
    *complaint = std::string(name) + ": " + *complaint;
  }
  return first;
}

// What was decoded encodes to bytes that decode cleanly and encode to themselves.
template <typename M>
void CheckStable(const Decoded& d, const char* name, std::string* complaint) {
  if (!complaint->empty()) return;
  std::string inner;
  const Decoded again = DecodeOneWay<M>(d.packed, Way::kTyped, &inner);
  if (!inner.empty()) {
    *complaint = std::string(name) + " re-decode: " + inner;
  } else if (!again.ok || !again.valid || again.unknown || again.packed != d.packed) {
    *complaint = std::string(name) + ": re-encoding is not stable, decoding it gave " +
                 Describe(again) + " from " + std::to_string(d.packed.size()) + " bytes";
  }
}

template <typename M>
void CheckModel(const std::string& body, const char* name, std::string* complaint) {
  if (!complaint->empty()) return;
  const Decoded d = DecodeEveryWay<M>(body, name, complaint);
  CheckStable<M>(d, name, complaint);
}

// The whole check; "" when every rule held, otherwise what broke.
inline std::string CheckDecodeRoundTrip(const std::string& body) {
  std::string complaint;
  CheckModel<AllModel>(body, "AllModel", &complaint);
  if (complaint.empty()) {
    // The hand-written twin must decode exactly like the generated model.
    std::string ignored;
    const Decoded typed = DecodeOneWay<AllModel>(body, Way::kTyped, &ignored);
    for (Way w : {Way::kBase, Way::kBaseBuffer, Way::kBaseStream}) {
      const Decoded twin = DecodeOneWay<GenericAll>(body, w, &complaint);
      if (complaint.empty() && !(twin == typed)) {
        complaint = std::string("GenericAll ") + WayName(w) + " gave " + Describe(twin) +
                    ", AllModel gave " + Describe(typed);
      }
      if (!complaint.empty()) break;
    }
  }
  CheckModel<rtc::GetConfDetailRspModel>(body, "rtc::GetConfDetailRspModel", &complaint);
  CheckModel<rtc::ListConfUserRspModel>(body, "rtc::ListConfUserRspModel", &complaint);
  CheckModel<rtc::SetCustomLayoutReqModel>(body, "rtc::SetCustomLayoutReqModel", &complaint);
  CheckModel<classScene::CreateClassRspModel>(body, "classScene::CreateClassRspModel", &complaint);
  CheckModel<classScene::StartClassRspModel>(body, "classScene::StartClassRspModel", &complaint);
  return complaint;
}

}  // namespace codec_test
