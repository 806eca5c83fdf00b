#include "chart/qt/chart_widget.h"

#include <QPainter>
#include <QResizeEvent>

#include "chart/qt/qpainter_canvas.h"

namespace dw::chart {

TChartWidget::TChartWidget(QWidget* parent)
    : QWidget(parent), series1_(ConfigureResultsChart(chart_)) {
  // Every paint covers the whole client area.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAutoFillBackground(false);
  chart_.SetRepaintRequest([this] { update(); });
  resize(689, 449);
}

void TChartWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QPainterCanvas canvas(painter, logicalDpiY());
  PaintChart(chart_, canvas, {0, 0, width(), height()});
}

void TChartWidget::resizeEvent(QResizeEvent* event) {
  chart_.ControlWidth = event->size().width();
  chart_.ControlHeight = event->size().height();
  QWidget::resizeEvent(event);
}

}  // namespace dw::chart
