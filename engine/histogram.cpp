#include "engine/histogram.h"

#include "runtime/floatmode.h"
#include "runtime/random.h"

namespace dw {

int HistogramClass(double value, double min, double max) {
  const long double range = static_cast<long double>(max) - min;  // afresh at each use
  double x = StoreF64(Divide(static_cast<long double>(value) - min, range));
  if (!(x >= 0.0)) x = 0.0;
  if (x >= 1.0) x = 0.9999;  // the largest value falls in class 10
  return static_cast<int>(TruncToInt(10.0L * static_cast<long double>(x)));
}

namespace {

std::string ClassLabel(int i, double min, double max, const NumberMarks& marks) {
  const long double range = static_cast<long double>(max) - min;
  // As written: the quotient, then the product, then the sum.
  const long double low = min + range * ((i - 1) / 10.0L);
  const long double high = min + range * (i / 10.0L);
  return FormatFixed(low, 5, 4, marks) + " to " + FormatFixed(high, 5, 4, marks);
}

}  // namespace

void BuildDeltaHistogram(const HistogramInput& in, const NumberMarks& marks,
                         std::array<uint16_t, 10>& counts, HistogramTarget& target) {
  target.ClearTitle();
  counts.fill(0);
  for (uint32_t s = 1; s <= in.I; ++s)
    ++counts[HistogramClass(in.deltaSeries[s], in.deltaMin, in.deltaMax)];
  const int observed = HistogramClass(in.observedDelta, in.deltaMin, in.deltaMax) + 1;

  target.RemoveAllPoints();
  for (int i = 1; i <= 10; ++i)
    target.AppendPoint(counts[i - 1], ClassLabel(i, in.deltaMin, in.deltaMax, marks),
                       i == observed ? clRed : clWhite);

  target.AppendTitleLine(kHistogramTitle);
  target.AppendTitleLine("N=" + FormatInteger(in.N) + ", m=" + FormatFixed(in.m, 5, 4, marks) +
                         ", Delta obs=" + FormatFixed(in.observedDelta, 5, 4, marks));
  target.AppendTitleLine("Amongst " + FormatInteger(in.I) + " simulations, " +
                         FormatInteger(int32_t{in.I} - in.deltaAboveCount) + " lower values, " +
                         FormatInteger(in.deltaAboveCount) + " higher values");
}

}  // namespace dw
