#include "ui/previewpage.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "chart/chart.h"
#include "chart/qt/qpainter_canvas.h"
#include "runtime/random.h"

namespace dw::ui {

using chart::MulDiv;
using chart::Point;
using chart::Rect;

namespace {

constexpr int kEdgeTolerance = 4;  // pixels either side of an edge that still grab it
constexpr chart::Color kSilver = 0xC0C0C0;

int Percent(int size, int percent) {
  return static_cast<int>(RoundToInt(static_cast<long double>(size) * percent / 100));
}

// The platform's point-in-rectangle: right and bottom edges are outside.
bool Inside(const Rect& r, Point p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// Hourglass for the time of one print, whatever way it ends.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

namespace {

// 90 % of the client's height, centred across.
Rect FitToHeight(int pageWidth, int pageHeight, int clientWidth, int clientHeight) {
  const int height = clientHeight - Percent(clientHeight, 10);
  const int width = pageHeight <= 0 ? clientWidth : MulDiv(height, pageWidth, pageHeight);
  const int left = (clientWidth - width) / 2, top = Percent(clientHeight, 5);
  return {left, top, left + width, top + height};
}

// 90 % of the client's width, centred down.
Rect FitToWidth(int pageWidth, int pageHeight, int clientWidth, int clientHeight) {
  const int width = clientWidth - Percent(clientWidth, 10);
  const int height = pageWidth <= 0 ? clientHeight : MulDiv(width, pageHeight, pageWidth);
  const int left = Percent(clientWidth, 5), top = (clientHeight - height) / 2;
  return {left, top, left + width, top + height};
}

}  // namespace

Rect PaperRectFor(int pageWidth, int pageHeight, int clientWidth, int clientHeight) {
  const bool known = pageWidth > 0 && pageHeight > 0;
  if (pageWidth < pageHeight) {
    const Rect r = FitToHeight(pageWidth, pageHeight, clientWidth, clientHeight);
    if (!known || r.Width() <= clientWidth - Percent(clientWidth, 10)) return r;
  } else {
    const Rect r = FitToWidth(pageWidth, pageHeight, clientWidth, clientHeight);
    if (!known || r.Height() <= clientHeight - Percent(clientHeight, 10)) return r;
  }
  // A wide, low window for a landscape page, or a narrow, tall one for a
  // portrait page: the other side limits the paper.
  return pageWidth < pageHeight ? FitToWidth(pageWidth, pageHeight, clientWidth, clientHeight)
                                : FitToHeight(pageWidth, pageHeight, clientWidth, clientHeight);
}

Rect ImageRectFor(const Rect& paper, const chart::PrintMargins& m) {
  const int w = paper.Width(), h = paper.Height();
  return {paper.left + MulDiv(m.left, w, 100), paper.top + MulDiv(m.top, h, 100),
          paper.right - MulDiv(m.right, w, 100), paper.bottom - MulDiv(m.bottom, h, 100)};
}

TPreviewZone ZoneAt(const Rect& image, Point p, bool allowMove, bool allowResize) {
  const bool left = std::abs(p.x - image.left) <= kEdgeTolerance;
  const bool right = std::abs(p.x - image.right) <= kEdgeTolerance;
  const bool top = std::abs(p.y - image.top) <= kEdgeTolerance;
  const bool bottom = std::abs(p.y - image.bottom) <= kEdgeTolerance;
  TPreviewZone zone = TPreviewZone::None;
  if (left && top) zone = TPreviewZone::TopLeft;
  else if (left && bottom) zone = TPreviewZone::BottomLeft;
  else if (right && top) zone = TPreviewZone::TopRight;
  else if (right && bottom) zone = TPreviewZone::BottomRight;
  else if (left) zone = TPreviewZone::Left;
  else if (!right && !top && !bottom)
    zone = Inside(image, p) && allowMove ? TPreviewZone::Move : TPreviewZone::None;
  else if (right) zone = TPreviewZone::Right;
  else if (bottom) zone = TPreviewZone::Bottom;
  else zone = TPreviewZone::Top;
  if (!allowResize && zone != TPreviewZone::Move) zone = TPreviewZone::None;
  return zone;
}

chart::PrintMargins MarginsOf(const Rect& image, const Rect& paper) {
  const int w = paper.Width(), h = paper.Height();
  return {MulDiv(image.left - paper.left, 100, w), MulDiv(image.top - paper.top, 100, h),
          MulDiv(paper.right - image.right, 100, w), MulDiv(paper.bottom - image.bottom, 100, h)};
}

// ---------------------------------------------------------------------------

TKivPreviewPage::TKivPreviewPage(QWidget* parent) : QWidget(parent) {
  setObjectName("PreviewPage");
  // Every paint copies the whole off-screen image.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
}

int TKivPreviewPage::PageCount() const { return Image ? std::max(1, Image->PageCount()) : 1; }

void TKivPreviewPage::SetPageIndex(int page) {
  page = std::clamp(page, 0, PageCount() - 1);
  if (page == page_) return;
  page_ = page;
  Invalidate();
}

void TKivPreviewPage::Invalidate() {
  dirty_ = true;
  update();
}

void TKivPreviewPage::resizeEvent(QResizeEvent* event) {
  dirty_ = true;
  QWidget::resizeEvent(event);
}

QSize TKivPreviewPage::BitmapPixels() const {
  const qreal ratio = devicePixelRatioF();
  return {std::max(1, qCeil(width() * ratio)), std::max(1, qCeil(height() * ratio))};
}

void TKivPreviewPage::paintEvent(QPaintEvent*) {
  if (dirty_ || bitmap_.size() != BitmapPixels()) Render();
  QPainter painter(this);
  painter.drawImage(0, 0, bitmap_);
}

void TKivPreviewPage::Render() {
  dirty_ = false;
  // The screen's own pixels, so the page is as sharp as the form around it.
  bitmap_ = QImage(BitmapPixels(), QImage::Format_RGB32);
  bitmap_.setDevicePixelRatio(devicePixelRatioF());
  const chart::PageGeometry page = printer_ ? chart::PageOf(*printer_) : chart::PageGeometry{};
  paperRect_ = PaperRectFor(page.width, page.height, width(), height());
  imageRect_ = Image ? ImageRectFor(paperRect_, Image->Margins()) : paperRect_;

  QPainter painter(&bitmap_);
  {
    chart::QPainterCanvas c(painter, chart::ScreenPixelsPerInch());
    c.SetPen({chart::clBlack, chart::PenStyle::Clear, 1, chart::PenMode::Copy});
    const QColor face = palette().color(QPalette::Window);
    c.SetBrush({chart::RGB(face.red(), face.green(), face.blue()), chart::BrushStyle::Solid});
    c.FillRect({0, 0, width(), height()});
    const Rect& p = paperRect_;
    c.SetPen({chart::clBlack, chart::PenStyle::Solid, 1, chart::PenMode::Copy});
    c.SetBrush({PaperColor, chart::BrushStyle::Solid});
    c.Rectangle(p);
    c.SetBrush({chart::clBlack, chart::BrushStyle::Solid});
    c.FillRect({p.left + 5, p.bottom, p.right + 5, p.bottom + 4});
    c.FillRect({p.right, p.top + 4, p.right + 5, p.bottom + 4});
  }
  painter.end();
  if (ShowMargins) DrawMarginLines();
  if (ShowImage && Image) {
    painter.begin(&bitmap_);
    DrawChartImage(painter);
    painter.end();
  }
}

void TKivPreviewPage::DrawChartImage(QPainter& painter) {
  chart::TPrintable& printable = *Image;
  const Rect& r = imageRect_;
  if (r.Width() <= 0 || r.Height() <= 0) return;
  const chart::LogicalSize size = chart::PrintLogicalSize(printable, r);
  if (size.width <= 0 || size.height <= 0) return;
  // The chart laid out at its logical size, as it prints, then stretched
  // over the image rectangle. Drawn straight through a mapping that scales
  // across and down differently (the usual case in portrait), the raster
  // engine would space rotated labels apart glyph by glyph, which no printer
  // does. The drawing is made at the page's resolution or finer, so the
  // stretch only ever shrinks it; without AsBitmap it is also smoothed.
  qreal scale = 1;
  if (!AsBitmap) {
    const qreal ratio = bitmap_.devicePixelRatio();
    scale = std::max({1.0, std::ceil(ratio * r.Width() / size.width),
                      std::ceil(ratio * r.Height() / size.height)});
  }
  QImage image(qCeil(size.width * scale), qCeil(size.height * scale), QImage::Format_RGB32);
  image.setDevicePixelRatio(scale);
  image.fill(chart::ToQColor(PaperColor));
  {
    QPainter p(&image);
    chart::DrawForPrint(printable, p, {0, 0, size.width, size.height}, std::min(page_, PageCount() - 1));
  }
  const QRect target(r.left, r.top, r.Width(), r.Height());
  if (!AsBitmap) {
    // Shrunk by averaging over each target pixel: filtering at draw time
    // would drop most rows of the thin lines and text.
    const qreal ratio = bitmap_.devicePixelRatio();
    image = image.scaled(qCeil(target.width() * ratio), qCeil(target.height() * ratio),
                         Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(ratio);
  }
  painter.save();
  painter.setClipRect(target);
  painter.drawImage(target, image);
  painter.restore();
}

void TKivPreviewPage::DrawMarginLines() {
  if (bitmap_.isNull()) return;
  QPainter painter(&bitmap_);
  chart::QPainterCanvas c(painter, chart::ScreenPixelsPerInch());
  // Silver shows on white paper; on silver or gray paper white does.
  const chart::Color color = PaperColor == kSilver || PaperColor == chart::clGray ? chart::clWhite : kSilver;
  c.SetPen({color, chart::PenStyle::Dot, 1, chart::PenMode::NotXor});
  c.SetBackMode(chart::BackMode::Transparent);
  const Rect& p = paperRect_;
  const Rect& i = imageRect_;
  c.Line({i.left - 1, p.top}, {i.left - 1, p.bottom});
  c.Line({i.right + 1, p.top}, {i.right + 1, p.bottom});
  c.Line({p.left, i.top - 1}, {p.right, i.top - 1});
  c.Line({p.left, i.bottom + 1}, {p.right, i.bottom + 1});
  painter.end();
  update();
}

void TKivPreviewPage::Print() {
  if (!Image || !printer_) return;
  WaitCursor wait;
  if (!AsBitmap) {
    chart::PrintDocument(*Image, *printer_);
    return;
  }
  // The page shown, as the preview shows it: one image stretched over the area.
  chart::TPrintable& printable = *Image;
  const Rect area = chart::PrintArea(printable, chart::PageOf(*printer_));
  const chart::LogicalSize size = chart::PrintLogicalSize(printable, area);
  QImage image(std::max(1, size.width), std::max(1, size.height), QImage::Format_RGB32);
  image.fill(chart::ToQColor(PaperColor));
  {
    QPainter p(&image);
    chart::DrawForPrint(printable, p, {0, 0, image.width(), image.height()}, std::min(page_, PageCount() - 1));
  }
  printer_->setDocName(printable.DocumentTitle());
  QPainter painter;
  if (!painter.begin(printer_)) throw chart::EPrinter("L'imprimante sélectionnée n'est pas valide");
  try {
    painter.drawImage(QRect(area.left, area.top, area.Width(), area.Height()), image);
    if (!painter.end()) throw chart::EPrinter("L'impression a échoué");
  } catch (...) {
    printer_->abort();
    if (printer_->printerState() == QPrinter::Active && painter.isActive()) painter.end();
    throw;
  }
}

QCursor TKivPreviewPage::CursorFor(TPreviewZone zone) const {
  switch (zone) {
    case TPreviewZone::Left:
    case TPreviewZone::Right: return Qt::SizeHorCursor;
    case TPreviewZone::Top:
    case TPreviewZone::Bottom: return Qt::SizeVerCursor;
    case TPreviewZone::TopLeft:
    case TPreviewZone::BottomRight: return Qt::SizeFDiagCursor;
    case TPreviewZone::TopRight:
    case TPreviewZone::BottomLeft: return Qt::SizeBDiagCursor;
    case TPreviewZone::Move:
      return dragZone_ == TPreviewZone::Move ? Qt::ClosedHandCursor : Qt::OpenHandCursor;
    case TPreviewZone::None: break;
  }
  return Qt::ArrowCursor;
}

void TKivPreviewPage::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  const Point p{event->position().toPoint().x(), event->position().toPoint().y()};
  dragZone_ = ZoneAt(imageRect_, p, AllowMove, AllowResize);
  // With the margins hidden the drag still shows its lines, so the XOR
  // drawing that follows erases what it drew and leaves no trace.
  if (dragZone_ != TPreviewZone::None && !DragImage && !ShowMargins) DrawMarginLines();
  if (dragZone_ == TPreviewZone::Move) {
    downPoint_ = p;
    downImage_ = imageRect_;
    setCursor(CursorFor(dragZone_));
  }
}

void TKivPreviewPage::mouseMoveEvent(QMouseEvent* event) {
  const Point p{event->position().toPoint().x(), event->position().toPoint().y()};
  if (!Inside(paperRect_, p)) {
    if (dragZone_ == TPreviewZone::None) setCursor(Qt::ArrowCursor);
    return;
  }
  if (dragZone_ == TPreviewZone::None) {
    setCursor(CursorFor(ZoneAt(imageRect_, p, AllowMove, AllowResize)));
    return;
  }
  DragTo(p);
}

void TKivPreviewPage::DragTo(Point p) {
  if (!DragImage) DrawMarginLines();  // erases the old ones
  Rect& i = imageRect_;
  const Rect& paper = paperRect_;
  const TPreviewZone z = dragZone_;
  const bool left = z == TPreviewZone::Left || z == TPreviewZone::TopLeft || z == TPreviewZone::BottomLeft;
  const bool right = z == TPreviewZone::Right || z == TPreviewZone::TopRight || z == TPreviewZone::BottomRight;
  const bool top = z == TPreviewZone::Top || z == TPreviewZone::TopLeft || z == TPreviewZone::TopRight;
  const bool bottom = z == TPreviewZone::Bottom || z == TPreviewZone::BottomLeft || z == TPreviewZone::BottomRight;
  // An edge stays on the paper and on its side of the opposite edge.
  if (left && paper.left <= p.x && p.x < i.right) i.left = p.x;
  if (top && paper.top <= p.y && p.y < i.bottom) i.top = p.y;
  if (right && i.left < p.x && p.x <= paper.right) i.right = p.x;
  if (bottom && i.top < p.y && p.y <= paper.bottom) i.bottom = p.y;
  if (z == TPreviewZone::Move) {
    const Rect& o = downImage_;
    const int l = std::max(paper.left, p.x + o.left - downPoint_.x);
    const int t = std::max(paper.top, p.y + o.top - downPoint_.y);
    const int r = std::min(paper.right, o.right + l - o.left);
    const int b = std::min(paper.bottom, o.bottom + t - o.top);
    if (Inside(paper, {l, t}) && Inside(paper, {r, b})) i = {l, t, r, b};
  }
  const chart::PrintMargins margins = MarginsOf(i, paper);
  if (Image) Image->SetMargins(margins);
  if (OnChangeMargins)
    OnChangeMargins(*this, true, margins);
  else if (DragImage)
    Invalidate();
  else
    DrawMarginLines();
}

void TKivPreviewPage::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  const bool dragged = dragZone_ != TPreviewZone::None;
  dragZone_ = TPreviewZone::None;
  if (dragged) {
    const Point p{event->position().toPoint().x(), event->position().toPoint().y()};
    setCursor(Inside(paperRect_, p) ? CursorFor(ZoneAt(imageRect_, p, AllowMove, AllowResize))
                                    : QCursor(Qt::ArrowCursor));
  }
  Invalidate();
}

}  // namespace dw::ui
