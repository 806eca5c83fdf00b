#pragma once
// `driftwise merge`: pools the Delta values of several result files that
// describe the same run and reports as one run would over the pooled count.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace dw::cli {

struct MergeOptions {
  std::vector<std::string> results;  // in the order given
  std::string observedDelta;  // required for result files and run summaries
  ReportOptions report;
  std::optional<std::string> tsv, plot;  // scan parts only: the table and the plot
};

// Said on standard error when a result file is given itself: a run killed
// (kill -9) between two whole lines leaves a file that reads as finished;
// only its summary's count and digest tell.
inline constexpr const char* kPlainResultsNote =
    "Note: a result file given itself is checked for its form only; whether its run finished "
    "is checked through the runs' summaries (merge -d D job*.json)";

void AddMergeOptions(CLI::App& merge, MergeOptions& options);

// Scan parts (`scan --null … --job K --jobs J --json`) are pooled as one
// `scan --null` would report them (cli/scanparts.h). Otherwise returns the
// exit status: refused files (a header that differs from the
// first file's, a malformed line) give 1 with the file and line on `err`.
int MergeCommand(const MergeOptions& options, std::ostream& out, std::ostream& err);

}  // namespace dw::cli
