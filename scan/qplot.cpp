#include "scan/qplot.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "runtime/numtext.h"
#include "scan/plotlabels.h"

namespace dw::scan {

namespace {

constexpr chart::Color kShade[2] = {chart::RGB(31, 73, 125), chart::RGB(120, 160, 205)};
constexpr chart::Color kStripe = chart::RGB(243, 246, 250);
constexpr chart::Color kGrid = chart::RGB(220, 220, 220);
constexpr chart::Color kFdr = chart::RGB(200, 30, 30);
constexpr double kSmallestQ = 1e-300;

// Whether [from, to] keeps `gap` away from every span already taken.
bool Free(const std::vector<std::pair<int, int>>& taken, int from, int to, int gap) {
  for (const auto& [a, b] : taken)
    if (from < b + gap && a < to + gap) return false;
  return true;
}

void DrawAxes(const QPlot& plot, const QPlotLayout& f, chart::Canvas& canvas) {
  const int line = canvas.TextHeight("0");
  // Alternate chromosomes on a faint stripe, so their spans read apart.
  const double gap = f.length - (f.starts.empty() ? 0 : f.starts.back());
  for (std::size_t c = 1; c < plot.chromosomes.size(); c += 2) {
    const QPlotChromosome& k = plot.chromosomes[c];
    canvas.SetBrush({kStripe});
    canvas.FillRect({f.XOfGenome(f.starts[c] - gap / 4), f.plot.top,
                     f.XOfGenome(f.starts[c] + static_cast<double>(k.last - k.first) + gap / 4),
                     f.plot.bottom});
  }
  const double step = TickStep(f.top, 5);
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step))));
  canvas.SetTextAlign(chart::HAlign::Right, chart::VAlign::Top);
  for (double v = 0; v <= f.top; v += step) {
    canvas.SetPen({kGrid});
    canvas.Line({f.plot.left, f.Y(v)}, {f.plot.right, f.Y(v)});
    canvas.SetPen({chart::clBlack});
    canvas.Line({f.plot.left - 4, f.Y(v)}, {f.plot.left, f.Y(v)});
    canvas.TextOut({f.plot.left - 6, f.Y(v) - line / 2}, FixedPoint(v, decimals));
  }
  canvas.SetPen({chart::clBlack});
  canvas.Line({f.plot.left, f.plot.top}, {f.plot.left, f.plot.bottom});
  canvas.Line({f.plot.left, f.plot.bottom}, {f.plot.right, f.plot.bottom});
  // Chromosome names under the middle of their spans, in order, each only
  // where it keeps clear of the one before.
  canvas.SetTextAlign(chart::HAlign::Center, chart::VAlign::Top);
  std::vector<std::pair<int, int>> taken;
  for (std::size_t c = 0; c < plot.chromosomes.size(); ++c) {
    const QPlotChromosome& k = plot.chromosomes[c];
    const int x = f.XOfGenome(f.starts[c] + static_cast<double>(k.last - k.first) / 2);
    const int half = canvas.TextWidth(k.name) / 2;
    if (!Free(taken, x - half, x + half, 8)) continue;
    taken.push_back({x - half, x + half});
    canvas.TextOut({x, f.plot.bottom + 4}, k.name);
  }
  canvas.TextOut({(f.plot.left + f.plot.right) / 2, f.plot.bottom + line + 8},
                 "Position along the chromosomes, in the file's order");
  canvas.RotatedTextOut({f.plot.left - 60, (f.plot.top + f.plot.bottom) / 2}, plot.yTitle, 90);
}

void DrawFdrLine(const QPlot& plot, const QPlotLayout& f, chart::Canvas& canvas) {
  const int y = f.Y(MinusLog10(plot.fdr));
  canvas.SetPen({kFdr, chart::PenStyle::Dash, 1});
  canvas.Line({f.plot.left, y}, {f.plot.right, y});
  canvas.SetTextAlign(chart::HAlign::Right, chart::VAlign::Top);
  canvas.TextOut({f.plot.right - 2, y - canvas.TextHeight("q") - 1}, "q = " + FixedPoint(plot.fdr, 2));
}

}  // namespace

double MinusLog10(double q) { return -std::log10(std::clamp(q, kSmallestQ, 1.0)); }

int QPlotLayout::XOfGenome(double g) const {
  return plot.left + static_cast<int>(std::lround(g / length * plot.Width()));
}

int QPlotLayout::X(const QPlot& p, const QPlotLocus& l) const {
  return XOfGenome(starts[l.chromosome] + static_cast<double>(l.pos - p.chromosomes[l.chromosome].first));
}

int QPlotLayout::Y(double v) const {
  return plot.bottom - static_cast<int>(std::lround(v / top * plot.Height()));
}

QPlot QPlotOf(const ScanSummary& s) {
  QPlot plot;
  plot.fdr = s.fdr;
  std::map<std::string, std::size_t> chromosome;
  bool anyWc = false, anyDelta = false;
  for (std::size_t i = 0; i < s.loci.size(); ++i) {
    const ScannedLocus& l = s.loci[i];
    if (!l.ran || l.chrom.empty()) continue;
    const auto [at, added] = chromosome.emplace(l.chrom, plot.chromosomes.size());
    if (added) plot.chromosomes.push_back({l.chrom, l.pos, l.pos});
    QPlotChromosome& k = plot.chromosomes[at->second];
    k.first = std::min(k.first, l.pos);
    k.last = std::max(k.last, l.pos);
    const bool delta = DeltaTested(l);
    (delta ? anyDelta : anyWc) = true;
    const double q = delta ? l.q : l.qWc;
    plot.loci.push_back({l.name, at->second, l.pos, q, q <= s.fdr, i});
  }
  std::size_t flagged = 0;
  for (const QPlotLocus& l : plot.loci) flagged += l.flagged;
  plot.yTitle = anyDelta && anyWc ? "-log10 q (Delta test; WC test for two alleles)"
                : anyWc           ? "-log10 q (WC test)"
                                  : "-log10 q (Delta test)";
  plot.title = "-log10 q along the chromosomes; dashed: q = " + FixedPoint(s.fdr, 2) + "; red: q <= " +
               FixedPoint(s.fdr, 2) + " (" + std::to_string(flagged) + " of " +
               std::to_string(plot.loci.size()) + ")";
  return plot;
}

QPlotLayout LayOutQPlot(const QPlot& plot, const chart::Rect& area, int line) {
  QPlotLayout f;
  f.plot = {area.left + 80, area.top + 2 * line + 16, area.right - 20, area.bottom - 2 * line - 20};
  double total = 0;
  for (const QPlotChromosome& k : plot.chromosomes) total += static_cast<double>(k.last - k.first);
  // A chromosome of one locus spans nothing: the gap alone keeps it apart.
  const double gap = total > 0 ? total / 50 : 1;
  double at = gap / 2;
  for (const QPlotChromosome& k : plot.chromosomes) {
    f.starts.push_back(at);
    at += static_cast<double>(k.last - k.first) + gap;
  }
  f.length = at - gap / 2;
  f.top = MinusLog10(plot.fdr);
  for (const QPlotLocus& l : plot.loci) f.top = std::max(f.top, MinusLog10(l.q));
  f.top = std::max(1.0, f.top * 1.1);
  return f;
}

std::vector<PlotMark> DrawQPlot(const QPlot& plot, chart::Canvas& canvas, const chart::Rect& area) {
  canvas.SetFont(chart::FontSpec{});
  canvas.SetBrush({chart::clWhite});
  canvas.FillRect(area);
  canvas.SetBackMode(chart::BackMode::Transparent);
  const int line = canvas.TextHeight("q");
  const QPlotLayout f = LayOutQPlot(plot, area, line);
  canvas.SetTextAlign(chart::HAlign::Center, chart::VAlign::Top);
  canvas.TextOut({(area.left + area.right) / 2, area.top + 8}, plot.title);
  DrawAxes(plot, f, canvas);
  DrawFdrLine(plot, f, canvas);
  std::vector<PlotMark> marks;
  for (std::size_t i = 0; i < plot.loci.size(); ++i) {
    const QPlotLocus& l = plot.loci[i];
    const int x = f.X(plot, l), y = f.Y(MinusLog10(l.q));
    marks.push_back({{x - 5, y - 5, x + 5, y + 5}, i});
    if (l.flagged) continue;
    const chart::Color shade = kShade[l.chromosome % 2];
    canvas.SetPen({shade});
    canvas.SetBrush({shade});
    canvas.Rectangle({x - 2, y - 2, x + 2, y + 2});
  }
  // The flagged loci last, on top; the most significant named first, each
  // only where its name fits.
  std::vector<std::pair<double, NamedPoint>> flagged;
  for (const QPlotLocus& l : plot.loci) {
    if (!l.flagged) continue;
    const int x = f.X(plot, l), y = f.Y(MinusLog10(l.q));
    const chart::Point diamond[] = {{x, y - 5}, {x + 5, y}, {x, y + 5}, {x - 5, y}};
    canvas.SetPen({chart::clBlack});
    canvas.SetBrush({chart::clRed});
    canvas.Polygon(diamond);
    flagged.push_back({l.q, {{x, y}, l.name}});
  }
  std::stable_sort(flagged.begin(), flagged.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<NamedPoint> names;
  for (auto& [q, point] : flagged) names.push_back(std::move(point));
  WriteNamesWhereTheyFit(canvas, names, 5, area);
  return marks;
}

PlotSize QPlotSize(const QPlot& plot) {
  return {std::clamp(600 + 2 * static_cast<int>(std::min<std::size_t>(plot.loci.size(), 1000)), 960,
                     2400),
          600};
}

}  // namespace dw::scan
