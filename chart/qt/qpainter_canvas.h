#pragma once
// The chart canvas over a QPainter: widgets, images, SVG, PDF and printers.
// Rectangles exclude their right and bottom edges; text is placed by the
// canvas' alignment at its cell's top-left, top-centre, bottom … corner.
#include <QFont>
#include <QImage>
#include <QPainter>
#include <memory>

#include "chart/canvas.h"

namespace dw::chart {

QColor ToQColor(Color c);

class QPainterCanvas : public Canvas {
 public:
  // `painter` must be active for the canvas' lifetime; fonts given in points
  // are sized for `pixelsPerInch`.
  explicit QPainterCanvas(QPainter& painter, int pixelsPerInch = 96);

  void SetPen(const PenSpec& pen) override;
  void SetBrush(const BrushSpec& brush) override;
  void SetFont(const FontSpec& font) override;
  void SetBackColor(Color c) override;
  void SetBackMode(BackMode m) override;
  int TextWidth(std::string_view text) override;
  int TextHeight(std::string_view text) override;
  int TextWidthIn(const FontSpec& font, std::string_view text) override;
  int LineHeightIn(const FontSpec& font) override;
  int PixelsPerInch() const override { return pixelsPerInch_; }
  void Rectangle(const Rect& r) override;
  void Polygon(std::span<const Point> points) override;
  void FillRect(const Rect& r) override;
  void Line(Point from, Point to) override;
  void TextOut(Point at, std::string_view text) override;
  void RotatedTextOut(Point at, std::string_view text, int angle) override;
  void ClipToRect(const Rect& r) override;
  void ClipToPolygon(std::span<const Point> points) override;
  void RemoveClip() override;
  std::unique_ptr<OffscreenBitmap> CreateBitmap(int width, int height, bool monochrome) override;
  void DrawBitmap(Point at, OffscreenBitmap& bitmap) override;

  QPainter& Painter() { return painter_; }
  // The Qt font for a chart font: "Arial" as the system resolves it.
  static QFont ToQFont(const FontSpec& font);

 private:
  void ApplyPen();
  void ApplyBrush();
  void DrawTextAt(QPointF origin, const QString& text);
  const QFont& MeasuredFont(const FontSpec& font);
  QPainter& painter_;
  int pixelsPerInch_;
  // Device pixels per pixel of the chart: above 1 on a high-density screen.
  qreal devicePixelRatio_ = 1;
  QFont font_;
  FontSpec measuredSpec_;
  QFont measuredFont_;
};

// An off-screen image with its own painter; the painter ends before the
// image is copied and begins again on the next drawing. Its size is in the
// chart's pixels; it holds devicePixelRatio times as many of the screen's.
class QImageBitmap : public OffscreenBitmap {
 public:
  QImageBitmap(int width, int height, int pixelsPerInch, qreal devicePixelRatio = 1);
  ~QImageBitmap() override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  Canvas& Surface() override;
  const QImage& Image();

 private:
  QImage image_;
  int width_, height_;
  int pixelsPerInch_;
  std::unique_ptr<QPainter> painter_;
  std::unique_ptr<QPainterCanvas> canvas_;
};

}  // namespace dw::chart
