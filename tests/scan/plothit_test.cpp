// The pointer on a scan picture: which locus a point names, and the Delta
// picture's loci mapped back to the scan's.
#include "scan/plothit.h"

#include <gtest/gtest.h>

#include "scan/report.h"

namespace dw::scan {
namespace {

TEST(PlotHit, APointNamesTheNearestBoxThatHoldsIt) {
  const std::vector<PlotMark> marks = {
      {{0, 0, 10, 10}, 0}, {{8, 0, 18, 10}, 1}, {{100, 100, 110, 110}, 7}};
  struct Case {
    chart::Point at;
    std::optional<std::size_t> item;
  };
  for (const Case& c : {
           Case{{5, 5}, 0},
           Case{{9, 5}, 1},       // in both, as near each centre: the one drawn later
           Case{{12, 5}, 1},
           Case{{7, 5}, 0},       // in both, nearer the first
           Case{{105, 110}, 7},   // the bottom edge belongs to the box
           Case{{110, 100}, 7},   // and the right one
           Case{{111, 105}, std::nullopt},
           Case{{50, 50}, std::nullopt},
       })
    EXPECT_EQ(ItemAt(marks, c.at), c.item) << c.at.x << "," << c.at.y;
  EXPECT_EQ(ItemAt({}, {0, 0}), std::nullopt);
}

TEST(PlotHit, TheDeltaPicturesLociAreTheScansThatRanTheDeltaTest) {
  ScanSummary s;
  const auto locus = [](const char* name, data::LocusStatus status, bool ran) {
    ScannedLocus l;
    l.name = name;
    l.estimate.status = status;
    l.deltaTested = status == data::LocusStatus::Polymorphic;
    l.ran = ran;
    return l;
  };
  s.loci = {locus("a", data::LocusStatus::Polymorphic, true),
            locus("b", data::LocusStatus::Biallelic, true),
            locus("c", data::LocusStatus::Polymorphic, false),
            locus("d", data::LocusStatus::Polymorphic, true)};
  const std::vector<std::size_t> loci = DeltaPlotLoci(s);
  const ScanPlot plot = PlotOf(s);
  ASSERT_EQ(loci, (std::vector<std::size_t>{0, 3}));
  ASSERT_EQ(plot.loci.size(), loci.size());
  for (std::size_t i = 0; i < loci.size(); ++i) EXPECT_EQ(plot.loci[i].name, s.loci[loci[i]].name);
}

}  // namespace
}  // namespace dw::scan
