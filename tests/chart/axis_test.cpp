#include "chart/axis.h"

#include <gtest/gtest.h>

#include "chart/chart.h"
#include "chart/recording_canvas.h"

namespace dw::chart {
namespace {

TEST(NextLabelStep, RunsOneTwoFive) {
  struct Case {
    double from;
    std::vector<double> steps;
  };
  for (const Case& c : {Case{1, {2, 5, 10, 20, 50, 100}}, {0.1, {0.2, 0.5, 1}}, {7, {10}},
                        {30, {50, 100}}, {3, {5, 10}}, {0.003, {0.005, 0.01}}}) {
    double x = c.from;
    for (double expected : c.steps) {
      x = NextLabelStep(x);
      EXPECT_NEAR(x, expected, expected * 1e-12) << "from " << c.from;
    }
  }
}

// The layout of one axis of `chart` along `plot`.
TAxisLayout Placed(const TChartAxis& axis, const Rect& plot) {
  TChartLayout layout;
  layout.plot = plot;
  TAxisLayout a = axis.StartLayout();
  axis.PlacePixels(layout, a);
  return a;
}

TEST(Axis, ValueToPixelOnAVerticalAxis) {
  TChart chart;
  TAxisLayout a = Placed(chart.LeftAxis, {10, 50, 600, 350});
  ASSERT_EQ(a.startPixel, 50);
  ASSERT_EQ(a.endPixel, 350);
  a.lowValue = 0, a.highValue = 10, a.valueSpan = 10;
  EXPECT_EQ(a.ValueToPixel(0), 350);
  EXPECT_EQ(a.ValueToPixel(10), 50);
  EXPECT_EQ(a.ValueToPixel(5), 200);
  EXPECT_DOUBLE_EQ(a.PixelToValue(200), 5);
  EXPECT_DOUBLE_EQ(a.PixelToValue(50), 10);
  a.inverted = true;
  EXPECT_EQ(a.ValueToPixel(0), 50);
  EXPECT_EQ(a.ValueToPixel(10), 350);
  EXPECT_DOUBLE_EQ(a.PixelToValue(80), 1);
  // A zero span maps every value to the centre; a far value too.
  a.highValue = 0, a.valueSpan = 0;
  EXPECT_EQ(a.ValueToPixel(3), 200);
  a.highValue = 1e-300, a.valueSpan = 1e-300;
  EXPECT_EQ(a.ValueToPixel(1), 200);
}

TEST(Axis, WidenRangeByPixelsPutsTheDataInsideTheEnds) {
  TChart chart;
  TAxisLayout a = Placed(chart.BottomAxis, {60, 20, 610, 400});
  ASSERT_EQ(a.length, 550);
  a.lowValue = 0, a.highValue = 9, a.valueSpan = 9;
  a.WidenByPixels(36, 36);
  EXPECT_NEAR(a.lowValue, -0.678, 0.0005);
  EXPECT_NEAR(a.highValue, 9.678, 0.0005);
  EXPECT_EQ(a.startPixel, 60);
  EXPECT_EQ(a.endPixel, 610);
  EXPECT_EQ(a.ValueToPixel(0), 60 + 36);
  EXPECT_EQ(a.ValueToPixel(9), 610 - 36);

  // A vertical axis keeps its top margin above the highest value.
  TAxisLayout v = Placed(chart.LeftAxis, {60, 20, 610, 400});
  v.lowValue = 0, v.highValue = 100, v.valueSpan = 100;
  v.WidenByPixels(36, 0);
  EXPECT_EQ(v.lowValue, 0);
  EXPECT_EQ(v.ValueToPixel(100), 20 + 36);
  EXPECT_EQ(v.ValueToPixel(0), 400);
}

TEST(Axis, LabelIncrementFitsTheLabelsIntoTheLength) {
  TChart chart;
  RecordingCanvas canvas;
  TChartAxis& axis = chart.BottomAxis;  // angle 0: the extent is the label width
  TAxisLayout a = Placed(axis, {0, 0, 100, 100});
  struct Case {
    double low, high;
    double increment;
    double step;
  };
  // Labels are 5 pixels per character; "100" is 15 wide, 17 with the 10 %
  // separation, so 100 pixels hold 6 of them.
  for (const Case& c : {Case{0, 100, 0, 20}, {0, 5, 0, 1}, {0, 0, 0, 1e-12}, {0, 0.5, 0, 0.1},
                        {0, 100, 3, 20}, {0, 40, 3, 5}}) {
    a.lowValue = c.low, a.highValue = c.high, a.valueSpan = c.high - c.low;
    axis.SetIncrement(c.increment);
    EXPECT_NEAR(axis.LabelIncrement(canvas, a), c.step, c.step * 1e-9) << c.low << " " << c.high;
  }
}

// Three text labels 20 pixels wide on a horizontal axis at 0 degrees; the
// second is 21 pixels right of the first, the third 22.
TEST(Axis, TextLabelsThatWouldOverlapAreLeftOut) {
  TChart chart;
  chart.View3D = false;
  TBarSeries& s = chart.AddBarSeries();
  s.AppendPoint(1, "AAAA", clWhite);
  s.AppendPoint(1, "BBBB", clWhite);
  s.AppendPoint(1, "CCCC", clWhite);
  RecordingCanvas canvas;
  chart.canvas3D.canvas = &canvas;
  chart.canvas3D.is3D = false;
  TChartLayout layout;
  layout.plot = {0, 0, 200, 100};
  TChartAxis& axis = chart.BottomAxis;
  TAxisLayout& a = layout.Of(axis);
  a = Placed(axis, layout.plot);
  // Pixels 10, 31 and 32: the x values are 0, 1, 2.
  s.XValues.SetValue(1, 1.05);
  s.XValues.SetValue(2, 1.1);
  a.lowValue = -0.5, a.highValue = 9.5, a.valueSpan = 10;
  a.increment = axis.LabelIncrement(canvas, a);
  layout.series.push_back({&s, 0, 2});
  ASSERT_EQ(a.ValueToPixel(0), 10);
  ASSERT_EQ(a.ValueToPixel(1.05), 31);
  ASSERT_EQ(a.ValueToPixel(1.1), 32);
  axis.Paint(chart.canvas3D, layout);
  const auto texts = canvas.Lines("text ");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "text 10," + std::to_string(a.labelPixel) + " AAAA");
  EXPECT_EQ(texts[1], "text 32," + std::to_string(a.labelPixel) + " CCCC");

  // Without separation every label is drawn.
  canvas.ClearLog();
  axis.SetLabelsSeparation(0);
  axis.Paint(chart.canvas3D, layout);
  EXPECT_EQ(canvas.Lines("text ").size(), 3u);
}

TEST(Axis, LabelStyleFollowsTheSeries) {
  TChart chart;
  TBarSeries& s = ConfigureResultsChart(chart);
  EXPECT_EQ(chart.BottomAxis.ResolveLabelStyle(), TAxisLabelStyle::talValue);  // empty series
  EXPECT_EQ(chart.LeftAxis.ResolveLabelStyle(), TAxisLabelStyle::talText);     // as set
  s.AppendPoint(3, "0.1 to 0.2", clWhite);
  EXPECT_EQ(chart.BottomAxis.ResolveLabelStyle(), TAxisLabelStyle::talText);
  s.Active = false;
  EXPECT_EQ(chart.BottomAxis.ResolveLabelStyle(), TAxisLabelStyle::talNone);
  EXPECT_FALSE(chart.BottomAxis.IsVisible());
  s.Active = true;
  EXPECT_TRUE(chart.BottomAxis.IsVisible());
  EXPECT_TRUE(chart.LeftAxis.IsVisible());
  EXPECT_FALSE(chart.TopAxis.IsVisible());
  EXPECT_FALSE(chart.RightAxis.IsVisible());
  EXPECT_FALSE(chart.DepthAxis.IsVisible());
}

TEST(Axis, SetMinMaxOrdersAndSwitchesToManual) {
  TChart chart;
  TChartAxis& a = chart.LeftAxis;
  a.SetMinMax(5, 2);
  EXPECT_EQ(a.Minimum(), 2);
  EXPECT_EQ(a.Maximum(), 5);
  EXPECT_FALSE(a.Automatic);
  EXPECT_FALSE(a.AutomaticMinimum);
  a.SetMinMax(3, 3);
  EXPECT_DOUBLE_EQ(a.Maximum(), 3 + 1e-10);
  EXPECT_EQ(a.StartLayout().lowValue, 3);  // manual: kept
}

}  // namespace
}  // namespace dw::chart
