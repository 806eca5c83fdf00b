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

TEST(Axis, ValueToPixelOnAVerticalAxis) {
  TChart chart;
  TChartAxis& a = chart.LeftAxis;
  chart.PlotRect = {10, 50, 600, 350};
  a.CalcPixels();
  ASSERT_EQ(a.StartPixel, 50);
  ASSERT_EQ(a.EndPixel, 350);
  a.LowValue = 0, a.HighValue = 10, a.ValueSpan = 10;
  EXPECT_EQ(a.ValueToPixel(0), 350);
  EXPECT_EQ(a.ValueToPixel(10), 50);
  EXPECT_EQ(a.ValueToPixel(5), 200);
  EXPECT_DOUBLE_EQ(a.PixelToValue(200), 5);
  EXPECT_DOUBLE_EQ(a.PixelToValue(50), 10);
  a.Inverted = true;
  EXPECT_EQ(a.ValueToPixel(0), 50);
  EXPECT_EQ(a.ValueToPixel(10), 350);
  EXPECT_DOUBLE_EQ(a.PixelToValue(80), 1);
  // A zero span maps every value to the centre; a far value too.
  a.HighValue = 0, a.ValueSpan = 0;
  EXPECT_EQ(a.ValueToPixel(3), 200);
  a.HighValue = 1e-300, a.ValueSpan = 1e-300;
  EXPECT_EQ(a.ValueToPixel(1), 200);
}

TEST(Axis, WidenRangeByPixelsPutsTheDataInsideTheEnds) {
  TChart chart;
  TChartAxis& a = chart.BottomAxis;
  chart.PlotRect = {60, 20, 610, 400};
  a.CalcPixels();
  ASSERT_EQ(a.AxisLength, 550);
  a.LowValue = 0, a.HighValue = 9, a.ValueSpan = 9;
  a.WidenRangeByPixels(36, 36);
  EXPECT_NEAR(a.LowValue, -0.678, 0.0005);
  EXPECT_NEAR(a.HighValue, 9.678, 0.0005);
  EXPECT_EQ(a.StartPixel, 60);
  EXPECT_EQ(a.EndPixel, 610);
  EXPECT_EQ(a.ValueToPixel(0), 60 + 36);
  EXPECT_EQ(a.ValueToPixel(9), 610 - 36);

  // A vertical axis keeps its top margin above the highest value.
  TChartAxis& v = chart.LeftAxis;
  v.CalcPixels();
  v.LowValue = 0, v.HighValue = 100, v.ValueSpan = 100;
  v.WidenRangeByPixels(36, 0);
  EXPECT_EQ(v.LowValue, 0);
  EXPECT_EQ(v.ValueToPixel(100), 20 + 36);
  EXPECT_EQ(v.ValueToPixel(0), 400);
}

TEST(Axis, LabelIncrementFitsTheLabelsIntoTheLength) {
  TChart chart;
  RecordingCanvas canvas;
  TChartAxis& a = chart.BottomAxis;  // angle 0: the extent is the label width
  chart.PlotRect = {0, 0, 100, 100};
  a.CalcPixels();
  struct Case {
    double low, high;
    double increment;
    double step;
  };
  // Labels are 5 pixels per character; "100" is 15 wide, 17 with the 10 %
  // separation, so 100 pixels hold 6 of them.
  for (const Case& c : {Case{0, 100, 0, 20}, {0, 5, 0, 1}, {0, 0, 0, 1e-12}, {0, 0.5, 0, 0.1},
                        {0, 100, 3, 20}, {0, 40, 3, 5}}) {
    a.LowValue = c.low, a.HighValue = c.high, a.ValueSpan = c.high - c.low;
    a.SetIncrement(c.increment);
    EXPECT_NEAR(a.LabelIncrement(canvas), c.step, c.step * 1e-9) << c.low << " " << c.high;
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
  chart.PlotRect = {0, 0, 200, 100};
  TChartAxis& a = chart.BottomAxis;
  a.CalcPixels();
  // Pixels 10, 31 and 32: the x values are 0, 1, 2.
  s.XValues.SetValue(1, 1.05);
  s.XValues.SetValue(2, 1.1);
  a.LowValue = -0.5, a.HighValue = 9.5, a.ValueSpan = 10;
  s.firstVisible = 0, s.lastVisible = 2;
  ASSERT_EQ(a.ValueToPixel(0), 10);
  ASSERT_EQ(a.ValueToPixel(1.05), 31);
  ASSERT_EQ(a.ValueToPixel(1.1), 32);
  a.Paint(chart.canvas3D);
  const auto texts = canvas.Lines("text ");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "text 10," + std::to_string(a.LabelPixel) + " AAAA");
  EXPECT_EQ(texts[1], "text 32," + std::to_string(a.LabelPixel) + " CCCC");

  // Without separation every label is drawn.
  canvas.ClearLog();
  a.SetLabelsSeparation(0);
  a.Paint(chart.canvas3D);
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
  a.CalcAutomaticRange();  // manual: kept
  EXPECT_EQ(a.LowValue, 3);
}

}  // namespace
}  // namespace dw::chart
