#pragma once
// The results chart as a widget: it owns a TChart set up as the results tab's
// chart, paints it through the chart's off-screen buffer, never lets the
// window system erase its background, takes a run's histogram, and zooms and
// scrolls with the mouse.
#include <QImage>
#include <QWidget>
#include <functional>

#include "chart/chart.h"
#include "engine/histogram.h"

namespace dw::chart {

class TChartWidget : public QWidget, public HistogramTarget {
 public:
  explicit TChartWidget(QWidget* parent = nullptr);

  TChart& Chart() { return chart_; }
  // The layout of the last paint on screen: what the mouse is read against.
  const TChartLayout& Layout() const { return layout_; }
  TBarSeries& Series1() { return series1_; }
  // The separators of the value marks (the window passes its locale's).
  void SetNumberMarks(const NumberMarks& marks) { chart_.Separators = marks; }

  // HistogramTarget: the title lines and the points of Series1.
  void ClearTitle() override { chart_.Title.Text.Clear(); }
  void AppendTitleLine(std::string_view line) override { chart_.Title.Text.Add(std::string(line)); }
  void RemoveAllPoints() override { series1_.RemoveAllPoints(); }
  void AppendPoint(double y, std::string_view label, Color color) override {
    series1_.AppendPoint(y, std::string(label), color);
  }

  QSize sizeHint() const override { return {689, 449}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  // Draws on what the window shows, then has it shown.
  void DrawOnScreen(const std::function<void(Canvas&)>& draw);

  TChart chart_;
  TBarSeries& series1_;
  TChartLayout layout_;
  // The window's pixels: the chart as last painted, with the rubber band
  // inverted over it while a zoom is dragged. Qt lets a widget draw only
  // while it paints, so mouse handling draws here and asks for a paint.
  QImage screen_;
};

}  // namespace dw::chart
