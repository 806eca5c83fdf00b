#pragma once
// The one way the program starts a thread of its own. The x87 control word
// and the float flags belong to each thread: a thread started any other way
// would compute in whatever mode the system gives it, and its results would
// differ in the last bits from those of the thread that started it.
#include <thread>
#include <utility>

#include "runtime/floatmode.h"

namespace dw {

// A thread that establishes the process float mode, then runs `body`.
// Throws std::system_error, as std::thread does, when none can be started.
template <typename Body>
std::thread StartThread(Body&& body) {
  return std::thread([body = std::forward<Body>(body)]() mutable {
    EstablishFloatErrorMode();
    body();
  });
}

}  // namespace dw
