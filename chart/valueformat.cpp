#include "chart/valueformat.h"

#include <cstring>

namespace dw::chart {

namespace {

struct Pattern {
  bool grouped = false;
  int minIntegerDigits = 0;
  int minDecimals = 0;
  int maxDecimals = 0;
  std::string suffix;
};

Pattern ParsePattern(std::string_view text) {
  Pattern p;
  size_t i = 0;
  for (; i < text.size() && (text[i] == '#' || text[i] == '0' || text[i] == ','); ++i) {
    if (text[i] == ',') p.grouped = true;
    if (text[i] == '0') ++p.minIntegerDigits;
  }
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && (text[i] == '#' || text[i] == '0'); ++i) {
      ++p.maxDecimals;
      if (text[i] == '0') p.minDecimals = p.maxDecimals;
    }
  }
  p.suffix = std::string(text.substr(i));
  return p;
}

std::string Grouped(const std::string& digits, char separator) {
  std::string out;
  const size_t n = digits.size();
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += separator;
    out += digits[i];
  }
  return out;
}

}  // namespace

std::string FormatValue(std::string_view patternText, long double value,
                        const NumberMarks& marks) {
  const Pattern p = ParsePattern(patternText);
  const DecimalForm form = MakeDecimalForm(value, 18, p.maxDecimals);
  if (form.exponent == DecimalForm::kNaN) return "NAN";
  if (form.exponent == DecimalForm::kInfinity) return form.negative ? "-INF" : "INF";

  // value = 0.d1d2… × 10^exponent: the first `exponent` digits are the
  // integer part.
  const std::string digits = form.digits;
  std::string integer, fraction;
  if (!digits.empty()) {
    const int e = form.exponent;
    for (int k = 0; k < e; ++k)
      integer += k < static_cast<int>(digits.size()) ? digits[static_cast<size_t>(k)] : '0';
    for (int k = e < 0 ? e : 0; k < 0; ++k) fraction += '0';
    if (e < static_cast<int>(digits.size())) fraction += digits.substr(e > 0 ? size_t(e) : 0);
  }
  while (static_cast<int>(fraction.size()) > p.minDecimals && !fraction.empty() &&
         fraction.back() == '0')
    fraction.pop_back();
  while (static_cast<int>(fraction.size()) < p.minDecimals) fraction += '0';
  if (static_cast<int>(integer.size()) < p.minIntegerDigits)
    integer = std::string(static_cast<size_t>(p.minIntegerDigits) - integer.size(), '0') + integer;

  std::string text = form.negative && !digits.empty() ? "-" : "";
  text += p.grouped ? Grouped(integer, marks.thousands) : integer;
  if (!fraction.empty()) text += marks.decimal + fraction;
  return text + p.suffix;
}

}  // namespace dw::chart
