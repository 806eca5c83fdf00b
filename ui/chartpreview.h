#pragma once
// The modal print preview of the results chart (or of any printable: the
// loci's table, the scan plot): printer choice and setup, orientation,
// margins typed or dragged on the page, proportional margins, detail traded
// for size, the pages of a printable of many, and the print itself.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <functional>
#include <memory>

#include "chart/qt/print.h"
#include "ui/previewpage.h"

class QButtonGroup;
class QPrinter;

namespace dw::chart {
class TChart;
class TChartWidget;
}  // namespace dw::chart

namespace dw::ui {

class TChartPreview : public QDialog {
  Q_OBJECT
 public:
  // `printer` null: the process's printer. Neither is owned.
  TChartPreview(QWidget* owner, chart::TChart& chart, QPrinter* printer = nullptr);
  TChartPreview(QWidget* owner, chart::TPrintable& printable, QPrinter* printer = nullptr);

  QWidget* Panel1;
  QLabel* Label1;
  QComboBox* Printers;
  QPushButton* BSetupPrinter;
  QPushButton* BPrint;
  QPushButton* BClose;
  QWidget* Panel2;
  QGroupBox* Orientation;
  QRadioButton* Portrait;
  QRadioButton* Landscape;
  QGroupBox* GBMargins;
  // Each margin box is an edit with its up-down buttons; its value is the
  // up-down's position.
  QSpinBox* SETopMa;
  QSpinBox* SELeftMa;
  QSpinBox* SEBotMa;
  QSpinBox* SERightMa;
  QPushButton* BReset;
  QCheckBox* ShowMargins;
  QGroupBox* ChangeDetailGroup;
  QScrollBar* Resolution;
  QCheckBox* CBProp;
  // Shown for a printable of more than one page; Page Up and Page Down too.
  QGroupBox* PageGroup;
  QLabel* PageLabel;
  QPushButton* BPrevPage;
  QPushButton* BNextPage;
  TKivPreviewPage* PreviewPage;

  chart::TPrintable& Printable() { return *printable_; }
  QPrinter& Printer() { return printer_; }
  const chart::PrintMargins& SavedMargins() const { return savedMargins_; }
  bool Initialising() const { return initialising_; }

  // Asks where the PDF goes when the printer is the PDF entry; empty: no print.
  std::function<QString(QWidget* parent)> ChoosePdfFile;
  // The printer setup dialog; true when the user accepted it.
  std::function<bool(QPrinter& printer, QWidget* parent)> RunPrinterSetup;

  void FormShow();
  void Recalculate();
  // The program writes the margins into the boxes (also the page's margin
  // change): from a drag it switches proportional off.
  void UpdateMargins(const chart::PrintMargins& margins, bool fromDrag);
  void RefreshPreview();
  // Shows `page` (0-based, kept within the pages) and updates the controls.
  void ShowPage(int page);

 public slots:
  void SETopMaChange();
  void SELeftMaChange();
  void SEBotMaChange();
  void SERightMaChange();
  void PrintersChange();
  void BSetupPrinterClick();
  void OrientationClick();
  void ShowMarginsClick();
  void BResetClick();
  void ResolutionChange();
  void CBPropClick();
  void BPrintClick();
  void BCloseClick();
  void BPrevPageClick();
  void BNextPageClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildTopPanel();
  void BuildLeftPanel();
  QSpinBox* AddMarginBox(const char* name, int left, int top);
  void BuildPageGroup();
  void UpdatePageControls();
  // `side` of PrintMargins changed in `box`; `opposite` is the other side's.
  void MarginChange(QSpinBox* box, int chart::PrintMargins::*side, int chart::PrintMargins::*opposite);
  void Build();
  void FillPrinters();
  void OrientationFromPrinter();

  std::unique_ptr<chart::TChartPrintable> ownedChart_;
  chart::TPrintable* printable_;
  QPrinter& printer_;
  QButtonGroup* orientationItems_;
  chart::PrintMargins savedMargins_;
  bool initialising_ = true;
  bool updatingMargins_ = true;
  bool uncheckingProp_ = false;
};

// Shows the preview of the widget's chart modally over `owner`; the chart
// repaints afterwards, however the window ends.
void ShowChartPreview(QWidget* owner, chart::TChartWidget* chart);
// The same for any printable.
void ShowPrintPreview(QWidget* owner, chart::TPrintable& printable);

}  // namespace dw::ui
