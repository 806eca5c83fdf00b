#include "chart/series.h"

#include <algorithm>
#include <cmath>

#include "chart/chart.h"
#include "chart/valueformat.h"
#include "runtime/random.h"

namespace dw::chart {

// ---- TChartValueList ----

void TChartValueList::Stale() {
  stale_ = true;
  Changed();
}

void TChartValueList::SetMultiplier(double m) {
  if (m == multiplier_) return;
  multiplier_ = m;
  Stale();
}

void TChartValueList::SetValue(int i, double v) {
  values_[static_cast<size_t>(i)] = v;
  Stale();
}

int TChartValueList::AddValue(double v) {
  const int n = Count();
  auto append = [&] {
    values_.push_back(v);
    Stale();
    return n;
  };
  if (Order == TChartListOrder::loNone || n == 0) return append();
  const bool ascending = Order == TChartListOrder::loAscending;
  // Not out of order: append. Otherwise insert after the last value that the
  // new one may follow, so equal values keep their insertion order.
  auto mayFollow = [&](double stored) { return ascending ? stored <= v : stored >= v; };
  if (mayFollow(values_.back())) return append();
  int j = n - 1;
  while (j >= 0 && !mayFollow(values_[static_cast<size_t>(j)])) --j;
  InsertAt(j + 1, v);
  return j + 1;
}

void TChartValueList::InsertAt(int i, double v) {
  values_.insert(values_.begin() + i, v);
  Stale();
}

void TChartValueList::Clear() {
  values_.clear();
  values_.shrink_to_fit();
  Stale();
}

const TChartValueList::Statistics& TChartValueList::Stats() const {
  if (!stale_) return stats_;
  stats_ = Statistics{};
  if (!values_.empty()) {
    const double first = values_[0] * multiplier_;
    stats_ = {first, first, first, std::fabs(first)};
    for (size_t k = 1; k < values_.size(); ++k) {
      const double v = values_[k] * multiplier_;
      if (v < stats_.lowest) stats_.lowest = v;
      else if (v > stats_.highest) stats_.highest = v;
      stats_.sum += v;
      stats_.absSum += std::fabs(v);
    }
  }
  stale_ = false;
  return stats_;
}

// ---- TChartSeries ----

TChartSeries::TChartSeries()
    : ChartPart(&notifier_), Marks(&notifier_), XValues(&notifier_, "X", TChartListOrder::loAscending),
      YValues(&notifier_, "Y", TChartListOrder::loNone) {}

void TChartSeries::SetParentChart(TChart* chart) {
  chart_ = chart;
  notifier_.listener = chart ? chart->GetNotifier()->listener : nullptr;
  Changed();
}

int TChartSeries::AddXY(double x, double y, std::string label, chart::Color color) {
  const int i = XValues.AddValue(x);
  YValues.InsertAt(i, y);
  colors_.insert(colors_.begin() + i, color);
  labels_.insert(labels_.begin() + i, std::move(label));
  if (Active) Changed();
  return i;
}

int TChartSeries::AppendPoint(double y, std::string label, chart::Color color) {
  return AddXY(Count(), y, std::move(label), color);
}

void TChartSeries::RemoveAllPoints() {
  XValues.Clear();
  YValues.Clear();
  colors_.clear();
  colors_.shrink_to_fit();
  labels_.clear();
  labels_.shrink_to_fit();
  Marks.positions.clear();
  Changed();
}

const std::string& TChartSeries::Label(int i) const {
  static const std::string kNone;
  return i >= 0 && i < LabelCount() ? labels_[static_cast<size_t>(i)] : kNone;
}

chart::Color TChartSeries::PointColor(int i) const {
  // A palette of 16 for one colour per point (not used by the histogram).
  static constexpr chart::Color kPalette[16] = {
      0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFFFFFF, 0x808080, 0xFF00FF, 0x008080,
      0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x000000, 0xC0C0C0, 0xFFFF00};
  if (i < 0 || i >= static_cast<int>(colors_.size())) return SeriesColor;
  const chart::Color c = colors_[static_cast<size_t>(i)];
  if (c != AutoColor) return c;
  return ColorEachPoint ? kPalette[i % 16] : SeriesColor();
}

bool TChartSeries::AttachedTo(const TChartAxis& axis) const {
  switch (axis.kind) {
    case AxisKind::Bottom: return HorizAxis != THorizAxis::aTopAxis;
    case AxisKind::Top: return HorizAxis != THorizAxis::aBottomAxis;
    case AxisKind::Left: return VertAxis != TVertAxis::aRightAxis;
    case AxisKind::Right: return VertAxis != TVertAxis::aLeftAxis;
    case AxisKind::Depth: return false;
  }
  return false;
}

std::string TChartSeries::FormattedValue(double v) const {
  return FormatValue(ValueFormat(), v, chart_ ? chart_->Separators() : NumberMarks{});
}

std::string TChartSeries::MarkText(int i) const {
  const NumberMarks marks = chart_ ? chart_->Separators() : NumberMarks{};
  const double y = YValues.Value(i);
  const std::string value = FormattedValue(y);
  const std::string label = Label(i).empty() ? value : Label(i);
  const double total = YValues.TotalABS();
  const std::string percent =
      FormatValue(PercentFormat(), total == 0 ? 0.0L : 100.0L * std::fabs(y) / total, marks);
  const std::string percentTotal = percent + " of " + FormattedValue(total);
  switch (Marks.Style) {
    case TSeriesMarksStyle::smsValue: return value;
    case TSeriesMarksStyle::smsPercent: return percent;
    case TSeriesMarksStyle::smsLabel: return label;
    case TSeriesMarksStyle::smsLabelPercent: return percent + " " + label;
    case TSeriesMarksStyle::smsLabelValue: return value + " " + label;
    case TSeriesMarksStyle::smsLegend: return label;
    case TSeriesMarksStyle::smsPercentTotal: return percentTotal;
    case TSeriesMarksStyle::smsLabelPercentTotal: return percentTotal + " " + label;
    case TSeriesMarksStyle::smsXValue: {
      const std::string format = chart_ ? chart_->BottomAxis.AxisValuesFormat() : kDefaultValueFormat;
      return FormatValue(format, XValues.Value(i), marks);
    }
  }
  return value;
}

void TChartSeries::FindVisible(const TChart& chart, const TChartLayout& layout, TSeriesLayout& own) const {
  const int n = Count();
  own.firstVisible = own.lastVisible = -1;
  if (n == 0) return;
  if (XValues.Order == TChartListOrder::loNone) {
    own.firstVisible = 0;
    own.lastVisible = n - 1;
    return;
  }
  const TAxisLayout& axis = layout.Of(HorizAxis == THorizAxis::aTopAxis ? chart.TopAxis : chart.BottomAxis);
  const int nearEdge = axis.inverted ? layout.plot.right : layout.plot.left;
  const int farEdge = axis.inverted ? layout.plot.left : layout.plot.right;
  const double low = axis.PixelToValue(nearEdge);
  const double high = axis.PixelToValue(farEdge);
  int first = 0;
  while (first < n && XValues.Value(first) < low) ++first;
  if (first == n) return;
  int last = n - 1;
  if (XValues.Value(n - 1) > high) {
    last = first;
    while (last < n - 1 && XValues.Value(last) < high) ++last;
    if (XValues.Value(last) > high) --last;
  }
  own.firstVisible = first;
  own.lastVisible = last;
}

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t k = 0; k <= text.size(); ++k)
    if (k == text.size() || text[k] == '\r') {
      lines.push_back(text.substr(start, k - start));
      start = k + 1;
    }
  return lines;
}

}  // namespace

void TChartSeries::DrawMarks(const TChart& chart, const TChartLayout& layout, TKivCanvas3D& c3d) {
  const TSeriesLayout& own = layout.Of(*this);
  if (!Marks.Visible || own.firstVisible < 0) return;
  Canvas& c = c3d.C();
  const int zoom = c3d.is3D && c3d.zoomText ? chart.View3DOptions.Zoom : 100;
  c.SetFont(Marks.Font.Resolved(c.PixelsPerInch(), zoom));
  const int lineHeight = LineHeight(c);
  const int frame = Marks.Frame.Visible ? Marks.Frame.Width() : 0;
  for (int i = own.firstVisible; i <= own.lastVisible; ++i) {
    if (PointColor(i) == clNone) continue;
    const std::string text = MarkText(i);
    if (text.empty()) continue;
    const std::vector<std::string> lines = SplitLines(text);
    int widest = 0;
    for (const std::string& line : lines) widest = std::max(widest, c.TextWidth(line));
    TSeriesMarkPosition pos;
    pos.width = widest + c.TextWidth("W") + 2 * frame;
    pos.height = static_cast<int>(lines.size()) * lineHeight + 2 * frame;
    const Point at = MarkAnchor(chart, layout, i);
    pos.arrowFrom = pos.arrowTo = at;
    pos.leftTop = {at.x - pos.width / 2, at.y - pos.height + 1};
    AdjustMarkPosition(pos, chart, layout, i);

    if (static_cast<int>(Marks.positions.size()) <= i) Marks.positions.resize(size_t(i) + 1);
    if (Marks.positions[size_t(i)].custom) pos = Marks.positions[size_t(i)];
    else Marks.positions[size_t(i)] = pos;

    if (Marks.Arrow.Visible) {
      ApplyChartPen(c, Marks.Arrow);
      PenSpec pen = c.Pen();
      // An arrow in the bar's or the panel's colour would not show.
      if (pen.color == PointColor(i) || pen.color == chart.Color)
        pen.color = ColorToRGB(chart.Color) == clBlack ? clWhite : clBlack;
      c.SetPen(pen);
      c.SetBrush({c.Brush().color, BrushStyle::Clear});
      if (c3d.is3D)
        c3d.LineWithZ(pos.arrowFrom.x, pos.arrowFrom.y, pos.arrowTo.x, pos.arrowTo.y, own.middleZ);
      else
        c.Line(pos.arrowFrom, pos.arrowTo);
    }

    Point box = pos.leftTop;
    if (c3d.is3D) {
      const Point p = c3d.ProjectPoint(pos.arrowTo.x, pos.arrowTo.y, own.middleZ);
      box = {p.x + (pos.leftTop.x - pos.arrowTo.x), p.y - (pos.arrowTo.y - pos.leftTop.y)};
    }
    int textTop = box.y;
    if (Marks.Frame.Visible || !Marks.Transparent) {
      c.SetBrush({Marks.BackColor, Marks.Transparent ? BrushStyle::Clear : BrushStyle::Solid});
      ApplyChartPen(c, Marks.Frame);
      c.Rectangle({box.x, box.y, box.x + pos.width, box.y + pos.height});
      textTop += frame;
    }
    c.SetBrush({c.Brush().color, BrushStyle::Clear});
    c.SetTextAlign(HAlign::Center, VAlign::Top);
    for (const std::string& line : lines) {
      c.TextOut({box.x + pos.width / 2, textTop}, line);
      textTop += lineHeight;
    }
    c.SetTextAlign(HAlign::Left, VAlign::Top);
  }
}

// ---- TBarSeries ----

TBarSeries::TBarSeries() : BarPen(GetNotifier()), BarBrush(GetNotifier()) {
  YValues.Name = std::string("Bar");
  Marks.Visible = true;
  Marks.ArrowLength = 20;
}

void TBarSeries::SetBarWidthPercent(int v) {
  if (v < 1 || v > 100) throw BarException("Bar Width Percent must be between 1 and 100");
  if (v == barWidthPercent_) return;
  barWidthPercent_ = v;
  Changed();
}

void TBarSeries::SetOffsetPercent(int v) {
  if (v < -100 || v > 100) throw BarException("Bar Offset Percent must be between -100% and 100%");
  if (v == offsetPercent_) return;
  offsetPercent_ = v;
  Changed();
}

double TBarSeries::MinYValue() const {
  return UseYOrigin ? std::min(YValues.MinValue(), YOrigin()) : YValues.MinValue();
}

double TBarSeries::MaxYValue() const {
  return UseYOrigin ? std::max(YValues.MaxValue(), YOrigin()) : YValues.MaxValue();
}

int TBarSeries::BarSeriesCount(const TChart& chart) const { return chart.ActiveBarSeriesCount(); }

int TBarSeries::BarSeriesIndex(const TChart& chart) const {
  int k = 0;
  for (int j = 0; j < chart.SeriesCount(); ++j) {
    const TChartSeries& s = chart.Series(j);
    if (!s.Active || !dynamic_cast<const TBarSeries*>(&s)) continue;
    ++k;
    if (&s == this) return k;
  }
  return 1;
}

int TBarSeries::CalcBarWidth(const TChart& chart, const TChartLayout& layout) const {
  if (CustomBarWidth != 0) return CustomBarWidth;
  int n = Count(), s = 1;
  if (MultiBar == TMultiBar::mbSide) {
    s = std::max(1, BarSeriesCount(chart));
    for (int j = 0; j < chart.SeriesCount(); ++j) {
      const TChartSeries& other = chart.Series(j);
      if (other.Active && dynamic_cast<const TBarSeries*>(&other)) n = std::max(n, other.Count());
    }
  }
  if (chart.MaxPointsPerPage > 0) n = chart.MaxPointsPerPage;
  if (n <= 0) return 0;
  const TAxisLayout& axis = layout.Of(HorizAxis == THorizAxis::aTopAxis ? chart.TopAxis : chart.BottomAxis);
  const int L = axis.length;
  int64_t room;
  if (AutoBarSize)
    room = RoundToInt(static_cast<long double>(L) / (axis.highValue - axis.lowValue + 2));
  else
    room = SideMargins ? L / (n + 1) : L / n;
  int width = static_cast<int>(RoundToInt(BarWidthPercent() * 0.01L * room) / s);
  if (width % 2 != 0) ++width;
  return width;
}

AxisMargins TBarSeries::HorizontalMargins(const TChart& chart, const TChartLayout& layout,
                                          TSeriesLayout& own) const {
  own.barWidth = CalcBarWidth(chart, layout);
  const int s = MultiBar == TMultiBar::mbSide ? std::max(1, BarSeriesCount(chart)) : 1;
  const int margin = SideMargins ? s * own.barWidth : (s * own.barWidth) / 2;
  return {margin, margin};
}

AxisMargins TBarSeries::VerticalMargins(const TChart& chart, const TChartLayout&,
                                        TextMeasure& measure) const {
  AxisMargins m;
  if (Count() == 0 || !Marks.Visible) return m;
  const int room = measure.LineHeightIn(Marks.Font.Resolved(measure.PixelsPerInch())) + Marks.ArrowLength +
                   (Marks.Frame.Visible ? 2 * Marks.Frame.Width : 0) + 1;
  const TChartAxis& axis = VertAxis == TVertAxis::aRightAxis ? chart.RightAxis : chart.LeftAxis;
  // Room for the marks above bars that rise from the origin, below bars that hang.
  if (UseYOrigin && YValues.MinValue() < YOrigin) (axis.Inverted ? m.start : m.end) = room;
  if (!UseYOrigin || YValues.MaxValue() > YOrigin) (axis.Inverted ? m.end : m.start) = room;
  return m;
}

Rect TBarSeries::BarBox(const TChart& chart, const TChartLayout& layout, int i) const {
  const TAxisLayout& h = layout.Of(HorizAxis == THorizAxis::aTopAxis ? chart.TopAxis : chart.BottomAxis);
  const TAxisLayout& v = layout.Of(VertAxis == TVertAxis::aRightAxis ? chart.RightAxis : chart.LeftAxis);
  const int w = layout.Of(*this).barWidth;
  int left = h.ValueToPixel(XValues.Value(i));
  if (MultiBar == TMultiBar::mbSide) {
    const int k = BarSeriesIndex(chart), s = std::max(1, BarSeriesCount(chart));
    left += static_cast<int>(RoundToInt((k - s * 0.5L - 1) * w));
  } else {
    left -= w / 2;
  }
  if (OffsetPercent() != 0) left += static_cast<int>(RoundToInt(OffsetPercent() * w * 0.01L));
  const int top = v.ValueToPixel(YValues.Value(i));
  const int base = UseYOrigin ? v.ValueToPixel(YOrigin) : v.endPixel;
  return {left, top, left + w, base};
}

void TBarSeries::DrawPoints(const TChart& chart, const TChartLayout& layout, TKivCanvas3D& c3d) const {
  const TSeriesLayout& own = layout.Of(*this);
  if (own.firstVisible < 0) return;
  Canvas& c = c3d.C();
  const bool backward = layout.Of(HorizAxis == THorizAxis::aTopAxis ? chart.TopAxis : chart.BottomAxis).inverted;
  for (int n = 0; n <= own.lastVisible - own.firstVisible; ++n) {
    const int i = backward ? own.lastVisible - n : own.firstVisible + n;
    const chart::Color color = PointColor(i);
    if (color == clNone) continue;
    const Rect box = BarBox(chart, layout, i);
    const int upper = std::min(box.top, box.bottom), lower = std::max(box.top, box.bottom);
    ApplyChartPen(c, BarPen);
    PrepareFillBrush(c, color, BarBrush.Style,
                     BarBrush.Color == AutoColor ? chart.Color() : BarBrush.Color());
    if (c3d.is3D) {
      c3d.DrawBox3D(box.left, box.right, upper, lower, own.startZ, own.endZ, Dark3D);
      continue;
    }
    // 2D: a bar too thin for its outline is drawn in its fill colour.
    if (c.Brush().style == BrushStyle::Solid) {
      if (box.right == box.left || lower == upper) {
        PenSpec pen = c.Pen();
        pen.color = c.Brush().color;
        if (pen.style == PenStyle::Clear) pen.style = PenStyle::Solid;
        c.SetPen(pen);
        c.Line({box.left, upper}, {box.right, lower});
      } else if (box.right - box.left < c.Pen().width || lower - upper < c.Pen().width) {
        PenSpec pen = c.Pen();
        pen.color = c.Brush().color;
        c.SetPen(pen);
        c.SetBrush({c.Brush().color, BrushStyle::Clear});
      }
    }
    c.Rectangle({box.left, upper, box.right, lower});
  }
}

Point TBarSeries::MarkAnchor(const TChart& chart, const TChartLayout& layout, int i) const {
  const Rect box = BarBox(chart, layout, i);
  return {box.left, box.top};
}

void TBarSeries::AdjustMarkPosition(TSeriesMarkPosition& pos, const TChart& chart,
                                    const TChartLayout& layout, int i) const {
  const Rect box = BarBox(chart, layout, i);
  const int h = layout.Of(*this).barWidth / 2;
  int a = Marks.ArrowLength;
  if (box.bottom < box.top) a = -a - pos.height;  // a bar hanging below its origin
  pos.leftTop.x += h;
  pos.leftTop.y -= a;
  pos.arrowTo.x += h;
  pos.arrowTo.y -= a;
  pos.arrowFrom.x += h;
}

namespace {

// Whether p lies on the projection of the box r × [z0, z1]: the front face
// swept along the projected depth direction by some fraction 0 … 1.
bool OnProjectedBox(const TProjection& c3d, const Rect& r, int z0, int z1, Point p) {
  const Point a = c3d.ProjectPoint(r.left, r.top, z0), b = c3d.ProjectPoint(r.right, r.bottom, z0);
  const Point back = c3d.ProjectPoint(r.left, r.top, z1);
  double low = 0, high = 1;
  auto narrow = [&](int q, int e0, int e1, int d) {
    const int first = std::min(e0, e1), last = std::max(e0, e1);
    if (d == 0) {
      if (q < first || q > last) high = -1;
      return;
    }
    double s0 = static_cast<double>(q - last) / d, s1 = static_cast<double>(q - first) / d;
    if (s0 > s1) std::swap(s0, s1);
    low = std::max(low, s0);
    high = std::min(high, s1);
  };
  narrow(p.x, a.x, b.x, back.x - a.x);
  narrow(p.y, a.y, b.y, back.y - a.y);
  return low <= high;
}

}  // namespace

int TBarSeries::Clicked(const TChart& chart, const TChartLayout& layout, Point p) const {
  const TSeriesLayout& own = layout.Of(*this);
  if (own.firstVisible < 0) return -1;
  const TProjection& c3d = layout.projection;
  if (chart.ClipPoints && !OnProjectedBox(c3d, layout.plot, 0, layout.depthPixels, p)) return -1;
  const bool backward = layout.Of(HorizAxis == THorizAxis::aTopAxis ? chart.TopAxis : chart.BottomAxis).inverted;
  // Later bars are drawn over earlier ones: test them first.
  for (int n = own.lastVisible - own.firstVisible; n >= 0; --n) {
    const int i = backward ? own.lastVisible - n : own.firstVisible + n;
    if (PointColor(i) == clNone) continue;
    const Rect box = BarBox(chart, layout, i);
    const Rect r{box.left, std::min(box.top, box.bottom), box.right, std::max(box.top, box.bottom)};
    if (OnProjectedBox(c3d, r, own.startZ, own.endZ, p)) return i;
  }
  return -1;
}

}  // namespace dw::chart
