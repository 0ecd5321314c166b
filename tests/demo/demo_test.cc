// rtc_demo as its users run it: the built-in session, record and replay with injected faults,
// the trace page, and bad input.
#include <expat.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Per process: ctest runs the cases of this file side by side.
std::string TempPath(const std::string& name) {
  return testing::TempDir() + "rtc_demo_" + std::to_string(getpid()) + "_" + name;
}

// Runs rtc_demo with `args`; standard output and error go to files, read back afterwards.
Result RunDemo(std::vector<std::string> args) {
  const std::string out = TempPath("stdout"), err = TempPath("stderr");
  args.insert(args.begin(), RTC_DEMO_PATH);
  const pid_t pid = fork();
  if (pid == 0) {
    const int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  Result result;
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = ReadAll(out);
  result.err = ReadAll(err);
  std::remove(out.c_str());
  std::remove(err.c_str());
  return result;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The --json output: one object per line.
struct JsonRun {
  explicit JsonRun(const std::string& out) {
    for (const std::string& line : Lines(out)) {
      auto doc = std::make_unique<rapidjson::Document>();
      doc->Parse(line.c_str());
      EXPECT_FALSE(doc->HasParseError()) << line;
      if (!doc->HasParseError() && doc->IsObject()) objects.push_back(std::move(doc));
    }
  }
  std::vector<const rapidjson::Document*> Of(const std::string& kind) const {
    std::vector<const rapidjson::Document*> out;
    for (const auto& o : objects) {
      if ((*o)["kind"].GetString() == kind) out.push_back(o.get());
    }
    return out;
  }
  // The events with `kind` whose label starts with `label`.
  std::vector<const rapidjson::Document*> Events(const std::string& kind,
                                                 const std::string& label) const {
    std::vector<const rapidjson::Document*> out;
    for (const rapidjson::Document* o : Of(kind)) {
      if (std::string((*o)["label"].GetString()).rfind(label, 0) == 0) out.push_back(o);
    }
    return out;
  }
  std::vector<std::unique_ptr<rapidjson::Document>> objects;
};

// The transcript without the summary table, whose figures are timings.
std::string TranscriptPart(const std::string& out) {
  return out.substr(0, out.find("\noperation "));
}

TEST(DemoTest, BuiltinSessionEndsWithEveryStepAsExpected) {
  const Result run = RunDemo({"--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const JsonRun json(run.out);
  const auto verdicts = json.Of("verdict");
  ASSERT_EQ(verdicts.size(), 21u);
  for (const rapidjson::Document* v : verdicts) {
    EXPECT_TRUE((*v)["ok"].GetBool())
        << (*v)["what"].GetString() << ": " << (*v)["got"].GetString();
  }
  const auto summary = json.Of("summary");
  ASSERT_EQ(summary.size(), 1u);
  EXPECT_EQ((*summary[0])["unexpected"].GetInt(), 0);
  // Every step called back exactly once, with success (the class is created by the host's own
  // request, which answers the host directly); nothing failed on the way.
  EXPECT_EQ(json.Events("callback", "").size(), 20u);
  EXPECT_EQ(json.Events("host-result", "CreateClass success").size(), 1u);
  for (const rapidjson::Document* e : json.Of("callback")) {
    EXPECT_FALSE((*e)["failed"].GetBool()) << (*e)["label"].GetString();
  }
  // The media engine's own events reached the module and the host.
  EXPECT_EQ(json.Events("media-event", "OnJoinResult").size(), 2u);
  EXPECT_EQ(json.Events("listener", "OnJoined").size(), 2u);
  EXPECT_EQ(json.Events("media-event", "OnScreenShareStateChanged").size(), 2u);
  EXPECT_FALSE(json.Events("media-event", "OnStats").empty());
  EXPECT_EQ(json.Events("report", "report 108").size(), 2u);
  EXPECT_EQ(
      json.Events("media-call", "JoinChannel(channel=conf-1,user=alice,token=sim-token:").size(),
      1u);
  // A module log line is a failure exactly when it is an error; the session's only errors are
  // each module's "destory" line for each account as the engine lets the accounts go.
  int error_logs = 0;
  for (const rapidjson::Document* l : json.Of("log")) {
    const int severity = (*l)["severity"].GetInt();
    EXPECT_EQ((*l)["failed"].GetBool(), severity >= 3) << (*l)["line"].GetString();
    if (severity < 3) continue;
    ++error_logs;
    EXPECT_NE(std::string((*l)["line"].GetString()).find("]destory"), std::string::npos);
  }
  EXPECT_EQ(error_logs, 4);
  // What the module asked of the host's room and live managers, and their answers, in order.
  std::vector<std::string> host_calls;
  for (const auto& o : json.objects) {
    const std::string kind = (*o)["kind"].GetString();
    if (kind != "host-request" && kind != "host-answer") continue;
    // "room manager CreateRtc owner_id=...", "room manager CreateRtc answered rtc_id=...".
    std::istringstream words((*o)["label"].GetString());
    std::string call = kind + ":";
    for (int n = kind == "host-answer" ? 4 : 3; n > 0; --n) {
      std::string word;
      words >> word;
      call += " " + word;
    }
    host_calls.push_back(call);
  }
  EXPECT_EQ(host_calls, (std::vector<std::string>{
                            "host-request: room manager CreateRtc",
                            "host-answer: room manager CreateRtc answered",
                            "host-request: room manager CreateLive",
                            "host-answer: room manager CreateLive answered",
                            "host-request: live manager PublishLive",
                            "host-answer: live manager PublishLive answered",
                            "host-request: room manager DestroyRtc",
                            "host-answer: room manager DestroyRtc answered",
                        }));
}

TEST(DemoTest, TextTranscriptCutsLongBodiesThatJsonKeepsWhole) {
  const Result text = RunDemo({});
  const Result json_run = RunDemo({"--json"});
  ASSERT_EQ(text.status, 0) << text.err;
  ASSERT_EQ(json_run.status, 0) << json_run.err;
  EXPECT_EQ(text.out.rfind("room r1 (\"Physics 101\"), owner alice\nsignin alice\n", 0), 0u)
      << text.out.substr(0, 200);
  const char kSummaryHeader[] =
      "\noperation               calls     ok  failed   median ms   worst ms\nJoinRtc ";
  EXPECT_NE(text.out.find(kSummaryHeader), std::string::npos);
  // --quiet: the summary alone.
  const Result quiet = RunDemo({"--quiet"});
  EXPECT_EQ(quiet.status, 0) << quiet.err;
  EXPECT_EQ(quiet.out.rfind(kSummaryHeader, 0), 0u) << quiet.out.substr(0, 200);
  EXPECT_EQ(quiet.out.substr(quiet.out.find("\nsteps: ")), "\nsteps: 21, unexpected outcomes: 0\n");
  const JsonRun json(json_run.out);
  size_t cut = 0, whole = 0;
  for (const rapidjson::Document* a : json.Of("answer")) {
    if (!a->HasMember("body")) continue;
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
    (*a)["body"].Accept(w);
    const std::string body = buffer.GetString();
    const std::string line = std::string(" answer ") + std::to_string((*a)["code"].GetInt()) + " " +
                             (body.size() > 160 ? body.substr(0, 160) + " ...\n" : body + "\n");
    EXPECT_NE(text.out.find(line), std::string::npos) << line;
    ++(body.size() > 160 ? cut : whole);
  }
  EXPECT_GT(cut, 0u);
  EXPECT_GT(whole, 0u);
}

TEST(DemoTest, ADroppedRequestEndsItsStepWithTheEnginesTimeout) {
  const std::string script = TempPath("drop.txt");
  std::ofstream(script, std::ios::binary) << "signin alice\nalice join\n";
  // Seed 0 is a seed like any other.
  const Result run = RunDemo({"--script", script, "--fault", "getToken:drop", "--seed", "0"});
  std::remove(script.c_str());
  EXPECT_EQ(run.status, 0) << run.err;
  for (const char* line : {
           "  adaptor -> engine         alice: no answer [fault drop]  !\n",
           "  service -> host           alice: JoinRtc failure code=-3 (timeout)  !\n",
           "  => as expected: failure code=-3 reason=\"timeout\"\n",
       }) {
    EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
  }
}

TEST(DemoTest, ARunIsRepeatableAndARecordingReplaysToTheSameTranscript) {
  const std::string traffic = TempPath("traffic.jsonl");
  const std::vector<std::string> faults = {"--seed", "11", "--fault", "*:error(500)@p=0.2"};
  std::vector<std::string> record = faults;
  record.insert(record.end(), {"--record", traffic});
  const Result first = RunDemo(record);
  const Result second = RunDemo(faults);
  const Result replay = RunDemo({"--replay", traffic});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(TranscriptPart(second.out), TranscriptPart(first.out));
  EXPECT_EQ(replay.status, 0) << replay.err;
  EXPECT_EQ(TranscriptPart(replay.out), TranscriptPart(first.out));
  EXPECT_NE(first.out.find(" [fault error(500,500,injected error)]  !"), std::string::npos)
      << "the faults hit nothing, or their answers do not name them";
}

TEST(DemoTest, AStepThatEndsOtherwiseThanItsScriptSaysFailsTheRunAndIsNamed) {
  const std::string script = TempPath("wrong-expectation.txt");
  std::ofstream(script, std::ios::binary) << "signin alice\n"
                                             "alice join expect fail\n"
                                             "alice leave destroy\n";
  const Result run = RunDemo({"--json", "--script", script});
  std::remove(script.c_str());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "rtc_demo: step 1 (line 2: alice join expect fail) did not end as expected: expected "
            "failure, got success\n");
  const JsonRun json(run.out);
  std::vector<std::string> verdicts;
  for (const rapidjson::Document* v : json.Of("verdict")) {
    verdicts.push_back(std::to_string((*v)["step"].GetInt()) + ":" +
                       std::to_string((*v)["line"].GetInt()) + ":" +
                       ((*v)["ok"].GetBool() ? "ok" : "unexpected"));
  }
  EXPECT_EQ(verdicts, (std::vector<std::string>{"1:2:unexpected", "2:3:ok"}));
  const auto summary = json.Of("summary");
  ASSERT_EQ(summary.size(), 1u);
  EXPECT_EQ((*summary[0])["unexpected"].GetInt(), 1);
}

TEST(DemoTest, TracePageHoldsWellFormedSvgWithOneArrowPerEvent) {
  const std::string page_path = TempPath("trace.html");
  const Result run = RunDemo({"--json", "--fault", "kickMembers:error(403)", "--trace", page_path});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string page = ReadAll(page_path);
  const size_t begin = page.find("<svg");
  const size_t end = page.find("</svg>");
  ASSERT_NE(begin, std::string::npos);
  ASSERT_NE(end, std::string::npos);
  const std::string svg = page.substr(begin, end + 6 - begin);

  struct Count {
    int arrows = 0;
    int red = 0;
  } count;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetUserData(parser, &count);
  XML_SetStartElementHandler(parser, [](void* data, const XML_Char* name, const XML_Char** attrs) {
    auto* c = static_cast<Count*>(data);
    if (std::string(name) != "g") return;
    bool arrow = false, red = false;
    for (int i = 0; attrs[i] != nullptr; i += 2) {
      arrow |= std::string(attrs[i]) == "class" && std::string(attrs[i + 1]) == "arrow";
      red |= std::string(attrs[i]) == "stroke" && std::string(attrs[i + 1]) == "#c00";
    }
    c->arrows += arrow;
    c->red += arrow && red;
  });
  const bool parsed =
      XML_Parse(parser, svg.data(), static_cast<int>(svg.size()), 1) == XML_STATUS_OK;
  EXPECT_TRUE(parsed) << XML_ErrorString(XML_GetErrorCode(parser)) << " at line "
                      << XML_GetCurrentLineNumber(parser);
  XML_ParserFree(parser);

  const JsonRun json(run.out);
  int events = 0, failed = 0;
  for (const auto& o : json.objects) {
    if (!o->HasMember("from")) continue;
    ++events;
    failed += (*o)["failed"].GetBool();
  }
  EXPECT_EQ(count.arrows, events);
  EXPECT_EQ(count.red, failed);
  EXPECT_GT(failed, 0);
  // The failed call's callback as --json renders it.
  const auto kick = json.Events("callback", "KickUserFromRtc");
  ASSERT_EQ(kick.size(), 1u);
  EXPECT_EQ(std::string((*kick[0])["label"].GetString()) + " " +
                std::to_string((*kick[0])["code"].GetInt()) + " " +
                (*kick[0])["reason"].GetString(),
            "KickUserFromRtc failure 403 injected error");
  // The answer the rule changed names it, and no other answer names a fault.
  std::vector<std::string> faulted;
  for (const rapidjson::Document* a : json.Of("answer")) {
    if (a->HasMember("fault"))
      faulted.push_back(std::string((*a)["fault"].GetString()) + " " + (*a)["label"].GetString());
  }
  EXPECT_EQ(faulted, std::vector<std::string>{"error(403,403,injected error) answer"});
}

struct BadInput {
  const char* name;
  std::vector<std::string> args;
  std::string file_text;  // written to the file named by "@FILE" in args
  std::string error;      // the one line on standard error, after "rtc_demo: "
};

void PrintTo(const BadInput& c, std::ostream* os) {
  *os << c.name;
}

class DemoBadInputTest : public testing::TestWithParam<BadInput> {};

TEST_P(DemoBadInputTest, ExitsWithStatusTwoAndOneLineNamingTheProblem) {
  const BadInput& c = GetParam();
  const std::string file = TempPath("input.txt");
  std::vector<std::string> args = c.args;
  for (std::string& a : args) {
    if (a == "@FILE") a = file;
  }
  if (!c.file_text.empty()) std::ofstream(file, std::ios::binary) << c.file_text;
  std::string error = c.error;
  const size_t at = error.find("@FILE");
  if (at != std::string::npos) error.replace(at, 5, file);
  const Result run = RunDemo(args);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "rtc_demo: " + error + "\n");
  EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DemoBadInputTest,
    testing::Values(
        BadInput{"UnknownOption", {"--colour"}, "", "unknown option --colour (see --help)"},
        BadInput{"MissingValue", {"--seed"}, "", "option --seed needs a value"},
        BadInput{"NegativeSeed",
                 {"--seed", "-1"},
                 "",
                 "--seed wants a non-negative integer, not \"-1\""},
        BadInput{"LogLevelAboveThree",
                 {"--log-level", "4"},
                 "",
                 "--log-level wants 0, 1, 2 or 3, not \"4\""},
        BadInput{"UnreadableScript",
                 {"--script", "/nonexistent/session.txt"},
                 "",
                 "/nonexistent/session.txt: cannot read"},
        BadInput{"UnknownOperation",
                 {"--script", "@FILE"},
                 "signin alice\nalice fly\n",
                 "@FILE:2: unknown operation \"fly\""},
        BadInput{"UnterminatedQuote",
                 {"--script", "@FILE"},
                 "signin alice\nalice class-create \"Optics\n",
                 "@FILE:2: unterminated quoted text"},
        BadInput{"UnknownFaultUri",
                 {"--fault", "nowhere:error"},
                 "",
                 "bad fault rule \"nowhere:error\": unknown URI \"nowhere\""},
        BadInput{"MalformedTraffic",
                 {"--replay", "@FILE"},
                 "{\"seq\":1,\n",
                 "@FILE:1: invalid JSON: Missing a name for object member. (column 10)"}),
    [](const testing::TestParamInfo<BadInput>& info) { return std::string(info.param.name); });

}  // namespace
