#include "scan/wcheplot.h"

#include <algorithm>
#include <cmath>

#include "data/observed.h"
#include "runtime/numtext.h"
#include "scan/plot.h"
#include "scan/plotlabels.h"
#include "scan/statistics.h"

namespace dw::scan {

namespace {

constexpr std::size_t kMostGroups = 20;
constexpr std::size_t kLeastInGroup = 5;
constexpr chart::Color kBand = chart::RGB(198, 219, 239);
constexpr chart::Color kEdge99 = chart::RGB(66, 146, 198);
constexpr chart::Color kWc = chart::RGB(230, 120, 0);
constexpr chart::Color kGrid = chart::RGB(220, 220, 220);

struct Frame {
  chart::Rect plot;
  double left, right, bottom, top;
  int X(double he) const {
    return plot.left + static_cast<int>(std::lround((he - left) / (right - left) * plot.Width()));
  }
  int Y(double wc) const {
    return plot.bottom - static_cast<int>(std::lround((wc - bottom) / (top - bottom) * plot.Height()));
  }
};

void DrawAxes(const Frame& f, chart::Canvas& canvas) {
  const int line = canvas.TextHeight("0");
  const double yStep = TickStep(f.top - f.bottom, 5), xStep = TickStep(f.right - f.left, 5);
  const int yDecimals = std::max(0, static_cast<int>(-std::floor(std::log10(yStep))));
  const int xDecimals = std::max(0, static_cast<int>(-std::floor(std::log10(xStep))));
  canvas.SetTextAlign(chart::HAlign::Right, chart::VAlign::Top);
  for (double v = std::ceil(f.bottom / yStep) * yStep; v <= f.top; v += yStep) {
    canvas.SetPen({kGrid});
    canvas.Line({f.plot.left, f.Y(v)}, {f.plot.right, f.Y(v)});
    canvas.TextOut({f.plot.left - 6, f.Y(v) - line / 2},
                   FixedPoint(std::abs(v) < yStep / 2 ? 0.0 : v, yDecimals));
  }
  canvas.SetTextAlign(chart::HAlign::Center, chart::VAlign::Top);
  for (double v = std::ceil(f.left / xStep) * xStep; v <= f.right; v += xStep)
    canvas.TextOut({f.X(v), f.plot.bottom + 4}, FixedPoint(v, xDecimals));
  canvas.SetPen({chart::clBlack});
  canvas.Line({f.plot.left, f.plot.top}, {f.plot.left, f.plot.bottom});
  canvas.Line({f.plot.left, f.plot.bottom}, {f.plot.right, f.plot.bottom});
  canvas.TextOut({(f.plot.left + f.plot.right) / 2, f.plot.bottom + line + 8},
                 "He (expected heterozygosity)");
  canvas.RotatedTextOut({f.plot.left - 60, (f.plot.top + f.plot.bottom) / 2}, "WC", 90);
}

// The 95 % band's fill goes under the loci; its edges and the 99 % lines go
// over them, so the envelope stays in sight inside a dense cloud of loci.
void FillBand(const Frame& f, const std::vector<EnvelopePoint>& envelope, chart::Canvas& canvas) {
  if (envelope.size() < 2) return;
  std::vector<chart::Point> band;
  for (const EnvelopePoint& e : envelope) band.push_back({f.X(e.he), f.Y(e.high95)});
  for (auto e = envelope.rbegin(); e != envelope.rend(); ++e) band.push_back({f.X(e->he), f.Y(e->low95)});
  canvas.SetPen({kBand});
  canvas.SetBrush({kBand});
  canvas.Polygon(band);
}

void DrawEnvelopeLines(const Frame& f, const std::vector<EnvelopePoint>& envelope,
                       chart::Canvas& canvas) {
  const auto edge = [&](double EnvelopePoint::*value) {
    for (std::size_t k = 1; k < envelope.size(); ++k)
      canvas.Line({f.X(envelope[k - 1].he), f.Y(envelope[k - 1].*value)},
                  {f.X(envelope[k].he), f.Y(envelope[k].*value)});
  };
  canvas.SetPen({kEdge99, chart::PenStyle::Solid, 1});
  edge(&EnvelopePoint::high95);
  edge(&EnvelopePoint::low95);
  canvas.SetPen({kEdge99, chart::PenStyle::Dash, 1});
  edge(&EnvelopePoint::high99);
  edge(&EnvelopePoint::low99);
}

void DrawLocus(const Frame& f, const WcHeLocus& l, chart::Canvas& canvas) {
  const int x = f.X(l.he), y = f.Y(l.wc);
  if (!l.flaggedWc && !l.flaggedDelta) {
    canvas.SetPen({chart::clBlack});
    canvas.SetBrush({chart::clBlack});
    canvas.Rectangle({x - 1, y - 1, x + 2, y + 2});
    return;
  }
  const chart::Point diamond[] = {{x, y - 5}, {x + 5, y}, {x, y + 5}, {x - 5, y}};
  canvas.SetPen({chart::clBlack});
  canvas.SetBrush({l.flaggedWc ? kWc : chart::clRed});
  canvas.Polygon(diamond);
}

}  // namespace

WcHePlot WcHePlotOf(const ScanSummary& s) {
  WcHePlot plot;
  std::vector<std::pair<double, const ScannedLocus*>> byHe;
  for (std::size_t i = 0; i < s.loci.size(); ++i) {
    const ScannedLocus& l = s.loci[i];
    if (!l.ran) continue;
    const double he = static_cast<double>(data::SummariseLocus(l.counts).expectedHeterozygosity);
    plot.loci.push_back({l.name, he, static_cast<double>(l.estimate.wc), l.qWc <= s.fdr,
                         l.deltaTested && l.q <= s.fdr, i});
    byHe.emplace_back(he, &l);
  }
  std::sort(byHe.begin(), byHe.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  const std::size_t groups = std::min(kMostGroups, byHe.size() / kLeastInGroup);
  for (std::size_t g = 0; g < groups; ++g) {
    const std::size_t from = byHe.size() * g / groups, to = byHe.size() * (g + 1) / groups;
    std::vector<double> wc;
    double he = 0;
    for (std::size_t i = from; i < to; ++i) {
      he += byHe[i].first;
      wc.insert(wc.end(), byHe[i].second->simulatedWc.begin(), byHe[i].second->simulatedWc.end());
    }
    if (wc.empty()) continue;
    std::sort(wc.begin(), wc.end());
    plot.envelope.push_back({he / static_cast<double>(to - from), Quantile(wc, 0.005),
                             Quantile(wc, 0.025), Quantile(wc, 0.975), Quantile(wc, 0.995)});
  }
  std::size_t flagged = 0;
  for (const WcHeLocus& l : plot.loci) flagged += l.flaggedWc;
  plot.title = "WC against He per locus; band: the null's 95 % of WC, dashed: 99 %; orange: q <= " +
               FixedPoint(s.fdr, 2) + " by the WC test (" + std::to_string(flagged) + " of " +
               std::to_string(plot.loci.size()) + "), red: by the Delta test alone";
  return plot;
}

std::vector<PlotMark> DrawWcHePlot(const WcHePlot& plot, chart::Canvas& canvas,
                                   const chart::Rect& area) {
  canvas.SetFont(chart::FontSpec{});
  canvas.SetBrush({chart::clWhite});
  canvas.FillRect(area);
  canvas.SetBackMode(chart::BackMode::Transparent);
  const int line = canvas.TextHeight("WC");
  Frame f;
  f.plot = {area.left + 80, area.top + 2 * line + 16, area.right - 120, area.bottom - 2 * line - 20};
  f.left = 0.0;
  f.right = 0.0;
  f.bottom = 0.0;
  f.top = 0.0;
  for (const WcHeLocus& l : plot.loci) {
    f.right = std::max(f.right, l.he);
    f.bottom = std::min(f.bottom, l.wc);
    f.top = std::max(f.top, l.wc);
  }
  for (const EnvelopePoint& e : plot.envelope) {
    f.bottom = std::min(f.bottom, e.low99);
    f.top = std::max(f.top, e.high99);
  }
  if (f.right <= 0) f.right = 1;
  f.right *= 1.05;
  if (f.top <= f.bottom) f.top = f.bottom + 1;
  const double margin = (f.top - f.bottom) / 20;
  f.bottom -= margin;
  f.top += margin;
  canvas.SetTextAlign(chart::HAlign::Center, chart::VAlign::Top);
  canvas.TextOut({(area.left + area.right) / 2, area.top + 8}, plot.title);
  FillBand(f, plot.envelope, canvas);
  DrawAxes(f, canvas);
  for (const WcHeLocus& l : plot.loci)
    if (!l.flaggedWc && !l.flaggedDelta) DrawLocus(f, l, canvas);
  DrawEnvelopeLines(f, plot.envelope, canvas);
  // The flagged on top, the farthest from zero named first where they fit.
  std::vector<const WcHeLocus*> flagged;
  for (const WcHeLocus& l : plot.loci)
    if (l.flaggedWc || l.flaggedDelta) {
      DrawLocus(f, l, canvas);
      flagged.push_back(&l);
    }
  std::stable_sort(flagged.begin(), flagged.end(), [](const WcHeLocus* a, const WcHeLocus* b) {
    return std::abs(a->wc) > std::abs(b->wc);
  });
  std::vector<NamedPoint> names;
  for (const WcHeLocus* l : flagged) names.push_back({{f.X(l->he), f.Y(l->wc)}, l->name});
  WriteNamesWhereTheyFit(canvas, names, 5, area);
  std::vector<PlotMark> marks;
  for (std::size_t i = 0; i < plot.loci.size(); ++i) {
    const int x = f.X(plot.loci[i].he), y = f.Y(plot.loci[i].wc);
    marks.push_back({{x - 5, y - 5, x + 5, y + 5}, i});
  }
  return marks;
}

}  // namespace dw::scan
