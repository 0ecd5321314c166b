// The demo's script language: one line per step (docs/demo-script.md).
//
//   # comment
//   room ROOM OWNER [TITLE]
//   signin USER
//   tick [N]
//   USER OPERATION [ARG...] [expect ok|fail|none]
#pragma once

#include <string>
#include <vector>

namespace demo {

// The operations a user can run: X(id, name, min args, max args, arguments, the host call it
// makes, the adaptor operation whose answer decides the host's callback ("" for none), notes).
// Arguments: USER a signed-in user, N an integer, "off"/"destroy"/"deny" literal words.
// clang-format off
#define DEMO_OPERATIONS(X) \
  X(kJoin, "join", 0, 0, "", "JoinRtc", "getToken", "join the room's conference, creating it when the room has none") \
  X(kLeave, "leave", 0, 1, "[destroy]", "LeaveRtc", "", "destroy: also destroy the conference (owner only)") \
  X(kAdd, "add", 1, 8, "USER...", "AddMembers", "addMembers", "") \
  X(kListMembers, "list-members", 0, 0, "", "ListConfUser", "listConfUser", "") \
  X(kApply, "apply", 0, 1, "[off]", "ApplyLinkMic", "applyLinkMic", "off: withdraw") \
  X(kListApplicants, "list-applicants", 0, 0, "", "ListApplyLinkMicUser", "listApplyLinkMicUser", "") \
  X(kApprove, "approve", 1, 2, "USER [deny]", "ApproveLinkMic", "approveLinkMic", "") \
  X(kKick, "kick", 1, 8, "USER...", "KickUserFromRtc", "kickMembers", "") \
  X(kRecordStart, "record-start", 0, 0, "", "StartRecord", "startRecord", "") \
  X(kRecordStop, "record-stop", 0, 0, "", "StopRecord", "stopRecord", "") \
  X(kDetail, "detail", 0, 0, "", "GetConfDetail", "getConfDetail", "") \
  X(kShareStart, "share-start", 0, 2, "[N N]", "StartScreenShare", "shareScreen", "default arguments 1 0") \
  X(kShareStop, "share-stop", 0, 0, "", "StopScreenShare", "shareScreen", "") \
  X(kLayout, "layout", 1, 9, "N [USER...]", "SetLayout", "setLayout", "layout N") \
  X(kMuteAll, "mute-all", 0, 1, "[off]", "RtcMuteAll", "rtcMuteAll", "") \
  X(kMute, "mute", 1, 2, "USER [off]", "RtcMuteUser", "rtcMuteUser", "") \
  X(kPushLive, "push-live", 0, 0, "", "StartRoadPublish", "pushLiveStream", "push the conference to a live") \
  X(kClassCreate, "class-create", 0, 1, "[TITLE]", "CreateClass", "createClass", "the host sends createClass over the engine channel itself") \
  X(kClassStart, "class-start", 0, 0, "", "StartClass", "startClass", "the last created class") \
  X(kClassStop, "class-stop", 0, 0, "", "StopClass", "stopClass", "the last created class") \
  X(kClassDetail, "class-detail", 0, 0, "", "GetClassDetail", "getClassDetail", "the last created class")
// clang-format on

enum class Op {
#define DEMO_OP_ENUM(id, name, min, max, args, host, adaptor, what) id,
  DEMO_OPERATIONS(DEMO_OP_ENUM)
#undef DEMO_OP_ENUM
};
const char* OpName(Op op);
// The host call the operation makes ("JoinRtc", ...).
const char* OpHostCall(Op op);
// The suffix of the adaptor URI whose answer decides the operation's callback; "" for none.
const char* OpAdaptor(Op op);

enum class Directive { kRoom, kSignin, kTick, kOperation };
enum class Expect { kDerived, kOk, kFail, kNone };

struct Step {
  int line = 0;
  Directive directive = Directive::kOperation;
  std::string user;  // kSignin, kOperation
  Op op = Op::kJoin;
  std::vector<std::string> args;  // kRoom: room, owner[, title]; kTick: count; operations
  Expect expect = Expect::kDerived;
  std::string source;  // the line as written, trimmed
};

// Parses `text` (named `name` in errors). False with a one-line "name:line: problem" error.
bool ParseScript(const std::string& text, const std::string& name, std::vector<Step>* steps,
                 std::string* error);

// The built-in session.
extern const char kBuiltinSession[];

}  // namespace demo
