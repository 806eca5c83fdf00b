#pragma once
// One chart axis: its range from the series, the room it takes from the plot,
// the mapping between values and pixels, the label step, and its painting.
#include <string>

#include "chart/layout.h"
#include "chart/parts.h"

namespace dw::chart {

class TChart;
class TKivCanvas3D;

enum class TAxisLabelStyle { talAuto, talNone, talValue, talMark, talText };
enum class AxisKind { Left, Top, Right, Bottom, Depth };
// The place of an axis in the chart's list: bottom, top, left, right, depth.
int AxisIndex(AxisKind kind);

class TChartAxisTitle : public ChartPart {
 public:
  TChartAxisTitle(const Notifier* n, int angle) : ChartPart(n), Angle(this, angle), Font(n) {}
  Prop<std::string> Caption{this, ""};
  Prop<int> Angle;
  TChartFont Font;
};

class TChartAxis : public ChartPart {
 public:
  TChartAxis(const Notifier* n, TChart& chart, AxisKind kind);

  const AxisKind kind;
  const bool horizontal;  // bottom, top
  const bool otherSide;   // top, right, depth
  bool IsDepthAxis() const { return kind == AxisKind::Depth; }

  Prop<bool> Visible;
  Prop<bool> Automatic{this, true};
  Prop<bool> AutomaticMinimum{this, true};
  Prop<bool> AutomaticMaximum{this, true};
  Prop<bool> Inverted{this, false};
  Prop<bool> Labels{this, true};
  Prop<TAxisLabelStyle> LabelStyle{this, TAxisLabelStyle::talAuto};
  TChartFont LabelsFont;
  Prop<int> LabelsSize{this, 0};
  Prop<bool> LabelsOnAxis{this, true};
  Prop<bool> LabelsMultiLine{this, false};
  Prop<std::string> AxisValuesFormat{this, "#,##0.###"};
  Prop<std::string> DateTimeFormat{this, ""};
  Prop<bool> ExactDateTime{this, true};
  Prop<bool> RoundFirstLabel{this, true};
  TChartAxisPen Axis;
  TDarkGrayPen Ticks, TicksInner, MinorTicks;
  Prop<int> TickLength{this, 4};
  Prop<int> TickInnerLength{this, 0};
  Prop<int> MinorTickLength{this, 2};
  Prop<int> MinorTickCount{this, 3};
  Prop<bool> TickOnLabelsOnly{this, true};
  TDottedGrayPen Grid;
  Prop<bool> GridCentered{this, false};
  TChartAxisTitle Title;
  Prop<int> TitleSize{this, 0};
  Prop<int> StartPosition{this, 0};
  Prop<int> EndPosition{this, 100};
  Prop<int> PositionPercent{this, 0};

  double Minimum() const { return minimum_; }
  double Maximum() const { return maximum_; }
  double Increment() const { return increment_; }
  bool Logarithmic() const { return logarithmic_; }
  double LogarithmicBase() const { return logarithmicBase_; }
  int LabelsSeparation() const { return labelsSeparation_; }
  int LabelsAngle() const { return labelsAngle_; }
  void SetMinimum(double v);
  void SetMaximum(double v);
  // Orders the two, switches the automatic flags off, keeps at least 1e-10.
  void SetMinMax(double a, double b);
  void SetIncrement(double v);
  void SetLogarithmic(bool on);
  void SetLogarithmicBase(double v);
  void SetLabelsSeparation(int v);
  void SetLabelsAngle(int v);

  bool IsVisible() const;
  // The axis as a layout starts it: its direction and its model range, the
  // series' extremes where the range is automatic.
  TAxisLayout StartLayout() const;
  // Keeps the range a drawing used as the axis' own, as a zoom or scroll
  // starts from the range shown.
  void KeepDrawnRange(const TAxisLayout& drawn);
  // Shrinks r by this axis' title, labels, ticks and wall; places the axis'
  // pixels along `layout`'s plot and its labels' edge.
  Rect ReserveAxisSpace(TextMeasure& measure, const TChartLayout& layout, TAxisLayout& a, Rect r) const;
  // Pixels along `layout`'s plot (or its depth).
  void PlacePixels(const TChartLayout& layout, TAxisLayout& a) const;
  // The axis line across the plot, and the label step for the final range.
  void PlaceLine(TextMeasure& measure, const TChartLayout& layout, TAxisLayout& a) const;
  TAxisLabelStyle ResolveLabelStyle() const;
  double LabelIncrement(TextMeasure& measure, const TAxisLayout& a) const;
  // Extent of a label along the axis, in `font`.
  int LabelExtent(TextMeasure& measure, const FontSpec& font, const std::string& text) const;
  std::string ValueLabelText(double v) const;
  void Paint(TKivCanvas3D& c3d, const TChartLayout& layout) const;

 private:
  int LabelsSizeFor(TextMeasure& measure, const TAxisLayout& a, TAxisLabelStyle style) const;
  bool TextAcrossAxis() const;  // label text runs across the axis direction
  void DrawTicksAndGrid(TKivCanvas3D& c3d, const TChartLayout& layout, int p, int& lastTick) const;
  void DrawLabel(TKivCanvas3D& c3d, const TChartLayout& layout, int p, const std::string& text) const;
  void DrawTextLabels(TKivCanvas3D& c3d, const TChartLayout& layout, TAxisLabelStyle style,
                      int& lastTick) const;
  void DrawValueLabels(TKivCanvas3D& c3d, const TChartLayout& layout, int& lastTick) const;
  void DrawAxisLine(TKivCanvas3D& c3d, const TChartLayout& layout) const;
  int WallSize() const;

  TChart& chart_;
  double minimum_ = 0, maximum_ = 0, increment_ = 0;
  bool logarithmic_ = false;
  double logarithmicBase_ = 10;
  int labelsSeparation_ = 10;
  int labelsAngle_ = 0;
};

// 1, 2, 5, 10, 20, 50 …: the next label step after x.
double NextLabelStep(double x);

}  // namespace dw::chart
