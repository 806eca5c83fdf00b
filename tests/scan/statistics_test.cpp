// The scan's numbers per locus and over the loci against hand-worked
// tables, and the plot's geometry on the recording canvas.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "chart/recording_canvas.h"
#include "scan/plot.h"
#include "scan/statistics.h"

namespace dw::scan {
namespace {

TEST(ScanStatistics, HandWorkedTables) {
  // Benjamini–Hochberg by hand: sorted p·6/rank = 0.03 0.03 0.06 0.06 0.048
  // 0.5, then the running minimum from the top.
  const std::vector<double> q = BenjaminiHochberg({0.01, 0.04, 0.03, 0.005, 0.5, 0.04});
  const double expected[] = {0.03, 0.048, 0.048, 0.03, 0.5, 0.048};
  ASSERT_EQ(q.size(), 6u);
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(q[i], expected[i], 1e-15) << i;
  EXPECT_EQ(BenjaminiHochberg({0.9, 0.95}), (std::vector<double>{0.95, 0.95}));
  EXPECT_TRUE(BenjaminiHochberg({}).empty());

  struct Tails {
    uint64_t I, lower, higher;
    double pHigher, pLower, twoSided;
  };
  for (const Tails& t : {Tails{1000, 1000, 0, 1.0 / 1001, 1.0, 2.0 / 1001},
                         Tails{1000, 500, 500, 501.0 / 1001, 501.0 / 1001, 1.0},
                         Tails{99, 2, 97, 98.0 / 100, 3.0 / 100, 6.0 / 100}}) {
    const TailProbabilities p = TailsOf(t.I, t.lower, t.higher);
    EXPECT_DOUBLE_EQ(p.higher, t.pHigher);
    EXPECT_DOUBLE_EQ(p.lower, t.pLower);
    EXPECT_DOUBLE_EQ(p.twoSided, t.twoSided);
  }
  const std::vector<double> sorted = {1, 2, 3, 4};
  EXPECT_DOUBLE_EQ(Quantile(sorted, 0.0), 1.0);
  EXPECT_DOUBLE_EQ(Quantile(sorted, 0.5), 2.5);
  EXPECT_DOUBLE_EQ(Quantile(sorted, 0.025), 1.075);
  EXPECT_DOUBLE_EQ(Quantile(sorted, 1.0), 4.0);
}

TEST(ScanPlot, BandsPointsAndNames) {
  ScanPlot plot;
  plot.title = "t";
  plot.loci = {{"A", -0.01, 0.0, 0.01, 0.005, false},
               {"B", -0.02, 0.0, 0.02, 0.05, true},
               {"C", -0.01, 0.001, 0.01, -0.008, false, true}};
  double bottom = 0, top = 0;
  PlotRange(plot, bottom, top);
  EXPECT_DOUBLE_EQ(bottom, -0.02 - 0.0035);
  EXPECT_DOUBLE_EQ(top, 0.05 + 0.0035);
  chart::RecordingCanvas canvas;
  DrawScanPlot(plot, canvas, {0, 0, 600, 400});
  const auto red = canvas.Lines("polygon FF0000");
  ASSERT_EQ(red.size(), 1u);
  EXPECT_EQ(canvas.Lines("polygon 000000").size(), 2u);
  // C alone, flagged by the WC test, is ringed in orange.
  EXPECT_EQ(canvas.Lines("pen E67800").size(), 1u);
  const auto names = canvas.Lines("rotated 90 ");
  ASSERT_EQ(names.size(), 4u);  // the axis title, then the loci in order
  int lastX = -1;
  for (int i = 1; i < 4; ++i) {
    const std::string& line = names[i];
    EXPECT_EQ(line.back(), "ABC"[i - 1]);
    const int x = std::stoi(line.substr(std::string("rotated 90 ").size()));
    EXPECT_GT(x, lastX);
    lastX = x;
  }
  // B's point (0.05) stands above its band (top at 0.02): smaller y.
  const auto bands = canvas.Lines("rect ");
  ASSERT_EQ(bands.size(), 3u);
  int bandTop = 0;
  std::sscanf(bands[1].c_str(), "rect %*d,%d", &bandTop);
  int pointTop = 0;
  std::sscanf(red[0].c_str(), "polygon FF0000 solid %*d,%d", &pointTop);
  EXPECT_LT(pointTop, bandTop);
}

TEST(ScanPlot, ManyLociKeepTheirNamesApartAndTheFlaggedInSight) {
  ScanPlot plot;
  plot.title = "t";
  for (int i = 0; i < 2000; ++i)
    plot.loci.push_back({"locus" + std::to_string(i), -0.01, 0.0, 0.01, 0.001, false});
  plot.loci[1234].flagged = true;
  plot.loci[1235].flaggedWc = true;
  EXPECT_EQ(ScanPlotSize(plot).width, 2400);
  plot.loci.resize(2000);
  chart::RecordingCanvas canvas;
  DrawScanPlot(plot, canvas, {0, 0, 600, 400});
  const auto names = canvas.Lines("rotated 90 ");
  ASSERT_GT(names.size(), 10u);
  EXPECT_LT(names.size(), 60u);  // a name only where one fits, not 2000 on 510 pixels
  std::vector<int> xs;
  bool flaggedNamed = false;
  for (std::size_t k = 1; k < names.size(); ++k) {  // after the axis title
    xs.push_back(std::stoi(names[k].substr(std::string("rotated 90 ").size())));
    flaggedNamed = flaggedNamed || names[k].ends_with(" locus1234");
  }
  EXPECT_TRUE(flaggedNamed);
  for (std::size_t k = 1; k < xs.size(); ++k) EXPECT_GE(xs[k] - xs[k - 1], 10) << k;
  // Dense: one red diamond and one orange ring stand out among dots.
  EXPECT_EQ(canvas.Lines("polygon FF0000").size(), 1u);
  EXPECT_EQ(canvas.Lines("pen E67800").size(), 1u);
  // A strip as short as the window's: fewer grid lines, their labels apart.
  chart::RecordingCanvas strip;
  DrawScanPlot(plot, strip, {0, 0, 600, 220});
  EXPECT_LE(strip.Lines("pen DCDCDC").size() + strip.Lines("pen 808080").size(), 3u);
  EXPECT_GE(canvas.Lines("pen DCDCDC").size() + canvas.Lines("pen 808080").size(), 4u);
}

}  // namespace
}  // namespace dw::scan
