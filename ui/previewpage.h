#pragma once
// The preview's sheet of paper: the printer's page in proportion, one page
// of the chart (or table) drawn on it inside the print margins as it will
// print, and the margins dragged with the mouse. Painted into an off-screen image that is copied to
// the screen, so the margin lines can be drawn and erased in XOR between
// paints.
#include <QImage>
#include <QWidget>
#include <functional>

#include "chart/canvas.h"
#include "chart/qt/print.h"

class QPrinter;

namespace dw::chart {
class TChart;
}

namespace dw::ui {

// What the pointer would drag; numbered as the page has always numbered them.
enum class TPreviewZone {
  None = 0, Left = 1, Top = 2, Right = 3, Bottom = 4, Move = 5,
  TopLeft = 6, TopRight = 7, BottomLeft = 8, BottomRight = 9
};

// The paper: 90 % of the client's height (portrait) or width (landscape),
// centred, in the page's proportions; where that would not fit the other
// way, 90 % of the other side, so no part of the page is cut.
chart::Rect PaperRectFor(int pageWidth, int pageHeight, int clientWidth, int clientHeight);
// The image inside the paper's margins (percent of the paper's sides).
chart::Rect ImageRectFor(const chart::Rect& paper, const chart::PrintMargins& margins);
// The zone of a point against `image`, an edge counting within 4 pixels.
TPreviewZone ZoneAt(const chart::Rect& image, chart::Point p, bool allowMove, bool allowResize);
// The margins of `image` on `paper` in percent.
chart::PrintMargins MarginsOf(const chart::Rect& image, const chart::Rect& paper);

class TKivPreviewPage : public QWidget {
  Q_OBJECT
 public:
  using ChangeMarginsHandler =
      std::function<void(TKivPreviewPage& page, bool fromDrag, const chart::PrintMargins& margins)>;

  explicit TKivPreviewPage(QWidget* parent = nullptr);

  // The chart (or other printable) shown and printed; not owned.
  chart::TPrintable* Image = nullptr;
  bool ShowMargins = true;
  bool ShowImage = true;
  bool AsBitmap = false;
  bool DragImage = false;  // redraw the chart while dragging, not only the margin lines
  bool AllowResize = true;
  bool AllowMove = true;
  chart::Color PaperColor = chart::clWhite;
  ChangeMarginsHandler OnChangeMargins;

  // The printer whose page is shown and which prints; not owned.
  void SetPrinter(QPrinter* printer) { printer_ = printer; }
  QPrinter* Printer() const { return printer_; }

  // The page of the printable shown (0-based), and how many it has.
  int PageIndex() const { return page_; }
  int PageCount() const;
  // Shows `page`, kept within the printable's pages.
  void SetPageIndex(int page);

  const chart::Rect& PaperRect() const { return paperRect_; }
  const chart::Rect& ImageRect() const { return imageRect_; }
  TPreviewZone DragZone() const { return dragZone_; }
  // The off-screen image as last painted, for checks of what is shown.
  const QImage& Bitmap() const { return bitmap_; }

  // The whole page is drawn again at the next paint.
  void Invalidate();
  // The margin lines in XOR at the current ImageRect: drawing twice erases.
  void DrawMarginLines();
  // The page's print: every page of the printable; as a bitmap, the page
  // shown alone.
  void Print();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Render();
  // The off-screen image's size in the screen's own pixels.
  QSize BitmapPixels() const;
  void DrawChartImage(QPainter& painter);
  void DragTo(chart::Point p);
  QCursor CursorFor(TPreviewZone zone) const;

  QPrinter* printer_ = nullptr;
  int page_ = 0;
  QImage bitmap_;
  bool dirty_ = true;
  chart::Rect paperRect_, imageRect_;
  TPreviewZone dragZone_ = TPreviewZone::None;
  chart::Point downPoint_;
  chart::Rect downImage_;
};

}  // namespace dw::ui
