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

// ---- the layout ----

Rect NormalizedPlot(const TChart& chart, Rect r, const Rect& panel) {
  r.left = std::max(r.left, panel.left);
  r.top = std::max(r.top, panel.top);
  if (r.right < r.left) r.right = r.left + 1;
  if (r.right == r.left) r.right = r.left + chart.ControlWidth;
  if (r.bottom < r.top) r.bottom = r.top + 1;
  if (r.bottom == r.top) r.bottom = r.top + chart.ControlHeight;
  return r;
}

Rect MarginRect(const TChart& chart, const Rect& p) {
  const int W = p.Width(), H = p.Height(), b = chart.BorderWidth;
  return NormalizedPlot(chart,
                        {p.left + b + MulDiv(chart.MarginLeft, W, 100),
                         p.top + b + MulDiv(chart.MarginTop, H, 100),
                         p.right - b - MulDiv(chart.MarginRight, W, 100),
                         p.bottom - b - MulDiv(chart.MarginBottom, H, 100)},
                        p);
}

namespace {

// The brush style the block's box is drawn with: no box shows under a clear
// brush unless the frame is visible.
BrushStyle TitleBrushStyle(const TChartTitle& block) {
  if (block.Brush.Style != BrushStyle::Solid) return block.Brush.Style;
  return block.Color == AutoColor && block.Brush.Color == AutoColor ? BrushStyle::Clear
                                                                     : BrushStyle::Solid;
}

}  // namespace

TTitleLayout PlaceTitle(const TChart& chart, const TChartTitle& block, bool isTitle,
                        TextMeasure& measure, const Rect& panel, Rect& plot) {
  TTitleLayout placed;
  const int lines = block.Text.Count();
  if (!block.Visible || lines == 0) return placed;  // no lines: no room, nothing painted
  placed.shown = true;
  const FontSpec font = block.Font.Resolved(measure.PixelsPerInch());
  const int h = measure.LineHeightIn(font);
  const int f = block.Frame.Visible && block.Frame.Color != AutoColor ? block.Frame.Width() : 0;
  const int l = plot.left + f, r = plot.right - f;
  Rect box{l, 0, r, 0};
  if (isTitle) {
    box.top = plot.top + f;
    box.bottom = box.top + lines * h;
  } else {
    box.bottom = plot.bottom - f;
    box.top = box.bottom - lines * h;
  }
  const int inflate = block.Frame.Visible ? block.Frame.Width() : 0;
  box = {box.left - inflate, box.top - inflate, box.right + inflate, box.bottom + inflate};

  const int wWidth = measure.TextWidthIn(font, "W");
  if (block.Frame.Visible || TitleBrushStyle(block) != BrushStyle::Clear) {
    Rect frame = box;
    if (block.AdjustFrame) {
      int widest = 0;
      for (const std::string& line : block.Text.Lines())
        widest = std::max(widest, measure.TextWidthIn(font, line));
      const int w = wWidth + widest;
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
    placed.boxed = true;
    placed.box = frame;
  }

  for (int i = 0; i < lines; ++i) {
    const int index = isTitle ? i : lines - 1 - i;
    const int width = measure.TextWidthIn(font, block.Text[index]);
    int x = (l + r) / 2 - width / 2;
    if (block.Alignment == TAlignment::taLeftJustify) x = l + wWidth / 2;
    if (block.Alignment == TAlignment::taRightJustify) x = r - width - wWidth / 2;
    const int y = isTitle ? box.top + i * h : box.bottom - (i + 1) * h;
    placed.lines.push_back({index, {x, y}});
  }

  if (isTitle) plot.top = box.top + lines * h + (block.Frame.Visible ? f : 0) + 5;
  else plot.bottom = box.bottom - lines * h - (block.Frame.Visible ? f : 0) - 5;
  plot = NormalizedPlot(chart, plot, panel);
  return placed;
}

void ComputeDepth(const TChart& chart, int slabs, TChartLayout& layout) {
  if (!chart.View3D) {
    layout.seriesDepth = layout.depthPixels = 0;
    return;
  }
  long double f = chart.Chart3DPercent() * 0.001L;
  if (!chart.View3DOptions.Orthogonal) f *= 2;
  layout.seriesDepth = static_cast<int>(RoundToInt(f * layout.PlotWidth()));
  layout.depthPixels = std::max(1, slabs) * layout.seriesDepth;
}

namespace {

// The 3D box is carved out of the plot, then each visible axis takes its
// room; the axes' pixels follow the plot that is left.
void LayOutAxes(const TChart& chart, TextMeasure& measure, const Rect& panel, int slabs,
                TChartLayout& layout) {
  for (int i = 0; i < TChart::kAxisCount; ++i) layout.axes[size_t(i)] = chart.Axes(i)->StartLayout();
  ComputeDepth(chart, slabs, layout);
  if (chart.View3D && chart.View3DOptions.Orthogonal) {
    const int back = chart.View3DWalls ? chart.BackWall.Size() : 0;
    layout.plot.right -= back + layout.depthPixels;
    layout.plot.top += back + layout.depthPixels;
    layout.plot = NormalizedPlot(chart, layout.plot, panel);
  }
  Rect R = layout.plot;
  for (int i = 0; i < TChart::kAxisCount; ++i) {
    const TChartAxis& axis = *chart.Axes(i);
    if (!axis.IsVisible()) continue;
    const Rect s = axis.ReserveAxisSpace(measure, layout, layout.axes[size_t(i)], R);
    const Rect meet{std::max(s.left, R.left), std::max(s.top, R.top), std::min(s.right, R.right),
                    std::min(s.bottom, R.bottom)};
    if (meet.left < meet.right && meet.top < meet.bottom) R = meet;
  }
  layout.plot = NormalizedPlot(chart, R, panel);
  for (int i = 0; i < TChart::kAxisCount; ++i) chart.Axes(i)->PlacePixels(layout, layout.axes[size_t(i)]);
}

void ApplySeriesMargins(const TChart& chart, TextMeasure& measure, TChartLayout& layout) {
  const TChartAxis* order[] = {&chart.TopAxis, &chart.LeftAxis, &chart.RightAxis, &chart.BottomAxis};
  for (const TChartAxis* axis : order) {
    AxisMargins m;
    for (int i = 0; i < chart.SeriesCount(); ++i) {
      const TChartSeries& s = chart.Series(i);
      if (!s.Active || !s.AttachedTo(*axis)) continue;
      const AxisMargins sm = axis->horizontal
                                 ? s.HorizontalMargins(chart, layout, layout.series[size_t(i)])
                                 : s.VerticalMargins(chart, layout, measure);
      // Left/top margins belong to the low end of a horizontal axis and the
      // high end of a vertical one.
      const bool startAutomatic = axis->horizontal ? axis->AutomaticMinimum() : axis->AutomaticMaximum();
      const bool endAutomatic = axis->horizontal ? axis->AutomaticMaximum() : axis->AutomaticMinimum();
      if (startAutomatic) m.start = std::max(m.start, sm.start);
      if (endAutomatic) m.end = std::max(m.end, sm.end);
    }
    layout.Of(*axis).WidenByPixels(m.start, m.end);
  }
}

}  // namespace

TChartLayout LayOutChart(const TChart& chart, TextMeasure& measure, const Rect& panel) {
  TChartLayout layout;
  layout.panel = panel;
  layout.plot = MarginRect(chart, panel);
  layout.title = PlaceTitle(chart, chart.Title, true, measure, panel, layout.plot);
  layout.foot = PlaceTitle(chart, chart.Foot, false, measure, panel, layout.plot);

  // One slab of depth per active series in 3D, the first series furthest back.
  const bool is3D = chart.View3D;
  int slabs = 0;
  for (int i = 0; i < chart.SeriesCount(); ++i) {
    TSeriesLayout own;
    own.series = &chart.Series(i);
    if (own.series->Active) ++slabs;
    layout.series.push_back(own);
  }
  LayOutAxes(chart, measure, panel, is3D ? slabs : 1, layout);
  int slab = 0;
  for (TSeriesLayout& own : layout.series) {
    if (!own.series->Active) continue;
    const int index = is3D ? slabs - 1 - slab++ : 0;
    own.startZ = layout.seriesDepth * index;
    own.endZ = own.startZ + layout.seriesDepth;
    own.middleZ = (own.startZ + own.endZ) / 2;
  }
  ApplySeriesMargins(chart, measure, layout);
  // The text labels of the axes run over the series' visible points.
  for (TSeriesLayout& own : layout.series)
    if (own.series->Active) own.series->FindVisible(chart, layout, own);
  for (int i = 0; i < TChart::kAxisCount; ++i) chart.Axes(i)->PlaceLine(measure, layout, layout.axes[size_t(i)]);

  TProjection& p = layout.projection;
  p.is3D = is3D;
  p.zoom = is3D ? chart.View3DOptions.Zoom * 0.01 : 1.0;
  p.center = layout.PlotCenter();
  p.offsetCenter = {p.center.x + chart.View3DOptions.HorizOffset, p.center.y + chart.View3DOptions.VertOffset};
  p.depthCenter = layout.depthPixels / 2;
  return layout;
}

// ---- the drawing ----

void PaintTitle(Canvas& canvas, const TChartTitle& block, const TTitleLayout& placed) {
  if (!placed.shown) return;
  canvas.SetFont(block.Font.Resolved(canvas.PixelsPerInch()));
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
  if (block.Frame.Visible) {
    ApplyChartPen(canvas, block.Frame);
  } else {
    PenSpec pen = canvas.Pen();
    pen.style = PenStyle::Clear;
    canvas.SetPen(pen);
  }
  if (placed.boxed) canvas.Rectangle(placed.box);
  canvas.SetBackMode(BackMode::Transparent);
  canvas.SetTextAlign(HAlign::Left, VAlign::Top);
  for (const TTitleLayout::Line& line : placed.lines) canvas.TextOut(line.at, block.Text[line.index]);
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

void PaintWalls(const TChart& chart, const TChartLayout& layout, TKivCanvas3D& c3d) {
  Canvas& c = c3d.C();
  const Rect& p = layout.plot;
  const int depth = layout.depthPixels;
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

void PaintBackground(const TChart& chart, const Rect& r, Canvas& c) {
  if (chart.PrintingInProgress) return;
  c.SetBrush({chart.Color, BrushStyle::Solid});
  c.FillRect(r);
  // Raised outer bevel, 1 pixel: light top and left, shadow bottom and right.
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

// The band from the top of the 3D frame to the bottom of the plot, across
// the panel: marks that need not keep to the plot keep to it, so that a bar
// scrolled or zoomed out of the top of the plot puts no mark over the titles
// or the labels. Marks of a chart at rest lie inside it.
Rect MarkBand(const TChartLayout& layout) {
  const TProjection& p = layout.projection;
  return {layout.panel.left, p.ProjectPoint(layout.plot.left, layout.plot.top, layout.depthPixels).y,
          layout.panel.right, p.ProjectPoint(layout.plot.left, layout.plot.bottom, 0).y};
}

void PaintSeries(TChart& chart, const TChartLayout& layout, TKivCanvas3D& c3d) {
  Canvas& c = c3d.C();
  const Rect& p = layout.plot;
  for (int i = 0; i < chart.SeriesCount(); ++i) {
    TChartSeries& s = chart.Series(i);
    if (!s.Active) continue;
    if (chart.ClipPoints) {
      if (c3d.is3D) {
        const auto outline = c3d.ClipOutline(p, layout.depthPixels);
        c.ClipToPolygon(outline);
      } else {
        c.ClipToRect({p.left + 1, p.top + 1, p.right, p.bottom - 1});
      }
    }
    s.DrawPoints(chart, layout, c3d);
    if (chart.ClipPoints && !s.Marks.Clip) {
      c.RemoveClip();
      c.ClipToRect(MarkBand(layout));
    }
    s.DrawMarks(chart, layout, c3d);
    if (chart.ClipPoints) c.RemoveClip();
  }
}

void RenderContents(TChart& chart, const TChartLayout& layout, TKivCanvas3D& c3d) {
  Canvas& c = c3d.C();
  PaintBackground(chart, layout.panel, c);
  PaintTitle(c, chart.Title, layout.title);
  PaintTitle(c, chart.Foot, layout.foot);
  static_cast<TProjection&>(c3d) = layout.projection;

  PaintWalls(chart, layout, c3d);
  // Axes first, so bars and marks cover the grid lines.
  if (chart.AxisVisible)
    for (int i = 0; i < TChart::kAxisCount; ++i)
      if (chart.Axes(i)->IsVisible()) chart.Axes(i)->Paint(c3d, layout);
  PaintSeries(chart, layout, c3d);
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

TChartLayout DrawChart(TChart& chart, Canvas& canvas, const Rect& rect) {
  TKivCanvas3D& c3d = chart.canvas3D;
  c3d.zoomText = chart.View3DOptions.ZoomText;
  Rect panel = rect;
  if (c3d.buffered) {
    const int w = rect.Width(), h = rect.Height();
    if (!c3d.bitmap || c3d.bitmap->Width() != w || c3d.bitmap->Height() != h) {
      c3d.bitmap.reset();
      c3d.bitmap = canvas.CreateBitmap(w, h, chart.Monochrome);
    }
    c3d.canvas = &c3d.bitmap->Surface();
    panel = {0, 0, w, h};
  } else {
    c3d.canvas = &canvas;
  }
  const TChartLayout layout = LayOutChart(chart, c3d.C(), panel);
  for (int i = 0; i < TChart::kAxisCount; ++i) chart.Axes(i)->KeepDrawnRange(layout.axes[size_t(i)]);
  chart.PanelRect = layout.panel;
  chart.PlotRect = layout.plot;
  RenderContents(chart, layout, c3d);
  if (c3d.buffered) canvas.DrawBitmap({rect.left, rect.top}, *c3d.bitmap);
  c3d.dirty = false;
  c3d.canvas = &canvas;
  return layout;
}

void PaintChart(TChart& chart, Canvas& windowCanvas, const Rect& clientRect, TChartLayout& drawn) {
  if (chart.PrintingInProgress) return;
  TKivCanvas3D& c3d = chart.canvas3D;
  if (c3d.buffered && !c3d.dirty && c3d.bitmap && c3d.bitmap->Width() == clientRect.Width() &&
      c3d.bitmap->Height() == clientRect.Height()) {
    windowCanvas.DrawBitmap({clientRect.left, clientRect.top}, *c3d.bitmap);
    return;
  }
  drawn = DrawChart(chart, windowCanvas, clientRect);
}

}  // namespace dw::chart
