// Mouse drags on the results chart widget, as the user makes them, under the
// off-screen platform.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <algorithm>
#include <vector>

#include "chart/qt/chart_widget.h"
#include "chart/qt/print.h"
#include "chart/qt/qpainter_canvas.h"

namespace dw::chart {
namespace {

// A run's histogram through the widget, as the run driver gives it: the
// values 1..I of DeltaSeries and the observed Delta.
void ShowRun(TChartWidget& widget, std::vector<double> values, double observed) {
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  HistogramInput in;
  in.deltaMin = *low, in.deltaMax = *high;
  in.I = static_cast<uint16_t>(values.size());
  in.N = 100, in.m = 0.1, in.observedDelta = observed;
  in.deltaAboveCount = static_cast<uint16_t>(std::count_if(values.begin(), values.end(),
                                                           [&](double v) { return v > observed; }));
  values.insert(values.begin(), 0.0);  // entry 0 is never read
  in.deltaSeries = values;
  std::array<uint16_t, 10> counts{};
  HistogramTarget& target = widget;
  BuildDeltaHistogram(in, NumberMarks{'.', ','}, counts, target);
}

// Values piled up towards the middle, like a run's Deltas.
std::vector<double> Deltas(int n, double scale) {
  std::vector<double> v;
  for (int i = 0; i < n; ++i) v.push_back(scale * ((i * 7919) % 101 + (i * 104729) % 89) / 190.0);
  return v;
}

struct Ranges {
  AxisRange top, bottom, left, right;
};
Ranges Current(const TChart& c) {
  auto r = [](const TChartAxis& a) { return AxisRange{a.Minimum(), a.Maximum()}; };
  return {r(c.TopAxis), r(c.BottomAxis), r(c.LeftAxis), r(c.RightAxis)};
}
bool AllAutomatic(const TChart& c) {
  for (const TChartAxis* a : {&c.TopAxis, &c.BottomAxis, &c.LeftAxis, &c.RightAxis})
    if (!a->Automatic || !a->AutomaticMinimum || !a->AutomaticMaximum) return false;
  return true;
}
QRgb Inverted(QRgb c) { return qRgb(255 - qRed(c), 255 - qGreen(c), 255 - qBlue(c)); }
// The leftmost column holding the observed class' red front.
int LeftmostRed(const QImage& image) {
  for (int x = 0; x < image.width(); ++x)
    for (int y = 0; y < image.height(); ++y)
      if ((image.pixel(x, y) & 0xFFFFFF) == 0xFF0000) return x;
  return -1;
}

class ZoomWidget : public ::testing::Test {
 protected:
  void SetUp() override {
    ShowRun(widget, Deltas(400, 0.1), 0.05);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    shown = Grab();
  }
  QImage Grab() { return widget.grab().toImage().convertToFormat(QImage::Format_RGB32); }
  void Drag(Qt::MouseButton button, QPoint from, QPoint to) {
    QTest::mousePress(&widget, button, {}, from);
    QTest::mouseMove(&widget, (from + to) / 2);
    QTest::mouseMove(&widget, to);
    QTest::mouseRelease(&widget, button, {}, to);
  }
  TChart& chart() { return widget.Chart(); }

  TChartWidget widget;
  QImage shown;
};

TEST_F(ZoomWidget, DragRightAndDownZoomsAllFourAxesAndTheReverseDragUndoes) {
  // The values at the corner pixels, on the chart as shown.
  auto along = [this](const TChartAxis& axis) {
    const TAxisLayout& a = widget.Layout().Of(axis);
    return AxisRange{a.PixelToValue(100), a.PixelToValue(300)};
  };
  auto across = [this](const TChartAxis& axis) {
    const TAxisLayout& a = widget.Layout().Of(axis);
    return AxisRange{a.PixelToValue(250), a.PixelToValue(100)};
  };
  const Ranges expected{along(chart().TopAxis), along(chart().BottomAxis), across(chart().LeftAxis),
                        across(chart().RightAxis)};
  const int barHeight = widget.Series1().BarBox(chart(), widget.Layout(), 4).Height();
  ASSERT_TRUE(AllAutomatic(chart()));

  // During the drag the band shows inverted over the chart; the band of the
  // previous position is gone.
  QTest::mousePress(&widget, Qt::LeftButton, {}, {100, 100});
  QTest::mouseMove(&widget, {200, 180});
  QTest::mouseMove(&widget, {300, 250});
  const QImage dragging = Grab();
  for (QPoint edge : {QPoint(200, 100), QPoint(200, 249), QPoint(100, 175), QPoint(299, 175)})
    EXPECT_EQ(dragging.pixel(edge), Inverted(shown.pixel(edge))) << edge.x() << "," << edge.y();
  for (QPoint inside : {QPoint(200, 179), QPoint(199, 150), QPoint(200, 175)})
    EXPECT_EQ(dragging.pixel(inside), shown.pixel(inside)) << inside.x() << "," << inside.y();
  // A repaint during the drag draws the band again.
  chart().Invalidate();
  EXPECT_EQ(Grab(), dragging);
  QTest::mouseRelease(&widget, Qt::LeftButton, {}, {300, 250});

  const Ranges zoomed = Current(chart());
  const std::pair<AxisRange, AxisRange> pairs[] = {{zoomed.top, expected.top},
                                                    {zoomed.bottom, expected.bottom},
                                                    {zoomed.left, expected.left},
                                                    {zoomed.right, expected.right}};
  for (const auto& [got, want] : pairs) {
    EXPECT_EQ(got.minimum, want.minimum);
    EXPECT_EQ(got.maximum, std::max(want.maximum, want.minimum + 1e-10));  // at least 1e-10 wide
  }
  EXPECT_LT(expected.bottom.minimum, expected.bottom.maximum);
  EXPECT_LT(expected.left.minimum, expected.left.maximum);
  EXPECT_TRUE(chart().IsZoomed);
  EXPECT_FALSE(chart().LeftAxis.Automatic());

  // The zoomed chart, band erased: exactly what the chart draws now.
  const QImage after = Grab();
  QImage redrawn(widget.size(), QImage::Format_RGB32);
  {
    QPainter painter(&redrawn);
    QPainterCanvas canvas(painter, widget.logicalDpiY());
    DrawChart(chart(), canvas, {0, 0, widget.width(), widget.height()});
  }
  EXPECT_EQ(after, redrawn);
  EXPECT_NE(after, shown);
  EXPECT_GT(widget.Series1().BarBox(chart(), widget.Layout(), 4).Height(), barHeight);  // drawn larger

  // Up and left: undo, the axes automatic again and the first picture back.
  Drag(Qt::LeftButton, {300, 250}, {100, 100});
  EXPECT_TRUE(AllAutomatic(chart()));
  EXPECT_FALSE(chart().IsZoomed);
  EXPECT_EQ(Grab(), shown);
}

TEST_F(ZoomWidget, SmallDragOnlyErasesItsBand) {
  QTest::mousePress(&widget, Qt::LeftButton, {}, {150, 100});
  QTest::mouseMove(&widget, {166, 300});
  EXPECT_NE(Grab(), shown);  // the band
  QTest::mouseRelease(&widget, Qt::LeftButton, {}, {166, 300});
  EXPECT_TRUE(AllAutomatic(chart()));
  EXPECT_FALSE(chart().Dirty());
  EXPECT_EQ(Grab(), shown);
}

TEST_F(ZoomWidget, PressOnTheTitleStartsNoDrag) {
  const Rect t = widget.Layout().title.box;
  const QPoint title((t.left + t.right) / 2, (t.top + t.bottom) / 2);
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
    QTest::mousePress(&widget, button, {}, title);
    EXPECT_FALSE(chart().ZoomDrag.Active || chart().ScrollDrag.Active);
    QTest::mouseMove(&widget, {300, 300});
    QTest::mouseRelease(&widget, button, {}, {300, 300});
  }
  EXPECT_TRUE(AllAutomatic(chart()));
  EXPECT_EQ(Grab(), shown);
}

// A print lays the chart out at its own size. Presses before the screen
// repaints are still judged against the chart the screen shows: right of its
// plot is nothing, though the print's plot reaches far beyond.
TEST_F(ZoomWidget, APrintBetweenPaintsLeavesPressesToTheChartShown) {
  const Rect plot = widget.Layout().plot;
  const QPoint rightOfPlot(plot.right + 15, (plot.top + plot.bottom) / 2);
  ASSERT_LT(rightOfPlot.x(), widget.width());
  chart().PrintDetail = -100;  // laid out on twice the area
  QImage paper(1400, 900, QImage::Format_RGB32);
  {
    QPainter painter(&paper);
    DrawChartForPrint(chart(), painter, {0, 0, 1378, 898}, 96);
  }
  ASSERT_GT(chart().PlotRect.right, rightOfPlot.x());
  QTest::mousePress(&widget, Qt::LeftButton, {}, rightOfPlot);
  EXPECT_TRUE(chart().Dirty());  // judged before any repaint
  EXPECT_FALSE(chart().ZoomDrag.Active);
  QTest::mouseRelease(&widget, Qt::LeftButton, {}, rightOfPlot);
  const QPoint inPlot((plot.left + plot.right) / 2, (plot.top + plot.bottom) / 2);
  QTest::mousePress(&widget, Qt::RightButton, {}, inPlot);
  EXPECT_TRUE(chart().ScrollDrag.Active);
  QTest::mouseRelease(&widget, Qt::RightButton, {}, inPlot);
}

TEST_F(ZoomWidget, RightDragScrollsByThePointersMovementUntilItLeavesThePlot) {
  const TChartAxis& bottom = chart().BottomAxis;
  const Ranges before = Current(chart());
  const TAxisLayout& shownBottom = widget.Layout().Of(bottom);
  const double value50 = shownBottom.PixelToValue(250) - shownBottom.PixelToValue(200);
  ASSERT_GT(value50, 0);
  const int red = LeftmostRed(shown);

  QTest::mousePress(&widget, Qt::RightButton, {}, {200, 200});
  QTest::mouseMove(&widget, {250, 200});
  EXPECT_DOUBLE_EQ(bottom.Minimum(), before.bottom.minimum - value50);
  EXPECT_DOUBLE_EQ(bottom.Maximum(), before.bottom.maximum - value50);
  EXPECT_FALSE(chart().TopAxis.Automatic());
  EXPECT_TRUE(chart().LeftAxis.Automatic());  // no vertical movement
  EXPECT_GT(LeftmostRed(Grab()), red);  // the bars moved right

  // Out of the plot the scroll ends; back inside it does not resume.
  QTest::mouseMove(&widget, {250, widget.Layout().plot.top - 2});
  EXPECT_FALSE(chart().ScrollDrag.Active);
  const Ranges ended = Current(chart());
  QTest::mouseMove(&widget, {300, 200});
  QTest::mouseRelease(&widget, Qt::RightButton, {}, {300, 200});
  EXPECT_EQ(bottom.Minimum(), ended.bottom.minimum);
  EXPECT_FALSE(chart().IsZoomed);

  // Scrolling also saved the state: the undo drag returns to the first picture.
  Drag(Qt::LeftButton, {300, 250}, {100, 100});
  EXPECT_TRUE(AllAutomatic(chart()));
  EXPECT_EQ(Grab(), shown);
}

TEST_F(ZoomWidget, ARunAfterAZoomKeepsTheZoomedRangesAndTheUndoFitsTheNewHistogram) {
  Drag(Qt::LeftButton, {100, 100}, {300, 250});
  const Ranges zoomed = Current(chart());
  ASSERT_FALSE(chart().LeftAxis.Automatic());

  const std::vector<double> second = Deltas(900, 0.3);
  ShowRun(widget, second, 0.2);
  const QImage afterRun = Grab();
  // Shown in the zoomed ranges, with no room added for the bars.
  const TChartLayout& drawn = widget.Layout();
  EXPECT_DOUBLE_EQ(drawn.Of(chart().LeftAxis).lowValue, zoomed.left.minimum);
  EXPECT_DOUBLE_EQ(drawn.Of(chart().LeftAxis).highValue, zoomed.left.maximum);
  EXPECT_DOUBLE_EQ(drawn.Of(chart().BottomAxis).lowValue, zoomed.bottom.minimum);
  EXPECT_DOUBLE_EQ(drawn.Of(chart().BottomAxis).highValue, zoomed.bottom.maximum);

  // After the undo the chart is the one a never-zoomed chart shows for the
  // second run.
  Drag(Qt::LeftButton, {300, 250}, {100, 100});
  TChartWidget fresh;
  ShowRun(fresh, second, 0.2);
  const QImage expected = fresh.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(Grab(), expected);
  EXPECT_NE(afterRun, expected);
  EXPECT_GT(chart().LeftAxis.Maximum(), zoomed.left.maximum);
}

}  // namespace
}  // namespace dw::chart
