#include "chart/parts.h"

#include <algorithm>

#include "chart/chart.h"
#include "runtime/random.h"

namespace dw::chart {

FontSpec TChartFont::Resolved(int pixelsPerInch, int zoomPercent) const {
  FontSpec f;
  f.name = Name;
  int size = Size;
  int height = Height;
  if (zoomPercent != 100) {
    auto zoomed = [zoomPercent](int v) {
      const int64_t z = RoundToInt(static_cast<long double>(v) * zoomPercent * 0.01L);
      return static_cast<int>(v < 0 ? std::min<int64_t>(-1, z) : std::max<int64_t>(1, z));
    };
    if (height != 0) height = zoomed(height);
    else size = zoomed(size);
  }
  f.height = height != 0 ? height : -MulDiv(size, pixelsPerInch, 72);
  f.color = Color;
  f.bold = Bold;
  f.italic = Italic;
  f.underline = Underline;
  f.strikeOut = StrikeOut;
  return f;
}

void ApplyChartPen(Canvas& canvas, const TChartPen& pen) {
  PenSpec resolved{pen.Color, pen.Style, pen.Width, pen.Mode};
  if (!pen.Visible) resolved.style = PenStyle::Clear;
  else if (pen.SmallDots && pen.Width == 1) resolved.style = PenStyle::Dot;
  canvas.SetPen(resolved);
}

void TStringList::Clear() {
  lines_.clear();
  Changed();
}

void TStringList::Add(std::string line) {
  lines_.push_back(std::move(line));
  Changed();
}

void TStringList::SetLines(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  Changed();
}

}  // namespace dw::chart
