#pragma once
// The "Loci" tab: a Genepop file opened in the window, the observed
// statistics of every locus in a sortable table, one locus handed to the
// Parameters tab ("Use this locus"), and the scan of every locus with its
// calibrated null ("Scan all loci"), whose columns join the table and whose
// plot shows under it. Reading, the table's cells, the frequency files, the
// scan, its TSV, JSON and plot are the command line's own code, so the
// window and `driftwise observe` / `scan` give the same bytes.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QSplitter>
#include <QTableView>
#include <functional>
#include <memory>
#include <optional>

#include "data/loci.h"
#include "scan/scan.h"
#include "ui/form.h"
#include "ui/lociprint.h"
#include "ui/locimodel.h"
#include "ui/scanplots.h"

class QCloseEvent;

namespace dw::ui {

class TAnchorLayout;
class TSpinEdit;
class TButton;
class TScanJob;

// What "Use this locus" hands the Parameters tab: the locus's single test,
// under the scan's null when a scan fitted one.
struct LocusHandover {
  std::string name;
  int32_t P = 0, A = 0, n = 0;
  long double delta = 0;
  QString frequencyFile;  // written, its initial frequencies
  std::optional<scan::NullModel> null;
  QString scanResult;  // ScanResultLine of the locus; empty without a scan
};

// The largest values the Parameters tab's boxes take.
struct ParameterLimits {
  int32_t P = 0, A = 0, n = 0, N = 0, T = 0;
};

class TLociTab : public QObject {
  Q_OBJECT
 public:
  // `window` owns the tab's dialogs and grows to its table; `limits` are
  // those of the Parameters tab a locus is handed to.
  TLociTab(QWidget& window, const TFormScale& form, const ParameterLimits& limits, QWidget* sheet,
           TAnchorLayout& layout);
  ~TLociTab() override;

  TButton* GenepopButton;
  TButton* UseLocusButton;
  TButton* ScanButton;
  TButton* ExportTableButton;
  TButton* PrintTableButton;
  TButton* ExportPlotButton;
  TButton* PrintPlotButton;
  QComboBox* StartChoice;  // 0: pooled sample frequencies, 1: each sample's own
  QLineEdit* ScanSeed;     // empty: the clock
  // The scan's N, T and model, shown before it runs; the rest are the
  // scan's defaults, named by SimulationsLabel.
  TSpinEdit* ScanN;
  TSpinEdit* ScanT;
  QComboBox* ScanModel;  // infinite, finite, stepping-stone
  QLabel* SimulationsLabel;
  QLabel* FileLabel;
  QLabel* ScanLabel;
  QSplitter* Splitter;
  QTableView* LociTable;
  TScanPictures* ScanPlot;  // the chosen picture of the scan

  TLociModel& Model() { return model_; }
  TLociSortModel& SortModel() { return sorted_; }
  // The data file shown (its full name), empty before one is opened.
  const QString& FileName() const { return fileName_; }
  // The last finished scan shown in the table, null when none.
  const scan::ScanSummary* Scan() const { return scan_ ? &*scan_ : nullptr; }
  // The scan in progress, null when none.
  TScanJob* ScanInProgress() const { return scanJob_; }
  // How long the scan dialog waits before it shows.
  void SetProgressDelay(int ms) { progressDelayMs_ = ms; }
  // The tab's controls in their tab order, for the window's order and help.
  QList<QWidget*> Controls() const;

  // Reads the file (Genepop, VCF or BCF; `popmap` names the population map
  // a VCF or BCF needs); a file refused or unreadable is named with its line
  // (or record) in the error box and leaves the tab as it was. True when opened.
  bool OpenDataFile(const QString& name, const QString& popmap);
  bool OpenGenepopFile(const QString& name);
  // The population map beside a VCF or BCF file, DATA.popmap.tsv or
  // DATA.pop (DATA without .vcf, .bcf, .gz), when there is one; else empty.
  static QString ProposedPopulationMap(const QString& data);
  // The window's close request during a scan: asks, and cancels the scan
  // when the user agrees; true when the request was answered here.
  bool HandleCloseDuringScan(QCloseEvent* event);

 signals:
  // The user chose the locus for a single test; its frequency file is written.
  void LocusChosen(const dw::ui::LocusHandover& locus);
  // A data file opened: the tab wants to be shown.
  void DataFileOpened();

 public slots:
  void GenepopButtonClick();
  void UseLocusButtonClick();
  void ScanButtonClick();
  void ExportTableButtonClick();
  void PrintTableButtonClick();
  void ExportPlotButtonClick();
  void PrintPlotButtonClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 public:
  // "Scan of Lap: Delta p_higher = …": the scan's result for one locus,
  // shown with the single test of that locus.
  QString ScanResultLine(const scan::ScannedLocus& locus) const;

 private:
  void BuildScanSettings(QWidget* tab);
  // The locus names as row headings (they stay when the table scrolls right).
  void ShowLocusNames();
  // Widens the window, within the screen, until the observed columns show.
  void GrowToShowTable();
  // Grows the window by up to these many pixels, within the screen (moved
  // back onto it where needed); a maximised window stays as it is.
  void GrowWindowBy(int moreWidth, int moreHeight);
  // Asks before a new file drops a scan not exported; true to keep it.
  bool ScanWouldBeLost();
  QString ScanHeadline(const scan::ScanSummary& s, qint64 elapsedMs) const;
  // The scan's title lines in the label, each elided to its width.
  void ShowScanTitle();
  void Build(QWidget* sheet, TAnchorLayout& layout);
  void SetHelpTopics();
  void UpdateButtons();
  // The source row of the selected locus, -1 when none.
  int SelectedRow() const;
  // The loci as the scan plans them, whatever their sample size.
  std::vector<scan::ScannedLocus> PlannedLoci() const;
  void RunScan();
  // The scan's settings from the tab's boxes; false, having said why, when they cannot run.
  bool ReadScanSettings(scan::ScanSettings& s);
  void ShowScan(scan::ScanSummary summary, qint64 elapsedMs, const QString& command);
  // Loci that could not run, notes and warnings about the null: what the
  // command line says on its standard error beyond the fit.
  void ShowScanProblems(const std::vector<std::string>& cautions);
  void ExportTable();
  void ExportPlot();
  void DropScan();
  PrintedTable TableAsShown() const;
  // A save dialog named `name`; empty when cancelled. `chosenFilter`, when
  // given, receives the type chosen.
  QString AskSaveFile(const char* name, const QString& caption, const QStringList& filters,
                      const QString& proposed, QString* chosenFilter = nullptr);
  // Every row and column of the table in its current order, each cell as the
  // command line writes it, under the column names: tab-separated lines.
  std::string TableTextAsShown() const;
  QString DataFolder() const;
  // The population map of a VCF or BCF file, asked with a file dialog; empty when cancelled.
  QString AskPopulationMap(const QString& data);
  QString DataStem() const;

  QWidget& window_;
  const TFormScale form_;
  const ParameterLimits limits_;
  TLociModel model_;
  TLociSortModel sorted_;
  std::optional<data::LociData> data_;
  QString fileName_;
  QString popmapName_;  // the population map of a VCF or BCF file; empty for Genepop
  QString openChoice_;
  std::optional<scan::ScanSummary> scan_;
  TLociTablePrintable tablePrint_;
  TScanPicturePrintable plotPrint_;
  TScanJob* scanJob_ = nullptr;
  bool closeAfterScan_ = false;
  bool scanExported_ = false;
  QStringList scanTitle_;  // headline, fitted null, every flagged locus
  int progressDelayMs_ = 300;
};

}  // namespace dw::ui
