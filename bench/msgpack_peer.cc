#include "msgpack_peer.h"

#include <cstdint>
#include <cstring>
#include <vector>

#define MSGPACK_NO_BOOST 1
#include <msgpack.hpp>

namespace bench {
namespace peer {
namespace {

using Packer = msgpack::packer<msgpack::sbuffer>;

// As the module's typed codec is: everything a record's encode or decode calls is inlined into
// it, so neither side loses to the compiler's size limits.
#define BENCH_FLATTEN __attribute__((flatten))

// Every record type the tables name, declared before the list templates that call them.
#define BENCH_PEER_EACH(Record)                                          \
  void PackValue(Packer& pk, msgpack::sbuffer& b, const Record& record); \
  void ReadValue(const msgpack::object& o, Record* out);
#define BENCH_PEER_NESTED_DECLARE(Name, FIELDS) BENCH_PEER_EACH(vanta::rtc::Name)
VANTA_RTC_NESTED_RECORDS(BENCH_PEER_NESTED_DECLARE)
BENCH_PEER_OPERATION_RECORDS()
#undef BENCH_PEER_EACH

// msgpack-cxx picks str8 for 32..255 bytes; the module never writes it, so write str16 there.
void PackValue(Packer& pk, msgpack::sbuffer& b, const std::string& s) {
  const size_t n = s.size();
  if (n >= 32 && n < 256) {
    const char header[3] = {static_cast<char>(0xda), 0, static_cast<char>(n)};
    b.write(header, 3);
  } else {
    pk.pack_str(static_cast<uint32_t>(n));
  }
  pk.pack_str_body(s.data(), static_cast<uint32_t>(n));
}

// msgpack-cxx writes a float that holds a whole number as an integer; the module always
// writes float32.
void PackValue(Packer&, msgpack::sbuffer& b, float v) {
  uint32_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  const char body[5] = {static_cast<char>(0xca), static_cast<char>(bits >> 24),
                        static_cast<char>(bits >> 16), static_cast<char>(bits >> 8),
                        static_cast<char>(bits)};
  b.write(body, 5);
}

template <typename T>
void PackValue(Packer& pk, msgpack::sbuffer&, T v) {
  pk.pack(v);
}

template <typename E>
void PackValue(Packer& pk, msgpack::sbuffer& b, const std::vector<E>& list) {
  pk.pack_array(static_cast<uint32_t>(list.size()));
  for (const E& e : list) PackValue(pk, b, e);
}

template <typename T>
void ReadValue(const msgpack::object& o, T* out) {
  o.convert(*out);
}

template <typename E>
void ReadValue(const msgpack::object& o, std::vector<E>* out) {
  if (o.type != msgpack::type::ARRAY) throw msgpack::type_error();
  out->resize(o.via.array.size);
  for (uint32_t i = 0; i < o.via.array.size; ++i) ReadValue(o.via.array.ptr[i], &(*out)[i]);
}

#define BENCH_PEER_COUNT(type, name) +1
#define BENCH_PEER_PACK(type, name) \
  pk.pack(++key);                   \
  PackValue(pk, b, record.name);
#define BENCH_PEER_READ(type, name) \
  if (key == ++k) {                 \
    ReadValue(kv.val, &out->name);  \
    continue;                       \
  }
#define BENCH_PEER_SKIP(type, name)

#define BENCH_PEER_RECORD(Record, FIELDS)                                               \
  BENCH_FLATTEN void PackValue(Packer& pk, msgpack::sbuffer& b, const Record& record) { \
    (void)b;                                                                            \
    (void)record;                                                                       \
    pk.pack_map(0 FIELDS(BENCH_PEER_COUNT, BENCH_PEER_SKIP));                           \
    int key = 0;                                                                        \
    (void)key;                                                                          \
    FIELDS(BENCH_PEER_PACK, BENCH_PEER_SKIP)                                            \
  }                                                                                     \
  BENCH_FLATTEN void ReadValue(const msgpack::object& o, Record* out) {                 \
    (void)out;                                                                          \
    if (o.type != msgpack::type::MAP) throw msgpack::type_error();                      \
    for (uint32_t i = 0; i < o.via.map.size; ++i) {                                     \
      const msgpack::object_kv& kv = o.via.map.ptr[i];                                  \
      const int key = kv.key.as<int>();                                                 \
      int k = 0;                                                                        \
      (void)key;                                                                        \
      (void)k;                                                                          \
      FIELDS(BENCH_PEER_READ, BENCH_PEER_SKIP)                                          \
    }                                                                                   \
  }
#define BENCH_PEER_NESTED(Name, FIELDS) BENCH_PEER_RECORD(vanta::rtc::Name, FIELDS)
#define BENCH_PEER_RTC(Op, REQ, RSP, ...)     \
  BENCH_PEER_RECORD(vanta::rtc::Op##Req, REQ) \
  BENCH_PEER_RECORD(vanta::rtc::Op##Rsp, RSP)
#define BENCH_PEER_SCENE(Op, REQ, RSP, ...) BENCH_PEER_RECORD(vanta::sceneclass::Op##Req, REQ)
VANTA_RTC_NESTED_RECORDS(BENCH_PEER_NESTED)
VANTA_RTC_OPERATIONS(BENCH_PEER_RTC)
VANTA_SCENECLASS_OPERATIONS(BENCH_PEER_SCENE)

template <typename Record>
std::string EncodeRecord(const Record& record, size_t reserve) {
  msgpack::sbuffer b(reserve);
  Packer pk(b);
  PackValue(pk, b, record);
  return std::string(b.data(), b.size());
}

template <typename Record>
bool DecodeRecord(const std::string& body, Record* out) {
  try {
    msgpack::object_handle oh = msgpack::unpack(body.data(), body.size());
    ReadValue(oh.get(), out);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

#define BENCH_PEER_EACH(Record)                              \
  std::string Encode(const Record& record, size_t reserve) { \
    return EncodeRecord(record, reserve);                    \
  }                                                          \
  bool Decode(const std::string& body, Record* out) {        \
    return DecodeRecord(body, out);                          \
  }
BENCH_PEER_OPERATION_RECORDS()
#undef BENCH_PEER_EACH

}  // namespace peer
}  // namespace bench
