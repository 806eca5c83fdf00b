#pragma once
// Runs the driftwise program in a scratch directory and keeps what it printed;
// or starts it as a child process, to signal it while it works.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "tests/support/files.h"

namespace dw::test {

struct Program {
  ScratchDir dir;
  std::string out, err;
  int status = -1;
  pid_t child = -1;

  Program() {
    WriteBytes(dir.File("three.txt"),
               ReadBytes(std::string(DW_SOURCE_DIR) + "/examples/three-populations.txt"));
  }
  ~Program() {
    if (child > 0) {
      ::kill(child, SIGKILL);
      Wait();
    }
  }
  int Run(const std::string& arguments) {
    return Shell("'" + std::string(DW_PROGRAM) + "' " + arguments +
                 " >stdout.txt 2>stderr.txt </dev/null");
  }
  // A shell command in the directory; what it left in stdout.txt and stderr.txt is kept.
  int Shell(const std::string& command) {
    WriteBytes(dir.File("stdout.txt"), "");
    WriteBytes(dir.File("stderr.txt"), "");
    const std::string line = "cd '" + dir.Path().string() + "' && " + command;
    const int raw = std::system(line.c_str());
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    Keep();
    return status;
  }
  // Starts the program with `environment` ("NAME=value …", may be empty).
  void Start(const std::string& arguments, const std::string& environment = "") {
    const std::string line = "cd '" + dir.Path().string() + "' && exec env " + environment + " '" +
                             DW_PROGRAM + "' " + arguments + " >stdout.txt 2>stderr.txt </dev/null";
    child = ::fork();
    if (child == 0) {
      ::execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  // Waits up to `seconds` for `ready`; false when it never came.
  static bool WaitFor(const std::function<bool()>& ready, int seconds = 60) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!ready()) {
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }
  void Signal(int signal) const { ::kill(child, signal); }
  // The child's exit status, 128 + the signal when a signal killed it.
  int Wait() {
    int raw = 0;
    ::waitpid(child, &raw, 0);
    child = -1;
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
    Keep();
    return status;
  }
  std::string File(const std::string& name) const { return ReadBytes(dir.File(name)); }
  void Write(const std::string& name, const std::string& bytes) const {
    WriteBytes(dir.File(name), bytes);
  }

 private:
  void Keep() {
    out = ReadBytes(dir.File("stdout.txt"));
    err = ReadBytes(dir.File("stderr.txt"));
  }
};

}  // namespace dw::test
