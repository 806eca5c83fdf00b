#include "runtime/numtext.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "runtime/errors.h"

namespace dw {
namespace {

const NumberMarks kPoint{'.', ','};
const NumberMarks kComma{',', ' '};
constexpr long double kInf = std::numeric_limits<long double>::infinity();

std::string RejectionOf(std::string_view text) {
  std::string message(1, '\'');
  message.append(text);
  return message.append("' n'est pas une valeur en virgule flottante correcte");
}

TEST(ParseReal, AcceptsTheGrammarWithPoint) {
  struct Case {
    const char* text;
    long double value;  // each a single correctly rounded operation: compared exactly
  };
  for (Case c : {Case{"0.1", 0.1L}, {"  0.1  ", 0.1L}, {"+.5", 0.5L}, {".", 0.0L}, {"5.", 5.0L},
                 {"1e", 1.0L}, {"1E+", 1.0L}, {"2.5e-3", 0.0025L}, {"1e0000000005", 1e5L},
                 {"-12.75", -12.75L}, {"7E2", 700.0L}, {"-.25e1", -2.5L}})
    EXPECT_EQ(ParseReal(c.text, kPoint), c.value) << c.text;

  const long double beyondDouble = ParseReal("1e500", kPoint);
  EXPECT_GT(beyondDouble, static_cast<long double>(DBL_MAX));
  EXPECT_NEAR(static_cast<double>(beyondDouble / 1e500L), 1.0, 1e-18);
  EXPECT_TRUE(std::signbit(ParseReal("-0", kPoint)));  // the sign is applied last
  // A NUL ends the text early.
  EXPECT_EQ(ParseReal(std::string_view(" 2\0junk", 7), kPoint), 2.0L);
  // Beyond 5119 fraction digits the scale gives zero directly.
  EXPECT_EQ(ParseReal("0." + std::string(6000, '0') + "1", kPoint), 0.0L);
}

TEST(ParseReal, RejectsWithTheWholeTextQuoted) {
  // "1e-4999" and "0e4999" fail because the power 10^4999 itself overflows.
  const std::string tooManyDigits(5000, '9');  // the accumulator overflows
  const std::string manyDecimals = "." + std::string(6000, '0');  // scale ≤ -5120: zero
  const std::string scaledAway[] = {tooManyDigits + manyDecimals, manyDecimals + "e-5000"};
  for (std::string text : {"-", "", "  ", "+E3", "e5", "1e5000", "1e4999", "2,5", "\t1", "1 2",
                           "1.5x", "--1", "0x10", "1e-4999", "0e4999", tooManyDigits.c_str(),
                           scaledAway[0].c_str(), scaledAway[1].c_str()}) {
    try {
      ParseReal(text, kPoint);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), RejectionOf(text));
    }
  }
}

TEST(ParseReal, CommaLocale) {
  EXPECT_EQ(ParseReal("0,1", kComma), 0.1L);
  EXPECT_EQ(ParseReal(" -2,5e2 ", kComma), -250.0L);
  EXPECT_EQ(ParseReal(",", kComma), 0.0L);
  try {
    ParseReal("0.1", kComma);  // the migration-rate box's default text
    ADD_FAILURE() << "accepted 0.1";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'0.1' n'est pas une valeur en virgule flottante correcte");
  }
}

TEST(ScaleByPowerOfTen, TracksCorrectlyRoundedPowers) {
  for (int k = -4931; k <= 4931; ++k) {
    const long double expected = std::strtold(("1e" + std::to_string(k)).c_str(), nullptr);
    const long double scaled = ScaleByPowerOfTen(1.0L, k);
    // A power taken from a single table entry is that correctly rounded constant.
    const bool singleEntry = k >= 0 && (k < 32 || (k % 32 == 0 && k < 512) || k % 512 == 0);
    if (singleEntry)
      EXPECT_EQ(scaled, expected) << k;
    else  // three rounded constants, two rounded products, one rounded quotient
      EXPECT_LE(std::fabs(scaled / expected - 1.0L), 4.5 * LDBL_EPSILON) << k;
  }
  EXPECT_EQ(ScaleByPowerOfTen(3.0L, 0), 3.0L);
  EXPECT_EQ(ScaleByPowerOfTen(-25.0L, -2), -0.25L);
  EXPECT_EQ(ScaleByPowerOfTen(1e-4900L, 5120), kInf);
  EXPECT_EQ(ScaleByPowerOfTen(1e4900L, -5120), 0.0L);
  EXPECT_EQ(ScaleByPowerOfTen(1.0L, 4933), kInf);  // the power alone overflows
}

TEST(MakeDecimalForm, DigitsAndExponent) {
  struct Case {
    long double value;
    int precision, decimals;
    const char* digits;
    int exponent;
    bool negative;
  };
  const long double denormal = std::numeric_limits<long double>::denorm_min();
  for (Case c : {Case{1e18L, 18, 0, "1", 19, false},  // estimate one short: divided by 10
                 {999999999999999999.0L, 18, 0, "999999999999999999", 18, false},
                 {999999999999999999.0L, 17, 0, "1", 19, false},  // carry out of the first digit
                 {1000000000000000005.0L, 18, 0, "1", 19, false},  // 10^17 + 0.5: ties to even
                 {1000000000000000015.0L, 18, 0, "100000000000000002", 19, false},
                 {0.0009765625L, 18, 18, "9765625", -3, false},
                 {1.0L / 3.0L, 18, 18, "333333333333333333", 0, false},
                 {-2.5L, 5, 0, "3", 1, true},           // half away from zero
                 {0.00125L, 5, 4, "13", -2, false},     // ...999|99997 is 125000000000000000 at 18
                 {-0.00004L, 5, 4, "", -4, false},      // rounded away: exponent kept
                 {0.000001L, 5, 4, "", 0, false},       // no digit within the decimals
                 {123.0L, 1, 0, "12", 3, false},        // precision clamped to 2
                 {-0.0L, 5, 4, "", 0, false}, {denormal, 18, 18, "", 0, false},
                 {kInf, 5, 4, "", DecimalForm::kInfinity, false},
                 {-kInf, 5, 4, "", DecimalForm::kInfinity, true},
                 {-std::numeric_limits<long double>::quiet_NaN(), 5, 4, "", DecimalForm::kNaN, false}}) {
    const DecimalForm form = MakeDecimalForm(c.value, c.precision, c.decimals);
    EXPECT_STREQ(form.digits, c.digits) << double(c.value);
    EXPECT_EQ(form.exponent, c.exponent) << double(c.value);
    EXPECT_EQ(form.negative, c.negative) << double(c.value);
  }
  long double power = 1.0L;
  for (int k = 0; k <= 27; ++k, power *= 10.0L) {
    EXPECT_STREQ(MakeDecimalForm(power, 18, 0).digits, "1") << k;
    EXPECT_EQ(MakeDecimalForm(power, 18, 0).exponent, k + 1) << k;
    if (k == 0 || k > 18) continue;
    EXPECT_EQ(MakeDecimalForm(power - 1.0L, 18, 0).digits, std::string(k, '9')) << k;
    EXPECT_EQ(MakeDecimalForm(1.0L / power, 18, 18).exponent, 1 - k) << k;
  }
}

TEST(FormatFixed, ChartLabelsRoundAndCarry) {
  struct Case {
    long double v;
    const char* text;
  };
  for (Case c : {Case{0, "0.0000"}, {0.1L, "0.1000"}, {0.123456L, "0.1235"}, {0.012345L, "0.0123"},
                 {12.34567L, "12.3460"}, {-1.5L, "-1.5000"}, {0.00005L, "0.0001"},
                 {-0.00005L, "-0.0001"}, {-0.00004L, "0.0000"}, {99999.4L, "99999.0000"},
                 {99999.5L, "1E5"}, {123456, "1.2346E5"}, {-99999.5L, "-1E5"},
                 {-123456, "-1.2346E5"}, {-0.0L, "0.0000"}, {0.99996L, "1.0000"},
                 {9999.96L, "10000.0000"}, {-0.00001L, "0.0000"}, {1234.56789L, "1234.6000"},
                 // Two roundings: to 18 digits, then at the last decimal. The double
                 // 0.00105 stays below its tie at 18 digits; 2.00005L and -0.04445L lie
                 // below theirs by less than half of the 18th digit and round up.
                 {0.00105, "0.0010"}, {0.00105L, "0.0011"}, {0.00125, "0.0013"},
                 {2.00005, "2.0000"}, {2.00005L, "2.0001"}, {-0.04445L, "-0.0445"},
                 {1e10L, "1E10"}, {123456789, "1.2346E8"}, {1e4000L, "1E4000"},
                 {LDBL_MAX, "1.1897E4932"}, {LDBL_MIN, "0.0000"},
                 {std::numeric_limits<long double>::denorm_min(), "0.0000"}, {kInf, "INF"},
                 {-kInf, "INF"}, {std::numeric_limits<long double>::quiet_NaN(), "NAN"}})
    EXPECT_EQ(FormatFixed(c.v, 5, 4, kPoint), c.text) << double(c.v);
}

TEST(FormatFixed, OtherPrecisionsDecimalsAndMarks) {
  struct Case {
    long double v;
    int precision, decimals;
    const char* text;
  };
  for (Case c : {Case{2.5L, 5, 0, "3"}, {0.5L, 5, 0, "1"}, {-0.4L, 5, 0, "0"}, {1234.5L, 18, 2, "1234.50"},
                 {123.456L, 2, 4, "1.2E2"}, {99.5L, 2, 4, "1E2"},
                 {0.1L, 18, 20, "0.100000000000000000"}, {2.0L / 3.0L, 18, 18, "0.666666666666666667"},
                 {1e17L, 18, 0, "100000000000000000"}, {1e18L, 18, 0, "1E18"}})
    EXPECT_EQ(FormatFixed(c.v, c.precision, c.decimals, kPoint), c.text) << double(c.v);
  EXPECT_EQ(FormatFixed(1.5L, 5, 4, kComma), "1,5000");
  EXPECT_EQ(FormatFixed(-0.00005L, 5, 4, kComma), "-0,0001");
  EXPECT_EQ(FormatFixed(123456, 5, 4, kComma), "1,2346E5");
  EXPECT_EQ(FormatFixed(1234567.0L, 18, 2, kComma), "1234567,00");  // never grouped
}

TEST(FormatFixed, ParsesBackWithinHalfAUnitOfTheLastDecimal) {
  std::mt19937_64 gen(20240611);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> magnitude(-8, 12), decimals(0, 18);
  for (int i = 0; i < 20000; ++i) {
    const long double x = static_cast<long double>(mantissa(gen)) / 3.0L *
                          ScaleByPowerOfTen(1.0L, magnitude(gen));
    const int d = decimals(gen);
    const std::string text = FormatFixed(x, 18, d, kPoint);
    const long double back = ParseReal(text, kPoint);
    // Half a unit of the last decimal, or of the 18th significant digit when
    // that comes first, plus the scaling errors of both directions.
    const long double tolerance = 0.5L * ScaleByPowerOfTen(1.0L, -d) + std::fabs(x) * 6e-18L;
    ASSERT_LE(std::fabs(back - x), tolerance) << text << " d=" << d;
  }
}

TEST(FormatInteger, DecimalDigits) {
  struct Case {
    int32_t value;
    const char* text;
  };
  for (Case c : {Case{0, "0"}, {1000, "1000"}, {-12, "-12"}, {2147483647, "2147483647"},
                 {INT32_MIN, "-2147483648"}})
    EXPECT_EQ(FormatInteger(c.value), c.text);
}

}  // namespace
}  // namespace dw
