#pragma once
// The geometry of one drawing of a chart, as a value: where the panel, the
// plot, the title lines, the axes and the series go for a model at a size.
// LayOutChart (chart/chart.h) computes it through a TextMeasure before
// anything is drawn; the drawing walks it, and the control keeps the one it
// last drew with for zoom, scroll and hit tests.
#include <array>
#include <vector>

#include "chart/canvas.h"

namespace dw::chart {

class TChartAxis;
class TChartSeries;

// The orthogonal projection of the 3D box: depth moves a point right and up.
struct TProjection {
  bool is3D = true;
  double zoom = 1.0;   // Zoom / 100 in 3D, 1 in 2D
  Point center;        // of the plot
  Point offsetCenter;  // center shifted by HorizOffset, VertOffset
  int depthCenter = 0;
  // Screen point of (x, y, z), z >= 0 being the depth from the front plane.
  Point ProjectPoint(int x, int y, int z) const;
};

// One axis: its value range as drawn and where it lies on the panel.
struct TAxisLayout {
  bool horizontal = false, inverted = false;
  // The range of the model (set or from the series), before the series'
  // margins widen it to lowValue … highValue.
  double minimum = 0, maximum = 0;
  double lowValue = 0, highValue = 0, valueSpan = 0;
  int startPixel = 0, endPixel = 0, length = 0, centerPixel = 0;
  int linePixel = 0, labelPixel = 0;
  double increment = 0;  // the step of the value labels

  int ValueToPixel(double v) const;
  double PixelToValue(int p) const;
  // Pixels for the extent `size` starting at `edge`, by the axis' start and
  // end positions in percent.
  void PlacePixels(int edge, int size, int startPercent, int endPercent);
  // Widens the value range so that the values at the ends move `lower` and
  // `upper` pixels inward; the pixels stay.
  void WidenByPixels(int lower, int upper);
};

// One series: its points in view, its slab of depth and its bars' width.
struct TSeriesLayout {
  const TChartSeries* series = nullptr;
  int firstVisible = -1, lastVisible = -1;
  int startZ = 0, endZ = 0, middleZ = 0;
  int barWidth = 0;
};

// A title or foot block: its lines' positions, and the box drawn behind
// them (empty when none is drawn, and then no press lands on it).
struct TTitleLayout {
  struct Line {
    int index = 0;  // in the block's text
    Point at;
  };
  bool shown = false;
  bool boxed = false;  // a box is drawn behind the lines
  Rect box;
  std::vector<Line> lines;  // in drawing order
};

struct TChartLayout {
  Rect panel, plot;
  int seriesDepth = 0, depthPixels = 0;
  TTitleLayout title, foot;
  std::array<TAxisLayout, 5> axes;  // in the chart's Axes order
  std::vector<TSeriesLayout> series;
  TProjection projection;

  int PlotWidth() const { return plot.right - plot.left; }
  int PlotHeight() const { return plot.bottom - plot.top; }
  Point PlotCenter() const { return {(plot.left + plot.right) / 2, (plot.top + plot.bottom) / 2}; }
  const TAxisLayout& Of(const TChartAxis& axis) const;
  TAxisLayout& Of(const TChartAxis& axis);
  // A series the layout does not know (added since) has no point in view.
  const TSeriesLayout& Of(const TChartSeries& series) const;
};

}  // namespace dw::chart
