#pragma once
// The chart panel: its titles, walls, axes and series, its layout at a size,
// and the drawing and repaint entry points. No drawing happens on a change;
// the next paint lays the chart out again.
#include <functional>
#include <memory>
#include <vector>

#include "chart/axis.h"
#include "chart/canvas3d.h"
#include "chart/layout.h"
#include "chart/parts.h"
#include "chart/series.h"
#include "chart/zoom.h"
#include "runtime/numtext.h"

namespace dw::chart {

enum class TPanningMode { pmNone, pmHorizontal, pmVertical, pmBoth };
enum class TPanelBevel { bvNone, bvLowered, bvRaised };

class TChart : public ChartPart, private ChangeListener {
 public:
  TChart();
  ~TChart() override;

  Prop<int> MarginLeft{this, 3};
  Prop<int> MarginTop{this, 4};
  Prop<int> MarginRight{this, 3};
  Prop<int> MarginBottom{this, 4};
  Prop<bool> View3D{this, true};
  TView3DOptions View3DOptions;
  Prop<bool> View3DWalls{this, true};
  Prop<bool> AxisVisible{this, true};
  Prop<bool> ClipPoints{this, true};
  Prop<bool> PrintProportional{this, true};
  Prop<chart::Color> Color{this, 0xF0F0F0};  // the framework's face colour
  Prop<int> BorderWidth{this, 0};
  Prop<TPanelBevel> BevelOuter{this, TPanelBevel::bvRaised};
  Prop<TPanelBevel> BevelInner{this, TPanelBevel::bvNone};
  Prop<int> BevelWidth{this, 1};
  Prop<bool> Monochrome{this, false};
  Prop<bool> GradientVisible{this, false};
  Prop<bool> LegendVisible{this, true};
  Prop<int> MaxPointsPerPage{this, 0};
  Prop<int> Page{this, 1};
  Prop<bool> ScaleLastPage{this, true};
  Prop<bool> AllowZoom{this, true};
  Prop<TPanningMode> AllowPanning{this, TPanningMode::pmBoth};
  Prop<bool> AnimatedZoom{this, false};
  Prop<int> AnimatedZoomSteps{this, 8};
  // Fired after a zoom, an undo and a scroll step; a scroll handler may
  // change a proposed range or refuse it (false).
  std::function<void()> OnZoom, OnUndoZoom, OnScroll;
  std::function<bool(TChartAxis& axis, double& minimum, double& maximum)> OnAllowScroll;
  // Separators of the value labels and marks (the user's locale on screen).
  Prop<NumberMarks> Separators{this, NumberMarks{}};

  TChartTitle Title, Foot;
  TChartWall BackWall, LeftWall, BottomWall;
  TChartAxis LeftAxis, TopAxis, RightAxis, BottomAxis, DepthAxis;

  int Chart3DPercent() const { return chart3DPercent_; }
  void SetChart3DPercent(int v);
  chart::Color BackColor() const { return BackWall.Color; }
  void SetBackColor(chart::Color c) { BackWall.Color = c; }

  // The chart owns its series.
  TBarSeries& AddBarSeries();
  int SeriesCount() const { return static_cast<int>(series_.size()); }
  TChartSeries& Series(int i) const { return *series_[static_cast<size_t>(i)]; }
  int ActiveBarSeriesCount() const;
  // In the list order bottom, top, left, right, depth.
  TChartAxis* Axes(int i) const { return axes_[static_cast<size_t>(i)]; }
  static constexpr int kAxisCount = 5;

  // While loading, changes do not invalidate.
  void BeginLoading() { loading_ = true; }
  void EndLoading() { loading_ = false; }
  bool Loading() const { return loading_; }
  // Marks the chart dirty and asks for a repaint.
  void Invalidate();
  bool Dirty() const { return canvas3D.dirty; }
  void SetRepaintRequest(std::function<void()> request) { repaintRequest_ = std::move(request); }
  // Paints at once where the control can (an animated zoom's steps);
  // otherwise the same as Invalidate.
  void SetImmediateRepaint(std::function<void()> repaint) {
    immediateRepaint_ = std::move(repaint);
  }
  void RepaintNow();

  // Mouse zoom and scroll (chart/zoom.h).
  TDragRecord ZoomDrag, ScrollDrag;
  TSavedAxisState SavedAxisState;
  bool NoSavedState = true;
  bool IsZoomed = false;

  // Where the last drawing, on whatever canvas, put the panel and the plot:
  // a record for checks from outside. Zoom and hit tests read the layout
  // the control drew with, never these.
  Rect PanelRect;
  Rect PlotRect;
  // The control's size: a plot that would have no extent takes it.
  int ControlWidth = 400, ControlHeight = 250;
  // The size the chart is laid out at on paper; 0 takes the control's. A
  // chart shown larger than its design still prints as designed.
  int PrintWidth = 0, PrintHeight = 0;
  int PrintMarginPercents[4] = {15, 15, 15, 15};
  int PrintDetail = 0;
  bool PrintingInProgress = false;
  TKivCanvas3D canvas3D;

 private:
  void PartChanged() override { Invalidate(); }
  Notifier notifier_;
  int chart3DPercent_ = 15;
  bool loading_ = false;
  std::function<void()> repaintRequest_;
  std::function<void()> immediateRepaint_;
  std::vector<std::unique_ptr<TChartSeries>> series_;
  TChartAxis* axes_[kAxisCount];
};

// The settings of the results chart in the window's definition: white panel
// and back wall, the one-line title in 13-pixel black Arial on white, no
// legend, bottom labels at 90 degrees, left labels off, and Series1 with its
// value marks. The chart is 689 × 449.
TBarSeries& ConfigureResultsChart(TChart& chart);

// The chart's layout over `panel`, measured with `measure`, in the order a
// drawing fixes it: the margins, the title and the foot, the depth, the
// axes' room, the series' margins, the points in view.
TChartLayout LayOutChart(const TChart& chart, TextMeasure& measure, const Rect& panel);
// Lays the chart out and paints it on `canvas` within `rect`; the layout it
// painted.
TChartLayout DrawChart(TChart& chart, Canvas& canvas, const Rect& rect);
// The control's paint handler: nothing while printing; one bitmap copy when
// the buffered chart has not changed; otherwise DrawChart, whose layout then
// replaces `drawn`.
void PaintChart(TChart& chart, Canvas& windowCanvas, const Rect& clientRect, TChartLayout& drawn);

// Steps of a layout and a drawing, exposed for tests.
// The panel less the border and the margins.
Rect MarginRect(const TChart& chart, const Rect& panel);
// A plot rectangle inside the panel and never empty.
Rect NormalizedPlot(const TChart& chart, Rect plot, const Rect& panel);
// Places a title (at the top) or foot (at the bottom) block's lines in
// `plot` and takes their room from it.
TTitleLayout PlaceTitle(const TChart& chart, const TChartTitle& block, bool isTitle,
                        TextMeasure& measure, const Rect& panel, Rect& plot);
void PaintTitle(Canvas& canvas, const TChartTitle& block, const TTitleLayout& placed);
// The depth of one series' slab and of the whole box for `slabs` series.
void ComputeDepth(const TChart& chart, int slabs, TChartLayout& layout);
void PaintWalls(const TChart& chart, const TChartLayout& layout, TKivCanvas3D& c3d);
// The line height of the canvas' current font: the height of "W".
int LineHeight(Canvas& canvas);
// MulDiv: a × b / c rounded to nearest.
int MulDiv(int a, int b, int c);

}  // namespace dw::chart
