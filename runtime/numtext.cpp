#include "runtime/numtext.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

#include "runtime/errors.h"

namespace dw {

namespace {

constexpr int kScaleLimit = 5120;  // 10^5120 is far beyond the extended range
constexpr uint64_t kTenTo18 = 1000000000000000000ULL;

// 10^magnitude for 0 ≤ magnitude < kScaleLimit, multiplied left to right (the
// last bit depends on that order); infinite when beyond the extended range.
long double PowerOfTen(int magnitude) {
  const PowerOfTenTables& t = PowersOfTen();
  long double power = t.units[magnitude & 31];
  power *= t.thirtyTwos[(magnitude >> 5) & 15];
  power *= t.fiveTwelves[magnitude >> 9];
  return power;
}

// ScaleByPowerOfTen that also says whether the power itself overflowed, which
// the parser counts as an overflow even when the quotient is finite.
long double ScaleReportingOverflow(long double value, int scale, bool& overflow) {
  if (scale >= kScaleLimit) return std::copysign(std::numeric_limits<long double>::infinity(), value);
  if (scale <= -kScaleLimit) return std::copysign(0.0L, value);
  const long double power = PowerOfTen(scale < 0 ? -scale : scale);
  if (std::isinf(power)) overflow = true;
  return scale > 0 ? value * power : value / power;
}

// --- Parsing -----------------------------------------------------------------

struct Cursor {
  std::string_view text;
  std::size_t at = 0;

  bool AtEnd() const { return at >= text.size(); }
  bool Sees(char c) const { return !AtEnd() && text[at] == c; }
  bool SeesDigit() const { return !AtEnd() && text[at] >= '0' && text[at] <= '9'; }
  int TakeDigit() { return text[at++] - '0'; }
};

void SkipSpaces(Cursor& c) {
  while (c.Sees(' ')) ++c.at;
}

// True for "-"; steps over "+" or "-".
bool TakeSign(Cursor& c) {
  const bool negative = c.Sees('-');
  if (negative || c.Sees('+')) ++c.at;
  return negative;
}

// acc = acc × 10 + digit for each digit, rounded to extended at each step.
int64_t AccumulateDigits(Cursor& c, long double& acc) {
  int64_t count = 0;
  for (; c.SeesDigit(); ++count) acc = acc * 10.0L + static_cast<long double>(c.TakeDigit());
  return count;
}

// Digits are read only while the exponent is below 500, so "1e5000" leaves a
// digit behind and fails at the end-of-text test, while leading zeros pass.
int ReadExponent(Cursor& c) {
  const bool negative = TakeSign(c);
  int x = 0;
  while (c.SeesDigit() && x < 500) x = x * 10 + c.TakeDigit();
  return negative ? -x : x;
}

// The value of the text, or nothing when it is not a number or overflows.
std::optional<long double> ScanReal(std::string_view text, char decimal) {
  Cursor c{text.substr(0, text.find('\0'))};
  SkipSpaces(c);
  const bool negative = TakeSign(c);
  const std::size_t mantissaStart = c.at;
  long double acc = 0.0L;
  AccumulateDigits(c, acc);
  int64_t fractionDigits = 0;
  if (c.Sees(decimal)) {
    ++c.at;
    fractionDigits = AccumulateDigits(c, acc);
  }
  if (c.at == mantissaStart) return std::nullopt;
  int exponent = 0;
  if (c.Sees('E') || c.Sees('e')) {
    ++c.at;
    exponent = ReadExponent(c);
  }
  SkipSpaces(c);
  if (!c.AtEnd()) return std::nullopt;

  const int64_t scale = std::clamp<int64_t>(exponent - fractionDigits, -kScaleLimit, kScaleLimit);
  bool overflow = std::isinf(acc);
  const long double value = ScaleReportingOverflow(acc, static_cast<int>(scale), overflow);
  if (overflow || !std::isfinite(value)) return std::nullopt;  // NaN: 0 × an infinite power
  return negative ? -value : value;
}

// --- Digit step --------------------------------------------------------------

// Exponent of the power of ten just above |value|, estimated from the binary
// exponent (19728 / 65536 ≈ log10 2); it may be one short, never much more.
int EstimateDecimalExponent(long double magnitude) {
  int binaryExponent = 0;
  std::frexp(magnitude, &binaryExponent);  // magnitude = f × 2^k, f in [0.5, 1)
  const int e = binaryExponent - 1;        // magnitude = 1.xxx × 2^e
  return ((e * 19728) >> 16) + 1;
}

// Quotient by 10 rounded to nearest, ties to even.
uint64_t DivideByTenNearest(uint64_t n) {
  uint64_t q = n / 10;
  const uint64_t r = n % 10;
  if (r > 5 || (r == 5 && (q & 1) != 0)) ++q;
  return q;
}

// The 18 leading decimal digits of a positive normal value, and its exponent.
void EighteenDigits(long double magnitude, char digits[18], int& exponent) {
  exponent = EstimateDecimalExponent(magnitude);
  long double scaled = ScaleByPowerOfTen(magnitude, 18 - exponent);
  // Below about 1e-4914 the power alone would overflow; two steps keep it finite.
  if (std::isinf(scaled))
    scaled = ScaleByPowerOfTen(ScaleByPowerOfTen(magnitude, 64), 18 - exponent - 64);
  uint64_t integer = static_cast<uint64_t>(std::rint(scaled));
  if (integer >= kTenTo18) {
    integer = DivideByTenNearest(integer);
    ++exponent;
  }
  for (int i = 17; i >= 0; --i, integer /= 10) digits[i] = static_cast<char>('0' + integer % 10);
}

// Keeps `count` digits, rounding half away from zero on the digit after them;
// returns how many digits remain once trailing zeros are dropped.
int RoundDigits(char digits[18], int count, int& exponent) {
  if (count < 18 && digits[count] >= '5') {
    int i = count - 1;
    while (i >= 0 && digits[i] == '9') --i;
    if (i < 0) {  // carried out of the first digit: 99.96 → 100
      digits[0] = '1';
      ++exponent;
      return 1;
    }
    ++digits[i];
    return i + 1;
  }
  while (count > 0 && digits[count - 1] == '0') --count;
  return count;
}

// --- Layout step -------------------------------------------------------------

// Reads the digit string, then "0" once it is exhausted.
struct DigitReader {
  const char* next;
  char Take() { return *next != '\0' ? *next++ : '0'; }
};

std::string FixedText(const DecimalForm& form, int decimals, char decimal) {
  std::string text = form.negative ? "-" : "";
  DigitReader digits{form.digits};
  if (form.exponent <= 0)
    text += '0';
  else
    for (int i = 0; i < form.exponent; ++i) text += digits.Take();
  if (decimals <= 0) return text;
  text += decimal;
  const int zeros = form.exponent < 0 ? std::min(-form.exponent, decimals) : 0;
  text.append(static_cast<std::size_t>(zeros), '0');
  for (int i = zeros; i < decimals; ++i) text += digits.Take();
  return text;
}

std::string GeneralText(const DecimalForm& form, char decimal) {
  std::string text = form.negative ? "-" : "";
  text += form.digits[0];
  if (form.digits[1] != '\0') {
    text += decimal;
    text += &form.digits[1];
  }
  return text + "E" + FormatInteger(form.exponent - 1);
}

long double DecimalPower(int k) {
  const std::string text = "1e" + std::to_string(k);
  return std::strtold(text.c_str(), nullptr);  // correctly rounded, unlike repeated products
}

}  // namespace

const PowerOfTenTables& PowersOfTen() {
  static const PowerOfTenTables tables = [] {
    PowerOfTenTables t;
    for (int k = 0; k < 32; ++k) t.units[k] = DecimalPower(k);
    for (int k = 0; k < 16; ++k) t.thirtyTwos[k] = DecimalPower(32 * k);
    for (int k = 0; k < 10; ++k) t.fiveTwelves[k] = DecimalPower(512 * k);
    return t;
  }();
  return tables;
}

long double ScaleByPowerOfTen(long double value, int scale) {
  bool overflow = false;
  return ScaleReportingOverflow(value, scale, overflow);
}

DecimalForm MakeDecimalForm(long double value, int precision, int decimals) {
  DecimalForm form;
  switch (std::fpclassify(value)) {
    case FP_ZERO:
    case FP_SUBNORMAL:
      return form;
    case FP_INFINITE:
      form.exponent = DecimalForm::kInfinity;
      form.negative = std::signbit(value);
      return form;
    case FP_NAN:
      form.exponent = DecimalForm::kNaN;
      return form;
    default:
      break;
  }
  char digits[18];
  int exponent = 0;
  EighteenDigits(std::fabs(value), digits, exponent);
  const int64_t places = static_cast<int64_t>(exponent) + decimals;
  if (places < 0) return form;
  const int kept = static_cast<int>(std::min<int64_t>(places, std::clamp(precision, 2, 18)));
  const int count = RoundDigits(digits, kept, exponent);
  form.exponent = exponent;  // a value rounded away keeps its exponent
  if (count == 0) return form;
  form.negative = std::signbit(value);
  std::copy(digits, digits + count, form.digits);
  form.digits[count] = '\0';
  return form;
}

std::string FormatFixed(long double value, int precision, int decimals,
                        const NumberMarks& marks) {
  precision = std::clamp(precision, 2, 18);
  // Capped before rounding as well, so that no digit beyond those shown is rounded.
  decimals = std::min(decimals, 18);
  const DecimalForm form = MakeDecimalForm(value, precision, decimals);
  if (form.exponent == DecimalForm::kInfinity) return "INF";
  if (form.exponent == DecimalForm::kNaN) return "NAN";
  if (form.exponent > precision && form.digits[0] != '\0') return GeneralText(form, marks.decimal);
  return FixedText(form, decimals, marks.decimal);
}

std::string FixedPoint(long double value, int decimals) {
  return FormatFixed(value, 18, decimals, NumberMarks{'.', ','});
}

std::string FormatInteger(int32_t value) { return std::to_string(value); }

long double ParseReal(std::string_view text, const NumberMarks& marks) {
  if (const auto value = ScanReal(text, marks.decimal)) return *value;
  throw EConvertError("'" + std::string(text) + "' n'est pas une valeur en virgule flottante correcte");
}

}  // namespace dw
