#pragma once
// A request to stop long work at its next step (a finished simulation, a
// finished locus). The work polls it; whoever wants it stopped sets it: the
// window's Cancel button, or the command line's signal handler, so setting
// it must be safe from a signal handler and from any thread.
#include <atomic>

namespace dw {

class CancelRequest {
 public:
  // Safe in a signal handler: one store to a lock-free atomic.
  void Request() noexcept { requested_.store(true, std::memory_order_relaxed); }
  void Clear() noexcept { requested_.store(false, std::memory_order_relaxed); }
  bool Requested() const noexcept { return requested_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> requested_{false};
  static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
};

}  // namespace dw
