#pragma once
// Names beside the marked points of a scan picture, written only where they
// fit: a name that would cross another name, another point's mark or the
// picture's edge is left out, so many flagged loci never overprint. The
// pointer still names every locus (scan/plothit.h).
#include <string>
#include <vector>

#include "chart/canvas.h"

namespace dw::scan {

struct NamedPoint {
  chart::Point at;
  std::string name;
};

// Writes each name to the right of its point (marks of `markRadius` pixels
// around every point), in the order given: the first get their place.
// Returns how many names were written.
std::size_t WriteNamesWhereTheyFit(chart::Canvas& canvas, const std::vector<NamedPoint>& points,
                                   int markRadius, const chart::Rect& area);

}  // namespace dw::scan
