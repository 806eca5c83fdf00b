// The program: the command line's sub-commands; the window comes with its own
// build.
#include <iostream>

#include "cli/command_line.h"
#include "runtime/floatmode.h"

int main(int argc, char** argv) {
  dw::EstablishFloatErrorMode();
  return dw::cli::Main(argc, argv, std::cout, std::cerr);
}
