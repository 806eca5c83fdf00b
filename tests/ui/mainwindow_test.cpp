// The main window driven as a user drives it: its definition, the run from
// "&Go" by mouse and by Alt+G, the run's messages and errors, the chart it
// fills, the locale's separator, and the progress dialog's Cancel.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <QGroupBox>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QSettings>
#include <QHeaderView>
#include <QtTest>

#include "chart/qt/chart_widget.h"
#include "dialogs.h"
#include "chart/qt/print.h"
#include "ui/application.h"
#include "ui/help.h"
#include "ui/helpwindow.h"
#include "ui/locale.h"
#include "ui/mainwindow.h"
#include "ui/progress.h"

using dw::ui::TTestneutre;

namespace {

const QString kInput = QStringLiteral(DW_SOURCE_DIR "/examples/freqini.txt");

QStringList Lines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromLatin1(file.readAll()).split("\r\n");
}

// The result lines of the simulations, after the header.
int SimulationLines(const QString& path) {
  int count = 0;
  for (const QString& line : Lines(path)) count += line.startsWith("WC=") ? 1 : 0;
  return count;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  TTestneutre* w_ = nullptr;
  QTemporaryDir dir_;

  // A window at the design resolution, shown and active, set to a short run.
  void Open(int runs = 20) {
    delete w_;
    w_ = new TTestneutre(120);
    w_->show();
    w_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w_));
    w_->FichFreq->setText(kInput);
    w_->FichFst->setText(dir_.filePath("fst.txt"));
    w_->repetitions->SetValue(runs);
  }

  static void Retype(QLineEdit* box, const QString& text) {
    box->setFocus(Qt::TabFocusReason);
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
  }

  void ClickGo() { QTest::mouseClick(w_->Button1, Qt::LeftButton); }
  void AltG() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_G, Qt::AltModifier); }

 private slots:
  void init() { dw::ui::SetNumberMarks(dw::NumberMarks{'.', ','}); }
  void cleanupTestCase() { delete w_; }

  void DefinitionDefaults() {
    Open();
    delete w_;
    w_ = new TTestneutre(120);
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_));
    QCOMPARE(w_->windowTitle(), QString("Driftwise : Single locus, multiallelic test of neutrality"));
    QCOMPARE(w_->frameGeometry().size(), QSize(820, 570));
    QCOMPARE(w_->font().pixelSize(), 13);
    QCOMPARE(w_->PageControl1->currentIndex(), 0);
    QCOMPARE(w_->PageControl1->tabText(0), QString("Parameters"));
    QCOMPARE(w_->PageControl1->tabText(1), QString("Results and graphs"));

    struct Spin {
      dw::ui::TSpinEdit* box;
      int value, min, max, step;
      QRect at;
      const char* hint;
    };
    const Spin spins[] = {
        {w_->varP, 10, 2, 100, 1, {208, 16, 57, 26}, "Number of populations in your sample"},
        {w_->varN, 100, 5, 5000, 10, {208, 53, 57, 26},
         "Effective (putative) size of each population"},
        {w_->vara, 5, 1, 50, 1, {208, 126, 57, 26}, "Number of alleles in your sample"},
        {w_->varG, 100, 1, 1000, 10, {208, 160, 57, 26},
         "Number of generations before sampling (migration-drift equilibrium)"},
        {w_->varechant, 50, 1, 1000, 10, {616, 80, 49, 26}, "Mean sampling size (per population)"},
        {w_->repetitions, 1000, 1, 10000, 100, {112, 344, 73, 26}, "Total number of repetitions"},
    };
    for (const Spin& s : spins) {
      QCOMPARE(s.box->text(), QString::number(s.value));
      QCOMPARE(s.box->MinValue(), s.min);
      QCOMPARE(s.box->MaxValue(), s.max);
      QCOMPARE(s.box->Increment(), s.step);
      // At its designed place, widened about its centre where the font in use
      // needs more room for the largest value.
      const QRect g = s.box->geometry();
      QCOMPARE(g.top(), s.at.top());
      QCOMPARE(g.height(), s.at.height());
      QVERIFY(g.width() >= s.at.width());
      QVERIFY2(std::abs((g.left() + g.right()) - (s.at.left() + s.at.right())) <= 1,
               qPrintable(s.box->objectName()));
      QCOMPARE(s.box->toolTip(), QString(s.hint));
      QCOMPARE(s.box->toolTipDuration(), 2500);
    }
    struct Edit {
      QLineEdit* box;
      const char* text;
      QRect at;
    };
    const Edit edits[] = {{w_->varm, "0.1", {208, 90, 57, 24}},
                          {w_->vdelta, "0.005", {616, 130, 57, 24}},
                          {w_->FichFreq, "freqini.txt", {208, 392, 233, 24}},
                          {w_->FichFst, "fst.txt", {208, 426, 233, 24}}};
    for (const Edit& e : edits) {
      QCOMPARE(e.box->text(), QString(e.text));
      QCOMPARE(e.box->geometry(), e.at);
    }
    QVERIFY(w_->infinite->isChecked());
    QVERIFY(!w_->Fini->isChecked());
    QVERIFY(!w_->stepping->isChecked());
    QCOMPARE(w_->GroupBox1->geometry(), QRect(24, 200, 265, 97));
    QCOMPARE(static_cast<QGroupBox*>(w_->GroupBox1)->title(), QString("Model :"));
    QCOMPARE(w_->Button1->text(), QString("&Go"));
    QCOMPARE(w_->Button1->geometry(), QRect(576, 248, 105, 33));
    QCOMPARE(w_->BitBtn2->text(), QString("&Help"));
    QCOMPARE(w_->BitBtn1->text(), QString("&Close"));
    QCOMPARE(w_->Button2->text(), QString("&Print"));
    QCOMPARE(w_->Chart1->geometry(), QRect(8, 52, 689, 421));
    QCOMPARE(w_->SpeedButton1->focusPolicy(), Qt::StrongFocus);
    QVERIFY(w_->SpeedButton1->font().bold());
    QCOMPARE(w_->StatusPanel1->width(), 600);
    QCOMPARE(w_->StatusPanel2->text(), QString("<-  Help \"Driftwise\" Rel 1.0"));
    QVERIFY(w_->statusBar()->height() >= 19);

    const char* labels[][2] = {{"Label1", "Number of populations (P) :"},
                               {"Label13", "Sampling size per pop. (n) :"},
                               {"Label22", "observed Delta = WC - RH :"},
                               {"Label4", TTestneutre::kNothingYet}};
    for (auto& l : labels)
      QCOMPARE(w_->findChild<QLabel*>(l[0])->text(), QString(l[1]));
    QCOMPARE(w_->Chart1->Chart().Title.Text.Lines(),
             std::vector<std::string>{"Histogram of simulated values of Delta"});
  }

  // Tab walks the boxes in the form's order, each file button right after
  // its box.
  void TabOrder() {
    Open();
    w_->varP->setFocus(Qt::TabFocusReason);
    QWidget* expected[] = {w_->varN,        w_->varm,    w_->vara,         w_->varG,
                           w_->varechant,   w_->vdelta,  w_->infinite,     w_->repetitions,
                           w_->FichFreq,    w_->SpeedButton1, w_->FichFst, w_->SpeedButton2,
                           w_->Button1,     w_->BitBtn2, w_->BitBtn1};
    for (QWidget* next : expected) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), next);
    }
  }

  // Away from 120 pixels per inch the font follows the resolution and every
  // length the text height.
  void ScalesWithTheResolution() {
    TTestneutre w(96);
    QCOMPARE(w.font().pixelSize(), 10);
    const int text = QFontMetrics(w.font()).height();
    QFont designFont = w.font();
    designFont.setPixelSize(13);
    const int design = QFontMetrics(designFont).height();
    QCOMPARE(w.Scaled(design), text);
    QCOMPARE(w.varP->x(), (208 * text + design / 2) / design);
    QCOMPARE(w.Button1->width(), (105 * text + design / 2) / design);
    // Captions are never cut: each label is at least as wide as its text.
    for (QLabel* label : w.TabSheet1->findChildren<QLabel*>())
      QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
  }

  void StatusBarShowsTheHint() {
    Open();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), w_->varN->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(w_->varN, &enter);
    QCOMPARE(w_->StatusPanel1->text(), QString("Effective (putative) size of each population"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(w_->varN, &leave);
    QCOMPARE(w_->StatusPanel1->text(), QString());
  }

  void RunFillsTheChartAndShowsTheSummary() {
    Open(20);
    DialogWatcher watcher;
    ClickGo();
    QCOMPARE(watcher.seen.size(), size_t{1});
    const SeenDialog& summary = watcher.seen[0];
    QCOMPARE(summary.kind, SeenDialog::Info);
    QVERIFY2(summary.text.startsWith("Finished : 20 simulations\n"), qPrintable(summary.text));
    QVERIFY(summary.text.endsWith("\nPlease see tab Results and graphs for the histogram"));
    const QStringList lines = summary.text.split('\n');
    QCOMPARE(lines.size(), 4);
    const int lower = lines[1].section(' ', 0, 0).toInt();
    const int higher = lines[2].section(' ', 0, 0).toInt();
    QCOMPARE(lower + higher, 20);
    QCOMPARE(lines[1], QString::number(lower) + " values lower than Delta obs, ");

    dw::chart::TBarSeries& bars = w_->Chart1->Series1();
    QCOMPARE(bars.Count(), 10);
    double total = 0;
    for (int i = 0; i < 10; ++i) total += bars.YValues.Value(i);
    QCOMPARE(total, 20.0);
    QCOMPARE(w_->Chart1->Chart().Title.Text.Lines().size(), size_t{3});
    QCOMPARE(SimulationLines(dir_.filePath("fst.txt")), 20);
    QCOMPARE(w_->PageControl1->currentIndex(), 0);  // the tab stays where it was
  }

  // Every refusal keeps the runtime's own text and, where it names no value
  // or file, adds a line in English that names them and says what to do.
  void InputChecksShowTheirMessages_data() {
    QTest::addColumn<QString>("m");
    QTest::addColumn<QString>("n");
    QTest::addColumn<int>("P");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    const QString examples = QFileInfo(kInput).absolutePath();
    const QString nowhere = dir_.filePath("nowhere.txt");
    QTest::newRow("m above 1") << "1.0001" << "50" << 10 << kInput << int(SeenDialog::Info)
                               << "The migration rate must be between 0 and 1";
    QTest::newRow("m below 0") << "-0.5" << "50" << 10 << kInput << int(SeenDialog::Info)
                               << "The migration rate must be between 0 and 1";
    QTest::newRow("both wrong") << "2" << "500" << 10 << kInput << int(SeenDialog::Info)
                                << "The migration rate must be between 0 and 1";
    QTest::newRow("n above N")
        << "0.1" << "101" << 10 << kInput << int(SeenDialog::Info)
        << "Sampling size cannot be higher than population size\n"
           "n = 101 > N = 100: lower the sampling size or raise the population size.";
    QTest::newRow("rows against P + 1")
        << "0.1" << "50" << 12 << kInput << int(SeenDialog::Info)
        << "Input file : Error in number of populations\nfreqini.txt in " + examples +
               " has 11 rows; P = 12 needs P + 1 = 13 (one per population, then the migrants' "
               "source).";
    QTest::newRow("missing input file")
        << "0.1" << "50" << 10 << nowhere << int(SeenDialog::Error)
        << "Fichier introuvable.\nnowhere.txt in " + dir_.path() +
               " was not found: choose the file with the \"...\" button beside its box.";
    QTest::newRow("comma where a point is read")
        << "0,1" << "50" << 10 << kInput << int(SeenDialog::Error)
        << "'0,1' n'est pas une valeur en virgule flottante correcte.\nMigration rate (m): '0,1' "
           "is not a number here: this system writes decimals with '.', type 0.1.";
  }
  void InputChecksShowTheirMessages() {
    QFETCH(QString, m);
    QFETCH(QString, n);
    QFETCH(int, P);
    QFETCH(QString, input);
    QFETCH(int, kind);
    QFETCH(QString, message);
    Open();
    QFile::remove(dir_.filePath("fst.txt"));
    Retype(w_->varm, m);
    Retype(w_->varechant, n);
    w_->varP->SetValue(P);
    w_->FichFreq->setText(input);
    DialogWatcher watcher;
    ClickGo();
    QCOMPARE(watcher.seen.size(), size_t{1});
    QCOMPARE(int(watcher.seen[0].kind), kind);
    QCOMPARE(watcher.seen[0].text, message);
    if (kind == SeenDialog::Error) QCOMPARE(watcher.seen[0].icon, QMessageBox::Critical);
    // Nothing ran: the Results tab still has nothing to show.
    QCOMPARE(w_->ResultLabel->text(), QString(TTestneutre::kNothingYet));
    QVERIFY(!w_->Button2->isEnabled());
  }

  // A finished run gives its one-sided p-values, (k + 1)/(I + 1), on the
  // Results tab and in the status bar, and the chart's foot (so its printout)
  // names everything the test was run with.
  void AFinishedRunGivesItsPValues() {
    Open(20);
    QVERIFY(w_->Chart1->isHidden());
    dw::FixedSeed seed(11);
    w_->SetSeedSource(&seed);
    DialogWatcher watcher;
    ClickGo();
    w_->SetSeedSource(nullptr);
    QCOMPARE(watcher.seen.size(), size_t{1});
    const QString summary = watcher.seen[0].text;
    QVERIFY2(summary.startsWith("Finished : 20 simulations"), qPrintable(summary));
    // The counts the summary gives are the p-values' numerators less one.
    const int higher = summary.section('\n', 2).section(' ', 0, 0).toInt();
    const int lower = summary.section('\n', 1).section(' ', 0, 0).toInt();
    QCOMPARE(higher + lower, 20);
    const auto p = [](int k) { return QString::number((k + 1) / 21.0, 'g', 3); };
    const QString line = "p_higher = " + p(higher) + ", p_lower = " + p(lower) + " (" +
                         QString::number(higher) + " higher, " + QString::number(lower) +
                         " not higher, of 20 simulations)";
    QCOMPARE(w_->ResultLabel->text().section('\n', 0, 0), line);
    QCOMPARE(w_->StatusPanel1->text(), line);
    QVERIFY(!w_->Chart1->isHidden());
    QVERIFY(w_->Button2->isEnabled());
    const std::vector<std::string> foot = w_->Chart1->Chart().Foot.Text.Lines();
    QCOMPARE(foot.size(), size_t{2});
    QCOMPARE(QString::fromStdString(foot[0]),
             QString("P = 10, A = 5, n = 50, N = 100, m = 0.1, T = 100, infinite island model"));
    QCOMPARE(QString::fromStdString(foot[1]), line);
  }

  // Closing the window closes the help it opened, so the program ends.
  void ClosingTheWindowClosesItsHelp() {
    dw::ui::SetHelpSearchPath({QStringLiteral(DW_HELP_DIR)});
    Open();
    DialogWatcher watcher;  // a page that cannot be found is reported, not waited on
    QTest::mouseClick(w_->BitBtn2, Qt::LeftButton);
    QTRY_VERIFY(dw::ui::HelpWindow() && dw::ui::HelpWindow()->isVisible());
    w_->close();
    QTRY_VERIFY(!dw::ui::HelpWindow());
    dw::ui::SetHelpSearchPath({});
    QCOMPARE(watcher.seen.size(), size_t{0});
  }

  // A count clamped when its box is left says so in the status bar.
  void AClampedCountSaysSo() {
    Open();
    struct Case {
      dw::ui::TSpinEdit* box;
      const char* typed;
      const char* status;
    };
    const Case cases[] = {
        {w_->varP, "200", "200 is out of range for \"Number of populations in your sample\" (100 "
                          "is the nearest allowed): set to 100"},
        {w_->varN, "0", "0 is out of range for \"Effective (putative) size of each population\" (5 "
                        "is the nearest allowed): set to 5"},
    };
    for (const Case& c : cases) {
      w_->StatusPanel1->clear();
      Retype(c.box, c.typed);
      QTest::keyClick(c.box, Qt::Key_Tab);
      QCOMPARE(w_->StatusPanel1->text(), QString(c.status));
    }
    // A value in range is left as typed, without a word.
    w_->StatusPanel1->clear();
    Retype(w_->varP, "12");
    QTest::keyClick(w_->varP, Qt::Key_Tab);
    QCOMPARE(w_->varP->Value(), 12);
    QVERIFY(!w_->StatusPanel1->text().contains("out of range"));
  }

  // A click moves the focus to the button first, so the box being typed in
  // is clamped; Alt+G leaves the focus and reads the text as typed.
  void AltGReadsAsTypedAndAClickReadsClamped() {
    Open(5);
    Retype(w_->varechant, "4");
    Retype(w_->varN, "3");  // below the box's minimum of 5, the focus stays here
    {
      DialogWatcher watcher;
      AltG();
      QCOMPARE(watcher.seen.size(), size_t{1});
      QCOMPARE(watcher.seen[0].text,
               QString("Sampling size cannot be higher than population size\nn = 4 > N = 3: lower "
                       "the sampling size or raise the population size."));
      QCOMPARE(w_->varN->text(), QString("3"));
      QCOMPARE(w_->focusWidget(), static_cast<QWidget*>(w_->varN));
    }
    // Back in the window after the dialog, the box has the focus again.
    w_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w_));
    QTRY_VERIFY(w_->varN->hasFocus());
    {
      DialogWatcher watcher;
      ClickGo();
      QCOMPARE(w_->varN->text(), QString("5"));
      QCOMPARE(watcher.seen.size(), size_t{1});
      QVERIFY2(watcher.seen[0].text.startsWith("Finished : 5 simulations"),
               qPrintable(watcher.seen[0].text));
    }
  }

  void MissingInputFileLeavesTheWindowUsable() {
    Open(5);
    w_->FichFreq->setText(dir_.filePath("nowhere.txt"));
    QFile::remove(dir_.filePath("fst.txt"));
    DialogWatcher watcher;
    ClickGo();
    QCOMPARE(watcher.seen.size(), size_t{1});
    QCOMPARE(watcher.seen[0].kind, SeenDialog::Error);
    QVERIFY(watcher.seen[0].text.startsWith("Fichier introuvable.\nnowhere.txt in "));
    QCOMPARE(watcher.seen[0].icon, QMessageBox::Critical);
    QVERIFY(!QFile::exists(dir_.filePath("fst.txt")));
    // The window goes on: the next run with a good file finishes.
    w_->FichFreq->setText(kInput);
    ClickGo();
    QCOMPARE(watcher.seen.size(), size_t{2});
    QVERIFY(watcher.seen[1].text.startsWith("Finished : 5 simulations"));
  }

  // With a comma as the decimal separator the default texts take it, so the
  // first Go with the defaults runs; a point typed later is refused with the
  // runtime's text and a line that says what to type.
  void CommaLocaleDefaultsRun() {
    const dw::NumberMarks german =
        dw::ui::NumberMarksFromLocale(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(german.decimal, ',');
    Open(5);
    w_->ApplyNumberMarks(german);
    QCOMPARE(w_->varm->text(), QString("0,1"));
    QCOMPARE(w_->vdelta->text(), QString("0,005"));
    DialogWatcher watcher;
    ClickGo();
    QCOMPARE(watcher.seen.size(), size_t{1});
    QVERIFY2(watcher.seen[0].text.startsWith("Finished : 5 simulations"),
             qPrintable(watcher.seen[0].text));
    Retype(w_->vdelta, "0.005");
    ClickGo();
    QCOMPARE(watcher.seen.size(), size_t{2});
    QCOMPARE(watcher.seen[1].kind, SeenDialog::Error);
    QCOMPARE(watcher.seen[1].text,
             QString("'0.005' n'est pas une valeur en virgule flottante correcte.\nObserved Delta: "
                     "'0.005' is not a number here: this system writes decimals with ',', type "
                     "0,005."));
    // Back to a point: a typed value is left alone, the defaults follow.
    Retype(w_->varm, "0,25");
    w_->ApplyNumberMarks(dw::NumberMarks{'.', ','});
    QCOMPARE(w_->varm->text(), QString("0,25"));
    QCOMPARE(w_->vdelta->text(), QString("0.005"));
  }

  void ClosedProgressLeavesNoDialogToOwnTheNextMessage() {
    Open(10);
    dw::ui::TRunProgress progress(w_, 0);
    progress.SimulationFinished(1, 10);
    QVERIFY(progress.Dialog() && progress.Dialog()->isVisible());
    progress.Close();
    QVERIFY(!w_->findChild<QProgressDialog*>());  // gone before any event is processed
    progress.SimulationFinished(2, 10);            // a late report shows nothing again
    QVERIFY(!w_->findChild<QProgressDialog*>());
  }

  void CancelInTheProgressDialog() {
    Open(10000);
    w_->SetProgressDelay(0);
    DialogWatcher watcher(/*cancelProgress=*/true);
    ClickGo();
    QCOMPARE(watcher.progressDialogsSeen, 1);
    QCOMPARE(watcher.seen.size(), size_t{1});
    // The message says how far the run got, that the result file holds
    // those simulations of an unfinished run, and that no histogram came of it.
    const QString text = watcher.seen[0].text;
    const QStringList lines = text.split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[0].startsWith("Run cancelled after ") && lines[0].endsWith(" of 10000 simulations."),
             qPrintable(text));
    const int done = lines[0].section(' ', 3, 3).toInt();
    QVERIFY(done >= 3 && done < 10000);
    const QString file = QDir::toNativeSeparators(dir_.filePath("fst.txt"));
    QCOMPARE(lines[1], "The result file " + file + " holds the first " + QString::number(done) +
                           " simulations of this unfinished run.");
    QCOMPARE(lines[2], QString("No histogram was drawn."));
    QCOMPARE(SimulationLines(dir_.filePath("fst.txt")), done);
    QCOMPARE(w_->Chart1->Series1().Count(), 0);  // no histogram

    // After a finished run, a cancelled one leaves that run's histogram.
    w_->repetitions->SetValue(10);
    w_->SetProgressDelay(1000000);
    ClickGo();
    QCOMPARE(w_->Chart1->Series1().Count(), 10);
    const std::vector<std::string> title = w_->Chart1->Chart().Title.Text.Lines();
    w_->repetitions->SetValue(10000);
    w_->SetProgressDelay(0);
    ClickGo();
    QCOMPARE(watcher.seen.size(), size_t{3});
    QCOMPARE(watcher.seen[2].text.section('\n', 2), QString("The histogram still shows the previous run."));
    QCOMPARE(w_->Chart1->Chart().Title.Text.Lines(), title);
  }

  // The window system's close request during a run (the title bar's close
  // box, Alt+F4) asks first; "No" lets the run go on, "Yes" cancels it and
  // closes the window once the run has stopped.
  void ClosingDuringARunAsksFirst() {
    for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
      Open(answer == QMessageBox::No ? 300 : 10000);
      w_->SetProgressDelay(0);
      DialogWatcher watcher;
      watcher.answer = answer;
      bool modal = true;
      watcher.onProgress = [this, &modal] {
        // A modal dialog would keep the window system's close request from
        // the window altogether.
        modal = QApplication::activeModalWidget() != nullptr;
        // As the title bar's close box does; posted, so the watcher is free
        // to answer the question it brings.
        QTimer::singleShot(0, w_, [this] { w_->windowHandle()->close(); });
      };
      ClickGo();
      QCOMPARE(watcher.seen.size(), static_cast<size_t>(answer == QMessageBox::No ? 2 : 1));
      QVERIFY(!modal);
      QCOMPARE(watcher.seen[0].kind, SeenDialog::Question);
      QVERIFY2(watcher.seen[0].text.startsWith("A run is in progress ("), qPrintable(watcher.seen[0].text));
      QVERIFY(watcher.seen[0].text.contains(QDir::toNativeSeparators(dir_.filePath("fst.txt"))));
      if (answer == QMessageBox::No) {
        QVERIFY(w_->isVisible());
        QVERIFY2(watcher.seen[1].text.startsWith("Finished : 300 simulations"),
                 qPrintable(watcher.seen[1].text));
      } else {
        QVERIFY(!w_->isVisible());
        QVERIFY(SimulationLines(dir_.filePath("fst.txt")) < 10000);
      }
    }
  }

  // While the progress dialog shows, the window takes no input: no second
  // run from Alt+G, no typing into a box.
  void TheWindowTakesNoInputDuringARun() {
    Open(1000);
    w_->SetProgressDelay(0);
    w_->varP->setFocus(Qt::OtherFocusReason);
    DialogWatcher watcher(/*cancelProgress=*/true);
    watcher.onProgress = [this] {
      QTest::keyClick(w_->varP, Qt::Key_5);
      QTest::keyClick(w_, Qt::Key_G, Qt::AltModifier);
    };
    ClickGo();
    QCOMPARE(watcher.progressDialogsSeen, 1);
    QCOMPARE(watcher.seen.size(), size_t{1});
    QVERIFY(watcher.seen[0].text.startsWith("Run cancelled after "));
    QCOMPARE(w_->varP->text(), QString("10"));
  }

  // The dialog only watches: the same seed gives the same result file.
  void ProgressDialogChangesNothing() {
    Open(300);
    dw::FixedSeed seed(12345);
    w_->SetSeedSource(&seed);
    DialogWatcher watcher;
    w_->SetProgressDelay(1000000);
    ClickGo();
    const QStringList without = Lines(dir_.filePath("fst.txt"));
    w_->SetProgressDelay(0);
    ClickGo();
    QCOMPARE(watcher.progressDialogsSeen, 1);
    QCOMPARE(Lines(dir_.filePath("fst.txt")), without);
    QCOMPARE(watcher.seen.size(), size_t{2});
    QCOMPARE(watcher.seen[0].text, watcher.seen[1].text);
    w_->SetSeedSource(nullptr);
  }

  // Each count box shows its largest admitted value whole, in the font in
  // use, at every resolution: the text fits its text area (so the edit does
  // not scroll it) and stops short of the up and down buttons.
  void CountBoxesShowTheirLargestValue_data() {
    QTest::addColumn<int>("dpi");
    for (int dpi : {96, 100, 120, 144}) QTest::newRow(qPrintable(QString::number(dpi))) << dpi;
  }
  void CountBoxesShowTheirLargestValue() {
    QFETCH(int, dpi);
    TTestneutre w(dpi);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (dw::ui::TSpinEdit* box : {w.varP, w.varN, w.vara, w.varG, w.varechant, w.repetitions}) {
      const QString widest = QString::number(box->MaxValue());
      const int textWidth = box->fontMetrics().horizontalAdvance(widest);
      QVERIFY2(textWidth <= box->TextRect().width(),
               qPrintable(box->objectName() + ": " + QString::number(textWidth) + " > " +
                          QString::number(box->TextRect().width())));
      QVERIFY(box->TextRect().right() < box->Button()->x());
      // The edit itself: the cursor after the last digit is left of the
      // buttons, and the first digit starts where the text area does.
      box->setText(widest);
      box->setCursorPosition(widest.size());
      box->grab();  // the edit settles its scrolling when it paints
      const QRect cursor = box->inputMethodQuery(Qt::ImCursorRectangle).toRect();
      QVERIFY2(cursor.center().x() < box->Button()->x(), qPrintable(box->objectName()));
      QVERIFY2(cursor.center().x() - textWidth >= box->TextRect().left() - 1,
               qPrintable(box->objectName() + " scrolls its text"));
    }
  }

  // The status bar is at least as tall as its panels' text and borders.
  void StatusBarHoldsItsText_data() { CountBoxesShowTheirLargestValue_data(); }
  void StatusBarHoldsItsText() {
    QFETCH(int, dpi);
    TTestneutre w(dpi);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QStatusBar* bar = w.statusBar();
    QVERIFY(bar->height() >= w.Scaled(19));
    for (QLabel* panel : {w.StatusPanel1, w.StatusPanel2}) {
      const int needed = panel->fontMetrics().height() + 2 * panel->frameWidth();
      QVERIFY2(panel->height() >= needed, qPrintable(QString("%1 < %2").arg(panel->height()).arg(needed)));
      QVERIFY(panel->geometry().top() >= 0);
      QVERIFY2(panel->geometry().bottom() < bar->height(), qPrintable(panel->objectName()));
    }
    // The bar ends at the window's bottom edge, below the tabs.
    QCOMPARE(bar->geometry().bottom(), w.height() - 1);
    QVERIFY(w.PageControl1->geometry().bottom() < bar->geometry().top());
  }

  // At its designed size the window shows the designed layout; larger, the
  // results chart takes the extra room while the form stays; it never gets
  // smaller than designed. Printing keeps the chart's designed size.
  void TheChartGrowsWithTheWindow() {
    Open();
    const QSize design = w_->size();
    QCOMPARE(w_->minimumSize(), design);
    QCOMPARE(w_->DesignClientSize(), design);
    const QRect form = w_->varP->geometry();
    {
      DialogWatcher watcher;  // a run shows the chart
      ClickGo();
    }
    w_->PageControl1->setCurrentIndex(1);
    QTRY_COMPARE(w_->Chart1->geometry(), QRect(8, 52, 689, 421));
    QCOMPARE(w_->Button2->geometry(), QRect(616, 8, 65, 33));

    w_->resize(design + QSize(300, 200));
    QTRY_COMPARE(w_->Chart1->size(), QSize(989, 621));
    QCOMPARE(w_->Chart1->pos(), QPoint(8, 52));
    QCOMPARE(w_->Button2->geometry(), QRect(916, 8, 65, 33));  // at the chart's top right
    QCOMPARE(w_->findChild<QLabel*>("Label4")->pos(), QPoint(8, 4));
    QCOMPARE(w_->Chart1->Chart().ControlWidth, 989);
    QCOMPARE(w_->Chart1->Chart().ControlHeight, 621);
    const dw::chart::LogicalSize printed = dw::chart::PrintedSize(w_->Chart1->Chart());
    QCOMPARE(printed.width, 689);
    QCOMPARE(printed.height, 449);
    // The chart lays itself out over the whole widget.
    w_->Chart1->grab();
    QVERIFY(w_->Chart1->Chart().PlotRect.right > 900);
    QVERIFY(w_->Chart1->Chart().PlotRect.bottom > 450);
    w_->PageControl1->setCurrentIndex(0);
    QTRY_COMPARE(w_->varP->geometry(), form);

    // Growing only one way grows the chart only that way.
    w_->resize(design + QSize(0, 100));
    w_->PageControl1->setCurrentIndex(1);
    QTRY_COMPARE(w_->Chart1->size(), QSize(689, 521));

    // Smaller than designed is refused by the minimum size.
    w_->resize(200, 150);
    QTRY_COMPARE(w_->size(), design);
    QTRY_COMPARE(w_->Chart1->size(), QSize(689, 421));
  }

  // The file dialogs: the open dialog's filters ("*", so files without an
  // extension show), a size that shows their columns, and the "..." buttons
  // opened from the keyboard. Each opens on its field's file, in that file's
  // folder with its name in the name box, and its size, type and date
  // columns are as wide as their text.
  void FileDialogsFromTheKeyboard() {
    // A dialog keeps its columns' widths for the next one (in the settings,
    // here a folder of the test's own): narrow ones, as a smaller font left them.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.filePath("settings"));
    {
      QFileDialog earlier;
      earlier.setOption(QFileDialog::DontUseNativeDialog);
      QHeaderView* header = earlier.findChild<QTreeView*>()->header();
      for (int c = 1; c < header->count(); ++c) header->resizeSection(c, 12);
    }
    Open();
    const QString output = dir_.filePath("kept-fst.txt");
    w_->FichFst->setText(output);
    QFile earlier(dir_.filePath("earlier-fst.txt"));  // a row for the save dialog's list
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("0.1\n");
    earlier.close();
    struct Seen {
      QString name;
      QStringList filters;
      QSize size;
      QString box, folder;
      int narrowColumns = 0;
    };
    QList<Seen> seen;
    QTimer look;
    look.setInterval(5);
    connect(&look, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog || !dialog->isVisible()) return;
      auto* view = dialog->findChild<QTreeView*>();
      // The folder is read in the background: its rows first, then the widths.
      if (view && view->model()->rowCount(view->rootIndex()) == 0) return;
      Seen s{dialog->objectName(), dialog->nameFilters(), dialog->size(),
             dialog->findChild<QLineEdit*>("fileNameEdit")->text(), dialog->directory().absolutePath()};
      for (int c = 1; view && c < view->header()->count(); ++c)
        s.narrowColumns += view->columnWidth(c) < static_cast<QAbstractItemView*>(view)->sizeHintForColumn(c);
      s.narrowColumns += !view;
      seen.push_back(s);
      dialog->reject();
    });
    look.start();
    w_->FichFreq->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w_->FichFreq, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w_->SpeedButton1));
    QTest::keyClick(w_->SpeedButton1, Qt::Key_Space);
    QCOMPARE(seen.size(), 1);
    w_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w_));
    w_->FichFst->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w_->FichFst, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w_->SpeedButton2));
    QTest::keyClick(w_->SpeedButton2, Qt::Key_Space);
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen[0].name, QString("OpenDialog1"));
    QCOMPARE(seen[0].filters, (QStringList{"Text files (*.txt)", "All files (*)"}));
    QCOMPARE(seen[1].name, QString("SaveDialog1"));
    QCOMPARE(seen[1].filters, QStringList{"Text files (*.txt)"});
    const QSize least = QSize(w_->Scaled(760), w_->Scaled(500))
                            .boundedTo(w_->screen()->availableGeometry().size());
    for (const Seen& dialog : seen) {
      QVERIFY2(dialog.size.width() >= least.width() && dialog.size.height() >= least.height(),
               qPrintable(dialog.name));
      QVERIFY2(dialog.narrowColumns == 0, qPrintable(dialog.name));
    }
    QCOMPARE(seen[0].box, QFileInfo(kInput).fileName());
    QCOMPARE(seen[0].folder, QFileInfo(kInput).absolutePath());
    QCOMPARE(seen[1].box, QString("kept-fst.txt"));  // not written yet: named all the same
    QCOMPARE(seen[1].folder, QFileInfo(output).absolutePath());
    // Cancelled: the boxes keep their texts.
    QCOMPARE(w_->FichFreq->text(), kInput);
  }

  // Every control of the form has an entry in the help pages, and F1 on a
  // control opens the help window at its entry; "&Help" opens the contents.
  void EveryFieldHasItsHelpEntry() {
    Open();
    dw::ui::SetHelpSearchPath({QStringLiteral(DW_HELP_DIR)});
    QList<QWidget*> controls;
    for (QWidget* c : w_->TabSheet1->findChildren<QWidget*>())
      if (c->focusPolicy() & Qt::TabFocus) controls << c;
    controls << w_->Chart1 << w_->Button2;
    QVERIFY(controls.size() >= 18);
    for (QWidget* control : controls) {
      const QString topic = dw::ui::HelpTopicOf(control);
      // A field's entry is a place in a page, not just the page.
      const bool field = qobject_cast<QLineEdit*>(control) || qobject_cast<QAbstractButton*>(control);
      QVERIFY2(!field || topic.contains('#') || topic == "index.html" || topic == "printing.html",
               qPrintable(control->objectName() + " has no entry of its own: " + topic));
      QFile page(QDir(DW_HELP_DIR).filePath(topic.section('#', 0, 0)));
      QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(control->objectName() + ": " + topic));
      const QString html = QString::fromUtf8(page.readAll());
      if (topic.contains('#'))
        QVERIFY2(html.contains("name=\"" + topic.section('#', 1) + "\""), qPrintable(topic));
    }

    w_->varN->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(w_->varN, Qt::Key_F1);
    auto* help = qobject_cast<dw::ui::THelpWindow*>(dw::ui::HelpWindow());
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QCOMPARE(QFileInfo(help->Browser()->source().path()).fileName(), QString("fields.html"));
    QCOMPARE(help->Browser()->source().fragment(), QString("size"));
    QTest::mouseClick(w_->BitBtn2, Qt::LeftButton);
    QCOMPARE(QFileInfo(help->Browser()->source().path()).fileName(), QString("index.html"));
    w_->PageControl1->setCurrentIndex(1);
    w_->Chart1->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(w_->Chart1, Qt::Key_F1);
    QCOMPARE(QFileInfo(help->Browser()->source().path()).fileName(), QString("histogram.html"));
    dw::ui::QuitHelp();
    dw::ui::SetHelpSearchPath({});
  }

  void CloseButtonClosesTheWindow() {
    Open();
    QTest::keyClick(w_->varP, Qt::Key_C, Qt::AltModifier);
    QVERIFY(!w_->isVisible());
  }
};

int main(int argc, char** argv) {
  dw::ui::TApplication app(argc, argv);
  dw::ui::InitialiseApplication(app, "driftwise");
  MainWindowTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "mainwindow_test.moc"
