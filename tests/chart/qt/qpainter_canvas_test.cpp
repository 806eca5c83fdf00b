#include "chart/qt/qpainter_canvas.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <memory>

namespace dw::chart {
namespace {

QImage White(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}
QRgb At(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }
constexpr QRgb kWhite = 0xFFFFFF, kBlack = 0x000000, kRed = 0xFF0000;

// Dark pixels' bounding box.
QRect Ink(const QImage& image) {
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 100) box |= QRect(x, y, 1, 1);
  return box;
}

TEST(QPainterCanvas, RectanglesAndLinesLeaveOutTheirLastPixel) {
  QImage image = White(12, 12);
  {
    QPainter painter(&image);
    QPainterCanvas c(painter);
    c.SetPen({clBlack, PenStyle::Solid, 1});
    c.SetBrush({clRed, BrushStyle::Solid});
    c.Rectangle({2, 2, 7, 7});
    c.Line({0, 10}, {6, 10});
    c.Line({10, 0}, {10, 5});
    c.SetBrush({clRed, BrushStyle::Solid});
    c.FillRect({8, 8, 10, 10});
  }
  EXPECT_EQ(At(image, 2, 2), kBlack);
  EXPECT_EQ(At(image, 6, 6), kBlack);  // the outline's last pixels inside
  EXPECT_EQ(At(image, 7, 7), kWhite);
  EXPECT_EQ(At(image, 4, 4), kRed);
  EXPECT_EQ(At(image, 0, 10), kBlack);
  EXPECT_EQ(At(image, 5, 10), kBlack);
  EXPECT_EQ(At(image, 6, 10), kWhite);
  EXPECT_EQ(At(image, 10, 4), kBlack);
  EXPECT_EQ(At(image, 10, 5), kWhite);
  EXPECT_EQ(At(image, 9, 9), kRed);
  EXPECT_EQ(At(image, 10, 9), kWhite);
}

TEST(QPainterCanvas, TextSitsByItsAlignmentAndTurnsCounterClockwise) {
  struct Case {
    HAlign h;
    VAlign v;
    int angle;
    // Where the ink lies relative to the anchor (100, 100).
    bool left, above;
  };
  for (const Case& k : {Case{HAlign::Left, VAlign::Top, 0, false, false},
                        {HAlign::Right, VAlign::Top, 0, true, false},
                        {HAlign::Left, VAlign::Bottom, 0, false, true},
                        {HAlign::Left, VAlign::Top, 90, false, true},   // reads upward from the anchor
                        {HAlign::Right, VAlign::Top, 90, false, false}}) {  // ends at the anchor, hangs down
    QImage image = White(200, 200);
    {
      QPainter painter(&image);
      QPainterCanvas c(painter);
      c.SetFont(FontSpec{"Arial", -13, clBlack});
      c.SetBrush({clWhite, BrushStyle::Clear});
      c.SetTextAlign(k.h, k.v);
      if (k.angle == 0) c.TextOut({100, 100}, "Histogram");
      else c.RotatedTextOut({100, 100}, "Histogram", k.angle);
    }
    const QRect ink = Ink(image);
    ASSERT_FALSE(ink.isEmpty());
    const std::string what = std::to_string(int(k.h)) + "/" + std::to_string(int(k.v)) + "/" + std::to_string(k.angle);
    if (k.left) EXPECT_LE(ink.right(), 100) << what;
    else EXPECT_GE(ink.left(), 99) << what;
    if (k.above) EXPECT_LE(ink.bottom(), 100) << what;
    else EXPECT_GE(ink.top(), 99) << what;
    if (k.angle == 90) EXPECT_GT(ink.height(), 3 * ink.width()) << what;
    else EXPECT_GT(ink.width(), 3 * ink.height()) << what;
  }
}

TEST(QPainterCanvas, NotXorPenUndoesItselfAndClipsHold) {
  QImage image = White(20, 20);
  {
    QPainter painter(&image);
    QPainterCanvas c(painter);
    c.SetBrush({clRed, BrushStyle::Solid});
    c.FillRect({0, 0, 10, 20});
    c.SetPen({clBlack, PenStyle::Solid, 1, PenMode::NotXor});
    c.SetBrush({clWhite, BrushStyle::Clear});
    c.Rectangle({2, 2, 18, 18});
  }
  EXPECT_NE(At(image, 2, 5), kRed);  // inverted
  EXPECT_EQ(At(image, 5, 5), kRed);
  {
    QPainter painter(&image);
    QPainterCanvas c(painter);
    c.SetPen({clBlack, PenStyle::Solid, 1, PenMode::NotXor});
    c.SetBrush({clWhite, BrushStyle::Clear});
    c.Rectangle({2, 2, 18, 18});  // the same rectangle again erases it
    c.SetPen({clBlack, PenStyle::Solid, 1, PenMode::Copy});
    c.SetBrush({clBlack, BrushStyle::Solid});
    const Point triangle[3] = {{10, 0}, {19, 0}, {19, 9}};
    c.ClipToPolygon(triangle);
    c.FillRect({0, 0, 20, 20});
    c.RemoveClip();
  }
  EXPECT_EQ(At(image, 2, 5), kRed);
  EXPECT_EQ(At(image, 17, 15), kWhite);  // the erased outline
  EXPECT_EQ(At(image, 18, 2), kBlack);  // inside the clip
  EXPECT_EQ(At(image, 12, 8), kWhite);  // outside it
}

// On a screen of two device pixels per pixel the chart is drawn at the
// screen's own resolution: its off-screen bitmap holds twice the pixels each
// way, text is rasterised there, and a one-pixel line is one pixel of the
// chart (two of the device), not a hairline.
TEST(QPainterCanvas, HighDensityScreensGetSharpBitmapsAndFullWeightLines) {
  QImage screen(40, 30, QImage::Format_RGB32);
  screen.setDevicePixelRatio(2);
  screen.fill(Qt::white);
  QPainter painter(&screen);
  QPainterCanvas c(painter);
  std::unique_ptr<OffscreenBitmap> bitmap = c.CreateBitmap(20, 15, false);
  EXPECT_EQ(bitmap->Width(), 20);
  EXPECT_EQ(bitmap->Height(), 15);
  auto* image = dynamic_cast<QImageBitmap*>(bitmap.get());
  ASSERT_NE(image, nullptr);
  Canvas& surface = image->Surface();
  surface.SetPen({clBlack, PenStyle::Solid, 1});
  surface.Line({2, 5}, {18, 5});
  const QImage& pixels = image->Image();
  EXPECT_EQ(pixels.size(), QSize(40, 30));
  EXPECT_EQ(pixels.devicePixelRatio(), 2);
  auto darkRows = [](const QImage& image) {
    QList<int> rows;
    for (int y = 0; y < image.height(); ++y)
      if (qGray(image.pixel(20, y)) < 100) rows << y;
    return rows;
  };
  const QList<int> rows = darkRows(pixels);
  ASSERT_EQ(rows.size(), 2);  // two device rows at the line's place
  EXPECT_EQ(rows[1], rows[0] + 1);
  EXPECT_LE(std::abs(rows[0] - 10), 1);
  // Copied one device pixel for one: nothing magnified, nothing lost.
  c.DrawBitmap({0, 0}, *bitmap);
  painter.end();
  EXPECT_EQ(darkRows(screen), rows);
}

}  // namespace
}  // namespace dw::chart
