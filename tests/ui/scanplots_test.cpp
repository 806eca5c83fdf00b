// The scan's pictures on the Loci tab: the pictures offered, a click on a
// locus selecting its row (after a real scan of the example), the values
// the pointer shows, and the size asked for an export.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "dialogs.h"
#include "ui/application.h"
#include "ui/locale.h"
#include "ui/locitab.h"
#include "ui/mainwindow.h"
#include "ui/scanplots.h"
#include "chart/qt/chart_widget.h"

using dw::scan::PictureKind;
using dw::ui::TScanPictures;
using dw::ui::TTestneutre;

namespace {

const QString kExample = QStringLiteral(DW_SOURCE_DIR "/examples/five-samples.gen");

// A locus that ran, with a position when `chrom` is given.
dw::scan::ScannedLocus Locus(const char* name, const char* chrom, int64_t pos) {
  dw::scan::ScannedLocus l;
  l.name = name;
  l.chrom = chrom;
  l.pos = pos;
  l.ran = true;
  l.deltaTested = true;
  l.estimate.status = dw::data::LocusStatus::Polymorphic;
  l.q = 0.5;
  l.qWc = 0.5;
  return l;
}

}  // namespace

class ScanPlotsTest : public QObject {
  Q_OBJECT

 private:
  TTestneutre* w_ = nullptr;

 private:
  // The window with the example scanned (seed 2026, T = 100), made once.
  void ScanTheExample() {
    if (w_ && w_->Loci->Scan()) return;
    delete w_;
    w_ = new TTestneutre(120);
    w_->show();
    w_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w_));
    QVERIFY(w_->Loci->OpenDataFile(kExample, {}));
    w_->SetProgressDelay(1000000);
    DialogWatcher watcher;
    w_->Loci->ScanT->SetValue(100);
    w_->Loci->ScanSeed->setText("2026");
    QTest::mouseClick(w_->Loci->ScanButton, Qt::LeftButton);
    QCOMPARE(watcher.seen.size(), size_t{0});
  }

 private slots:
  void init() { dw::ui::SetNumberMarks(dw::NumberMarks{'.', ','}); }
  void cleanupTestCase() { delete w_; }

  // --plot-size's text, as the command line and the dialog's sizes share it.
  void APlotSizeIsWidthByHeightInRange() {
    struct Case {
      const char* text;
      int width, height;  // 0: refused
    };
    for (const Case& c : {Case{"640x400", 640, 400}, Case{"16X20000", 16, 20000},
                          Case{"15x400", 0, 0}, Case{"640x20001", 0, 0}, Case{"640", 0, 0},
                          Case{"640x", 0, 0}, Case{"x400", 0, 0}, Case{" 640x400", 0, 0},
                          Case{"640x400px", 0, 0}, Case{"-640x400", 0, 0}}) {
      const auto size = dw::scan::ParsePlotSize(c.text);
      QCOMPARE(size.has_value(), c.width > 0);
      if (size) {
        QCOMPARE(size->width, c.width);
        QCOMPARE(size->height, c.height);
        QCOMPARE(size->pixelsPerInch, 96);
      }
    }
  }

  // The q picture only where the loci have positions; the choice made stays
  // with the next scan that offers it.
  void ThePicturesOfferedFollowTheData() {
    dw::scan::ScanSummary genepop;
    genepop.loci = {Locus("a", "", 0)};
    dw::scan::ScanSummary vcf;
    vcf.hasPositions = true;
    vcf.loci = {Locus("s1", "chr1", 10), Locus("s2", "chr2", 20)};
    TScanPictures pictures;
    pictures.SetScan(&genepop);
    QCOMPARE(pictures.Choice->count(), 2);
    pictures.SetScan(&vcf);
    QCOMPARE(pictures.Choice->count(), 3);
    QCOMPARE(pictures.Choice->itemText(2), QString("-log10 q along the chromosomes"));
    pictures.Choice->setCurrentIndex(1);
    QVERIFY(pictures.Kind() == PictureKind::WcHe);
    QCOMPARE(pictures.FileSuffix(), QString("-wc-he"));
    pictures.Choice->setCurrentIndex(2);
    pictures.SetScan(&genepop);  // no q picture: back to the first
    QVERIFY(pictures.Kind() == PictureKind::Delta);
    pictures.Choice->setCurrentIndex(1);
    pictures.SetScan(&vcf);
    QVERIFY(pictures.Kind() == PictureKind::WcHe);
  }

  // After a scan of the example, a click on a locus's point in each picture
  // selects that locus's row, whatever the table's order; a click beside
  // every point leaves the selection alone. The pointer names the locus.
  void AClickOnALocusSelectsItsRow() {
    ScanTheExample();
    QVERIFY(w_->Loci->Scan());
    DialogWatcher watcher;
    w_->Loci->ScanPlot->resize(900, 360);
    // Sorted by a column, the table's rows are not the file's order.
    w_->Loci->LociTable->sortByColumn(3, Qt::DescendingOrder);
    TScanPictures& pictures = *w_->Loci->ScanPlot;
    const auto& loci = w_->Loci->Scan()->loci;
    for (int choice = 0; choice < pictures.Choice->count(); ++choice) {
      pictures.Choice->setCurrentIndex(choice);
      pictures.View->repaint();
      const std::vector<dw::scan::PlotMark> marks = pictures.View->Marks();
      QVERIFY(marks.size() >= 2);
      for (std::size_t pick : {std::size_t{0}, marks.size() - 1}) {
        const dw::chart::Rect& box = marks[pick].box;
        const QPoint at((box.left + box.right) / 2, (box.top + box.bottom) / 2);
        const std::size_t locus = dw::scan::LocusOfItem(pictures.Pictures(), pictures.Kind(), marks[pick].item);
        QCOMPARE(pictures.View->LocusAt(at).value_or(999), locus);
        QTest::mouseClick(pictures.View, Qt::LeftButton, Qt::NoModifier, at);
        const QModelIndex current = w_->Loci->LociTable->selectionModel()->selectedRows().value(0);
        QVERIFY(current.isValid());
        QCOMPARE(static_cast<std::size_t>(w_->Loci->SortModel().mapToSource(current).row()), locus);
        QVERIFY(dw::ui::LocusTip(loci[locus]).startsWith(QString::fromStdString(loci[locus].name)));
        QVERIFY(dw::ui::LocusTip(loci[locus]).contains("q = "));
      }
      const QModelIndex before = w_->Loci->LociTable->selectionModel()->selectedRows().value(0);
      QVERIFY(!pictures.View->LocusAt({2, 2}));  // the corner: no locus
      QTest::mouseClick(pictures.View, Qt::LeftButton, Qt::NoModifier, {2, 2});
      QCOMPARE(w_->Loci->LociTable->selectionModel()->selectedRows().value(0), before);
    }
    QCOMPARE(watcher.seen.size(), size_t{0});
  }

  // The export asks the size: a PNG of 480 × 320 at 192 per inch has twice
  // the pixels; cancelling the size writes nothing.
  void TheExportTakesTheSizeAsked() {
    ScanTheExample();
    QVERIFY(w_->Loci->Scan());
    QTemporaryDir dir;
    const QString file = dir.filePath("wc.png");
    w_->Loci->ScanPlot->Choice->setCurrentIndex(1);
    for (const bool accept : {false, true}) {
      int asked = 0;
      QTimer answer;
      answer.setInterval(5);
      QObject::connect(&answer, &QTimer::timeout, &answer, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
          QVERIFY(files->selectedFiles().value(0).endsWith("five-samples-wc-he.png"));
          files->selectFile(file);
          QMetaObject::invokeMethod(files, "accept");
        } else if (auto* size = qobject_cast<dw::ui::TPlotSizeDialog*>(modal)) {
          ++asked;
          QCOMPARE(size->WidthBox->value(), 960);  // WC against He's own size proposed
          size->WidthBox->setValue(480);
          size->HeightBox->setValue(320);
          size->DpiBox->setValue(192);
          accept ? size->accept() : size->reject();
        }
      });
      answer.start();
      QTest::mouseClick(w_->Loci->ExportPlotButton, Qt::LeftButton);
      QCOMPARE(asked, 1);
      QCOMPARE(QFile::exists(file), accept);
    }
    const QImage image(file);
    QCOMPARE(image.size(), QSize(960, 640));
    QCOMPARE(image.dotsPerMeterX(), 7559);  // 192 per inch
  }

  // The Results tab's histogram exports too: the file, then its size (the
  // command line's 689 × 449 proposed), here 400 × 300 at 192 per inch.
  void TheHistogramExportsAtTheSizeAsked() {
    ScanTheExample();
    QTemporaryDir dir;
    w_->FichFreq->setText(QStringLiteral(DW_SOURCE_DIR "/examples/freqini.txt"));
    w_->FichFst->setText(dir.filePath("fst.txt"));
    w_->repetitions->SetValue(20);
    QVERIFY(!w_->ExportChartButton->isEnabled());  // nothing to export before a run
    {
      DialogWatcher watcher;
      QTest::mouseClick(w_->Button1, Qt::LeftButton);
      QCOMPARE(watcher.seen.size(), size_t{1});  // the run's summary
    }
    QVERIFY(w_->ExportChartButton->isEnabled());
    const QString file = dir.filePath("chart.png");
    int proposedWidth = 0;
    QString proposedFile;
    QTimer answer;
    answer.setInterval(5);
    QObject::connect(&answer, &QTimer::timeout, &answer, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || !modal->isVisible()) return;
      if (auto* files = qobject_cast<QFileDialog*>(modal)) {
        proposedFile = files->selectedFiles().value(0);
        files->selectFile(file);
        QMetaObject::invokeMethod(files, "accept");
      } else if (auto* size = qobject_cast<dw::ui::TPlotSizeDialog*>(modal)) {
        proposedWidth = size->WidthBox->value();
        size->WidthBox->setValue(400);
        size->HeightBox->setValue(300);
        size->DpiBox->setValue(192);
        size->accept();
      }
    });
    answer.start();
    QTest::mouseClick(w_->ExportChartButton, Qt::LeftButton);
    QCOMPARE(proposedFile, dir.filePath("histogram.png"));
    QCOMPARE(proposedWidth, 689);
    const QImage image(file);
    QCOMPARE(image.size(), QSize(800, 600));
    int dark = 0;  // bars' edges, axes and text, drawn twice as large
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 80;
    QVERIFY2(dark > 2000, qPrintable(QString::number(dark)));
    QVERIFY(w_->Chart1->Chart().Dirty());  // the screen lays it out again
  }
};

int main(int argc, char** argv) {
  dw::ui::TApplication app(argc, argv);
  dw::ui::InitialiseApplication(app, "driftwise");
  ScanPlotsTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "scanplots_test.moc"
