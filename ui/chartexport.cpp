#include "ui/chartexport.h"

#include <QDir>
#include <QFileDialog>

#include "chart/qt/chart_widget.h"
#include "chart/qt/export.h"
#include "ui/messages.h"
#include "ui/scanplots.h"

namespace dw::ui {

namespace {

QString AskChartFile(QWidget* parent, const QString& folder) {
  QFileDialog dialog(parent);
  dialog.setObjectName("ExportChartDialog");
  dialog.setWindowTitle("Export the histogram");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({"PNG image (*.png)", "SVG drawing (*.svg)", "PDF document (*.pdf)"});
  dialog.setDefaultSuffix("png");
  // The extension follows the type chosen, as the scan plot's export does.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
    dialog.setDefaultSuffix(filter.section("*.", 1).section(')', 0, 0));
  });
  dialog.selectFile(QDir(folder).filePath("histogram.png"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

}  // namespace

void ExportChartFile(QWidget* parent, chart::TChartWidget& widget, const QString& folder) {
  const QString name = AskChartFile(parent, folder);
  if (name.isEmpty()) return;
  const auto format = chart::ChartFormatFromFileName(name.toStdString());
  if (!format) {
    ShowInfoMessage("The chart is written as PNG, SVG or PDF: give the file the extension .png, "
                    ".svg or .pdf");
    return;
  }
  const auto size = AskFileSize(parent, {kChartFileWidth, kChartFileHeight}, *format);
  if (!size) return;
  const std::string bytes =
      chart::RenderChart(widget.Chart(), *format, size->width, size->height, size->pixelsPerInch);
  widget.update();  // the screen lays the chart out again at its own size
  std::string error;
  if (bytes.empty())
    ShowErrorBox("Cannot draw the chart for '" + name.toStdString() + "'");
  else if (!chart::WriteDrawing(name.toStdString(), bytes, error))
    ShowErrorBox(error);
}

}  // namespace dw::ui
