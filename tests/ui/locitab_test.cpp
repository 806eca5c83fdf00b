// The Loci tab driven as a user drives it, against the command line run on
// the same file: the table `driftwise observe` prints, a refused file, "Use
// this locus" and the frequency file `scan --results-dir` keeps, a scan with
// a given seed and its exports byte for byte as `driftwise scan` writes
// them, a cancelled scan, and the table's print pages.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>
#include <functional>

#include "chart/recording_canvas.h"
#include "dialogs.h"
#include "runtime/numtext.h"
#include "ui/application.h"
#include "ui/chartpreview.h"
#include "ui/help.h"
#include "ui/locale.h"
#include "ui/locitab.h"
#include "ui/mainwindow.h"

using dw::ui::TLociModel;
using dw::ui::TTestneutre;

namespace {

const QString kExample = QStringLiteral(DW_SOURCE_DIR "/examples/five-samples.gen");
const QString kScanAsCommandLine = "Scan results as from the command line, with its JSON (*.tsv)";

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

// The command line in `folder`: its standard output and error, and its status.
struct Ran {
  QByteArray out, err;
  int status = -1;
};
Ran RunProgram(const QStringList& arguments, const QString& folder) {
  QProcess p;
  p.setWorkingDirectory(folder);
  p.start(QStringLiteral(DW_PROGRAM), arguments);
  p.waitForFinished(120000);
  return {p.readAllStandardOutput(), p.readAllStandardError(), p.exitCode()};
}

// Answers the next file dialog named `name` with `file` (accept) of the
// type `filter` (empty: the one offered), or cancels it when `file` is
// empty; counts the dialogs answered.
class FileDialogAnswer : public QObject {
 public:
  FileDialogAnswer(QString name, QString file, QString filter = {})
      : name_(std::move(name)), file_(std::move(file)), filter_(std::move(filter)) {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, [this] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog || !dialog->isVisible() || dialog->objectName() != name_) return;
      proposed = dialog->selectedFiles().value(0);
      caption = dialog->windowTitle();
      ++answered;
      if (file_.isEmpty()) {
        dialog->reject();
        return;
      }
      if (!filter_.isEmpty()) dialog->selectNameFilter(filter_);
      dialog->selectFile(file_);
      QMetaObject::invokeMethod(dialog, "accept");
    });
    timer_.start();
  }
  int answered = 0;
  QString proposed;  // what the dialog offered
  QString caption;   // its title

 private:
  QString name_, file_, filter_;
  QTimer timer_;
};

// The model's cells of the first `columns` columns, in file order, as TSV
// lines after the header.
QByteArray ModelTsv(const TLociModel& model, int columns) {
  QByteArray text;
  for (int c = 0; c < columns; ++c)
    text += (c ? "\t" : "") + model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().toUtf8();
  text += "\n";
  for (int r = 0; r < model.rowCount(); ++r) {
    for (int c = 0; c < columns; ++c)
      text += (c ? "\t" : "") + model.index(r, c).data(TLociModel::TextRole).toString().toUtf8();
    text += "\n";
  }
  return text;
}

}  // namespace

class LociTabTest : public QObject {
  Q_OBJECT

 private:
  TTestneutre* w_ = nullptr;
  QTemporaryDir dir_;

  QString Path(const QString& name) const { return dir_.filePath(name); }

  void Open() {
    delete w_;
    w_ = new TTestneutre(120);
    w_->show();
    w_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w_));
  }

  // Ctrl+O and the open dialog, as a user opens a file.
  void OpenFile(const QString& file) {
    FileDialogAnswer answer("GenepopDialog", file);
    w_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w_));
    QTest::keyClick(w_, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(answer.answered, 1);
  }

  // A scan of the example with a given seed and T (the tab's), to its end.
  void Scan(const QString& seed, int T = 100) {
    w_->Loci->ScanT->SetValue(T);
    w_->Loci->ScanSeed->setText(seed);
    QTest::mouseClick(w_->Loci->ScanButton, Qt::LeftButton);
  }

  // The scan's headline, fitted null and flagged list, as the label holds them.
  QStringList ScanLines() const { return w_->Loci->ScanLabel->text().split('\n'); }

  int RowOf(const QString& locus) const {
    const TLociModel& model = w_->Loci->Model();
    for (int r = 0; r < model.rowCount(); ++r)
      if (model.index(r, 0).data().toString() == locus) return r;
    return -1;
  }

  void SelectLocus(const QString& locus) {
    const QModelIndex source = w_->Loci->Model().index(RowOf(locus), 0);
    w_->Loci->LociTable->selectRow(w_->Loci->SortModel().mapFromSource(source).row());
  }

 private slots:
  void init() { dw::ui::SetNumberMarks(dw::NumberMarks{'.', ','}); }
  void cleanupTestCase() { delete w_; }

  // Ctrl+O from the Parameters tab opens the file on the Loci tab, whose
  // table holds the rows `driftwise observe` prints; the columns sort as
  // numbers, NA last.
  void OpeningAFileShowsTheRowsObservePrints() {
    Open();
    QCOMPARE(w_->PageControl1->tabText(2), QString("Loci"));
    QVERIFY(!w_->Loci->ScanButton->isEnabled());
    OpenFile(kExample);
    QCOMPARE(w_->PageControl1->currentIndex(), 2);
    const Ran observe = RunProgram({"observe", kExample}, dir_.path());
    QCOMPARE(observe.status, 0);
    const TLociModel& model = w_->Loci->Model();
    QCOMPARE(model.columnCount(), 12);
    QCOMPARE(ModelTsv(model, 12), observe.out);
    QCOMPARE(w_->Loci->FileLabel->text(),
             QString("five-samples.gen: 9 loci, 5 samples, 150 individuals; 8 loci to test (1 with two "
                     "alleles, by WC alone)"));
    QVERIFY(w_->Loci->ScanButton->isEnabled());
    QVERIFY(!w_->Loci->UseLocusButton->isEnabled());  // nothing selected
    SelectLocus("Sod");
    QVERIFY(!w_->Loci->UseLocusButton->isEnabled());  // monomorphic
    SelectLocus("Lap");
    QVERIFY(w_->Loci->UseLocusButton->isEnabled());

    // Delta descending: Lap first, then Est2; the three NA of Sod, Got1's 0
    // and the negatives after; ascending puts NA last too.
    auto* table = w_->Loci->LociTable;
    const int delta = model.ColumnOf("Delta");
    const auto column = [&](int c) {
      QStringList cells;
      for (int r = 0; r < table->model()->rowCount(); ++r)
        cells << table->model()->index(r, c).data().toString();
      return cells;
    };
    table->sortByColumn(delta, Qt::DescendingOrder);
    QCOMPARE(column(0), (QStringList{"Lap", "Est2", "Idh", "Got1", "Pgm", "Adh", "Mdh1", "Ck", "Sod"}));
    table->sortByColumn(delta, Qt::AscendingOrder);
    QCOMPARE(column(0).first(), QString("Ck"));
    QCOMPARE(column(0).last(), QString("Sod"));

    // With a decimal comma the numbers show with it; the texts are unchanged.
    dw::ui::SetNumberMarks(dw::NumberMarks{',', '.'});
    w_->Loci->Model().SetNumberMarks(dw::NumberMarks{',', '.'});
    const QModelIndex lapDelta = model.index(RowOf("Lap"), delta);
    QCOMPARE(lapDelta.data().toString(), QString("0,07006491600"));
    QCOMPARE(lapDelta.data(TLociModel::TextRole).toString(), QString("0.07006491600"));
    QCOMPARE(model.index(RowOf("Lap"), 0).data().toString(), QString("Lap"));
  }

  // A file the reader refuses is named with its line in the error box, as
  // `driftwise observe` names it; the tab keeps the file it showed.
  void ARefusedFileLeavesTheTabAsItWas() {
    Open();
    OpenFile(kExample);
    const QByteArray before = ModelTsv(w_->Loci->Model(), 12);
    const QString label = w_->Loci->FileLabel->text();
    QByteArray text = ReadAll(kExample);
    text.replace("s1-04 , 104108 0303 1616 0202 0502 095105 0101 0503 0104",
                 "s1-04 , 104108 0303 1616 0202 0502 095105 0101 0503");
    const QString bad = QDir::toNativeSeparators(Path("bad.gen"));
    WriteAll(bad, text);
    const Ran observe = RunProgram({"observe", bad}, dir_.path());
    QCOMPARE(observe.status, 1);
    DialogWatcher watcher;
    OpenFile(bad);
    QCOMPARE(watcher.seen.size(), size_t{1});
    QCOMPARE(watcher.seen[0].kind, SeenDialog::Error);
    QCOMPARE(watcher.seen[0].text + "\n", QString::fromUtf8(observe.err).chopped(1) + ".\n");
    QVERIFY(watcher.seen[0].text.startsWith(bad + ", line 12: wrong number of genotypes"));
    QCOMPARE(ModelTsv(w_->Loci->Model(), 12), before);
    QCOMPARE(w_->Loci->FileLabel->text(), label);
    QCOMPARE(w_->Loci->FileName(), QDir::toNativeSeparators(kExample));
  }

  // A VCF asks for its population map, proposing the one beside it; the
  // table is what `observe --popmap` prints, chrom and pos included.
  void AVcfOpensWithItsPopulationMap() {
    Open();
    const QString vcf = QDir::toNativeSeparators(Path("sites.vcf"));
    const QString map = QDir::toNativeSeparators(Path("sites.popmap.tsv"));
    WriteAll(vcf,
             "##fileformat=VCFv4.2\n##contig=<ID=chr3>\n"
             "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
             "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ta1\ta2\tb1\tb2\tx\n"
             "chr3\t101\tmsat\tA\tC,G\t.\t.\t.\tGT\t0/1\t0/2\t2/2\t1|2\t0/0\n"
             "chr3\t205\t.\tA\tC\t.\t.\t.\tGT\t0/1\t0/0\t1/1\t./.\t0/1\n");
    WriteAll(map, "a1\tnorth\na2\tnorth\nb1\tsouth\nb2\tsouth\n");
    const Ran observe = RunProgram({"observe", vcf, "--popmap", map}, dir_.path());
    QCOMPARE(observe.status, 0);
    {
      FileDialogAnswer answerMap("PopmapDialog", map);
      OpenFile(vcf);
      QCOMPARE(answerMap.answered, 1);
      QCOMPARE(QDir::toNativeSeparators(answerMap.proposed), map);
    }
    const TLociModel& model = w_->Loci->Model();
    QCOMPARE(model.columnCount(), 14);
    QCOMPARE(ModelTsv(model, 14), observe.out);
    QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("chrom"));
    QCOMPARE(model.index(RowOf("chr3:205"), 2).data().toString(), QString("205"));
    QCOMPARE(w_->Loci->FileLabel->text(),
             QString("sites.vcf: 2 loci, 2 samples, 4 individuals; 2 loci to test (1 with two alleles, by "
                     "WC alone); 1 sample not "
                     "in the population map left out"));
    // Cancelling the map's dialog leaves the tab as it was.
    FileDialogAnswer cancelMap("PopmapDialog", "");
    OpenFile(kExample);
    OpenFile(vcf);
    QCOMPARE(cancelMap.answered, 1);
    QCOMPARE(w_->Loci->FileName(), QDir::toNativeSeparators(kExample));
  }

  // "Use this locus" on Lap: P, A, n and Delta on the Parameters tab, and
  // the frequency file `scan --results-dir` keeps, for either start; Go then
  // runs the test `driftwise run` runs with those values.
  void UseThisLocusFillsTheParametersTab() {
    Open();
    OpenFile(kExample);
    const Ran scan = RunProgram({"scan", kExample, "-m", "0.1", "-I", "2", "-T", "1", "--seed", "1",
                                 "--results-dir", "pooled"},
                                dir_.path());
    QCOMPARE(scan.status, 0);
    const Ran observed = RunProgram({"scan", kExample, "-m", "0.1", "-I", "2", "-T", "1", "--seed",
                                     "1", "--start", "observed", "--results-dir", "observed"},
                                    dir_.path());
    QCOMPARE(observed.status, 0);
    for (const QString start : {"pooled", "observed"}) {
      w_->PageControl1->setCurrentIndex(2);
      w_->Loci->StartChoice->setCurrentIndex(start == "pooled" ? 0 : 1);
      SelectLocus("Lap");
      const QString file = Path("lap-" + start + ".txt");
      FileDialogAnswer answer("FrequencyFileDialog", file);
      QTest::mouseClick(w_->Loci->UseLocusButton, Qt::LeftButton);
      QCOMPARE(answer.answered, 1);
      // Offered beside the data file under the name the scan keeps it by.
      QCOMPARE(answer.proposed, QFileInfo(kExample).absolutePath() + "/locus005-Lap-freq.txt");
      QCOMPARE(ReadAll(file), ReadAll(Path(start + "/locus005-Lap-freq.txt")));
      QCOMPARE(w_->varP->Value(), 5);
      QCOMPARE(w_->vara->Value(), 8);
      QCOMPARE(w_->varechant->Value(), 29);  // 28.6 rounded
      QCOMPARE(w_->FichFreq->text(), QDir::toNativeSeparators(file));
      QCOMPARE(w_->PageControl1->currentIndex(), 0);
    }
    // Every digit of the observed Delta, so the run counts as the scan does.
    const QString delta = w_->vdelta->text();
    QVERIFY2(delta.startsWith("0.0700649"), qPrintable(delta));
    QVERIFY(delta.size() > 12);
    QCOMPARE(w_->vdelta->cursorPosition(), 0);  // the box shows its first digits

    // A cancelled dialog writes nothing and changes nothing.
    w_->PageControl1->setCurrentIndex(2);
    SelectLocus("Est2");
    {
      FileDialogAnswer answer("FrequencyFileDialog", "");
      QTest::mouseClick(w_->Loci->UseLocusButton, Qt::LeftButton);
      QCOMPARE(answer.answered, 1);
    }
    QCOMPARE(w_->vara->Value(), 8);
    QCOMPARE(w_->vdelta->text(), delta);

    // Go: the same result file as `driftwise run` with these values.
    dw::FixedSeed seed(9);
    w_->SetSeedSource(&seed);
    w_->repetitions->SetValue(20);
    w_->FichFst->setText(Path("window-fst.txt"));
    DialogWatcher watcher;
    QTest::mouseClick(w_->Button1, Qt::LeftButton);
    w_->SetSeedSource(nullptr);
    QCOMPARE(watcher.seen.size(), size_t{1});
    QVERIFY2(watcher.seen[0].text.startsWith("Finished : 20 simulations"), qPrintable(watcher.seen[0].text));
    const Ran run = RunProgram({"run", "--seed", "9", "-P", "5", "-N", "100", "-A", "8", "-T", "100",
                                "-n", "29", "-I", "20", "-d", delta, "-i", Path("lap-observed.txt"),
                                "-o", "run-fst.txt"},
                               dir_.path());
    QCOMPARE(run.status, 0);
    QCOMPARE(ReadAll(Path("window-fst.txt")), ReadAll(Path("run-fst.txt")));
  }

  // A scan with a given seed: the table's scan columns, the exported TSV,
  // its JSON document and the plot are those of `driftwise scan --seed`.
  void AScanGivesWhatTheCommandLineGives() {
    Open();
    OpenFile(kExample);
    w_->SetProgressDelay(1000000);
    // The Parameters tab's N is a single test's, not the scan's.
    w_->varN->SetValue(400);
    DialogWatcher watcher;
    Scan("2026");
    QCOMPARE(watcher.seen.size(), size_t{0});
    QVERIFY(w_->Loci->Scan());
    // The command the tab shows is the one it ran: run it as shown.
    const QString tip = w_->Loci->ScanLabel->toolTip();
    const QString shown = tip.section("The same scan from the command line:\n  ", 1).trimmed();
    QCOMPARE(shown, "driftwise scan '" + kExample +
                        "' -N 100 -T 100 --model infinite --start pooled --seed 2026");
    QStringList arguments;  // the shell's words: '…' quotes a name
    for (const QString& word : shown.split(' ').mid(1)) arguments << (word.startsWith('\'') ? word.mid(1).chopped(1) : word);
    arguments << "--tsv" << "cli.tsv" << "--json" << "cli.json" << "--plot" << "cli.png";
    const Ran cli = RunProgram(arguments, dir_.path());
    QVERIFY2(cli.status == 0, cli.err.constData());
    const TLociModel& model = w_->Loci->Model();
    QVERIFY(model.HasScan());
    QCOMPARE(model.columnCount(), 12 + 19);
    // The scan's cells, column by column, are the command line's.
    const QList<QByteArray> lines = ReadAll(Path("cli.tsv")).split('\n');
    const QList<QByteArray> names = lines[0].split('\t');
    for (int r = 0; r < model.rowCount(); ++r) {
      const QList<QByteArray> cells = lines[r + 1].split('\t');
      for (int c = 12; c < model.columnCount(); ++c) {
        const QString name = model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        const int at = names.indexOf(name.toUtf8());
        QVERIFY2(at >= 0, qPrintable(name));
        QCOMPARE(model.index(r, c).data(TLociModel::TextRole).toString(), QString::fromUtf8(cells[at]));
      }
    }
    // A row is marked by the tests whose q is within the false discovery rate.
    const auto within = [&](int r, const char* column) {
      bool number = false;
      const double q = model.index(r, model.ColumnOf(column)).data(TLociModel::TextRole).toString().toDouble(&number);
      return number && q <= w_->Loci->Scan()->fdr;
    };
    for (int r = 0; r < model.rowCount(); ++r)
      QCOMPARE(model.FlagOf(r), (within(r, "q_value") ? 1u : 0u) | (within(r, "q_wc") ? 2u : 0u));
    QVERIFY(model.FlagOf(RowOf("Lap")) != 0);
    QVERIFY(w_->Loci->ScanPlot->isVisible());
    QVERIFY(ScanLines()[0].startsWith("Scan with seed 2026, counts engine, sequential p-values"));
    QVERIFY(QString::fromStdString(dw::scan::PlotOf(*w_->Loci->Scan()).title).contains(" fitted (95 % "));

    {
      FileDialogAnswer answer("ExportTableDialog", Path("window.tsv"), kScanAsCommandLine);
      QTest::mouseClick(w_->Loci->ExportTableButton, Qt::LeftButton);
      QCOMPARE(answer.answered, 1);
    }
    QCOMPARE(ReadAll(Path("window.tsv")), ReadAll(Path("cli.tsv")));
    QCOMPARE(ReadAll(Path("window.json")), ReadAll(Path("cli.json")));
    QVERIFY(ReadAll(Path("window.json")).contains("\"seed\": 2026,"));
    {
      FileDialogAnswer answer("ExportPlotDialog", Path("window.png"));
      // The size asked next is left as proposed: the command line's.
      int sizeAsked = 0;
      QTimer sizeAnswer;
      sizeAnswer.setInterval(5);
      QObject::connect(&sizeAnswer, &QTimer::timeout, &sizeAnswer, [&] {
        auto* dialog = qobject_cast<dw::ui::TPlotSizeDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        ++sizeAsked;
        dialog->accept();
      });
      sizeAnswer.start();
      QTest::mouseClick(w_->Loci->ExportPlotButton, Qt::LeftButton);
      QCOMPARE(answer.answered, 1);
      QCOMPARE(sizeAsked, 1);
    }
    QCOMPARE(ReadAll(Path("window.png")), ReadAll(Path("cli.png")));
    QCOMPARE(watcher.seen.size(), size_t{0});

    // The table as shown: every observed and scan column, every row, as sorted.
    w_->Loci->LociTable->sortByColumn(model.ColumnOf("q_value"), Qt::AscendingOrder);
    {
      FileDialogAnswer answer("ExportTableDialog", Path("shown.tsv"));
      QTest::mouseClick(w_->Loci->ExportTableButton, Qt::LeftButton);
      QCOMPARE(answer.answered, 1);
    }
    const QList<QByteArray> shownLines = ReadAll(Path("shown.tsv")).split('\n');
    QCOMPARE(shownLines.size(), 1 + 9 + 1);  // the header, a row per locus, the last LF
    const QList<QByteArray> header = shownLines[0].split('\t');
    QCOMPARE(header.size(), model.columnCount());
    for (const char* column : {"locus", "n_min", "Ho", "He", "Delta", "note", "simulations", "q_value", "q_wc", "stop"})
      QVERIFY2(header.contains(column), column);
    QVERIFY(shownLines[1].startsWith("Lap\t"));
    QCOMPARE(shownLines[1].split('\t')[header.indexOf("q_value")],
             model.index(RowOf("Lap"), model.ColumnOf("q_value")).data(TLociModel::TextRole).toString().toUtf8());
    QVERIFY(!QFile::exists(Path("shown.json")));

    // The table prints through the preview, rows as sorted on screen.
    bool previewed = false;
    QTimer::singleShot(50, [&] {
      auto* preview = qobject_cast<dw::ui::TChartPreview*>(QApplication::activeModalWidget());
      QVERIFY(preview);
      auto& printable = static_cast<dw::ui::TLociTablePrintable&>(preview->Printable());
      QCOMPARE(printable.Table().rows.size(), size_t{9});
      QCOMPARE(printable.Table().rows[0][0], std::string("Lap"));
      QVERIFY(printable.Table().flagged[0]);
      previewed = true;
      preview->BClose->click();
    });
    QTest::mouseClick(w_->Loci->PrintTableButton, Qt::LeftButton);
    QVERIFY(previewed);
  }

  // Cancel in the scan's progress window: no scan columns (also after a
  // finished scan), no plot, and the temporary folder gone.
  void ACancelledScanLeavesNoScanColumns() {
    QTemporaryDir temporary;
    qputenv("TMPDIR", temporary.path().toUtf8());
    Open();
    OpenFile(kExample);
    w_->SetProgressDelay(1000000);
    {
      DialogWatcher notes;  // the fit's notes, if any
      Scan("3");
    }
    QVERIFY(w_->Loci->Model().HasScan());
    w_->SetProgressDelay(0);
    bool sawProgress = false;
    QTimer cancel;
    cancel.setInterval(5);
    connect(&cancel, &QTimer::timeout, [&] {
      for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* progress = qobject_cast<QProgressDialog*>(top);
        if (!progress || !progress->isVisible() || progress->objectName() != "ScanProgress") continue;
        sawProgress = true;
        progress->findChild<QPushButton*>()->click();
      }
    });
    cancel.start();
    DialogWatcher watcher;
    Scan("4", 65535);
    cancel.stop();
    qunsetenv("TMPDIR");
    QVERIFY(sawProgress);
    QCOMPARE(watcher.seen.size(), size_t{1});
    QCOMPARE(watcher.seen[0].text, QString("Scan cancelled: the table shows the observed statistics alone."));
    QVERIFY(!w_->Loci->Model().HasScan());
    QCOMPARE(w_->Loci->Model().columnCount(), 12);
    QVERIFY(!w_->Loci->Scan());
    QVERIFY(w_->Loci->LociTable->isColumnHidden(0));  // the names still head the rows
    QVERIFY(!w_->Loci->ScanPlot->isVisible());
    QVERIFY(!w_->Loci->ExportPlotButton->isEnabled());
    QVERIFY(QDir(temporary.path()).isEmpty());
  }

  // The progress of a scan: one bar that never goes back, the stage named,
  // the time elapsed and, once it can be told, the time left.
  void TheProgressShowsTheWholeScan() {
    Open();
    OpenFile(kExample);
    w_->SetProgressDelay(0);
    QStringList labels;
    QList<int> values;
    QElapsedTimer since;
    since.start();
    QTimer look;
    look.setInterval(20);
    connect(&look, &QTimer::timeout, [&] {
      for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* progress = qobject_cast<QProgressDialog*>(top);
        if (!progress || !progress->isVisible() || progress->objectName() != "ScanProgress") continue;
        if (progress->labelText().startsWith("Cancelling")) continue;
        labels << progress->labelText();
        values << progress->value();
        if (labels.last().contains(" left") || since.elapsed() > 20000) progress->findChild<QPushButton*>()->click();
      }
    });
    look.start();
    DialogWatcher watcher;
    Scan("6", 3000);  // slow enough to see the time left, quick to get there
    look.stop();
    QVERIFY(!labels.isEmpty());
    static const QRegularExpression shape(
        "^(Starting the scan|Fitting the null: pass [1-9][0-9]* (of 5|\\(more than the usual 5\\))|Testing: [0-9]+ of 7 loci resolved)\n"
        "[0-9]+ (s|min [0-9]+ s) elapsed(, about [0-9]+ (s|min [0-9]+ s|h [0-9]+ min) left)?$");
    for (const QString& label : labels) QVERIFY2(shape.match(label).hasMatch(), qPrintable(label));
    QVERIFY2(labels.last().contains(" left"), qPrintable(labels.last()));
    QVERIFY(labels.filter(QRegularExpression("^Fitting the null: pass 1 of 5\n")).size() > 0);
    for (int i = 1; i < values.size(); ++i) QVERIFY(values[i] >= values[i - 1]);
    QVERIFY(values.last() > 0);
  }

  // The window system's close request during a scan asks first; "Yes"
  // cancels the scan and closes the window once its threads have stopped.
  void ClosingDuringAScanAsksFirst() {
    Open();
    OpenFile(kExample);
    w_->SetProgressDelay(0);
    DialogWatcher watcher;
    watcher.answer = QMessageBox::Yes;
    bool asked = false;
    QTimer close;
    close.setInterval(5);
    connect(&close, &QTimer::timeout, [&] {
      if (asked) return;
      for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == "ScanProgress" && top->isVisible()) {
          asked = true;
          QTimer::singleShot(0, w_, [this] { w_->windowHandle()->close(); });
        }
    });
    close.start();
    Scan("5", 65535);
    QVERIFY(asked);
    QCOMPARE(watcher.seen.size(), size_t{1});
    QCOMPARE(watcher.seen[0].kind, SeenDialog::Question);
    QVERIFY2(watcher.seen[0].text.startsWith("A scan is in progress ("), qPrintable(watcher.seen[0].text));
    QVERIFY(!w_->isVisible());
    QVERIFY(!w_->Loci->ScanInProgress());
    QVERIFY(!w_->Loci->Model().HasScan());
  }

  // "Use this locus" hands over what the single test needs to agree with
  // the scan: after a scan the null it fitted (N, m, T, model), and the
  // scan's p-values shown beside the single test's; before one, m stays.
  void UseThisLocusCarriesTheScansNull() {
    Open();
    OpenFile(kExample);
    w_->SetProgressDelay(1000000);
    struct Case {
      bool scanned;
      const char* model;  // the tab's model, as listed
    };
    for (const Case c : {Case{false, "Infinite island"}, Case{true, "Stepping-stone"}}) {
      w_->varm->setText("0.1");
      w_->infinite->setChecked(true);
      w_->PageControl1->setCurrentIndex(2);
      w_->Loci->ScanModel->setCurrentText(c.model);
      if (c.scanned) {
        DialogWatcher watcher;
        Scan("7", 40);
        QVERIFY(w_->Loci->Scan());
      }
      SelectLocus("Lap");
      FileDialogAnswer answer("FrequencyFileDialog", Path(c.scanned ? "lap-null.txt" : "lap-m.txt"));
      QTest::mouseClick(w_->Loci->UseLocusButton, Qt::LeftButton);
      QCOMPARE(answer.answered, 1);
      QCOMPARE(answer.caption, QString("Initial frequencies of Lap: the single test starts its populations from this file"));
      const QString status = w_->StatusPanel1->text();
      if (!c.scanned) {
        QCOMPARE(w_->varm->text(), QString("0.1"));
        QVERIFY2(status.endsWith("stay as they were (no scan has fitted them)"), qPrintable(status));
        continue;
      }
      const dw::scan::NullModel& null = w_->Loci->Scan()->null;
      QCOMPARE(null.model, std::string("stepping"));
      QCOMPARE(w_->varm->text().toStdString(), null.m);
      QCOMPARE(w_->varN->Value(), null.N);
      QCOMPARE(w_->varG->Value(), 40);
      QVERIFY(w_->stepping->isChecked());
      QCOMPARE(status, "Lap: P, A, n and Delta set, with the scan's null (N = 100, m = " +
                           QString::fromStdString(null.m) + ", T = 40, stepping-stone)");
      // Go: the single test's p-values, then the scan's for the same locus.
      w_->repetitions->SetValue(20);
      w_->FichFst->setText(Path("null-fst.txt"));
      DialogWatcher watcher;
      QTest::mouseClick(w_->Button1, Qt::LeftButton);
      QCOMPARE(watcher.seen.size(), size_t{1});
      const QStringList lines = w_->ResultLabel->text().split('\n');
      QVERIFY2(lines[0].startsWith("p_higher = "), qPrintable(lines[0]));
      const dw::scan::ScannedLocus& lap = w_->Loci->Scan()->loci[RowOf("Lap")];
      QCOMPARE(lines[1], w_->Loci->ScanResultLine(lap));
      QVERIFY2(lines[1].startsWith("Scan of Lap: Delta p_higher = "), qPrintable(lines[1]));
    }
  }

  // The headline counts each test's flags apart, the fitted null keeps its
  // line however long the flagged list, and the list is whole in the tooltip
  // and in the printed title.
  void TheHeadlineCountsEachTestApart() {
    Open();
    OpenFile(kExample);
    w_->SetProgressDelay(1000000);
    DialogWatcher watcher;
    Scan("2026");
    const dw::scan::ScanSummary& s = *w_->Loci->Scan();
    const QString counts = QString("by Delta: %1 of %2 loci; by WC: %3 of %4")
                               .arg(s.flaggedDelta).arg(s.testedDelta).arg(s.flaggedWc).arg(s.testedWc);
    for (const int width : {0, 400}) {
      w_->resize(w_->minimumSize() + QSize(width, 0));
      QTRY_COMPARE(w_->Loci->ScanLabel->width(), w_->Loci->FileLabel->width());
      const QStringList lines = ScanLines();
      QCOMPARE(lines.size(), 3);
      QVERIFY2(lines[0].endsWith(counts) || lines[0].endsWith(QChar(0x2026)), qPrintable(lines[0]));
      QVERIFY2(lines[1].startsWith("Null fitted to the loci: "), qPrintable(lines[1]));
      QVERIFY(lines[2].startsWith("Flagged: Lap ("));
      const QFontMetrics metrics(w_->Loci->ScanLabel->font());
      for (const QString& line : lines)
        QVERIFY(metrics.horizontalAdvance(line) <= w_->Loci->ScanLabel->width());
    }
    QVERIFY2(ScanLines()[0].endsWith(counts), qPrintable(ScanLines()[0]));
    QStringList flagged;
    for (const auto& l : s.loci)
      if (l.ran && ((l.deltaTested && l.q <= s.fdr) || l.qWc <= s.fdr)) flagged << QString::fromStdString(l.name);
    for (const QString& name : flagged) QVERIFY(w_->Loci->ScanLabel->toolTip().contains(name + " ("));
    QVERIFY(!flagged.isEmpty());
  }

  // The tab's layout and keys: names head the rows, the scan's settings are
  // its own before it runs, the window grows to the table, Enter uses the
  // locus, the print buttons have their letters, and a scan not exported is
  // not dropped without asking.
  void TheTabKeepsItsSettingsAndAsks() {
    Open();
    w_->varN->SetValue(400);
    w_->varG->SetValue(30);
    w_->stepping->setChecked(true);
    const int before = w_->width();
    OpenFile(kExample);
    auto* tab = w_->Loci;
    QCOMPARE(tab->ScanN->Value(), 100);
    QCOMPARE(tab->ScanT->Value(), 100);
    QCOMPARE(tab->ScanModel->currentText(), QString("Infinite island"));
    QVERIFY(tab->LociTable->isColumnHidden(0));
    QCOMPARE(tab->SortModel().headerData(0, Qt::Vertical).toString(), QString("Est2"));
    QVERIFY(w_->width() > before);
    int shown = tab->LociTable->verticalHeader()->width();
    for (int c = 1; c < 12; ++c) shown += tab->LociTable->columnWidth(c);
    QVERIFY2(shown <= tab->LociTable->viewport()->width() + tab->LociTable->verticalHeader()->width(),
             qPrintable(QString::number(shown)));

    struct Accelerator {
      QPushButton* button;
      const char* text;
    };
    for (const Accelerator a : {Accelerator{tab->PrintTableButton, "P&rint table"},
                                Accelerator{tab->PrintPlotButton, "Print p&lot"},
                                Accelerator{w_->Button2, "&Print"}})
      QCOMPARE(a.button->text(), QString(a.text));

    SelectLocus("Lap");
    {
      FileDialogAnswer answer("FrequencyFileDialog", "");
      tab->LociTable->setFocus();
      QTest::keyClick(tab->LociTable, Qt::Key_Return);
      QCOMPARE(answer.answered, 1);
    }

    w_->SetProgressDelay(1000000);
    {
      DialogWatcher quiet;
      Scan("9");
    }
    QVERIFY(tab->Scan());
    // The window grew, on a screen with room, until the picture can be read.
    QTRY_VERIFY2(tab->ScanPlot->height() >= 340, qPrintable(QString::number(tab->ScanPlot->height())));
    // Every header says what its command-line name means.
    for (int c = 0; c < tab->Model().columnCount(); ++c)
      QVERIFY2(!tab->Model().headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString().isEmpty(),
               qPrintable(tab->Model().headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()));
    struct Reopen {
      QMessageBox::StandardButton answer;
      bool scanKept;
    };
    for (const Reopen r : {Reopen{QMessageBox::No, true}, Reopen{QMessageBox::Yes, false}}) {
      DialogWatcher watcher;
      watcher.answer = r.answer;
      FileDialogAnswer open("GenepopDialog", kExample);
      QTest::mouseClick(tab->GenepopButton, Qt::LeftButton);
      QCOMPARE(watcher.seen.size(), size_t{1});
      QCOMPARE(watcher.seen[0].kind, SeenDialog::Question);
      QCOMPARE(watcher.seen[0].text, QString("The scan of five-samples.gen has not been exported.\nOpen another file and drop the scan?"));
      QCOMPARE(open.answered, r.scanKept ? 0 : 1);
      QCOMPARE(tab->Scan() != nullptr, r.scanKept);
    }
    // An exported scan goes without a question.
    {
      DialogWatcher quiet;
      Scan("9");
    }
    QVERIFY(tab->Scan());
    {
      FileDialogAnswer answer("ExportTableDialog", Path("kept.tsv"));
      QTest::mouseClick(tab->ExportTableButton, Qt::LeftButton);
    }
    DialogWatcher watcher;
    OpenFile(kExample);
    QCOMPARE(watcher.seen.size(), size_t{0});
    QVERIFY(!tab->Scan());
  }

  // Every control of the tab has its help entry.
  void EveryControlHasItsHelpEntry() {
    Open();
    QList<QWidget*> controls;
    for (QWidget* c : w_->TabSheet3->findChildren<QWidget*>())
      if ((c->focusPolicy() & Qt::TabFocus) && c->parentWidget() == w_->TabSheet3) controls << c;
    QVERIFY(controls.size() >= 9);
    for (QWidget* control : controls) {
      const QString topic = dw::ui::HelpTopicOf(control);
      QVERIFY2(topic.startsWith("loci.html#"), qPrintable(control->objectName() + ": " + topic));
      QFile page(QDir(DW_HELP_DIR).filePath("loci.html"));
      QVERIFY(page.open(QIODevice::ReadOnly));
      QVERIFY2(QString::fromUtf8(page.readAll()).contains("name=\"" + topic.section('#', 1) + "\""),
               qPrintable(topic));
    }
  }

  // The printed table: kRowsPerPage loci a page under the column names, the last
  // block holding the rest, flagged rows on pale red; a table wider than a
  // page in groups of columns, each led by the locus column.
  void TheTablePrintsInPagesOfRowsAndColumns() {
    dw::ui::PrintedTable table;
    table.title = {"title"};
    table.columns = {"locus", "WC"};
    table.numeric = {false, true};
    for (int i = 1; i <= 65; ++i) {
      table.rows.push_back({QString("L%1").arg(i).toStdString(), "0.01"});
      table.flagged.push_back(i == 62);
    }
    dw::ui::TLociTablePrintable printable;
    printable.SetTable(table);
    QCOMPARE(printable.PageCount(), 3);
    const auto namesOn = [&](int page, QStringList& names) {
      dw::chart::RecordingCanvas canvas;
      const dw::chart::LogicalSize size = printable.PrintedSize();
      printable.DrawPage(canvas, {0, 0, size.width, size.height}, page);
      for (const std::string& line : canvas.Lines("text "))
        if (QString::fromStdString(line).contains(" L")) names << QString::fromStdString(line).section(' ', -1);
      return canvas.Lines("fill FFD6D6").size();
    };
    QStringList names;
    QCOMPARE(namesOn(2, names), size_t{1});  // L62's row
    QStringList last;
    for (int i = 2 * dw::ui::TLociTablePrintable::kRowsPerPage + 1; i <= 65; ++i) last << QString("L%1").arg(i);
    QCOMPARE(names, last);

    // Twelve columns of a hundred-odd pixels: two groups, pages in the order
    // the first block of rows (both groups), then the second, then the rest.
    table.columns = {"locus"};
    table.numeric = {false};
    for (auto& row : table.rows) row.resize(1);
    for (int c = 1; c <= 12; ++c) {
      table.columns.push_back(QString("column %1 of the table").arg(c).toStdString());
      table.numeric.push_back(true);
      for (auto& row : table.rows) row.push_back("0.0123456");
    }
    printable.SetTable(table);
    const auto& groups = printable.ColumnGroups();
    QVERIFY(groups.size() >= 2);
    std::size_t shown = 0;
    for (const auto& group : groups) {
      QCOMPARE(group.front(), size_t{0});
      shown += group.size() - 1;
    }
    QCOMPARE(shown, size_t{12});
    QCOMPARE(printable.PageCount(), 3 * static_cast<int>(groups.size()));
    names.clear();
    namesOn(static_cast<int>(groups.size()), names);  // the second block's first group
    QCOMPARE(names.first(), QString("L%1").arg(dw::ui::TLociTablePrintable::kRowsPerPage + 1));
    QVERIFY(printable.PrintedSize().width <= dw::ui::TLociTablePrintable::kPageWidth + 16);

    // A title line longer than a page (300 flagged loci) wraps at the page's
    // width instead of shrinking the type of every page.
    std::string list = "Flagged:";
    for (int i = 1; i <= 300; ++i) list += " m" + std::to_string(i) + " (WC),";
    table.title = {"title", list};
    printable.SetTable(table);
    QVERIFY(printable.Table().title.size() > 10);
    QCOMPARE(printable.Table().title[1].substr(0, 14), std::string("Flagged: m1 (W"));
    QVERIFY(printable.PrintedSize().width <= dw::ui::TLociTablePrintable::kPageWidth + 16);
    std::string rejoined;
    for (std::size_t i = 1; i < printable.Table().title.size(); ++i)
      rejoined += (i > 1 ? " " : "") + printable.Table().title[i];
    QCOMPARE(rejoined, list);

    // Printed, every page goes to the printer.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(Path("table.pdf"));
    dw::chart::PrintDocument(printable, printer);
    const QString pdf = QString::fromLatin1(ReadAll(Path("table.pdf")));
    QCOMPARE(pdf.count(QRegularExpression("/Type /Page[^s]")), printable.PageCount());
  }
};

int main(int argc, char** argv) {
  dw::ui::TApplication app(argc, argv);
  dw::ui::InitialiseApplication(app, "driftwise");
  LociTabTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "locitab_test.moc"
