// -log10 q along the chromosomes: which q each locus gets, where the picture
// puts it (a worked example), and the chromosome names thinned to fit.
#include "scan/qplot.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "chart/recording_canvas.h"

namespace dw::scan {
namespace {

ScannedLocus Locus(const std::string& name, const std::string& chrom, int64_t pos, double q,
                   bool delta = true, bool ran = true) {
  ScannedLocus l;
  l.name = name;
  l.chrom = chrom;
  l.pos = pos;
  l.ran = ran;
  l.estimate.status = delta ? data::LocusStatus::Polymorphic : data::LocusStatus::Biallelic;
  l.deltaTested = delta;
  (delta ? l.q : l.qWc) = q;
  (delta ? l.qWc : l.q) = 0.9;  // the other test's q, never shown
  return l;
}

TEST(QPlot, EachLocusHasTheQOfItsTestAndTheAxisSaysWhich) {
  ScanSummary s;
  s.fdr = 0.1;
  s.hasPositions = true;
  s.loci = {Locus("a", "1", 500, 0.02), Locus("b", "1", 900, 0.3, false),
            Locus("c", "2", 50, 0.01, true, false), Locus("d", "2", 70, 0.05, false)};
  const QPlot plot = QPlotOf(s);
  ASSERT_EQ(plot.loci.size(), 3u);  // c did not run
  EXPECT_EQ(plot.loci[0].q, 0.02);
  EXPECT_EQ(plot.loci[1].q, 0.3);   // two alleles: the WC test's q
  EXPECT_EQ(plot.loci[2].q, 0.05);
  EXPECT_EQ(plot.loci[2].locus, 3u);
  EXPECT_TRUE(plot.loci[0].flagged);
  EXPECT_FALSE(plot.loci[1].flagged);
  ASSERT_EQ(plot.chromosomes.size(), 2u);
  EXPECT_EQ(plot.chromosomes[0].first, 500);
  EXPECT_EQ(plot.chromosomes[0].last, 900);
  EXPECT_EQ(plot.chromosomes[1].first, 70);  // c's position does not count
  EXPECT_EQ(plot.yTitle, "-log10 q (Delta test; WC test for two alleles)");
  EXPECT_NE(plot.title.find("(2 of 3)"), std::string::npos) << plot.title;
  EXPECT_DOUBLE_EQ(MinusLog10(0.0), 300.0);  // a q of 0 still has a height
  EXPECT_DOUBLE_EQ(MinusLog10(2.0), 0.0);
}

TEST(QPlot, WorkedExampleOfPositionsAndHeights) {
  // Chromosome 1 spans 1000…5000 (4000), chromosome 2 100…2100 (2000): a gap
  // of 6000/50 = 120, so the genome is 60 + 4000 + 120 + 2000 + 60 = 6240
  // long and chromosome 2 starts at 4180. On a 1000 × 600 area with 13-pixel
  // lines the plot is x 80…980 (900), y 42…554 (512); the top is 1.1 × 3
  // (q = 0.001) = 3.3.
  QPlot plot;
  plot.fdr = 0.1;
  plot.chromosomes = {{"1", 1000, 5000}, {"2", 100, 2100}};
  plot.loci = {{"a", 0, 1000, 0.5, false, 0},  {"b", 0, 3000, 0.001, true, 1},
               {"c", 0, 5000, 0.2, false, 2},  {"d", 1, 100, 0.05, true, 3},
               {"e", 1, 2100, 1.0, false, 4}};
  chart::RecordingCanvas canvas;
  const std::vector<PlotMark> marks = DrawQPlot(plot, canvas, {0, 0, 1000, 600});
  // x = 80 + 900·g/6240; y = 554 − 512·(−log10 q)/3.3.
  struct Expected {
    int x, y;
  };
  const Expected at[] = {{89, 507}, {377, 89}, {666, 446}, {683, 352}, {971, 554}};
  ASSERT_EQ(marks.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(marks[i].box, (chart::Rect{at[i].x - 5, at[i].y - 5, at[i].x + 5, at[i].y + 5})) << i;
    EXPECT_EQ(marks[i].item, i);
  }
  EXPECT_TRUE(canvas.Has("rect 87,505,91,509"));   // a, unflagged
  EXPECT_TRUE(canvas.Has("rect 969,552,973,556"));  // e, q = 1 on the axis
  EXPECT_TRUE(canvas.Has("polygon FF0000 solid 377,84 382,89 377,94 372,89"));  // b, flagged
  EXPECT_TRUE(canvas.Has("text 384,83 b"));   // named to its right
  EXPECT_TRUE(canvas.Has("text 690,346 d"));
  // The dashed line at q = 0.10 (−log10 = 1), over the grid line there.
  const std::vector<std::string>& log = canvas.Log();
  const auto dash = std::find(log.begin(), log.end(), "pen C81E1E dash 1");
  ASSERT_NE(dash, log.end());
  EXPECT_EQ(*(dash + 1), "line 80,399 980,399");
  EXPECT_TRUE(canvas.Has("text 377,558 1"));  // under the middle of each span
  EXPECT_TRUE(canvas.Has("text 827,558 2"));
}

TEST(QPlot, ChromosomeNamesThinnedWhereTheyDoNotFit) {
  QPlot plot;
  for (int k = 0; k < 40; ++k) {
    plot.chromosomes.push_back({"chromosome_" + std::to_string(k), 1, 1000});
    plot.loci.push_back({"l", static_cast<std::size_t>(k), 500, 0.5, false, 0});
  }
  chart::RecordingCanvas canvas;
  DrawQPlot(plot, canvas, {0, 0, 600, 400});
  std::vector<int> xs;
  for (const std::string& line : canvas.Lines("text "))
    if (line.find(" chromosome_") != std::string::npos)
      xs.push_back(std::stoi(line.substr(5, line.find(',') - 5)));
  ASSERT_GT(xs.size(), 1u);
  EXPECT_LT(xs.size(), 40u);
  // Centres at least two half names (12 characters of 5 pixels at least)
  // and the 8-pixel gap apart.
  for (std::size_t i = 1; i < xs.size(); ++i) EXPECT_GE(xs[i] - xs[i - 1], 30 + 30 + 8);
}

}  // namespace
}  // namespace dw::scan
