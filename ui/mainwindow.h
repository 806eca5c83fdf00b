#pragma once
// The program's one window: the parameter form on "Parameters", the
// histogram on "Results and graphs", and the run started from "&Go".
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

class QFileDialog;

#include "engine/rundriver.h"
#include "engine/state.h"
#include "runtime/errors.h"
#include "runtime/random.h"
#include "ui/form.h"
#include "ui/spinedit.h"

namespace dw::chart {
class TChartWidget;
}
namespace dw::scan {
struct NullModel;
}

namespace dw::ui {

class TAnchorLayout;
class TLociTab;
struct LocusHandover;
struct ParameterLimits;
class TRunProgress;

// A push button whose accelerator clicks it where the focus is, so a box
// being typed in keeps its text as typed.
class TButton : public QPushButton {
  Q_OBJECT
 public:
  using QPushButton::QPushButton;

 protected:
  bool event(QEvent* event) override;
};

// The text of a Delta for the Parameters tab: the shortest that reads back
// to the same double, with the locale's decimal separator.
std::string DeltaText(long double delta, const NumberMarks& marks);

class TTestneutre : public QMainWindow {
  Q_OBJECT
 public:
  // `pixelsPerInch` 0 takes the screen's; the form was designed at 120.
  explicit TTestneutre(int pixelsPerInch = 0, QWidget* parent = nullptr);
  ~TTestneutre() override;

  // A design length in pixels at this window's resolution.
  int Scaled(int designPixels) const { return form_.Scaled(designPixels); }

  // The run's seed; the clock unless a test gives another source.
  void SetSeedSource(SeedSource* seed) { seedSource_ = seed; }
  // How long a run goes before its progress dialog shows.
  void SetProgressDelay(int ms);
  const EngineState& State() const { return state_; }
  // The window's number marks (the locale's): the chart, the Loci table and
  // the default texts of the real-number boxes follow them.
  void ApplyNumberMarks(const NumberMarks& marks);
  // A line shown with the next run's p-values: the scan's result for the
  // locus handed over from the Loci tab (empty: none).
  void SetComparedScan(const QString& line);

  // A new tab after the others: a sheet laid out by its controls' designed
  // rectangles, in a scroll area that shows all of it on a screen smaller
  // than the design. `layout` receives the sheet's layout.
  QWidget* AddTabSheet(const char* name, const QString& caption, TAnchorLayout** layout = nullptr);
  // How much the window is larger than its designed size (never negative);
  // what the anchored controls of every tab grow by.
  QSize Growth() const;
  // The window's client size at its design: 820 × 570 outer, frame excluded.
  QSize DesignClientSize() const { return designClient_; }

  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QWidget* TabSheet2;
  QWidget* TabSheet3;
  QLabel* StatusPanel1;
  QLabel* StatusPanel2;
  TSpinEdit* varP;
  TSpinEdit* varN;
  QLineEdit* varm;
  TSpinEdit* vara;
  TSpinEdit* varG;
  TSpinEdit* varechant;
  QLineEdit* vdelta;
  QWidget* GroupBox1;
  QRadioButton* infinite;
  QRadioButton* Fini;
  QRadioButton* stepping;
  TSpinEdit* repetitions;
  QLineEdit* FichFreq;
  QLineEdit* FichFst;
  QToolButton* SpeedButton1;
  QToolButton* SpeedButton2;
  TButton* Button1;
  TButton* BitBtn2;
  TButton* BitBtn1;
  chart::TChartWidget* Chart1;
  TButton* Button2;
  TButton* ExportChartButton;  // the histogram as PNG, SVG or PDF
  // Above the chart: nothing to show yet, then the last run's p-values.
  QLabel* ResultLabel;
  static constexpr const char* kNothingYet =
      "Nothing to show yet: set the parameters on the Parameters tab and press Go.";
  // The "Loci" tab: real data, one locus or all of them.
  TLociTab* Loci;

 public slots:
  void Button1Click();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void Button2Click();
  void ExportChartButtonClick();
  void BitBtn2Click();
  // The Loci tab's locus on the Parameters tab, its null too when a scan
  // fitted one; the status bar says what was set, and Go takes the focus.
  void UseLocus(const dw::ui::LocusHandover& locus);

 protected:
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildParametersTab(int fileButtonFontHeight);
  void BuildResultsTab();
  void BuildStatusBar();
  void SetTabOrder();
  void ReadNumberMarks();
  QLabel* AddLabel(QWidget* parent, const char* caption, int l, int t, int w, int h);
  TSpinEdit* AddSpinEdit(QWidget* parent, int32_t min, int32_t max, int32_t step,
                         int32_t value, int l, int t, int w, int h, const char* hint);
  QLineEdit* AddEdit(QWidget* parent, const char* text, int l, int t, int w, int h,
                     const char* hint);
  void SetHelpTopics();
  void HelpForFocus();
  // The window at its designed place and size, within the screen's free area.
  void PlaceOnScreen();
  void RunFromForm();
  QString CancelledRunMessage(uint32_t done, bool hadHistogram) const;
  // The English line under a runtime error's own text; empty when none.
  std::string ExplanationOf(const RuntimeError& error) const;
  // The finished run's p-values on the Results tab, the status bar and the chart's foot.
  void ShowRunResult();
  // The scan's null on the Parameters tab: N, m, T and model.
  void UseScanNull(const scan::NullModel& null);
  // The largest values the Parameters tab's boxes take.
  ParameterLimits Limits() const;

  TAnchorLayout* layout1_ = nullptr;
  TAnchorLayout* layout2_ = nullptr;
  TAnchorLayout* layout3_ = nullptr;
  QSize designClient_;
  TFormScale form_;
  TRunProgress* runProgress_ = nullptr;
  bool closeAfterRun_ = false;
  bool placed_ = false;
  int progressDelayMs_ = 300;
  SeedSource* seedSource_ = nullptr;
  QString comparedScan_;
  EngineState state_;
  Random rng_;
};

}  // namespace dw::ui
