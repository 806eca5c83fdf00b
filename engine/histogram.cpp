#include "engine/histogram.h"

#include <charconv>

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

void ClassBounds(int i, double min, double max, long double& low, long double& high) {
  const long double range = static_cast<long double>(max) - min;
  // As written: the quotient, then the product, then the sum.
  low = min + range * ((i - 1) / 10.0L);
  high = min + range * (i / 10.0L);
}

std::string CountText(uint64_t count) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, count).ptr;
  return std::string(digits, end);
}

namespace {

std::string ClassLabel(int i, double min, double max, const NumberMarks& marks) {
  long double low, high;
  ClassBounds(i, min, max, low, high);
  return FormatFixed(low, 5, 4, marks) + " to " + FormatFixed(high, 5, 4, marks);
}

// What the classes, labels and the first two title lines read.
struct HistogramCore {
  std::span<const double> values;
  uint16_t N;
  double m, observedDelta, deltaMin, deltaMax;
};

// The three counts of the last title line as text, each formatted in the
// width its caller counts in.
struct TitleCounts {
  std::string simulations, lower, higher;
};

// One implementation for the run's 16-bit counts and the pooled 64-bit ones,
// so that both produce the same classes, labels and title.
template <typename Count>
void FillHistogram(const HistogramCore& in, const TitleCounts& numbers, const NumberMarks& marks,
                   std::array<Count, 10>& counts, HistogramTarget& target) {
  target.ClearTitle();
  counts.fill(0);
  for (double value : in.values) ++counts[HistogramClass(value, in.deltaMin, in.deltaMax)];
  const int observed = HistogramClass(in.observedDelta, in.deltaMin, in.deltaMax) + 1;

  target.RemoveAllPoints();
  for (int i = 1; i <= 10; ++i)
    target.AppendPoint(static_cast<double>(counts[i - 1]),
                       ClassLabel(i, in.deltaMin, in.deltaMax, marks),
                       i == observed ? clRed : clWhite);

  target.AppendTitleLine(kHistogramTitle);
  target.AppendTitleLine("N=" + FormatInteger(in.N) + ", m=" + FormatFixed(in.m, 5, 4, marks) +
                         ", Delta obs=" + FormatFixed(in.observedDelta, 5, 4, marks));
  target.AppendTitleLine("Amongst " + numbers.simulations + " simulations, " + numbers.lower +
                         " lower values, " + numbers.higher + " higher values");
}

}  // namespace

void BuildDeltaHistogram(const HistogramInput& in, const NumberMarks& marks,
                         std::array<uint16_t, 10>& counts, HistogramTarget& target) {
  // Entries 1..I, by I of the state rather than the series' length.
  const std::span<const double> values =
      in.I == 0 ? std::span<const double>() : std::span<const double>(&in.deltaSeries[1], in.I);
  const HistogramCore core{values, in.N, in.m, in.observedDelta, in.deltaMin, in.deltaMax};
  const TitleCounts numbers{FormatInteger(in.I), FormatInteger(int32_t{in.I} - in.deltaAboveCount),
                            FormatInteger(in.deltaAboveCount)};
  FillHistogram(core, numbers, marks, counts, target);
}

void BuildDeltaHistogram(const PooledHistogramInput& in, const NumberMarks& marks,
                         std::array<uint64_t, 10>& counts, HistogramTarget& target) {
  const HistogramCore core{in.values,   in.N,        in.m, in.observedDelta,
                           in.deltaMin, in.deltaMax};
  const uint64_t simulations = in.values.size();
  const TitleCounts numbers{CountText(simulations), CountText(simulations - in.deltaAboveCount),
                            CountText(in.deltaAboveCount)};
  FillHistogram(core, numbers, marks, counts, target);
}

}  // namespace dw
