#include "cli/merge.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/command_line.h"
#include "cli/resultfile.h"
#include "cli/testsummary.h"
#include "engine/histogram.h"
#include "runtime/errors.h"
#include "runtime/floatmode.h"
#include "runtime/messages.h"
#include "runtime/numtext.h"

namespace dw::cli {

namespace {

struct PooledResults {
  ResultHeader header;
  std::vector<double> deltas;  // every file's, in the order of the files
  std::vector<SourceFile> files;
};

// Reads every file into `pooled`; 0, or the exit status after the message.
int ReadResults(const std::vector<std::string>& names, PooledResults& pooled, std::ostream& err) {
  std::string bytes;
  for (const std::string& name : names) {
    if (const int code = ReadWholeFile(name, bytes)) {
      err << name << ": " << ErrorBoxText(EInOutError(code).Message()) << "\n";
      return kExitRuntimeError;
    }
    ResultHeader header;
    const std::size_t before = pooled.deltas.size();
    if (const auto problem = ParseResultText(bytes, header, pooled.deltas)) {
      err << name << ", line " << problem->line << ": " << problem->what << "\n";
      return kExitRefused;
    }
    if (pooled.files.empty()) {
      pooled.header = header;
    } else if (const auto difference =
                   HeaderDifference(pooled.header, pooled.files.front().name, header, name)) {
      err << "Cannot merge runs of different tests: " << *difference << "\n";
      return kExitRefused;
    }
    pooled.files.push_back(SourceFile{name, pooled.deltas.size() - before});
  }
  return 0;
}

// The tallies a run keeps, over the pooled values: the extremes start at the
// observed Delta, and every comparison is strict.
PooledHistogramInput PooledTallies(const PooledResults& pooled, double observed) {
  PooledHistogramInput in;
  in.values = pooled.deltas;
  in.N = static_cast<uint16_t>(pooled.header.N);
  in.m = pooled.header.m;
  in.observedDelta = observed;
  in.deltaMin = in.deltaMax = observed;
  for (double delta : pooled.deltas) {
    if (delta > observed) ++in.deltaAboveCount;
    if (delta < in.deltaMin) in.deltaMin = delta;
    if (delta > in.deltaMax) in.deltaMax = delta;
  }
  return in;
}

TestSummary MergeSummary(const PooledResults& pooled, const PooledHistogramInput& in,
                         const RecordedHistogram& histogram) {
  TestSummary s;
  s.command = "merge";
  s.model = ModelWord(pooled.header.model);
  s.P = pooled.header.P;
  s.N = pooled.header.N;
  s.n = pooled.header.n;
  s.T = pooled.header.T;
  s.A = pooled.header.A;
  s.m = pooled.header.m;
  s.observedDelta = in.observedDelta;
  s.files = pooled.files;
  s.simulations = pooled.deltas.size();
  s.higher = in.deltaAboveCount;
  SummariseHistogram(histogram, in.deltaMin, in.deltaMax, s);
  return s;
}

bool IsStandardOutput(const std::optional<std::string>& name) { return name && *name == "-"; }

}  // namespace

void AddMergeOptions(CLI::App& merge, MergeOptions& o) {
  merge.add_option("results", o.results, "Result files written by 'driftwise run' or the window")
      ->required()
      ->type_name("RESULT");
  merge.add_option("-d,--observed-delta", o.observedDelta, "Observed Delta = WC - RH")
      ->required()
      ->type_name("REAL");
  AddReportOptions(merge, o.report);
  for (CLI::Option* option : merge.get_options())
    if (option->get_name() != "results")
      option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

int MergeCommand(const MergeOptions& options, std::ostream& out, std::ostream& err) {
  const ReportOptions& report = options.report;
  if (report.JsonToOutput() && IsStandardOutput(report.histogramTable)) {
    err << "--json - and --histogram-table - cannot both write to standard output\n";
    return kExitUsage;
  }
  if (report.chart && !IsChartFileName(*report.chart)) {
    err << "--chart: '" << *report.chart << "' must end in .png, .svg or .pdf\n";
    return kExitUsage;
  }
  const NumberMarks marks{'.', ','};
  try {
    const double observed = StoreF64(ParseReal(options.observedDelta, marks));
    PooledResults pooled;
    if (const int status = ReadResults(options.results, pooled, err)) return status;
    const PooledHistogramInput in = PooledTallies(pooled, observed);
    std::array<uint64_t, 10> counts{};
    RecordedHistogram histogram;
    BuildDeltaHistogram(in, marks, counts, histogram);
    const std::string summary = PooledSummaryMessage(pooled.deltas.size(), in.deltaAboveCount);
    const auto json = [&] { return SummaryJson(MergeSummary(pooled, in, histogram)); };
    if (const int status = WriteReport(report, summary, histogram, json, out, err)) return status;
  } catch (const RuntimeError& e) {
    out.flush();
    err << ErrorBoxText(e.Message()) << "\n";
    return kExitRuntimeError;
  }
  out.flush();
  return kExitDone;
}

}  // namespace dw::cli
