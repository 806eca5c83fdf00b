#pragma once
// The chart on paper: the print margins and area, the logical size that
// trades detail for size, the scaled drawing onto a printer (or any painter)
// and the one-page print document. The geometry is plain arithmetic on page
// sizes and resolutions, so it needs no printer.
#include <QString>
#include <QStringList>
#include <stdexcept>
#include <utility>

#include "chart/canvas.h"

class QPainter;
class QPrinter;

namespace dw::chart {

class TChart;

// Percent of the page, in the chart's order left, top, right, bottom.
struct PrintMargins {
  int left = 15, top = 15, right = 15, bottom = 15;
  friend bool operator==(const PrintMargins&, const PrintMargins&) = default;
};

// A printer page: its printable size in printer pixels and its pixels per
// inch across and down.
struct PageGeometry {
  int width = 0, height = 0;
  int pixelsPerInchX = 300, pixelsPerInchY = 300;
};

// Margins that let a chart of chartWidth × chartHeight use 60 % of the page's
// longer side in proportion: 15 % on the sides across the chart's longer
// side, the rest shared out on the other two.
PrintMargins ProportionalMargins(int chartWidth, int chartHeight, const PageGeometry& page);
// The rectangle inside the margins, in printer pixels.
Rect PrintAreaFor(const PrintMargins& margins, int pageWidth, int pageHeight);
// The size the chart is laid out at: its client size, grown by -detail percent
// (detail -100 … 0; -100 doubles it).
struct LogicalSize {
  int width = 0, height = 0;
};
LogicalSize PrintLogicalSize(int chartWidth, int chartHeight, int detail);
// `size` reshaped to the aspect of an area of width × height, its surface
// kept: what is laid out there maps onto the area alike across and down, so
// text keeps its shape whatever the page's proportions.
LogicalSize FittedLogicalSize(const LogicalSize& size, int width, int height);
// `rect` with left/right and top/bottom in order.
Rect NormalizedRect(const Rect& rect);
// `rect` (normalised, device pixels) in the logical units of `size`: the
// window that maps onto it when size is stretched over rect's extent.
Rect LogicalRect(const Rect& rect, const LogicalSize& size);

// The size the chart is laid out at on paper (before detail): PrintWidth ×
// PrintHeight, or the control's size where they are 0.
LogicalSize PrintedSize(const TChart& chart);
// PrintLogicalSize of PrintedSize with the chart's PrintDetail.
LogicalSize PrintLogicalSize(const TChart& chart);

// The chart's margins, and ProportionalMargins for the chart's printed size.
PrintMargins ChartMargins(const TChart& chart);
void SetChartMargins(TChart& chart, const PrintMargins& margins);
PrintMargins ProportionalMargins(const TChart& chart, const PageGeometry& page);
// With PrintProportional on, first stores the proportional margins.
Rect PrintArea(TChart& chart, const PageGeometry& page);

// Pixels per inch the chart is laid out at when it prints: the screen's, so
// it prints as it looks.
int ScreenPixelsPerInch();

// What the print preview shows and prints: the results chart, or any other
// picture drawn on the chart canvas (the loci's table, the scan plot). It
// keeps its print settings, so they survive the preview.
class TPrintable {
 public:
  virtual ~TPrintable() = default;
  virtual bool Proportional() const = 0;
  virtual void SetProportional(bool on) = 0;
  virtual PrintMargins Margins() const = 0;
  virtual void SetMargins(const PrintMargins& margins) = 0;
  virtual int Detail() const = 0;  // -100 … 0
  virtual void SetDetail(int detail) = 0;
  // The size it is laid out at on paper, before detail, in pixels.
  virtual LogicalSize PrintedSize() const = 0;
  // The pages of a print; the preview shows the first.
  virtual int PageCount() const { return 1; }
  // Draws page `page` (0-based) over `rect` (logical units) for paper.
  virtual void DrawPage(Canvas& canvas, const Rect& rect, int page) = 0;
  // The print document's name.
  virtual QString DocumentTitle() const = 0;
};

// A printable that keeps its settings itself: margins 15 %, proportional
// (its text keeps its shape), full detail.
class TPrintSettings : public TPrintable {
 public:
  bool Proportional() const override { return proportional_; }
  void SetProportional(bool on) override { proportional_ = on; }
  PrintMargins Margins() const override { return margins_; }
  void SetMargins(const PrintMargins& margins) override { margins_ = margins; }
  int Detail() const override { return detail_; }
  void SetDetail(int detail) override { detail_ = detail; }

 private:
  bool proportional_ = true;
  PrintMargins margins_;
  int detail_ = 0;
};

// The chart as a printable: its own print settings, drawn by DrawChart with
// PrintingInProgress set and unbuffered.
class TChartPrintable : public TPrintable {
 public:
  explicit TChartPrintable(TChart& chart, QString title = "Chart1")
      : chart_(chart), title_(std::move(title)) {}
  bool Proportional() const override;
  void SetProportional(bool on) override;
  PrintMargins Margins() const override;
  void SetMargins(const PrintMargins& margins) override;
  int Detail() const override;
  void SetDetail(int detail) override;
  LogicalSize PrintedSize() const override;
  void DrawPage(Canvas& canvas, const Rect& rect, int page) override;
  QString DocumentTitle() const override { return title_; }
  TChart& Chart() { return chart_; }

 private:
  TChart& chart_;
  QString title_;
};

PrintMargins ProportionalMargins(const TPrintable& printable, const PageGeometry& page);
// With Proportional on, first stores the proportional margins.
Rect PrintArea(TPrintable& printable, const PageGeometry& page);
LogicalSize PrintLogicalSize(const TPrintable& printable);
// PrintLogicalSize fitted to the shape of `area` (FittedLogicalSize): the
// size it is laid out at when it prints there.
LogicalSize PrintLogicalSize(const TPrintable& printable, const Rect& area);
// Page `page` laid out at PrintLogicalSize(printable, rect) and scaled onto
// `rect` alike across and down.
void DrawForPrint(TPrintable& printable, QPainter& painter, const Rect& rect, int page = 0,
                  int pixelsPerInch = ScreenPixelsPerInch());

// Draws the chart over `rect` (device pixels of the painter) as if on a
// screen of its logical size fitted to rect's shape (the same scale across
// and down), clipped to rect, unbuffered, PrintingInProgress set meanwhile.
// The chart is marked dirty afterwards, so the screen lays it out again.
void DrawChartForPrint(TChart& chart, QPainter& painter, const Rect& rect,
                       int pixelsPerInch = ScreenPixelsPerInch());

// A printer that will not take the document.
class EPrinter : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The page of a printer, orientation included.
PageGeometry PageOf(const QPrinter& printer);
// One document named `title` with one page holding the chart in PrintArea.
// On failure the job is aborted and the exception goes on to the caller.
void PrintChart(TChart& chart, QPrinter& printer, const QString& title = "Chart1");
// One document named by the printable, each of its pages in PrintArea; the
// same failure handling.
void PrintDocument(TPrintable& printable, QPrinter& printer);

// The entry that stands for PDF output where no printer is installed.
inline constexpr const char* kPdfPrinterName = "PDF file";
// The process's one printer: at first the default installed printer, or PDF
// output on a 300-dpi Letter page when none is installed.
QPrinter& Printer();
// The installed printers' names, or kPdfPrinterName alone when there are none.
QStringList PrinterNames();
// The printer's entry among PrinterNames.
QString CurrentPrinterName(const QPrinter& printer);
// Points the printer at the named entry; its orientation is kept.
void SelectPrinter(QPrinter& printer, const QString& name);
bool PrintsToPdf(const QPrinter& printer);

}  // namespace dw::chart
