#pragma once
// Conversions between numbers and the text that the window, the chart and the
// messages show. The decimal separator is passed in (NumberMarks): the window
// reads it from the user's locale, the command line uses ".".
#include <cstdint>
#include <string>
#include <string_view>

namespace dw {

struct NumberMarks {
  char decimal = '.';
  char thousands = ',';  // used by the chart's value format only
};

// Correctly rounded extended powers of ten, the three tables every decimal
// conversion of the program scales with. Entry 0 of each is 1.
struct PowerOfTenTables {
  long double units[32];        // 10^0 … 10^31
  long double thirtyTwos[16];   // 10^(32k), k = 0 … 15
  long double fiveTwelves[10];  // 10^(512k), k = 0 … 9
};
const PowerOfTenTables& PowersOfTen();

// value × 10^scale (or value / 10^-scale) with the power built from three
// tables of extended constants: 10^0…10^31, 10^32k (k = 1…15) and 10^512k.
// |scale| ≥ 5120 gives infinity (scale > 0) or 0 directly.
long double ScaleByPowerOfTen(long double value, int scale);

// The exact digits and exponent of a value, before any layout:
// value = 0.d1d2d3… × 10^exponent, d1 ≠ 0; digits hold no trailing zeros.
struct DecimalForm {
  static constexpr int kInfinity = 32767;
  static constexpr int kNaN = 32768;
  int exponent = 0;
  bool negative = false;
  char digits[19] = {};  // NUL-terminated, at most 18 digits; empty for zero
};

// Rounds to at most `decimals` decimals and at most `precision` significant
// digits (precision clamped to 2…18), half away from zero.
DecimalForm MakeDecimalForm(long double value, int precision, int decimals);

// Fixed notation with exactly `decimals` decimals (capped at 18), switching to
// the general form (1.2346E5) when the integer part needs more than
// `precision` digits. No sign on a value shown as zero, no grouping.
std::string FormatFixed(long double value, int precision, int decimals,
                        const NumberMarks& marks);

// FormatFixed at full precision with "." whatever the locale: the text of
// the files and pictures the program writes.
std::string FixedPoint(long double value, int decimals);

// Decimal digits, "-" for a negative value; no grouping, no "+".
std::string FormatInteger(int32_t value);

// The text of a real-number box as an extended value. Spaces (code 32 only)
// may surround it; the decimal separator is marks.decimal. A text that is not
// a number, or whose value overflows the extended range, raises EConvertError
// ("'%s' n'est pas une valeur en virgule flottante correcte").
long double ParseReal(std::string_view text, const NumberMarks& marks);

}  // namespace dw
