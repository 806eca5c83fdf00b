#include "cli/observe.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/command_line.h"
#include "cli/interrupts.h"
#include "data/datafile.h"
#include "runtime/errors.h"
#include "runtime/messages.h"
#include "scan/observedtable.h"

namespace dw::cli {

namespace {

int ReportProblem(const data::LoadProblem& problem, std::ostream& err) {
  // A signal ends a read as if it failed: it is the signal that counts.
  if (InterruptSignal() == 0) switch (problem.kind) {
    case data::LoadProblem::Kind::Refused:
      err << problem.message << "\n";
      return kExitRefused;
    case data::LoadProblem::Kind::Unreadable:
      err << problem.message << "\n";
      return kExitRuntimeError;
    case data::LoadProblem::Kind::Stopped:
      break;
  }
  err << InterruptedText() << "\n";
  return InterruptExitStatus();
}

void ReportSamplesLeftOut(const std::string& name, const data::LociData& head, std::ostream& err) {
  if (head.samplesLeftOut == 0) return;
  err << name << ": " << head.samplesLeftOut
      << (head.samplesLeftOut == 1 ? " sample" : " samples")
      << " not in the population map left out\n";
}

void WriteTabLine(const std::vector<std::string>& cells, std::ostream& out) {
  for (std::size_t i = 0; i < cells.size(); ++i) out << (i ? "\t" : "") << cells[i];
  out << '\n';
}

bool Interrupted() { return InterruptSignal() != 0; }

}  // namespace

void AddObserveOptions(CLI::App& observe, ObserveOptions& options) {
  observe.add_option("file", options.file,
                     "Data file: Genepop (2- or 3-digit alleles, plain or gzip), VCF (plain, "
                     "bgzip or gzip) or BCF; a haploid locus is reported, not tested")
      ->required()
      ->type_name("FILE");
  observe.add_option("--popmap", options.popmap,
                     "Population of each sample of a VCF or BCF file: lines "
                     "'sample<TAB>population'; samples not in it are left out")
      ->type_name("MAP");
}

int LoadData(const std::string& name, const std::string& popmap, data::LociData& data,
             std::ostream& err) {
  if (const auto problem = data::LoadLoci(name, popmap, data, Interrupted))
    return ReportProblem(*problem, err);
  ReportSamplesLeftOut(name, data, err);
  return 0;
}

int ObserveCommand(const ObserveOptions& options, std::ostream& out, std::ostream& err) {
  // Row by row as the file is read, so a VCF of millions of sites is never
  // held whole.
  bool positions = false;
  data::LociVisitor visitor;
  visitor.start = [&](const data::LociData& head) {
    positions = head.hasPositions;
    ReportSamplesLeftOut(options.file, head, err);
    WriteTabLine(scan::ObservedColumns(positions), out);
  };
  visitor.locus = [&](data::LocusData&& locus) {
    WriteTabLine(scan::ObservedRow(locus, positions), out);
  };
  std::optional<data::LoadProblem> problem;
  try {
    problem = data::VisitLoci(options.file, options.popmap, visitor, Interrupted);
  } catch (const RuntimeError& e) {
    out.flush();
    err << CommandLineErrorText(e) << "\n";
    return kExitRuntimeError;
  }
  out.flush();
  if (problem) return ReportProblem(*problem, err);
  return kExitDone;
}

}  // namespace dw::cli
