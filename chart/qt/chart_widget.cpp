#include "chart/qt/chart_widget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QtMath>
#include <optional>

#include "chart/qt/qpainter_canvas.h"
#include "chart/zoom.h"

namespace dw::chart {

TChartWidget::TChartWidget(QWidget* parent)
    : QWidget(parent), series1_(ConfigureResultsChart(chart_)) {
  // Every paint covers the whole client area.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAutoFillBackground(false);
  chart_.SetRepaintRequest([this] { update(); });
  chart_.SetImmediateRepaint([this] { repaint(); });
  resize(689, 449);
}

void TChartWidget::paintEvent(QPaintEvent*) {
  // The screen keeps its pixels between paints, rubber band included; only a
  // change or a new size paints the chart again. The image has the screen's
  // own pixels (devicePixelRatio per pixel of the chart), so text and lines
  // are drawn sharp on a high-density screen rather than magnified.
  const qreal ratio = devicePixelRatioF();
  const QSize pixels(qCeil(width() * ratio), qCeil(height() * ratio));
  if (screen_.size() != pixels || screen_.devicePixelRatio() != ratio || chart_.Dirty()) {
    if (screen_.size() != pixels || screen_.devicePixelRatio() != ratio) {
      // The chart's own buffer was made for the old ratio.
      if (screen_.devicePixelRatio() != ratio) {
        chart_.canvas3D.bitmap.reset();
        chart_.canvas3D.dirty = true;
      }
      screen_ = QImage(pixels, QImage::Format_RGB32);
      screen_.setDevicePixelRatio(ratio);
      screen_.fill(Qt::white);  // shown as it is while printing
    }
    QPainter screenPainter(&screen_);
    QPainterCanvas canvas(screenPainter, logicalDpiY());
    PaintChart(chart_, canvas, {0, 0, width(), height()}, layout_);
  }
  QPainter painter(this);
  painter.drawImage(0, 0, screen_);
}

void TChartWidget::DrawOnScreen(const std::function<void(Canvas&)>& draw) {
  // Nothing shown yet: draw on a scratch pixel; the first paint draws the
  // band with the chart.
  QImage scratch;
  if (screen_.isNull()) scratch = QImage(1, 1, QImage::Format_RGB32);
  {
    QPainter screenPainter(screen_.isNull() ? &scratch : &screen_);
    QPainterCanvas canvas(screenPainter, logicalDpiY());
    draw(canvas);
  }
  update();
}

namespace {

std::optional<MouseButton> ChartButton(Qt::MouseButton b) {
  switch (b) {
    case Qt::LeftButton: return MouseButton::Left;
    case Qt::RightButton: return MouseButton::Right;
    case Qt::MiddleButton: return MouseButton::Middle;
    default: return std::nullopt;
  }
}

unsigned ChartKeys(Qt::KeyboardModifiers m) {
  return (m & Qt::ShiftModifier ? ssShift : 0u) | (m & Qt::ControlModifier ? ssCtrl : 0u) |
         (m & Qt::AltModifier ? ssAlt : 0u);
}

Point ChartPoint(const QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  return {p.x(), p.y()};
}

}  // namespace

void TChartWidget::mousePressEvent(QMouseEvent* event) {
  const std::optional<MouseButton> button = ChartButton(event->button());
  if (!button) return QWidget::mousePressEvent(event);
  bool dragging = false;
  DrawOnScreen([&](Canvas& c) {
    dragging = ChartMouseDown(chart_, layout_, *button, ChartKeys(event->modifiers()), ChartPoint(event), c);
  });
  if (dragging) setCursor(Qt::ArrowCursor);
}

void TChartWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!chart_.ZoomDrag.Active && !chart_.ScrollDrag.Active) {
    unsetCursor();  // the bar series has no cursor of its own
    return;
  }
  DrawOnScreen([&](Canvas& c) { ChartMouseMove(chart_, layout_, ChartPoint(event), c); });
}

void TChartWidget::mouseReleaseEvent(QMouseEvent* event) {
  const std::optional<MouseButton> button = ChartButton(event->button());
  if (!button) return QWidget::mouseReleaseEvent(event);
  DrawOnScreen([&](Canvas& c) { ChartMouseUp(chart_, layout_, *button, ChartPoint(event), c); });
}

void TChartWidget::leaveEvent(QEvent* event) {
  ChartMouseLeave(chart_);
  QWidget::leaveEvent(event);
}

void TChartWidget::resizeEvent(QResizeEvent* event) {
  chart_.ControlWidth = event->size().width();
  chart_.ControlHeight = event->size().height();
  QWidget::resizeEvent(event);
}

}  // namespace dw::chart
