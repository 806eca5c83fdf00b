#pragma once
// The scan's pictures as files, through the chart's export (PNG, SVG or
// PDF). No Qt type in this interface.
#include <optional>
#include <string>

#include "chart/qt/export.h"
#include "scan/pictures.h"

namespace dw::scan {

// What a file is drawn at: width × height at 96 per inch (the page of an SVG
// or PDF), 0 for the picture's default (DefaultPictureSize); a PNG has
// pixelsPerInch / 96 times the pixels.
struct FileSize {
  int width = 0, height = 0;
  int pixelsPerInch = 96;
};

// "WxH" (pixels, each 16 to 20000); none for anything else.
std::optional<FileSize> ParsePlotSize(const std::string& text);

// The bytes of the picture's file; empty when drawing failed.
std::string RenderPicture(const ScanPictures& pictures, PictureKind kind,
                          chart::ChartFileFormat format, const FileSize& size = {});
// The Delta picture alone, at ScanPlotSize.
std::string RenderScanPlot(const ScanPlot& plot, chart::ChartFileFormat format,
                           const FileSize& size = {});

// By the file's extension (.png, .svg, .pdf), written whole. False with the
// reason in `error`, which names the option the file came from.
bool WriteScanPlot(const std::string& fileName, const ScanPlot& plot, std::string& error,
                   const FileSize& size = {});
// WC against He with the null's envelope (scan/wcheplot.h), 960 × 600 by default.
bool WriteWcHePlot(const std::string& fileName, const WcHePlot& plot, std::string& error,
                   const FileSize& size = {});
// -log10 q along the chromosomes (scan/qplot.h), QPlotSize by default.
bool WriteQPlot(const std::string& fileName, const QPlot& plot, std::string& error,
                const FileSize& size = {});

}  // namespace dw::scan
