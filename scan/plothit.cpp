#include "scan/plothit.h"

#include "scan/report.h"

namespace dw::scan {

std::optional<std::size_t> ItemAt(const std::vector<PlotMark>& marks, chart::Point at) {
  std::optional<std::size_t> best;
  long bestDistance = 0;
  for (const PlotMark& m : marks) {
    const chart::Rect& b = m.box;
    if (at.x < b.left || at.x > b.right || at.y < b.top || at.y > b.bottom) continue;
    // Twice the centre's offset, so that odd boxes need no rounding.
    const long dx = 2L * at.x - b.left - b.right, dy = 2L * at.y - b.top - b.bottom;
    const long distance = dx * dx + dy * dy;
    if (!best || distance <= bestDistance) {
      best = m.item;
      bestDistance = distance;
    }
  }
  return best;
}

std::vector<std::size_t> DeltaPlotLoci(const ScanSummary& s) {
  std::vector<std::size_t> loci;
  for (std::size_t i = 0; i < s.loci.size(); ++i)
    if (s.loci[i].ran && DeltaTested(s.loci[i])) loci.push_back(i);
  return loci;
}

}  // namespace dw::scan
