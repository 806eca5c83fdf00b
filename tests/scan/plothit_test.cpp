// The pointer on a scan picture: which locus a point names, and the Delta
// picture's loci mapped back to the scan's.
#include "scan/plothit.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "chart/recording_canvas.h"
#include "scan/plot.h"
#include "scan/plotlabels.h"
#include "scan/report.h"

namespace dw::scan {
namespace {

// Flagged names beside their points: a name that would cross another name,
// another point's mark or the edge is left out; the first given win.
TEST(PlotLabels, NamesOnlyWhereTheyFit) {
  struct Case {
    const char* what;
    std::vector<NamedPoint> points;
    std::vector<std::string> written;
  };
  const chart::Rect area{0, 0, 400, 300};
  for (const Case& c : {
           Case{"apart", {{{100, 100}, "A"}, {{100, 200}, "B"}}, {"A", "B"}},
           Case{"a mark where the name goes", {{{100, 100}, "A"}, {{110, 100}, "B"}}, {"B"}},
           Case{"names one over the other", {{{100, 100}, "A"}, {{100, 105}, "B"}}, {"A"}},
           Case{"first given wins", {{{100, 105}, "B"}, {{100, 100}, "A"}}, {"B"}},
           Case{"past the right edge", {{{390, 100}, "Long"}, {{100, 100}, "A"}}, {"A"}},
       }) {
    chart::RecordingCanvas canvas;
    const std::size_t count = WriteNamesWhereTheyFit(canvas, c.points, 5, area);
    std::vector<std::string> written;
    for (const std::string& line : canvas.Lines("text "))
      written.push_back(line.substr(line.rfind(' ') + 1));
    EXPECT_EQ(written, c.written) << c.what;
    EXPECT_EQ(count, c.written.size()) << c.what;
  }
}

// Two-allele loci only: the Delta picture says why it is empty.
TEST(PlotLabels, AnEmptyDeltaPictureSaysWhy) {
  chart::RecordingCanvas canvas;
  DrawScanPlot(ScanPlot{}, canvas, {0, 0, 720, 480});
  const std::vector<std::string> texts = canvas.Lines("text ");
  EXPECT_TRUE(std::any_of(texts.begin(), texts.end(),
                          [](const std::string& t) { return t.ends_with(kNoDeltaLoci); }));
}

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
