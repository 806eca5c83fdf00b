#pragma once
// The bar series: its value lists, labels and colours, the room it asks of
// the axes, its 3D bars and its value marks.
#include <cstdint>
#include <string>
#include <vector>

#include "chart/layout.h"
#include "chart/parts.h"

namespace dw::chart {

class TChart;
class TChartAxis;
class TKivCanvas3D;

enum class TChartListOrder { loNone, loAscending, loDescending };

// One list of 64-bit values with lazily cached statistics.
class TChartValueList : public ChartPart {
 public:
  TChartValueList(const Notifier* n, std::string name, TChartListOrder order)
      : ChartPart(n), Name(this, std::move(name)), Order(this, order) {}
  Prop<std::string> Name;
  Prop<TChartListOrder> Order;
  Prop<bool> DateTime{this, false};

  double Multiplier() const { return multiplier_; }
  void SetMultiplier(double m);

  int Count() const { return static_cast<int>(values_.size()); }
  // Stored value × Multiplier.
  double Value(int i) const { return values_[static_cast<size_t>(i)] * multiplier_; }
  void SetValue(int i, double v);
  // At its ordered place (equal values keep their insertion order); the index.
  int AddValue(double v);
  void InsertAt(int i, double v);
  void Clear();

  double MinValue() const { return Stats().lowest; }
  double MaxValue() const { return Stats().highest; }
  double Total() const { return Stats().sum; }
  double TotalABS() const { return Stats().absSum; }

 private:
  struct Statistics {
    double lowest = 0, highest = 0, sum = 0, absSum = 0;
  };
  const Statistics& Stats() const;
  void Stale();

  std::vector<double> values_;
  double multiplier_ = 1.0;
  mutable Statistics stats_;
  mutable bool stale_ = true;
};

enum class TSeriesMarksStyle {
  smsValue, smsPercent, smsLabel, smsLabelPercent, smsLabelValue, smsLegend, smsPercentTotal,
  smsLabelPercentTotal, smsXValue
};

struct TSeriesMarkPosition {
  Point arrowFrom, arrowTo, leftTop;
  int width = 0, height = 0;
  bool custom = false;  // fixed by the user: reused instead of the computed one
};

class TSeriesMarks : public ChartPart {
 public:
  explicit TSeriesMarks(const Notifier* n) : ChartPart(n), Arrow(n), Frame(n), Font(n) {}
  Prop<bool> Visible{this, false};
  Prop<TSeriesMarksStyle> Style{this, TSeriesMarksStyle::smsLabel};
  Prop<int> ArrowLength{this, 8};
  TChartArrowPen Arrow;
  Prop<chart::Color> BackColor{this, clLightYellow};
  Prop<bool> Transparent{this, false};
  Prop<bool> Clip{this, false};
  TChartPen Frame;
  TChartFont Font;
  std::vector<TSeriesMarkPosition> positions;
};

enum class THorizAxis { aTopAxis, aBottomAxis, aBothHorizAxis };
enum class TVertAxis { aLeftAxis, aRightAxis, aBothVertAxis };
enum class TBarStyle { bsRectangle, bsPyramid, bsInvPyramid, bsCilinder, bsEllipse, bsArrow,
                       bsRectGradient };
enum class TMultiBar { mbNone, mbSide, mbStacked, mbStacked100 };

// Margins a series asks of an axis, in pixels, on the screen sides of the
// axis: start is left or top, end is right or bottom.
struct AxisMargins {
  int start = 0;
  int end = 0;
};

class TChartSeries : public ChartPart {
 public:
  TChartSeries();
  ~TChartSeries() override = default;

  // Joins the chart's change notification (nullptr: leaves it).
  void SetParentChart(TChart* chart);

  Prop<bool> Active{this, true};
  Prop<chart::Color> SeriesColor{this, clRed};
  Prop<bool> ColorEachPoint{this, false};
  Prop<THorizAxis> HorizAxis{this, THorizAxis::aBottomAxis};
  Prop<TVertAxis> VertAxis{this, TVertAxis::aLeftAxis};
  Prop<bool> ShowInLegend{this, true};
  Prop<std::string> Title{this, ""};
  Prop<std::string> ValueFormat{this, "#,##0.###"};
  Prop<std::string> PercentFormat{this, "##0.## %"};
  TSeriesMarks Marks;
  TChartValueList XValues;
  TChartValueList YValues;

  int Count() const { return XValues.Count(); }
  // Inserts at x's ordered place; the new point's index.
  int AddXY(double x, double y, std::string label, chart::Color color);
  // x = the number of points before the call.
  int AppendPoint(double y, std::string label, chart::Color color);
  void RemoveAllPoints();
  const std::string& Label(int i) const;
  bool HasLabels() const { return !labels_.empty(); }
  int LabelCount() const { return static_cast<int>(labels_.size()); }
  chart::Color PointColor(int i) const;

  virtual double MinXValue() const { return XValues.MinValue(); }
  virtual double MaxXValue() const { return XValues.MaxValue(); }
  virtual double MinYValue() const { return YValues.MinValue(); }
  virtual double MaxYValue() const { return YValues.MaxValue(); }
  bool AttachedTo(const TChartAxis& axis) const;

  std::string MarkText(int i) const;
  std::string FormattedValue(double v) const;

  // The points in view between the plot's ends on its horizontal axis.
  void FindVisible(const TChart& chart, const TChartLayout& layout, TSeriesLayout& own) const;

  virtual AxisMargins HorizontalMargins(const TChart&, const TChartLayout&, TSeriesLayout&) const {
    return {};
  }
  virtual AxisMargins VerticalMargins(const TChart&, const TChartLayout&, TextMeasure&) const {
    return {};
  }
  virtual void DrawPoints(const TChart& chart, const TChartLayout& layout, TKivCanvas3D& c3d) const = 0;
  void DrawMarks(const TChart& chart, const TChartLayout& layout, TKivCanvas3D& c3d);
  // The visible point whose drawing in `layout` holds screen point p, or -1.
  virtual int Clicked(const TChart&, const TChartLayout&, Point) const { return -1; }

 protected:
  // Top-left of point i's mark, and the adjustment a bar makes.
  virtual Point MarkAnchor(const TChart& chart, const TChartLayout& layout, int i) const = 0;
  virtual void AdjustMarkPosition(TSeriesMarkPosition&, const TChart&, const TChartLayout&, int) const {}

 private:
  Notifier notifier_;
  TChart* chart_ = nullptr;
  std::vector<std::string> labels_;
  std::vector<chart::Color> colors_;
};

class TBarSeries : public TChartSeries {
 public:
  TBarSeries();

  int BarWidthPercent() const { return barWidthPercent_; }
  void SetBarWidthPercent(int v);
  int OffsetPercent() const { return offsetPercent_; }
  void SetOffsetPercent(int v);
  Prop<int> CustomBarWidth{this, 0};
  Prop<TBarStyle> BarStyle{this, TBarStyle::bsRectangle};
  Prop<TMultiBar> MultiBar{this, TMultiBar::mbSide};
  Prop<bool> SideMargins{this, true};
  Prop<bool> UseYOrigin{this, true};
  Prop<double> YOrigin{this, 0.0};
  Prop<bool> Dark3D{this, true};
  Prop<bool> AutoBarSize{this, false};
  Prop<bool> AutoMarkPosition{this, true};
  TChartPen BarPen;
  TChartBrush BarBrush;

  double MinYValue() const override;
  double MaxYValue() const override;

  // The width of a bar along `layout`'s horizontal axis.
  int CalcBarWidth(const TChart& chart, const TChartLayout& layout) const;
  // Room on both sides for a bar at each end; fixes the bars' width.
  AxisMargins HorizontalMargins(const TChart& chart, const TChartLayout& layout,
                                TSeriesLayout& own) const override;
  AxisMargins VerticalMargins(const TChart& chart, const TChartLayout& layout,
                              TextMeasure& measure) const override;
  // Left, top, right, bottom of point i's bar (top: value pixel, bottom: base).
  Rect BarBox(const TChart& chart, const TChartLayout& layout, int i) const;
  void DrawPoints(const TChart& chart, const TChartLayout& layout, TKivCanvas3D& c3d) const override;
  // The last bar drawn over p: its 3D box, as far as the plot box clips it.
  int Clicked(const TChart& chart, const TChartLayout& layout, Point p) const override;

 protected:
  Point MarkAnchor(const TChart& chart, const TChartLayout& layout, int i) const override;
  void AdjustMarkPosition(TSeriesMarkPosition& pos, const TChart& chart, const TChartLayout& layout,
                          int i) const override;

 private:
  // 1-based position among the active bar series of the chart, and their number.
  int BarSeriesIndex(const TChart& chart) const;
  int BarSeriesCount(const TChart& chart) const;
  int barWidthPercent_ = 70;
  int offsetPercent_ = 0;
};

}  // namespace dw::chart
