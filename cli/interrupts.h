#pragma once
// Ctrl-C (SIGINT), SIGTERM and SIGHUP end the command's work the way Cancel
// ends a run in the window: the handler only notes the signal, and the work
// stops at its next step (a finished simulation, a finished locus, a file).
// A second signal of the same kind ends the program at once.
#include <string>

#include "engine/rundriver.h"
#include "runtime/cancel.h"

namespace dw::cli {

void InstallInterruptHandlers();

// The signal that came, 0 while none has.
int InterruptSignal();
// Set when the first signal comes: what a scan polls, as the window's
// Cancel sets its own.
const CancelRequest& InterruptRequest();
// 128 + the signal: 130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP.
int InterruptExitStatus();
// "Interrupted (SIGINT)".
std::string InterruptedText();

// Stops a run at its next finished simulation once a signal has come; counts
// the finished ones.
class InterruptWatch : public RunProgress {
 public:
  void SimulationFinished(uint32_t s, uint32_t) override { finished = s; }
  bool CancelRequested() override { return InterruptSignal() != 0; }
  uint32_t finished = 0;
};

}  // namespace dw::cli
