// Expands a field table (F(type, name) / H(type, name), see vanta/rtc/rtc_records.h) into a
// model class, and binds a host-facing record to its model with both conversions. A table is
// written once; the record, the model and the conversions all come from it, so they cannot
// drift apart.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "tessel/idl/model.h"

namespace tessel {
namespace idl {

// Specialised by TESSEL_BIND_RECORD: `Model`, ToModel (every field copied and marked present)
// and ToRecord (every field copied, present or not). The primary template is empty on purpose.
template <typename Record>
struct RecordBinding {};
// The reverse lookup, from a model to its record.
template <typename Model>
struct ModelBinding {};

// The field type a model uses for a record field of type T.
template <typename T>
struct FieldFor {
  // A nested record: merged field by field.
  using type = ObjectModelValue<typename RecordBinding<T>::Model>;
};
template <>
struct FieldFor<std::string> {
  using type = ModelValue<std::string>;
};
template <>
struct FieldFor<int32_t> {
  using type = ModelValue<int>;
};
template <>
struct FieldFor<int64_t> {
  using type = ModelValue<int64_t>;
};
template <>
struct FieldFor<bool> {
  using type = ModelValue<bool>;
};
template <>
struct FieldFor<float> {
  using type = ModelValue<float>;
};
template <>
struct FieldFor<std::vector<std::string>> {
  using type = ModelValue<std::vector<std::string>>;
};
template <typename R>
struct FieldFor<std::vector<R>> {
  using type = ModelValue<std::vector<typename RecordBinding<R>::Model>>;
};
template <typename T>
using FieldType = typename FieldFor<T>::type;

// Only a record bound to exactly model M takes part in the overloads below.
template <typename R, typename M>
using IfBound =
    typename std::enable_if<std::is_same<M, typename RecordBinding<R>::Model>::value>::type;

// Record value -> model field (marked present).
template <typename T>
void ToField(const T& v, ModelValue<T>* f) {
  f->Set(v);
}
template <typename R, typename M, typename = IfBound<R, M>>
void ToField(const R& v, ObjectModelValue<M>* f) {
  RecordBinding<R>::ToModel(v, &f->value);
  f->has_value = true;
}
template <typename R, typename M, typename = IfBound<R, M>>
void ToField(const std::vector<R>& v, ModelValue<std::vector<M>>* f) {
  f->value.clear();
  f->value.resize(v.size());
  for (size_t i = 0; i < v.size(); ++i) RecordBinding<R>::ToModel(v[i], &f->value[i]);
  f->has_value = true;
}

// Model field -> record value (present or not: an absent field reads as its default).
template <typename T>
void FromField(const ModelValue<T>& f, T* out) {
  *out = f.value;
}
template <typename R, typename M, typename = IfBound<R, M>>
void FromField(const ModelValue<M>& f, R* out) {
  RecordBinding<R>::ToRecord(f.value, out);
}
template <typename R, typename M, typename = IfBound<R, M>>
void FromField(const ModelValue<std::vector<M>>& f, std::vector<R>* out) {
  out->clear();
  out->resize(f.value.size());
  for (size_t i = 0; i < f.value.size(); ++i) RecordBinding<R>::ToRecord(f.value[i], &(*out)[i]);
}

template <typename Record>
typename RecordBinding<Record>::Model ToModel(const Record& r) {
  typename RecordBinding<Record>::Model m;
  RecordBinding<Record>::ToModel(r, &m);
  return m;
}

template <typename Model>
typename ModelBinding<Model>::Record ToRecord(const Model& m) {
  typename ModelBinding<Model>::Record r;
  RecordBinding<typename ModelBinding<Model>::Record>::ToRecord(m, &r);
  return r;
}

}  // namespace idl
}  // namespace tessel

#define TESSEL_MODEL_MEMBER(type, name) ::tessel::idl::FieldType<type> name;
#define TESSEL_MODEL_COUNT(type, name) +1
#define TESSEL_MODEL_FIELD_PTR(type, name) *out++ = &name;
#define TESSEL_MODEL_SKIP(type, name)
#define TESSEL_MODEL_PRESENT(type, name) +(name.has_value ? 1u : 0u)
#define TESSEL_MODEL_ALL_PRESENT(type, name) &name.has_value
#define TESSEL_MODEL_PACK_KEY(type, name) \
  if (!::tessel::idl::detail::PackFieldDirect(name, ++key, ctx)) return false;
#define TESSEL_MODEL_BOUND(type, name) +::tessel::idl::detail::FieldBound(name)
#define TESSEL_MODEL_PUT_KEY(type, name) \
  p = ::tessel::idl::detail::PutField<kAllPresent>(p, name, ++key);
#define TESSEL_MODEL_UNPACK_IN_ORDER(type, name)                                          \
  if (*entry < entries && ::tessel::idl::detail::NextKeyIs(source, ++k)) {                \
    source->position += 1;                                                                \
    if (!::tessel::idl::detail::UnpackFieldDirect(name, ctx, unknown_seen)) return false; \
    ++*entry;                                                                             \
  }
#define TESSEL_MODEL_UNPACK_KEY(type, name) \
  if (key == ++k) return ::tessel::idl::detail::UnpackFieldDirect(name, ctx, unknown_seen);
#define TESSEL_MODEL_TO_MODEL(type, name) ::tessel::idl::ToField(r.name, &m->name);
#define TESSEL_MODEL_TO_RECORD(type, name) ::tessel::idl::FromField(m.name, &r->name);

// A model class named `Model` in the current namespace; `ns` is that namespace's name as text
// (used in log lines that name the model).
// The class also has typed Pack, Unpack and Unpackb that hide BaseModel's: same bytes and same
// rules, without a virtual call per field. Code that holds the concrete type gets them; code
// that holds a BaseModel& gets the generic ones.
#define TESSEL_DECLARE_MODEL(ns, Model, FIELDS)                                              \
  class Model : public ::tessel::idl::BaseModel {                                            \
   public:                                                                                   \
    FIELDS(TESSEL_MODEL_MEMBER, TESSEL_MODEL_MEMBER)                                         \
    static constexpr int kFieldCount = 0 FIELDS(TESSEL_MODEL_COUNT, TESSEL_MODEL_COUNT);     \
    static_assert(kFieldCount <= ::tessel::idl::kMaxModelFields, "too many fields");         \
    /* Written out so that value-initialisation (a list growing by one element) does not */  \
    /* zero the whole model before the fields' own constructors write it again. */           \
    Model() {}                                                                               \
    static const char* QualifiedName() { return ns "::" #Model; }                            \
    int FieldCount() const override { return kFieldCount; }                                  \
    void GetFields(::tessel::idl::BaseModelValue** out) override {                           \
      (void)out;                                                                             \
      FIELDS(TESSEL_MODEL_FIELD_PTR, TESSEL_MODEL_FIELD_PTR)                                 \
    }                                                                                        \
    /* At least the encoded size, then the bytes in one pass (see Packb in model.h). */      \
    TESSEL_FLATTEN uint64_t PackBound() const {                                              \
      return ::tessel::idl::detail::MapHeaderBound(kFieldCount)                              \
          FIELDS(TESSEL_MODEL_BOUND, TESSEL_MODEL_BOUND);                                    \
    }                                                                                        \
    /* A request has every field present: that model is written without a flag per field. */ \
    TESSEL_FLATTEN char* PackTo(char* p) const {                                             \
      if (true FIELDS(TESSEL_MODEL_ALL_PRESENT, TESSEL_MODEL_ALL_PRESENT))                   \
        return PackFields<true>(p, kFieldCount);                                             \
      return PackPresentFields(p);                                                           \
    }                                                                                        \
    /* Out of line, so the test above is all that a model with every field pays. */          \
    TESSEL_NOINLINE TESSEL_FLATTEN char* PackPresentFields(char* p) const {                  \
      return PackFields<false>(p, 0u FIELDS(TESSEL_MODEL_PRESENT, TESSEL_MODEL_PRESENT));    \
    }                                                                                        \
    template <bool kAllPresent>                                                              \
    TESSEL_INLINE char* PackFields(char* p, uint32_t present) const {                        \
      p = ::tessel::idl::detail::PutMapHeader<kFieldCount>(p, present);                      \
      uint32_t key = 0;                                                                      \
      (void)key;                                                                             \
      FIELDS(TESSEL_MODEL_PUT_KEY, TESSEL_MODEL_PUT_KEY)                                     \
      return p;                                                                              \
    }                                                                                        \
    bool Pack(::tessel::idl::MsgpackContext* ctx) const {                                    \
      const uint32_t present = 0u FIELDS(TESSEL_MODEL_PRESENT, TESSEL_MODEL_PRESENT);        \
      if (!::tessel::idl::msgpack::WriteMapHeader(ctx, present)) return false;               \
      uint32_t key = 0;                                                                      \
      (void)key;                                                                             \
      FIELDS(TESSEL_MODEL_PACK_KEY, TESSEL_MODEL_PACK_KEY)                                   \
      return true;                                                                           \
    }                                                                                        \
    TESSEL_FLATTEN bool Unpack(::tessel::idl::MsgpackContext* ctx, bool* is_nil,             \
                               bool* unknown_seen) {                                         \
      return ::tessel::idl::detail::UnpackModelMap(                                          \
          ctx, is_nil, unknown_seen, &valid,                                                 \
          [&](uint32_t entries, uint32_t* entry) {                                           \
            ::tessel::idl::BufferSource* source = ::tessel::idl::detail::FastSource(ctx);    \
            if (source == nullptr) return true;                                              \
            int64_t k = 0;                                                                   \
            (void)k;                                                                         \
            (void)entries;                                                                   \
            (void)entry;                                                                     \
            FIELDS(TESSEL_MODEL_UNPACK_IN_ORDER, TESSEL_MODEL_UNPACK_IN_ORDER)               \
            return true;                                                                     \
          },                                                                                 \
          [&](int64_t key, bool* known) {                                                    \
            *known = true;                                                                   \
            int64_t k = 0;                                                                   \
            (void)key;                                                                       \
            (void)k;                                                                         \
            FIELDS(TESSEL_MODEL_UNPACK_KEY, TESSEL_MODEL_UNPACK_KEY)                         \
            *known = false;                                                                  \
            return true;                                                                     \
          });                                                                                \
    }                                                                                        \
    bool Unpackb(const std::string& body, bool* unknown_seen) {                              \
      ::tessel::idl::BufferSource source{body.data(), body.size(), 0};                       \
      ::tessel::idl::MsgpackContext ctx = ::tessel::idl::MakeReadContext(&source);           \
      bool is_nil = false;                                                                   \
      return Unpack(&ctx, &is_nil, unknown_seen);                                            \
    }                                                                                        \
  };

// Binds `Record_` and `Model_` (both fully qualified); use at global scope.
#define TESSEL_BIND_RECORD(Record_, Model_, FIELDS)     \
  namespace tessel {                                    \
  namespace idl {                                       \
  template <>                                           \
  struct RecordBinding<Record_> {                       \
    using Model = Model_;                               \
    static void ToModel(const Record_& r, Model_* m) {  \
      (void)r;                                          \
      (void)m;                                          \
      FIELDS(TESSEL_MODEL_TO_MODEL, TESSEL_MODEL_SKIP)  \
    }                                                   \
    static void ToRecord(const Model_& m, Record_* r) { \
      (void)r;                                          \
      (void)m;                                          \
      FIELDS(TESSEL_MODEL_TO_RECORD, TESSEL_MODEL_SKIP) \
    }                                                   \
  };                                                    \
  template <>                                           \
  struct ModelBinding<Model_> {                         \
    using Record = Record_;                             \
  };                                                    \
  }                                                     \
  }
