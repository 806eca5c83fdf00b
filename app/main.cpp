// The program: with no arguments the window, otherwise the command line's
// sub-commands. Without any display to open the window on, no arguments is
// the command line's usage error rather than a crash of the toolkit.
#include <cstdlib>

#include "cli/command_line.h"
#include "runtime/floatmode.h"
#include "ui/application.h"

namespace {

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  dw::EstablishFloatErrorMode();
  if (argc <= 1 && DisplayAvailable()) return dw::ui::RunWindowProgram(argc, argv);
  return dw::cli::ProgramMain(argc, argv);
}
