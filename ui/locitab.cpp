#include "ui/locitab.h"

#include "engine/model.h"
#include "runtime/cpus.h"
#include "runtime/inttext.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QMessageBox>
#include <QScreen>
#include <cstring>
#include <limits>

#include "chart/qt/export.h"
#include "data/datafile.h"
#include "data/observed.h"
#include "runtime/errors.h"
#include "runtime/floatmode.h"
#include "runtime/messages.h"
#include "runtime/osfiles.h"
#include "runtime/random.h"
#include "runtime/wholefile.h"
#include "scan/observedtable.h"
#include "scan/qt/plotfile.h"
#include "ui/anchorlayout.h"
#include "ui/chartexport.h"
#include "ui/chartpreview.h"
#include "ui/explain.h"
#include "ui/help.h"
#include "ui/locale.h"
#include "ui/mainwindow.h"
#include "ui/messages.h"
#include "ui/scanjob.h"

namespace dw::ui {

namespace {

// The scan's columns the table gains: the test's n and everything after
// the observed estimates (which the observed columns already show).
std::vector<scan::ScanColumn> ScanColumnsShown() {
  std::vector<scan::ScanColumn> shown{scan::ScanColumn::SampleSize};
  for (std::size_t c = ColumnIndex(scan::ScanColumn::Simulations);
       c < ColumnIndex(scan::ScanColumn::Count); ++c)
    shown.push_back(static_cast<scan::ScanColumn>(c));
  return shown;
}

std::vector<std::string> Pick(const std::vector<std::string>& cells,
                              const std::vector<scan::ScanColumn>& columns) {
  std::vector<std::string> picked;
  for (scan::ScanColumn c : columns) picked.push_back(cells[ColumnIndex(c)]);
  return picked;
}

unsigned FlagOf(const scan::ScannedLocus& l, double fdr) {
  unsigned flag = TLociModel::kNotFlagged;
  if (l.ran && l.deltaTested && l.q <= fdr) flag |= TLociModel::kFlaggedDelta;
  if (l.ran && l.qWc <= fdr) flag |= TLociModel::kFlaggedWc;
  return flag;
}

// "Lap (Delta, WC)": a flagged locus and the tests that flag it.
QString FlaggedName(const scan::ScannedLocus& l, unsigned flag) {
  return QString::fromStdString(l.name) + " (" +
         (flag == TLociModel::kFlaggedDelta ? "Delta"
          : flag == TLociModel::kFlaggedWc  ? "WC"
                                            : "Delta, WC") +
         ")";
}

// The table export's two kinds.
const QString kTableAsShown = "Table as shown (*.tsv)";
const QString kScanAsCommandLine = "Scan results as from the command line, with its JSON (*.tsv)";

// The scan picture's height, in design pixels, below which its three title
// lines leave too little room to read the loci.
constexpr int kReadablePlotHeight = 340;
// The scan's models, in the order of the tab's list.
constexpr const char* kModelWords[] = {"infinite", "finite", "stepping"};

QString ModelName(const std::string& model) {
  return QString::fromUtf8(
      NamesOf(ModelOfWord(model).value_or(MigrationModel::InfiniteIsland)).prose.data());
}

// The seed box: empty for the clock, else a whole number of 32 bits.
// The text as `run --seed` reads it (no spaces, no leading zeros).
std::optional<uint32_t> SeedOf(const QString& text, bool& fromClock) {
  fromClock = text.isEmpty();
  if (fromClock) {
    Random clock;
    clock.SeedFromClock();
    return clock.RandomSeed;
  }
  return ParseSeed(text.toStdString());
}

// The file beside `name` with the extension .json (the scan's JSON document
// that goes with an exported table).
QString CompanionJson(const QString& name) {
  const QFileInfo info(name);
  QString json = QDir(info.path()).filePath(info.completeBaseName() + ".json");
  if (info.suffix().isEmpty() || json == name) json = name + ".json";
  return json;
}

// Runs a handler; a runtime error is shown in the error box with the file
// it concerns named in front.
template <typename Handler>
void Guarded(Handler handler) {
  try {
    handler();
  } catch (const RuntimeError& error) {
    ShowErrorBox(CommandLineErrorText(error));
  } catch (const std::exception& error) {
    ShowErrorBox(error.what());
  }
}

void WriteExport(const QString& name, const std::string& bytes) {
  const std::string file = name.toStdString();
  if (const int code = WriteFileWhole(file, bytes))
    throw EInOutError(code, LastSystemError(), file);
}

}  // namespace

TLociTab::TLociTab(QWidget& window, const TFormScale& form, const ParameterLimits& limits,
                   QWidget* sheet, TAnchorLayout& layout)
    : QObject(&window), window_(window), form_(form), limits_(limits) {
  sorted_.setSourceModel(&model_);
  Build(sheet, layout);
  SetHelpTopics();
  UpdateButtons();
}

TLociTab::~TLociTab() = default;

void TLociTab::Build(QWidget* tab, TAnchorLayout& layout) {
  const auto button = [&](const char* name, const char* caption, int l, int w,
                          void (TLociTab::*click)(), const char* hint) {
    auto* b = new TButton(caption, tab);
    b->setObjectName(name);
    form_.Place(b, l, 8, w, 25);
    SetHint(b, hint);
    connect(b, &QPushButton::clicked, this, click);
    return b;
  };
  GenepopButton = button("GenepopButton", "Data &file...", 8, 110, &TLociTab::GenepopButtonClick,
                         "Open a Genepop, VCF or BCF file: every locus with its observed WC, RH "
                         "and Delta (Ctrl+O)");
  UseLocusButton = button("UseLocusButton", "&Use this locus", 124, 110,
                          &TLociTab::UseLocusButtonClick,
                          "Put the selected locus's P, A, n and Delta on the Parameters tab and "
                          "write its initial frequencies");
  ScanButton = button("ScanButton", "&Scan all loci", 240, 110, &TLociTab::ScanButtonClick,
                      "Test every locus against a null fitted to the loci (N, T and model "
                      "as set on this tab)");
  ExportTableButton = button("ExportTableButton", "Export &table...", 372, 100,
                             &TLociTab::ExportTableButtonClick,
                             "Write the table as shown, or the scan's results as the command line writes them (with its JSON beside them), as tab-separated text");
  PrintTableButton = button("PrintTableButton", "P&rint table", 478, 90,
                            &TLociTab::PrintTableButtonClick, "Print the table as it is sorted");
  ExportPlotButton = button("ExportPlotButton", "Export &plot...", 590, 100,
                            &TLociTab::ExportPlotButtonClick,
                            "Write the scan plot as a PNG, SVG or PDF file");
  PrintPlotButton = button("PrintPlotButton", "Print p&lot", 696, 90,
                           &TLociTab::PrintPlotButtonClick, "Print the scan plot");

  auto* startLabel = new QLabel("Initial frequencies :", tab);
  startLabel->setObjectName("StartLabel");
  form_.PlaceCaption(startLabel, 8, 46, 112, 16);
  StartChoice = new QComboBox(tab);
  StartChoice->setObjectName("StartChoice");
  StartChoice->addItems({"Pooled sample frequencies", "Each sample's own frequencies"});
  form_.Place(StartChoice, 124, 42, 226, 24);
  SetHint(StartChoice,
             "Where each simulated population starts: at the pooled sample frequencies, or at "
             "its own sample's");
  startLabel->setBuddy(StartChoice);
  auto* seedLabel = new QLabel("Seed :", tab);
  seedLabel->setObjectName("SeedLabel");
  form_.PlaceCaption(seedLabel, 372, 46, 40, 16);
  ScanSeed = new QLineEdit(tab);
  ScanSeed->setObjectName("ScanSeed");
  ScanSeed->setPlaceholderText("clock");
  form_.Place(ScanSeed, 416, 42, 100, 24);
  SetHint(ScanSeed, "The scan's seed, 0 to 4294967295; empty: from the clock");
  seedLabel->setBuddy(ScanSeed);

  BuildScanSettings(tab);

  FileLabel = new QLabel("No data file open (Ctrl+O)", tab);
  FileLabel->setObjectName("FileLabel");
  form_.Place(FileLabel, 8, 104, 780, 16);
  // Three lines that never wrap: the headline, the fitted null, the flagged
  // loci elided (all of them in the tooltip), so the null always shows.
  ScanLabel = new QLabel(tab);
  ScanLabel->setObjectName("ScanLabel");
  ScanLabel->setWordWrap(false);
  ScanLabel->setTextFormat(Qt::PlainText);
  ScanLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  form_.Place(ScanLabel, 8, 120, 780, 48);
  ScanLabel->installEventFilter(this);

  Splitter = new QSplitter(Qt::Vertical, tab);
  Splitter->setObjectName("Splitter");
  Splitter->setChildrenCollapsible(false);
  LociTable = new QTableView(Splitter);
  LociTable->setObjectName("LociTable");
  LociTable->setModel(&sorted_);
  LociTable->setSortingEnabled(true);
  LociTable->sortByColumn(-1, Qt::AscendingOrder);  // file order until a header is clicked
  LociTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  LociTable->setSelectionMode(QAbstractItemView::SingleSelection);
  LociTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  LociTable->setAlternatingRowColors(true);
  LociTable->verticalHeader()->setDefaultSectionSize(form_.Scaled(20));
  // The locus names head the rows, so they stay in view when the table
  // scrolls right; the locus column itself is hidden (see ShowLocusNames).
  LociTable->verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  LociTable->installEventFilter(this);
  SetHint(LociTable, "The loci of the file; click a column's name to sort by it");
  ScanPlot = new TScanPictures(Splitter);
  ScanPlot->setObjectName("ScanPlot");
  ScanPlot->setMinimumHeight(form_.Scaled(120));
  ScanPlot->hide();
  connect(ScanPlot, &TScanPictures::LocusClicked, this,
          [this](std::size_t locus) { SelectSourceRow(*LociTable, sorted_, static_cast<int>(locus)); });
  form_.Place(Splitter, 8, 172, 780, 304);
  connect(LociTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TLociTab::UpdateButtons);
  connect(LociTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &TLociTab::UpdateButtons);
  connect(LociTable, &QTableView::doubleClicked, this, [this] {
    if (UseLocusButton->isEnabled()) UseLocusButton->click();
  });

  for (QWidget* child : tab->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    unsigned anchors = kAnchorTopLeft;
    if (child == FileLabel || child == ScanLabel || child == SimulationsLabel)
      anchors = akLeft | akTop | akRight;
    if (child == Splitter) anchors = kAnchorAll;
    layout.AddWidget(child, child->geometry(), anchors);
  }
}

void TLociTab::BuildScanSettings(QWidget* tab) {
  const auto caption = [&](const char* name, const char* text, int l, int t, int w) {
    auto* label = new QLabel(text, tab);
    label->setObjectName(name);
    form_.PlaceCaption(label, l, t, w, 16);
    return label;
  };
  const auto count = [&](const char* name, int32_t min, int32_t max, int32_t step, int32_t value,
                         int l, const char* hint) {
    auto* box = new TSpinEdit(tab);
    box->setObjectName(name);
    box->SetMinValue(min);
    box->SetMaxValue(max);
    box->SetIncrement(step);
    box->SetValue(value);
    form_.Place(box, l, 72, 64, 26);
    FitCountBox(box);
    SetHint(box, hint);
    return box;
  };
  // The scan's own defaults, not the Parameters tab's: a single test's N or
  // I must not silently become the scan's.
  const scan::ScanSettings defaults;
  caption("ScanSizeLabel", "N :", 8, 77, 24)->setBuddy(
      ScanN = count("ScanN", 1, 65535, 10, defaults.N, 36,
                    "The scan's effective population size (N) of every simulated population"));
  caption("ScanTLabel", "T :", 110, 77, 24)->setBuddy(
      ScanT = count("ScanT", 1, 65535, 10, defaults.T, 138,
                    "The scan's generations before sampling (T)"));
  auto* modelLabel = caption("ScanModelLabel", "Model :", 212, 77, 48);
  ScanModel = new QComboBox(tab);
  ScanModel->setObjectName("ScanModel");
  ScanModel->addItems({"Infinite island", "Finite island", "Stepping-stone"});
  form_.Place(ScanModel, 262, 72, 126, 24);
  SetHint(ScanModel, "The scan's migration model");
  modelLabel->setBuddy(ScanModel);
  SimulationsLabel = new QLabel(
      "Simulations: counts engine, as many per locus as its p-values need (sequential, " +
          QString::number(defaults.tailHits) + " tail hits), m fitted to the loci",
      tab);
  SimulationsLabel->setObjectName("SimulationsLabel");
  SimulationsLabel->setToolTip(
      "Each locus is simulated until each tail its tests use holds enough values, or until more "
      "simulations could not change whether it is flagged at q <= " +
      QString::number(defaults.fdr));
  form_.Place(SimulationsLabel, 396, 77, 392, 16);
}

bool TLociTab::eventFilter(QObject* watched, QEvent* event) {
  // Enter on a row does what a double click does.
  if (watched == ScanLabel && event->type() == QEvent::Resize && !scanTitle_.isEmpty())
    ShowScanTitle();
  if (watched == LociTable && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (UseLocusButton->isEnabled()) UseLocusButton->click();
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

void TLociTab::ShowLocusNames() {
  LociTable->setColumnHidden(0, true);
  LociTable->resizeColumnsToContents();
  LociTable->verticalHeader()->resizeSections(QHeaderView::ResizeToContents);
}

void TLociTab::GrowToShowTable() {
  // The observed columns (a VCF's chrom and pos included) are the main ones.
  const int mainColumns = std::min(model_.columnCount(), data_->hasPositions ? 14 : 12);
  int wanted = LociTable->verticalHeader()->width() + 2 * LociTable->frameWidth() +
               LociTable->verticalScrollBar()->sizeHint().width();
  for (int c = 1; c < mainColumns; ++c) wanted += LociTable->columnWidth(c);
  GrowWindowBy(wanted - LociTable->width(), 0);
}

void TLociTab::GrowWindowBy(int moreWidth, int moreHeight) {
  moreWidth = std::max(0, moreWidth);
  moreHeight = std::max(0, moreHeight);
  if ((moreWidth == 0 && moreHeight == 0) || window_.isMaximized() || window_.isFullScreen()) return;
  int width = window_.width() + moreWidth, height = window_.height() + moreHeight;
  if (const QScreen* display = window_.screen()) {
    const QRect free = display->availableGeometry();
    const QRect outer = window_.frameGeometry();
    const int frameWidth = outer.width() - window_.width(), frameHeight = outer.height() - window_.height();
    width = std::min(width, free.width() - frameWidth);
    height = std::min(height, free.height() - frameHeight);
    // Moved back onto the screen where it would grow off its right or bottom edge.
    const int x = std::min(outer.left(), free.right() + 1 - width - frameWidth);
    const int y = std::min(outer.top(), free.bottom() + 1 - height - frameHeight);
    if (x != outer.left() || y != outer.top()) window_.move(std::max(free.left(), x), std::max(free.top(), y));
  }
  if (width > window_.width() || height > window_.height())
    window_.resize(std::max(width, window_.width()), std::max(height, window_.height()));
}

bool TLociTab::ScanWouldBeLost() {
  if (!scan_ || scanExported_) return false;
  QMessageBox question(QMessageBox::Question, CurrentApplicationTitle(),
                       "The scan of " + QFileInfo(fileName_).fileName() +
                           " has not been exported.\nOpen another file and drop the scan?",
                       QMessageBox::Yes | QMessageBox::No, &window_);
  question.setObjectName("DropScan");
  question.setDefaultButton(QMessageBox::No);
  const bool yes = question.exec() == QMessageBox::Yes;
  EstablishFloatErrorMode();
  return !yes;
}

QList<QWidget*> TLociTab::Controls() const {
  return {GenepopButton, UseLocusButton, ScanButton, ExportTableButton, PrintTableButton,
          ExportPlotButton, PrintPlotButton, StartChoice, ScanSeed, ScanN, ScanT, ScanModel,
          LociTable};
}

void TLociTab::SetHelpTopics() {
  struct Topic {
    QWidget* control;
    const char* topic;
  };
  const Topic topics[] = {
      {GenepopButton, "loci.html#open"},          {UseLocusButton, "loci.html#use"},
      {ScanButton, "loci.html#scan"},             {ExportTableButton, "loci.html#export"},
      {PrintTableButton, "loci.html#print"},      {ExportPlotButton, "loci.html#export"},
      {PrintPlotButton, "loci.html#print"},       {StartChoice, "loci.html#start"},
      {ScanSeed, "loci.html#seed"},               {LociTable, "loci.html#table"},
      {ScanN, "loci.html#scan"},                  {ScanT, "loci.html#scan"},
      {ScanModel, "loci.html#scan"},
      {ScanPlot, "loci.html#plot"},
  };
  for (const Topic& t : topics) SetHelpTopic(t.control, t.topic);
}

int TLociTab::SelectedRow() const {
  const QModelIndex current = LociTable->selectionModel()->currentIndex();
  if (!current.isValid() || !LociTable->selectionModel()->isRowSelected(current.row(), {}))
    return -1;
  return sorted_.mapToSource(current).row();
}

void TLociTab::UpdateButtons() {
  const bool open = data_.has_value();
  const int row = SelectedRow();
  bool testable = false;
  if (open && row >= 0) {
    const data::LocusCounts& counts = data_->loci[static_cast<std::size_t>(row)].counts;
    testable = data::EstimateLocus(counts).status == data::LocusStatus::Polymorphic;
  }
  UseLocusButton->setEnabled(testable);
  ScanButton->setEnabled(open);
  ExportTableButton->setEnabled(open);
  PrintTableButton->setEnabled(open);
  ExportPlotButton->setEnabled(scan_.has_value());
  PrintPlotButton->setEnabled(scan_.has_value());
}

QString TLociTab::DataFolder() const { return QFileInfo(fileName_).absolutePath(); }

QString TLociTab::DataStem() const { return QFileInfo(fileName_).completeBaseName(); }

void TLociTab::GenepopButtonClick() {
  if (ScanWouldBeLost()) return;
  const QString chosen = AskFileName(
      &window_, form_,
      {"GenepopDialog", "Open a data file",
       {"Data files (*.gen *.txt *.vcf *.vcf.gz *.bcf *.gz)", "Genepop files (*.gen *.txt)",
        "VCF and BCF files (*.vcf *.vcf.gz *.bcf)", "All files (*)"},
       openChoice_.isEmpty() ? fileName_ : openChoice_, {}, false, ""});
  if (chosen.isEmpty()) return;
  openChoice_ = chosen;
  QString popmap;
  if (data::NeedsPopulationMap(data::DetectDataFormat(openChoice_.toStdString()))) {
    popmap = AskPopulationMap(openChoice_);
    if (popmap.isEmpty()) return;
  }
  OpenDataFile(openChoice_, popmap);
}

QString TLociTab::ProposedPopulationMap(const QString& data) {
  const QFileInfo info(data);
  QString stem = info.fileName();
  for (const char* end : {".gz", ".vcf", ".bcf"})
    if (stem.endsWith(end, Qt::CaseInsensitive)) stem.chop(static_cast<int>(std::strlen(end)));
  for (const QString& name : {stem + ".popmap.tsv", stem + ".pop"}) {
    const QString candidate = info.dir().filePath(name);
    if (QFileInfo(candidate).isFile()) return candidate;
  }
  return {};
}

QString TLociTab::AskPopulationMap(const QString& data) {
  return AskFileName(&window_, form_,
                     {"PopmapDialog",
                      "Population map of " + QFileInfo(data).fileName() +
                          " (lines: sample, tab, population)",
                      {"Population maps (*.tsv *.pop *.txt)", "All files (*)"},
                      ProposedPopulationMap(data), QFileInfo(data).absolutePath(), false, ""});
}

bool TLociTab::OpenGenepopFile(const QString& name) { return OpenDataFile(name, {}); }

bool TLociTab::OpenDataFile(const QString& name, const QString& popmap) {
  const QString full = QDir::toNativeSeparators(QFileInfo(name).absoluteFilePath());
  const QString fullMap =
      popmap.isEmpty() ? QString() : QDir::toNativeSeparators(QFileInfo(popmap).absoluteFilePath());
  data::LociData data;
  if (const auto problem = data::LoadLoci(full.toStdString(), fullMap.toStdString(), data)) {
    ShowErrorBox(problem->message);
    return false;
  }
  data_ = std::move(data);
  fileName_ = full;
  popmapName_ = fullMap;
  DropScan();
  LociTable->sortByColumn(-1, Qt::AscendingOrder);
  model_.SetNumberMarks(CurrentNumberMarks());
  model_.SetObserved(scan::ObservedColumns(data_->hasPositions), scan::ObservedRows(*data_));
  ShowLocusNames();
  GrowToShowTable();
  const std::size_t individuals = data_->individuals;
  // Two-allele loci are tested too, by WC alone: counting them out told a
  // file of SNPs it had nothing to test.
  std::size_t tested = 0, byWcAlone = 0;
  for (const data::LocusData& locus : data_->loci) {
    const data::LocusStatus status = data::EstimateLocus(locus.counts).status;
    tested += scan::Tested(status);
    byWcAlone += scan::Tested(status) && !scan::DeltaTested(status);
  }
  const auto plural = [](std::size_t n, const char* one, const char* many) {
    return QString::number(n) + " " + (n == 1 ? one : many);
  };
  FileLabel->setText(QFileInfo(full).fileName() + ": " +
                     plural(data_->loci.size(), "locus", "loci") + ", " +
                     plural(data_->populations.size(), "sample", "samples") + ", " +
                     plural(individuals, "individual", "individuals") + "; " +
                     plural(tested, "locus", "loci") + " to test" +
                     (byWcAlone == 0 ? QString()
                                     : " (" + QString::number(byWcAlone) + " with two alleles, by WC alone)") +
                     (data_->samplesLeftOut == 0
                          ? QString()
                          : "; " + plural(data_->samplesLeftOut, "sample", "samples") +
                                " not in the population map left out"));
  FileLabel->setToolTip(full);
  UpdateButtons();
  emit DataFileOpened();
  return true;
}

std::vector<scan::ScannedLocus> TLociTab::PlannedLoci() const {
  scan::ScanSettings s;
  s.N = std::numeric_limits<int32_t>::max();  // no sample size is refused here
  std::vector<scan::ScannedLocus> loci;
  scan::PlanLoci(*data_, s, loci);
  return loci;
}

QString TLociTab::AskSaveFile(const char* name, const QString& caption, const QStringList& filters,
                              const QString& proposed, QString* chosenFilter) {
  return AskFileName(&window_, form_,
                     {name, caption, filters, proposed, {}, true, QFileInfo(proposed).suffix()},
                     chosenFilter);
}

void TLociTab::UseLocusButtonClick() {
  const int row = SelectedRow();
  if (!data_ || row < 0) return;
  const std::vector<scan::ScannedLocus> loci = PlannedLoci();
  if (static_cast<std::size_t>(row) >= loci.size() || !scan::Tested(loci[row])) return;
  const scan::ScannedLocus& locus = loci[static_cast<std::size_t>(row)];
  // The Parameters tab's boxes hold less than a run can take.
  struct Fit {
    int32_t value, most;
    const char* what;
  };
  for (const Fit& f : {Fit{locus.P, limits_.P, "samples (P)"}, Fit{locus.A, limits_.A, "alleles (A)"},
                       Fit{locus.n, limits_.n, "individuals per sample (n)"}})
    if (f.value > f.most) {
      ShowInfoMessage("Locus " + locus.name + " has " + std::to_string(f.value) + " " + f.what +
                      ", more than the Parameters tab takes (" + std::to_string(f.most) +
                      "): test it with \"Scan all loci\", or with driftwise run");
      return;
    }
  const bool observed = StartChoice->currentIndex() == 1;
  const QString proposed =
      QDir(DataFolder()).filePath(QString::fromStdString(scan::FileStem(locus)) + "-freq.txt");
  // After a scan the single test runs under the scan's null; its boxes must take it.
  const scan::NullModel* null = scan_ ? &scan_->null : nullptr;
  if (null)
    for (const Fit& f : {Fit{null->N, limits_.N, "N"}, Fit{null->T, limits_.T, "T"}})
      if (f.value > f.most) {
        ShowInfoMessage("The scan's null has " + std::string(f.what) + " = " +
                        std::to_string(f.value) + ", more than the Parameters tab takes (" +
                        std::to_string(f.most) + "): rerun the locus with driftwise run " +
                        scan::RerunOptions(*null));
        return;
      }
  const QString name = AskSaveFile("FrequencyFileDialog",
                                   "Initial frequencies of " + QString::fromStdString(locus.name) +
                                       ": the single test starts its populations from this file",
                                   {"Text files (*.txt)"}, proposed);
  if (name.isEmpty()) return;
  bool written = false;
  Guarded([&] {
    WriteExport(name, scan::FrequencyFileText(locus.counts, observed));
    written = true;
  });
  if (!written) return;
  LocusHandover handover{locus.name, locus.P, locus.A, locus.n, locus.estimate.delta, name,
                         std::nullopt, QString()};
  if (null) {
    handover.null = *null;
    handover.scanResult = ScanResultLine(scan_->loci[static_cast<std::size_t>(row)]);
  }
  emit LocusChosen(handover);
}

QString TLociTab::ScanResultLine(const scan::ScannedLocus& l) const {
  if (!l.ran) return "The scan could not test " + QString::fromStdString(l.name) + ".";
  const auto text = [](double p) { return QString::fromStdString(PValueText(p)); };
  QString line = "Scan of " + QString::fromStdString(l.name) + ": ";
  if (l.deltaTested)
    line += "Delta p_higher = " + text(l.p.higher) + ", p_lower = " + text(l.p.lower) +
            ", q = " + text(l.q) + "; ";
  return line + "WC p_higher = " + text(l.pWc.higher) + ", q = " + text(l.qWc) + " (" +
         QString::number(l.simulations) + " simulations)";
}

void TLociTab::ScanButtonClick() {
  if (!data_) return;
  Guarded([this] { RunScan(); });
  if (closeAfterScan_) window_.close();
}

bool TLociTab::ReadScanSettings(scan::ScanSettings& s) {
  // The scan's defaults (counts engine, sequential p-values) with the N, T
  // and model shown on this tab.
  s.N = ScanN->Value();
  s.T = ScanT->Value();
  s.model = kModelWords[std::clamp(ScanModel->currentIndex(), 0, 2)];
  s.observedStart = StartChoice->currentIndex() == 1;
  s.calibrate = true;
  bool fromClock = false;
  const auto seed = SeedOf(ScanSeed->text(), fromClock);
  if (!seed) {
    ShowInfoMessage("The seed must be a whole number from 0 to 4294967295 (empty: from the clock)");
    return false;
  }
  s.seed = *seed;
  s.seededFromClock = fromClock;
  s.threads = UsableCpuCount();
  if (const auto problem = scan::SharedCountProblem(s)) {
    ShowInfoMessage(*problem);
    return false;
  }
  return true;
}

void TLociTab::RunScan() {
  scan::ScanSettings s;
  if (!ReadScanSettings(s)) return;
  std::vector<scan::ScannedLocus> loci;
  if (const auto problem = scan::PlanLoci(*data_, s, loci)) {
    ShowInfoMessage(*problem);
    return;
  }
  if (scan::TestedCount(loci) == 0) {
    ShowInfoMessage("No locus of " + QFileInfo(fileName_).fileName().toStdString() +
                    " can be tested: see the note of each locus");
    return;
  }
  // The counts engine writes no loci's files: no folder for them.
  const QString command = QString::fromStdString(
      scan::ScanCommandLine(s, fileName_.toStdString(), popmapName_.toStdString()));
  TScanJob job(&window_, progressDelayMs_);
  scanJob_ = &job;
  struct EndOfScan {
    TLociTab* tab;
    ~EndOfScan() { tab->scanJob_ = nullptr; }
  } endOfScan{this};
  scan::ScanResult result = job.Run(s, std::move(loci), fileName_.toStdString());
  const qint64 elapsed = job.ElapsedMs();
  switch (result.outcome) {
    case scan::ScanOutcome::Cancelled:
      DropScan();
      if (!closeAfterScan_)
        ShowInfoMessage("Scan cancelled: the table shows the observed statistics alone.");
      return;
    case scan::ScanOutcome::NoFit:
      DropScan();
      ShowInfoMessage(result.problem);
      return;
    case scan::ScanOutcome::Failed:  // the fit's runs could not write their files
      DropScan();
      ShowErrorBox(result.problem);
      return;
    case scan::ScanOutcome::Finished:
      ShowScan(std::move(result.summary), elapsed, command);
      return;
  }
}

void TLociTab::DropScan() {
  scan_.reset();
  scanExported_ = false;
  if (model_.HasScan()) {
    model_.SetObserved(scan::ObservedColumns(data_->hasPositions), scan::ObservedRows(*data_));
    ShowLocusNames();
  }
  ScanPlot->SetScan(nullptr);
  ScanPlot->hide();
  ScanLabel->clear();
  ScanLabel->setToolTip({});
  scanTitle_.clear();
  UpdateButtons();
}

void TLociTab::ShowScan(scan::ScanSummary summary, qint64 elapsedMs, const QString& command) {
  scan_ = std::move(summary);
  const scan::ScanSummary& s = *scan_;
  const std::vector<scan::ScanColumn> shown = ScanColumnsShown();
  std::vector<std::vector<std::string>> rows;
  for (const auto& row : scan::ScanRows(s)) rows.push_back(Pick(row, shown));
  std::vector<unsigned> flags;
  QStringList flagged;
  for (const scan::ScannedLocus& l : s.loci) {
    flags.push_back(FlagOf(l, s.fdr));
    if (flags.back()) flagged << FlaggedName(l, flags.back());
  }
  const QModelIndex selected = LociTable->selectionModel()->currentIndex();
  const int selectedRow = selected.isValid() ? sorted_.mapToSource(selected).row() : -1;
  model_.AddScan(Pick(scan::ScanColumns(), shown), rows, flags);
  ShowLocusNames();
  if (selectedRow >= 0) LociTable->selectRow(sorted_.mapFromSource(model_.index(selectedRow, 0)).row());
  ScanPlot->SetScan(&s);
  ScanPlot->show();
  // The table shows its rows (up to a dozen), the plot takes the rest; the
  // window grows, within the screen, until the picture is tall enough to read.
  const int rowsShown = std::min(12, model_.rowCount());
  const int tableWanted = LociTable->horizontalHeader()->height() +
                          rowsShown * LociTable->verticalHeader()->defaultSectionSize() +
                          LociTable->horizontalScrollBar()->sizeHint().height() + 4;
  const int before = window_.height();
  GrowWindowBy(0, tableWanted + form_.Scaled(kReadablePlotHeight) - Splitter->height());
  const int height = Splitter->height() + (window_.height() - before);
  const int table = std::min(height * 9 / 20, tableWanted);
  Splitter->setSizes({table, height - table});

  const scan::NullReportParts report = scan::NullReportOf(s);
  const QString flaggedLine = "Flagged: " + (flagged.isEmpty() ? "none" : flagged.join(", "));
  scanTitle_ = {ScanHeadline(s, elapsedMs), QString::fromStdString(report.fitted), flaggedLine};
  ShowScanTitle();
  ScanLabel->setToolTip(QString::fromStdString(report.Text()) + flaggedLine +
                        "\nThe same scan from the command line:\n  " + command);
  UpdateButtons();
  ShowScanProblems(report.Cautions());
}

void TLociTab::ShowScanProblems(const std::vector<std::string>& cautions) {
  std::string problems;
  for (const scan::ScannedLocus& l : scan_->loci)
    if (scan::Tested(l) && !l.ran) problems += "locus " + l.name + ": " + l.failure + "\n";
  for (const std::string& line : cautions) problems += line + "\n";
  if (!problems.empty()) ShowWarningMessage(problems);
}

QString TLociTab::ScanHeadline(const scan::ScanSummary& s, qint64 elapsedMs) const {
  const QString q = QString::fromStdString(FormatFixed(s.fdr, 18, 2, NumberMarks{'.', ','}));
  const QString simulations =
      s.pvalues.sequential ? QString("sequential p-values")
                           : "I = " + QString::number(s.null.I) + " per locus";
  return "Scan with seed " + QString::number(s.seed) +
         (s.seededFromClock ? " (from the clock)" : "") + ", " +
         QString::fromStdString(s.pvalues.engine) + " engine, " + simulations + ", " +
         ModelName(s.null.model) + ", " + (s.null.observedStart ? "each sample's own" : "pooled") +
         " start, in " + QString::number(elapsedMs / 1000.0, 'f', 1) + " s. Flagged (q <= " + q +
         ") by Delta: " + QString::number(s.flaggedDelta) + " of " +
         QString::number(s.testedDelta) + " loci; by WC: " + QString::number(s.flaggedWc) +
         " of " + QString::number(s.testedWc);
}

void TLociTab::ShowScanTitle() {
  const QFontMetrics metrics(ScanLabel->font());
  const int width = std::max(1, ScanLabel->width() - 4);
  QStringList shown;
  for (const QString& line : scanTitle_) shown << metrics.elidedText(line, Qt::ElideRight, width);
  ScanLabel->setText(shown.join('\n'));
}

bool TLociTab::HandleCloseDuringScan(QCloseEvent* event) {
  if (!scanJob_) return false;
  event->ignore();
  if (closeAfterScan_) return true;
  QMessageBox question(QMessageBox::Question, CurrentApplicationTitle(),
                       "A scan is in progress (" + scanJob_->StageText() +
                           ").\nCancel the scan and close the window?",
                       QMessageBox::Yes | QMessageBox::No, &window_);
  question.setObjectName("CloseDuringScan");
  question.setDefaultButton(QMessageBox::No);
  const bool yes = question.exec() == QMessageBox::Yes;
  if (yes && scanJob_) {
    closeAfterScan_ = true;
    scanJob_->RequestCancel();
  }
  return true;
}

void TLociTab::ExportTableButtonClick() {
  Guarded([this] { ExportTable(); });
}

void TLociTab::ExportTable() {
  if (!data_) return;
  const QString proposed =
      QDir(DataFolder()).filePath(DataStem() + (scan_ ? "-scan.tsv" : "-loci.tsv"));
  // The scan's own TSV and JSON stay on offer: users compare them with the
  // command line's.
  QStringList filters{kTableAsShown};
  if (scan_) filters << kScanAsCommandLine;
  filters << "All files (*)";
  QString filter;
  const QString name = AskSaveFile("ExportTableDialog", "Export the table", filters, proposed, &filter);
  if (name.isEmpty()) return;
  if (filter == kScanAsCommandLine) {
    WriteExport(name, scan::ScanTable(*scan_));
    WriteExport(CompanionJson(name), scan::ScanJson(*scan_));
  } else {
    WriteExport(name, TableTextAsShown());
  }
  scanExported_ = scan_.has_value();
}

std::string TLociTab::TableTextAsShown() const {
  std::vector<std::vector<std::string>> rows;
  for (int r = 0; r < sorted_.rowCount(); ++r)
    rows.push_back(model_.Row(sorted_.mapToSource(sorted_.index(r, 0)).row()));
  return scan::TabSeparated(model_.Columns(), rows);
}

void TLociTab::ExportPlotButtonClick() {
  Guarded([this] { ExportPlot(); });
}

void TLociTab::ExportPlot() {
  if (!scan_) return;
  const scan::PictureKind kind = ScanPlot->Kind();
  const QString proposed = QDir(DataFolder()).filePath(DataStem() + ScanPlot->FileSuffix() + ".png");
  const QString name =
      AskSaveFile("ExportPlotDialog", "Export the scan plot (" + QString(scan::PictureName(kind)) + ")",
                  kDrawingFilters, proposed);
  if (name.isEmpty()) return;
  const scan::ScanPictures& pictures = ScanPlot->Pictures();
  WriteDrawingAtSize(&window_, name, "plot", scan::DefaultPictureSize(pictures, kind),
                     [&](chart::ChartFileFormat format, const scan::FileSize& size) {
                       return scan::RenderPicture(pictures, kind, format, size);
                     });
}

PrintedTable TLociTab::TableAsShown() const {
  PrintedTable t;
  t.title.push_back(FileLabel->text().toStdString());
  // The whole flagged list, not the elided one: the printout wraps it.
  for (const QString& line : scanTitle_)
    if (!line.isEmpty()) t.title.push_back(line.toStdString());
  const int columns = sorted_.columnCount();
  for (int c = 0; c < columns; ++c) {
    t.columns.push_back(model_.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().toStdString());
    t.numeric.push_back(model_.data(model_.index(0, c), Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
  }
  for (int r = 0; r < sorted_.rowCount(); ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < columns; ++c) row.push_back(sorted_.index(r, c).data().toString().toStdString());
    t.rows.push_back(std::move(row));
    t.flagged.push_back(model_.FlagOf(sorted_.mapToSource(sorted_.index(r, 0)).row()) != 0);
  }
  return t;
}

void TLociTab::PrintTableButtonClick() {
  if (!data_) return;
  tablePrint_.SetTable(TableAsShown());
  ShowPrintPreview(&window_, tablePrint_);
}

void TLociTab::PrintPlotButtonClick() {
  if (!scan_) return;
  plotPrint_.SetPicture(&ScanPlot->Pictures(), ScanPlot->Kind());
  ShowPrintPreview(&window_, plotPrint_);
}

}  // namespace dw::ui
