#include "chart/chart.h"

#include <algorithm>
#include <cstdlib>

#include "runtime/random.h"

namespace dw::chart {

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const int64_t p = static_cast<int64_t>(a) * b;
  const int64_t half = std::llabs(c) / 2;
  // Half away from zero, as the platform's MulDiv.
  const int64_t q = ((p < 0) != (c < 0)) ? (p - ((p < 0) ? half : -half)) / c
                                          : (p + ((p < 0) ? -half : half)) / c;
  return static_cast<int>(q);
}

int LineHeight(Canvas& canvas) { return canvas.TextHeight("W"); }

// ---- TChart ----

TChart::TChart()
    : ChartPart(&notifier_), View3DOptions(&notifier_), Title(&notifier_, clBlue),
      Foot(&notifier_, clBlack), BackWall(&notifier_, AutoColor), LeftWall(&notifier_, clLightYellow),
      BottomWall(&notifier_, clWhite), LeftAxis(&notifier_, *this, AxisKind::Left),
      TopAxis(&notifier_, *this, AxisKind::Top), RightAxis(&notifier_, *this, AxisKind::Right),
      BottomAxis(&notifier_, *this, AxisKind::Bottom), DepthAxis(&notifier_, *this, AxisKind::Depth),
      axes_{&BottomAxis, &TopAxis, &LeftAxis, &RightAxis, &DepthAxis} {
  BackWall.Brush.Style = BrushStyle::Clear;
  notifier_.listener = this;  // changes made before this point do not invalidate
}

TChart::~TChart() {
  for (auto& s : series_) s->SetParentChart(nullptr);
}

void TChart::SetChart3DPercent(int v) {
  if (v < 1 || v > 100) throw ChartException("3D effect percent must be between 1 and 100");
  if (v == chart3DPercent_) return;
  chart3DPercent_ = v;
  Invalidate();
}

TBarSeries& TChart::AddBarSeries() {
  auto series = std::make_unique<TBarSeries>();
  TBarSeries& s = *series;
  series_.push_back(std::move(series));
  s.SetParentChart(this);
  return s;
}

int TChart::ActiveBarSeriesCount() const {
  int n = 0;
  for (const auto& s : series_)
    if (s->Active && dynamic_cast<const TBarSeries*>(s.get())) ++n;
  return n;
}

void TChart::Invalidate() {
  if (loading_) return;
  canvas3D.dirty = true;
  if (repaintRequest_) repaintRequest_();
}

void TChart::RepaintNow() {
  if (!immediateRepaint_) return Invalidate();
  if (loading_) return;
  canvas3D.dirty = true;
  immediateRepaint_();
}

void TChart::NormalizePlotRect() {
  Rect& r = PlotRect;
  r.left = std::max(r.left, PanelRect.left);
  r.top = std::max(r.top, PanelRect.top);
  if (r.right < r.left) r.right = r.left + 1;
  if (r.right == r.left) r.right = r.left + ControlWidth;
  if (r.bottom < r.top) r.bottom = r.top + 1;
  if (r.bottom == r.top) r.bottom = r.top + ControlHeight;
}

TBarSeries& ConfigureResultsChart(TChart& chart) {
  chart.BeginLoading();
  chart.ControlWidth = 689;
  chart.ControlHeight = 449;
  chart.PrintWidth = 689;
  chart.PrintHeight = 449;
  chart.Color = clWhite;
  chart.SetBackColor(clWhite);
  chart.BackWall.Brush.Color = clWhite;  // its style stays clear: the panel shows through
  chart.Title.Text.SetLines({"Histogram of simulated values of Delta"});
  chart.Title.Font.Name = std::string("Arial");
  chart.Title.Font.Height = -13;
  chart.Title.Font.Color = clBlack;
  chart.Title.Color = clWhite;
  chart.LegendVisible = false;
  chart.PrintProportional = false;
  chart.BottomAxis.SetLabelsAngle(90);
  chart.LeftAxis.Labels = false;
  chart.LeftAxis.LabelStyle = TAxisLabelStyle::talText;
  chart.RightAxis.Labels = false;
  chart.DepthAxis.Labels = false;
  chart.TopAxis.LabelStyle = TAxisLabelStyle::talValue;
  TBarSeries& series = chart.AddBarSeries();
  series.SeriesColor = clRed;
  series.Marks.Visible = true;
  series.Marks.Style = TSeriesMarksStyle::smsValue;
  series.Marks.BackColor = clWhite;
  series.Marks.ArrowLength = 20;
  series.XValues.Name = std::string("X");
  series.XValues.Order = TChartListOrder::loAscending;
  series.YValues.Name = std::string("Bar");
  series.YValues.Order = TChartListOrder::loNone;
  chart.EndLoading();
  return series;
}

// ---- one paint ----

void ComputePlotRect(TChart& chart) {
  const Rect& p = chart.PanelRect;
  const int W = p.Width(), H = p.Height(), b = chart.BorderWidth;
  chart.PlotRect = {p.left + b + MulDiv(chart.MarginLeft, W, 100),
                    p.top + b + MulDiv(chart.MarginTop, H, 100),
                    p.right - b - MulDiv(chart.MarginRight, W, 100),
                    p.bottom - b - MulDiv(chart.MarginBottom, H, 100)};
  chart.NormalizePlotRect();
}

void PlaceAndPaintTitle(TChart& chart, Canvas& canvas, TChartTitle& block, bool isTitle) {
  const int lines = block.Text.Count();
  if (!block.Visible || lines == 0) return;  // no lines: no room, nothing painted
  canvas.SetFont(block.Font.Resolved(canvas.PixelsPerInch()));
  const int h = LineHeight(canvas);

  if (block.Color == AutoColor) {
    if (block.Brush.Style != BrushStyle::Solid) {
      canvas.SetBrush({block.Brush.Color, block.Brush.Style});
      canvas.SetBackMode(BackMode::Transparent);
    } else if (block.Brush.Color == AutoColor) {
      canvas.SetBrush({clWhite, BrushStyle::Clear});
    } else {
      canvas.SetBrush({block.Brush.Color, BrushStyle::Solid});
    }
  } else if (block.Brush.Style != BrushStyle::Solid) {
    canvas.SetBrush({block.Brush.Color, block.Brush.Style});
    canvas.SetBackMode(BackMode::Opaque);
    canvas.SetBackColor(block.Color);
  } else {
    canvas.SetBrush({block.Color, BrushStyle::Solid});
  }

  const int f = block.Frame.Visible && block.Frame.Color != AutoColor ? block.Frame.Width() : 0;
  const int l = chart.PlotRect.left + f, r = chart.PlotRect.right - f;
  Rect box{l, 0, r, 0};
  if (isTitle) {
    box.top = chart.PlotRect.top + f;
    box.bottom = box.top + lines * h;
  } else {
    box.bottom = chart.PlotRect.bottom - f;
    box.top = box.bottom - lines * h;
  }
  int inflate = 0;
  if (block.Frame.Visible) {
    ApplyChartPen(canvas, block.Frame);
    inflate = block.Frame.Width;
  } else {
    PenSpec pen = canvas.Pen();
    pen.style = PenStyle::Clear;
    canvas.SetPen(pen);
  }
  box = {box.left - inflate, box.top - inflate, box.right + inflate, box.bottom + inflate};

  int widest = 0;
  for (const std::string& line : block.Text.Lines()) widest = std::max(widest, canvas.TextWidth(line));
  if (block.Frame.Visible || canvas.Brush().style != BrushStyle::Clear) {
    Rect frame = box;
    if (block.AdjustFrame) {
      const int w = canvas.TextWidth("W") + widest;
      switch (block.Alignment) {
        case TAlignment::taLeftJustify: frame.right = frame.left + w; break;
        case TAlignment::taRightJustify: frame.left = frame.right - w; break;
        case TAlignment::taCenter: {
          const int m = (frame.left + frame.right) / 2;
          frame.left = m - w / 2;
          frame.right = m + w / 2;
          break;
        }
      }
    }
    canvas.Rectangle(frame);
    block.LastTitleBox = frame;
  }

  canvas.SetBackMode(BackMode::Transparent);
  canvas.SetTextAlign(HAlign::Left, VAlign::Top);
  const int wHalf = canvas.TextWidth("W") / 2;
  for (int i = 0; i < lines; ++i) {
    const std::string& line = block.Text[isTitle ? i : lines - 1 - i];
    const int width = canvas.TextWidth(line);
    int x = (l + r) / 2 - width / 2;
    if (block.Alignment == TAlignment::taLeftJustify) x = l + wHalf;
    if (block.Alignment == TAlignment::taRightJustify) x = r - width - wHalf;
    const int y = isTitle ? box.top + i * h : box.bottom - (i + 1) * h;
    canvas.TextOut({x, y}, line);
  }

  if (isTitle) chart.PlotRect.top = box.top + lines * h + (block.Frame.Visible ? f : 0) + 5;
  else chart.PlotRect.bottom = box.bottom - lines * h - (block.Frame.Visible ? f : 0) - 5;
  chart.NormalizePlotRect();
}

void ComputeDepth(TChart& chart) {
  if (!chart.View3D) {
    chart.SeriesDepth = chart.DepthPixels = 0;
    return;
  }
  long double f = chart.Chart3DPercent() * 0.001L;
  if (!chart.View3DOptions.Orthogonal) f *= 2;
  chart.SeriesDepth = static_cast<int>(RoundToInt(f * chart.PlotWidth()));
  chart.DepthPixels = std::max(1, chart.LastDepthSlot + 1) * chart.SeriesDepth;
}

namespace {

// True when the wall fills (its slab sides may then be darkened).
bool ApplyWallBrush(Canvas& canvas, const TChartWall& wall) {
  if (wall.Color == AutoColor && wall.Brush.Style == BrushStyle::Solid) {
    canvas.SetBrush({clWhite, BrushStyle::Clear});
    return false;
  }
  PrepareFillBrush(canvas, wall.Color, wall.Brush.Style, wall.Brush.Color);
  return wall.Brush.Style != BrushStyle::Clear;
}

}  // namespace

void PaintWalls(TChart& chart, TKivCanvas3D& c3d) {
  Canvas& c = c3d.C();
  const Rect& p = chart.PlotRect;
  const int depth = chart.DepthPixels;
  if (!c3d.is3D || !chart.View3DWalls) {
    ApplyChartPen(c, chart.BackWall.Pen);
    ApplyWallBrush(c, chart.BackWall);
    c.Rectangle({p.left, p.top, p.right + 1, p.bottom});
    return;
  }
  const int leftSize = chart.LeftWall.Size, bottomSize = chart.BottomWall.Size;

  ApplyChartPen(c, chart.BackWall.Pen);
  bool fills = ApplyWallBrush(c, chart.BackWall);
  if (chart.BackWall.Size == 0)
    c3d.RectangleWithZ({p.left + 1, p.top - 1, p.right, p.bottom}, depth);
  else
    c3d.DrawBox3D(p.left - leftSize, p.right, p.top, p.bottom + bottomSize, depth,
                  depth + chart.BackWall.Size, fills && chart.BackWall.Dark3D);

  ApplyChartPen(c, chart.LeftWall.Pen);
  fills = ApplyWallBrush(c, chart.LeftWall);
  if (leftSize == 0)
    c3d.RectangleZ(p.left, p.top, p.bottom + bottomSize, 0, depth + 1);
  else
    c3d.DrawBox3D(p.left - leftSize, p.left, p.top, p.bottom + bottomSize, 0, depth + 1,
                  fills && chart.LeftWall.Dark3D);

  ApplyChartPen(c, chart.BottomWall.Pen);
  fills = ApplyWallBrush(c, chart.BottomWall);
  if (bottomSize == 0)
    c3d.RectangleY(p.bottom, p.left, p.right, 0, depth);
  else
    c3d.DrawBox3D(p.left, p.right, p.bottom, p.bottom + bottomSize, 0, depth,
                  fills && chart.BottomWall.Dark3D);
}

namespace {

void PaintBackground(TChart& chart, Canvas& c) {
  if (chart.PrintingInProgress) return;
  c.SetBrush({chart.Color, BrushStyle::Solid});
  c.FillRect(chart.PanelRect);
  // Raised outer bevel, 1 pixel: light top and left, shadow bottom and right.
  const Rect& r = chart.PanelRect;
  c.SetBrush({chart.Color, BrushStyle::Clear});
  for (int k = 0; k < chart.BevelWidth; ++k) {
    if (chart.BevelOuter == TPanelBevel::bvNone) break;
    const bool raised = chart.BevelOuter == TPanelBevel::bvRaised;
    const Color light = raised ? clWhite : clGray, dark = raised ? clGray : clWhite;
    c.SetPen({light, PenStyle::Solid, 1, PenMode::Copy});
    c.Line({r.left + k, r.bottom - 1 - k}, {r.left + k, r.top + k});
    c.Line({r.left + k, r.top + k}, {r.right - 1 - k, r.top + k});
    c.SetPen({dark, PenStyle::Solid, 1, PenMode::Copy});
    c.Line({r.right - 1 - k, r.top + k}, {r.right - 1 - k, r.bottom - 1 - k});
    c.Line({r.right - 1 - k, r.bottom - 1 - k}, {r.left + k, r.bottom - 1 - k});
  }
}

void LayOutAxes(TChart& chart, Canvas& c) {
  for (int i = 0; i < TChart::kAxisCount; ++i) chart.Axes(i)->CalcAutomaticRange();
  ComputeDepth(chart);
  if (chart.View3D && chart.View3DOptions.Orthogonal) {
    const int back = chart.View3DWalls ? chart.BackWall.Size() : 0;
    chart.PlotRect.right -= back + chart.DepthPixels;
    chart.PlotRect.top += back + chart.DepthPixels;
    chart.NormalizePlotRect();
  }
  Rect R = chart.PlotRect;
  for (int i = 0; i < TChart::kAxisCount; ++i) {
    TChartAxis& axis = *chart.Axes(i);
    if (!axis.IsVisible()) continue;
    const Rect s = axis.ReserveAxisSpace(c, R);
    const Rect meet{std::max(s.left, R.left), std::max(s.top, R.top), std::min(s.right, R.right),
                    std::min(s.bottom, R.bottom)};
    if (meet.left < meet.right && meet.top < meet.bottom) R = meet;
  }
  chart.PlotRect = R;
  chart.NormalizePlotRect();
  for (int i = 0; i < TChart::kAxisCount; ++i) chart.Axes(i)->CalcPixels();
}

void ApplySeriesMargins(TChart& chart, Canvas& c) {
  TChartAxis* order[] = {&chart.TopAxis, &chart.LeftAxis, &chart.RightAxis, &chart.BottomAxis};
  for (TChartAxis* axis : order) {
    AxisMargins m;
    for (int i = 0; i < chart.SeriesCount(); ++i) {
      TChartSeries& s = chart.Series(i);
      if (!s.Active || !s.AttachedTo(*axis)) continue;
      const AxisMargins sm = axis->horizontal ? s.HorizontalMargins(chart) : s.VerticalMargins(chart, c);
      // Left/top margins belong to the low end of a horizontal axis and the
      // high end of a vertical one.
      const bool startAutomatic = axis->horizontal ? axis->AutomaticMinimum() : axis->AutomaticMaximum();
      const bool endAutomatic = axis->horizontal ? axis->AutomaticMaximum() : axis->AutomaticMinimum();
      if (startAutomatic) m.start = std::max(m.start, sm.start);
      if (endAutomatic) m.end = std::max(m.end, sm.end);
    }
    axis->WidenRangeByPixels(m.start, m.end);
  }
}

void PaintSeries(TChart& chart, TKivCanvas3D& c3d) {
  Canvas& c = c3d.C();
  for (int i = 0; i < chart.SeriesCount(); ++i) {
    TChartSeries& s = chart.Series(i);
    if (!s.Active) continue;
    s.CalcVisibleRange(chart);
    const Rect& p = chart.PlotRect;
    if (chart.ClipPoints) {
      if (c3d.is3D) {
        const auto outline = c3d.ClipOutline(p, chart.DepthPixels);
        c.ClipToPolygon(outline);
      } else {
        c.ClipToRect({p.left + 1, p.top + 1, p.right, p.bottom - 1});
      }
    }
    s.DrawPoints(chart, c3d);
    if (chart.ClipPoints && !s.Marks.Clip) c.RemoveClip();
    s.DrawMarks(chart, c3d);
    if (chart.ClipPoints && s.Marks.Clip) c.RemoveClip();
  }
}

void RenderContents(TChart& chart, TKivCanvas3D& c3d) {
  Canvas& c = c3d.C();
  PaintBackground(chart, c);
  for (int i = 0; i < chart.SeriesCount(); ++i)
    if (chart.Series(i).Active) chart.Series(i).PrepareForPaint();
  PlaceAndPaintTitle(chart, c, chart.Title, true);
  PlaceAndPaintTitle(chart, c, chart.Foot, false);

  chart.LastDepthSlot = 0;
  if (c3d.is3D) {
    chart.LastDepthSlot = -1;
    for (int i = 0; i < chart.SeriesCount(); ++i)
      if (chart.Series(i).Active) chart.Series(i).depthSlot = ++chart.LastDepthSlot;
  }
  LayOutAxes(chart, c);
  for (int i = 0; i < chart.SeriesCount(); ++i) {
    TChartSeries& s = chart.Series(i);
    if (!s.Active) continue;
    // The first series sits furthest back.
    const int index = c3d.is3D ? chart.LastDepthSlot - s.depthSlot : 0;
    s.startZ = chart.SeriesDepth * index;
    s.endZ = s.startZ + chart.SeriesDepth;
    s.middleZ = (s.startZ + s.endZ) / 2;
  }
  ApplySeriesMargins(chart, c);
  // The text labels of the axes run over the series' visible points.
  for (int i = 0; i < chart.SeriesCount(); ++i)
    if (chart.Series(i).Active) chart.Series(i).CalcVisibleRange(chart);

  c3d.center = chart.PlotCenter();
  c3d.offsetCenter = {c3d.center.x + chart.View3DOptions.HorizOffset,
                      c3d.center.y + chart.View3DOptions.VertOffset};
  c3d.depthCenter = chart.DepthPixels / 2;

  PaintWalls(chart, c3d);
  // Axes first, so bars and marks cover the grid lines.
  if (chart.AxisVisible)
    for (int i = 0; i < TChart::kAxisCount; ++i)
      if (chart.Axes(i)->IsVisible()) chart.Axes(i)->Paint(c3d);
  PaintSeries(chart, c3d);
  // A repaint during a drag would otherwise lose the rubber band.
  if (chart.ZoomDrag.Active) DrawZoomRectangle(chart, c);

  c.SetPen({clBlack, PenStyle::Solid, 1, PenMode::Copy});
  c.SetBrush({clWhite, BrushStyle::Solid});
  FontSpec font;
  font.height = -MulDiv(10, c.PixelsPerInch(), 72);
  c.SetFont(font);
  c.SetBackColor(clWhite);
  c.SetBackMode(BackMode::Transparent);
}

}  // namespace

void DrawChart(TChart& chart, Canvas& canvas, const Rect& rect) {
  TKivCanvas3D& c3d = chart.canvas3D;
  c3d.is3D = chart.View3D;
  c3d.orthogonal = chart.View3DOptions.Orthogonal;
  c3d.zoomText = chart.View3DOptions.ZoomText;
  c3d.zoom = chart.View3D ? chart.View3DOptions.Zoom * 0.01 : 1.0;
  if (c3d.buffered) {
    const int w = rect.Width(), h = rect.Height();
    if (!c3d.bitmap || c3d.bitmap->Width() != w || c3d.bitmap->Height() != h) {
      c3d.bitmap.reset();
      c3d.bitmap = canvas.CreateBitmap(w, h, chart.Monochrome);
    }
    c3d.canvas = &c3d.bitmap->Surface();
    chart.PanelRect = {0, 0, w, h};
  } else {
    c3d.canvas = &canvas;
    chart.PanelRect = rect;
  }
  ComputePlotRect(chart);
  RenderContents(chart, c3d);
  if (c3d.buffered) canvas.DrawBitmap({rect.left, rect.top}, *c3d.bitmap);
  c3d.dirty = false;
  c3d.canvas = &canvas;
}

void PaintChart(TChart& chart, Canvas& windowCanvas, const Rect& clientRect) {
  if (chart.PrintingInProgress) return;
  TKivCanvas3D& c3d = chart.canvas3D;
  if (c3d.buffered && !c3d.dirty && c3d.bitmap && c3d.bitmap->Width() == clientRect.Width() &&
      c3d.bitmap->Height() == clientRect.Height()) {
    windowCanvas.DrawBitmap({clientRect.left, clientRect.top}, *c3d.bitmap);
    return;
  }
  DrawChart(chart, windowCanvas, clientRect);
}

}  // namespace dw::chart
