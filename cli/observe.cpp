#include "cli/observe.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/command_line.h"
#include "cli/interrupts.h"
#include "data/genepopfile.h"
#include "runtime/errors.h"
#include "runtime/messages.h"
#include "scan/observedtable.h"

namespace dw::cli {

void AddObserveOptions(CLI::App& observe, ObserveOptions& options) {
  observe.add_option("file", options.file,
                     "Genepop file (2- or 3-digit alleles; a haploid locus is reported, not "
                     "tested)")
      ->required()
      ->type_name("FILE");
}

int LoadGenepop(const std::string& name, data::GenepopData& data, std::ostream& err) {
  const auto problem = data::LoadGenepopFile(name, data, [] { return InterruptSignal() != 0; });
  if (!problem) return 0;
  // A signal ends a read as if it failed: it is the signal that counts.
  if (InterruptSignal() == 0) switch (problem->kind) {
    case data::GenepopLoadProblem::Kind::Refused:
      err << problem->message << "\n";
      return kExitRefused;
    case data::GenepopLoadProblem::Kind::Unreadable:
      err << problem->message << "\n";
      return kExitRuntimeError;
    case data::GenepopLoadProblem::Kind::Stopped:
      break;
  }
  err << InterruptedText() << "\n";
  return InterruptExitStatus();
}

int ObserveCommand(const ObserveOptions& options, std::ostream& out, std::ostream& err) {
  data::GenepopData data;
  if (const int status = LoadGenepop(options.file, data, err)) return status;
  try {
    out << scan::ObservedTable(data);
  } catch (const RuntimeError& e) {
    err << CommandLineErrorText(e) << "\n";
    return kExitRuntimeError;
  }
  out.flush();
  return kExitDone;
}

}  // namespace dw::cli
