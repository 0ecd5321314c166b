// Runs a script against the loaded plug-in, the engine stand-in and the adaptor simulator, one
// step at a time, and judges each step.
//
// Every asynchronous answer (adaptor answers, room and live manager replies, media events) goes
// through one Sequencer: after each host call the session lets them run one at a time, each on
// its own thread, until nothing is pending, so the transcript is the same from run to run.
#pragma once

#include <string>
#include <vector>

#include "demo/events.h"
#include "demo/options.h"
#include "demo/script.h"

namespace demo {

struct SessionResult {
  bool setup_ok = true;  // false: `error` says why (bad input: exit 2)
  std::string error;
  int unexpected = 0;
  std::vector<std::string> complaints;  // one line per step that did not end as expected
  std::string summary;                  // the summary table
  std::string summary_json;             // the same as one JSON object
};

SessionResult RunSession(const Options& options, const std::vector<Step>& steps, EventLog& log);

}  // namespace demo
