#include "ui/chartpreview.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "chart/chart.h"
#include "chart/qt/chart_widget.h"
#include "runtime/floatmode.h"

namespace dw::ui {

namespace {

constexpr int kWindowWidth = 608, kWindowHeight = 427;  // at 96 pixels per inch
constexpr int kTopPanelHeight = 38;
constexpr int kLeftPanelWidth = 112;
constexpr int kLandscapeItem = 1;

QFont PreviewFont() {
  QFont font;
  font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "DejaVu Sans"});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);
  return font;
}

QString AskPdfFile(QWidget* parent) {
  QFileDialog dialog(parent, "Print to PDF file");
  dialog.setObjectName("PdfFileDialog");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter("PDF files (*.pdf)");
  dialog.setDefaultSuffix("pdf");
  dialog.selectFile("Chart1.pdf");
  const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  return accepted ? dialog.selectedFiles().first() : QString();
}

// PDF output has no system setup dialog: paper and orientation here.
bool SetUpPdfOutput(QPrinter& printer, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setObjectName("PrinterSetupDialog1");
  dialog.setWindowTitle("Printer Setup");
  auto* form = new QFormLayout;
  auto* paper = new QComboBox(&dialog);
  paper->setObjectName("Paper");
  const QPageSize::PageSizeId sizes[] = {QPageSize::Letter, QPageSize::Legal, QPageSize::A4,
                                         QPageSize::A3, QPageSize::A5};
  for (QPageSize::PageSizeId id : sizes) paper->addItem(QPageSize::name(id), int(id));
  paper->setCurrentIndex(std::max(0, paper->findData(int(printer.pageLayout().pageSize().id()))));
  form->addRow("&Size:", paper);
  auto* portrait = new QRadioButton("P&ortrait", &dialog);
  auto* landscape = new QRadioButton("&Landscape", &dialog);
  (printer.pageLayout().orientation() == QPageLayout::Landscape ? landscape : portrait)->setChecked(true);
  form->addRow("Orientation:", portrait);
  form->addRow("", landscape);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(form);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted) return false;
  printer.setPageSize(QPageSize(QPageSize::PageSizeId(paper->currentData().toInt())));
  printer.setPageOrientation(landscape->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait);
  return true;
}

bool SetUpPrinter(QPrinter& printer, QWidget* parent) {
  bool accepted = false;
  if (chart::PrintsToPdf(printer)) {
    accepted = SetUpPdfOutput(printer, parent);
  } else {
    QPageSetupDialog dialog(&printer, parent);
    dialog.setObjectName("PrinterSetupDialog1");
    accepted = dialog.exec() == QDialog::Accepted;
  }
  return accepted;
}

// The normal cursor again however the print ends.
class Hourglass {
 public:
  Hourglass() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~Hourglass() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

TChartPreview::TChartPreview(QWidget* owner, chart::TChart& chart, QPrinter* printer)
    : QDialog(owner),
      ownedChart_(std::make_unique<chart::TChartPrintable>(chart)),
      printable_(ownedChart_.get()),
      printer_(printer ? *printer : chart::Printer()) {
  Build();
}

TChartPreview::TChartPreview(QWidget* owner, chart::TPrintable& printable, QPrinter* printer)
    : QDialog(owner), printable_(&printable), printer_(printer ? *printer : chart::Printer()) {
  Build();
}

void TChartPreview::Build() {
  setObjectName("ChartPreview");
  // Titled for what it shows: the chart, the loci's table or the scan plot.
  setWindowTitle(ownedChart_ ? QString("Chart Print Preview")
                             : printable_->DocumentTitle() + " Print Preview");
  setFont(PreviewFont());
  resize(kWindowWidth, kWindowHeight);
  ChoosePdfFile = AskPdfFile;
  RunPrinterSetup = SetUpPrinter;

  BuildTopPanel();
  BuildLeftPanel();
  // The page is made at run time and fills what the panels leave.
  PreviewPage = new TKivPreviewPage(this);
  PreviewPage->Image = printable_;
  PreviewPage->SetPrinter(&printer_);
  PreviewPage->OnChangeMargins = [this](TKivPreviewPage&, bool fromDrag, const chart::PrintMargins& m) {
    UpdateMargins(m, fromDrag);
  };

  auto* body = new QHBoxLayout;
  body->setContentsMargins(0, 0, 0, 0);
  body->setSpacing(0);
  body->addWidget(Panel2);
  body->addWidget(PreviewPage, 1);
  UpdatePageControls();
  // Page Up and Page Down turn the pages wherever the focus is: the printer
  // list and the margin boxes would take them for themselves.
  installEventFilter(this);
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Panel1);
  layout->addLayout(body, 1);
}

void TChartPreview::BuildTopPanel() {
  Panel1 = new QWidget(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFixedHeight(kTopPanelHeight);
  Label1 = new QLabel("P&rinter:", Panel1);
  Label1->setObjectName("Label1");
  Label1->setGeometry(8, 12, 44, 16);
  Printers = new QComboBox(Panel1);
  Printers->setObjectName("Printers");
  Printers->setGeometry(54, 8, 200, 22);
  Label1->setBuddy(Printers);
  BSetupPrinter = new QPushButton(style()->standardIcon(QStyle::SP_FileDialogDetailedView),
                                  "Printer &Setup...", Panel1);
  BSetupPrinter->setObjectName("BSetupPrinter");
  BSetupPrinter->setGeometry(262, 6, 120, 26);
  BPrint = new QPushButton("&Print", Panel1);
  BPrint->setObjectName("BPrint");
  BPrint->setGeometry(390, 6, 75, 26);
  BClose = new QPushButton("Close", Panel1);
  BClose->setObjectName("BClose");
  BClose->setGeometry(473, 6, 75, 26);
  BClose->setDefault(true);
  BClose->setAutoDefault(true);

  connect(Printers, &QComboBox::activated, this, &TChartPreview::PrintersChange);
  connect(BSetupPrinter, &QPushButton::clicked, this, &TChartPreview::BSetupPrinterClick);
  connect(BPrint, &QPushButton::clicked, this, &TChartPreview::BPrintClick);
  connect(BClose, &QPushButton::clicked, this, &TChartPreview::BCloseClick);
}

QSpinBox* TChartPreview::AddMarginBox(const char* name, int left, int top) {
  auto* box = new QSpinBox(GBMargins);
  box->setObjectName(name);
  box->setRange(0, 100);
  box->setValue(0);
  // A typed value counts when it is complete (Enter or leaving the box), so
  // the opposite-margin rule judges the number the user meant.
  box->setKeyboardTracking(false);
  box->setGeometry(left, top, 44, 21);
  return box;
}

void TChartPreview::BuildLeftPanel() {
  Panel2 = new QWidget(this);
  Panel2->setObjectName("Panel2");
  Panel2->setFixedWidth(kLeftPanelWidth);

  Orientation = new QGroupBox("Paper Orientation:", Panel2);
  Orientation->setObjectName("Orientation");
  Orientation->setGeometry(4, 4, 104, 58);
  Portrait = new QRadioButton("P&ortrait", Orientation);
  Portrait->setGeometry(8, 18, 90, 17);
  Landscape = new QRadioButton("&Landscape", Orientation);
  Landscape->setGeometry(8, 36, 90, 17);
  orientationItems_ = new QButtonGroup(this);
  orientationItems_->addButton(Portrait, 0);
  orientationItems_->addButton(Landscape, kLandscapeItem);
  Landscape->setChecked(true);

  GBMargins = new QGroupBox("Margins (%)", Panel2);
  GBMargins->setObjectName("GBMargins");
  GBMargins->setGeometry(4, 66, 104, 98);
  SETopMa = AddMarginBox("SETopMa", 30, 18);
  SELeftMa = AddMarginBox("SELeftMa", 4, 44);
  SERightMa = AddMarginBox("SERightMa", 56, 44);
  SEBotMa = AddMarginBox("SEBotMa", 30, 70);

  BReset = new QPushButton("Reset &Margins", Panel2);
  BReset->setObjectName("BReset");
  BReset->setGeometry(4, 168, 104, 25);
  BReset->setEnabled(false);
  BReset->setAutoDefault(false);

  ShowMargins = new QCheckBox("&View Margins", Panel2);
  ShowMargins->setObjectName("ShowMargins");
  ShowMargins->setGeometry(8, 198, 100, 17);
  ShowMargins->setChecked(true);

  ChangeDetailGroup = new QGroupBox("Detail:", Panel2);
  ChangeDetailGroup->setObjectName("ChangeDetailGroup");
  ChangeDetailGroup->setGeometry(4, 220, 104, 56);
  auto* more = new QLabel("More", ChangeDetailGroup);
  more->setGeometry(6, 16, 40, 14);
  auto* normal = new QLabel("Normal", ChangeDetailGroup);
  normal->setGeometry(56, 16, 42, 14);
  normal->setAlignment(Qt::AlignRight);
  Resolution = new QScrollBar(Qt::Horizontal, ChangeDetailGroup);
  Resolution->setObjectName("Resolution");
  Resolution->setRange(-100, 0);
  Resolution->setGeometry(6, 32, 92, 16);

  CBProp = new QCheckBox("Proportional", Panel2);
  CBProp->setObjectName("CBProp");
  CBProp->setGeometry(8, 282, 100, 17);
  CBProp->setChecked(true);

  connect(orientationItems_, &QButtonGroup::idClicked, this, &TChartPreview::OrientationClick);
  connect(SETopMa, &QSpinBox::valueChanged, this, &TChartPreview::SETopMaChange);
  connect(SELeftMa, &QSpinBox::valueChanged, this, &TChartPreview::SELeftMaChange);
  connect(SEBotMa, &QSpinBox::valueChanged, this, &TChartPreview::SEBotMaChange);
  connect(SERightMa, &QSpinBox::valueChanged, this, &TChartPreview::SERightMaChange);
  connect(BReset, &QPushButton::clicked, this, &TChartPreview::BResetClick);
  connect(ShowMargins, &QCheckBox::clicked, this, &TChartPreview::ShowMarginsClick);
  connect(Resolution, &QScrollBar::valueChanged, this, &TChartPreview::ResolutionChange);
  connect(CBProp, &QCheckBox::clicked, this, &TChartPreview::CBPropClick);
  BuildPageGroup();
}

void TChartPreview::BuildPageGroup() {
  PageGroup = new QGroupBox("Pages:", Panel2);
  PageGroup->setObjectName("PageGroup");
  PageGroup->setGeometry(4, 304, 104, 62);
  PageLabel = new QLabel(PageGroup);
  PageLabel->setObjectName("PageLabel");
  PageLabel->setGeometry(4, 16, 96, 16);
  PageLabel->setAlignment(Qt::AlignCenter);
  BPrevPage = new QPushButton(style()->standardIcon(QStyle::SP_ArrowLeft), "", PageGroup);
  BPrevPage->setObjectName("BPrevPage");
  BPrevPage->setGeometry(6, 34, 44, 22);
  BPrevPage->setToolTip("Previous page (Page Up)");
  BNextPage = new QPushButton(style()->standardIcon(QStyle::SP_ArrowRight), "", PageGroup);
  BNextPage->setObjectName("BNextPage");
  BNextPage->setGeometry(54, 34, 44, 22);
  BNextPage->setToolTip("Next page (Page Down)");
  for (QPushButton* b : {BPrevPage, BNextPage}) b->setAutoDefault(false);
  connect(BPrevPage, &QPushButton::clicked, this, &TChartPreview::BPrevPageClick);
  connect(BNextPage, &QPushButton::clicked, this, &TChartPreview::BNextPageClick);
}

void TChartPreview::UpdatePageControls() {
  const int count = PreviewPage->PageCount(), page = PreviewPage->PageIndex();
  PageGroup->setVisible(count > 1);
  PageLabel->setText(QString("Page %1 of %2").arg(page + 1).arg(count));
  BPrevPage->setEnabled(page > 0);
  BNextPage->setEnabled(page + 1 < count);
}

void TChartPreview::ShowPage(int page) {
  PreviewPage->SetPageIndex(page);
  UpdatePageControls();
}

bool TChartPreview::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) && PreviewPage->PageCount() > 1) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool up = key->key() == Qt::Key_PageUp, down = key->key() == Qt::Key_PageDown;
    if (key->modifiers() == Qt::NoModifier && (up || down)) {
      // Claimed before any shortcut, so that it arrives here as a press.
      if (type == QEvent::ShortcutOverride) event->accept();
      else ShowPage(PreviewPage->PageIndex() + (down ? 1 : -1));
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TChartPreview::BPrevPageClick() { ShowPage(PreviewPage->PageIndex() - 1); }
void TChartPreview::BNextPageClick() { ShowPage(PreviewPage->PageIndex() + 1); }

void TChartPreview::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  if (const QScreen* screen = this->screen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
  FormShow();
}

void TChartPreview::reject() { BClose->click(); }

void TChartPreview::FormShow() {
  unsetCursor();
  FillPrinters();
  printer_.setPageOrientation(QPageLayout::Landscape);
  CBProp->setChecked(printable_->Proportional());
  Resolution->setValue(printable_->Detail());
  savedMargins_ = printable_->Margins();
  Recalculate();
  initialising_ = false;
}

void TChartPreview::FillPrinters() {
  Printers->clear();
  QStringList names = chart::PrinterNames();
  // A printer set to PDF output on a machine with printers is listed too, so
  // the list always shows the printer in use.
  if (chart::PrintsToPdf(printer_) && !names.contains(chart::kPdfPrinterName))
    names << chart::kPdfPrinterName;
  Printers->addItems(names);
  Printers->setCurrentIndex(Printers->findText(chart::CurrentPrinterName(printer_)));
}

void TChartPreview::OrientationFromPrinter() {
  const bool landscape = printer_.pageLayout().orientation() == QPageLayout::Landscape;
  (landscape ? Landscape : Portrait)->setChecked(true);
}

void TChartPreview::Recalculate() {
  if (printable_->Proportional()) {
    savedMargins_ = chart::ProportionalMargins(*printable_, chart::PageOf(printer_));
    printable_->SetMargins(savedMargins_);
  }
  OrientationFromPrinter();
  UpdateMargins(printable_->Margins(), false);
}

void TChartPreview::UpdateMargins(const chart::PrintMargins& margins, bool fromDrag) {
  updatingMargins_ = true;
  SELeftMa->setValue(margins.left);
  SERightMa->setValue(margins.right);
  SETopMa->setValue(margins.top);
  SEBotMa->setValue(margins.bottom);
  if (fromDrag) {
    printable_->SetProportional(false);
    uncheckingProp_ = true;
    CBProp->setChecked(false);
    uncheckingProp_ = false;
  }
  updatingMargins_ = false;
  if (PreviewPage->DragImage || !fromDrag) {
    RefreshPreview();
  } else {
    PreviewPage->DrawMarginLines();
    // The margins now differ from the saved ones; say so while the drag goes on.
    BReset->setEnabled(printable_->Margins() != savedMargins_);
  }
}

void TChartPreview::RefreshPreview() {
  if (updatingMargins_) return;
  // A new page setup may give the printable fewer pages.
  ShowPage(PreviewPage->PageIndex());
  PreviewPage->Invalidate();
  BReset->setEnabled(printable_->Margins() != savedMargins_);
}

void TChartPreview::MarginChange(QSpinBox* box, int chart::PrintMargins::*side,
                                 int chart::PrintMargins::*opposite) {
  if (initialising_) return;
  chart::PrintMargins margins = printable_->Margins();
  const int v = box->value();
  if (v + margins.*opposite >= 100) {
    box->setValue(margins.*side);
    return;
  }
  margins.*side = v;
  printable_->SetMargins(margins);
  RefreshPreview();
}

using Margins = chart::PrintMargins;
void TChartPreview::SETopMaChange() { MarginChange(SETopMa, &Margins::top, &Margins::bottom); }
void TChartPreview::SELeftMaChange() { MarginChange(SELeftMa, &Margins::left, &Margins::right); }
void TChartPreview::SEBotMaChange() { MarginChange(SEBotMa, &Margins::bottom, &Margins::top); }
void TChartPreview::SERightMaChange() { MarginChange(SERightMa, &Margins::right, &Margins::left); }

void TChartPreview::PrintersChange() {
  chart::SelectPrinter(printer_, Printers->currentText());
  OrientationFromPrinter();
  OrientationClick();
}

void TChartPreview::BSetupPrinterClick() {
  RunPrinterSetup(printer_, this);
  FillPrinters();
  OrientationFromPrinter();
  // The paper may have changed size.
  PreviewPage->Invalidate();
}

void TChartPreview::OrientationClick() {
  printer_.setPageOrientation(orientationItems_->checkedId() == kLandscapeItem ? QPageLayout::Landscape
                                                                               : QPageLayout::Portrait);
  Recalculate();
  PreviewPage->Invalidate();
}

void TChartPreview::ShowMarginsClick() {
  PreviewPage->ShowMargins = ShowMargins->isChecked();
  PreviewPage->Invalidate();
}

void TChartPreview::BResetClick() {
  printable_->SetMargins(savedMargins_);
  UpdateMargins(savedMargins_, false);
}

void TChartPreview::ResolutionChange() {
  printable_->SetDetail(Resolution->value());
  PreviewPage->Invalidate();
  OrientationFromPrinter();
}

void TChartPreview::CBPropClick() {
  if (uncheckingProp_) return;
  printable_->SetProportional(CBProp->isChecked());
  Recalculate();
}

void TChartPreview::BPrintClick() {
  if (chart::PrintsToPdf(printer_)) {
    const QString file = ChoosePdfFile(this);
    if (file.isEmpty()) return;
    printer_.setOutputFileName(file);
  }
  Hourglass wait;
  PreviewPage->Print();
}

void TChartPreview::BCloseClick() { done(1); }

void ShowChartPreview(QWidget* owner, chart::TChartWidget* chart) {
  if (!chart) return;
  // The chart repaints on screen whether the window closes or an error
  // leaves its modal loop.
  struct Repaint {
    chart::TChartWidget* widget;
    ~Repaint() {
      widget->Chart().Invalidate();
      widget->update();
    }
  } repaint{chart};
  TChartPreview preview(owner, chart->Chart());
  preview.exec();
}

void ShowPrintPreview(QWidget* owner, chart::TPrintable& printable) {
  TChartPreview preview(owner, printable);
  preview.exec();
}

}  // namespace dw::ui
