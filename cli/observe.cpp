#include "cli/observe.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/command_line.h"
#include "cli/interrupts.h"
#include "data/observed.h"
#include "runtime/errors.h"
#include "runtime/linereader.h"
#include "runtime/messages.h"
#include "runtime/numtext.h"
#include "runtime/osfiles.h"

namespace dw::cli {

namespace {

std::string Fixed(long double value, int decimals) {
  return FormatFixed(value, 18, decimals, NumberMarks{'.', ','});
}

}  // namespace

void AddObserveOptions(CLI::App& observe, ObserveOptions& options) {
  observe.add_option("file", options.file,
                     "Genepop file (2- or 3-digit alleles; a haploid locus is reported, not "
                     "tested)")
      ->required()
      ->type_name("FILE");
}

int LoadGenepop(const std::string& name, data::GenepopData& data, std::ostream& err) {
  // Line by line, so a file that is not one is refused at its first wrong
  // line; the bound keeps junk without line ends from being read whole.
  LineReader reader(LineReader::Ends::Any, kMaxGenepopLine);
  const auto failed = [&](int code, int systemError) {
    err << CommandLineErrorText(EInOutError(code, systemError, name)) << "\n";
    return kExitRuntimeError;
  };
  const auto refused = [&](uint64_t line, const std::string& message) {
    err << name << ", line " << line << ": " << message << "\n";
    return kExitRefused;
  };
  if (const int code = reader.Open(name)) return failed(code, LastSystemError());
  data::GenepopReader genepop(data);
  std::string line;
  bool ended = false;
  for (;;) {
    const LineReader::Result next = reader.Next(line, ended);
    if (next == LineReader::Result::End) break;
    if (next == LineReader::Result::Failed) return failed(reader.Code(), reader.SystemError());
    if (next == LineReader::Result::TooLong)
      return refused(reader.LineNumber(), "longer than " + std::to_string(kMaxGenepopLine) +
                                              " bytes: not a line of a Genepop file");
    if (const auto error = genepop.Line(line)) return refused(error->line, error->message);
    if (InterruptSignal() != 0) {
      err << InterruptedText() << "\n";
      return InterruptExitStatus();
    }
  }
  if (const auto error = genepop.Finish()) return refused(error->line, error->message);
  return 0;
}

std::string ObservedTable(const data::GenepopData& data) {
  std::string table =
      "locus\tsamples\talleles\tn_min\tn_mean\tn_max\tHo\tHe\tWC\tRH\tDelta\tnote\n";
  for (std::size_t locus = 0; locus < data.loci.size(); ++locus) {
    const data::LocusCounts counts = data::CountLocus(data, locus);
    const data::LocusSummary s = data::SummariseLocus(counts);
    const data::LocusEstimate e = data::EstimateLocus(counts);
    // A haploid individual has no heterozygosity to observe; He is its gene diversity.
    const bool haploid = e.status == data::LocusStatus::Haploid;
    table += data.loci[locus] + "\t" + std::to_string(s.samples) + "\t" +
             std::to_string(s.alleles) + "\t" + std::to_string(s.minTyped) + "\t" +
             Fixed(s.meanTyped, 2) + "\t" + std::to_string(s.maxTyped) + "\t" +
             (haploid ? std::string("NA") : Fixed(s.observedHeterozygosity, 4)) + "\t" +
             Fixed(s.expectedHeterozygosity, 4);
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
    err << CommandLineErrorText(e) << "\n";
    return kExitRuntimeError;
  }
  out.flush();
  return kExitDone;
}

}  // namespace dw::cli
