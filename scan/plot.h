#pragma once
// The scan's picture: the loci along the horizontal axis; for each, the
// simulated Delta's 2.5–97.5 % interval as a band with its median, and the
// observed Delta as a point, red when the locus is flagged by the Delta test
// and ringed when flagged by the WC test. Drawn on the
// chart canvas, so it can be checked on a recording canvas and written as
// PNG, SVG or PDF (scan/qt/plotfile.h).
#include <string>
#include <vector>

#include "chart/canvas.h"
#include "scan/plothit.h"

namespace dw::scan {

struct PlotLocus {
  std::string name;
  double low = 0, median = 0, high = 0;  // of the simulated Delta
  double observed = 0;
  bool flagged = false;    // by the Delta test
  bool flaggedWc = false;  // by the WC (Fst outlier) test
};

struct ScanPlot {
  std::string title;  // lines separated by '\n'
  std::vector<PlotLocus> loci;  // in file order
};

// Written across the Delta picture when no locus takes the Delta test.
inline constexpr const char* kNoDeltaLoci =
    "No locus takes the Delta test: loci with two alleles are tested by WC alone (WC against He)";

// A round tick step near range / ticks (ticks clamped to 1…6): 1, 2 or 5
// times a power of ten. Fewer ticks where their labels would touch.
double TickStep(double range, int ticks);

// The vertical range: every band and point, widened by a twentieth, and
// zero; (−1, 1) when there is nothing to show.
void PlotRange(const ScanPlot& plot, double& bottom, double& top);

// Returns each locus's column over its band and point, for the pointer.
std::vector<PlotMark> DrawScanPlot(const ScanPlot& plot, chart::Canvas& canvas,
                                   const chart::Rect& area);

// The size the plot is drawn at in a file: a width that grows with the
// number of loci up to 2400, 480 high. Names are written where they fit;
// with fewer than three pixels a locus, bands are lines and unflagged
// points dots.
struct PlotSize {
  int width = 0, height = 0;
};
PlotSize ScanPlotSize(const ScanPlot& plot);

}  // namespace dw::scan
