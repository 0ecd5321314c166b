// Every adaptor request the module makes, driven into every kind of failure through the adaptor
// simulator: one table of operations (the 25 requests, each by the shortest route a host has to
// it, and the multi-step chains), one table of faults, and their product as the cases.
//
// Each case checks what the module promises the host for that answer: how many callbacks and
// which (with the error's code, reason and scope), the service's and the client's log lines, the
// monitoring report of the answer, that exactly one request went out, and, once the world is torn
// down, that the service, the host context and every callback the host handed over are released
// and no callback came late.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "faults/sim_world.h"

namespace faults {
namespace {

namespace rtc = vanta::rtc;
namespace sceneclass = vanta::sceneclass;
using network_test::kRtcManagerFile;
using network_test::kSceneManagerFile;

constexpr char kServiceFile[] = "src/plugins/rtc/rtc_service";

// What the module's client of each URI logs when its answer fails, and where.
struct UriInfo {
  std::string failure_text;
  const char* manager_file;
  const char* adaptor;  // the scope of the simulator's error bodies
};
const UriInfo& InfoOf(const std::string& suffix) {
  static const std::map<std::string, UriInfo> kInfo = {
#define FAULTS_RTC_URI(Op, REQ, RSP, suffix, failure, missing) \
  {suffix, {failure, kRtcManagerFile, "RtcMlink"}},
#define FAULTS_CLASS_URI(Op, REQ, RSP, suffix, failure) \
  {suffix, {failure, kSceneManagerFile, "ClassScene"}},
      VANTA_RTC_OPERATIONS(FAULTS_RTC_URI) VANTA_SCENECLASS_OPERATIONS(FAULTS_CLASS_URI)
#undef FAULTS_CLASS_URI
#undef FAULTS_RTC_URI
  };
  return kInfo.at(suffix);
}

// What one host call's callbacks received. Each function it hands out holds a token; once the
// module has let go of every copy, the token is gone.
class HostCall {
 public:
  template <class... Rsp>
  vanta::meta::RtcSuccessFunc<Rsp...> Success() {
    return [state = state_, token = token_](const Rsp&...) {
      std::lock_guard<std::mutex> lock(state->mu);
      ++state->successes;
    };
  }
  vanta::meta::RtcFailureFunc Failure() {
    return [state = state_, token = token_](const NexoError& error) {
      std::lock_guard<std::mutex> lock(state->mu);
      ++state->failures;
      state->error = error;
    };
  }
  // "<successes> ok, <failures> failed[ (<code>, <reason>, <scope>)]"
  std::string Outcome() const {
    std::lock_guard<std::mutex> lock(state_->mu);
    std::string text =
        std::to_string(state_->successes) + " ok, " + std::to_string(state_->failures) + " failed";
    if (state_->failures > 0) {
      text += " (" + std::to_string(state_->error.code) + ", '" + state_->error.reason + "', " +
              state_->error.scope + ")";
    }
    return text;
  }
  // Keeps only a weak reference to the token: Released() is true once the module dropped it.
  void Handed() { weak_ = std::exchange(token_, nullptr); }
  bool Released() const { return weak_.expired(); }

 private:
  struct State {
    std::mutex mu;
    int successes = 0, failures = 0;
    NexoError error;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
  std::shared_ptr<int> token_ = std::make_shared<int>(0);
  std::weak_ptr<int> weak_;
};

// Preconditions, set up with no fault before the case's own call.
enum Setup : unsigned {
  kConference = 1,  // the teacher's conference, the student a member
  kLive = 2,        // the room has a live
  kPushing = 4,     // the conference is pushed live
  kApplied = 8,     // the student applied for link-mic
  kRecording = 16,
  kSharing = 32,  // the teacher shares the screen
  kClass = 64,    // a class of the teacher's
  kClassStarted = 128,
};

// How the answer of the row's request reaches the caller:
//   kAnswer      the answer decides the one callback
//   kRegardless  one success callback whatever the answer (it comes from another step)
//   kNone        the operation has no callback
enum class Promise { kAnswer, kRegardless, kNone };

class FaultTable;
using Drive = std::function<void(FaultTable&, HostCall&)>;

struct Row {
  std::string name;
  std::string uri;  // suffix of the request the fault hits
  unsigned setup;
  Promise promise;
  int32_t report;  // monitoring event of the answer; 0 none
  bool minus_one;  // its failure report carries -1, not the error's code
  const char* success_line;
  const char* failure_line;  // prefix before "code=<code> msg=<reason>"
  // A continuation of the answer keeps the service alive (so its client survives the host).
  bool pinned;
  // The success comes from a later engine event, which needs the listener and the context.
  bool success_from_event;
  // A successful push goes on to publish the live (report 124).
  bool publishes;
  const char* actor;
  Drive drive;
};

enum class Answered { kSuccess, kFailure, kNever };
// What happens while the request is parked (kNoPark: it is not).
enum class WhileParked { kNoPark, kKeep, kReleaseAccount, kReleaseService, kDropContext };

struct Fault {
  std::string name;
  Answered answered;
  WhileParked parked;
  std::function<void(rtc_sim::AdaptorSimulator&, const std::string& uri)> arm;
  int32_t code;
  std::string reason;
  std::string scope;  // "" for the adaptor's
};

using Case = std::tuple<Row, Fault>;

// Failure messages name the row and the fault rather than dumping their bytes.
void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}
void PrintTo(const Fault& fault, std::ostream* os) {
  *os << fault.name;
}

class FaultTable : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    world_ = std::make_unique<SimWorld>();
    Prepare(std::get<0>(GetParam()).setup);
    ASSERT_TRUE(world_->Settle());
    world_->ClearRecords();
  }

  void Prepare(unsigned setup);

 public:
  SimWorld& w() { return *world_; }
  vanta::meta::RtcService& service(const char* user) { return *w()[user].service; }
  std::string conf_;
  std::string class_id_;

 protected:
  std::unique_ptr<SimWorld> world_;
};

void FaultTable::Prepare(unsigned setup) {
  if (setup & kConference) conf_ = w().CreateConference();
  if (setup & kLive) {
    vanta::room::CreateLiveRsp live;
    ASSERT_TRUE(w().sim().CreateLive(kRoom, {kTeacher, "Physics", {}, 0, "", "", ""}, &live).ok());
    w().sim().SetInstanceId(kRoom, "live", live.live_id);
  }
  HostCall setup_call;
  if (setup & kPushing) service(kTeacher).StartRoadPublish(nullptr, setup_call.Failure());
  if (setup & kApplied) service(kStudent).ApplyLinkMic(true, nullptr, setup_call.Failure());
  if (setup & kRecording) service(kTeacher).StartRecord(nullptr, setup_call.Failure());
  if (setup & kSharing) service(kTeacher).StartScreenShare(1, 0, nullptr, setup_call.Failure());
  if (setup & kClass) {
    w().ClassManager(kTeacher)->CreateClass(
        {kRoom, "Optics"},
        [this](const sceneclass::CreateClassRsp& rsp) { class_id_ = rsp.field1; },
        setup_call.Failure());
  }
  if (setup & kClassStarted) {
    service(kTeacher).StartClass({class_id_}, nullptr, setup_call.Failure());
  }
  ASSERT_TRUE(w().Settle());
  ASSERT_EQ(setup_call.Outcome(), "0 ok, 0 failed");
}

// ---- the operations ----------------------------------------------------------------------------

Row Op(std::string name, std::string uri, unsigned setup, Drive drive) {
  Row row{std::move(name),
          std::move(uri),
          setup,
          Promise::kAnswer,
          0,
          false,
          nullptr,
          nullptr,
          false,
          false,
          false,
          kTeacher,
          std::move(drive)};
  return row;
}
Row Lines(Row row, const char* success, const char* failure) {
  row.success_line = success;
  row.failure_line = failure;
  return row;
}
Row Reported(Row row, int32_t event, bool minus_one = false) {
  row.report = event;
  row.minus_one = minus_one;
  return row;
}

std::vector<Row> Operations() {
  using F = FaultTable;
  using S = HostCall;
  auto join = [](F& t, S& c) { t.service(kTeacher).JoinRtc(0, c.Success(), c.Failure()); };
  auto push = [](F& t, S& c) { t.service(kTeacher).StartRoadPublish(c.Success(), c.Failure()); };
  auto leave = [](bool destroy) {
    return
        [destroy](F& t, S& c) { t.service(kTeacher).LeaveRtc(destroy, c.Success(), c.Failure()); };
  };
  const unsigned conf = kConference;

  std::vector<Row> rows = {
      // IRtcService operations and the steps they lead to.
      Reported(Op("GetToken", "getToken", conf, join), 127),
      Reported(Op("ReportJoinStatus", "reportJoinStatus", conf, join), 125),
      Reported(Lines(Op("ReportLeaveStatus", "reportLeaveStatus", conf, leave(false)),
                     "ReportLeaveStatus success", "ReportLeaveStatus failed, "),
               126),
      Reported(Op("PushLiveStream", "pushLiveStream", conf | kLive, push), 106, true),
      Lines(Op("SetLayout", "setLayout", conf,
               [](F& t, S& c) {
                 t.service(kTeacher).SetLayout({kTeacher, kStudent}, 1, c.Success(), c.Failure());
               }),
            "SetLayout success", "SetLayout failed, "),
      Reported(Op("AddMembers", "addMembers", conf,
                  [](F& t, S& c) {
                    rtc::ConfUser carol;
                    carol.user_id = "carol";
                    t.service(kTeacher).AddMembers({carol}, c.Success(), c.Failure());
                  }),
               110),
      Reported(Lines(Op("KickMembers", "kickMembers", conf,
                        [](F& t, S& c) {
                          t.service(kTeacher).KickUserFromRtc({kStudent}, c.Success(), c.Failure());
                        }),
                     "KickUserFromRtc success", "KickUserFromRtc failed, "),
               111),
      Lines(Op("GetConfDetail", "getConfDetail", conf,
               [](F& t, S& c) {
                 t.service(kTeacher).GetConfDetail(c.Success<rtc::GetConfDetailRsp>(), c.Failure());
               }),
            "GetConfDetail success", "GetConfDetail failed, "),
      Reported(Lines(Op("ApplyLinkMic", "applyLinkMic", conf,
                        [](F& t, S& c) {
                          t.service(kStudent).ApplyLinkMic(true, c.Success(), c.Failure());
                        }),
                     "ApplyLinkMic success", "ApplyLinkMic failed, "),
               122),
      Lines(Op("ApproveLinkMic", "approveLinkMic", conf | kApplied,
               [](F& t, S& c) {
                 t.service(kTeacher).ApproveLinkMic(kStudent, true, c.Success(), c.Failure());
               }),
            "ApproveLinkMic success", "ApproveLinkMic failed, "),
      Op("ListConfUser", "listConfUser", conf,
         [](F& t, S& c) {
           t.service(kTeacher).ListConfUser({}, c.Success<rtc::ListConfUserRsp>(), c.Failure());
         }),
      Op("ListApplyLinkMicUser", "listApplyLinkMicUser", conf,
         [](F& t, S& c) {
           t.service(kTeacher).ListApplyLinkMicUser({}, c.Success<rtc::ListApplyLinkMicUserRsp>(),
                                                    c.Failure());
         }),
      Reported(
          Lines(Op("StartRecord", "startRecord", conf,
                   [](F& t, S& c) { t.service(kTeacher).StartRecord(c.Success(), c.Failure()); }),
                "StartRecord success", "StartRecord failed, "),
          112),
      Reported(
          Lines(Op("StopRecord", "stopRecord", conf | kRecording,
                   [](F& t, S& c) { t.service(kTeacher).StopRecord(c.Success(), c.Failure()); }),
                "StopRecord success", "StopRecord failed, "),
          113),
      Lines(Op("RtcMuteAll", "rtcMuteAll", conf,
               [](F& t, S& c) { t.service(kTeacher).RtcMuteAll(true, c.Success(), c.Failure()); }),
            "RtcMuteAll success", "RtcMuteAll failed, "),
      Lines(Op("RtcMuteUser", "rtcMuteUser", conf,
               [](F& t, S& c) {
                 t.service(kTeacher).RtcMuteUser(kStudent, true, c.Success(), c.Failure());
               }),
            "RtcMuteUser success", "RtcMuteUser failed, "),
      Lines(Op("StartScreenShare", "shareScreen", conf,
               [](F& t, S& c) {
                 t.service(kTeacher).StartScreenShare(1, 0, c.Success(), c.Failure());
               }),
            "ShareScreen success", "ShareScreen failed, "),
      Lines(Op("StopScreenShare", "shareScreen", conf | kSharing,
               [](F& t, S& c) { t.service(kTeacher).StopScreenShare(c.Success(), c.Failure()); }),
            "ShareScreen success", "ShareScreen failed, "),
      Op("GetClassDetail", "getClassDetail", conf | kClass,
         [](F& t, S& c) {
           t.service(kTeacher).GetClassDetail(
               {t.class_id_}, c.Success<sceneclass::GetClassDetailRsp>(), c.Failure());
         }),
      Op("StartClass", "startClass", conf | kClass,
         [](F& t, S& c) {
           t.service(kTeacher).StartClass({t.class_id_}, c.Success<sceneclass::StartClassRsp>(),
                                          c.Failure());
         }),
      Op("StopClass", "stopClass", conf | kClass | kClassStarted,
         [](F& t, S& c) {
           t.service(kTeacher).StopClass({t.class_id_}, c.Success<sceneclass::StopClassRsp>(),
                                         c.Failure());
         }),

      // Requests IRtcService has no slot for, through the account's clients.
      Op("StopLiveStream", "stopLiveStream", conf | kPushing,
         [](F& t, S& c) {
           t.w().RtcManager(kTeacher)->StopLiveStream(
               {t.conf_}, c.Success<rtc::StopLiveStreamRsp>(), c.Failure());
         }),
      Op("SetCustomLayout", "setCustomLayout", conf,
         [](F& t, S& c) {
           rtc::Pane pane;
           pane.number3 = 0.5f;
           pane.text6 = kStudent;
           t.w().RtcManager(kTeacher)->SetCustomLayout(
               {t.conf_, {pane}}, c.Success<rtc::SetCustomLayoutRsp>(), c.Failure());
         }),
      Op("ReportRtcMute", "reportRtcMute", conf,
         [](F& t, S& c) {
           t.w().RtcManager(kTeacher)->ReportRtcMute(
               {t.conf_, true}, c.Success<rtc::ReportRtcMuteRsp>(), c.Failure());
         }),
      Op("OperateCamera", "operateCamera", conf,
         [](F& t, S& c) {
           t.w().RtcManager(kTeacher)->OperateCamera(
               {t.conf_, true}, c.Success<rtc::OperateCameraRsp>(), c.Failure());
         }),
      Op("CreateClass", "createClass", conf,
         [](F& t, S& c) {
           t.w().ClassManager(kTeacher)->CreateClass(
               {kRoom, "Optics"}, c.Success<sceneclass::CreateClassRsp>(), c.Failure());
         }),

      // Chains from scratch: the room manager creates the conference, then the token; leaving
      // destroys the conference through the room manager; a push creates the live first.
      Reported(Op("JoinCreatingTheConference", "getToken", 0, join), 127),
      Reported(Lines(Op("LeaveDestroyingTheConference", "reportLeaveStatus", conf, leave(true)),
                     "ReportLeaveStatus success", "ReportLeaveStatus failed, "),
               126),
      Reported(Op("PushCreatingTheLive", "pushLiveStream", conf, push), 106, true),
  };
  for (Row& row : rows) {
    const std::string& n = row.name;
    if (n == "GetToken" || n == "JoinCreatingTheConference" || n == "PushLiveStream" ||
        n == "PushCreatingTheLive" || n == "StartScreenShare" || n == "StopScreenShare") {
      row.pinned = true;
    }
    if (n == "ReportJoinStatus" || n == "ReportLeaveStatus" || n == "LeaveDestroyingTheConference")
      row.promise = Promise::kRegardless;
    row.publishes = n == "PushLiveStream" || n == "PushCreatingTheLive";
    row.success_from_event = n == "StopScreenShare";
    if (n == "ApplyLinkMic") row.actor = kStudent;
  }
  return rows;
}

// ---- the faults --------------------------------------------------------------------------------

rtc_sim::FaultRule Rule(const std::string& uri, rtc_sim::FaultKind kind) {
  rtc_sim::FaultRule rule;
  rule.uri = rtc_sim::ResolveUri(uri);
  rule.kind = kind;
  return rule;
}

std::vector<Fault> Faults() {
  using Sim = rtc_sim::AdaptorSimulator;
  auto none = [](Sim&, const std::string&) {};
  return {
      {"NoFault", Answered::kSuccess, WhileParked::kNoPark, none, 0, "", ""},
      {"ErrorBody", Answered::kFailure, WhileParked::kNoPark,
       [](Sim& sim, const std::string& uri) {
         rtc_sim::FaultRule rule = Rule(uri, rtc_sim::FaultKind::kError);
         rule.status = 503;
         rule.error_code = "50301";
         rule.reason = "busy";
         sim.AddFault(rule);
       },
       50301, "busy", ""},
      {"UndecodableAnswer", Answered::kFailure, WhileParked::kNoPark,
       [](Sim& sim, const std::string& uri) {
         sim.AddFault(Rule(uri, rtc_sim::FaultKind::kGarbage));
       },
       -11, "", "AppNet"},
      {"UndecodableErrorBody", Answered::kFailure, WhileParked::kNoPark,
       [](Sim& sim, const std::string& uri) {
         sim.SetScript(uri, [](const std::string&, const std::string&) {
           return rtc_sim::Answer{502, std::string("\xc1\x00", 2)};
         });
       },
       -11, "", "AppNet"},
      {"LocalFailure", Answered::kFailure, WhileParked::kNoPark,
       [](Sim& sim, const std::string& uri) { sim.AddFault(Rule(uri, rtc_sim::FaultKind::kFail)); },
       -4, "network_broken_error", "mlink"},
      {"Timeout", Answered::kFailure, WhileParked::kNoPark,
       [](Sim& sim, const std::string& uri) {
         sim.AddFault(Rule(uri, rtc_sim::FaultKind::kDrop));
         nexo_standin::SetRequestTimeout(50ms);
       },
       -3, "timeout", "mlink"},
      {"NeverAnswered", Answered::kNever, WhileParked::kKeep, none, 0, "", ""},
      {"AnsweredAfterAccountRelease", Answered::kSuccess, WhileParked::kReleaseAccount, none, 0, "",
       ""},
      {"AnsweredAfterServiceRelease", Answered::kSuccess, WhileParked::kReleaseService, none, 0, "",
       ""},
      {"AnsweredAfterContextDestroyed", Answered::kSuccess, WhileParked::kDropContext, none, 0, "",
       ""},
  };
}

// ---- the cases ---------------------------------------------------------------------------------

int Count(const std::vector<LogLine>& lines, const char* file, int severity,
          const std::string& message) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const LogLine& l) {
    return l.file == file && l.severity == severity && l.message == message;
  }));
}

std::vector<std::string> ReportsOf(vanta::metrix::RecordingMetrixModule& metrix, int32_t id) {
  std::vector<std::string> out;
  for (const auto& r : metrix.reports(id)) {
    out.push_back(std::to_string(r.code) + " '" + r.message + "'");
  }
  return out;
}

TEST_P(FaultTable, EndsAsPromised) {
  const Row& row = std::get<0>(GetParam());
  const Fault& fault = std::get<1>(GetParam());
  const std::string uri = rtc_sim::ResolveUri(row.uri);
  const UriInfo& info = InfoOf(row.uri);
  Participant& actor = w()[row.actor];
  std::weak_ptr<vanta::meta::RtcService> service = actor.service;
  std::weak_ptr<refhost::ReferenceServiceContext> context = actor.context;

  fault.arm(w().sim(), uri);
  if (fault.parked != WhileParked::kNoPark) w().parking().Park(uri);
  HostCall call;
  row.drive(*this, call);
  call.Handed();
  bool context_alive = true;
  bool service_alive = true;
  if (fault.parked != WhileParked::kNoPark) {
    w().RunUntilParked();
    ASSERT_EQ(w().parking().parked(), 1u) << "the request to " << uri << " was never sent";
    switch (fault.parked) {
      case WhileParked::kReleaseService:
        SimWorld::Detach(actor);
        service_alive = false;
        [[fallthrough]];
      case WhileParked::kReleaseAccount:
        nexo_standin::ReleaseAccount({row.actor, kTag});
        break;
      case WhileParked::kDropContext:
        actor.context.reset();
        context_alive = false;
        break;
      default:
        break;
    }
    if (fault.parked != WhileParked::kKeep) w().parking().Release();
  }
  ASSERT_TRUE(w().Settle());

  // The answer as the module gets it: a client whose service is gone (and nothing else keeps it)
  // drops the answer.
  Answered answered = fault.answered;
  const bool dropped = !service_alive && !row.pinned;
  if (dropped) answered = Answered::kNever;

  std::string expected = "0 ok, 0 failed";
  if (row.promise == Promise::kRegardless) expected = "1 ok, 0 failed";
  if (row.promise == Promise::kAnswer && answered == Answered::kSuccess &&
      !(row.success_from_event && (!service_alive || !context_alive))) {
    expected = "1 ok, 0 failed";
  }
  const std::string scope = fault.scope.empty() ? info.adaptor : fault.scope;
  if (row.promise == Promise::kAnswer && answered == Answered::kFailure) {
    expected = "0 ok, 1 failed (" + std::to_string(fault.code) + ", '" + fault.reason + "', " +
               scope + ")";
  }
  EXPECT_EQ(call.Outcome(), expected);
  EXPECT_EQ(w().parking().Sent(uri), 1);

  const auto lines = w().logs().Lines();
  const std::string code = std::to_string(fault.code);
  EXPECT_EQ(Count(lines, info.manager_file, 3,
                  info.failure_text + " error code: " + code + " reason:" + fault.reason),
            answered == Answered::kFailure ? 1 : 0);
  EXPECT_EQ(Count(lines, info.manager_file, 1, "self is destoryed"), dropped ? 1 : 0);
  if (row.success_line != nullptr) {
    EXPECT_EQ(Count(lines, kServiceFile, 1, row.success_line),
              answered == Answered::kSuccess ? 1 : 0);
    EXPECT_EQ(Count(lines, kServiceFile, 3,
                    std::string(row.failure_line) + "code=" + code + " msg=" + fault.reason),
              answered == Answered::kFailure ? 1 : 0);
  }

  std::vector<std::string> reports;
  if (answered == Answered::kSuccess) reports = {"0 ''"};
  if (answered == Answered::kFailure) {
    reports = {std::to_string(row.minus_one ? -1 : fault.code) + " '" + fault.reason + "'"};
  }
  if (row.report != 0) {
    EXPECT_EQ(ReportsOf(w().metrix(), row.report), reports);
  }
  // Publishing locks the context, which the push's continuation still holds.
  if (row.publishes) {
    EXPECT_EQ(ReportsOf(w().metrix(), 124), answered == Answered::kSuccess
                                                ? std::vector<std::string>{"0 ''"}
                                                : std::vector<std::string>{});
  }

  // Torn down, nothing keeps the service, the context or a callback, and nothing came late.
  world_.reset();
  EXPECT_EQ(call.Outcome(), expected);
  EXPECT_TRUE(call.Released());
  EXPECT_TRUE(service.expired());
  EXPECT_TRUE(context.expired());
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  return std::get<0>(info.param).name + "_" + std::get<1>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(Product, FaultTable,
                         ::testing::Combine(::testing::ValuesIn(Operations()),
                                            ::testing::ValuesIn(Faults())),
                         CaseName);

TEST(FaultTableRows, CoverEveryAdaptorUri) {
  std::set<std::string> covered;
  for (const Row& row : Operations()) covered.insert(rtc_sim::ResolveUri(row.uri));
  for (const std::string& uri : rtc_sim::AdaptorUris()) EXPECT_EQ(covered.count(uri), 1u) << uri;
  EXPECT_EQ(covered.size(), rtc_sim::AdaptorUris().size());
}

}  // namespace
}  // namespace faults
