#include "engine/histogram.h"

#include <gtest/gtest.h>

#include <numeric>

#include "runtime/errors.h"

namespace dw {
namespace {

struct Histogram {
  std::vector<double> series{0.0};
  HistogramInput in;
  std::array<uint16_t, 10> counts{};
  RecordedHistogram chart;

  Histogram(std::initializer_list<double> values, double observed, uint16_t N = 100,
            double m = 0.1) {
    series.insert(series.end(), values);
    in.deltaSeries = series;
    in.I = static_cast<uint16_t>(values.size());
    in.N = N;
    in.m = m;
    in.observedDelta = observed;
    in.deltaMin = in.deltaMax = observed;
    for (double v : values) {
      if (v < in.deltaMin) in.deltaMin = v;
      if (v > in.deltaMax) in.deltaMax = v;
      if (v > observed) ++in.deltaAboveCount;
    }
  }
  void Build(NumberMarks marks = {}) { BuildDeltaHistogram(in, marks, counts, chart); }
  int RedClass() const {
    int red = 0;
    for (std::size_t i = 0; i < chart.points.size(); ++i)
      if (chart.points[i].color == clRed) red = static_cast<int>(i) + 1;
    return red;
  }
};

TEST(HistogramClass, ExtendedProductBeforeTruncation) {
  EXPECT_EQ(HistogramClass(0.3, 0.0, 1.0), 2);  // the double nearest 0.3 lies below it: class 3
  EXPECT_EQ(HistogramClass(0.5, 0.0, 1.0), 5);  // exactly representable: the upper class 6
  EXPECT_EQ(HistogramClass(0.0, 0.0, 1.0), 0);
  EXPECT_EQ(HistogramClass(1.0, 0.0, 1.0), 9);  // the largest value falls in class 10
  EXPECT_EQ(HistogramClass(0.95, 0.0, 1.0), 9);
  EXPECT_EQ(HistogramClass(-0.25, -0.5, 0.5), 2);
  EXPECT_THROW(HistogramClass(0.1, 0.1, 0.1), EInvalidOp);
}

TEST(BuildDeltaHistogram, CountsAddUpAndTheEndsHoldTheExtremes) {
  Histogram h({0.01, -0.02, 0.03, 0.004, 0.005, 0.0051, -0.001, 0.029}, 0.005);
  h.Build();
  EXPECT_EQ(std::accumulate(h.counts.begin(), h.counts.end(), 0), 8);
  EXPECT_GE(h.counts[0], 1);  // the minimum
  EXPECT_GE(h.counts[9], 2);  // the maximum and 0.029
  ASSERT_EQ(h.chart.points.size(), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(h.chart.points[i].y, h.counts[i]);
  EXPECT_EQ(h.RedClass(), 1 + HistogramClass(0.005, -0.02, 0.03));

  Histogram atMin({0.1, 0.2, 0.3}, 0.1);
  atMin.Build();
  EXPECT_EQ(atMin.RedClass(), 1);
  Histogram atMax({0.1, 0.2, 0.3}, 0.3);
  atMax.Build();
  EXPECT_EQ(atMax.RedClass(), 10);
}

TEST(BuildDeltaHistogram, OneSimulationFillsOneEndAndTheObservedTheOther) {
  Histogram h({0.02}, 0.005);
  h.Build();
  EXPECT_EQ(h.counts[9], 1);
  EXPECT_EQ(h.RedClass(), 1);
  Histogram low({-0.02}, 0.005);
  low.Build();
  EXPECT_EQ(low.counts[0], 1);
  EXPECT_EQ(low.RedClass(), 10);
}

TEST(BuildDeltaHistogram, LabelsCarryFourDecimalsWhateverTheRange) {
  Histogram h({0.001, 0.0012}, 0.0011);
  h.Build();
  const char* expected[] = {"0.0010 to 0.0010", "0.0010 to 0.0010", "0.0010 to 0.0011",
                            "0.0011 to 0.0011", "0.0011 to 0.0011", "0.0011 to 0.0011",
                            "0.0011 to 0.0011", "0.0011 to 0.0012", "0.0012 to 0.0012",
                            "0.0012 to 0.0012"};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(h.chart.points[i].label, expected[i]) << i;
  EXPECT_EQ(h.counts[0], 1);
  EXPECT_EQ(h.counts[9], 1);
  for (int i = 0; i < 9; ++i) {
    const std::string& label = h.chart.points[i].label;
    const std::string& next = h.chart.points[i + 1].label;
    EXPECT_EQ(label.substr(label.find(" to ") + 4), next.substr(0, next.find(" to ")));
  }
}

TEST(BuildDeltaHistogram, SignsOfBoundariesAndTheDecimalSeparator) {
  Histogram h({-0.00004, 0.05}, 0.01);
  h.Build({',', '.'});
  EXPECT_EQ(h.chart.points[0].label, "0,0000 to 0,0050");  // -0.00004 shows without a sign
  EXPECT_EQ(h.chart.title[1], "N=100, m=0,1000, Delta obs=0,0100");
  Histogram negative({-0.25, -0.05}, -0.1);
  negative.Build();
  EXPECT_EQ(negative.chart.points[0].label, "-0.2500 to -0.2300");
  EXPECT_EQ(negative.chart.points[9].label, "-0.0700 to -0.0500");
}

TEST(BuildDeltaHistogram, TitleRestatesTheRun) {
  Histogram h({0.0}, 0.005);
  h.in.I = 1000;
  std::vector<double> many(1001, 0.001);
  many[1] = 0.02;
  h.series = many;
  h.in.deltaSeries = h.series;
  h.in.deltaMax = 0.02;
  h.in.deltaMin = 0.001;
  h.in.deltaAboveCount = 37;
  h.Build();
  ASSERT_EQ(h.chart.title.size(), 3u);
  EXPECT_EQ(h.chart.title[0], "Histogram of simulated values of Delta");
  EXPECT_EQ(h.chart.title[1], "N=100, m=0.1000, Delta obs=0.0050");
  EXPECT_EQ(h.chart.title[2], "Amongst 1000 simulations, 963 lower values, 37 higher values");
}

TEST(BuildDeltaHistogram, ZeroRangeIsAnInvalidOperationAfterTheTitleIsEmptied) {
  Histogram h({0.005, 0.005}, 0.005);
  h.chart.title = {"old"};
  h.chart.points = {{3.0, "previous", clWhite}};
  h.counts.fill(4);
  EXPECT_THROW(h.Build(), EInvalidOp);
  EXPECT_TRUE(h.chart.title.empty());
  ASSERT_EQ(h.chart.points.size(), 1u);  // the previous run's bars stay
  for (uint16_t c : h.counts) EXPECT_EQ(c, 0);
}

}  // namespace
}  // namespace dw
