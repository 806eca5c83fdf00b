#pragma once
// The outlier picture users of Fst outlier tests expect: each locus's WC
// against its expected heterozygosity He, over the null's 95 % and 99 %
// envelope of WC, flagged loci coloured. The envelope comes from the loci's
// own simulations: the loci are cut by He into groups of about equal size,
// and in each group the simulated WC values of its loci give the quantiles.
#include <string>
#include <vector>

#include "chart/canvas.h"
#include "scan/plothit.h"
#include "scan/report.h"

namespace dw::scan {

struct WcHeLocus {
  std::string name;
  double he = 0, wc = 0;
  bool flaggedWc = false, flaggedDelta = false;
  std::size_t locus = 0;  // its index in the scan's loci
};

// The envelope at one He: WC's 0.5, 2.5, 97.5 and 99.5 % under the null.
struct EnvelopePoint {
  double he = 0, low99 = 0, low95 = 0, high95 = 0, high99 = 0;
};

struct WcHePlot {
  std::string title;
  std::vector<WcHeLocus> loci;
  std::vector<EnvelopePoint> envelope;  // by He, ascending
};

// The picture of a finished scan: the loci that ran, and an envelope of at
// most 20 groups of at least 5 loci each.
WcHePlot WcHePlotOf(const ScanSummary& s);

// Returns a box around each locus's point, for the pointer.
std::vector<PlotMark> DrawWcHePlot(const WcHePlot& plot, chart::Canvas& canvas,
                                   const chart::Rect& area);

}  // namespace dw::scan
