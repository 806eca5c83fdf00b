#pragma once
// The results chart as a widget: it owns a TChart set up as the results tab's
// chart, paints it through the chart's off-screen buffer, never lets the
// window system erase its background, and takes a run's histogram.
#include <QWidget>

#include "chart/chart.h"
#include "engine/histogram.h"

namespace dw::chart {

class TChartWidget : public QWidget, public HistogramTarget {
 public:
  explicit TChartWidget(QWidget* parent = nullptr);

  TChart& Chart() { return chart_; }
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

 private:
  TChart chart_;
  TBarSeries& series1_;
};

}  // namespace dw::chart
