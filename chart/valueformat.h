#pragma once
// Number patterns of the chart's value and percent formats ("#,##0.###",
// "##0.## %"): '0' a digit always shown, '#' a digit shown when needed, ','
// in the integer part groups by threes, '.' the decimal point; anything after
// the digits is copied as it stands.
#include <string>
#include <string_view>

#include "runtime/numtext.h"

namespace dw::chart {

inline constexpr const char* kDefaultValueFormat = "#,##0.###";
inline constexpr const char* kDefaultPercentFormat = "##0.## %";

// The separators come from `marks`; rounding is half away from zero.
std::string FormatValue(std::string_view pattern, long double value, const NumberMarks& marks);

}  // namespace dw::chart
