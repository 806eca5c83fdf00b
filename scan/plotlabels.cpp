#include "scan/plotlabels.h"

#include <algorithm>

namespace dw::scan {

namespace {

bool Meets(const chart::Rect& a, const chart::Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

std::size_t WriteNamesWhereTheyFit(chart::Canvas& canvas, const std::vector<NamedPoint>& points,
                                   int markRadius, const chart::Rect& area) {
  std::vector<chart::Rect> taken;
  for (const NamedPoint& p : points)
    taken.push_back({p.at.x - markRadius, p.at.y - markRadius, p.at.x + markRadius + 1,
                     p.at.y + markRadius + 1});
  canvas.SetTextAlign(chart::HAlign::Left, chart::VAlign::Top);
  std::size_t written = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const NamedPoint& p = points[i];
    const int h = canvas.TextHeight(p.name);
    const chart::Rect box{p.at.x + markRadius + 2, p.at.y - h / 2,
                          p.at.x + markRadius + 2 + canvas.TextWidth(p.name), p.at.y - h / 2 + h};
    if (box.right > area.right || box.top < area.top || box.bottom > area.bottom) continue;
    bool clear = true;
    for (std::size_t k = 0; k < taken.size() && clear; ++k)
      clear = k == i || !Meets(box, taken[k]);  // its own mark does not count
    if (!clear) continue;
    taken.push_back(box);
    canvas.TextOut({box.left, box.top}, p.name);
    ++written;
  }
  return written;
}

}  // namespace dw::scan
