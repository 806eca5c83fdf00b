#include "cli/observe.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/command_line.h"
#include "cli/resultfile.h"
#include "data/observed.h"
#include "runtime/errors.h"
#include "runtime/messages.h"
#include "runtime/numtext.h"

namespace dw::cli {

namespace {

std::string Fixed(long double value, int decimals) {
  return FormatFixed(value, 18, decimals, NumberMarks{'.', ','});
}

}  // namespace

void AddObserveOptions(CLI::App& observe, ObserveOptions& options) {
  observe.add_option("file", options.file, "Genepop file (diploid, 2- or 3-digit alleles)")
      ->required()
      ->type_name("FILE");
}

int LoadGenepop(const std::string& name, data::GenepopData& data, std::ostream& err) {
  std::string bytes;
  if (const int code = ReadWholeFile(name, bytes)) {
    err << name << ": " << ErrorBoxText(EInOutError(code).Message()) << "\n";
    return kExitRuntimeError;
  }
  if (const auto error = data::ParseGenepop(bytes, data)) {
    err << name << ", line " << error->line << ": " << error->message << "\n";
    return kExitRefused;
  }
  return 0;
}

std::string ObservedTable(const data::GenepopData& data) {
  std::string table =
      "locus\tsamples\talleles\tn_min\tn_mean\tn_max\tHo\tHe\tWC\tRH\tDelta\tnote\n";
  for (std::size_t locus = 0; locus < data.loci.size(); ++locus) {
    const data::LocusCounts counts = data::CountLocus(data, locus);
    const data::LocusSummary s = data::SummariseLocus(counts);
    const data::LocusEstimate e = data::EstimateLocus(counts);
    table += data.loci[locus] + "\t" + std::to_string(s.samples) + "\t" +
             std::to_string(s.alleles) + "\t" + std::to_string(s.minTyped) + "\t" +
             Fixed(s.meanTyped, 2) + "\t" + std::to_string(s.maxTyped) + "\t" +
             Fixed(s.observedHeterozygosity, 4) + "\t" + Fixed(s.expectedHeterozygosity, 4);
    if (e.status == data::LocusStatus::Polymorphic || e.status == data::LocusStatus::Biallelic)
      table += "\t" + Fixed(e.wc, 7) + "\t" + Fixed(e.rh, 7) + "\t" + Fixed(e.delta, 7) + "\t" +
               data::StatusText(e.status) + "\n";
    else
      table += std::string("\tNA\tNA\tNA\t") + data::StatusText(e.status) + "\n";
  }
  return table;
}

int ObserveCommand(const ObserveOptions& options, std::ostream& out, std::ostream& err) {
  data::GenepopData data;
  if (const int status = LoadGenepop(options.file, data, err)) return status;
  try {
    out << ObservedTable(data);
  } catch (const RuntimeError& e) {
    err << ErrorBoxText(e.Message()) << "\n";
    return kExitRuntimeError;
  }
  out.flush();
  return kExitDone;
}

}  // namespace dw::cli
