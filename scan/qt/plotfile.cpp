#include "scan/qt/plotfile.h"

#include <charconv>
#include <functional>

namespace dw::scan {

namespace {

using Draw = std::function<void(chart::Canvas& canvas, const chart::Rect& area)>;

std::string Render(const Draw& draw, const std::string& pageName, PlotSize fallback,
                   chart::ChartFileFormat format, const FileSize& size) {
  chart::Drawing drawing;
  drawing.pageName = pageName;
  drawing.antialiased = true;  // points and rings are diagonal
  drawing.draw = draw;
  const int width = size.width > 0 ? size.width : fallback.width;
  const int height = size.height > 0 ? size.height : fallback.height;
  return chart::RenderDrawing(drawing, format, width, height, size.pixelsPerInch);
}

// Renders by the file's extension and writes the bytes whole.
bool WriteRendered(const std::string& option, const std::string& fileName,
                   const std::function<std::string(chart::ChartFileFormat)>& render,
                   std::string& error) {
  const auto format = chart::ChartFormatFromFileName(fileName);
  if (!format) {
    error = option + ": '" + fileName + "' must end in .png, .svg or .pdf";
    return false;
  }
  const std::string bytes = render(*format);
  if (bytes.empty()) {
    error = "Cannot draw the plot for '" + fileName + "'";
    return false;
  }
  return chart::WriteDrawing(fileName, bytes, error);
}

std::optional<int> Side(std::string_view text) {
  int value = 0;
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (problem != std::errc() || end != text.data() + text.size() || value < 16 || value > 20000)
    return std::nullopt;
  return value;
}

}  // namespace

std::optional<FileSize> ParsePlotSize(const std::string& text) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return std::nullopt;
  const auto width = Side(std::string_view(text).substr(0, x));
  const auto height = Side(std::string_view(text).substr(x + 1));
  if (!width || !height) return std::nullopt;
  return FileSize{*width, *height, 96};
}

std::string RenderPicture(const ScanPictures& pictures, PictureKind kind,
                          chart::ChartFileFormat format, const FileSize& size) {
  return Render(
      [&](chart::Canvas& canvas, const chart::Rect& area) {
        DrawPicture(pictures, kind, canvas, area);
      },
      kind == PictureKind::Delta ? "Plot" : PictureName(kind), DefaultPictureSize(pictures, kind),
      format, size);
}

std::string RenderScanPlot(const ScanPlot& plot, chart::ChartFileFormat format,
                           const FileSize& size) {
  return Render([&](chart::Canvas& canvas, const chart::Rect& area) { DrawScanPlot(plot, canvas, area); },
                "Plot", ScanPlotSize(plot), format, size);
}

bool WriteScanPlot(const std::string& fileName, const ScanPlot& plot, std::string& error,
                   const FileSize& size) {
  return WriteRendered(
      "--plot", fileName,
      [&](chart::ChartFileFormat format) { return RenderScanPlot(plot, format, size); }, error);
}

bool WriteWcHePlot(const std::string& fileName, const WcHePlot& plot, std::string& error,
                   const FileSize& size) {
  return WriteRendered(
      "--plot-wc-he", fileName,
      [&](chart::ChartFileFormat format) {
        return Render([&](chart::Canvas& canvas, const chart::Rect& area) { DrawWcHePlot(plot, canvas, area); },
                      "WC against He", {960, 600}, format, size);
      },
      error);
}

bool WriteQPlot(const std::string& fileName, const QPlot& plot, std::string& error,
                const FileSize& size) {
  return WriteRendered(
      "--plot-q", fileName,
      [&](chart::ChartFileFormat format) {
        return Render([&](chart::Canvas& canvas, const chart::Rect& area) { DrawQPlot(plot, canvas, area); },
                      PictureName(PictureKind::Q), QPlotSize(plot), format, size);
      },
      error);
}

}  // namespace dw::scan
