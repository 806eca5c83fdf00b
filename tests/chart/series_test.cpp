#include "chart/series.h"

#include <gtest/gtest.h>

#include "chart/chart.h"
#include "chart/recording_canvas.h"
#include "chart/valueformat.h"

namespace dw::chart {
namespace {

std::vector<double> Values(const TChartValueList& list) {
  std::vector<double> v;
  for (int i = 0; i < list.Count(); ++i) v.push_back(list.Value(i));
  return v;
}

TEST(ValueList, OrderedInsertionKeepsEqualValuesInArrivalOrder) {
  TChart chart;
  TBarSeries& s = chart.AddBarSeries();
  // The y value tells which call added the point.
  for (auto [x, y] : {std::pair{5.0, 1.0}, {1.0, 2.0}, {5.0, 3.0}, {3.0, 4.0}}) s.AddXY(x, y, "", AutoColor);
  EXPECT_EQ(Values(s.XValues), (std::vector<double>{1, 3, 5, 5}));
  EXPECT_EQ(Values(s.YValues), (std::vector<double>{2, 4, 1, 3}));  // the second 5 is last

  TChartValueList down(nullptr, "D", TChartListOrder::loDescending);
  for (double v : {5.0, 1.0, 5.0, 3.0, 7.0}) down.AddValue(v);
  EXPECT_EQ(Values(down), (std::vector<double>{7, 5, 5, 3, 1}));
  TChartValueList none(nullptr, "N", TChartListOrder::loNone);
  for (double v : {5.0, 1.0, 3.0}) none.AddValue(v);
  EXPECT_EQ(Values(none), (std::vector<double>{5, 1, 3}));
}

TEST(ValueList, StatisticsAreRecomputedAfterEachChange) {
  TChartValueList list(nullptr, "Y", TChartListOrder::loNone);
  EXPECT_EQ(list.MinValue(), 0);
  EXPECT_EQ(list.TotalABS(), 0);
  list.AddValue(-3);
  EXPECT_EQ(list.MinValue(), -3);
  EXPECT_EQ(list.MaxValue(), -3);
  EXPECT_EQ(list.Total(), -3);
  EXPECT_EQ(list.TotalABS(), 3);
  list.AddValue(5);
  list.AddValue(-7);
  EXPECT_EQ(list.MinValue(), -7);
  EXPECT_EQ(list.MaxValue(), 5);
  EXPECT_EQ(list.Total(), -5);
  EXPECT_EQ(list.TotalABS(), 15);
  list.SetMultiplier(2);
  EXPECT_EQ(list.MaxValue(), 10);
  EXPECT_EQ(list.Value(2), -14);
  list.Clear();
  EXPECT_EQ(list.MaxValue(), 0);
}

TEST(BarSeries, AppendPointNumbersFromZeroAfterEachRemoveAll) {
  TChart chart;
  TBarSeries& s = ConfigureResultsChart(chart);
  EXPECT_EQ(s.AppendPoint(4, "a", clRed), 0);
  EXPECT_EQ(s.AppendPoint(6, "b", clWhite), 1);
  EXPECT_EQ(s.AppendPoint(0, "", AutoColor), 2);
  EXPECT_EQ(Values(s.XValues), (std::vector<double>{0, 1, 2}));
  EXPECT_EQ(s.Label(1), "b");
  EXPECT_EQ(s.PointColor(0), clRed);
  EXPECT_EQ(s.PointColor(2), clRed);  // AutoColor: the series colour
  EXPECT_EQ(s.PointColor(7), clRed);  // past the stored colours
  s.RemoveAllPoints();
  EXPECT_EQ(s.Count(), 0);
  EXPECT_FALSE(s.HasLabels());
  EXPECT_EQ(s.AppendPoint(1, "c", clWhite), 0);
  EXPECT_EQ(s.XValues.Value(0), 0);
}

TEST(BarSeries, YRangeIncludesTheOrigin) {
  TChart chart;
  TBarSeries& s = chart.AddBarSeries();
  s.AppendPoint(3, "", AutoColor);
  s.AppendPoint(8, "", AutoColor);
  EXPECT_EQ(s.MinYValue(), 0);
  EXPECT_EQ(s.MaxYValue(), 8);
  s.UseYOrigin = false;
  EXPECT_EQ(s.MinYValue(), 3);
}

TEST(ValueFormat, GroupsThousandsAndDropsTrailingZeros) {
  struct Case {
    const char* pattern;
    long double value;
    NumberMarks marks;
    const char* text;
  };
  const NumberMarks point{'.', ','}, space{',', ' '};
  for (const Case& c : {Case{"#,##0.###", 1234, point, "1,234"},
                        {"#,##0.###", 1234, space, "1 234"},
                        {"#,##0.###", 0, point, "0"},
                        {"#,##0.###", 37, point, "37"},
                        {"#,##0.###", 1000, point, "1,000"},
                        {"#,##0.###", 10000, point, "10,000"},
                        {"#,##0.###", 0.5L, point, "0.5"},
                        {"#,##0.###", 1.25L, space, "1,25"},
                        {"#,##0.###", 1234567.8915L, point, "1,234,567.892"},
                        {"#,##0.###", 0.00049L, point, "0"},
                        {"#,##0.###", -0.0004L, point, "0"},
                        {"#,##0.###", -1234.5L, point, "-1,234.5"},
                        {"#,##0.###", 0.9996L, point, "1"},
                        {"##0.## %", 12.5L, point, "12.5 %"},
                        {"##0.## %", 0, point, "0 %"},
                        {"0.00", 3, point, "3.00"}})
    EXPECT_EQ(FormatValue(c.pattern, c.value, c.marks), c.text) << c.pattern << " " << double(c.value);
}

TEST(BarSeries, MarkTextForEachStyle) {
  TChart chart;
  TBarSeries& s = chart.AddBarSeries();
  s.AppendPoint(1234, "first", AutoColor);
  s.AppendPoint(766, "", AutoColor);
  struct Case {
    TSeriesMarksStyle style;
    int point;
    const char* text;
  };
  for (const Case& c : {Case{TSeriesMarksStyle::smsValue, 0, "1,234"},
                        {TSeriesMarksStyle::smsLabel, 0, "first"},
                        {TSeriesMarksStyle::smsLabel, 1, "766"},  // no label: the value
                        {TSeriesMarksStyle::smsPercent, 0, "61.7 %"},
                        {TSeriesMarksStyle::smsLabelPercent, 0, "61.7 % first"},
                        {TSeriesMarksStyle::smsLabelValue, 0, "1,234 first"},
                        {TSeriesMarksStyle::smsPercentTotal, 1, "38.3 % of 2,000"},
                        {TSeriesMarksStyle::smsLabelPercentTotal, 1, "38.3 % of 2,000 766"},
                        {TSeriesMarksStyle::smsXValue, 1, "1"}}) {
    s.Marks.Style = c.style;
    EXPECT_EQ(s.MarkText(c.point), c.text) << static_cast<int>(c.style);
  }
  chart.Separators = NumberMarks{',', ' '};
  s.Marks.Style = TSeriesMarksStyle::smsValue;
  EXPECT_EQ(s.MarkText(0), "1 234");
}

// Ten points on a 550-pixel bottom axis.
TEST(BarSeries, WidthAndHorizontalMarginsOnA550PixelAxis) {
  TChart chart;
  TBarSeries& s = ConfigureResultsChart(chart);
  for (int i = 0; i < 10; ++i) s.AppendPoint(i, "c", clWhite);
  TChartLayout layout;
  layout.plot = {50, 40, 600, 400};
  TAxisLayout& bottom = layout.Of(chart.BottomAxis);
  chart.BottomAxis.PlacePixels(layout, bottom);
  ASSERT_EQ(bottom.length, 550);
  TSeriesLayout own;
  EXPECT_EQ(s.CalcBarWidth(chart, layout), 36);  // room 50, 35 made even
  const AxisMargins m = s.HorizontalMargins(chart, layout, own);
  EXPECT_EQ(m.start, 36);
  EXPECT_EQ(m.end, 36);
  EXPECT_EQ(own.barWidth, 36);
  s.SideMargins = false;
  EXPECT_EQ(s.CalcBarWidth(chart, layout), 38);  // room 55, 38.5 to even 38
  EXPECT_EQ(s.HorizontalMargins(chart, layout, own).start, 19);
  s.CustomBarWidth = 21;
  EXPECT_EQ(s.CalcBarWidth(chart, layout), 21);
  s.CustomBarWidth = 0;
  s.RemoveAllPoints();
  EXPECT_EQ(s.CalcBarWidth(chart, layout), 0);
}

TEST(BarSeries, VerticalMarginIsForMarksAboveRisingBarsOnly) {
  TChart chart;
  TBarSeries& s = ConfigureResultsChart(chart);
  RecordingCanvas canvas;
  const TChartLayout layout;
  EXPECT_EQ(s.VerticalMargins(chart, layout, canvas).start, 0);  // no points
  for (int i = 0; i < 10; ++i) s.AppendPoint(0, "c", clWhite);
  EXPECT_EQ(s.VerticalMargins(chart, layout, canvas).start, 0);  // all counts zero
  s.AppendPoint(3, "c", clWhite);
  const int lineHeight = RecordingCanvas::LineHeightOf(s.Marks.Font.Resolved(96));
  const AxisMargins m = s.VerticalMargins(chart, layout, canvas);
  EXPECT_EQ(m.start, lineHeight + 20 + 2 + 1);
  EXPECT_EQ(m.end, 0);
  s.AppendPoint(-1, "c", clWhite);
  EXPECT_EQ(s.VerticalMargins(chart, layout, canvas).end, lineHeight + 20 + 2 + 1);
}

TEST(ChartExceptions, BadValuesThrowAndKeepTheOldValue) {
  TChart chart;
  TBarSeries& s = chart.AddBarSeries();
  auto expectMessage = [](auto&& set, const char* message) {
    try {
      set();
      ADD_FAILURE() << "no exception for " << message;
    } catch (const ChartException& e) {
      EXPECT_STREQ(e.what(), message);
    }
  };
  expectMessage([&] { chart.SetChart3DPercent(0); }, "3D effect percent must be between 1 and 100");
  expectMessage([&] { chart.SetChart3DPercent(101); }, "3D effect percent must be between 1 and 100");
  EXPECT_EQ(chart.Chart3DPercent(), 15);
  expectMessage([&] { s.SetBarWidthPercent(101); }, "Bar Width Percent must be between 1 and 100");
  EXPECT_EQ(s.BarWidthPercent(), 70);
  expectMessage([&] { s.SetOffsetPercent(-101); }, "Bar Offset Percent must be between -100% and 100%");
  EXPECT_THROW(s.SetBarWidthPercent(0), BarException);
  TChartAxis& a = chart.LeftAxis;
  expectMessage([&] { a.SetIncrement(-1); }, "Axis increment must be >= 0");
  a.SetMaximum(5);
  expectMessage([&] { a.SetMinimum(6); }, "Axis Minimum Value must be <= Maximum");
  expectMessage([&] { a.SetMaximum(-1); }, "Axis Maximum Value must be >= Minimum");
  EXPECT_EQ(a.Minimum(), 0);
  EXPECT_EQ(a.Maximum(), 5);
  expectMessage([&] { a.SetLogarithmicBase(1.5); }, "Axis Logarithmic Base should be >= 2");
  expectMessage([&] { a.SetLabelsSeparation(-1); }, "Labels Separation % must be greater than 0");
  expectMessage([&] { a.SetLabelsAngle(361); }, "Axis Labels Angle must be between 0 and 359 degrees");
  EXPECT_THROW(a.SetIncrement(-0.5), AxisException);
  a.SetMinimum(-1);
  expectMessage([&] { a.SetLogarithmic(true); }, "Logarithmic Axis Min and Max values should be >= 0");
  EXPECT_FALSE(a.Logarithmic());
  a.SetLabelsAngle(360);
  EXPECT_EQ(a.LabelsAngle(), 360);
  // While loading the range may pass through an inverted state.
  chart.BeginLoading();
  a.SetMinimum(9);
  chart.EndLoading();
  EXPECT_EQ(a.Minimum(), 9);
}

TEST(ChartChanges, EveryChangeMarksDirtyAndAsksForARepaint) {
  TChart chart;
  TBarSeries& s = ConfigureResultsChart(chart);
  int requests = 0;
  chart.SetRepaintRequest([&] { ++requests; });
  RecordingCanvas canvas;
  const auto check = [&](const char* what, auto&& change) {
    DrawChart(chart, canvas, {0, 0, 689, 449});
    ASSERT_FALSE(chart.Dirty());
    const int before = requests;
    change();
    EXPECT_TRUE(chart.Dirty()) << what;
    EXPECT_GT(requests, before) << what;
  };
  check("title line", [&] { chart.Title.Text.Add("more"); });
  check("wall colour", [&] { chart.LeftWall.Color = clRed; });
  check("axis pen", [&] { chart.BottomAxis.Grid.Visible = false; });
  check("axis font", [&] { chart.BottomAxis.LabelsFont.Size = 9; });
  check("point", [&] { s.AppendPoint(3, "x", clRed); });
  check("remove all", [&] { s.RemoveAllPoints(); });
  check("marks", [&] { s.Marks.Frame.Width = 2; });
  check("bar pen", [&] { s.BarPen.Color = clBlue; });
  check("3D percent", [&] { chart.SetChart3DPercent(20); });
  check("view 3D", [&] { chart.View3DOptions.Zoom = 90; });
  // The same value again is no change.
  DrawChart(chart, canvas, {0, 0, 689, 449});
  chart.LeftWall.Color = clRed;
  EXPECT_FALSE(chart.Dirty());
  chart.BeginLoading();
  chart.Color = clBlue;
  EXPECT_FALSE(chart.Dirty());
  chart.EndLoading();
}

}  // namespace
}  // namespace dw::chart
