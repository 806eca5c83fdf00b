#include "chart/qt/qpainter_canvas.h"

#include <QFontMetrics>
#include <QPaintEngine>
#include <QPolygon>
#include <QRegion>
#include <QtMath>
#include <cmath>

namespace dw::chart {

QColor ToQColor(Color c) {
  const Color rgb = ColorToRGB(c);
  return QColor(RedOf(rgb), GreenOf(rgb), BlueOf(rgb));
}

QPainterCanvas::QPainterCanvas(QPainter& painter, int pixelsPerInch)
    : painter_(painter), pixelsPerInch_(pixelsPerInch) {
  if (painter_.device()) devicePixelRatio_ = painter_.device()->devicePixelRatioF();
  // The chart was drawn pixel by pixel without smoothing.
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  font_ = ToQFont(Font());
  measuredFont_ = font_;
  ApplyPen();
  ApplyBrush();
  painter_.setBackgroundMode(Qt::OpaqueMode);
  painter_.setBackground(ToQColor(BackColor()));
}

QFont QPainterCanvas::ToQFont(const FontSpec& font) {
  QFont f(QString::fromStdString(font.name));
  // A negative height is the character height (the em size); a positive one
  // the cell, of which the em is about 7/8 for Arial.
  const int pixels = font.height < 0 ? -font.height : std::max(1, font.height * 7 / 8);
  f.setPixelSize(std::max(1, pixels));
  f.setBold(font.bold);
  f.setItalic(font.italic);
  f.setUnderline(font.underline);
  f.setStrikeOut(font.strikeOut);
  f.setKerning(false);
  f.setStyleStrategy(QFont::PreferOutline);  // outline fonts rotate
  return f;
}

void QPainterCanvas::ApplyPen() {
  const PenSpec& p = Pen();
  Qt::PenStyle style = Qt::SolidLine;
  switch (p.style) {
    case PenStyle::Solid: style = Qt::SolidLine; break;
    case PenStyle::Dash: style = Qt::DashLine; break;
    case PenStyle::Dot: style = Qt::DotLine; break;
    case PenStyle::DashDot: style = Qt::DashDotLine; break;
    case PenStyle::Clear: style = Qt::NoPen; break;
  }
  QPen pen(ToQColor(p.color), p.width, style, Qt::FlatCap, Qt::MiterJoin);
  if (p.width <= 1) {
    pen.setCosmetic(true);
    // A one-pixel line stays one pixel of the chart, as thick as the rest
    // of the picture, on a screen of several device pixels per pixel.
    if (devicePixelRatio_ > 1) pen.setWidthF(devicePixelRatio_);
  }
  painter_.setPen(pen);
  if (painter_.paintEngine() && painter_.paintEngine()->hasFeature(QPaintEngine::RasterOpModes))
    painter_.setCompositionMode(p.mode == PenMode::NotXor
                                    ? QPainter::RasterOp_NotSourceXorDestination
                                    : QPainter::CompositionMode_SourceOver);
}

void QPainterCanvas::ApplyBrush() {
  const BrushSpec& b = Brush();
  Qt::BrushStyle style = Qt::SolidPattern;
  switch (b.style) {
    case BrushStyle::Solid: style = Qt::SolidPattern; break;
    case BrushStyle::Clear: style = Qt::NoBrush; break;
    case BrushStyle::Horizontal: style = Qt::HorPattern; break;
    case BrushStyle::Vertical: style = Qt::VerPattern; break;
    case BrushStyle::FDiagonal: style = Qt::FDiagPattern; break;
    case BrushStyle::BDiagonal: style = Qt::BDiagPattern; break;
    case BrushStyle::Cross: style = Qt::CrossPattern; break;
    case BrushStyle::DiagCross: style = Qt::DiagCrossPattern; break;
  }
  painter_.setBrush(QBrush(ToQColor(b.color), style));
}

void QPainterCanvas::SetPen(const PenSpec& pen) {
  Canvas::SetPen(pen);
  ApplyPen();
}

void QPainterCanvas::SetBrush(const BrushSpec& brush) {
  Canvas::SetBrush(brush);
  ApplyBrush();
}

void QPainterCanvas::SetFont(const FontSpec& font) {
  if (font == Font()) return;
  Canvas::SetFont(font);
  font_ = ToQFont(font);
}

void QPainterCanvas::SetBackColor(Color c) {
  Canvas::SetBackColor(c);
  painter_.setBackground(ToQColor(c));
}

void QPainterCanvas::SetBackMode(BackMode m) {
  Canvas::SetBackMode(m);
  painter_.setBackgroundMode(m == BackMode::Opaque ? Qt::OpaqueMode : Qt::TransparentMode);
}

int QPainterCanvas::TextWidth(std::string_view text) {
  return QFontMetrics(font_).horizontalAdvance(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

int QPainterCanvas::TextHeight(std::string_view) { return QFontMetrics(font_).height(); }

// A layout measures many labels in one font: the last font measured is kept
// rather than built again for each.
const QFont& QPainterCanvas::MeasuredFont(const FontSpec& font) {
  if (font == Font()) return font_;
  if (!(font == measuredSpec_)) {
    measuredSpec_ = font;
    measuredFont_ = ToQFont(font);
  }
  return measuredFont_;
}

int QPainterCanvas::TextWidthIn(const FontSpec& font, std::string_view text) {
  return QFontMetrics(MeasuredFont(font))
      .horizontalAdvance(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

int QPainterCanvas::LineHeightIn(const FontSpec& font) { return QFontMetrics(MeasuredFont(font)).height(); }

void QPainterCanvas::Rectangle(const Rect& r) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  // The outline runs on the rectangle's last pixels inside, as on the platform canvas.
  painter_.drawRect(QRect(r.left, r.top, r.Width() - 1, r.Height() - 1));
}

void QPainterCanvas::Polygon(std::span<const Point> points) {
  QPolygon polygon;
  for (const Point& p : points) polygon << QPoint(p.x, p.y);
  painter_.drawPolygon(polygon);
}

void QPainterCanvas::FillRect(const Rect& r) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  painter_.fillRect(QRect(r.left, r.top, r.Width(), r.Height()), painter_.brush());
}

void QPainterCanvas::Line(Point from, Point to) {
  // The flat cap leaves out the last pixel, as the platform canvas does.
  painter_.drawLine(QPoint(from.x, from.y), QPoint(to.x, to.y));
}

// Text at `origin` (in the painter's current coordinates) by the alignment;
// an opaque background fills the cell when the brush is solid.
void QPainterCanvas::DrawTextAt(QPointF origin, const QString& text) {
  const QFontMetrics m(font_);
  const int w = m.horizontalAdvance(text);
  double x = origin.x();
  if (TextHAlign() == HAlign::Center) x -= w / 2;
  if (TextHAlign() == HAlign::Right) x -= w;
  const double top = TextVAlign() == VAlign::Top ? origin.y() : origin.y() - m.height();
  if (GetBackMode() == BackMode::Opaque && Brush().style == BrushStyle::Solid)
    painter_.fillRect(QRectF(x, top, w, m.height()), ToQColor(Brush().color));
  const QPen pen = painter_.pen();
  const Qt::BGMode mode = painter_.backgroundMode();
  painter_.setBackgroundMode(Qt::TransparentMode);
  painter_.setPen(ToQColor(Font().color));
  painter_.setFont(font_);
  painter_.drawText(QPointF(x, top + m.ascent()), text);
  painter_.setPen(pen);
  painter_.setBackgroundMode(mode);
}

void QPainterCanvas::TextOut(Point at, std::string_view text) {
  DrawTextAt(QPointF(at.x, at.y), QString::fromUtf8(text.data(), qsizetype(text.size())));
}

void QPainterCanvas::RotatedTextOut(Point at, std::string_view text, int angle) {
  painter_.save();
  painter_.translate(at.x, at.y);
  painter_.rotate(-angle);  // counter-clockwise on screen
  DrawTextAt(QPointF(0, 0), QString::fromUtf8(text.data(), qsizetype(text.size())));
  painter_.restore();
}

void QPainterCanvas::ClipToRect(const Rect& r) {
  painter_.setClipRect(QRect(r.left, r.top, r.Width(), r.Height()));
}

void QPainterCanvas::ClipToPolygon(std::span<const Point> points) {
  QPolygon polygon;
  for (const Point& p : points) polygon << QPoint(p.x, p.y);
  painter_.setClipRegion(QRegion(polygon, Qt::WindingFill));
}

void QPainterCanvas::RemoveClip() { painter_.setClipping(false); }

std::unique_ptr<OffscreenBitmap> QPainterCanvas::CreateBitmap(int width, int height, bool) {
  return std::make_unique<QImageBitmap>(width, height, pixelsPerInch_, devicePixelRatio_);
}

void QPainterCanvas::DrawBitmap(Point at, OffscreenBitmap& bitmap) {
  if (auto* image = dynamic_cast<QImageBitmap*>(&bitmap)) {
    const QPainter::CompositionMode mode = painter_.compositionMode();
    painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_.drawImage(QPoint(at.x, at.y), image->Image());
    painter_.setCompositionMode(mode);
  }
}

QImageBitmap::QImageBitmap(int width, int height, int pixelsPerInch, qreal devicePixelRatio)
    : width_(std::max(1, width)), height_(std::max(1, height)), pixelsPerInch_(pixelsPerInch) {
  const qreal ratio = std::max<qreal>(1, devicePixelRatio);
  image_ = QImage(qCeil(width_ * ratio), qCeil(height_ * ratio), QImage::Format_RGB32);
  image_.setDevicePixelRatio(ratio);
  image_.fill(Qt::white);
}

QImageBitmap::~QImageBitmap() {
  canvas_.reset();
  if (painter_ && painter_->isActive()) painter_->end();
}

Canvas& QImageBitmap::Surface() {
  if (!painter_ || !painter_->isActive()) {
    canvas_.reset();
    painter_ = std::make_unique<QPainter>(&image_);
    canvas_ = std::make_unique<QPainterCanvas>(*painter_, pixelsPerInch_);
  }
  return *canvas_;
}

const QImage& QImageBitmap::Image() {
  canvas_.reset();
  if (painter_ && painter_->isActive()) painter_->end();
  return image_;
}

}  // namespace dw::chart
