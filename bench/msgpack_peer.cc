#include "msgpack_peer.h"

#define MSGPACK_NO_BOOST 1
#include <msgpack.hpp>

namespace bench {
namespace peer {
namespace {

using Packer = msgpack::packer<msgpack::sbuffer>;

// msgpack-cxx picks str8 for 32..255 bytes; the module never writes it, so write str16 there.
void PackStr(Packer& pk, msgpack::sbuffer& buffer, const std::string& s) {
  const size_t n = s.size();
  if (n >= 32 && n < 256) {
    const char header[3] = {static_cast<char>(0xda), 0, static_cast<char>(n)};
    buffer.write(header, 3);
  } else {
    pk.pack_str(static_cast<uint32_t>(n));
  }
  pk.pack_str_body(s.data(), static_cast<uint32_t>(n));
}

void PackUser(Packer& pk, msgpack::sbuffer& b, const vanta::rtc::ConfUser& u) {
  pk.pack_map(14);
  pk.pack(1), PackStr(pk, b, u.user_id);
  pk.pack(2), PackStr(pk, b, u.text2);
  pk.pack(3), PackStr(pk, b, u.text3);
  pk.pack(4), pk.pack(u.number4);
  pk.pack(5), PackStr(pk, b, u.text5);
  pk.pack(6), pk.pack(u.number6);
  pk.pack(7), pk.pack(u.number7);
  pk.pack(8), pk.pack(u.number8);
  pk.pack(9), PackStr(pk, b, u.text9);
  pk.pack(10), PackStr(pk, b, u.text10);
  pk.pack(11), pk.pack(u.number11);
  pk.pack(12), pk.pack(u.number12);
  pk.pack(13), PackStr(pk, b, u.text13);
  pk.pack(14), pk.pack(u.number14);
}

void PackUsers(Packer& pk, msgpack::sbuffer& b, const std::vector<vanta::rtc::ConfUser>& users) {
  pk.pack_array(static_cast<uint32_t>(users.size()));
  for (const auto& u : users) PackUser(pk, b, u);
}

void ReadUser(const msgpack::object& o, vanta::rtc::ConfUser* u) {
  if (o.type != msgpack::type::MAP) throw msgpack::type_error();
  for (uint32_t i = 0; i < o.via.map.size; ++i) {
    const msgpack::object_kv& kv = o.via.map.ptr[i];
    switch (kv.key.as<int>()) {
      case 1:
        kv.val.convert(u->user_id);
        break;
      case 2:
        kv.val.convert(u->text2);
        break;
      case 3:
        kv.val.convert(u->text3);
        break;
      case 4:
        kv.val.convert(u->number4);
        break;
      case 5:
        kv.val.convert(u->text5);
        break;
      case 6:
        kv.val.convert(u->number6);
        break;
      case 7:
        kv.val.convert(u->number7);
        break;
      case 8:
        kv.val.convert(u->number8);
        break;
      case 9:
        kv.val.convert(u->text9);
        break;
      case 10:
        kv.val.convert(u->text10);
        break;
      case 11:
        kv.val.convert(u->number11);
        break;
      case 12:
        kv.val.convert(u->number12);
        break;
      case 13:
        kv.val.convert(u->text13);
        break;
      case 14:
        kv.val.convert(u->number14);
        break;
      default:
        break;
    }
  }
}

void ReadUsers(const msgpack::object& o, std::vector<vanta::rtc::ConfUser>* users) {
  if (o.type != msgpack::type::ARRAY) throw msgpack::type_error();
  users->resize(o.via.array.size);
  for (uint32_t i = 0; i < o.via.array.size; ++i) ReadUser(o.via.array.ptr[i], &(*users)[i]);
}

// msgpack::unpack into an object tree, then `entry(key, value)` for each entry of the top map.
template <typename Entry>
bool DecodeMap(const std::string& body, Entry&& entry) {
  try {
    msgpack::object_handle oh = msgpack::unpack(body.data(), body.size());
    const msgpack::object& o = oh.get();
    if (o.type != msgpack::type::MAP) return false;
    for (uint32_t i = 0; i < o.via.map.size; ++i) {
      const msgpack::object_kv& kv = o.via.map.ptr[i];
      entry(kv.key.as<int>(), kv.val);
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

std::string Encode(const vanta::rtc::GetConfDetailRsp& rsp, size_t reserve) {
  msgpack::sbuffer b(reserve);
  Packer pk(b);
  const auto& c = rsp.conf_info;
  pk.pack_map(2);
  pk.pack(1);
  pk.pack_map(18);
  pk.pack(1), PackStr(pk, b, c.text1);
  pk.pack(2), PackStr(pk, b, c.text2);
  pk.pack(3), PackStr(pk, b, c.text3);
  pk.pack(4), PackStr(pk, b, c.text4);
  pk.pack(5), PackUsers(pk, b, c.users);
  pk.pack(6), PackStr(pk, b, c.text6);
  pk.pack(7), pk.pack(c.number7);
  pk.pack(8), pk.pack(c.number8);
  pk.pack(9), pk.pack(c.number9);
  pk.pack(10), pk.pack(c.number10);
  pk.pack(11), pk.pack(c.number11);
  pk.pack(12), pk.pack(c.number12);
  pk.pack(13), pk.pack(c.number13);
  pk.pack(14), PackStr(pk, b, c.text14);
  pk.pack(15), PackStr(pk, b, c.text15);
  pk.pack(16), PackStr(pk, b, c.text16);
  pk.pack(17), PackStr(pk, b, c.text17);
  pk.pack(18), PackStr(pk, b, c.text18);
  pk.pack(2), pk.pack(rsp.number2);
  return std::string(b.data(), b.size());
}

std::string Encode(const vanta::rtc::ListConfUserRsp& rsp, size_t reserve) {
  msgpack::sbuffer b(reserve);
  Packer pk(b);
  pk.pack_map(3);
  pk.pack(1), PackUsers(pk, b, rsp.users);
  pk.pack(2), pk.pack(rsp.flag2);
  pk.pack(3), pk.pack(rsp.number3);
  return std::string(b.data(), b.size());
}

std::string Encode(const vanta::rtc::KickMembersReq& req, size_t reserve) {
  msgpack::sbuffer b(reserve);
  Packer pk(b);
  pk.pack_map(2);
  pk.pack(1), PackStr(pk, b, req.rtc_id);
  pk.pack(2), pk.pack_array(static_cast<uint32_t>(req.user_ids.size()));
  for (const auto& id : req.user_ids) PackStr(pk, b, id);
  return std::string(b.data(), b.size());
}

bool Decode(const std::string& body, vanta::rtc::GetConfDetailRsp* out) {
  return DecodeMap(body, [out](int key, const msgpack::object& val) {
    if (key == 2) {
      val.convert(out->number2);
      return;
    }
    if (key != 1 || val.type != msgpack::type::MAP) return;
    auto& c = out->conf_info;
    for (uint32_t j = 0; j < val.via.map.size; ++j) {
      const msgpack::object_kv& f = val.via.map.ptr[j];
      switch (f.key.as<int>()) {
        case 1:
          f.val.convert(c.text1);
          break;
        case 2:
          f.val.convert(c.text2);
          break;
        case 3:
          f.val.convert(c.text3);
          break;
        case 4:
          f.val.convert(c.text4);
          break;
        case 5:
          ReadUsers(f.val, &c.users);
          break;
        case 6:
          f.val.convert(c.text6);
          break;
        case 7:
          f.val.convert(c.number7);
          break;
        case 8:
          f.val.convert(c.number8);
          break;
        case 9:
          f.val.convert(c.number9);
          break;
        case 10:
          f.val.convert(c.number10);
          break;
        case 11:
          f.val.convert(c.number11);
          break;
        case 12:
          f.val.convert(c.number12);
          break;
        case 13:
          f.val.convert(c.number13);
          break;
        case 14:
          f.val.convert(c.text14);
          break;
        case 15:
          f.val.convert(c.text15);
          break;
        case 16:
          f.val.convert(c.text16);
          break;
        case 17:
          f.val.convert(c.text17);
          break;
        case 18:
          f.val.convert(c.text18);
          break;
        default:
          break;
      }
    }
  });
}

bool Decode(const std::string& body, vanta::rtc::ListConfUserRsp* out) {
  return DecodeMap(body, [out](int key, const msgpack::object& val) {
    switch (key) {
      case 1:
        ReadUsers(val, &out->users);
        break;
      case 2:
        val.convert(out->flag2);
        break;
      case 3:
        val.convert(out->number3);
        break;
      default:
        break;
    }
  });
}

bool Decode(const std::string& body, vanta::rtc::KickMembersReq* out) {
  return DecodeMap(body, [out](int key, const msgpack::object& val) {
    switch (key) {
      case 1:
        val.convert(out->rtc_id);
        break;
      case 2:
        val.convert(out->user_ids);
        break;
      default:
        break;
    }
  });
}

}  // namespace peer
}  // namespace bench
