#pragma once
// Pictures as files: PNG, SVG or PDF at a size asked after the file's name.
// The Results tab's histogram is drawn by the same code as `run --chart`,
// the scan's pictures by the same code as `scan --plot`.
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "chart/qt/export.h"
#include "scan/plot.h"
#include "scan/qt/plotfile.h"

class QWidget;

namespace dw::chart {
class TChartWidget;
}

namespace dw::ui {

class TFormScale;

// The size `run --chart` draws the histogram at, proposed first.
inline constexpr int kChartFileWidth = 689, kChartFileHeight = 449;

// The export dialogs' file types.
inline const QStringList kDrawingFilters{"PNG image (*.png)", "SVG drawing (*.svg)",
                                         "PDF document (*.pdf)"};

// Draws a picture for a file: the bytes, empty when drawing failed.
using DrawFile = std::function<std::string(chart::ChartFileFormat, const scan::FileSize&)>;

// Asks the size (proposing `proposed`), draws `what` with `draw` and writes
// it to `name`, whose extension names the format. Nothing when the size is
// cancelled; a message naming the file when the extension is no picture's,
// or the drawing or the writing fails.
void WriteDrawingAtSize(QWidget* parent, const QString& name, const std::string& what,
                        scan::PlotSize proposed, const DrawFile& draw);

// Asks the file (a dialog named "ExportChartDialog" opened in `folder`) and
// its size, and writes the chart there.
void ExportChartFile(QWidget* parent, const TFormScale& form, chart::TChartWidget& widget,
                     const QString& folder);

}  // namespace dw::ui
