#pragma once
// The lines in English the window adds under the runtime's own messages
// (which stay as they are, French ones included), so a refused run names the
// value or file involved and says what to do; and the tail p-values a user
// reads a single test by.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dw::ui {

// A text box a run reads a real number from: its caption and its text.
struct TypedReal {
  std::string caption;  // "Migration rate (m)"
  std::string text;     // as typed
};

// The line under a conversion error ("'0,1' n'est pas …"): the box whose
// text it quotes, and how to type the number with `decimal`. Empty when no
// box holds the quoted text.
std::string ConvertErrorLine(const std::string& message, const std::vector<TypedReal>& boxes,
                             char decimal);

// The line under a file error of the runtime's `code` (2: not found, 3: bad
// name, 5: access refused) for the file `name` as the run opened it.
std::string FileErrorLine(int code, const std::string& name);

// The numbers under "Sampling size cannot be higher than population size".
std::string SampleSizeLine(int32_t n, int32_t N);

// The numbers under "Input file : Error in number of populations": the rows
// of numbers the file holds against the P + 1 expected.
std::string PopulationCountLine(const std::string& file, int rowsFound, int32_t P);

// The lines of `file` that hold something other than blanks; -1 when it
// cannot be read.
int NonBlankLines(const std::string& file);

// One-sided tail p-values of a test with `higher` of `simulations` values
// strictly above the observed one: (higher + 1)/(I + 1) and (lower + 1)/(I + 1),
// so no p-value is 0 (Davison & Hinkley 1997, p. 141).
struct TailPValues {
  double higher = 1, lower = 1;
};
TailPValues TailPValuesOf(uint64_t higher, uint64_t simulations);

// "p_higher = 0.0220, p_lower = 0.979 (21 and 979 of 1000 simulations)".
std::string PValueLine(uint64_t higher, uint64_t simulations);

// A p-value to three significant digits, as a reader compares them.
std::string PValueText(double p);

}  // namespace dw::ui
