#pragma once
// The runtime's errors. Each carries the French text the user sees; only the
// edges (the window's event handlers, the command line) catch them.
#include <exception>
#include <string>

namespace dw {

class RuntimeError : public std::exception {
 public:
  explicit RuntimeError(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string message_;
};

// A text that is not a number (ParseReal).
class EConvertError : public RuntimeError {
 public:
  using RuntimeError::RuntimeError;
};

// A failed text-file operation, raised by CheckIO with the pending code.
// Its message is the runtime's alone; the file and the system's own error
// number come along for the command line, which names them.
class EInOutError : public RuntimeError {
 public:
  explicit EInOutError(int code, int systemError = 0, std::string fileName = {});
  int IOErrorCode() const noexcept { return code_; }
  int SystemError() const noexcept { return systemError_; }  // errno, 0 when none
  const std::string& FileName() const noexcept { return fileName_; }

 private:
  int code_;
  int systemError_;
  std::string fileName_;
};

// Floating-point errors of the process float mode.
class EMathError : public RuntimeError {
 public:
  using RuntimeError::RuntimeError;
};
class EInvalidOp : public EMathError {
 public:
  EInvalidOp();
};
class EZeroDivide : public EMathError {
 public:
  EZeroDivide();
};
class EOverflow : public EMathError {
 public:
  EOverflow();
};

// The message of an I/O error code, as EInOutError carries it.
std::string IOErrorMessage(int code);

}  // namespace dw
