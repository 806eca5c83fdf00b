#pragma once
// Reading result files back: the five header lines, the empty line and the
// value lines, exactly as a run writes them. Lines end with CR LF (LF is
// accepted too); numbers are read with the point whatever the locale.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dw::cli {

// The run a result file describes, as its header states it.
struct ResultHeader {
  std::string model;          // line 2: "Infinite island model", "Stepping-stone", …
  uint32_t P = 0, N = 0, n = 0, T = 0, A = 0;
  std::string migrationText;  // as written, four decimals ("0.1000")
  double m = 0.0;
};

// Why a text is not a result file: the 1-based line and what is wrong there.
struct ResultProblem {
  std::size_t line = 0;
  std::string what;
};

// Parses a whole result file; appends each line's Delta to `deltas` in file
// order. On a problem `deltas` holds the values of the lines before it.
std::optional<ResultProblem> ParseResultText(std::string_view text, ResultHeader& header,
                                             std::vector<double>& deltas);

// The values of one line "WC=%11.7f RH=%11.7f Delta=WC-RH=%11.7f"; false when
// the line is not one.
bool ParseValueLine(std::string_view line, double& wc, double& rh, double& delta);

// The first field in which two headers differ, as "P = 3 in b.txt, P = 10 in
// a.txt"; empty when they describe the same run.
std::optional<std::string> HeaderDifference(const ResultHeader& a, const std::string& aName,
                                            const ResultHeader& b, const std::string& bName);

// The whole file's bytes; 0, or the I/O code of the failure (2 for a missing
// file), for EInOutError.
int ReadWholeFile(const std::string& name, std::string& bytes);

}  // namespace dw::cli
