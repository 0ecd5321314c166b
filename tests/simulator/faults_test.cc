// Fault injection as the engine delivers it, its determinism, the FAULT RULES parser, the
// observer, and the threading hazards of answers that send the next request.
#include <atomic>
#include <map>

#include "sim_fixture.h"

namespace sim_test {
namespace {

namespace rtc = vanta::rtc;
using rtc_sim::Exchange;
using rtc_sim::FaultRule;

class FaultTest : public SimulatorTest {
 public:
  void Start(const std::string& faults, uint64_t seed = 1, bool synchronous = true,
             rtc_sim::Observer observer = {}) {
    rtc_sim::SimulatorOptions options;
    options.seed = seed;
    options.observer = std::move(observer);
    SimulatorTest::Start(std::move(options), synchronous);
    std::string error;
    ASSERT_TRUE(sim_->AddFaults(faults, &error)) << error;
    conf_ = Conference();
  }
  bool GuestAdded() {
    rtc::ConfInfo info;
    return sim_->GetConference(conf_, &info) && info.users.size() == 3;
  }
  std::string conf_;
};

TEST_F(FaultTest, EachKindReachesTheEngineAsPromised) {
  struct Case {
    const char* faults;
    bool success;
    int32_t code;       // the response code the engine delivers
    const char* error;  // ErrorResult::ToString of a failure
    bool served;        // the state changed
    std::chrono::milliseconds at_least;
  };
  const std::string injected = "developMessage=injected by the adaptor simulator)";
  const Case cases[] = {
      {"addMembers:error(503,50301,busy)", false, 503,
       "(status=503, scope=RtcMlink, code=50301, reason=busy, ", false, 0ms},
      {"*:error", false, 500, "(status=500, scope=RtcMlink, code=500, reason=injected error, ",
       false, 0ms},
      {"addMembers:fail", false, -1,
       "(status=-4, scope=mlink, code=-4, reason=network_broken_error, ", false, 0ms},
      {"addMembers:fail(-14)", false, -1,
       "(status=-14, scope=mlink, code=-14, reason=send_request_error, ", false, 0ms},
      {"addMembers:fail(-13)", false, -1,
       "(status=-13, scope=mlink, code=-13, reason=injected failure, ", false, 0ms},
      {"addMembers:garbage", true, 200, "", true, 0ms},
      {"addMembers:delay(60)", true, 200, "", true, 60ms},
      {"addMembers:drop", false, -1,
       "(status=-3, scope=mlink, code=-3, reason=timeout, developMessage=no answer within 100 ms)",
       false, 100ms},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.faults);
    Start(c.faults);
    nexo_standin::SetRequestTimeout(100ms);
    const auto sent = std::chrono::steady_clock::now();
    const Reply reply = Call(kTeacher, rtc::AddMembersReq{conf_, {rtc::ConfUser{kGuest}}});
    EXPECT_EQ(reply.success, c.success);
    EXPECT_EQ(reply.message.code, c.code);
    EXPECT_GE(reply.at - sent, c.at_least);
    EXPECT_EQ(GuestAdded(), c.served);
    rtc::AddMembersRsp rsp;
    const bool decodes = rtc_sim::Decode(reply.message.body, &rsp);
    if (c.success) {
      // Garbage answers with a body no model decodes; a delay with the real answer.
      EXPECT_EQ(decodes, c.at_least > 0ms);
      EXPECT_EQ(rsp.number1, c.at_least > 0ms ? 1 : 0);
      if (c.at_least > 0ms) {
        EXPECT_NE(reply.thread, std::this_thread::get_id());
      }
      continue;
    }
    const std::string text = reply.error().ToString();
    const bool timeout = c.at_least > 0ms;
    EXPECT_EQ(text, timeout ? std::string(c.error) : c.error + injected);
    EXPECT_EQ(reply.error().local_error(), c.code == -1);
  }
}

// The order in which the three answers of a reorder group arrive, by request number.
std::vector<int> ArrivalOrder(FaultTest& t, const std::string& faults, uint64_t seed) {
  // Synchronous delivery: contexts hear the answers in the order the simulator gives them.
  t.Start(faults, seed);
  std::mutex mu;
  std::vector<int> order;
  std::vector<std::shared_ptr<Context>> contexts;
  for (int i = 0; i < 3; ++i) {
    auto context = std::make_shared<Context>();
    context->then = [&mu, &order, i] {
      std::lock_guard<std::mutex> lock(mu);
      order.push_back(i);
    };
    contexts.push_back(Send(kTeacher, UriOf(rtc::GetTokenReq{}),
                            rtc_sim::Encode(rtc::GetTokenReq{"conf-1"}), context));
  }
  for (auto& context : contexts) EXPECT_TRUE(context->Wait());
  EXPECT_TRUE(nexo_standin::WaitUntilIdle());
  std::lock_guard<std::mutex> lock(mu);
  return order;
}

TEST_F(FaultTest, ReorderShufflesEachFullGroupBySeedAndReleasesAPartialOneAfterTheHold) {
  EXPECT_EQ(ArrivalOrder(*this, "getToken:reorder(3,10000)", 5), (std::vector<int>{2, 0, 1}));
  EXPECT_EQ(ArrivalOrder(*this, "getToken:reorder(3,10000)", 5), (std::vector<int>{2, 0, 1}));
  EXPECT_EQ(ArrivalOrder(*this, "getToken:reorder(3,10000)", 6), (std::vector<int>{2, 1, 0}));

  Start("getToken:reorder(3,50)");
  const auto sent = std::chrono::steady_clock::now();
  const Reply alone = Call(kTeacher, rtc::GetTokenReq{conf_});
  EXPECT_TRUE(alone.success);
  EXPECT_GE(alone.at - sent, 50ms);

  // Held answers go out at once when asked, or when the rules are cleared.
  Start("getToken:delay(60000);getConfDetail:reorder(5,60000)", 1, false);
  auto delayed =
      Send(kTeacher, UriOf(rtc::GetTokenReq{}), rtc_sim::Encode(rtc::GetTokenReq{conf_}));
  auto held =
      Send(kTeacher, UriOf(rtc::GetConfDetailReq{}), rtc_sim::Encode(rtc::GetConfDetailReq{conf_}));
  sim_->ReleaseHeld();
  EXPECT_TRUE(delayed->Wait(2s));
  EXPECT_TRUE(held->Wait(2s));
  auto again =
      Send(kTeacher, UriOf(rtc::GetConfDetailReq{}), rtc_sim::Encode(rtc::GetConfDetailReq{conf_}));
  sim_->ClearFaults();
  EXPECT_TRUE(again->Wait(2s));
}

TEST_F(FaultTest, TheSameSeedGivesTheSameFaultsForTheSameRequests) {
  // Every third getToken garbled, the first detail request dropped, then a coin per request.
  const std::string faults = "getToken:garbage@every=3; getConfDetail:drop@first=1; *:error@p=0.4";
  auto run = [this, &faults](uint64_t seed) {
    Start(faults, seed);
    nexo_standin::SetRequestTimeout(20ms);
    std::string outcomes;
    for (int i = 0; i < 24; ++i) {
      const Reply reply = i % 2 == 0 ? Call(kTeacher, rtc::GetTokenReq{conf_})
                                     : Call(kStudent, rtc::GetConfDetailReq{conf_});
      rtc::GetTokenRsp token;
      outcomes += reply.message.code == -1                                     ? 'D'
                  : reply.message.code == 500                                  ? 'E'
                  : i % 2 == 0 && !rtc_sim::Decode(reply.message.body, &token) ? 'G'
                                                                               : '.';
    }
    return outcomes;
  };
  const std::string first = run(7);
  EXPECT_EQ(first, run(7));
  EXPECT_NE(first, run(8));
  // The rules that do not draw are the same under any seed.
  EXPECT_EQ(first.substr(0, 2).find('D'), 1u);
  EXPECT_EQ(first[4], 'G');
}

TEST_F(FaultTest, ObserverSeesEachRequestAndHowItEnded) {
  std::mutex mu;
  std::vector<Exchange> seen;
  auto observe = [&](const Exchange& e) {
    std::lock_guard<std::mutex> lock(mu);
    seen.push_back(e);
  };
  Start("getToken:delay(5,9)@first=1; getConfDetail:drop; startRecord:fail", 3, true, observe);
  nexo_standin::SetRequestTimeout(30ms);
  Call(kTeacher, rtc::GetTokenReq{conf_});
  Call(kTeacher, rtc::GetConfDetailReq{conf_});
  Call(kTeacher, rtc::StartRecordReq{conf_, 1});
  Call(kTeacher, rtc::GetTokenReq{conf_});
  std::lock_guard<std::mutex> lock(mu);
  ASSERT_EQ(seen.size(), 8u);
  std::vector<std::string> lines;
  for (const Exchange& e : seen) {
    lines.push_back(std::to_string(e.seq) + " " +
                    (e.phase == rtc_sim::Phase::kRequest ? "->" : "<-") + " " + e.user + " " +
                    e.uri.substr(e.uri.rfind('/') + 1) + " " + rtc_sim::OutcomeName(e.outcome) +
                    " " + std::to_string(e.code) + " [" + e.fault + "] " + e.error.reason);
    EXPECT_EQ(e.request_body.empty(), false);
    if (e.phase == rtc_sim::Phase::kAnswer) {
      EXPECT_GE(e.answered, e.sent);
    }
  }
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "1 -> teacher getToken pending 0 [] ",
                       "1 <- teacher getToken answered 200 [delay(8)] ",
                       "2 -> teacher getConfDetail pending 0 [] ",
                       "2 <- teacher getConfDetail unanswered 0 [drop] ",
                       "3 -> teacher startRecord pending 0 [] ",
                       "3 <- teacher startRecord failed 0 [fail(-4)] network_broken_error",
                       "4 -> teacher getToken pending 0 [] ",
                       "4 <- teacher getToken answered 200 [] ",
                   }));
  EXPECT_GE(seen[1].answered - seen[1].sent, 8ms);
}

TEST_F(FaultTest, AnswersThatSendTheNextRequestNeitherDeadlockNorRace) {
  // Synchronous delivery: each answer sends the next request from inside Respond, on the sending
  // thread for immediate answers and on the delivery thread for delayed ones.
  for (const char* faults : {"stopRecord:drop", "*:delay(0,2)", "*:reorder(2,5)"}) {
    SCOPED_TRACE(faults);
    Start(faults);
    std::atomic<int> left{30};
    auto chain = std::make_shared<Context>();
    std::function<void()> next = [&] {
      if (--left > 0)
        Send(kTeacher, UriOf(rtc::GetTokenReq{}), rtc_sim::Encode(rtc::GetTokenReq{conf_}), chain);
    };
    chain->then = next;
    Send(kTeacher, UriOf(rtc::GetTokenReq{}), rtc_sim::Encode(rtc::GetTokenReq{conf_}), chain);
    ASSERT_TRUE(nexo_standin::WaitUntilIdle(5s));
    EXPECT_EQ(chain->replies().size(), 30u);
    chain->then = nullptr;
  }

  // Several host threads at once, answers from the caller, the delivery thread and the engine.
  Start("getToken:delay(0,3)@p=0.5; getConfDetail:reorder(3,2); listConfUser:garbage@every=2", 9,
        false);
  std::vector<std::thread> hosts;
  std::vector<std::shared_ptr<Context>> contexts(4 * 40);
  for (int h = 0; h < 4; ++h) {
    hosts.emplace_back([&, h] {
      for (int i = 0; i < 40; ++i) {
        const char* user = h % 2 == 0 ? kTeacher : kStudent;
        std::pair<std::string, std::string> req =
            i % 3 == 0   ? std::make_pair(UriOf(rtc::GetTokenReq{}),
                                          rtc_sim::Encode(rtc::GetTokenReq{conf_}))
            : i % 3 == 1 ? std::make_pair(UriOf(rtc::GetConfDetailReq{}),
                                          rtc_sim::Encode(rtc::GetConfDetailReq{conf_}))
                         : std::make_pair(UriOf(rtc::ApplyLinkMicReq{}),
                                          rtc_sim::Encode(rtc::ApplyLinkMicReq{conf_, i % 2 == 0}));
        contexts[h * 40 + i] = Send(user, req.first, req.second);
      }
    });
  }
  for (auto& host : hosts) host.join();
  ASSERT_TRUE(nexo_standin::WaitUntilIdle(5s));
  for (auto& context : contexts) ASSERT_EQ(context->replies().size(), 1u);
}

TEST(FaultRulesTest, MalformedRulesNameTheirProblemOnOneLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"", R"~(bad fault rule "": no rule)~"},
      {" ; ", R"~(bad fault rule " ; ": no rule)~"},
      {"getToken", R"~(bad fault rule "getToken": missing ":")~"},
      {"getTokn:drop", R"~(bad fault rule "getTokn:drop": unknown URI "getTokn")~"},
      {"/r/Adaptor/RtcMlink/:drop",
       R"~(bad fault rule "/r/Adaptor/RtcMlink/:drop": unknown URI "/r/Adaptor/RtcMlink/")~"},
      {"*:explode", R"~(bad fault rule "*:explode": unknown action "explode")~"},
      {"*:", R"~(bad fault rule "*:": unknown action "")~"},
      {"*:delay", R"~(bad fault rule "*:delay": "delay" takes (ms) or (ms,max-ms))~"},
      {"*:delay(1,2,3)", R"~(bad fault rule "*:delay(1,2,3)": "delay" takes (ms) or (ms,max-ms))~"},
      {"*:delay(x)", R"~(bad fault rule "*:delay(x)": bad number "x")~"},
      {"*:delay(9,3)", R"~(bad fault rule "*:delay(9,3)": bad number "3")~"},
      {"*:delay(-1)", R"~(bad fault rule "*:delay(-1)": bad number "-1")~"},
      {"*:delay(5", R"~(bad fault rule "*:delay(5": unclosed "(")~"},
      {"*:drop(1)", R"~(bad fault rule "*:drop(1)": "drop" takes no arguments)~"},
      {"*:garbage()", R"~(bad fault rule "*:garbage()": "garbage" takes no arguments)~"},
      {"*:error(99)", R"~(bad fault rule "*:error(99)": bad number "99")~"},
      {"*:error(500,a,b,c)",
       R"~(bad fault rule "*:error(500,a,b,c)": "error" takes (status), (status,code) or (status,code,reason))~"},
      {"*:fail(1,2)", R"~(bad fault rule "*:fail(1,2)": "fail" takes no arguments or (code))~"},
      {"*:reorder(0)", R"~(bad fault rule "*:reorder(0)": bad number "0")~"},
      {"*:reorder(1,2,3)",
       R"~(bad fault rule "*:reorder(1,2,3)": "reorder" takes no arguments, (window) or (window,hold-ms))~"},
      {"*:drop now", R"~(bad fault rule "*:drop now": unexpected "now")~"},
      {"*:drop@sometimes", R"~(bad fault rule "*:drop@sometimes": unknown selector "sometimes")~"},
      {"*:drop@first=0", R"~(bad fault rule "*:drop@first=0": bad number "0")~"},
      {"*:drop@every=", R"~(bad fault rule "*:drop@every=": bad number "")~"},
      {"*:drop@p=1.5",
       R"~(bad fault rule "*:drop@p=1.5": probability "1.5" is not between 0 and 1)~"},
      {"*:drop@p=half", R"~(bad fault rule "*:drop@p=half": bad number "half")~"},
      {"*:drop; stopClass:drop@x=1",
       R"~(bad fault rule "stopClass:drop@x=1": unknown selector "x=1")~"},
  };
  for (const auto& c : cases) {
    std::vector<FaultRule> rules(1);
    std::string error;
    EXPECT_FALSE(rtc_sim::ParseFaultRules(c.first, &rules, &error)) << c.first;
    EXPECT_EQ(error, c.second);
    EXPECT_EQ(rules.size(), 1u) << "a malformed rule adds nothing";
  }
}

TEST(FaultRulesTest, RulesReadBackFromTheirText) {
  std::vector<FaultRule> rules;
  std::string error;
  ASSERT_TRUE(rtc_sim::ParseFaultRules(
      " getToken : error ( 503 , 50301 , server busy ) @ first=2 ;*:garbage@p=0.1;"
      "/r/Adaptor/ClassScene/startClass:fail;kickMembers:delay(5,20)@every=3;*:reorder;*:drop;",
      &rules, &error))
      << error;
  std::vector<std::string> texts;
  for (const FaultRule& rule : rules) texts.push_back(rtc_sim::FaultText(rule));
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "/r/Adaptor/RtcMlink/getToken:error(503,50301,server busy)@first=2",
                       "*:garbage@p=0.1",
                       "/r/Adaptor/ClassScene/startClass:fail(-4)",
                       "/r/Adaptor/RtcMlink/kickMembers:delay(5,20)@every=3",
                       "*:reorder(3,100)",
                       "*:drop",
                   }));
  std::vector<FaultRule> again;
  for (const std::string& text : texts) ASSERT_TRUE(rtc_sim::ParseFaultRules(text, &again, &error));
  for (size_t i = 0; i < rules.size(); ++i) EXPECT_EQ(rtc_sim::FaultText(again[i]), texts[i]);
}

}  // namespace
}  // namespace sim_test
