#include "ui/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <algorithm>
#include <charconv>
#include <exception>

#include "chart/chart.h"
#include "chart/qt/chart_widget.h"
#include "runtime/errors.h"
#include "runtime/floatmode.h"
#include "runtime/messages.h"
#include "ui/anchorlayout.h"
#include "engine/frequencyfile.h"
#include "ui/chartexport.h"
#include "engine/model.h"
#include "ui/chartpreview.h"
#include "ui/explain.h"
#include "ui/help.h"
#include "ui/locale.h"
#include "ui/locitab.h"
#include "ui/messages.h"
#include "ui/progress.h"

namespace dw::ui {

namespace {

constexpr int kDesignPixelsPerInch = 120;
constexpr int kFontHeight = 13;
constexpr int kFileButtonFontHeight = 17;
constexpr int kWindowLeft = 97, kWindowTop = 121;
constexpr int kWindowWidth = 820, kWindowHeight = 570;
constexpr int kStatusBarHeight = 19;

QFont FormFont(int pixelHeight, bool bold) {
  QFont font;
  font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "DejaVu Sans"});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelHeight);
  font.setBold(bold);
  return font;
}

// What the run reads from the form, read at the moments the run asks.
class FormReader : public RunForm {
 public:
  explicit FormReader(TTestneutre& w) : w_(w) {}
  int32_t Populations() override { return w_.varP->Value(); }
  int32_t PopulationSize() override { return w_.varN->Value(); }
  int32_t Generations() override { return w_.varG->Value(); }
  int32_t Alleles() override { return w_.vara->Value(); }
  int32_t SampleSize() override { return w_.varechant->Value(); }
  int32_t Simulations() override { return w_.repetitions->Value(); }
  std::string MigrationRateText() override { return w_.varm->text().toStdString(); }
  std::string ObservedDeltaText() override { return w_.vdelta->text().toStdString(); }
  bool InfiniteIslandSelected() override { return w_.infinite->isChecked(); }
  bool SteppingStoneSelected() override { return w_.stepping->isChecked(); }
  std::string InputFileName() override { return w_.FichFreq->text().toStdString(); }
  std::string ResultFileName() override { return w_.FichFst->text().toStdString(); }

 private:
  TTestneutre& w_;
};

// The run's messages in the information dialog, the progress dialog taken
// down first. Refusals that name no number get a line with the numbers the
// form holds.
class DialogMessages : public MessageSink {
 public:
  DialogMessages(TRunProgress& progress, TTestneutre& w) : progress_(progress), w_(w) {}
  void ShowInfoMessage(const std::string& text) override {
    progress_.Close();
    ui::ShowInfoMessage(text + DetailOf(text));
  }

 private:
  std::string DetailOf(const std::string& text) const {
    std::string line;
    if (text == kSampleSizeMessage)
      line = SampleSizeLine(w_.varechant->Value(), w_.varN->Value());
    else if (text == kPopulationCountMessage) {
      const std::string file = w_.FichFreq->text().toStdString();
      line = PopulationCountLine(file, NonBlankLines(file), w_.varP->Value());
    }
    return line.empty() ? line : "\n" + line;
  }
  TRunProgress& progress_;
  TTestneutre& w_;
};

QString ModelCaption(const TTestneutre& w) {
  if (w.infinite->isChecked()) return "infinite island model";
  return w.stepping->isChecked() ? "stepping-stone model" : "finite island model";
}

}  // namespace

std::string DeltaText(long double delta, const NumberMarks& marks) {
  // Room for the longest fixed text of a double (about 330 digits).
  char text[400];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, static_cast<double>(delta), std::chars_format::fixed);
  std::string shown = error == std::errc() ? std::string(text, end) : std::string("0");
  for (char& c : shown)
    if (c == '.') c = marks.decimal;
  return shown;
}

bool TButton::event(QEvent* event) {
  if (event->type() == QEvent::Shortcut) {
    if (isEnabled()) click();
    return true;
  }
  return QPushButton::event(event);
}

TTestneutre::TTestneutre(int pixelsPerInch, QWidget* parent) : QMainWindow(parent) {
  setObjectName("Testneutre");
  setWindowTitle("Driftwise : Single locus, multiallelic test of neutrality");
  // The installed icon of the menu entry; a stock one when run from the build.
  setWindowIcon(QIcon::fromTheme("driftwise", style()->standardIcon(QStyle::SP_ComputerIcon)));

  // Designed at 120 pixels per inch: elsewhere the font follows the
  // resolution and every length the resulting text height.
  if (pixelsPerInch <= 0)
    pixelsPerInch = screen() ? static_cast<int>(screen()->logicalDotsPerInchY() + 0.5)
                             : kDesignPixelsPerInch;
  int fontHeight = kFontHeight;
  int buttonFontHeight = kFileButtonFontHeight;
  if (pixelsPerInch != kDesignPixelsPerInch) {
    fontHeight = chart::MulDiv(kFontHeight, pixelsPerInch, kDesignPixelsPerInch);
    buttonFontHeight = chart::MulDiv(kFileButtonFontHeight, pixelsPerInch, kDesignPixelsPerInch);
    // The ratio is taken to the same font's height at the design size, so a
    // fallback font shorter than the designed 16 pixels does not shrink the
    // form further than the text does.
    form_ = TFormScale(QFontMetrics(FormFont(fontHeight, false)).height(),
                       QFontMetrics(FormFont(kFontHeight, false)).height());
  }
  QFont font = FormFont(fontHeight, false);
  setFont(font);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Button));
  setPalette(pal);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  setCentralWidget(PageControl1);
  TabSheet1 = AddTabSheet("TabSheet1", "Parameters", &layout1_);
  TabSheet2 = AddTabSheet("TabSheet2", "Results and graphs", &layout2_);
  TabSheet3 = AddTabSheet("TabSheet3", "Loci", &layout3_);
  BuildParametersTab(buttonFontHeight);
  BuildResultsTab();
  Loci = new TLociTab(*this, form_, Limits(), TabSheet3, *layout3_);
  connect(Loci, &TLociTab::LocusChosen, this, &TTestneutre::UseLocus);
  connect(Loci, &TLociTab::DataFileOpened, this, [this] { PageControl1->setCurrentIndex(2); });
  BuildStatusBar();
  SetTabOrder();
  SetHelpTopics();
  PageControl1->setCurrentIndex(0);
  ReadNumberMarks();

  // F1 opens the help at the entry of the control that has the focus.
  auto* help = new QShortcut(QKeySequence::HelpContents, this);
  connect(help, &QShortcut::activated, this, &TTestneutre::HelpForFocus);
  // Ctrl+O opens a data file from any tab.
  auto* open = new QShortcut(QKeySequence::Open, this);
  connect(open, &QShortcut::activated, Loci, &TLociTab::GenepopButtonClick);

  designClient_ = QSize(Scaled(kWindowWidth), Scaled(kWindowHeight));
  resize(designClient_);
  move(kWindowLeft, kWindowTop);
  varP->setFocus(Qt::OtherFocusReason);
}

QWidget* TTestneutre::AddTabSheet(const char* name, const QString& caption,
                                  TAnchorLayout** layout) {
  auto* sheet = new QWidget;
  sheet->setObjectName(name);
  auto* anchors = new TAnchorLayout(sheet);
  anchors->SetGrowthSource([this] { return Growth(); });
  auto* area = new QScrollArea;
  area->setObjectName(QString(name) + "Scroll");
  area->setFrameShape(QFrame::NoFrame);
  area->setWidgetResizable(true);
  area->setWidget(sheet);
  // The tab's own face shows through, as on a sheet without a scroll area.
  area->viewport()->setAutoFillBackground(false);
  sheet->setAutoFillBackground(false);
  PageControl1->addTab(area, caption);
  if (layout) *layout = anchors;
  return sheet;
}

void TTestneutre::SetProgressDelay(int ms) {
  progressDelayMs_ = ms;
  Loci->SetProgressDelay(ms);
}

QSize TTestneutre::Growth() const {
  return (size() - designClient_).expandedTo(QSize(0, 0));
}

TTestneutre::~TTestneutre() = default;

QLabel* TTestneutre::AddLabel(QWidget* parent, const char* caption, int l, int t, int w, int h) {
  auto* label = new QLabel(caption, parent);
  form_.PlaceCaption(label, l, t, w, h);
  return label;
}

TSpinEdit* TTestneutre::AddSpinEdit(QWidget* parent, int32_t min, int32_t max, int32_t step,
                                    int32_t value, int l, int t, int w, int h, const char* hint) {
  auto* edit = new TSpinEdit(parent);
  edit->SetMinValue(min);
  edit->SetMaxValue(max);
  edit->SetIncrement(step);
  edit->SetValue(value);
  form_.Place(edit, l, t, w, h);
  FitCountBox(edit);
  SetHint(edit, hint);
  connect(edit, &TSpinEdit::Clamped, this, [this, hint](int typed, int kept) {
    StatusPanel1->setText(QString::number(typed) + " is out of range for \"" + hint + "\" (" +
                          QString::number(kept) + " is the nearest allowed): set to " +
                          QString::number(kept));
  });
  return edit;
}

QLineEdit* TTestneutre::AddEdit(QWidget* parent, const char* text, int l, int t, int w, int h,
                                const char* hint) {
  auto* edit = new QLineEdit(text, parent);
  form_.Place(edit, l, t, w, h);
  SetHint(edit, hint);
  return edit;
}

void TTestneutre::BuildParametersTab(int fileButtonFontHeight) {
  QWidget* tab = TabSheet1;
  AddLabel(tab, "Number of populations (P) :", 24, 21, 161, 16)->setObjectName("Label1");
  AddLabel(tab, "Effective population size (N) :", 24, 56, 171, 16)->setObjectName("Label2");
  AddLabel(tab, "Migration rate (m) :", 24, 92, 109, 16)->setObjectName("Label3");
  AddLabel(tab, "Number of alleles (A) :", 24, 128, 131, 16)->setObjectName("Label6");
  AddLabel(tab, "Number of generations (T) :", 24, 164, 162, 16)->setObjectName("Label8");
  AddLabel(tab, "Number of simulations (I) :", 88, 320, 152, 16)->setObjectName("Label20");
  AddLabel(tab, "Input file (initial frequencies) :", 24, 395, 168, 16)->setObjectName("Label9");
  AddLabel(tab, "Output file (Fst) :", 24, 434, 93, 16)->setObjectName("Label15");
  AddLabel(tab, "Sampling size per pop. (n) :", 440, 91, 161, 16)->setObjectName("Label13");
  AddLabel(tab, "observed Delta = WC - RH :", 432, 136, 164, 16)->setObjectName("Label22");

  varP = AddSpinEdit(tab, 2, 100, 1, 10, 208, 16, 57, 26, "Number of populations in your sample");
  varP->setObjectName("varP");
  varN = AddSpinEdit(tab, 5, 5000, 10, 100, 208, 53, 57, 26,
                     "Effective (putative) size of each population");
  varN->setObjectName("varN");
  varm = AddEdit(tab, "0.1", 208, 90, 57, 24, "Migration rate (with Nm=(1/Fst - 1)/4)");
  varm->setObjectName("varm");
  vara = AddSpinEdit(tab, 1, 50, 1, 5, 208, 126, 57, 26, "Number of alleles in your sample");
  vara->setObjectName("vara");
  varG = AddSpinEdit(tab, 1, 1000, 10, 100, 208, 160, 57, 26,
                     "Number of generations before sampling (migration-drift equilibrium)");
  varG->setObjectName("varG");
  varechant = AddSpinEdit(tab, 1, 1000, 10, 50, 616, 80, 49, 26,
                          "Mean sampling size (per population)");
  varechant->setObjectName("varechant");
  vdelta = AddEdit(tab, "0.005", 616, 130, 57, 24,
                   "In your data set : Delta= estimator of Weir&Cockerham - estimator of "
                   "Robertson&Hill");
  vdelta->setObjectName("vdelta");

  auto* group = new QGroupBox("Model :", tab);
  GroupBox1 = group;
  GroupBox1->setObjectName("GroupBox1");
  form_.Place(GroupBox1, 24, 200, 265, 97);
  infinite = new QRadioButton("Infinite island model", GroupBox1);
  infinite->setObjectName("infinite");
  form_.PlaceCaption(infinite, 16, 24, 233, 18);
  SetHint(infinite, "Infinite island model");
  Fini = new QRadioButton("Finite island model", GroupBox1);
  Fini->setObjectName("Fini");
  form_.PlaceCaption(Fini, 16, 47, 241, 14);
  SetHint(Fini, "Finite island model with P populations");
  stepping = new QRadioButton("Stepping-stone", GroupBox1);
  stepping->setObjectName("stepping");
  form_.PlaceCaption(stepping, 16, 64, 241, 21);
  SetHint(stepping, "Stepping-stone : when isolation by distance");
  infinite->setChecked(true);

  repetitions = AddSpinEdit(tab, 1, 10000, 100, 1000, 112, 344, 73, 26,
                            "Total number of repetitions");
  repetitions->setObjectName("repetitions");
  FichFreq = AddEdit(tab, "freqini.txt", 208, 392, 233, 24,
                     "Input file, initial frequencies (P+1 raws, A columns)");
  FichFreq->setObjectName("FichFreq");
  FichFst = AddEdit(tab, "fst.txt", 208, 426, 233, 24,
                    "Output file : WC, RH and Delta calculated by simulations");
  FichFst->setObjectName("FichFst");

  // The file buttons take the focus from the keyboard (Tab, then Space), so
  // a file can be chosen without the mouse.
  SpeedButton1 = new QToolButton(tab);
  SpeedButton1->setObjectName("SpeedButton1");
  SpeedButton1->setText("...");
  SpeedButton1->setAutoRaise(true);
  SpeedButton1->setFocusPolicy(Qt::StrongFocus);
  SpeedButton1->setFont(FormFont(fileButtonFontHeight, true));
  form_.Place(SpeedButton1, 456, 392, 23, 22);
  connect(SpeedButton1, &QToolButton::clicked, this, &TTestneutre::SpeedButton1Click);
  SpeedButton2 = new QToolButton(tab);
  SpeedButton2->setObjectName("SpeedButton2");
  SpeedButton2->setText("...");
  SpeedButton2->setAutoRaise(true);
  SpeedButton2->setFocusPolicy(Qt::StrongFocus);
  SpeedButton2->setFont(FormFont(fileButtonFontHeight, true));
  form_.Place(SpeedButton2, 457, 427, 23, 23);
  connect(SpeedButton2, &QToolButton::clicked, this, &TTestneutre::SpeedButton2Click);

  Button1 = new TButton("&Go", tab);
  Button1->setObjectName("Button1");
  form_.Place(Button1, 576, 248, 105, 33);
  connect(Button1, &QPushButton::clicked, this, &TTestneutre::Button1Click);
  BitBtn2 = new TButton(style()->standardIcon(QStyle::SP_DialogHelpButton), "&Help", tab);
  BitBtn2->setObjectName("BitBtn2");
  form_.Place(BitBtn2, 576, 320, 105, 33);
  connect(BitBtn2, &QPushButton::clicked, this, &TTestneutre::BitBtn2Click);
  BitBtn1 = new TButton(style()->standardIcon(QStyle::SP_DialogCloseButton), "&Close", tab);
  BitBtn1->setObjectName("BitBtn1");
  form_.Place(BitBtn1, 576, 384, 105, 33);
  connect(BitBtn1, &QPushButton::clicked, this, &QWidget::close);

  // Every control keeps its designed place; the form does not stretch.
  for (QWidget* child : tab->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    layout1_->AddWidget(child, child->geometry());
}

void TTestneutre::BuildResultsTab() {
  QWidget* tab = TabSheet2;
  ResultLabel = new QLabel(kNothingYet, tab);
  ResultLabel->setObjectName("Label4");
  ResultLabel->setTextFormat(Qt::PlainText);
  ResultLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  ResultLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  form_.Place(ResultLabel, 8, 4, 524, 48);
  Chart1 = new chart::TChartWidget(tab);
  Chart1->setObjectName("Chart1");
  form_.Place(Chart1, 8, 52, 689, 421);
  // Nothing to draw or print before the first run.
  Chart1->hide();
  Button2 = new TButton("&Print", tab);
  Button2->setObjectName("Button2");
  form_.Place(Button2, 616, 8, 65, 33);
  connect(Button2, &QPushButton::clicked, this, &TTestneutre::Button2Click);
  Button2->setEnabled(false);
  ExportChartButton = new TButton("E&xport...", tab);
  ExportChartButton->setObjectName("ExportChartButton");
  form_.Place(ExportChartButton, 540, 8, 70, 33);
  connect(ExportChartButton, &QPushButton::clicked, this, &TTestneutre::ExportChartButtonClick);
  ExportChartButton->setEnabled(false);

  // The chart takes whatever the window gains over its design; "Print"
  // keeps its place at the chart's top right corner.
  layout2_->AddWidget(ResultLabel, ResultLabel->geometry());
  layout2_->AddWidget(Chart1, Chart1->geometry(), kAnchorAll);
  layout2_->AddWidget(Button2, Button2->geometry(), akTop | akRight);
  layout2_->AddWidget(ExportChartButton, ExportChartButton->geometry(), akTop | akRight);
}

void TTestneutre::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("StatusBar1");
  bar->setSizeGripEnabled(false);
  StatusPanel1 = new QLabel(bar);
  StatusPanel1->setObjectName("StatusPanel1");
  StatusPanel1->setFixedWidth(Scaled(600));
  StatusPanel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  StatusPanel2 = new QLabel("<-  Help \"Driftwise\" Rel 1.0", bar);
  StatusPanel2->setObjectName("StatusPanel2");
  StatusPanel2->setTextFormat(Qt::PlainText);
  StatusPanel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  StatusPanel2->setFixedWidth(std::max(Scaled(125), StatusPanel2->sizeHint().width()));
  bar->addWidget(StatusPanel1);
  bar->addWidget(StatusPanel2);
  // The designed 19 pixels, or what the panels' text and borders need
  // within the bar's own spacing when the font is taller.
  bar->setFixedHeight(std::max(Scaled(kStatusBarHeight), bar->sizeHint().height()));
}

void TTestneutre::SetTabOrder() {
  // Each file button right after its box.
  QWidget* order[] = {varP,        varN,     varm,         vara,    varG,         varechant,
                      vdelta,      infinite, Fini,         stepping, repetitions, FichFreq,
                      SpeedButton1, FichFst, SpeedButton2, Button1, BitBtn2,      BitBtn1};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  setTabOrder(Chart1, ExportChartButton);
  setTabOrder(ExportChartButton, Button2);
  const QList<QWidget*> loci = Loci->Controls();
  for (qsizetype i = 0; i + 1 < loci.size(); ++i) setTabOrder(loci[i], loci[i + 1]);
}

void TTestneutre::ReadNumberMarks() { ApplyNumberMarks(NumberMarksFromLocale(QLocale::system())); }

void TTestneutre::ApplyNumberMarks(const NumberMarks& marks) {
  SetNumberMarks(marks);
  Chart1->SetNumberMarks(marks);
  Loci->Model().SetNumberMarks(marks);
  // The defaults as the run reads them in this language, so the first Go runs.
  for (auto [box, value] : {std::pair{varm, "0.1"}, std::pair{vdelta, "0.005"}}) {
    QString text = QString::fromLatin1(value);
    const QString other = QString(text).replace('.', ',');
    if (box->text() == text || box->text() == other)
      box->setText(text.replace('.', QChar::fromLatin1(marks.decimal)));
  }
}

bool TTestneutre::event(QEvent* event) {
  // The hint of the control under the pointer goes to panel 1.
  if (event->type() == QEvent::StatusTip) {
    StatusPanel1->setText(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  return QMainWindow::event(event);
}

void TTestneutre::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LocaleChange) ReadNumberMarks();
  QMainWindow::changeEvent(event);
}

void TTestneutre::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (placed_) return;
  placed_ = true;
  PlaceOnScreen();
}

void TTestneutre::PlaceOnScreen() {
  // The designed size is the outer size, frame included.
  const QSize frame = frameGeometry().size() - geometry().size();
  designClient_ = QSize(Scaled(kWindowWidth), Scaled(kWindowHeight)) - frame;
  QSize client = designClient_;
  QPoint at(kWindowLeft, kWindowTop);
  if (const QScreen* display = screen()) {
    // A screen smaller than the design (a large scale factor) gets the
    // window as large as it can hold; the tabs scroll.
    const QRect free = display->availableGeometry();
    client = client.boundedTo(free.size() - frame);
    const QSize outer = client + frame;
    at.setX(std::clamp(at.x(), free.left(), std::max(free.left(), free.right() + 1 - outer.width())));
    at.setY(std::clamp(at.y(), free.top(), std::max(free.top(), free.bottom() + 1 - outer.height())));
  }
  setMinimumSize(client);
  resize(client);
  move(at);
}

void TTestneutre::closeEvent(QCloseEvent* event) {
  if (Loci->HandleCloseDuringScan(event)) return;
  if (!runProgress_) {
    QMainWindow::closeEvent(event);
    // The help window belongs to this one: left open it would keep the
    // program running with no window to return to.
    if (event->isAccepted()) QuitHelp();
    return;
  }
  // A run is going on: it ends first, at the end of its current simulation.
  event->ignore();
  if (closeAfterRun_) return;
  const QString text =
      "A run is in progress (" + QString::number(runProgress_->Completed()) + " of " +
      QString::number(runProgress_->Total()) + " simulations done).\nCancel the run and close " +
      "the window? The result file " + QDir::toNativeSeparators(QFileInfo(FichFst->text()).absoluteFilePath()) +
      " will then hold only the simulations finished so far.";
  QMessageBox question(QMessageBox::Question, CurrentApplicationTitle(), text,
                       QMessageBox::Yes | QMessageBox::No, this);
  question.setObjectName("CloseDuringRun");
  question.setDefaultButton(QMessageBox::No);
  const bool yes = question.exec() == QMessageBox::Yes;
  if (yes && runProgress_) {
    closeAfterRun_ = true;
    runProgress_->RequestCancel();
  }
}

void TTestneutre::Button1Click() {
  try {
    RunFromForm();
  } catch (const RuntimeError& error) {
    const std::string line = ExplanationOf(error);
    ShowErrorBox(line.empty() ? error.Message() : ErrorBoxText(error.Message()) + "\n" + line);
  } catch (const std::exception& error) {
    ShowErrorBox(error.what());
  }
  // The user asked during the run to cancel it and close.
  if (closeAfterRun_) close();
}

void TTestneutre::RunFromForm() {
  TRunProgress progress(this, progressDelayMs_);
  runProgress_ = &progress;
  struct EndOfRun {
    TTestneutre* window;
    ~EndOfRun() { window->runProgress_ = nullptr; }
  } endOfRun{this};
  const bool hadHistogram = Chart1->Series1().Count() > 0;
  DialogMessages messages(progress, *this);
  ClockSeed clock;
  RunServices services{messages, *Chart1, seedSource_ ? *seedSource_ : clock, CurrentNumberMarks(),
                       &progress};
  FormReader form(*this);
  const RunOutcome outcome = RunNeutralityTest(form, services, state_, rng_);
  progress.Close();
  if (outcome == RunOutcome::Finished) ShowRunResult();
  if (outcome == RunOutcome::Cancelled && !closeAfterRun_)
    ShowInfoMessage(CancelledRunMessage(progress.Completed(), hadHistogram).toStdString());
}

std::string TTestneutre::ExplanationOf(const RuntimeError& error) const {
  if (const auto* io = dynamic_cast<const EInOutError*>(&error))
    return FileErrorLine(io->IOErrorCode(), io->FileName());
  if (dynamic_cast<const EConvertError*>(&error))
    return ConvertErrorLine(error.Message(),
                            {{"Migration rate (m)", varm->text().toStdString()},
                             {"Observed Delta", vdelta->text().toStdString()}},
                            CurrentNumberMarks().decimal);
  return {};
}

void TTestneutre::SetComparedScan(const QString& line) { comparedScan_ = line; }

ParameterLimits TTestneutre::Limits() const {
  return {varP->MaxValue(), vara->MaxValue(), varechant->MaxValue(), varN->MaxValue(),
          varG->MaxValue()};
}

void TTestneutre::UseLocus(const LocusHandover& locus) {
  varP->SetValue(locus.P);
  vara->SetValue(locus.A);
  varechant->SetValue(locus.n);
  vdelta->setText(QString::fromStdString(DeltaText(locus.delta, CurrentNumberMarks())));
  vdelta->setCursorPosition(0);  // every digit is kept; the box shows the first
  FichFreq->setText(QDir::toNativeSeparators(locus.frequencyFile));
  const std::optional<scan::NullModel>& null = locus.null;
  if (null) UseScanNull(*null);
  SetComparedScan(locus.scanResult);
  const QString name = QString::fromStdString(locus.name);
  StatusPanel1->setText(
      name + ": P, A, n and Delta set" +
      (null ? ", with the scan's null (N = " + varN->text() + ", m = " + varm->text() + ", T = " +
                  varG->text() + ", " +
                  QString::fromUtf8(NamesOf(ModelOfWord(null->model).value_or(
                                                MigrationModel::InfiniteIsland))
                                        .prose.data()) +
                  ")"
            : QString("; N, m, T and the model stay as they were (no scan has fitted them)")));
  PageControl1->setCurrentIndex(0);
  Button1->setFocus(Qt::OtherFocusReason);
}

void TTestneutre::UseScanNull(const scan::NullModel& null) {
  varN->SetValue(null.N);
  varG->SetValue(null.T);
  varm->setText(QString::fromStdString(null.m).replace('.', QChar::fromLatin1(CurrentNumberMarks().decimal)));
  infinite->setChecked(null.model == "infinite");
  Fini->setChecked(null.model == "finite");
  stepping->setChecked(null.model == "stepping");
}

void TTestneutre::ShowRunResult() {
  const uint64_t simulations = state_.params.I - state_.UndefinedCount;
  const QString pvalues =
      QString::fromStdString(PValueLine(state_.DeltaAboveCount, simulations));
  const QString setting = "P = " + varP->text() + ", A = " + vara->text() + ", n = " +
                          varechant->text() + ", N = " + varN->text() + ", m = " + varm->text() +
                          ", T = " + varG->text() + ", " + ModelCaption(*this);
  ResultLabel->setText(pvalues + (comparedScan_.isEmpty() ? "" : "\n" + comparedScan_) +
                       "\nThe class of the observed Delta is drawn in red.");
  ResultLabel->setToolTip(setting);
  StatusPanel1->setText(pvalues);
  // The printout carries what was tested, beside the histogram's own title.
  chart::TChart& chart = Chart1->Chart();
  chart.Foot.Text.Clear();
  chart.Foot.Text.Add(setting.toStdString());
  chart.Foot.Text.Add(pvalues.toStdString());
  Chart1->show();
  Chart1->update();
  Button2->setEnabled(true);
  ExportChartButton->setEnabled(true);
}

QString TTestneutre::CancelledRunMessage(uint32_t done, bool hadHistogram) const {
  const QString s = QString::fromStdString(FormatInteger(static_cast<int32_t>(done)));
  const QString total = QString::fromStdString(FormatInteger(static_cast<int32_t>(state_.params.I)));
  const QString file = QDir::toNativeSeparators(QFileInfo(FichFst->text()).absoluteFilePath());
  return "Run cancelled after " + s + " of " + total + " simulations.\nThe result file " + file +
         " holds the first " + (done == 1 ? QString("simulation") : s + " simulations") +
         " of this unfinished run.\n" +
         (hadHistogram ? "The histogram still shows the previous run."
                       : "No histogram was drawn.");
}

void TTestneutre::SpeedButton1Click() {
  // "*" and not "*.*": on Linux many files have no extension. The box's own
  // file is named, as the run would read it.
  const QString name = AskFileName(
      this, form_, {"OpenDialog1", {}, {"Text files (*.txt)", "All files (*)"}, FichFreq->text()});
  if (!name.isEmpty()) FichFreq->setText(QDir::toNativeSeparators(name));
}

void TTestneutre::SpeedButton2Click() {
  const QString name = AskFileName(
      this, form_, {"SaveDialog1", {}, {"Text files (*.txt)"}, FichFst->text(), {}, true});
  if (!name.isEmpty()) FichFst->setText(QDir::toNativeSeparators(name));
}

void TTestneutre::Button2Click() {
  ShowChartPreview(this, Chart1);
}

void TTestneutre::ExportChartButtonClick() {
  ExportChartFile(this, form_, *Chart1, QFileInfo(FichFst->text()).absolutePath());
}

void TTestneutre::BitBtn2Click() { ShowHelpContents(); }

void TTestneutre::SetHelpTopics() {
  struct Topic {
    QWidget* control;
    const char* topic;
  };
  const Topic topics[] = {
      {TabSheet1, "fields.html"},           {varP, "fields.html#populations"},
      {varN, "fields.html#size"},           {varm, "fields.html#migration"},
      {vara, "fields.html#alleles"},        {varG, "fields.html#generations"},
      {varechant, "fields.html#sample"},    {vdelta, "fields.html#delta"},
      {GroupBox1, "fields.html#model"},     {infinite, "models.html#infinite"},
      {Fini, "models.html#finite"},         {stepping, "models.html#stepping"},
      {repetitions, "fields.html#simulations"}, {FichFreq, "fields.html#input"},
      {SpeedButton1, "fields.html#input"},  {FichFst, "fields.html#output"},
      {SpeedButton2, "fields.html#output"}, {Button1, "fields.html#go"},
      {BitBtn2, "index.html"},              {BitBtn1, "fields.html#close"},
      {TabSheet2, "histogram.html"},        {Chart1, "histogram.html"},
      {Button2, "printing.html"},           {ExportChartButton, "printing.html"},
      {TabSheet3, "loci.html"},
  };
  for (const Topic& t : topics) SetHelpTopic(t.control, t.topic);
}

void TTestneutre::HelpForFocus() {
  QString topic = HelpTopicOf(QApplication::focusWidget());
  // The tab bar and the window itself: the entry of the tab shown.
  if (topic.isEmpty())
    if (auto* area = qobject_cast<QScrollArea*>(PageControl1->currentWidget()))
      topic = HelpTopicOf(area->widget());
  ShowHelpTopic(topic);
}

}  // namespace dw::ui
