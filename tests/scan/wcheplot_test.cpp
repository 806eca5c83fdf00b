// WC against He: the null's envelope from the loci's own simulations, by
// groups of He, and the flagged loci drawn to be seen.
#include "scan/wcheplot.h"

#include <gtest/gtest.h>

#include "chart/recording_canvas.h"

namespace dw::scan {
namespace {

// A locus of two samples of 10 whose first allele has 2k copies in the
// first, so its He grows with k; its simulations are `wc`, `k` apart.
ScannedLocus Locus(int k, bool flagged) {
  ScannedLocus l;
  l.name = "L" + std::to_string(k);
  l.ran = true;
  l.counts.alleles = {1, 2};
  l.counts.sampleNumbers = {1, 2};
  l.counts.typed = {10, 10};
  l.counts.copies = {{static_cast<uint32_t>(k), static_cast<uint32_t>(20 - k)}, {0, 20}};
  l.counts.hets = {{0, 0}, {0, 0}};
  l.estimate.status = data::LocusStatus::Biallelic;
  l.estimate.wc = flagged ? 0.9L : 0.05L;
  for (int j = 0; j < 100; ++j) l.simulatedWc.push_back(0.001 * k + 0.001 * j);
  l.qWc = flagged ? 0.01 : 0.5;
  return l;
}

TEST(WcHePlot, EnvelopeByGroupsOfHeAndFlaggedLociInSight) {
  ScanSummary s;
  s.fdr = 0.1;
  for (int k = 1; k <= 19; ++k) s.loci.push_back(Locus(k, k == 7));
  const WcHePlot plot = WcHePlotOf(s);
  ASSERT_EQ(plot.loci.size(), 19u);
  ASSERT_EQ(plot.envelope.size(), 3u);  // 19 loci: at most one group per 5
  for (std::size_t g = 0; g < plot.envelope.size(); ++g) {
    const EnvelopePoint& e = plot.envelope[g];
    EXPECT_LE(e.low99, e.low95);
    EXPECT_LT(e.low95, e.high95);
    EXPECT_LE(e.high95, e.high99);
    if (g > 0) EXPECT_GT(e.he, plot.envelope[g - 1].he);
  }
  // The first group (the six loci of lowest He, k = 1…6): WC 0.001·(k + j),
  // j = 0…99; the 0.5, 2.5, 97.5 and 99.5 % of its 600 values, worked by hand
  // with the ranks interpolated.
  EXPECT_NEAR(plot.envelope[0].low99, 0.002995, 1e-9);
  EXPECT_NEAR(plot.envelope[0].low95, 0.005975, 1e-9);
  EXPECT_NEAR(plot.envelope[0].high95, 0.100025, 1e-9);
  EXPECT_NEAR(plot.envelope[0].high99, 0.103005, 1e-9);
  EXPECT_NE(plot.title.find("(1 of 19)"), std::string::npos) << plot.title;
  chart::RecordingCanvas canvas;
  DrawWcHePlot(plot, canvas, {0, 0, 960, 600});
  EXPECT_EQ(canvas.Lines("polygon E67800").size(), 1u);  // the flagged locus, orange
  bool named = false;
  for (const std::string& line : canvas.Lines("text ")) named = named || line.ends_with(" L7");
  EXPECT_TRUE(named);
}

}  // namespace
}  // namespace dw::scan
