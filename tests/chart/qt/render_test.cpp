// The chart of a real run, rendered by `driftwise run --chart` and checked
// pixel by pixel against the geometry of the same chart drawn in-process.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdlib>
#include <iostream>
#include <fstream>
#include <memory>
#include <sstream>

#include "chart/chart.h"
#include "chart/qt/export.h"
#include "chart/qt/qpainter_canvas.h"
#include "tests/support/files.h"

namespace dw::chart {
namespace {

struct Rgb {
  int r, g, b;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};
std::ostream& operator<<(std::ostream& out, const Rgb& c) {
  return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}
Rgb PixelAt(const QImage& image, Point p) {
  const QRgb c = image.pixel(p.x, p.y);
  return {qRed(c), qGreen(c), qBlue(c)};
}
// Text pixels; the panel's grey bevel (128) is not counted.
bool Dark(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 100; }

int RunProgram(const test::ScratchDir& dir, const std::string& arguments) {
  const std::string command = "cd '" + dir.Path().string() + "' && '" + DW_PROGRAM + "' " + arguments +
                              " >stdout.txt 2>stderr.txt </dev/null";
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// One run with the window's defaults (seed 1) exported three ways, and its
// histogram table. The observed Delta 0 falls in one of the tall middle
// classes, so the red bar is high enough to sample its faces.
class RenderedRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<test::ScratchDir>();
    test::WriteBytes(dir_->File("freqini.txt"),
                     test::ReadBytes(std::string(DW_SOURCE_DIR) + "/examples/freqini.txt"));
    for (const char* name : {"hist.png", "hist.svg", "hist.pdf"})
      ASSERT_EQ(RunProgram(*dir_, std::string("run --seed 1 -d 0 --histogram-table hist.tab --chart ") + name), 0)
          << test::ReadBytes(dir_->File("stderr.txt"));
    // The same chart in-process, for its geometry.
    chart_ = std::make_unique<TChart>();
    TBarSeries& s = ConfigureResultsChart(*chart_);
    chart_->Title.Text.Clear();
    std::istringstream table(test::ReadBytes(dir_->File("hist.tab")));
    std::string line;
    for (int i = 0; i < 3 && std::getline(table, line); ++i) chart_->Title.Text.Add(line);
    while (std::getline(table, line)) {
      const size_t tab = line.find('\t');
      const bool red = line.find("\t*") != std::string::npos;
      s.AppendPoint(std::stod(line.substr(tab + 1)), line.substr(0, tab), red ? clRed : clWhite);
    }
    ASSERT_EQ(s.Count(), 10);
    image_ = std::make_unique<QImage>(689, 449, QImage::Format_RGB32);
    image_->fill(Qt::white);
    QPainter painter(image_.get());
    QPainterCanvas canvas(painter, 96);
    chart_->canvas3D.buffered = false;
    layout_ = DrawChart(*chart_, canvas, {0, 0, 689, 449});
  }
  static void TearDownTestSuite() {
    image_.reset();
    chart_.reset();
    dir_.reset();
  }

  static TBarSeries& Series() { return static_cast<TBarSeries&>(chart_->Series(0)); }
  static int RedClass() {
    for (int i = 0; i < 10; ++i)
      if (Series().PointColor(i) == clRed) return i;
    return -1;
  }
  static int TallestWhiteClass() {
    int best = -1;
    for (int i = 0; i < 10; ++i)
      if (Series().PointColor(i) == clWhite && (best < 0 || Series().YValues.Value(i) > Series().YValues.Value(best)))
        best = i;
    return best;
  }
  // Inside the front, right side and top faces of bar i.
  struct Faces {
    Point front, side, top;
  };
  static Faces FacesOf(int i) {
    const TBarSeries& s = Series();
    const Rect box = s.BarBox(*chart_, layout_, i);
    const TProjection& c = layout_.projection;
    const TSeriesLayout& own = layout_.Of(s);
    const int zMid = (own.startZ + own.endZ) / 2, yMid = (box.top + box.bottom) / 2;
    return {c.ProjectPoint(box.left + 5, yMid, own.startZ), c.ProjectPoint(box.right, yMid, zMid),
            c.ProjectPoint(box.left + 8, box.top, zMid)};  // off the arrow at the centre
  }
  static QImage Load(const char* name) { return QImage(QString::fromStdString(dir_->File(name))); }

  static std::unique_ptr<test::ScratchDir> dir_;
  static std::unique_ptr<TChart> chart_;
  static std::unique_ptr<QImage> image_;
  static TChartLayout layout_;
};
std::unique_ptr<test::ScratchDir> RenderedRun::dir_;
std::unique_ptr<TChart> RenderedRun::chart_;
std::unique_ptr<QImage> RenderedRun::image_;
TChartLayout RenderedRun::layout_;

TEST_F(RenderedRun, ThePngIsTheResultsChartAsDrawnHere) {
  const QImage png = Load("hist.png");
  ASSERT_EQ(png.width(), 689);
  ASSERT_EQ(png.height(), 449);
  EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), *image_);
}

TEST_F(RenderedRun, BarsAreShadedBoxesInTheirClassColours) {
  const QImage png = Load("hist.png");
  const int red = RedClass(), white = TallestWhiteClass();
  ASSERT_GE(red, 0);
  ASSERT_GE(white, 0);
  // Bars of a few counts are too low to sample their faces.
  ASSERT_GT(Series().BarBox(*chart_, layout_, red).Height(), 6);
  const Faces r = FacesOf(red), w = FacesOf(white);
  EXPECT_EQ(PixelAt(png, r.front), (Rgb{255, 0, 0}));
  EXPECT_EQ(PixelAt(png, r.side), (Rgb{127, 0, 0}));
  EXPECT_EQ(PixelAt(png, r.top), (Rgb{191, 0, 0}));
  EXPECT_EQ(PixelAt(png, w.front), (Rgb{255, 255, 255}));
  EXPECT_EQ(PixelAt(png, w.side), (Rgb{127, 127, 127}));
  EXPECT_EQ(PixelAt(png, w.top), (Rgb{191, 191, 191}));
  // Only one class is red.
  int redFronts = 0;
  for (int i = 0; i < 10; ++i)
    if (PixelAt(png, FacesOf(i).front) == Rgb{255, 0, 0}) ++redFronts;
  EXPECT_LE(redFronts, 1);
}

TEST_F(RenderedRun, LeftWallIsLightYellowAndTheBackWallShowsThePanel) {
  const QImage png = Load("hist.png");
  const Rect& p = layout_.plot;
  const TProjection& c = layout_.projection;
  const int depth = layout_.depthPixels;
  EXPECT_EQ(PixelAt(png, c.ProjectPoint(p.left, (p.top + p.bottom) / 2, depth / 2)), (Rgb{255, 255, 128}));
  EXPECT_EQ(PixelAt(png, c.ProjectPoint(p.left + 3, p.top + 3, depth)), (Rgb{255, 255, 255}));
  // The back wall's outline.
  EXPECT_EQ(PixelAt(png, c.ProjectPoint((p.left + p.right) / 2 + 3, p.top - 1, depth)),
            (Rgb{0, 0, 0}));
  EXPECT_EQ(PixelAt(png, {5, 5}), (Rgb{255, 255, 255}));
}

TEST_F(RenderedRun, TheThreeTitleLinesAreCentredAboveThePlot) {
  const QImage png = Load("hist.png");
  QImage probe(1, 1, QImage::Format_RGB32);
  QPainter painter(&probe);
  QPainterCanvas canvas(painter, 96);
  canvas.SetFont(chart_->Title.Font.Resolved(96));
  const int h = LineHeight(canvas);
  const int top = 18;  // the plot's top before the title
  for (int line = 0; line < 3; ++line) {
    int dark = 0, minX = 689, maxX = -1;
    for (int y = top + line * h; y < top + (line + 1) * h; ++y)
      for (int x = 0; x < 689; ++x)
        if (Dark(png, x, y)) {
          ++dark;
          minX = std::min(minX, x);
          maxX = std::max(maxX, x);
        }
    EXPECT_GT(dark, 100) << "line " << line;
    const int width = canvas.TextWidth(chart_->Title.Text[line]);
    EXPECT_NEAR((minX + maxX) / 2.0, (21 + 668) / 2, 3) << "line " << line;
    EXPECT_NEAR(maxX - minX, width, 4) << "line " << line;
  }
  EXPECT_EQ(chart_->Title.Text[0], "Histogram of simulated values of Delta");
  EXPECT_EQ(layout_.plot.top > top + 3 * h + 5, true);
}

TEST_F(RenderedRun, TenClassLabelsReadUpwardUnderTheirBars) {
  const QImage png = Load("hist.png");
  const TAxisLayout& bottom = layout_.Of(chart_->BottomAxis);
  QImage probe(1, 1, QImage::Format_RGB32);
  QPainter painter(&probe);
  QPainterCanvas canvas(painter, 96);
  canvas.SetFont(chart_->BottomAxis.LabelsFont.Resolved(96));
  const int h = LineHeight(canvas) / 2;
  for (int i = 0; i < 10; ++i) {
    const int p = bottom.ValueToPixel(i);
    int minX = 689, maxX = -1, minY = 449, maxY = -1;
    for (int y = bottom.labelPixel; y < 449; ++y)
      for (int x = p - h - 1; x <= p + h + 1; ++x)
        if (Dark(png, x, y)) {
          minX = std::min(minX, x), maxX = std::max(maxX, x);
          minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    ASSERT_GE(maxX, 0) << "no label under bar " << i;
    const int length = canvas.TextWidth(Series().Label(i));
    // Turned 90 degrees: as long as the text is wide, ending at the band's top.
    EXPECT_NEAR(maxY - minY, length, 4) << Series().Label(i);
    EXPECT_LE(minY - bottom.labelPixel, 3) << Series().Label(i);
    EXPECT_LE(maxX - minX, 2 * h + 2) << Series().Label(i);
    EXPECT_GT(maxY - minY, 3 * (maxX - minX)) << Series().Label(i);
  }
}

TEST_F(RenderedRun, SvgShowsTheSameDrawing) {
  const std::string svg = test::ReadBytes(dir_->File("hist.svg"));
  for (int i = 0; i < 3; ++i) EXPECT_NE(svg.find(chart_->Title.Text[i]), std::string::npos) << i;
  EXPECT_NE(svg.find(Series().Label(0)), std::string::npos);
  QSvgRenderer renderer(QString::fromStdString(dir_->File("hist.svg")));
  ASSERT_TRUE(renderer.isValid());
  QImage image(689, 449, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  renderer.render(&painter, QRectF(0, 0, 689, 449));
  painter.end();
  // The same picture but for smoothed edges and text: every pixel inside a
  // flat area of the PNG (its eight neighbours of its colour) has that colour.
  int differing = 0, flat = 0;
  for (int y = 1; y < 448; ++y)
    for (int x = 1; x < 688; ++x) {
      const Rgb c = PixelAt(*image_, {x, y});
      bool inside = true;
      for (int dy = -1; dy <= 1 && inside; ++dy)
        for (int dx = -1; dx <= 1 && inside; ++dx) inside = PixelAt(*image_, {x + dx, y + dy}) == c;
      if (!inside) continue;
      ++flat;
      const Rgb a = PixelAt(image, {x, y});
      if (std::abs(a.r - c.r) > 8 || std::abs(a.g - c.g) > 8 || std::abs(a.b - c.b) > 8) ++differing;
    }
  EXPECT_GT(flat, 689 * 449 * 8 / 10);
  EXPECT_LE(differing, flat / 1000);
  const Faces r = FacesOf(RedClass()), w = FacesOf(TallestWhiteClass());
  EXPECT_EQ(PixelAt(image, r.front), (Rgb{255, 0, 0}));
  EXPECT_EQ(PixelAt(image, r.side), (Rgb{127, 0, 0}));
  EXPECT_EQ(PixelAt(image, r.top), (Rgb{191, 0, 0}));
  EXPECT_EQ(PixelAt(image, w.side), (Rgb{127, 127, 127}));
  EXPECT_EQ(PixelAt(image, w.top), (Rgb{191, 191, 191}));
  const Rect& p = layout_.plot;
  EXPECT_EQ(PixelAt(image, layout_.projection.ProjectPoint(p.left, (p.top + p.bottom) / 2, layout_.depthPixels / 2)),
            (Rgb{255, 255, 128}));
}

TEST_F(RenderedRun, PdfIsOnePageTheSizeOfTheChart) {
  const std::string pdf = test::ReadBytes(dir_->File("hist.pdf"));
  ASSERT_EQ(pdf.rfind("%PDF-", 0), 0u);
  // 689 × 449 pixels at 96 per inch are 516.75 × 336.75 points, which the
  // page rounds to whole points.
  EXPECT_NE(pdf.find("/MediaBox [0 0 517.000000 337.000000]"), std::string::npos);
  EXPECT_EQ(pdf.find("/Type /Page\n", pdf.find("/Type /Page\n") + 1), std::string::npos);
}

TEST(ChartFonts, ArialResolvesToAMetricCompatibleFace) {
  const QFontInfo info(QPainterCanvas::ToQFont(FontSpec{}));
  EXPECT_EQ(info.family().toStdString(), "Liberation Sans");
  EXPECT_EQ(info.pixelSize(), 11);  // 8 points at 96 per inch
}

TEST(ChartExport, FormatFromTheExtension) {
  struct Case {
    const char* name;
    std::optional<ChartFileFormat> format;
  };
  for (const Case& c : {Case{"hist.png", ChartFileFormat::Png}, {"a/b/HIST.PNG", ChartFileFormat::Png},
                        {"x.Svg", ChartFileFormat::Svg}, {"x.pdf", ChartFileFormat::Pdf},
                        {"x.jpg", std::nullopt}, {"png", std::nullopt}, {"dir.png/x", std::nullopt},
                        {"x.png.txt", std::nullopt}, {"", std::nullopt}})
    EXPECT_EQ(ChartFormatFromFileName(c.name), c.format) << c.name;
}

TEST(ChartExport, CommandLineRefusesOtherNamesAndReportsWriteFailures) {
  test::ScratchDir dir;
  test::WriteBytes(dir.File("three.txt"),
                   test::ReadBytes(std::string(DW_SOURCE_DIR) + "/examples/three-populations.txt"));
  const std::string small = "run --seed 1 -P 3 -N 20 -T 10 -I 20 -n 10 -A 3 -i three.txt -o out.txt ";
  EXPECT_EQ(RunProgram(dir, small + "--chart hist.jpg"), 64);
  EXPECT_EQ(test::ReadBytes(dir.File("stderr.txt")), "--chart: 'hist.jpg' must end in .png, .svg or .pdf\n");
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.txt")));  // nothing ran

  EXPECT_EQ(RunProgram(dir, small + "--chart missing/hist.png"), 2);
  EXPECT_EQ(test::ReadBytes(dir.File("stderr.txt")),
            "missing/hist.png: Fichier introuvable. (No such file or directory)\n");
  // Refused before the first simulation, not after the last.
  EXPECT_EQ(test::ReadBytes(dir.File("stdout.txt")), "");
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.txt")));

  EXPECT_EQ(RunProgram(dir, small + "--chart Small.PnG"), 0);
  EXPECT_EQ(test::ReadBytes(dir.File("stderr.txt")), "");
  const QImage png(QString::fromStdString(dir.File("Small.PnG")), "PNG");
  EXPECT_EQ(png.size(), QSize(689, 449));
}

}  // namespace
}  // namespace dw::chart
