// The chart on paper: margins, print area and logical size as arithmetic,
// the scaled drawing onto an image, and a real one-page PDF document read
// back with the system's PDF tools.
#include <gtest/gtest.h>

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "chart/chart.h"
#include "chart/qt/print.h"
#include "tests/support/files.h"

namespace dw::chart {

// Failure messages name the four sides (found by argument lookup).
void PrintTo(const PrintMargins& m, std::ostream* out) {
  *out << m.left << "," << m.top << "," << m.right << "," << m.bottom;
}
void PrintTo(const Rect& r, std::ostream* out) {
  *out << r.left << "," << r.top << "," << r.right << "," << r.bottom;
}

namespace {

const PageGeometry kLandscapeLetter{3300, 2550, 300, 300};

// The results chart with ten labelled bars, the fourth one red.
void FillHistogram(TChart& chart) {
  TBarSeries& s = ConfigureResultsChart(chart);
  for (int i = 0; i < 10; ++i)
    s.AppendPoint(5 + (i * 7) % 11, "cls" + std::to_string(i), i == 3 ? clRed : clWhite);
}

std::string Output(const std::string& command) {
  std::string text;
  if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    pclose(pipe);
  }
  return text;
}
// The value of "Name:   value" in pdfinfo's report.
std::string InfoField(const std::string& info, const std::string& name) {
  const size_t at = info.find("\n" + name + ":");
  if (at == std::string::npos) return "";
  size_t from = info.find_first_not_of(' ', at + name.size() + 2);
  return info.substr(from, info.find('\n', from) - from);
}
bool HaveTool(const char* name) { return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0; }

TEST(PrintGeometry, ProportionalMarginsKeepTheChartsShape) {
  struct Case {
    int w, h;
    PageGeometry page;
    PrintMargins expected;
  };
  for (const Case& c : {
           // 100 × (2550 − 0.6 × 3300 × 449 / 689) / 2550 = 49.40 → 49 div 2.
           Case{689, 449, kLandscapeLetter, {15, 24, 15, 24}},
           // A tall chart on a portrait page: the same sum across.
           Case{449, 689, {2550, 3300, 300, 300}, {24, 15, 24, 15}},
           // A square chart counts as tall: 100 × (3300 − 1530) / 3300 = 53.6 → 54 div 2.
           Case{500, 500, kLandscapeLetter, {27, 15, 27, 15}},
           // Printer pixels taller than wide: the chart uses fewer rows.
           Case{689, 449, {3300, 2550, 300, 600}, {15, 37, 15, 37}},
           // A negative share divides toward zero: round(−1.2) = −1, div 2 = 0.
           Case{689, 449, {3300, 2550, 600, 300}, {15, 0, 15, 0}},
       })
    EXPECT_EQ(ProportionalMargins(c.w, c.h, c.page), c.expected) << c.w << "x" << c.h;
}

TEST(PrintGeometry, PrintAreaRoundsEachMarginToEven) {
  // 15 % of 2550 is 382.5, which rounds to 382.
  EXPECT_EQ(PrintAreaFor({15, 15, 15, 15}, 3300, 2550), (Rect{495, 382, 2805, 2168}));
  EXPECT_EQ(PrintAreaFor({0, 10, 25, 5}, 3300, 2550), (Rect{0, 255, 2475, 2422}));

  TChart chart;
  ConfigureResultsChart(chart);
  EXPECT_EQ(PrintArea(chart, kLandscapeLetter), (Rect{495, 382, 2805, 2168}));
  EXPECT_EQ(ChartMargins(chart), (PrintMargins{15, 15, 15, 15}));  // proportional is off here
  chart.PrintProportional = true;
  EXPECT_EQ(PrintArea(chart, kLandscapeLetter), (Rect{495, 612, 2805, 1938}));
  EXPECT_EQ(ChartMargins(chart), (PrintMargins{15, 24, 15, 24}));  // stored by the call
}

TEST(PrintGeometry, DetailGrowsTheLogicalSizeAndRectsMapBack) {
  struct Case {
    int detail, w, h;
  };
  // MulDiv rounds half away from zero: 689 × −50 / 100 = −344.5 → −345.
  for (const Case& c : {Case{0, 689, 449}, Case{-100, 1378, 898}, Case{-50, 1034, 674}}) {
    const LogicalSize size = PrintLogicalSize(689, 449, c.detail);
    EXPECT_EQ(size.width, c.w) << c.detail;
    EXPECT_EQ(size.height, c.h) << c.detail;
  }
  EXPECT_EQ(NormalizedRect({2805, 2168, 495, 382}), (Rect{495, 382, 2805, 2168}));
  // The logical rect is where the device rect lands under the window/viewport
  // mapping, to within a logical unit.
  const Rect device{495, 382, 2805, 2168};
  const LogicalSize size{689, 449};
  const Rect logical = LogicalRect(device, size);
  EXPECT_EQ(logical, (Rect{148, 96, 837, 545}));
  EXPECT_EQ(logical.Width(), 689);
  EXPECT_EQ(logical.Height(), 449);
}

TEST(PrintGeometry, TheLogicalSizeTakesTheAreasShapeAndKeepsItsSurface) {
  struct Case {
    int areaWidth, areaHeight, w, h;
  };
  // 689 × 449 = 309361 units: √(309361 · 10/7) = 664.8, √(309361 · 7/10) = 465.4.
  for (const Case& c : {Case{1000, 700, 665, 465}, Case{700, 1000, 465, 665},
                        Case{500, 500, 556, 556}, Case{2310, 1326, 734, 421},
                        Case{0, 700, 689, 449}})  // no area: no shape to take
  {
    const LogicalSize size = FittedLogicalSize({689, 449}, c.areaWidth, c.areaHeight);
    EXPECT_EQ(size.width, c.w) << c.areaWidth << "x" << c.areaHeight;
    EXPECT_EQ(size.height, c.h) << c.areaWidth << "x" << c.areaHeight;
  }
}

// Pixels of `image` outside `inside` that are not white.
int MarksOutside(const QImage& image, const QRect& inside) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (!inside.contains(x, y) && image.pixel(x, y) != qRgb(255, 255, 255)) ++n;
  return n;
}

TEST(DrawChartForPrint, StretchesIntoTheRectWithoutPanelOrBevels) {
  TChart chart;
  FillHistogram(chart);
  chart.Color = RGB(255, 255, 0);  // a panel colour that must not reach paper
  QImage image(1200, 900, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    DrawChartForPrint(chart, painter, {1100, 800, 100, 100}, 96);  // reversed on purpose
  }
  EXPECT_EQ(MarksOutside(image, QRect(100, 100, 1000, 700)), 0);
  int yellow = 0, red = 0, dark = 0;
  for (int y = 100; y < 800; ++y)
    for (int x = 100; x < 1100; ++x) {
      const QRgb p = image.pixel(x, y);
      yellow += p == qRgb(255, 255, 0);
      red += qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
      dark += qGray(p) < 80;
    }
  EXPECT_EQ(yellow, 0);
  EXPECT_GT(red, 1000);  // the red bar's faces
  EXPECT_GT(dark, 1000);  // axes, walls, text
  // The chart was laid out at its logical size (689 × 449) reshaped to the
  // rect's 10:7, its surface kept: 665 × 465, the window's units.
  EXPECT_EQ(chart.PanelRect, (Rect{67, 66, 732, 531}));
  EXPECT_FALSE(chart.PrintingInProgress);
  EXPECT_TRUE(chart.canvas3D.buffered);
  EXPECT_TRUE(chart.Dirty());  // the screen lays out again

  // Detail −100: laid out on twice the area, so everything is half as large.
  chart.PrintDetail = -100;
  QImage twice(1200, 900, QImage::Format_RGB32);
  QPainter painter(&twice);
  DrawChartForPrint(chart, painter, {100, 100, 1100, 800}, 96);
  EXPECT_EQ(chart.PanelRect, (Rect{133, 133, 1463, 1064}));
  EXPECT_EQ(chart.PanelRect.Width(), 2 * 665);
}

// One landscape Letter page at 300 dpi, written to `file`.
void PointAtPdf(QPrinter& printer, const std::string& file) {
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setResolution(300);
  printer.setPageSize(QPageSize(QPageSize::Letter));
  printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
  printer.setPageOrientation(QPageLayout::Landscape);
  printer.setOutputFileName(QString::fromStdString(file));
}

TEST(PrintChart, OnePageTitledChart1WithVectorTextInsideTheArea) {
  test::ScratchDir dir;
  TChart chart;
  FillHistogram(chart);
  QPrinter printer(QPrinter::HighResolution);
  const std::string pdf = dir.File("chart.pdf");
  PointAtPdf(printer, pdf);
  const PageGeometry page = PageOf(printer);
  EXPECT_EQ(page.width, 3300);
  EXPECT_EQ(page.height, 2550);
  PrintChart(chart, printer);
  EXPECT_FALSE(chart.PrintingInProgress);
  const std::string bytes = test::ReadBytes(pdf);
  ASSERT_EQ(bytes.rfind("%PDF", 0), 0u);

  if (!HaveTool("pdfinfo") || !HaveTool("pdftotext") || !HaveTool("pdftoppm")) {
    // Without the tools: count the page objects in the file itself.
    size_t pages = 0;
    for (size_t at = bytes.find("/Type /Page\n"); at != std::string::npos; at = bytes.find("/Type /Page\n", at + 1))
      ++pages;
    EXPECT_EQ(pages, 1u);
    GTEST_SKIP() << "poppler tools not installed";
  }
  const std::string info = "\n" + Output("pdfinfo '" + pdf + "'");
  EXPECT_EQ(InfoField(info, "Pages"), "1") << info;
  EXPECT_EQ(InfoField(info, "Title"), "Chart1") << info;
  EXPECT_EQ(InfoField(info, "Page size"), "792 x 612 pts (letter)") << info;
  const std::string text = Output("pdftotext '" + pdf + "' -");
  EXPECT_NE(text.find("Histogram of simulated values of Delta"), std::string::npos) << text;
  for (const char* label : {"cls0", "cls9"}) EXPECT_NE(text.find(label), std::string::npos) << text;

  // At 30 dpi the page is 330 × 255 and the area 49.5 … 280.5 × 38.2 … 216.8.
  ASSERT_EQ(std::system(("pdftoppm -r 30 -png '" + pdf + "' '" + dir.File("page") + "'").c_str()), 0);
  QImage png(QString::fromStdString(dir.File("page-1.png")));
  ASSERT_FALSE(png.isNull());
  ASSERT_EQ(png.size(), QSize(330, 255));
  png = png.convertToFormat(QImage::Format_RGB32);
  // Anti-aliased edges may bleed a pixel.
  EXPECT_EQ(MarksOutside(png, QRect(48, 37, 234, 182)), 0);
  EXPECT_GT(MarksOutside(png, QRect()), 500);  // an empty rect: every mark counts
}

TEST(PrintChart, AFailedStartRaisesAndLeavesNoPrintingState) {
  test::ScratchDir dir;
  TChart chart;
  FillHistogram(chart);
  QPrinter printer(QPrinter::HighResolution);
  PointAtPdf(printer, dir.File("no/such/dir/chart.pdf"));
  EXPECT_THROW(PrintChart(chart, printer), EPrinter);
  EXPECT_FALSE(chart.PrintingInProgress);
  EXPECT_NE(printer.printerState(), QPrinter::Active);
}

TEST(Printers, WithoutInstalledPrintersThePdfEntryPrintsOnLetterAt300Dpi) {
  if (!QPrinterInfo::availablePrinterNames().isEmpty()) GTEST_SKIP() << "printers are installed";
  EXPECT_EQ(PrinterNames(), QStringList{kPdfPrinterName});
  QPrinter& printer = Printer();
  EXPECT_TRUE(PrintsToPdf(printer));
  EXPECT_EQ(CurrentPrinterName(printer), kPdfPrinterName);
  printer.setPageOrientation(QPageLayout::Portrait);
  SelectPrinter(printer, kPdfPrinterName);
  EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Portrait);  // kept
  PageGeometry page = PageOf(printer);
  EXPECT_EQ(page.width, 2550);
  EXPECT_EQ(page.height, 3300);
  printer.setPageOrientation(QPageLayout::Landscape);
  page = PageOf(printer);
  EXPECT_EQ(page.width, 3300);
  EXPECT_EQ(page.pixelsPerInchX, 300);
  EXPECT_EQ(page.pixelsPerInchY, 300);
}

}  // namespace
}  // namespace dw::chart
