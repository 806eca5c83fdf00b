#pragma once
// Where the engine reports what it has to tell the user (a refused input, the
// run's summary). The window shows a dialog; the command line prints.
#include <string>

namespace dw {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows the message and returns once the user has seen it.
  virtual void ShowInfoMessage(const std::string& text) = 0;
};

}  // namespace dw
