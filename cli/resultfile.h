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

// Reads a result file one line at a time, so a file that is not one is
// refused at its first wrong line: the header into `header`, each value
// line's Delta appended to `deltas` in file order. A file that ends with a
// line end is what a run that did not finish leaves, and is refused.
class ResultReader {
 public:
  ResultReader(ResultHeader& header, std::vector<double>& deltas)
      : header_(header), deltas_(deltas) {}
  // The next line without its line end; `ended`: a line end closed it.
  std::optional<ResultProblem> Line(std::string_view line, bool ended);
  // After the last line.
  std::optional<ResultProblem> Finish() const;

 private:
  ResultHeader& header_;
  std::vector<double>& deltas_;
  std::size_t lines_ = 0;
  bool lastEnded_ = false;
};

// Parses a whole result file; appends each line's Delta to `deltas` in file
// order. On a problem `deltas` holds the values of the lines before it.
std::optional<ResultProblem> ParseResultText(std::string_view text, ResultHeader& header,
                                             std::vector<double>& deltas);

// The longest line a result file has a use for; a longer one is no result
// file's (the header's lines and a value line are well within it).
inline constexpr std::size_t kMaxResultLine = 4096;

// The values of one line "WC=%11.7f RH=%11.7f Delta=WC-RH=%11.7f"; false when
// the line is not one.
bool ParseValueLine(std::string_view line, double& wc, double& rh, double& delta);

// The first field in which two headers differ, as "P = 3 in b.txt, P = 10 in
// a.txt"; empty when they describe the same run.
std::optional<std::string> HeaderDifference(const ResultHeader& a, const std::string& aName,
                                            const ResultHeader& b, const std::string& bName);


}  // namespace dw::cli
