#pragma once
// Where each locus of a scan picture was drawn, so that a pointer over the
// picture can name it: the drawing returns its marks, and the hit test is
// arithmetic on them alone.
#include <cstddef>
#include <optional>
#include <vector>

#include "chart/canvas.h"

namespace dw::scan {

struct ScanSummary;

// The box a locus answers to, in the drawing's units, and the locus's place
// in the picture's own list of loci.
struct PlotMark {
  chart::Rect box;
  std::size_t item = 0;
};

// The locus under `at`: of the boxes that hold it (right and bottom edges
// included), the one whose centre is nearest, the later drawn on a tie
// (it shows on top); none when no box holds it.
std::optional<std::size_t> ItemAt(const std::vector<PlotMark>& marks, chart::Point at);

// The loci of the Delta picture (PlotOf) as indices into s.loci: the loci
// that ran and take the Delta test, in file order.
std::vector<std::size_t> DeltaPlotLoci(const ScanSummary& s);

}  // namespace dw::scan
