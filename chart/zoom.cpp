#include "chart/zoom.h"

#include <algorithm>
#include <cstdlib>

#include "chart/chart.h"

namespace dw::chart {

namespace {

// The order of SavedAxisState.
std::array<TChartAxis*, 4> SavedAxes(TChart& chart) {
  return {&chart.TopAxis, &chart.BottomAxis, &chart.LeftAxis, &chart.RightAxis};
}

// Left and top edges inside, right and bottom outside, as the platform's
// point-in-rectangle test.
bool Contains(const Rect& r, Point p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

int ActiveSeriesCount(const TChart& chart) {
  int n = 0;
  for (int i = 0; i < chart.SeriesCount(); ++i)
    if (chart.Series(i).Active) ++n;
  return n;
}

TDragRecord Ordered(TDragRecord r) {
  if (r.X0 > r.X1) std::swap(r.X0, r.X1);
  if (r.Y0 > r.Y1) std::swap(r.Y0, r.Y1);
  return r;
}

// Moves every non-depth axis of one direction by the value between two
// pixels, so that the drawing follows the pointer.
void ScrollAxes(TChart& chart, const TChartLayout& layout, bool horizontal, int from, int to) {
  for (int i = 0; i < TChart::kAxisCount; ++i) {
    TChartAxis& axis = *chart.Axes(i);
    if (axis.IsDepthAxis() || axis.horizontal != horizontal) continue;
    const TAxisLayout& drawn = layout.Of(axis);
    const long double d = static_cast<long double>(drawn.PixelToValue(from)) - drawn.PixelToValue(to);
    double minimum = static_cast<double>(axis.Minimum() + d);
    double maximum = static_cast<double>(axis.Maximum() + d);
    if (chart.OnAllowScroll && !chart.OnAllowScroll(axis, minimum, maximum)) continue;
    axis.SetMinMax(minimum, maximum);
  }
}

void ScrollTo(TChart& chart, const TChartLayout& layout, Point p) {
  TDragRecord& s = chart.ScrollDrag;
  if (!Contains(layout.plot, p)) {
    s.Active = false;
    return;
  }
  if (p.x == s.X1 && p.y == s.Y1) return;
  SaveAxisState(chart);
  const TPanningMode mode = chart.AllowPanning;
  bool scrolled = false;
  if (p.x != s.X1 && (mode == TPanningMode::pmHorizontal || mode == TPanningMode::pmBoth)) {
    ScrollAxes(chart, layout, true, s.X1, p.x);
    scrolled = true;
  }
  if (p.y != s.Y1 && (mode == TPanningMode::pmVertical || mode == TPanningMode::pmBoth)) {
    ScrollAxes(chart, layout, false, s.Y1, p.y);
    scrolled = true;
  }
  s.X1 = p.x;
  s.Y1 = p.y;
  if (!scrolled) return;
  if (chart.OnScroll) chart.OnScroll();
  chart.Invalidate();
}

}  // namespace

bool InAxisClickArea(const TAxisLayout& axis, Point p) {
  const int along = axis.horizontal ? p.x : p.y, across = axis.horizontal ? p.y : p.x;
  if (along < std::min(axis.startPixel, axis.endPixel) ||
      along > std::max(axis.startPixel, axis.endPixel))
    return false;
  int first = std::min(axis.labelPixel, axis.linePixel);
  int last = std::max(axis.labelPixel, axis.linePixel);
  if (axis.labelPixel <= axis.linePixel) last += 3;
  else first -= 3;
  return across >= first && across <= last;
}

ChartHit HitTest(const TChart& chart, const TChartLayout& layout, Point p) {
  for (int i = chart.SeriesCount() - 1; i >= 0; --i) {
    TChartSeries& s = chart.Series(i);
    if (!s.Active) continue;
    const int point = s.Clicked(chart, layout, p);
    if (point >= 0) return {ChartPartKind::Series, &s, point, nullptr};
  }
  // The depth axis is not drawn across the panel, so it has no click area.
  for (int i = 0; i < TChart::kAxisCount; ++i) {
    TChartAxis* axis = chart.Axes(i);
    if (!axis->IsDepthAxis() && axis->IsVisible() && InAxisClickArea(layout.Of(*axis), p))
      return {ChartPartKind::Axis, nullptr, -1, axis};
  }
  if (chart.Title.Visible && layout.title.boxed && Contains(layout.title.box, p))
    return {ChartPartKind::Title};
  if (chart.Foot.Visible && layout.foot.boxed && Contains(layout.foot.box, p)) return {ChartPartKind::Foot};
  if (ActiveSeriesCount(chart) > 0 && Contains(layout.plot, p)) return {ChartPartKind::Plot};
  // This chart paints no legend, so no legend item can lie under the point.
  return {};
}

bool ChartMouseDown(TChart& chart, const TChartLayout& layout, MouseButton button, unsigned keys,
                    Point p, Canvas& control) {
  if (chart.ZoomDrag.Active || chart.ScrollDrag.Active) return false;
  const ChartPartKind part = HitTest(chart, layout, p).part;
  if (part != ChartPartKind::Series && part != ChartPartKind::Axis && part != ChartPartKind::Plot)
    return false;
  if (button == kZoomButton && chart.AllowZoom && (keys & kZoomKeys) == kZoomKeys) {
    chart.ZoomDrag = {p.x, p.y, p.x, p.y, true};
    DrawZoomRectangle(chart, control);
    return true;
  }
  if (button == kScrollButton && chart.AllowPanning != TPanningMode::pmNone &&
      (keys & kScrollKeys) == kScrollKeys) {
    chart.ScrollDrag = {p.x, p.y, p.x, p.y, true};
    return true;
  }
  return false;
}

void ChartMouseMove(TChart& chart, const TChartLayout& layout, Point p, Canvas& control) {
  TDragRecord& z = chart.ZoomDrag;
  if (z.Active) {
    // The band follows the pointer anywhere, also outside the plot.
    if (p.x == z.X1 && p.y == z.Y1) return;
    DrawZoomRectangle(chart, control);
    z.X1 = p.x;
    z.Y1 = p.y;
    DrawZoomRectangle(chart, control);
    return;
  }
  if (chart.ScrollDrag.Active) ScrollTo(chart, layout, p);
}

void ChartMouseUp(TChart& chart, const TChartLayout& layout, MouseButton button, Point p,
                  Canvas& control) {
  TDragRecord& z = chart.ZoomDrag;
  if (z.Active && button == kZoomButton) {
    z.Active = false;
    DrawZoomRectangle(chart, control);
    PenSpec pen = control.Pen();
    pen.mode = PenMode::Copy;
    control.SetPen(pen);
    z.X1 = p.x;
    z.Y1 = p.y;
    if (std::abs(z.X1 - z.X0) > kMinimumZoomDrag && std::abs(z.Y1 - z.Y0) > kMinimumZoomDrag) {
      // Right and down zooms; any other direction undoes.
      if (z.X0 < z.X1 && z.Y0 < z.Y1) ZoomToRectangle(chart, layout);
      else UndoZoom(chart);
      chart.Invalidate();
    }
  }
  chart.ScrollDrag.Active = false;
}

void ChartMouseLeave(TChart& chart) { chart.ScrollDrag.Active = false; }

void DrawZoomRectangle(const TChart& chart, Canvas& canvas) {
  const Color rgb = ColorToRGB(chart.Color);
  canvas.SetPen({rgb == clWhite ? clBlack : rgb, PenStyle::Solid, 1, PenMode::NotXor});
  canvas.SetBrush({canvas.Brush().color, BrushStyle::Clear});
  // Ordered, so that a drag up or left shows its band too.
  const TDragRecord r = Ordered(chart.ZoomDrag);
  canvas.Rectangle({r.X0, r.Y0, r.X1, r.Y1});
}

ZoomRanges RectangleRanges(const TChart& chart, const TChartLayout& layout) {
  const TDragRecord r = Ordered(chart.ZoomDrag);
  // Pixels grow downward: the rectangle's bottom is a vertical axis' minimum.
  auto across = [&](const TChartAxis& axis) {
    const TAxisLayout& a = layout.Of(axis);
    return AxisRange{a.PixelToValue(r.Y1), a.PixelToValue(r.Y0)};
  };
  auto along = [&](const TChartAxis& axis) {
    const TAxisLayout& a = layout.Of(axis);
    return AxisRange{a.PixelToValue(r.X0), a.PixelToValue(r.X1)};
  };
  return {across(chart.LeftAxis), across(chart.RightAxis), along(chart.TopAxis),
          along(chart.BottomAxis)};
}

void ZoomToRectangle(TChart& chart, const TChartLayout& layout) {
  chart.ZoomDrag = Ordered(chart.ZoomDrag);
  ZoomToValues(chart, RectangleRanges(chart, layout));
}

void ZoomToValues(TChart& chart, const ZoomRanges& target) {
  SaveAxisState(chart);
  TChartAxis* axes[] = {&chart.LeftAxis, &chart.RightAxis, &chart.TopAxis, &chart.BottomAxis};
  const AxisRange* ranges[] = {&target.left, &target.right, &target.top, &target.bottom};
  if (chart.AnimatedZoom) {
    for (int step = 1; step < chart.AnimatedZoomSteps; ++step) {
      for (int k = 0; k < 4; ++k) {
        TChartAxis& a = *axes[k];
        const long double lo = a.Minimum(), hi = a.Maximum();
        const long double minimum = lo + (ranges[k]->minimum - lo) / kAnimatedZoomFactor;
        const long double maximum = hi - (hi - ranges[k]->maximum) / kAnimatedZoomFactor;
        a.SetMinMax(static_cast<double>(minimum), static_cast<double>(maximum));
      }
      chart.RepaintNow();
    }
  }
  for (int k = 0; k < 4; ++k) axes[k]->SetMinMax(ranges[k]->minimum, ranges[k]->maximum);
  chart.IsZoomed = true;
  if (chart.OnZoom) chart.OnZoom();
}

void SaveAxisState(TChart& chart) {
  if (!chart.NoSavedState) return;
  const auto axes = SavedAxes(chart);
  for (size_t k = 0; k < axes.size(); ++k) {
    const TChartAxis& a = *axes[k];
    chart.SavedAxisState[k] = {a.Automatic, a.AutomaticMinimum, a.AutomaticMaximum, a.Minimum(),
                               a.Maximum()};
  }
  chart.NoSavedState = false;
}

void UndoZoom(TChart& chart) {
  if (!chart.NoSavedState) {
    const auto axes = SavedAxes(chart);
    for (size_t k = 0; k < axes.size(); ++k) {
      TChartAxis& a = *axes[k];
      const TAxisSavedState& s = chart.SavedAxisState[k];
      a.Automatic = s.Automatic;
      a.AutomaticMinimum = s.AutomaticMinimum;
      a.AutomaticMaximum = s.AutomaticMaximum;
      if (!s.Automatic) a.SetMinMax(s.Minimum, s.Maximum);
    }
  }
  chart.NoSavedState = true;
  if (chart.OnUndoZoom) chart.OnUndoZoom();
  chart.Invalidate();
  chart.IsZoomed = false;
}

}  // namespace dw::chart
