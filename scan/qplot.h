#pragma once
// The scan's q-values along the genome, for data with positions (VCF, BCF):
// the chromosomes laid end to end in the order the file first names them,
// each locus at its position with height -log10 q, a line at the false
// discovery rate, flagged loci in red and named where the names fit. Drawn on
// the chart canvas, so a recording canvas checks it and the chart's export
// writes it.
#include <cstdint>
#include <string>
#include <vector>

#include "chart/canvas.h"
#include "scan/plot.h"
#include "scan/plothit.h"
#include "scan/report.h"

namespace dw::scan {

struct QPlotLocus {
  std::string name;
  std::size_t chromosome = 0;  // into QPlot::chromosomes
  int64_t pos = 0;
  double q = 1;
  bool flagged = false;  // q within the false discovery rate
  std::size_t locus = 0;  // its index in the scan's loci
};

// A chromosome's loci span first…last of its positions.
struct QPlotChromosome {
  std::string name;
  int64_t first = 0, last = 0;
};

struct QPlot {
  std::string title;
  std::string yTitle;  // which q the heights are
  double fdr = 0.1;
  std::vector<QPlotChromosome> chromosomes;  // in the file's order
  std::vector<QPlotLocus> loci;              // in the file's order
};

// The loci that ran and have a position; each with the Delta test's q, or
// the WC test's where the Delta test does not apply (two alleles).
QPlot QPlotOf(const ScanSummary& s);

// Where the picture puts things in `area`: the plotting rectangle, each
// chromosome's start along a genome of `length` units (the chromosomes' spans
// with a gap of a fiftieth of their sum between and half one at each end),
// and -log10 q from 0 at the bottom to `top`.
struct QPlotLayout {
  chart::Rect plot;
  std::vector<double> starts;  // per chromosome, genome units
  double length = 1, top = 1;
  int X(const QPlot& p, const QPlotLocus& l) const;
  int XOfGenome(double g) const;
  int Y(double minusLog10Q) const;
};
// `line` is the height of a line of text on the canvas that draws it.
QPlotLayout LayOutQPlot(const QPlot& plot, const chart::Rect& area, int line);

// -log10 q, q taken as 1e-300 at least (and at most 1), so that every
// locus has a finite height.
double MinusLog10(double q);

// Returns a box around each locus's point, for the pointer.
std::vector<PlotMark> DrawQPlot(const QPlot& plot, chart::Canvas& canvas, const chart::Rect& area);

// The file's size: wider with more loci, from 960 to 2400, 600 high.
PlotSize QPlotSize(const QPlot& plot);

}  // namespace dw::scan
