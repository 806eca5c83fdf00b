#include "chart/qt/chart_widget.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <vector>

namespace dw::chart {
namespace {

int CountPixels(const QImage& image, QRgb colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++n;
  return n;
}

TEST(ChartWidget, TakesTheHistogramOfARunAndPaintsIt) {
  TChartWidget widget;
  EXPECT_TRUE(widget.testAttribute(Qt::WA_OpaquePaintEvent));
  EXPECT_TRUE(widget.testAttribute(Qt::WA_NoSystemBackground));
  EXPECT_EQ(widget.size(), QSize(689, 449));

  // Before the first run: the one-line title and no bars.
  QImage before = widget.grab().toImage();
  EXPECT_EQ(widget.Chart().Title.Text.Count(), 1);
  EXPECT_EQ(CountPixels(before, qRgb(255, 0, 0)), 0);
  EXPECT_GT(CountPixels(before, qRgb(255, 255, 128)), 100);  // the left wall
  EXPECT_FALSE(widget.Chart().Dirty());

  // The engine fills Series1 and the title through the widget.
  std::vector<double> deltas{0.0, 0.01, 0.02, 0.02, 0.03, 0.05, 0.05, 0.05, 0.07, 0.1};
  deltas.insert(deltas.begin(), 0.0);  // entry 0 is never read
  HistogramInput in;
  in.deltaSeries = deltas;
  in.I = 10, in.N = 100, in.m = 0.1, in.observedDelta = 0.05;
  in.deltaMin = 0.0, in.deltaMax = 0.1, in.deltaAboveCount = 2;
  std::array<uint16_t, 10> counts{};
  HistogramTarget& target = widget;
  BuildDeltaHistogram(in, NumberMarks{'.', ','}, counts, target);
  EXPECT_TRUE(widget.Chart().Dirty());
  EXPECT_EQ(widget.Series1().Count(), 10);
  EXPECT_EQ(widget.Chart().Title.Text.Count(), 3);
  EXPECT_EQ(widget.Chart().Title.Text[2], "Amongst 10 simulations, 8 lower values, 2 higher values");
  EXPECT_EQ(widget.Series1().PointColor(5), clRed);

  const QImage after = widget.grab().toImage();
  EXPECT_FALSE(widget.Chart().Dirty());
  EXPECT_GT(CountPixels(after, qRgb(255, 0, 0)), 200);    // the red front
  EXPECT_GT(CountPixels(after, qRgb(127, 0, 0)), 20);     // its side
  EXPECT_GT(CountPixels(after, qRgb(191, 191, 191)), 20);  // white bars' tops
  // Unchanged, the next paint is the buffer's copy: the same picture.
  EXPECT_EQ(widget.grab().toImage(), after);

  // A new size reallocates the buffer and lays the chart out again.
  widget.resize(400, 250);
  const QImage small = widget.grab().toImage();
  EXPECT_EQ(small.size(), QSize(400, 250));
  EXPECT_GT(CountPixels(small, qRgb(255, 0, 0)), 50);
}

}  // namespace
}  // namespace dw::chart
