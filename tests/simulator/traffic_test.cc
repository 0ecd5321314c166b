// Record and replay: a session recorded once is served again exactly from its file; mismatches
// and malformed files are named on one line.
#include <rapidjson/document.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "rtc_sim/traffic.h"
#include "sim_fixture.h"

namespace sim_test {
namespace {

namespace rtc = vanta::rtc;
namespace sc = vanta::sceneclass;

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "rtc_sim_" + name + "_" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class TrafficTest : public SimulatorTest {
 protected:
  // A session with every kind of outcome: answers, refusals, garbage, local failure, no answer.
  std::vector<Reply> Session() {
    nexo_standin::SetRequestTimeout(50ms);
    return {Call(kTeacher, rtc::GetTokenReq{"conf-1"}),
            Call(kStudent, rtc::GetTokenReq{"conf-1"}),
            Call(kGuest, rtc::GetConfDetailReq{"conf-1"}),
            Call(kTeacher, rtc::SetLayoutReq{"conf-1", {kStudent}, 3}),
            Call(kTeacher, rtc::StartRecordReq{"conf-1", 1}),
            Call(kTeacher, sc::CreateClassReq{kRoom, "Optics"}),
            Call(kTeacher, rtc::StopRecordReq{"conf-1"})};
  }
};

TEST_F(TrafficTest, ARecordedSessionReplaysToTheSameAnswers) {
  const std::string path = TempPath("session");
  std::string error;
  std::vector<Reply> recorded;
  {
    auto recorder = rtc_sim::TrafficRecorder::Open(path, &error);
    ASSERT_TRUE(recorder) << error;
    ASSERT_TRUE(sim_->AddFaults("setLayout:garbage;startRecord:fail;createClass:drop", &error));
    int observed = 0;
    nexo_standin::SetTransport(
        recorder->Wrap(sim_->transport(), [&](const rtc_sim::Exchange&) { ++observed; }));
    Conference();
    recorded = Session();
    ASSERT_TRUE(nexo_standin::WaitUntilIdle());
    EXPECT_EQ(recorder->lines(), 7u);
    EXPECT_EQ(observed, 14);
  }

  std::ifstream in(path);
  std::string first;
  std::getline(in, first);
  rapidjson::Document line;
  line.Parse(first.c_str());
  ASSERT_TRUE(line.IsObject()) << first;
  EXPECT_EQ(line["seq"].GetUint64(), 1u);
  EXPECT_STREQ(line["uri"].GetString(), "/r/Adaptor/RtcMlink/getToken");
  EXPECT_STREQ(line["request_hex"].GetString(), "8101a6636f6e662d31");  // key 1 "conf-1"
  EXPECT_STREQ(line["request"]["rtc_id"].GetString(), "conf-1");
  EXPECT_STREQ(line["outcome"].GetString(), "answered");
  EXPECT_EQ(line["code"].GetInt(), 200);
  EXPECT_STREQ(line["answer"]["token"].GetString(), "sim-token:conf-1:teacher:1");
  EXPECT_LE(line["sent_us"].GetInt64(), line["answered_us"].GetInt64());

  // A fresh engine and no simulator at all: the file alone answers.
  auto replay = rtc_sim::ReplayTransport::Open(path, &error);
  ASSERT_TRUE(replay) << error;
  SimulatorTest::Start(rtc_sim::SimulatorOptions());
  std::vector<std::string> faults;
  nexo_standin::SetTransport(rtc_sim::Tap(replay->transport(), [&](const rtc_sim::Exchange& e) {
    if (e.phase == rtc_sim::Phase::kAnswer) faults.push_back(e.fault);
  }));
  const std::vector<Reply> replayed = Session();
  ASSERT_EQ(replayed.size(), recorded.size());
  for (size_t i = 0; i < recorded.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(replayed[i].success, recorded[i].success);
    EXPECT_EQ(replayed[i].message.code, recorded[i].message.code);
    EXPECT_EQ(replayed[i].message.body, recorded[i].message.body);
    EXPECT_EQ(replayed[i].error().ToString(), recorded[i].error().ToString());
  }
  EXPECT_EQ(recorded[2].message.code, 403);  // a refusal replays as one
  EXPECT_EQ(recorded[5].error().reason(), "timeout");
  EXPECT_EQ(faults, (std::vector<std::string>{"", "", "", "garbage", "fail(-4)", "drop", ""}));
  EXPECT_TRUE(replay->problems().empty());
  EXPECT_EQ(replay->remaining(), 0u);
  std::remove(path.c_str());
}

TEST_F(TrafficTest, ReplayMatchesPerUriInSendingOrderAndNamesMismatches) {
  const std::string path = TempPath("mismatch");
  // Written in answer order; "seq" is the sending order.
  const std::string token = rtc_sim::ToHex(rtc_sim::Encode(rtc::GetTokenReq{"c"}));
  auto line = [&](int seq, const char* user, const std::string& answer) {
    return R"({"seq":)" + std::to_string(seq) + R"(,"user":")" + user +
           R"(","uri":"/r/Adaptor/RtcMlink/getToken","request_hex":")" + token +
           R"(","outcome":"answered","code":200,"answer_hex":")" +
           rtc_sim::ToHex(rtc_sim::Encode(rtc::GetTokenRsp{"", answer})) + "\"}\n";
  };
  WriteFile(path, line(2, kStudent, "second") + "\n" + line(1, kTeacher, "first"));
  std::string error;
  auto replay = rtc_sim::ReplayTransport::Open(path, &error, rtc_sim::ReplayOptions{true});
  ASSERT_TRUE(replay) << error;
  nexo_standin::SetTransport(replay->transport());

  std::vector<std::string> tokens;
  for (const char* user : {kTeacher, kTeacher}) {
    rtc::GetTokenRsp rsp;
    EXPECT_TRUE(rtc_sim::Decode(
        Call(user, UriOf(rtc::GetTokenReq{}), rtc_sim::Encode(rtc::GetTokenReq{"c"})).message.body,
        &rsp));
    tokens.push_back(rsp.token);
  }
  EXPECT_EQ(tokens, (std::vector<std::string>{"first", "second"}));
  const Reply other = Call(kTeacher, rtc::GetTokenReq{"d"});
  EXPECT_EQ(other.message.code, -1);
  EXPECT_EQ(other.error().ToString(),
            "(status=-2, scope=replay, code=-2, reason=invalid_operation, developMessage=no "
            "recorded answer left for /r/Adaptor/RtcMlink/getToken)");
  EXPECT_EQ(
      replay->problems(),
      (std::vector<std::string>{
          R"(request 2 (/r/Adaptor/RtcMlink/getToken): user "teacher" differs from "student" on line 1)",
          "request 3 (/r/Adaptor/RtcMlink/getToken): no recorded answer left"}));
  std::remove(path.c_str());
}

TEST_F(TrafficTest, MalformedTrafficFilesAreNamedByFileLineAndProblem) {
  const std::string path = TempPath("bad");
  const std::string ok =
      R"({"seq":1,"user":"u","uri":"/r/x","request_hex":"80","outcome":"unanswered"})";
  const std::pair<std::string, std::string> cases[] = {
      {"{\"seq\":1,", ":1: invalid JSON: Missing a name for object member. (column 10)"},
      {"[1]", ":1: not a JSON object"},
      {ok + "\n\n" + R"({"user":"u"})", ":3: missing \"seq\""},
      {R"({"seq":0})", ":1: \"seq\" is not a positive integer"},
      {R"({"seq":1,"user":2})", ":1: \"user\" is not a string"},
      {R"({"seq":1,"user":"u","uri":"/r/x","request_hex":"8"})", ":1: \"request_hex\" is not hex"},
      {R"({"seq":1,"user":"u","uri":"/r/x","request_hex":"80","outcome":"lost"})",
       ":1: \"outcome\" \"lost\" is unknown"},
      {R"({"seq":1,"user":"u","uri":"/r/x","request_hex":"80","outcome":"answered","code":"200"})",
       ":1: \"code\" is not an integer"},
      {R"({"seq":1,"user":"u","uri":"/r/x","request_hex":"80","outcome":"answered","code":200})",
       ":1: missing \"answer_hex\""},
      {R"({"seq":1,"user":"u","uri":"/r/x","request_hex":"80","outcome":"failed","error":[]})",
       ":1: \"error\" is not an object"},
      {R"({"seq":1,"user":"u","uri":"/r/x","request_hex":"80","outcome":"failed","error":{"status":-4,"code":"-4"}})",
       ":1: missing \"reason\""},
      {ok + "\n" + ok, ":2: \"seq\" 1 repeats line 1"},
  };
  for (const auto& c : cases) {
    WriteFile(path, c.first);
    std::string error;
    EXPECT_FALSE(rtc_sim::ReplayTransport::Open(path, &error)) << c.first;
    EXPECT_EQ(error, path + c.second);
  }
  std::remove(path.c_str());
  std::string error;
  EXPECT_FALSE(rtc_sim::ReplayTransport::Open(path, &error));
  EXPECT_EQ(error, path + ": cannot open for reading");
  const std::string nowhere = path + "/no/such/dir/file.jsonl";
  EXPECT_FALSE(rtc_sim::TrafficRecorder::Open(nowhere, &error));
  EXPECT_EQ(error, nowhere + ": cannot open for writing");
}

}  // namespace
}  // namespace sim_test
