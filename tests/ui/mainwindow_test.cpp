// The main window driven as a user drives it: its definition, the run from
// "&Go" by mouse and by Alt+G, the run's messages and errors, the chart it
// fills, the locale's separator, and the progress dialog's Cancel.
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include "chart/qt/chart_widget.h"
#include "dialogs.h"
#include "ui/application.h"
#include "ui/locale.h"
#include "ui/mainwindow.h"

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
      QCOMPARE(s.box->geometry(), s.at);
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
    QCOMPARE(w_->Button2->text(), QString("Print"));
    QCOMPARE(w_->Chart1->geometry(), QRect(8, 24, 689, 449));
    QCOMPARE(w_->SpeedButton1->focusPolicy(), Qt::NoFocus);
    QVERIFY(w_->SpeedButton1->font().bold());
    QCOMPARE(w_->StatusPanel1->width(), 600);
    QCOMPARE(w_->StatusPanel2->text(), QString("<-  Help \"Driftwise\" Rel 1.0"));
    QCOMPARE(w_->statusBar()->height(), 19);

    const char* labels[][2] = {{"Label1", "Number of populations (P) :"},
                               {"Label13", "Sampling size per pop. (n) :"},
                               {"Label22", "observed Delta = WC - RH :"},
                               {"Label4", "The class corresponding to observed Delta appears in red"}};
    for (auto& l : labels)
      QCOMPARE(w_->findChild<QLabel*>(l[0])->text(), QString(l[1]));
    QCOMPARE(w_->Chart1->Chart().Title.Text.Lines(),
             std::vector<std::string>{"Histogram of simulated values of Delta"});
  }

  // Tab walks the boxes in the form's order.
  void TabOrder() {
    Open();
    w_->varP->setFocus(Qt::TabFocusReason);
    QWidget* expected[] = {w_->varN,    w_->varm,     w_->vara,    w_->varG,
                           w_->varechant, w_->vdelta, w_->infinite, w_->repetitions,
                           w_->FichFreq, w_->FichFst, w_->Button1, w_->BitBtn2,
                           w_->BitBtn1};
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

  void InputChecksShowTheirMessages_data() {
    QTest::addColumn<QString>("m");
    QTest::addColumn<QString>("n");
    QTest::addColumn<QString>("message");
    QTest::newRow("m above 1") << "1.0001" << "50" << "The migration rate must be between 0 and 1";
    QTest::newRow("m below 0") << "-0.5" << "50" << "The migration rate must be between 0 and 1";
    QTest::newRow("both wrong") << "2" << "500" << "The migration rate must be between 0 and 1";
    QTest::newRow("n above N")
        << "0.1" << "101" << "Sampling size cannot be higher than population size";
  }
  void InputChecksShowTheirMessages() {
    QFETCH(QString, m);
    QFETCH(QString, n);
    QFETCH(QString, message);
    Open();
    QFile::remove(dir_.filePath("fst.txt"));
    Retype(w_->varm, m);
    Retype(w_->varechant, n);
    DialogWatcher watcher;
    ClickGo();
    QCOMPARE(watcher.seen.size(), size_t{1});
    QCOMPARE(watcher.seen[0].kind, SeenDialog::Info);
    QCOMPARE(watcher.seen[0].text, message);
    QVERIFY(!QFile::exists(dir_.filePath("fst.txt")));
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
               QString("Sampling size cannot be higher than population size"));
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
    QCOMPARE(watcher.seen[0].text, QString("Fichier introuvable."));
    QCOMPARE(watcher.seen[0].icon, QMessageBox::Critical);
    QVERIFY(!QFile::exists(dir_.filePath("fst.txt")));
    // The window goes on: the next run with a good file finishes.
    w_->FichFreq->setText(kInput);
    ClickGo();
    QCOMPARE(watcher.seen.size(), size_t{2});
    QVERIFY(watcher.seen[1].text.startsWith("Finished : 5 simulations"));
  }

  // With a comma as the decimal separator the default texts are refused until
  // retyped with a comma.
  void CommaLocaleRefusesAPoint() {
    const dw::NumberMarks french =
        dw::ui::NumberMarksFromLocale(QLocale(QLocale::French, QLocale::France));
    QCOMPARE(french.decimal, ',');
    Open(5);
    dw::ui::SetNumberMarks(french);
    DialogWatcher watcher;
    ClickGo();
    QCOMPARE(watcher.seen.size(), size_t{1});
    QCOMPARE(watcher.seen[0].kind, SeenDialog::Error);
    QCOMPARE(watcher.seen[0].text,
             QString("'0.1' n'est pas une valeur en virgule flottante correcte."));
    Retype(w_->varm, "0,1");
    Retype(w_->vdelta, "0,005");
    ClickGo();
    QCOMPARE(watcher.seen.size(), size_t{2});
    QVERIFY2(watcher.seen[1].text.startsWith("Finished : 5 simulations"),
             qPrintable(watcher.seen[1].text));
  }

  void CancelInTheProgressDialog() {
    Open(10000);
    w_->SetProgressDelay(0);
    DialogWatcher watcher(/*cancelProgress=*/true);
    ClickGo();
    QCOMPARE(watcher.progressDialogsSeen, 1);
    QCOMPARE(watcher.seen.size(), size_t{1});
    const QString text = watcher.seen[0].text;
    QVERIFY2(text.startsWith("Run cancelled: ") && text.endsWith(" of 10000 simulations were completed"),
             qPrintable(text));
    const int done = text.section(' ', 2, 2).toInt();
    QVERIFY(done >= 3 && done < 10000);
    QCOMPARE(SimulationLines(dir_.filePath("fst.txt")), done);
    QCOMPARE(w_->Chart1->Series1().Count(), 0);  // no histogram
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
