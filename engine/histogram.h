#pragma once
// The Delta histogram: ten classes of equal width between the smallest and
// the largest Delta seen, the observed class in red, and the chart's
// three-line title. The chart side implements HistogramTarget.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/state.h"
#include "runtime/numtext.h"

namespace dw {

// Colours in the platform's order 0x00BBGGRR.
using Color = uint32_t;
inline constexpr Color clRed = 0x0000FF;
inline constexpr Color clWhite = 0xFFFFFF;

class HistogramTarget {
 public:
  virtual ~HistogramTarget() = default;
  virtual void ClearTitle() = 0;
  virtual void AppendTitleLine(std::string_view line) = 0;
  virtual void RemoveAllPoints() = 0;
  // The new point's x is the number of points held before (0 for the first).
  virtual void AppendPoint(double y, std::string_view label, Color color) = 0;
};

// The class (0…9) of a value: its position in [min, max] at f64, below 0 as
// 0, 1 or more as 0.9999, times 10 in extended precision, truncated. A zero
// range raises EInvalidOp (0/0).
int HistogramClass(double value, double min, double max);

// What a run's histogram reads from the state.
struct HistogramInput {
  std::span<const double> deltaSeries;  // entries 1..I
  uint16_t I = 0;
  uint16_t N = 0;
  double m = 0.0;
  double observedDelta = 0.0;
  double deltaMin = 0.0;
  double deltaMax = 0.0;
  uint16_t deltaAboveCount = 0;
};

// Fills `counts` and the target: title emptied first, then counts, then the
// ten labelled points ("low to high", four decimals), then the title lines.
void BuildDeltaHistogram(const HistogramInput& in, const NumberMarks& marks,
                         std::array<uint16_t, 10>& counts, HistogramTarget& target);

inline constexpr const char* kHistogramTitle = "Histogram of simulated values of Delta";

// Pooled values (several runs read back from their result files): the same
// classes, labels, colours and title as a run's histogram, with counts wide
// enough for any number of values.
struct PooledHistogramInput {
  std::span<const double> values;  // every value, in order (no entry 0)
  uint16_t N = 0;
  double m = 0.0;
  double observedDelta = 0.0;
  double deltaMin = 0.0;  // the smallest of observedDelta and the values
  double deltaMax = 0.0;  // the largest
  uint64_t deltaAboveCount = 0;  // values strictly above observedDelta
};

// As the run's BuildDeltaHistogram, over in.values.size() values.
void BuildDeltaHistogram(const PooledHistogramInput& in, const NumberMarks& marks,
                         std::array<uint64_t, 10>& counts, HistogramTarget& target);

// The bounds of class i (1…10) in extended precision, evaluated as the labels
// evaluate them: min + range × ((i − 1) / 10) and min + range × (i / 10).
void ClassBounds(int i, double min, double max, long double& low, long double& high);

// Decimal digits of a count, no grouping (FormatInteger for 64-bit counts).
std::string CountText(uint64_t count);

}  // namespace dw

namespace dw {

// A histogram target that keeps what it was given, for the command line's
// table and picture and for tests.
class RecordedHistogram : public HistogramTarget {
 public:
  struct Point {
    double y;
    std::string label;
    Color color;
  };
  std::vector<std::string> title;
  std::vector<Point> points;

  void ClearTitle() override { title.clear(); }
  void AppendTitleLine(std::string_view line) override { title.emplace_back(line); }
  void RemoveAllPoints() override { points.clear(); }
  void AppendPoint(double y, std::string_view label, Color color) override {
    points.push_back(Point{y, std::string(label), color});
  }
};

}  // namespace dw
