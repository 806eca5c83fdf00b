#include "ui/chartexport.h"

#include <QDir>

#include "chart/qt/chart_widget.h"
#include "ui/form.h"
#include "ui/messages.h"
#include "ui/scanplots.h"

namespace dw::ui {

void WriteDrawingAtSize(QWidget* parent, const QString& name, const std::string& what,
                        scan::PlotSize proposed, const DrawFile& draw) {
  const auto format = chart::ChartFormatFromFileName(name.toStdString());
  if (!format) {
    ShowInfoMessage("The " + what + " is written as PNG, SVG or PDF: give the file the extension "
                    ".png, .svg or .pdf");
    return;
  }
  const auto size = AskFileSize(parent, proposed, *format);
  if (!size) return;
  const std::string bytes = draw(*format, *size);
  std::string error;
  if (bytes.empty())
    ShowErrorBox("Cannot draw the " + what + " for '" + name.toStdString() + "'");
  else if (!chart::WriteDrawing(name.toStdString(), bytes, error))
    ShowErrorBox(error);
}

void ExportChartFile(QWidget* parent, const TFormScale& form, chart::TChartWidget& widget,
                     const QString& folder) {
  const QString name = AskFileName(
      parent, form,
      {"ExportChartDialog", "Export the histogram", kDrawingFilters,
       QDir(folder).filePath("histogram.png"), folder, true, "png"});
  if (name.isEmpty()) return;
  WriteDrawingAtSize(parent, name, "chart", {kChartFileWidth, kChartFileHeight},
                     [&widget](chart::ChartFileFormat format, const scan::FileSize& size) {
                       std::string bytes = chart::RenderChart(widget.Chart(), format, size.width,
                                                              size.height, size.pixelsPerInch);
                       widget.update();  // the screen lays the chart out again at its own size
                       return bytes;
                     });
}

}  // namespace dw::ui
