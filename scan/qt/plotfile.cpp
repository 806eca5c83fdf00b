#include "scan/qt/plotfile.h"

#include <functional>

namespace dw::scan {

std::string RenderScanPlot(const ScanPlot& plot, chart::ChartFileFormat format) {
  chart::Drawing drawing;
  drawing.pageName = "Plot";
  drawing.antialiased = true;  // points and rings are diagonal
  drawing.draw = [&plot](chart::Canvas& canvas, const chart::Rect& area) {
    DrawScanPlot(plot, canvas, area);
  };
  const PlotSize size = ScanPlotSize(plot);
  return chart::RenderDrawing(drawing, format, size.width, size.height);
}

namespace {

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

}  // namespace

bool WriteScanPlot(const std::string& fileName, const ScanPlot& plot, std::string& error) {
  return WriteRendered(
      "--plot", fileName, [&](chart::ChartFileFormat format) { return RenderScanPlot(plot, format); },
      error);
}

bool WriteWcHePlot(const std::string& fileName, const WcHePlot& plot, std::string& error) {
  return WriteRendered(
      "--plot-wc-he", fileName,
      [&](chart::ChartFileFormat format) {
        chart::Drawing drawing;
        drawing.pageName = "WC against He";
        drawing.antialiased = true;
        drawing.draw = [&plot](chart::Canvas& canvas, const chart::Rect& area) {
          DrawWcHePlot(plot, canvas, area);
        };
        return chart::RenderDrawing(drawing, format, 960, 600);
      },
      error);
}

}  // namespace dw::scan
