#pragma once
// `driftwise run …`: one neutrality test from the command line, through the
// same run driver as the window. Numbers on the command line and in its
// output use "." whatever the locale.
#include <iosfwd>
#include <string>

#include "engine/histogram.h"

namespace dw::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitRefused = 1;       // the program's own input checks
inline constexpr int kExitRuntimeError = 2;  // conversion, file or floating-point error
inline constexpr int kExitUsage = 64;

// Parses the arguments and runs; returns the exit status. Summary on `out`,
// messages on `err`.
int Main(int argc, char** argv, std::ostream& out, std::ostream& err);

// The histogram as text: the title lines, then one "LABEL<TAB>COUNT" line per
// class, "<TAB>*" after the count of the observed (red) class.
std::string HistogramTable(const RecordedHistogram& histogram);

// The summary with its CR LF line breaks as "\n".
std::string WithUnixLineEnds(const std::string& text);

// Writes `text` to the file through a text file, "-" for standard output
// (flushing `out` first); a file error raises EInOutError.
void WriteOutputFile(const std::string& name, const std::string& text, std::ostream& out);

// Whether the name ends in an extension the chart export writes.
bool IsChartFileName(const std::string& name);
// The histogram chart as the results tab draws it; false with the reason on
// `err` when it cannot be written.
bool WriteHistogramChart(const std::string& name, const RecordedHistogram& histogram,
                         std::ostream& err);

}  // namespace dw::cli
