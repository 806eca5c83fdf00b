#pragma once
// Runs the driftwise program in a scratch directory and keeps what it printed.
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/support/files.h"

namespace dw::test {

struct Program {
  ScratchDir dir;
  std::string out, err;
  int status = -1;

  Program() {
    WriteBytes(dir.File("three.txt"),
               ReadBytes(std::string(DW_SOURCE_DIR) + "/examples/three-populations.txt"));
  }
  int Run(const std::string& arguments) {
    const std::string command = "cd '" + dir.Path().string() + "' && '" + DW_PROGRAM + "' " +
                                arguments + " >stdout.txt 2>stderr.txt </dev/null";
    const int raw = std::system(command.c_str());
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    out = ReadBytes(dir.File("stdout.txt"));
    err = ReadBytes(dir.File("stderr.txt"));
    return status;
  }
  std::string File(const std::string& name) const { return ReadBytes(dir.File(name)); }
  void Write(const std::string& name, const std::string& bytes) const {
    WriteBytes(dir.File(name), bytes);
  }
};

}  // namespace dw::test
