// The pooled histogram against the run's: the same values give the same
// classes, labels, colours and title, whatever the width of the counts.
#include <gtest/gtest.h>

#include "engine/histogram.h"
#include "engine/rundriver.h"
#include "runtime/errors.h"

namespace dw {
namespace {

struct Both {
  RecordedHistogram run, pooled;
  std::array<uint16_t, 10> runCounts{};
  std::array<uint64_t, 10> pooledCounts{};

  Both(const std::vector<double>& values, double observed, NumberMarks marks) {
    std::vector<double> series{0.0};
    series.insert(series.end(), values.begin(), values.end());
    HistogramInput in;
    in.deltaSeries = series;
    in.I = static_cast<uint16_t>(values.size());
    in.N = 57;
    in.m = 0.25;
    in.observedDelta = observed;
    in.deltaMin = in.deltaMax = observed;
    for (double v : values) {
      if (v < in.deltaMin) in.deltaMin = v;
      if (v > in.deltaMax) in.deltaMax = v;
      if (v > observed) ++in.deltaAboveCount;
    }
    const PooledHistogramInput pooledIn{values,      in.N,        in.m,
                                        observed,    in.deltaMin, in.deltaMax,
                                        in.deltaAboveCount};
    BuildDeltaHistogram(in, marks, runCounts, run);
    BuildDeltaHistogram(pooledIn, marks, pooledCounts, pooled);
  }
};

TEST(PooledHistogram, SameAsTheRunsForTheSameValues) {
  struct Case {
    std::vector<double> values;
    double observed;
    NumberMarks marks;
  };
  const Case cases[] = {
      {{0.01, -0.02, 0.03, 0.004, 0.005, 0.0051, -0.001, 0.029}, 0.005, {'.', ','}},
      {{0.3, 0.5, 0.0, 1.0, 0.95}, 0.1, {',', ' '}},  // boundary values at 0.3 and 0.5
      {{0.001, 0.0012}, 0.0011, {'.', ','}},
      {{-250000.0, 125000.5}, 0.0, {'.', ','}},  // labels in the general form
      {{0.02}, 0.005, {'.', ','}},
  };
  for (const Case& c : cases) {
    const Both b(c.values, c.observed, c.marks);
    EXPECT_EQ(b.run.title, b.pooled.title);
    ASSERT_EQ(b.run.points.size(), 10u);
    ASSERT_EQ(b.pooled.points.size(), 10u);
    for (int i = 0; i < 10; ++i) {
      EXPECT_EQ(b.run.points[i].y, b.pooled.points[i].y);
      EXPECT_EQ(b.run.points[i].label, b.pooled.points[i].label);
      EXPECT_EQ(b.run.points[i].color, b.pooled.points[i].color);
      EXPECT_EQ(b.runCounts[i], b.pooledCounts[i]);
    }
  }
}

TEST(PooledHistogram, ZeroRangeRaisesLikeTheRun) {
  const std::vector<double> values{0.1, 0.1};
  PooledHistogramInput in{values, 100, 0.1, 0.1, 0.1, 0.1, 0};
  std::array<uint64_t, 10> counts;
  counts.fill(7);
  RecordedHistogram chart;
  chart.title = {"old"};
  EXPECT_THROW(BuildDeltaHistogram(in, NumberMarks{}, counts, chart), EInvalidOp);
  EXPECT_TRUE(chart.title.empty());
  EXPECT_EQ(counts, (std::array<uint64_t, 10>{}));
}

TEST(PooledSummaryMessage, TheRunsTextForWideCounts) {
  EXPECT_EQ(PooledSummaryMessage(1000, 37), SummaryMessage(1000, 1000, 37));
  EXPECT_EQ(PooledSummaryMessage(70000, 5),
            "Finished : 70000 simulations\r\n69995 values lower than Delta obs, \r\n"
            "5 values higher than Delta obs\r\n"
            "Please see tab Results and graphs for the histogram");
  EXPECT_EQ(CountText(18446744073709551615u), "18446744073709551615");
}

}  // namespace
}  // namespace dw
