#include "scan/plot.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "runtime/numtext.h"

namespace dw::scan {

using chart::Point;
using chart::Rect;

void PlotRange(const ScanPlot& plot, double& bottom, double& top) {
  if (plot.loci.empty()) {
    bottom = -1, top = 1;
    return;
  }
  bottom = top = 0.0;
  for (const PlotLocus& l : plot.loci) {
    bottom = std::min({bottom, l.low, l.observed});
    top = std::max({top, l.high, l.observed});
  }
  if (top == bottom) top = bottom + 1;
  const double margin = (top - bottom) / 20;
  bottom -= margin;
  top += margin;
}

double TickStep(double range, int ticks) {
  const double rough = range / std::clamp(ticks, 1, 6);
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (double m : {1.0, 2.0, 5.0})
    if (m * power >= rough) return m * power;
  return 10 * power;
}

namespace {

constexpr chart::Color kBand = chart::RGB(198, 219, 239);
constexpr chart::Color kBandEdge = chart::RGB(66, 146, 198);
constexpr chart::Color kMedian = chart::RGB(8, 48, 107);
constexpr chart::Color kGrid = chart::RGB(220, 220, 220);
constexpr chart::Color kWcRing = chart::RGB(230, 120, 0);

struct Frame {
  Rect plot;
  double bottom, top;
  int Y(double v) const {
    return plot.bottom -
           static_cast<int>(std::lround((v - bottom) / (top - bottom) * plot.Height()));
  }
  int X(std::size_t i, std::size_t count) const {
    return plot.left + static_cast<int>((2 * i + 1) * plot.Width() / (2 * count));
  }
};

void DrawAxisAndTicks(const Frame& f, chart::Canvas& canvas) {
  // Two lines of text between labels at least, however short the plot.
  const double step = TickStep(f.top - f.bottom, f.plot.Height() / (2 * canvas.TextHeight("0")));
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step))));
  canvas.SetTextAlign(chart::HAlign::Right, chart::VAlign::Top);
  for (double v = std::ceil(f.bottom / step) * step; v <= f.top; v += step) {
    const int y = f.Y(v);
    canvas.SetPen({std::abs(v) < step / 2 ? chart::clGray : kGrid, chart::PenStyle::Solid, 1});
    canvas.Line({f.plot.left, y}, {f.plot.right, y});
    canvas.SetPen({chart::clBlack});
    canvas.Line({f.plot.left - 4, y}, {f.plot.left, y});
    const std::string label =
        FixedPoint(std::abs(v) < step / 2 ? 0.0 : v, decimals);
    canvas.TextOut({f.plot.left - 6, y - canvas.TextHeight(label) / 2}, label);
  }
  canvas.SetPen({chart::clBlack});
  canvas.Line({f.plot.left, f.plot.top}, {f.plot.left, f.plot.bottom});
  canvas.Line({f.plot.left, f.plot.bottom}, {f.plot.right, f.plot.bottom});
}

// Whether the loci are too many for a band each: fewer than three pixels a locus.
bool Dense(const Frame& f, std::size_t count) {
  return static_cast<std::size_t>(f.plot.Width()) < 3 * count;
}

// Band, median and observed point of locus i. Where the loci are dense, the
// band is a line and an unflagged point a dot, so that flagged ones stand out.
void DrawLocus(const Frame& f, const PlotLocus& l, std::size_t i, std::size_t count,
               chart::Canvas& canvas) {
  const int x = f.X(i, count);
  const int y = f.Y(l.observed);
  if (Dense(f, count)) {
    canvas.SetPen({kBandEdge});
    canvas.Line({x, f.Y(l.high)}, {x, f.Y(l.low) + 1});
    if (!l.flagged && !l.flaggedWc) {
      canvas.SetBrush({chart::clBlack});
      canvas.SetPen({chart::clBlack});
      canvas.Rectangle({x - 1, y - 1, x + 1, y + 1});
      return;
    }
  } else {
    const int half = std::clamp(f.plot.Width() / static_cast<int>(4 * count), 2, 14);
    canvas.SetPen({kBandEdge});
    canvas.SetBrush({kBand});
    canvas.Rectangle({x - half, f.Y(l.high), x + half + 1, f.Y(l.low) + 1});
    canvas.SetPen({kMedian, chart::PenStyle::Solid, 2});
    canvas.Line({x - half, f.Y(l.median)}, {x + half + 1, f.Y(l.median)});
  }
  const Point diamond[] = {{x, y - 5}, {x + 5, y}, {x, y + 5}, {x - 5, y}};
  canvas.SetPen({chart::clBlack});
  canvas.SetBrush({l.flagged ? chart::clRed : chart::clBlack});
  canvas.Polygon(diamond);
  if (l.flaggedWc) {
    canvas.SetPen({kWcRing, chart::PenStyle::Solid, 2});
    const Point ring[] = {{x, y - 9}, {x + 9, y}, {x, y + 9}, {x - 9, y}, {x, y - 9}};
    for (int k = 0; k < 4; ++k) canvas.Line(ring[k], ring[k + 1]);
  }
}

// The loci whose names are written under the axis: only where one fits
// beside the next, the flagged loci's first, then the others in order.
std::vector<bool> NamedLoci(const Frame& f, const ScanPlot& plot, int spacing) {
  const std::size_t count = plot.loci.size();
  std::vector<bool> named(count, false);
  std::vector<int> taken;  // x of the names placed, kept sorted
  const auto place = [&](std::size_t i) {
    const int x = f.X(i, count);
    const auto at = std::lower_bound(taken.begin(), taken.end(), x);
    if ((at != taken.end() && *at - x < spacing) || (at != taken.begin() && x - *(at - 1) < spacing))
      return;
    taken.insert(at, x);
    named[i] = true;
  };
  for (std::size_t i = 0; i < count; ++i)
    if (plot.loci[i].flagged || plot.loci[i].flaggedWc) place(i);
  for (std::size_t i = 0; i < count; ++i)
    if (!named[i]) place(i);
  return named;
}

// Half a locus's share of the width either side of it, at least the point's
// size, from the band's top (or the point's) to its bottom.
std::vector<PlotMark> LocusColumns(const Frame& f, const ScanPlot& plot) {
  const std::size_t count = plot.loci.size();
  std::vector<PlotMark> marks;
  if (count == 0) return marks;
  const int half = std::max(5, f.plot.Width() / static_cast<int>(2 * count));
  for (std::size_t i = 0; i < count; ++i) {
    const PlotLocus& l = plot.loci[i];
    const int x = f.X(i, count), y = f.Y(l.observed);
    marks.push_back({{x - half, std::min(f.Y(l.high), y - 5), x + half, std::max(f.Y(l.low), y + 5)}, i});
  }
  return marks;
}

int NamesHeight(const ScanPlot& plot, chart::Canvas& canvas) {
  int widest = 0;
  for (const PlotLocus& l : plot.loci) widest = std::max(widest, canvas.TextWidth(l.name));
  return widest + 12;
}

}  // namespace

std::vector<PlotMark> DrawScanPlot(const ScanPlot& plot, chart::Canvas& canvas, const Rect& area) {
  canvas.SetFont(chart::FontSpec{});
  canvas.SetBrush({chart::clWhite});
  canvas.FillRect(area);
  Frame f;
  PlotRange(plot, f.bottom, f.top);
  const int line = canvas.TextHeight("Delta");
  std::vector<std::string> lines;
  for (std::size_t from = 0;;) {
    const std::size_t end = plot.title.find('\n', from);
    lines.push_back(plot.title.substr(from, end - from));
    if (end == std::string::npos) break;
    from = end + 1;
  }
  const int titleLines = static_cast<int>(lines.size());
  f.plot = {area.left + 70, area.top + (titleLines + 1) * line + 16, area.right - 20,
            area.bottom - NamesHeight(plot, canvas)};
  canvas.SetBackMode(chart::BackMode::Transparent);
  canvas.SetTextAlign(chart::HAlign::Center, chart::VAlign::Top);
  for (int i = 0; i < titleLines; ++i)
    canvas.TextOut({(area.left + area.right) / 2, area.top + 8 + i * line}, lines[i]);
  canvas.SetTextAlign(chart::HAlign::Center, chart::VAlign::Top);
  canvas.RotatedTextOut({area.left + 10, (f.plot.top + f.plot.bottom) / 2}, "Delta = WC - RH", 90);
  DrawAxisAndTicks(f, canvas);
  const std::size_t count = plot.loci.size();
  if (count == 0) {
    // Two-allele loci (every SNP) have Delta 0 by construction: an empty
    // frame alone would read as a failed scan.
    canvas.SetTextAlign(chart::HAlign::Center, chart::VAlign::Top);
    canvas.TextOut({(f.plot.left + f.plot.right) / 2, (f.plot.top + f.plot.bottom) / 2 - 2 * line},
                   kNoDeltaLoci);
  }
  for (std::size_t i = 0; i < count; ++i)
    if (!plot.loci[i].flagged && !plot.loci[i].flaggedWc) DrawLocus(f, plot.loci[i], i, count, canvas);
  // The flagged loci last, so that no other locus's band hides them.
  for (std::size_t i = 0; i < count; ++i)
    if (plot.loci[i].flagged || plot.loci[i].flaggedWc) DrawLocus(f, plot.loci[i], i, count, canvas);
  const std::vector<bool> named = NamedLoci(f, plot, line + 2);
  canvas.SetBackMode(chart::BackMode::Transparent);
  canvas.SetTextAlign(chart::HAlign::Right, chart::VAlign::Top);
  for (std::size_t i = 0; i < count; ++i) {
    if (!named[i]) continue;
    const int h = canvas.TextHeight(plot.loci[i].name);
    canvas.RotatedTextOut({f.X(i, count) - h / 2, f.plot.bottom + 6}, plot.loci[i].name, 90);
  }
  return LocusColumns(f, plot);
}

PlotSize ScanPlotSize(const ScanPlot& plot) {
  // Wide enough for a band and a name a locus, up to what a page or a screen
  // still shows whole; beyond that the loci are drawn dense.
  constexpr int kWidest = 2400;
  const std::size_t count = plot.loci.size();
  return {count >= static_cast<std::size_t>(kWidest) ? kWidest
                                                      : std::clamp(110 + 28 * static_cast<int>(count), 720, kWidest),
          480};
}

}  // namespace dw::scan
