// Header operations of the mlink message and the generic RPC message, their text forms, and the
// identity every request gets at construction.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "tessel/mlink/message.h"
#include "tessel/mlink/request.h"
#include "tessel/service/rpc_message.h"

namespace {

using tessel::mlink::HeaderMap;
using tessel::mlink::Message;
using tessel::mlink::MessageId;
using tessel::mlink::Request;
using tessel::service::RpcMessage;

template <class M>
class HeaderOpsTest : public ::testing::Test {};
using MessageKinds = ::testing::Types<Message, Request, RpcMessage>;
TYPED_TEST_SUITE(HeaderOpsTest, MessageKinds);

template <class M>
M Make() {
  if constexpr (std::is_same<M, Request>::value) {
    return Request("/r/Adaptor/RtcMlink/kickMembers");
  } else {
    return M();
  }
}

// Each op is "+k=v" (add), "=k=v" (set) or "-k" (remove).
TYPED_TEST(HeaderOpsTest, OperationSequences) {
  const struct {
    std::vector<std::string> ops;
    HeaderMap expected;
  } cases[] = {
      {{"+a=1", "+a=2", "+b=3"}, {{"a", "1"}, {"a", "2"}, {"b", "3"}}},
      {{"+a=1", "+a="}, {{"a", "1"}}},  // an empty value adds nothing
      {{"+a=1", "+a=2", "+b=3", "=a=9"}, {{"a", "9"}, {"b", "3"}}},
      {{"=dt=p"}, {{"dt", "p"}}},
      {{"+a=1", "+b=2", "=a="}, {{"b", "2"}}},  // set to empty removes
      {{"+a=1", "+a=2", "+ab=3", "-a"}, {{"ab", "3"}}},
      {{"+a=1", "-A"}, {{"a", "1"}}},
      {{"+Dt=x", "=dt=p"}, {{"Dt", "x"}, {"dt", "p"}}},
  };
  for (const auto& c : cases) {
    TypeParam message = Make<TypeParam>();
    for (const std::string& op : c.ops) {
      const size_t eq = op.find('=', 1);
      const std::string key = op.substr(1, eq - 1);
      const std::string value = eq == std::string::npos ? "" : op.substr(eq + 1);
      if (op[0] == '+') message.AddHeader(key, value);
      if (op[0] == '=') message.SetHeader(key, value);
      if (op[0] == '-') message.RemoveHeader(key);
    }
    EXPECT_EQ(message.headers(), c.expected) << ::testing::PrintToString(c.ops);
  }
  TypeParam message = Make<TypeParam>();
  for (const char* v : {"first", "second"}) message.AddHeader("a", v);
  message.AddHeader("b", "x");
  EXPECT_FALSE(message.HasHeader("A"));
  EXPECT_EQ(message.GetHeader("a"), "first");
  EXPECT_EQ(message.GetHeader("missing"), "");
  EXPECT_EQ(message.GetHeaders("a"), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(message.HeaderKeys(), (std::set<std::string>{"a", "b"}));
}

TEST(MlinkMessageTest, MidHeaderIsLeftToTheEngineButNotOnTheGenericMessage) {
  for (Message* message : std::initializer_list<Message*>{new Message, new Request("/r/x")}) {
    message->AddHeader("mid", "engine-value");
    message->SetHeader("mid", "mine");
    message->SetHeader("mid", "");
    EXPECT_EQ(message->GetHeaders("mid"), std::vector<std::string>{"engine-value"});
    delete message;
  }
  RpcMessage generic;
  generic.AddHeader("mid", "a");
  generic.SetHeader("mid", "b");
  EXPECT_EQ(generic.GetHeaders("mid"), std::vector<std::string>{"b"});
}

TEST(MlinkMessageTest, TextForms) {
  EXPECT_EQ((MessageId{"p", 18446744073709551615ull}.ToString()), "p 18446744073709551615");
  Message plain;
  plain.mid = {"p", 7};
  plain.body = std::string("\0\x81", 2);
  EXPECT_EQ(plain.startline(), "");
  EXPECT_EQ(plain.ToString(), ", mid=p 7, len=2");

  Request request("/r/Adaptor/RtcMlink/getToken");
  request.mid.number = 3;
  request.body = "abc";
  const Message& as_message = request;  // the engine sees the base
  EXPECT_EQ(as_message.startline(), "MLINK /r/Adaptor/RtcMlink/getToken");
  EXPECT_EQ(as_message.ToString(),
            "/r/Adaptor/RtcMlink/getToken, mid=" + request.mid.prefix + " 3, len=3");
  EXPECT_EQ(request.code, 1);  // shown as siteId
}

struct MidParts {
  std::string process, random;
  unsigned counter = 0;
};

MidParts Parse(const std::string& prefix) {
  static const std::regex kMidPrefix("^([0-9a-f]+)_([0-9a-f]{4})([0-9a-f]{4})$");
  std::smatch m;
  EXPECT_TRUE(std::regex_match(prefix, m, kMidPrefix)) << prefix;
  if (m.empty()) return {};
  return {m[1], m[2], static_cast<unsigned>(std::stoul(m[3], nullptr, 16))};
}

TEST(RequestMidTest, PrefixIsProcessRandomPartAndCounterAndCopiesDoNotCount) {
  char pid[32];
  std::snprintf(pid, sizeof pid, "%lx", static_cast<unsigned long>(getpid()));
  const Request original("/a");
  const Request copy(original);
  const MidParts first = Parse(original.mid.prefix);
  const MidParts next = Parse(Request("/b").mid.prefix);
  EXPECT_EQ(copy.mid.prefix, original.mid.prefix);
  EXPECT_EQ(first.process, pid);
  EXPECT_EQ(next.random, first.random);  // chosen once per process
  EXPECT_EQ(next.counter, (first.counter + 1) & 0xffffu);
}

TEST(RequestMidTest, UniqueAcrossThreads) {
  constexpr int kThreads = 8, kPerThread = 4096;  // 32768 in all: below the counter's wrap
  std::vector<std::vector<std::string>> prefixes(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&prefixes, t] {
      for (int i = 0; i < kPerThread; ++i) prefixes[t].push_back(Request("/r/x").mid.prefix);
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<unsigned> counters;
  for (const auto& list : prefixes) {
    for (const auto& prefix : list) counters.insert(Parse(prefix).counter);
  }
  EXPECT_EQ(counters.size(), static_cast<size_t>(kThreads * kPerThread));
}

}  // namespace
