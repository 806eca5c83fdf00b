#pragma once
// The Results tab's histogram as a file: PNG, SVG or PDF at a size asked
// after the file's name, drawn by the same code as `run --chart`.
#include <QString>

class QWidget;

namespace dw::chart {
class TChartWidget;
}

namespace dw::ui {

// The size `run --chart` draws the histogram at, proposed first.
inline constexpr int kChartFileWidth = 689, kChartFileHeight = 449;

// Asks the file (a dialog named "ExportChartDialog" opened in `folder`) and
// its size, and writes the chart there; nothing when either is cancelled, an
// error box when the file cannot be written.
void ExportChartFile(QWidget* parent, chart::TChartWidget& widget, const QString& folder);

}  // namespace dw::ui
