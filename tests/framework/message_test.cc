// Header operations of the mlink message and the generic RPC message, and the identity every
// request gets at construction.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
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

// --- header operations, the same for both message kinds ---

struct Op {
  enum Kind { kAdd, kSet, kRemove } kind;
  std::string key;
  std::string value;
};

struct HeaderCase {
  const char* name;
  std::vector<Op> ops;
  HeaderMap expected;
};

const std::vector<HeaderCase>& HeaderCases() {
  static const std::vector<HeaderCase> cases = {
      {"add keeps every value in order",
       {{Op::kAdd, "a", "1"}, {Op::kAdd, "a", "2"}, {Op::kAdd, "b", "3"}},
       {{"a", "1"}, {"a", "2"}, {"b", "3"}}},
      {"add with an empty value adds nothing", {{Op::kAdd, "a", ""}}, {}},
      {"add with an empty value keeps earlier values",
       {{Op::kAdd, "a", "1"}, {Op::kAdd, "a", ""}},
       {{"a", "1"}}},
      {"set replaces every value of the key",
       {{Op::kAdd, "a", "1"}, {Op::kAdd, "a", "2"}, {Op::kAdd, "b", "3"}, {Op::kSet, "a", "9"}},
       {{"a", "9"}, {"b", "3"}}},
      {"set of an absent key adds it", {{Op::kSet, "dt", "p"}}, {{"dt", "p"}}},
      {"set with an empty value removes the key",
       {{Op::kAdd, "a", "1"}, {Op::kAdd, "b", "2"}, {Op::kSet, "a", ""}},
       {{"b", "2"}}},
      {"remove drops every value of the key only",
       {{Op::kAdd, "a", "1"}, {Op::kAdd, "a", "2"}, {Op::kAdd, "ab", "3"}, {Op::kRemove, "a", ""}},
       {{"ab", "3"}}},
      {"remove of an absent key changes nothing",
       {{Op::kAdd, "a", "1"}, {Op::kRemove, "A", ""}},
       {{"a", "1"}}},
      {"keys are case-sensitive",
       {{Op::kAdd, "Dt", "x"}, {Op::kSet, "dt", "p"}},
       {{"Dt", "x"}, {"dt", "p"}}},
  };
  return cases;
}

template <class M>
class HeaderOpsTest : public ::testing::Test {};

using MessageKinds = ::testing::Types<Message, Request, RpcMessage>;

class KindName {
 public:
  template <class T>
  static std::string GetName(int) {
    if (std::is_same<T, Message>::value) return "Message";
    if (std::is_same<T, Request>::value) return "Request";
    return "RpcMessage";
  }
};

template <class M>
M Make() {
  if constexpr (std::is_same<M, Request>::value) {
    return Request("/r/Adaptor/RtcMlink/kickMembers");
  } else {
    return M();
  }
}

TYPED_TEST_SUITE(HeaderOpsTest, MessageKinds, KindName);

TYPED_TEST(HeaderOpsTest, OperationSequences) {
  for (const HeaderCase& c : HeaderCases()) {
    TypeParam message = Make<TypeParam>();
    for (const Op& op : c.ops) {
      switch (op.kind) {
        case Op::kAdd:
          message.AddHeader(op.key, op.value);
          break;
        case Op::kSet:
          message.SetHeader(op.key, op.value);
          break;
        case Op::kRemove:
          message.RemoveHeader(op.key);
          break;
      }
    }
    EXPECT_EQ(message.headers(), c.expected) << c.name;
  }
}

TYPED_TEST(HeaderOpsTest, QueriesSeeTheFirstValueAndEveryKeyOnce) {
  TypeParam message = Make<TypeParam>();
  message.AddHeader("b", "x");
  message.AddHeader("a", "first");
  message.AddHeader("c", "y");
  message.AddHeader("a", "second");
  message.AddHeader("a", "third");

  EXPECT_TRUE(message.HasHeader("a"));
  EXPECT_FALSE(message.HasHeader("A"));
  EXPECT_FALSE(message.HasHeader(""));
  EXPECT_EQ(message.GetHeader("a"), "first");
  EXPECT_EQ(message.GetHeader("missing"), "");
  EXPECT_EQ(message.GetHeaders("a"), (std::vector<std::string>{"first", "second", "third"}));
  EXPECT_TRUE(message.GetHeaders("missing").empty());
  EXPECT_EQ(message.HeaderKeys(), (std::set<std::string>{"a", "b", "c"}));
}

TYPED_TEST(HeaderOpsTest, SetHeadersReplacesEverything) {
  TypeParam message = Make<TypeParam>();
  message.AddHeader("old", "1");
  const HeaderMap replacement{{"k", "v1"}, {"k", "v2"}, {"empty", ""}};
  message.set_headers(replacement);
  EXPECT_EQ(message.headers(), replacement);
  // Values that bypassed AddHeader are kept as given.
  EXPECT_TRUE(message.HasHeader("empty"));
  EXPECT_FALSE(message.HasHeader("old"));
}

TEST(MlinkMessageTest, MidHeaderIsLeftToTheEngine) {
  std::vector<std::unique_ptr<Message>> messages;
  messages.push_back(std::make_unique<Message>());
  messages.push_back(std::make_unique<Request>("/r/x"));
  for (const auto& message : messages) {
    message->AddHeader("mid", "engine-value");
    message->SetHeader("mid", "mine");
    message->SetHeader("mid", "");
    EXPECT_EQ(message->GetHeaders("mid"), std::vector<std::string>{"engine-value"});
  }
}

TEST(MlinkMessageTest, GenericMessageSetsMidLikeAnyHeader) {
  RpcMessage message;
  message.AddHeader("mid", "a");
  message.SetHeader("mid", "b");
  EXPECT_EQ(message.GetHeaders("mid"), std::vector<std::string>{"b"});
}

// --- text forms ---

TEST(MlinkMessageTest, TextForms) {
  EXPECT_EQ((MessageId{"1f_00ab0001", 42}.ToString()), "1f_00ab0001 42");
  EXPECT_EQ((MessageId{"", 0}.ToString()), " 0");
  EXPECT_EQ((MessageId{"p", 18446744073709551615ull}.ToString()), "p 18446744073709551615");

  Message plain;
  plain.mid = {"p", 7};
  plain.body = std::string("\0\x81", 2);
  EXPECT_EQ(plain.startline(), "");
  EXPECT_EQ(plain.ToString(), ", mid=p 7, len=2");
  EXPECT_EQ(plain.code, 0);

  Request request("/r/Adaptor/RtcMlink/getToken");
  request.mid.number = 3;
  request.body = "abc";
  const Message& as_message = request;  // the engine sees the base
  EXPECT_EQ(as_message.startline(), "MLINK /r/Adaptor/RtcMlink/getToken");
  EXPECT_EQ(as_message.ToString(),
            "/r/Adaptor/RtcMlink/getToken, mid=" + request.mid.prefix + " 3, len=3");
  EXPECT_EQ(request.code, 1);  // shown as siteId
  EXPECT_EQ(request.context, nullptr);
}

// --- request identity ---

const std::regex kMidPrefix("^([0-9a-f]+)_([0-9a-f]{4})([0-9a-f]{4})$");

struct MidParts {
  std::string process;
  std::string random;
  unsigned counter = 0;
};

MidParts Parse(const std::string& prefix) {
  std::smatch match;
  EXPECT_TRUE(std::regex_match(prefix, match, kMidPrefix)) << prefix;
  if (match.empty()) return {};
  return {match[1], match[2], static_cast<unsigned>(std::stoul(match[3], nullptr, 16))};
}

TEST(RequestMidTest, PrefixIsProcessRandomPartAndCounter) {
  char pid[32];
  std::snprintf(pid, sizeof pid, "%lx", static_cast<unsigned long>(getpid()));

  const MidParts first = Parse(Request("/a").mid.prefix);
  const MidParts second = Parse(Request("/b").mid.prefix);
  const MidParts third = Parse(Request("/c").mid.prefix);
  EXPECT_EQ(first.process, pid);
  EXPECT_EQ(second.process, pid);
  // The random part is chosen once per process.
  EXPECT_EQ(first.random, second.random);
  EXPECT_EQ(second.random, third.random);
  // The counter advances by one per request and wraps at 16 bits.
  EXPECT_EQ(second.counter, (first.counter + 1) & 0xffffu);
  EXPECT_EQ(third.counter, (first.counter + 2) & 0xffffu);
}

TEST(RequestMidTest, CopyingARequestKeepsItsIdentity) {
  Request original("/r/x");
  const Request copy(original);
  Request assigned("/r/y");
  assigned = original;
  EXPECT_EQ(copy.mid.prefix, original.mid.prefix);
  EXPECT_EQ(assigned.mid.prefix, original.mid.prefix);
  EXPECT_EQ(assigned.uri, "/r/x");
  // Copies do not consume the counter: the next request follows the original directly.
  EXPECT_EQ(Parse(Request("/r/z").mid.prefix).counter,
            (Parse(original.mid.prefix).counter + 2) & 0xffffu);
}

TEST(RequestMidTest, UniqueAcrossThreads) {
  constexpr int kThreads = 8;
  constexpr int kPerThread = 4096;  // 32768 in all: below the counter's wrap
  std::vector<std::vector<std::string>> prefixes(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&prefixes, t] {
      prefixes[t].reserve(kPerThread);
      for (int i = 0; i < kPerThread; ++i) prefixes[t].push_back(Request("/r/x").mid.prefix);
    });
  }
  for (auto& thread : threads) thread.join();

  std::set<std::string> unique;
  std::set<unsigned> counters;
  std::set<std::string> randoms;
  for (const auto& list : prefixes) {
    for (const auto& prefix : list) {
      unique.insert(prefix);
      const MidParts parts = Parse(prefix);
      counters.insert(parts.counter);
      randoms.insert(parts.random);
    }
  }
  EXPECT_EQ(unique.size(), static_cast<size_t>(kThreads * kPerThread));
  EXPECT_EQ(counters.size(), static_cast<size_t>(kThreads * kPerThread));
  EXPECT_EQ(randoms.size(), 1u);
}

}  // namespace
