#include "scan/qt/plotfile.h"

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

bool WriteScanPlot(const std::string& fileName, const ScanPlot& plot, std::string& error) {
  const auto format = chart::ChartFormatFromFileName(fileName);
  if (!format) {
    error = "--plot: '" + fileName + "' must end in .png, .svg or .pdf";
    return false;
  }
  const std::string bytes = RenderScanPlot(plot, *format);
  if (bytes.empty()) {
    error = "Cannot draw the plot for '" + fileName + "'";
    return false;
  }
  return chart::WriteDrawing(fileName, bytes, error);
}

}  // namespace dw::scan
