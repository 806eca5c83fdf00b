#include "chart/axis.h"

#include <algorithm>
#include <cmath>

#include "chart/chart.h"
#include "chart/valueformat.h"
#include "runtime/random.h"

namespace dw::chart {

namespace {

bool IsHorizontal(AxisKind k) { return k == AxisKind::Bottom || k == AxisKind::Top; }
bool IsOtherSide(AxisKind k) {
  return k == AxisKind::Top || k == AxisKind::Right || k == AxisKind::Depth;
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t k = 0; k <= text.size(); ++k)
    if (k == text.size() || text[k] == separator) {
      lines.push_back(text.substr(start, k - start));
      start = k + 1;
    }
  return lines;
}

constexpr double kMinStep = 1e-12;
constexpr long double kMaxLabels = 2147483647.0L;

std::vector<std::string> LabelLines(const std::string& text, bool multiLine) {
  return multiLine ? SplitAt(text, ' ') : SplitAt(text, '\r');
}

// Where a label goes by its angle and its axis: the anchor's alignment,
// whether its lines are centred on the label's pixel across their
// direction, and the lines' downward direction on screen.
struct LabelPlacement {
  HAlign h;
  VAlign v;
  bool centred;
};
// Rows: 0 (and any other angle), 90, 180, 270 degrees; columns: bottom, top,
// left, right.
constexpr LabelPlacement kLabelPlacements[4][4] = {
    {{HAlign::Center, VAlign::Top, false}, {HAlign::Center, VAlign::Bottom, false},
     {HAlign::Right, VAlign::Top, true}, {HAlign::Left, VAlign::Top, true}},
    {{HAlign::Right, VAlign::Top, true}, {HAlign::Left, VAlign::Top, true},
     {HAlign::Center, VAlign::Bottom, false}, {HAlign::Center, VAlign::Top, false}},
    {{HAlign::Center, VAlign::Bottom, false}, {HAlign::Center, VAlign::Top, false},
     {HAlign::Left, VAlign::Top, true}, {HAlign::Right, VAlign::Top, true}},
    {{HAlign::Left, VAlign::Top, true}, {HAlign::Right, VAlign::Top, true},
     {HAlign::Center, VAlign::Top, false}, {HAlign::Center, VAlign::Bottom, false}},
};
constexpr Point kTextDown[4] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}};

int AngleRow(int angle) { return angle == 90 ? 1 : angle == 180 ? 2 : angle == 270 ? 3 : 0; }
int SideColumn(AxisKind k) {
  return k == AxisKind::Bottom ? 0 : k == AxisKind::Top ? 1 : k == AxisKind::Left ? 2 : 3;
}

}  // namespace

int AxisIndex(AxisKind kind) {
  switch (kind) {
    case AxisKind::Bottom: return 0;
    case AxisKind::Top: return 1;
    case AxisKind::Left: return 2;
    case AxisKind::Right: return 3;
    case AxisKind::Depth: return 4;
  }
  return 4;
}

TChartAxis::TChartAxis(const Notifier* n, TChart& chart, AxisKind k)
    : ChartPart(n), kind(k), horizontal(IsHorizontal(k)), otherSide(IsOtherSide(k)),
      Visible(this, k != AxisKind::Depth), LabelsFont(n), Axis(n), Ticks(n), TicksInner(n),
      MinorTicks(n), Grid(n), Title(n, k == AxisKind::Left ? 90 : k == AxisKind::Right ? 270 : 0),
      chart_(chart) {}

void TChartAxis::SetMinimum(double v) {
  if (!chart_.Loading() && v > maximum_) throw AxisException("Axis Minimum Value must be <= Maximum");
  if (v == minimum_) return;
  minimum_ = v;
  Changed();
}

void TChartAxis::SetMaximum(double v) {
  if (!chart_.Loading() && v < minimum_) throw AxisException("Axis Maximum Value must be >= Minimum");
  if (v == maximum_) return;
  maximum_ = v;
  Changed();
}

void TChartAxis::SetMinMax(double a, double b) {
  if (a > b) std::swap(a, b);
  if (b - a < 1e-10) b = a + 1e-10;
  Automatic = false;
  AutomaticMinimum = false;
  AutomaticMaximum = false;
  minimum_ = a;
  maximum_ = b;
  Changed();
}

void TChartAxis::SetIncrement(double v) {
  if (v < 0) throw AxisException("Axis increment must be >= 0");
  if (v == increment_) return;
  increment_ = v;
  Changed();
}

void TChartAxis::SetLogarithmic(bool on) {
  if (on) {
    for (int i = 0; i < chart_.SeriesCount(); ++i) {
      const TChartSeries& s = chart_.Series(i);
      if (s.AttachedTo(*this) && (horizontal ? s.XValues.DateTime() : s.YValues.DateTime()))
        throw AxisException("DateTime Axis cannot be Logarithmic");
    }
    if (minimum_ < 0 || maximum_ < 0)
      throw AxisException("Logarithmic Axis Min and Max values should be >= 0");
  }
  if (on == logarithmic_) return;
  logarithmic_ = on;
  Changed();
}

void TChartAxis::SetLogarithmicBase(double v) {
  if (v < 2) throw AxisException("Axis Logarithmic Base should be >= 2");
  if (v == logarithmicBase_) return;
  logarithmicBase_ = v;
  Changed();
}

void TChartAxis::SetLabelsSeparation(int v) {
  if (v < 0) throw AxisException("Labels Separation % must be greater than 0");
  if (v == labelsSeparation_) return;
  labelsSeparation_ = v;
  Changed();
}

void TChartAxis::SetLabelsAngle(int v) {
  if (v < 0 || v > 360) throw ChartException("Axis Labels Angle must be between 0 and 359 degrees");
  if (v == labelsAngle_) return;
  labelsAngle_ = v;
  Changed();
}

bool TChartAxis::IsVisible() const {
  if (!chart_.AxisVisible || !Visible) return false;
  if (IsDepthAxis()) return chart_.View3D;
  if (chart_.SeriesCount() == 0) return true;
  for (int i = 0; i < chart_.SeriesCount(); ++i)
    if (chart_.Series(i).Active && chart_.Series(i).AttachedTo(*this)) return true;
  return false;
}


TAxisLayout TChartAxis::StartLayout() const {
  TAxisLayout a;
  a.horizontal = horizontal;
  a.inverted = Inverted;
  a.minimum = minimum_;
  a.maximum = maximum_;
  if (!IsDepthAxis()) {
    bool any = false;
    double low = 0, high = 0;
    for (int i = 0; i < chart_.SeriesCount(); ++i) {
      const TChartSeries& s = chart_.Series(i);
      if (!s.Active || !s.AttachedTo(*this) || s.Count() == 0) continue;
      const double lo = horizontal ? s.MinXValue() : s.MinYValue();
      const double hi = horizontal ? s.MaxXValue() : s.MaxYValue();
      low = any ? std::min(low, lo) : lo;
      high = any ? std::max(high, hi) : hi;
      any = true;
    }
    if (Automatic || AutomaticMaximum) a.maximum = high;
    if (Automatic || AutomaticMinimum) a.minimum = low;
  }
  a.lowValue = a.minimum;
  a.highValue = a.maximum;
  a.valueSpan = a.highValue - a.lowValue;
  return a;
}

void TChartAxis::KeepDrawnRange(const TAxisLayout& drawn) {
  // Not a change of the model: the drawing that used it is the current one.
  minimum_ = drawn.minimum;
  maximum_ = drawn.maximum;
}

int TChartAxis::WallSize() const {
  if (!chart_.View3D || !chart_.View3DWalls) return 0;
  if (kind == AxisKind::Left) return chart_.LeftWall.Size;
  if (kind == AxisKind::Bottom) return chart_.BottomWall.Size;
  return 0;
}

bool TChartAxis::TextAcrossAxis() const {
  const int a = labelsAngle_ % 360;
  return horizontal ? (a == 90 || a == 270) : (a == 0 || a == 180);
}

std::string TChartAxis::ValueLabelText(double v) const {
  return FormatValue(AxisValuesFormat(), v, chart_.Separators());
}

int TChartAxis::LabelExtent(TextMeasure& measure, const FontSpec& font, const std::string& text) const {
  const std::vector<std::string> lines = LabelLines(text, LabelsMultiLine);
  if (TextAcrossAxis()) return measure.LineHeightIn(font) * static_cast<int>(lines.size());
  int widest = 0;
  for (const std::string& line : lines) widest = std::max(widest, measure.TextWidthIn(font, line));
  return widest;
}

TAxisLabelStyle TChartAxis::ResolveLabelStyle() const {
  if (LabelStyle != TAxisLabelStyle::talAuto) return LabelStyle;
  if (IsDepthAxis()) return TAxisLabelStyle::talValue;
  bool attached = false;
  for (int i = 0; i < chart_.SeriesCount(); ++i) {
    const TChartSeries& s = chart_.Series(i);
    if (!s.Active || !s.AttachedTo(*this)) continue;
    attached = true;
    if (s.HasLabels() && !s.Label(0).empty()) return TAxisLabelStyle::talText;
  }
  return attached ? TAxisLabelStyle::talValue : TAxisLabelStyle::talNone;
}

double NextLabelStep(double x) {
  if (!(x > 0)) return 1;
  if (x >= 10) return 10 * NextLabelStep(x / 10);
  if (x < 1) return NextLabelStep(10 * x) / 10;
  return x < 2 ? 2 : x < 5 ? 5 : 10;
}

double TChartAxis::LabelIncrement(TextMeasure& measure, const TAxisLayout& a) const {
  const FontSpec font = LabelsFont.Resolved(measure.PixelsPerInch());
  int64_t s = std::max(LabelExtent(measure, font, ValueLabelText(a.highValue)),
                       LabelExtent(measure, font, ValueLabelText(a.lowValue)));
  if (labelsSeparation_ > 0) s += RoundToInt(labelsSeparation_ * 0.01L * s);
  const int64_t n = s <= 0 ? 1 : RoundToInt(static_cast<long double>(a.length) / s);
  if (n <= 0) return kMinStep;
  double inc = increment_ > 0 ? increment_ : std::fabs(a.valueSpan) >= 1 ? 1 : kMinStep;
  if (labelsSeparation_ > 0) {
    for (;;) {
      const long double c = static_cast<long double>(a.valueSpan) / inc;
      if (std::fabs(c) < kMaxLabels && RoundToInt(c) <= n) break;
      inc = NextLabelStep(inc);
    }
  }
  return std::max(inc, kMinStep);
}

int TChartAxis::LabelsSizeFor(TextMeasure& measure, const TAxisLayout& a, TAxisLabelStyle style) const {
  if (LabelsSize != 0) return LabelsSize;
  const FontSpec font = LabelsFont.Resolved(measure.PixelsPerInch());
  const int angle = labelsAngle_ % 360;
  const bool parallel = horizontal ? (angle == 0 || angle == 180) : (angle == 90 || angle == 270);
  if (parallel) return measure.LineHeightIn(font);
  auto widest = [&](const std::string& text) {
    int w = 0;
    for (const std::string& line : LabelLines(text, LabelsMultiLine))
      w = std::max(w, measure.TextWidthIn(font, line));
    return w;
  };
  int size = 0;
  switch (style) {
    case TAxisLabelStyle::talValue: {
      const double inc = LabelIncrement(measure, a);
      auto rounded = [&](double v) {
        const long double q = static_cast<long double>(v) / inc;
        if (!RoundFirstLabel || std::fabs(q) >= 9e18L) return v;
        return static_cast<double>(TruncToInt(q) * static_cast<long double>(inc));
      };
      size = std::max(widest(ValueLabelText(rounded(a.lowValue))),
                      widest(ValueLabelText(rounded(a.highValue)))) +
             measure.TextWidthIn(font, " ");
      break;
    }
    case TAxisLabelStyle::talMark:
    case TAxisLabelStyle::talText:
      for (int i = 0; i < chart_.SeriesCount(); ++i) {
        const TChartSeries& s = chart_.Series(i);
        if (!s.Active) continue;
        if (style == TAxisLabelStyle::talText && !s.HasLabels()) continue;
        for (int p = 0; p < s.Count(); ++p)
          size = std::max(size, widest(style == TAxisLabelStyle::talText ? s.Label(p) : s.MarkText(p)));
      }
      break;
    default:
      break;
  }
  return size;
}

Rect TChartAxis::ReserveAxisSpace(TextMeasure& measure, const TChartLayout& layout, TAxisLayout& a,
                                  Rect r) const {
  auto shrink = [&](int k) {
    switch (kind) {
      case AxisKind::Bottom: r.bottom -= k; break;
      case AxisKind::Top: r.top += k; break;
      case AxisKind::Left: r.left += k; break;
      case AxisKind::Right: r.right -= k; break;
      case AxisKind::Depth: break;
    }
  };
  auto edge = [&] {
    switch (kind) {
      case AxisKind::Bottom: return r.bottom;
      case AxisKind::Top: return r.top;
      case AxisKind::Left: return r.left;
      default: return r.right;
    }
  };
  if (!Title.Caption().empty()) {
    int size = TitleSize;
    if (size == 0) {
      const FontSpec font = Title.Font.Resolved(measure.PixelsPerInch());
      const int angle = Title.Angle % 360;
      const bool parallel = horizontal ? (angle == 0 || angle == 180) : (angle == 90 || angle == 270);
      size = parallel ? measure.LineHeightIn(font) : measure.TextWidthIn(font, Title.Caption());
    }
    shrink(size);
  }
  if (Labels) {
    PlacePixels(layout, a);  // the label step measures against the plot before the axes' room
    shrink(LabelsSizeFor(measure, a, ResolveLabelStyle()));
    a.labelPixel = edge();
  }
  int t = (Axis.Visible ? Axis.Width() : 0) + (Ticks.Visible ? TickLength() : 0);
  if (MinorTicks.Visible && MinorTickLength > t) t = MinorTickLength;
  const int w = WallSize();
  if (t + w > 0) shrink(t + w);
  return r;
}

void TChartAxis::PlacePixels(const TChartLayout& layout, TAxisLayout& a) const {
  if (IsDepthAxis()) a.PlacePixels(0, layout.depthPixels, StartPosition, EndPosition);
  else if (horizontal) a.PlacePixels(layout.plot.left, layout.PlotWidth(), StartPosition, EndPosition);
  else a.PlacePixels(layout.plot.top, layout.PlotHeight(), StartPosition, EndPosition);
}

void TChartAxis::PlaceLine(TextMeasure& measure, const TChartLayout& layout, TAxisLayout& a) const {
  // Depth labels are not on this chart's path; a hidden axis draws nothing.
  if (IsDepthAxis() || !IsVisible()) return;
  const Rect& plot = layout.plot;
  const int across = horizontal ? layout.PlotHeight() : layout.PlotWidth();
  const int offset = static_cast<int>(RoundToInt(across * 0.01L * PositionPercent));
  switch (kind) {
    case AxisKind::Bottom: a.linePixel = plot.bottom - offset; break;
    case AxisKind::Top: a.linePixel = plot.top + offset; break;
    case AxisKind::Left: a.linePixel = plot.left + offset; break;
    default: a.linePixel = plot.right - offset; break;
  }
  a.increment = LabelIncrement(measure, a);
}

// ---- painting ----

void TChartAxis::DrawTicksAndGrid(TKivCanvas3D& c3d, const TChartLayout& layout, int p,
                                  int& lastTick) const {
  Canvas& c = c3d.C();
  const int line = layout.Of(*this).linePixel;
  const int wall = WallSize();
  const int depth = layout.depthPixels;
  const int z = otherSide ? depth : 0;
  // A tick of length len at pixel q, outward (or inward when len < 0).
  auto tick = [&](int q, int len) {
    switch (kind) {
      case AxisKind::Bottom: c3d.VertLine3D(q, line + 1 + wall, line + 1 + wall + len, z); break;
      case AxisKind::Top: c3d.VertLine3D(q, line - 1, line - 1 - len, z); break;
      case AxisKind::Left: c3d.HorizLine3D(line - 1 - wall, line - 1 - wall - len, q, z); break;
      case AxisKind::Right: c3d.HorizLine3D(line + 1, line + 1 + len, q, z); break;
      case AxisKind::Depth: break;
    }
  };
  if (Ticks.Visible) {
    ApplyChartPen(c, Ticks);
    tick(p, TickLength);
  }
  if (Grid.Visible) {
    ApplyChartPen(c, Grid);
    if (Grid.Color == AutoColor) {
      PenSpec pen = c.Pen();
      pen.color = clGray;
      c.SetPen(pen);
    }
    if (chart_.PrintingInProgress && c.Pen().width == 1 && c.Pen().style != PenStyle::Solid) {
      PenSpec pen = c.Pen();
      pen.width = 0;
      c.SetPen(pen);
    }
    c.SetBrush({c.Brush().color, BrushStyle::Clear});
    c.SetBackMode(BackMode::Transparent);
    const Rect& plot = layout.plot;
    if (c3d.is3D) {
      if (horizontal) {
        c3d.ZLine3D(p, line, 0, depth);
        c3d.VertLine3D(p, plot.top, plot.bottom, depth);
      } else {
        c3d.ZLine3D(line, p, 0, depth);
        c3d.HorizLine3D(plot.left, plot.right, p, depth);
      }
    } else if (horizontal) {
      c.Line({p, plot.top}, {p, plot.bottom});
    } else {
      c.Line({plot.left, p}, {plot.right, p});
    }
    c.SetBackMode(BackMode::Opaque);
  }
  if (TicksInner.Visible && TickInnerLength > 0) {
    ApplyChartPen(c, TicksInner);
    tick(p, -TickInnerLength - 2);
  }
  if (MinorTicks.Visible && lastTick >= 0 && !logarithmic_) {
    ApplyChartPen(c, MinorTicks);
    for (int i = 1; i <= MinorTickCount; ++i)
      tick(p - static_cast<int>(RoundToInt(static_cast<long double>(p - lastTick) /
                                           (MinorTickCount + 1) * i)),
           MinorTickLength);
  }
  lastTick = p;
}

void TChartAxis::DrawLabel(TKivCanvas3D& c3d, const TChartLayout& layout, int p,
                           const std::string& text) const {
  Canvas& c = c3d.C();
  FontSpec font = LabelsFont.Resolved(c.PixelsPerInch());
  if (chart_.PrintingInProgress && font.color == clWhite) font.color = clBlack;
  c.SetFont(font);
  c.SetBrush({chart_.Color, BrushStyle::Clear});
  const int lh = LineHeight(c);
  const int angle = labelsAngle_ % 360;
  const LabelPlacement& pl = kLabelPlacements[AngleRow(angle)][SideColumn(kind)];
  const Point down = kTextDown[AngleRow(angle)];
  c.SetTextAlign(pl.h, pl.v);
  const std::vector<std::string> lines = LabelLines(text, LabelsMultiLine);
  const int k = static_cast<int>(lines.size());
  const int labelPixel = layout.Of(*this).labelPixel;
  Point at = horizontal ? Point{p, labelPixel} : Point{labelPixel, p};
  if (pl.centred) {
    const int shift = k == 1 ? lh / 2 : k * lh / 2;
    at = {at.x - down.x * shift, at.y - down.y * shift};
  }
  const int z = otherSide ? layout.depthPixels : 0;
  for (const std::string& line : lines) {
    if (angle == 0) c3d.TextOut3D(at.x, at.y, z, line);
    else c3d.RotatedTextOut3D(at.x, at.y, z, line, angle);
    at = {at.x + down.x * lh, at.y + down.y * lh};
  }
  c.SetTextAlign(HAlign::Left, VAlign::Top);
}

void TChartAxis::DrawTextLabels(TKivCanvas3D& c3d, const TChartLayout& layout, TAxisLabelStyle style,
                                int& lastTick) const {
  Canvas& c = c3d.C();
  const TAxisLayout& a = layout.Of(*this);
  std::vector<const TChartSeries*> withLabels;
  int first = -1, last = -1;
  for (int i = 0; i < chart_.SeriesCount(); ++i) {
    const TChartSeries& s = chart_.Series(i);
    if (!s.Active || !s.AttachedTo(*this) || !s.HasLabels()) continue;
    withLabels.push_back(&s);
    const TSeriesLayout& inView = layout.Of(s);
    if (inView.firstVisible >= 0 && (first < 0 || inView.firstVisible < first)) first = inView.firstVisible;
    last = std::max(last, inView.lastVisible);
  }
  if (withLabels.empty() || first < 0) return;
  bool drawnBefore = false;
  int q = 0, hq = 0;
  for (int i = first; i <= last; ++i) {
    const TChartSeries* s = nullptr;
    for (const TChartSeries* candidate : withLabels)
      if (candidate->LabelCount() > i) {
        s = candidate;
        break;
      }
    if (!s) continue;
    const std::string text = style == TAxisLabelStyle::talMark ? s->MarkText(i) : s->Label(i);
    const double value = horizontal ? s->XValues.Value(i) : s->YValues.Value(i);
    if (value < a.lowValue || value > a.highValue) continue;
    const int p = a.ValueToPixel(value);
    if (!TickOnLabelsOnly) DrawTicksAndGrid(c3d, layout, p, lastTick);
    if (!Labels) continue;
    c.SetFont(LabelsFont.Resolved(c.PixelsPerInch()));
    const int e = LabelExtent(c, c.Font(), text);
    int h = e / 2;
    if (labelsSeparation_ != 0 && drawnBefore) {
      // In doubles, so that 20 × 0.02 × 10 is 4, not just below it.
      h = (e + static_cast<int>(TruncToInt(e * 0.02 * labelsSeparation_))) / 2;
      const bool clears = p < q ? q - hq >= p + h : p - h >= q + hq;
      if (!clears) continue;
    }
    if (TickOnLabelsOnly) DrawTicksAndGrid(c3d, layout, p, lastTick);
    DrawLabel(c3d, layout, p, text);
    drawnBefore = true;
    q = p;
    hq = h;
  }
}

void TChartAxis::DrawValueLabels(TKivCanvas3D& c3d, const TChartLayout& layout, int& lastTick) const {
  const TAxisLayout& a = layout.Of(*this);
  const double inc = a.increment;
  if (std::fabs(static_cast<long double>(a.highValue) / inc) >= kMaxLabels ||
      std::fabs(static_cast<long double>(a.valueSpan) / inc) >= 10000)
    return;
  double v = a.highValue;
  if (a.lowValue != a.highValue && RoundFirstLabel)
    v = static_cast<double>(TruncToInt(static_cast<long double>(a.highValue) / inc) *
                            static_cast<long double>(inc));
  auto draw = [&](double value) {
    const int p = a.ValueToPixel(value);
    DrawTicksAndGrid(c3d, layout, p, lastTick);
    if (Labels) DrawLabel(c3d, layout, p, ValueLabelText(value));
  };
  if (LabelsOnAxis) {
    while (v > a.highValue) v -= inc;
    while (v >= a.lowValue) {
      draw(v);
      v -= inc;
    }
  } else {
    while (v >= a.highValue) v -= inc;
    while (v > a.lowValue) {
      draw(v);
      v -= inc;
    }
  }
}

void TChartAxis::DrawAxisLine(TKivCanvas3D& c3d, const TChartLayout& layout) const {
  ApplyChartPen(c3d.C(), Axis);
  const TAxisLayout& a = layout.Of(*this);
  const bool walls = chart_.View3D && chart_.View3DWalls;
  const int leftWall = walls ? chart_.LeftWall.Size : 0;
  const int bottomWall = walls ? chart_.BottomWall.Size : 0;
  const int depth = layout.depthPixels;
  switch (kind) {
    case AxisKind::Bottom: c3d.HorizLine3D(a.startPixel - leftWall, a.endPixel, a.linePixel + bottomWall, 0); break;
    case AxisKind::Left: c3d.VertLine3D(a.linePixel - leftWall, a.startPixel, a.endPixel + bottomWall, 0); break;
    case AxisKind::Top: c3d.HorizLine3D(a.startPixel, a.endPixel, a.linePixel, depth); break;
    case AxisKind::Right: c3d.VertLine3D(a.linePixel, a.startPixel, a.endPixel, depth); break;
    case AxisKind::Depth: break;
  }
}

void TChartAxis::Paint(TKivCanvas3D& c3d, const TChartLayout& layout) const {
  if (IsDepthAxis()) return;  // depth labels are not on this chart's path
  const TAxisLayout& a = layout.Of(*this);
  int lastTick = -1;
  if (a.increment > 0 && a.highValue >= a.lowValue) {
    const TAxisLabelStyle style = ResolveLabelStyle();
    if (style == TAxisLabelStyle::talValue) DrawValueLabels(c3d, layout, lastTick);
    else if (style == TAxisLabelStyle::talText || style == TAxisLabelStyle::talMark)
      DrawTextLabels(c3d, layout, style, lastTick);
  }
  if (Axis.Visible) DrawAxisLine(c3d, layout);
}

}  // namespace dw::chart
