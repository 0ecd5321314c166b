// A transport wrapper that holds every adaptor answer in a Sequencer, so the driver decides
// when it reaches the engine; the answer then runs on `network`, the demo's stand-in for the
// engine's delivery thread.
#pragma once

#include "nexo_standin/engine_control.h"
#include "reference/sequencer.h"

namespace demo {

// `sequencer` and `network` must outlive every request sent through the result.
nexo_standin::Transport Sequenced(nexo_standin::Transport inner, refhost::Sequencer& sequencer,
                                  refhost::ReplyWorker& network);

}  // namespace demo
