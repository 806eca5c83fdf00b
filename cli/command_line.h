#pragma once
// `driftwise run …`: one neutrality test from the command line, through the
// same run driver as the window. Numbers on the command line and in its
// output use "." whatever the locale.
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "engine/histogram.h"

namespace CLI {
class App;
}

namespace dw::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitRefused = 1;       // the program's own input checks
inline constexpr int kExitRuntimeError = 2;  // conversion, file or floating-point error
inline constexpr int kExitUsage = 64;

// Said once on standard error by a run or merge of two alleles.
inline constexpr const char* kTwoAllelesNote =
    "Note: with two alleles WC equals RH, so every Delta is 0 by construction; the counts "
    "above and below the observed Delta only sort rounding noise";

// Parses the arguments and runs; returns the exit status. Summary on `out`,
// messages on `err`; output that `out` lost makes the status 2.
int Main(int argc, char** argv, std::ostream& out, std::ostream& err);

// The program's command line on its standard streams: written through
// buffers that keep the system's error, with the interrupt handlers set.
int ProgramMain(int argc, char** argv);

// The histogram as text: the title lines, then one "LABEL<TAB>COUNT" line per
// class, "<TAB>*" after the count of the observed (red) class.
std::string HistogramTable(const RecordedHistogram& histogram);

// The summary with its CR LF line breaks as "\n".
std::string WithUnixLineEnds(const std::string& text);

// Whether the name ends in an extension the chart export writes.
bool IsChartFileName(const std::string& name);

// What a finished test is reported as besides its summary, the same for
// `run` and `merge`.
struct ReportOptions {
  std::optional<std::string> histogramTable, chart, json;
  bool JsonToOutput() const { return json && *json == "-"; }
  // The usage problems of these options, each checked where the command
  // checks it; the message to print, or empty.
  std::optional<std::string> ChartNameProblem() const;
  std::optional<std::string> StandardOutputProblem() const;
};
void AddReportOptions(CLI::App& command, ReportOptions& options);
struct FileRole;
// The report files, for the check that no file has two roles.
void AddReportRoles(const ReportOptions& report, std::vector<FileRole>& roles);
// A command's files checked before anything is read: no file in two roles
// (a usage error), every output writable (a runtime error). 0, or the exit
// status, its message on `err`.
int CheckFileRoles(const std::vector<FileRole>& roles, std::ostream& err);
// The summary (unless the JSON takes standard output), the histogram table,
// the JSON document (`json` is asked only when it is written), then the
// chart, each file written whole. File errors raise EInOutError; a chart
// that cannot be drawn gives the runtime-error status with its reason on
// `err`, otherwise done.
int WriteReport(const ReportOptions& options, const std::string& summary,
                const RecordedHistogram& histogram, const std::function<std::string()>& json,
                std::ostream& out, std::ostream& err);

}  // namespace dw::cli
