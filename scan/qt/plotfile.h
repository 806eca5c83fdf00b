#pragma once
// The scan plot as a file, through the chart's export (PNG, SVG or PDF).
// No Qt type in this interface.
#include <string>

#include "chart/qt/export.h"
#include "scan/plot.h"
#include "scan/wcheplot.h"

namespace dw::scan {

// The bytes of the file at ScanPlotSize; empty when drawing failed.
std::string RenderScanPlot(const ScanPlot& plot, chart::ChartFileFormat format);

// By the file's extension (.png, .svg, .pdf), written whole. False with the
// reason in `error`.
bool WriteScanPlot(const std::string& fileName, const ScanPlot& plot, std::string& error);

// WC against He with the null's envelope (scan/wcheplot.h), 960 × 600, by
// the file's extension. False with the reason in `error`.
bool WriteWcHePlot(const std::string& fileName, const WcHePlot& plot, std::string& error);

}  // namespace dw::scan
