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

}  // namespace

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
    if (LowValue < 0 || HighValue < 0)
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

void TChartAxis::CalcAutomaticRange() {
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
    if (Automatic || AutomaticMaximum) maximum_ = high;
    if (Automatic || AutomaticMinimum) minimum_ = low;
  }
  LowValue = minimum_;
  HighValue = maximum_;
  ValueSpan = HighValue - LowValue;
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

int TChartAxis::LabelExtent(Canvas& canvas, const std::string& text) const {
  const std::vector<std::string> lines =
      LabelsMultiLine ? SplitAt(text, ' ') : SplitAt(text, '\r');
  if (TextAcrossAxis()) return LineHeight(canvas) * static_cast<int>(lines.size());
  int widest = 0;
  for (const std::string& line : lines) widest = std::max(widest, canvas.TextWidth(line));
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

double TChartAxis::LabelIncrement(Canvas& canvas) {
  canvas.SetFont(LabelsFont.Resolved(canvas.PixelsPerInch()));
  int64_t s = std::max(LabelExtent(canvas, ValueLabelText(HighValue)),
                       LabelExtent(canvas, ValueLabelText(LowValue)));
  if (labelsSeparation_ > 0) s += RoundToInt(labelsSeparation_ * 0.01L * s);
  const int64_t n = s <= 0 ? 1 : RoundToInt(static_cast<long double>(AxisLength) / s);
  if (n <= 0) return kMinStep;
  double inc = increment_ > 0 ? increment_ : std::fabs(ValueSpan) >= 1 ? 1 : kMinStep;
  if (labelsSeparation_ > 0) {
    for (;;) {
      const long double c = static_cast<long double>(ValueSpan) / inc;
      if (std::fabs(c) < kMaxLabels && RoundToInt(c) <= n) break;
      inc = NextLabelStep(inc);
    }
  }
  return std::max(inc, kMinStep);
}

int TChartAxis::LabelsSizeFor(Canvas& canvas, TAxisLabelStyle style) {
  if (LabelsSize != 0) return LabelsSize;
  canvas.SetFont(LabelsFont.Resolved(canvas.PixelsPerInch()));
  const int a = labelsAngle_ % 360;
  const bool parallel = horizontal ? (a == 0 || a == 180) : (a == 90 || a == 270);
  if (parallel) return LineHeight(canvas);
  auto widest = [&](const std::string& text) {
    int w = 0;
    for (const std::string& line : LabelsMultiLine ? SplitAt(text, ' ') : SplitAt(text, '\r'))
      w = std::max(w, canvas.TextWidth(line));
    return w;
  };
  int size = 0;
  switch (style) {
    case TAxisLabelStyle::talValue: {
      const double inc = LabelIncrement(canvas);
      auto rounded = [&](double v) {
        const long double q = static_cast<long double>(v) / inc;
        if (!RoundFirstLabel || std::fabs(q) >= 9e18L) return v;
        return static_cast<double>(TruncToInt(q) * static_cast<long double>(inc));
      };
      size = std::max(widest(ValueLabelText(rounded(LowValue))),
                      widest(ValueLabelText(rounded(HighValue)))) +
             canvas.TextWidth(" ");
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

Rect TChartAxis::ReserveAxisSpace(Canvas& canvas, Rect r) {
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
      canvas.SetFont(Title.Font.Resolved(canvas.PixelsPerInch()));
      const int a = Title.Angle % 360;
      const bool parallel = horizontal ? (a == 0 || a == 180) : (a == 90 || a == 270);
      size = parallel ? LineHeight(canvas) : canvas.TextWidth(Title.Caption());
    }
    shrink(size);
  }
  if (Labels) {
    CalcPixels();  // the label step measures against the current length
    shrink(LabelsSizeFor(canvas, ResolveLabelStyle()));
    LabelPixel = edge();
  }
  int t = (Axis.Visible ? Axis.Width() : 0) + (Ticks.Visible ? TickLength() : 0);
  if (MinorTicks.Visible && MinorTickLength > t) t = MinorTickLength;
  const int w = WallSize();
  if (t + w > 0) shrink(t + w);
  return r;
}

void TChartAxis::CalcPixels() {
  int edge, size;
  if (IsDepthAxis()) {
    edge = 0;
    size = chart_.DepthPixels;
  } else if (horizontal) {
    edge = chart_.PlotRect.left;
    size = chart_.PlotWidth();
  } else {
    edge = chart_.PlotRect.top;
    size = chart_.PlotHeight();
  }
  StartPixel = edge + static_cast<int>(RoundToInt(size * 0.01L * StartPosition));
  EndPixel = edge + static_cast<int>(RoundToInt(size * 0.01L * EndPosition));
  AxisLength = EndPixel - StartPixel;
  CenterPixel = (StartPixel + EndPixel) / 2;
}

int TChartAxis::ValueToPixel(double v) const {
  if (ValueSpan == 0) return CenterPixel;
  const long double d = (static_cast<long double>(v) - LowValue) * AxisLength / ValueSpan;
  if (!(std::fabs(d) < kMaxLabels)) return CenterPixel;
  const int r = static_cast<int>(RoundToInt(d));
  if (horizontal) return Inverted ? EndPixel - r : StartPixel + r;
  return Inverted ? StartPixel + r : EndPixel - r;
}

double TChartAxis::PixelToValue(int p) const {
  if (AxisLength < 1) return 0;
  const long double c =
      static_cast<long double>(Inverted ? EndPixel - p : p - StartPixel) * ValueSpan / AxisLength;
  return static_cast<double>(horizontal ? LowValue + c : HighValue - c);
}

void TChartAxis::WidenRangeByPixels(int lower, int upper) {
  const int s = StartPixel, e = EndPixel;
  StartPixel += lower;
  EndPixel -= upper;
  AxisLength = EndPixel - StartPixel;
  double u = PixelToValue(s), v = PixelToValue(e);
  CalcPixels();
  if (u > v) std::swap(u, v);
  LowValue = u;
  HighValue = v;
  ValueSpan = HighValue - LowValue;
}

// ---- painting ----

void TChartAxis::DrawTicksAndGrid(TKivCanvas3D& c3d, int p, int& lastTick) {
  Canvas& c = c3d.C();
  const int wall = WallSize();
  const int z = otherSide ? chart_.DepthPixels : 0;
  // A tick of length len at pixel q, outward (or inward when len < 0).
  auto tick = [&](int q, int len) {
    switch (kind) {
      case AxisKind::Bottom: c3d.VertLine3D(q, LinePixel + 1 + wall, LinePixel + 1 + wall + len, z); break;
      case AxisKind::Top: c3d.VertLine3D(q, LinePixel - 1, LinePixel - 1 - len, z); break;
      case AxisKind::Left: c3d.HorizLine3D(LinePixel - 1 - wall, LinePixel - 1 - wall - len, q, z); break;
      case AxisKind::Right: c3d.HorizLine3D(LinePixel + 1, LinePixel + 1 + len, q, z); break;
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
    const Rect& plot = chart_.PlotRect;
    if (c3d.is3D) {
      if (horizontal) {
        c3d.ZLine3D(p, LinePixel, 0, chart_.DepthPixels);
        c3d.VertLine3D(p, plot.top, plot.bottom, chart_.DepthPixels);
      } else {
        c3d.ZLine3D(LinePixel, p, 0, chart_.DepthPixels);
        c3d.HorizLine3D(plot.left, plot.right, p, chart_.DepthPixels);
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

void TChartAxis::DrawLabel(TKivCanvas3D& c3d, int p, const std::string& text) {
  Canvas& c = c3d.C();
  FontSpec font = LabelsFont.Resolved(c.PixelsPerInch());
  if (chart_.PrintingInProgress && font.color == clWhite) font.color = clBlack;
  c.SetFont(font);
  c.SetBrush({chart_.Color, BrushStyle::Clear});
  const int lh = LineHeight(c);
  const int angle = labelsAngle_ % 360;
  struct Placement {
    HAlign h;
    VAlign v;
    bool centred;  // the block of lines is centred on p across the text direction
  };
  const bool isBottom = kind == AxisKind::Bottom, isTop = kind == AxisKind::Top,
             isLeft = kind == AxisKind::Left;
  Placement pl{HAlign::Center, VAlign::Top, false};
  if (angle == 90) {
    pl = isBottom ? Placement{HAlign::Right, VAlign::Top, true}
         : isTop  ? Placement{HAlign::Left, VAlign::Top, true}
         : isLeft ? Placement{HAlign::Center, VAlign::Bottom, false}
                  : Placement{HAlign::Center, VAlign::Top, false};
  } else if (angle == 180) {
    pl = isBottom ? Placement{HAlign::Center, VAlign::Bottom, false}
         : isTop  ? Placement{HAlign::Center, VAlign::Top, false}
         : isLeft ? Placement{HAlign::Left, VAlign::Top, true}
                  : Placement{HAlign::Right, VAlign::Top, true};
  } else if (angle == 270) {
    pl = isBottom ? Placement{HAlign::Left, VAlign::Top, true}
         : isTop  ? Placement{HAlign::Right, VAlign::Top, true}
         : isLeft ? Placement{HAlign::Center, VAlign::Top, false}
                  : Placement{HAlign::Center, VAlign::Bottom, false};
  } else {
    pl = isBottom ? Placement{HAlign::Center, VAlign::Top, false}
         : isTop  ? Placement{HAlign::Center, VAlign::Bottom, false}
         : isLeft ? Placement{HAlign::Right, VAlign::Top, true}
                  : Placement{HAlign::Left, VAlign::Top, true};
  }
  c.SetTextAlign(pl.h, pl.v);
  // The text's downward direction on screen for a counter-clockwise angle.
  const Point down = angle == 90 ? Point{1, 0} : angle == 180 ? Point{0, -1}
                     : angle == 270 ? Point{-1, 0} : Point{0, 1};
  const std::vector<std::string> lines = LabelsMultiLine ? SplitAt(text, ' ') : SplitAt(text, '\r');
  const int k = static_cast<int>(lines.size());
  Point at = horizontal ? Point{p, LabelPixel} : Point{LabelPixel, p};
  if (pl.centred) {
    const int shift = k == 1 ? lh / 2 : k * lh / 2;
    at = {at.x - down.x * shift, at.y - down.y * shift};
  }
  const int z = otherSide ? chart_.DepthPixels : 0;
  for (const std::string& line : lines) {
    if (angle == 0) c3d.TextOut3D(at.x, at.y, z, line);
    else c3d.RotatedTextOut3D(at.x, at.y, z, line, angle);
    at = {at.x + down.x * lh, at.y + down.y * lh};
  }
  c.SetTextAlign(HAlign::Left, VAlign::Top);
}

void TChartAxis::DrawTextLabels(TKivCanvas3D& c3d, TAxisLabelStyle style, int& lastTick) {
  Canvas& c = c3d.C();
  std::vector<const TChartSeries*> withLabels;
  int first = -1, last = -1;
  for (int i = 0; i < chart_.SeriesCount(); ++i) {
    const TChartSeries& s = chart_.Series(i);
    if (!s.Active || !s.AttachedTo(*this) || !s.HasLabels()) continue;
    withLabels.push_back(&s);
    if (s.firstVisible >= 0 && (first < 0 || s.firstVisible < first)) first = s.firstVisible;
    last = std::max(last, s.lastVisible);
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
    if (value < LowValue || value > HighValue) continue;
    const int p = ValueToPixel(value);
    if (!TickOnLabelsOnly) DrawTicksAndGrid(c3d, p, lastTick);
    if (!Labels) continue;
    c.SetFont(LabelsFont.Resolved(c.PixelsPerInch()));
    const int e = LabelExtent(c, text);
    int h = e / 2;
    if (labelsSeparation_ != 0 && drawnBefore) {
      // In doubles, so that 20 × 0.02 × 10 is 4, not just below it.
      h = (e + static_cast<int>(TruncToInt(e * 0.02 * labelsSeparation_))) / 2;
      const bool clears = p < q ? q - hq >= p + h : p - h >= q + hq;
      if (!clears) continue;
    }
    if (TickOnLabelsOnly) DrawTicksAndGrid(c3d, p, lastTick);
    DrawLabel(c3d, p, text);
    drawnBefore = true;
    q = p;
    hq = h;
  }
}

void TChartAxis::DrawValueLabels(TKivCanvas3D& c3d, double inc, int& lastTick) {
  if (std::fabs(static_cast<long double>(HighValue) / inc) >= kMaxLabels ||
      std::fabs(static_cast<long double>(ValueSpan) / inc) >= 10000)
    return;
  double v = HighValue;
  if (LowValue != HighValue && RoundFirstLabel)
    v = static_cast<double>(TruncToInt(static_cast<long double>(HighValue) / inc) *
                            static_cast<long double>(inc));
  auto draw = [&](double value) {
    const int p = ValueToPixel(value);
    DrawTicksAndGrid(c3d, p, lastTick);
    if (Labels) DrawLabel(c3d, p, ValueLabelText(value));
  };
  if (LabelsOnAxis) {
    while (v > HighValue) v -= inc;
    while (v >= LowValue) {
      draw(v);
      v -= inc;
    }
  } else {
    while (v >= HighValue) v -= inc;
    while (v > LowValue) {
      draw(v);
      v -= inc;
    }
  }
}

void TChartAxis::DrawAxisLine(TKivCanvas3D& c3d) {
  ApplyChartPen(c3d.C(), Axis);
  const bool walls = chart_.View3D && chart_.View3DWalls;
  const int leftWall = walls ? chart_.LeftWall.Size : 0;
  const int bottomWall = walls ? chart_.BottomWall.Size : 0;
  switch (kind) {
    case AxisKind::Bottom: c3d.HorizLine3D(StartPixel - leftWall, EndPixel, LinePixel + bottomWall, 0); break;
    case AxisKind::Left: c3d.VertLine3D(LinePixel - leftWall, StartPixel, EndPixel + bottomWall, 0); break;
    case AxisKind::Top: c3d.HorizLine3D(StartPixel, EndPixel, LinePixel, chart_.DepthPixels); break;
    case AxisKind::Right: c3d.VertLine3D(LinePixel, StartPixel, EndPixel, chart_.DepthPixels); break;
    case AxisKind::Depth: break;
  }
}

void TChartAxis::Paint(TKivCanvas3D& c3d) {
  if (IsDepthAxis()) return;  // depth labels are not on this chart's path
  Canvas& c = c3d.C();
  const double inc = LabelIncrement(c);
  const Rect& plot = chart_.PlotRect;
  const int across = horizontal ? chart_.PlotHeight() : chart_.PlotWidth();
  const int offset = static_cast<int>(RoundToInt(across * 0.01L * PositionPercent));
  switch (kind) {
    case AxisKind::Bottom: LinePixel = plot.bottom - offset; break;
    case AxisKind::Top: LinePixel = plot.top + offset; break;
    case AxisKind::Left: LinePixel = plot.left + offset; break;
    default: LinePixel = plot.right - offset; break;
  }
  int lastTick = -1;
  if (inc > 0 && HighValue >= LowValue) {
    const TAxisLabelStyle style = ResolveLabelStyle();
    if (style == TAxisLabelStyle::talValue) DrawValueLabels(c3d, inc, lastTick);
    else if (style == TAxisLabelStyle::talText || style == TAxisLabelStyle::talMark)
      DrawTextLabels(c3d, style, lastTick);
  }
  if (Axis.Visible) DrawAxisLine(c3d);
}

}  // namespace dw::chart
