// The program: with no arguments the window, otherwise the command line's
// sub-commands. Without any display to open the window on, no arguments is
// the command line's usage error rather than a crash of the toolkit. A build
// for cluster nodes (DRIFTWISE_GUI=OFF) has no window at all.
#include <cstdlib>
#include <iostream>

#include "cli/command_line.h"
#include "runtime/floatmode.h"
#ifdef DW_WITH_WINDOW
#include "ui/application.h"
#endif

namespace {

#ifdef DW_WITH_WINDOW
bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}
#else
// Someone who expected the window is told why none opens, then what this
// build does offer; a usage error, so a script sees it failed.
int NoWindow(char* program) {
  std::cerr << "driftwise: this build has no window (it was built for the command line "
               "alone, with DRIFTWISE_GUI=OFF); use one of its commands.\n\n";
  static char name[] = "driftwise", help[] = "--help";
  char* arguments[] = {program ? program : name, help, nullptr};
  dw::cli::Main(2, arguments, std::cerr, std::cerr);
  return dw::cli::kExitUsage;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  dw::EstablishFloatErrorMode();
#ifdef DW_WITH_WINDOW
  if (argc <= 1 && DisplayAvailable()) return dw::ui::RunWindowProgram(argc, argv);
#else
  if (argc <= 1) return NoWindow(argc > 0 ? argv[0] : nullptr);
#endif
  return dw::cli::ProgramMain(argc, argv);
}
