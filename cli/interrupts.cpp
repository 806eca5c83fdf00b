#include "cli/interrupts.h"

#include <signal.h>

#include <atomic>
#include <cstring>

#include "runtime/osfiles.h"

namespace dw::cli {

namespace {

std::atomic<int> received{0};
CancelRequest interruptRequest;
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

void NoteSignal(int signal) {
  int none = 0;
  received.compare_exchange_strong(none, signal);
  interruptRequest.Request();
}

}  // namespace

void InstallInterruptHandlers() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = NoteSignal;
  sigemptyset(&action.sa_mask);
  // Not restarted: a call that waits (an open or read of a FIFO) returns, and
  // the reads give up once the request is set; every read and write loop
  // here carries on after EINTR otherwise. The second signal kills.
  action.sa_flags = SA_RESETHAND;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  SetReadInterruption(&interruptRequest);
}

int InterruptSignal() { return received.load(); }

const CancelRequest& InterruptRequest() { return interruptRequest; }

int InterruptExitStatus() { return 128 + received.load(); }

std::string InterruptedText() {
  switch (received.load()) {
    case SIGINT: return "Interrupted (SIGINT)";
    case SIGTERM: return "Interrupted (SIGTERM)";
    case SIGHUP: return "Interrupted (SIGHUP)";
    default: return "Interrupted (signal " + std::to_string(received.load()) + ")";
  }
}

}  // namespace dw::cli
