#include "bench_data.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace bench {
namespace {

std::string Text(std::mt19937& rng, size_t min, size_t max) {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789-_";
  std::uniform_int_distribution<size_t> length(min, max);
  std::uniform_int_distribution<size_t> pick(0, sizeof(kChars) - 2);
  std::string s(length(rng), ' ');
  for (char& c : s) c = kChars[pick(rng)];
  return s;
}

vanta::rtc::ConfUser MakeUser(std::mt19937& rng, bool realistic) {
  const size_t id_min = realistic ? 24 : 8, id_max = realistic ? 36 : 15;
  const size_t text_min = realistic ? 6 : 3, text_max = realistic ? 20 : 12;
  vanta::rtc::ConfUser u;
  u.user_id = Text(rng, id_min, id_max);
  u.text2 = Text(rng, text_min, text_max);
  u.text3 = Text(rng, id_min, id_max);
  u.number4 = static_cast<int32_t>(rng() % 5);
  u.text5 = Text(rng, text_min, text_max);
  u.number6 = static_cast<int32_t>(rng() % 300);
  u.number7 = static_cast<int32_t>(rng() % 70000);
  u.number8 = 1;
  u.text9 = Text(rng, 0, realistic ? 12 : 8);
  u.text10 = Text(rng, 0, realistic ? 12 : 8);
  u.number11 = 1700000000000LL + static_cast<int64_t>(rng() % 100000);
  u.number12 = static_cast<int64_t>(rng() % 100000);
  u.text13 = Text(rng, text_min, text_max);
  u.number14 = -static_cast<int64_t>(rng() % 1000);
  return u;
}

// Request values by field name: what each field carries in practice.
void FillValue(std::mt19937& rng, const std::string& name, std::string* v) {
  if (name == "rtc_id") {
    *v = "conf-" + Text(rng, 31, 31);
  } else if (name == "push_url") {
    *v = "rtmp://push.live.example.net/app/" + Text(rng, 40, 40);
  } else if (name.find("id") != std::string::npos || name.compare(0, 5, "field") == 0) {
    *v = Text(rng, 24, 30);
  } else {
    *v = Text(rng, 6, 14);
  }
}
void FillValue(std::mt19937& rng, const std::string&, int32_t* v) {
  *v = static_cast<int32_t>(rng() % 300);
}
void FillValue(std::mt19937& rng, const std::string&, bool* v) {
  *v = (rng() & 1) != 0;
}
void FillValue(std::mt19937& rng, const std::string&, std::vector<std::string>* v) {
  for (int i = 0; i < 3; ++i) v->push_back(Text(rng, 24, 30));
}
void FillValue(std::mt19937& rng, const std::string&, std::vector<vanta::rtc::ConfUser>* v) {
  for (int i = 0; i < 2; ++i) v->push_back(MakeUser(rng, true));
}
void FillValue(std::mt19937& rng, const std::string&, std::vector<vanta::rtc::Pane>* v) {
  for (int i = 0; i < 4; ++i) {
    vanta::rtc::Pane pane;
    pane.number1 = 0.5f * static_cast<float>(i % 2);
    pane.number2 = 0.5f * static_cast<float>(i / 2);
    pane.number3 = pane.number4 = 0.5f;
    pane.number5 = i;
    pane.text6 = Text(rng, 24, 30);
    v->push_back(pane);
  }
}

}  // namespace

#define BENCH_FILL_FIELD(type, name) FillValue(rng, #name, &request->name);
#define BENCH_FILL_SKIP(type, name)
#define BENCH_DEFINE_REQUEST(Record, FIELDS)  \
  void Fill(Record* request) {                \
    std::mt19937 rng(11);                     \
    FIELDS(BENCH_FILL_FIELD, BENCH_FILL_SKIP) \
  }
#define BENCH_DEFINE_REQUEST_RTC(Op, REQ, RSP, ...) BENCH_DEFINE_REQUEST(vanta::rtc::Op##Req, REQ)
#define BENCH_DEFINE_REQUEST_SCENE(Op, REQ, RSP, ...) \
  BENCH_DEFINE_REQUEST(vanta::sceneclass::Op##Req, REQ)
VANTA_RTC_OPERATIONS(BENCH_DEFINE_REQUEST_RTC)
VANTA_SCENECLASS_OPERATIONS(BENCH_DEFINE_REQUEST_SCENE)

vanta::rtc::GetConfDetailRsp MakeConfDetail(int users, bool realistic) {
  std::mt19937 rng(realistic ? 20261206 : 7);
  const size_t id_min = realistic ? 24 : 8, id_max = realistic ? 36 : 15;
  vanta::rtc::GetConfDetailRsp rsp;
  auto& c = rsp.conf_info;
  c.text1 = Text(rng, id_min, id_max);
  c.text2 = Text(rng, id_min, id_max);
  c.text3 = realistic ? Text(rng, 120, 200) : Text(rng, 5, 15);  // a longer description
  c.text4 = Text(rng, 4, 12);
  for (int i = 0; i < users; ++i) c.users.push_back(MakeUser(rng, realistic));
  c.text6 = Text(rng, 4, 12);
  c.number7 = 2;
  c.number8 = 1700000000000LL;
  c.number9 = 1700000360000LL;
  c.number10 = 3600;
  c.number11 = 42;
  c.number12 = 4294967296LL;
  c.number13 = -7;
  c.text14 = realistic ? Text(rng, 60, 120) : Text(rng, 5, 15);
  c.text15 = Text(rng, 4, 12);
  c.text16 = Text(rng, id_min, id_max);
  c.text17 = Text(rng, 0, 10);
  c.text18 = Text(rng, 0, 10);
  rsp.number2 = 1700000000123LL;
  return rsp;
}

vanta::rtc::ListConfUserRsp MakeUserList(int users) {
  std::mt19937 rng(static_cast<unsigned>(users));
  vanta::rtc::ListConfUserRsp rsp;
  for (int i = 0; i < users; ++i) rsp.users.push_back(MakeUser(rng, true));
  rsp.flag2 = true;
  rsp.number3 = users;
  return rsp;
}

vanta::rtc::KickMembersReq MakeKick() {
  vanta::rtc::KickMembersReq req;
  req.rtc_id = "conf-7f3a9c2e-51b4-4d0a-9e6f-3c1b2a";
  req.user_ids = {"user-0001-aaaaaaaaaaaaaaaa", "user-0002-bbbbbbbbbbbbbbbb",
                  "user-0003-cccccccccccccccc"};
  return req;
}

}  // namespace bench
