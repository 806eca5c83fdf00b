#include "chart/qt/print.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <utility>

#include "chart/chart.h"
#include "chart/qt/qpainter_canvas.h"
#include "runtime/random.h"

namespace dw::chart {

namespace {

// Half of the percent of s2 left over when the chart, at ratio r of its
// sides, spans 60 % of s1.
int ShareOfRest(int s1, int s2, long double r, int lx, int ly) {
  const long double used = 0.6L * s1 * r * lx / ly;
  return static_cast<int>(RoundToInt(100.0L * (s2 - used) / s2)) / 2;
}

}  // namespace

PrintMargins ProportionalMargins(int chartWidth, int chartHeight, const PageGeometry& page) {
  // A degenerate chart or page has no proportion to keep.
  if (chartWidth <= 0 || chartHeight <= 0 || page.width <= 0 || page.height <= 0 ||
      page.pixelsPerInchX <= 0 || page.pixelsPerInchY <= 0)
    return {};
  const int lx = page.pixelsPerInchX, ly = page.pixelsPerInchY;
  if (chartHeight < chartWidth) {
    const int m = ShareOfRest(page.width, page.height,
                              static_cast<long double>(chartHeight) / chartWidth, lx, ly);
    return {15, m, 15, m};
  }
  const int m = ShareOfRest(page.height, page.width,
                            static_cast<long double>(chartWidth) / chartHeight, lx, ly);
  return {m, 15, m, 15};
}

Rect PrintAreaFor(const PrintMargins& margins, int pageWidth, int pageHeight) {
  auto part = [](int percent, int size) {
    return static_cast<int>(RoundToInt(static_cast<long double>(percent) * size / 100));
  };
  return {part(margins.left, pageWidth), part(margins.top, pageHeight),
          pageWidth - part(margins.right, pageWidth), pageHeight - part(margins.bottom, pageHeight)};
}

LogicalSize PrintLogicalSize(int chartWidth, int chartHeight, int detail) {
  return {chartWidth - MulDiv(chartWidth, detail, 100), chartHeight - MulDiv(chartHeight, detail, 100)};
}

LogicalSize FittedLogicalSize(const LogicalSize& size, int width, int height) {
  if (size.width <= 0 || size.height <= 0 || width <= 0 || height <= 0) return size;
  const long double surface = static_cast<long double>(size.width) * size.height;
  const long double aspect = static_cast<long double>(width) / height;
  return {std::max(1, static_cast<int>(RoundToInt(std::sqrt(surface * aspect)))),
          std::max(1, static_cast<int>(RoundToInt(std::sqrt(surface / aspect))))};
}

Rect NormalizedRect(const Rect& rect) {
  Rect r = rect;
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  return r;
}

Rect LogicalRect(const Rect& rect, const LogicalSize& size) {
  const int w = rect.Width(), h = rect.Height();
  return {MulDiv(rect.left, size.width, w), MulDiv(rect.top, size.height, h),
          MulDiv(rect.right, size.width, w), MulDiv(rect.bottom, size.height, h)};
}

LogicalSize PrintedSize(const TChart& chart) {
  return {chart.PrintWidth > 0 ? chart.PrintWidth : chart.ControlWidth,
          chart.PrintHeight > 0 ? chart.PrintHeight : chart.ControlHeight};
}

LogicalSize PrintLogicalSize(const TChart& chart) {
  const LogicalSize printed = PrintedSize(chart);
  return PrintLogicalSize(printed.width, printed.height, chart.PrintDetail);
}

PrintMargins ChartMargins(const TChart& chart) {
  const int* m = chart.PrintMarginPercents;
  return {m[0], m[1], m[2], m[3]};
}

void SetChartMargins(TChart& chart, const PrintMargins& margins) {
  int* m = chart.PrintMarginPercents;
  m[0] = margins.left;
  m[1] = margins.top;
  m[2] = margins.right;
  m[3] = margins.bottom;
}

PrintMargins ProportionalMargins(const TChart& chart, const PageGeometry& page) {
  const LogicalSize printed = PrintedSize(chart);
  return ProportionalMargins(printed.width, printed.height, page);
}

Rect PrintArea(TChart& chart, const PageGeometry& page) {
  if (chart.PrintProportional) SetChartMargins(chart, ProportionalMargins(chart, page));
  return PrintAreaFor(ChartMargins(chart), page.width, page.height);
}

int ScreenPixelsPerInch() {
  if (QGuiApplication::instance())
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      return qRound(screen->logicalDotsPerInchY());
  return 96;
}

namespace {

// Logical pens of one pixel or more scale with the mapping, as on the
// platform's device contexts; only width 0 stays the device's thinnest line.
class ScaledPenCanvas : public QPainterCanvas {
 public:
  using QPainterCanvas::QPainterCanvas;
  void SetPen(const PenSpec& pen) override {
    QPainterCanvas::SetPen(pen);
    if (pen.width < 1 || pen.style == PenStyle::Clear) return;
    QPen scaled = Painter().pen();
    scaled.setCosmetic(false);
    scaled.setWidth(pen.width);
    Painter().setPen(scaled);
  }
};

// Printing state of one drawing, put back however the drawing ends.
class PrintingScope {
 public:
  explicit PrintingScope(TChart& chart) : chart_(chart), buffered_(chart.canvas3D.buffered) {
    chart_.canvas3D.buffered = false;
    chart_.PrintingInProgress = true;
  }
  ~PrintingScope() {
    chart_.PrintingInProgress = false;
    chart_.canvas3D.buffered = buffered_;
    // The geometry now belongs to the page; the screen must lay out anew.
    chart_.canvas3D.dirty = true;
  }

 private:
  TChart& chart_;
  bool buffered_;
};

}  // namespace

bool TChartPrintable::Proportional() const { return chart_.PrintProportional; }
void TChartPrintable::SetProportional(bool on) { chart_.PrintProportional = on; }
PrintMargins TChartPrintable::Margins() const { return ChartMargins(chart_); }
void TChartPrintable::SetMargins(const PrintMargins& margins) { SetChartMargins(chart_, margins); }
int TChartPrintable::Detail() const { return chart_.PrintDetail; }
void TChartPrintable::SetDetail(int detail) { chart_.PrintDetail = detail; }
LogicalSize TChartPrintable::PrintedSize() const { return chart::PrintedSize(chart_); }

void TChartPrintable::DrawPage(Canvas& canvas, const Rect& rect, int) {
  PrintingScope scope(chart_);
  DrawChart(chart_, canvas, rect);
}

PrintMargins ProportionalMargins(const TPrintable& printable, const PageGeometry& page) {
  const LogicalSize printed = printable.PrintedSize();
  return ProportionalMargins(printed.width, printed.height, page);
}

Rect PrintArea(TPrintable& printable, const PageGeometry& page) {
  if (printable.Proportional()) printable.SetMargins(ProportionalMargins(printable, page));
  return PrintAreaFor(printable.Margins(), page.width, page.height);
}

LogicalSize PrintLogicalSize(const TPrintable& printable) {
  const LogicalSize printed = printable.PrintedSize();
  return PrintLogicalSize(printed.width, printed.height, printable.Detail());
}

LogicalSize PrintLogicalSize(const TPrintable& printable, const Rect& area) {
  const Rect r = NormalizedRect(area);
  return FittedLogicalSize(PrintLogicalSize(printable), r.Width(), r.Height());
}

void DrawForPrint(TPrintable& printable, QPainter& painter, const Rect& rect, int page,
                  int pixelsPerInch) {
  const Rect r = NormalizedRect(rect);
  if (r.Width() <= 0 || r.Height() <= 0) return;
  const LogicalSize size = PrintLogicalSize(printable, r);
  if (size.width <= 0 || size.height <= 0) return;
  const Rect logical = LogicalRect(r, size);
  painter.save();
  painter.setWindow(0, 0, size.width, size.height);
  painter.setViewport(0, 0, r.Width(), r.Height());
  {
    ScaledPenCanvas canvas(painter, pixelsPerInch);
    canvas.ClipToRect(logical);
    printable.DrawPage(canvas, logical, page);
    canvas.RemoveClip();
  }
  painter.restore();
}

void DrawChartForPrint(TChart& chart, QPainter& painter, const Rect& rect, int pixelsPerInch) {
  TChartPrintable printable(chart);
  DrawForPrint(printable, painter, rect, 0, pixelsPerInch);
}

PageGeometry PageOf(const QPrinter& printer) {
  const QRect paint = printer.pageLayout().paintRectPixels(printer.resolution());
  return {paint.width(), paint.height(), printer.logicalDpiX(), printer.logicalDpiY()};
}

bool PrintsToPdf(const QPrinter& printer) { return printer.outputFormat() == QPrinter::PdfFormat; }

void PrintDocument(TPrintable& printable, QPrinter& printer) {
  const Rect area = PrintArea(printable, PageOf(printer));
  printer.setDocName(printable.DocumentTitle());
  QPainter painter;
  if (!painter.begin(&printer)) {
    if (PrintsToPdf(printer))
      throw EPrinter("Impossible de créer le fichier " +
                     QFileInfo(printer.outputFileName()).absoluteFilePath().toStdString());
    throw EPrinter("L'imprimante sélectionnée n'est pas valide");
  }
  try {
    for (int page = 0; page < printable.PageCount(); ++page) {
      if (page > 0 && !printer.newPage()) throw EPrinter("L'impression a échoué");
      DrawForPrint(printable, painter, area, page);
    }
    if (!painter.end()) throw EPrinter("L'impression a échoué");
  } catch (...) {
    printer.abort();
    if (printer.printerState() == QPrinter::Active && painter.isActive()) painter.end();
    throw;
  }
}

void PrintChart(TChart& chart, QPrinter& printer, const QString& title) {
  TChartPrintable printable(chart, title);
  PrintDocument(printable, printer);
}

namespace {

// The paper of the user's language settings: Letter where it is the norm
// (and in the plain C locale, as before), A4 elsewhere.
QPageSize::PageSizeId LocalePaper() {
  const QLocale locale = QLocale::system();
  if (locale.language() == QLocale::C) return QPageSize::Letter;
  if (locale.measurementSystem() == QLocale::ImperialUSSystem) return QPageSize::Letter;
  for (QLocale::Territory letter : {QLocale::UnitedStates, QLocale::Canada, QLocale::Mexico,
                                    QLocale::Philippines, QLocale::Chile, QLocale::Colombia})
    if (locale.territory() == letter) return QPageSize::Letter;
  return QPageSize::A4;
}

void UsePdfOutput(QPrinter& printer) {
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setResolution(300);
  printer.setPageSize(QPageSize(LocalePaper()));
  printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

}  // namespace

QPrinter& Printer() {
  // Never destroyed: it outlives the application object otherwise.
  static QPrinter* printer = [] {
    auto* p = new QPrinter(QPrinter::HighResolution);
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (QPrinterInfo::availablePrinterNames().isEmpty())
      UsePdfOutput(*p);
    else if (!info.isNull())
      p->setPrinterName(info.printerName());
    return p;
  }();
  return *printer;
}

QStringList PrinterNames() {
  QStringList names = QPrinterInfo::availablePrinterNames();
  if (names.isEmpty()) names << kPdfPrinterName;
  return names;
}

QString CurrentPrinterName(const QPrinter& printer) {
  return PrintsToPdf(printer) ? QString(kPdfPrinterName) : printer.printerName();
}

void SelectPrinter(QPrinter& printer, const QString& name) {
  const QPageLayout::Orientation orientation = printer.pageLayout().orientation();
  if (name == kPdfPrinterName) {
    if (!PrintsToPdf(printer)) UsePdfOutput(printer);  // keeps a paper the user chose
  } else {
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(name);
  }
  printer.setPageOrientation(orientation);
}

}  // namespace dw::chart
