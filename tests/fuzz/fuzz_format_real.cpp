// FormatFixed and the result file's real text (RealText, what WriteReal
// writes) on any 80-bit pattern, width, precision and count of decimals:
// no crash, and where the value is finite the text read back (ParseReal for
// FormatFixed, the file reader for RealText) is within half a unit of the
// last digit the text holds. Bytes: 10 of the value, 4 of the width, 4 of the
// decimals, 1 of the precision, 1 choosing the decimal separator.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/errors.h"
#include "runtime/numtext.h"
#include "runtime/textfile.h"
#include "tests/fuzz/memoryfile.h"

namespace {

// 10^k in extended precision, for the tolerances only.
long double Pow10(int k) { return std::pow(10.0L, static_cast<long double>(k)); }

// The binary scalings on either side are good to a few units of 2^-64.
long double Slack(long double v) { return std::fabs(v) * 0x1p-55L; }

void CheckFormatFixed(long double v, int precision, int decimals, char separator) {
  using namespace dw;
  const NumberMarks marks{separator, separator == '.' ? ',' : '.'};
  const std::string text = FormatFixed(v, precision, decimals, marks);
  // Negative decimals round left of the point: a large value rounded to 0
  // keeps its integer digits as zeros.
  DW_FUZZ_CHECK(!text.empty() && (text.size() < 64 || (decimals < 0 && text.size() < 5000)));
  if (!std::isfinite(v)) {
    DW_FUZZ_CHECK(text == (std::isnan(v) ? "NAN" : "INF"));
    return;
  }
  const int p = std::clamp(precision, 2, 18);
  // The digits kept: at most `decimals` decimals (18 shown at most) and at
  // most p significant ones, counted from the value's decimal exponent.
  const int exponent = MakeDecimalForm(v, 18, 4951).exponent;
  if (exponent >= 4932) return;  // rounded up past the extended range: not readable
  long double back = 0.0L;
  try {
    back = ParseReal(text, marks);
  } catch (const EConvertError&) {
    DW_FUZZ_CHECK(false);
  }
  const int shown = std::min(decimals, 18);
  const long double unit = Pow10(std::max(-shown, exponent - p));
  // Beyond 18 decimals the layout cuts digits the rounding kept: a whole unit.
  const long double tolerance = (decimals > 18 ? 1.0L : 0.5L) * unit + Slack(v);
  DW_FUZZ_CHECK(std::fabs(back - v) <= tolerance);
}

long double ReadBack(const std::string& text) {
  using namespace dw;
  fuzz::MemoryFile files(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  TextFile file;
  fuzz::OpenInMemory(files, file);
  long double value = 0.0L;
  ReadReal(file, value);
  DW_FUZZ_CHECK(PendingIOResult() == 0);
  DW_FUZZ_CHECK(AtEnd(file));  // one token, nothing after it
  CloseFile(file);
  return value;
}

void CheckRealText(long double v, int32_t width, int32_t decimals) {
  using namespace dw;
  const std::string text = RealText(v, width, decimals);
  const std::size_t start = text.find_first_not_of(' ');
  DW_FUZZ_CHECK(start != std::string::npos && text.size() <= 256);
  // Right-justified in the width, never cut; a longer text is not padded
  // (the exponent form keeps its blank for the sign).
  const auto w = static_cast<std::size_t>(std::clamp(width, 0, 255));
  DW_FUZZ_CHECK(text.size() >= w && (text.size() == w || start <= 1));
  const std::string token = text.substr(start);
  if (!std::isfinite(v)) {
    DW_FUZZ_CHECK(token == (std::isnan(v) ? "Nan" : v < 0 ? "-Inf" : "+Inf"));
    return;
  }
  if (token.size() > 64) return;  // the reader takes tokens of at most 64 characters
  const long double back = ReadBack(text);
  const std::size_t e = token.find('E');
  if (e == std::string::npos) {
    // Fixed: 17 decimals of the scaled magnitude are exact; past them zeros.
    const std::size_t point = token.find('.');
    const int integerDigits = static_cast<int>((point == std::string::npos ? token.size() : point) -
                                               (token[0] == '-' ? 1 : 0));
    const int d = std::min(decimals, 216);
    const long double tolerance = 0.5L * Pow10(-d) + Pow10(integerDigits - 17) + Slack(v);
    DW_FUZZ_CHECK(std::fabs(back - v) <= tolerance);
  } else {
    // Exponent form: D significant digits.
    if (std::fabs(v) > 1e4931L || std::fabs(v) < 1e-4900L) return;
    const int digits = std::clamp(std::clamp(width, 0, 255) - 8, 2, 18);
    DW_FUZZ_CHECK(std::fabs(back - v) <= std::fabs(v) * 0.5L * Pow10(1 - digits) * 1.0001L + Slack(v));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 20) return 0;
  long double v = 0.0L;
  std::memcpy(&v, data, 10);
  int32_t width, decimals;
  std::memcpy(&width, data + 10, 4);
  std::memcpy(&decimals, data + 14, 4);
  const int precision = static_cast<int8_t>(data[18]);
  const char separator = data[19] & 1 ? ',' : '.';
  CheckFormatFixed(v, precision, static_cast<int8_t>(decimals), separator);
  CheckRealText(v, width, decimals);
  // The result file's own formats.
  CheckRealText(v, 11, 7);
  CheckRealText(v, 5, 4);
  dw::SetPendingIOResult(0);
  return 0;
}
