#include "chart/qt/export.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "chart/chart.h"
#include "chart/qt/qpainter_canvas.h"
#include "runtime/errors.h"
#include "runtime/messages.h"
#include "runtime/osfiles.h"
#include "runtime/wholefile.h"

namespace dw::chart {

std::optional<ChartFileFormat> ChartFormatFromFileName(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  const size_t slash = fileName.find_last_of("/\\");
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return std::nullopt;
  std::string ext(fileName.substr(dot + 1));
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "png") return ChartFileFormat::Png;
  if (ext == "svg") return ChartFileFormat::Svg;
  if (ext == "pdf") return ChartFileFormat::Pdf;
  return std::nullopt;
}

namespace {

// Headless, Qt's remark that it has no runtime directory is noise on the
// command line's standard error.
QtMessageHandler previousHandler = nullptr;

void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg && message.startsWith("QStandardPaths:")) return;
  if (previousHandler) previousHandler(type, context, message);
}

}  // namespace

void EnsureGuiApplication() {
  if (QGuiApplication::instance()) return;
  previousHandler = qInstallMessageHandler(QuietMessages);
  if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "driftwise";
  static char* argv[] = {name, nullptr};
  // Lives until the process ends: fonts and the paint devices need it, and
  // destroying it during static destruction is not safe.
  new QGuiApplication(argc, argv);
}

namespace {

void DrawOnto(const Drawing& drawing, QPainter& painter, int width, int height) {
  if (drawing.antialiased) painter.setRenderHint(QPainter::Antialiasing);
  QPainterCanvas canvas(painter, 96);
  drawing.draw(canvas, {0, 0, width, height});
}

QByteArray RenderPng(const Drawing& drawing, int width, int height, int pixelsPerInch) {
  QImage image(PixelsAt(width, pixelsPerInch), PixelsAt(height, pixelsPerInch),
               QImage::Format_RGB32);
  image.fill(Qt::white);
  const int perMetre = qRound(pixelsPerInch / 0.0254);  // 3780 for 96 per inch
  image.setDotsPerMeterX(perMetre);
  image.setDotsPerMeterY(perMetre);
  {
    QPainter painter(&image);
    // Laid out at 96 per inch and magnified, so the picture is the same at
    // any resolution, only finer.
    if (pixelsPerInch != 96) painter.scale(pixelsPerInch / 96.0, pixelsPerInch / 96.0);
    DrawOnto(drawing, painter, width, height);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

QByteArray RenderSvg(const Drawing& drawing, int width, int height) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(QSize(width, height));
  svg.setViewBox(QRect(0, 0, width, height));
  svg.setResolution(96);
  if (!drawing.title.empty()) svg.setTitle(QString::fromStdString(drawing.title));
  QPainter painter(&svg);
  DrawOnto(drawing, painter, width, height);
  painter.end();
  return bytes;
}

QByteArray RenderPdf(const Drawing& drawing, int width, int height) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter pdf(&buffer);
  pdf.setResolution(96);
  if (!drawing.title.empty()) pdf.setTitle(QString::fromStdString(drawing.title));
  pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
  // The page is rounded up to whole points (517 × 337 for 689 × 449 pixels).
  pdf.setPageSize(QPageSize(QSizeF(width * 72.0 / 96, height * 72.0 / 96), QPageSize::Point,
                            QString::fromStdString(drawing.pageName), QPageSize::ExactMatch));
  QPainter painter(&pdf);
  DrawOnto(drawing, painter, width, height);
  painter.end();
  return bytes;
}

}  // namespace

int PixelsAt(int size, int pixelsPerInch) {
  return static_cast<int>((static_cast<long long>(size) * pixelsPerInch + 48) / 96);
}

std::string RenderDrawing(const Drawing& drawing, ChartFileFormat format, int width, int height,
                          int pixelsPerInch) {
  EnsureGuiApplication();
  if (width <= 0 || height <= 0 || pixelsPerInch <= 0) return {};
  QByteArray bytes;
  switch (format) {
    case ChartFileFormat::Png: bytes = RenderPng(drawing, width, height, pixelsPerInch); break;
    case ChartFileFormat::Svg: bytes = RenderSvg(drawing, width, height); break;
    case ChartFileFormat::Pdf: bytes = RenderPdf(drawing, width, height); break;
  }
  return bytes.toStdString();
}

bool WriteDrawing(const std::string& fileName, const std::string& bytes, std::string& error) {
  if (const int code = WriteFileWhole(fileName, bytes)) {
    error = CommandLineErrorText(EInOutError(code, LastSystemError(), fileName));
    return false;
  }
  return true;
}

std::string RenderChart(TChart& chart, ChartFileFormat format, int width, int height,
                        int pixelsPerInch) {
  Drawing drawing;
  drawing.title = "Chart1";
  drawing.draw = [&chart](Canvas& canvas, const Rect& area) {
    // One unbuffered drawing onto the file's device.
    const bool buffered = chart.canvas3D.buffered;
    chart.canvas3D.buffered = false;
    DrawChart(chart, canvas, area);
    chart.canvas3D.buffered = buffered;
    chart.canvas3D.dirty = true;  // laid out at the file's size, not the screen's
  };
  return RenderDrawing(drawing, format, width, height, pixelsPerInch);
}


}  // namespace dw::chart
