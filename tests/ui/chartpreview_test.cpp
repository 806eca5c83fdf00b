// The print preview driven as a user drives it: its state on opening, the
// proportional margins, the opposite-margin rule, dragging and moving the
// image on the page, detail, the margin lines, and printing to a PDF file;
// plus the page's geometry as plain arithmetic.
#include <QApplication>
#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "chart/chart.h"
#include "chart/qt/chart_widget.h"
#include "chart/qt/print.h"
#include "ui/chartpreview.h"
#include "ui/mainwindow.h"
#include "ui/previewpage.h"

using dw::chart::PrintMargins;
using dw::chart::Rect;
using dw::ui::TChartPreview;
using dw::ui::TKivPreviewPage;
using dw::ui::TPreviewZone;

namespace {

QString Show(const Rect& r) {
  return QString("%1,%2,%3,%4").arg(r.left).arg(r.top).arg(r.right).arg(r.bottom);
}
QString Show(const PrintMargins& m) { return Show(Rect{m.left, m.top, m.right, m.bottom}); }

void FillHistogram(dw::chart::TChart& chart) {
  dw::chart::TBarSeries& s = static_cast<dw::chart::TBarSeries&>(chart.Series(0));
  for (int i = 0; i < 10; ++i) {
    std::string label = "c";
    label += std::to_string(i);
    s.AppendPoint(3 + (i * 5) % 9, label, i == 4 ? dw::chart::clRed : dw::chart::clWhite);
  }
}

// Three pages, each filled with its own colour; the pages drawn are kept in
// the order they were asked for.
class ThreePages : public dw::chart::TPrintSettings {
 public:
  dw::chart::LogicalSize PrintedSize() const override { return {400, 300}; }
  int PageCount() const override { return 3; }
  void DrawPage(dw::chart::Canvas& canvas, const Rect& rect, int page) override {
    const dw::chart::Color kColours[] = {dw::chart::RGB(255, 0, 0), dw::chart::RGB(0, 255, 0), dw::chart::RGB(0, 0, 255)};
    drawn.push_back(page);
    canvas.SetBrush({kColours[page]});
    canvas.FillRect(rect);
  }
  QString DocumentTitle() const override { return "Table"; }
  std::vector<int> drawn;
};

// A 300-dpi Letter PDF printer, left in portrait so opening must turn it.
void MakePdfPrinter(QPrinter& printer) {
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setResolution(300);
  printer.setPageSize(QPageSize(QPageSize::Letter));
  printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
  printer.setPageOrientation(QPageLayout::Portrait);
}

QPoint At(int x, int y) { return QPoint(x, y); }

// What a shell command prints on standard output; empty when it cannot run.
QString Output(const QString& command) {
  QString text;
  if (FILE* pipe = popen((command + " 2>/dev/null").toLocal8Bit().constData(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text += QString::fromLocal8Bit(buffer, qsizetype(n));
    pclose(pipe);
  }
  return text;
}

// The print system's jobs of a queue, finished or not.
int JobsOf(const QString& queue) {
  return Output("lpstat -W all -o '" + queue + "'").count('\n');
}

}  // namespace

class ChartPreviewTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<dw::chart::TChart> chart_;
  std::unique_ptr<QPrinter> printer_;
  std::unique_ptr<TChartPreview> w_;
  QTemporaryDir dir_;

  // A fresh chart as the window defines it and its preview, shown and painted.
  void Open() {
    w_.reset();
    chart_ = std::make_unique<dw::chart::TChart>();
    dw::chart::ConfigureResultsChart(*chart_);
    FillHistogram(*chart_);
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    MakePdfPrinter(*printer_);
    w_ = std::make_unique<TChartPreview>(nullptr, *chart_, printer_.get());
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    w_->PreviewPage->repaint();
  }

  PrintMargins Margins() const { return dw::chart::ChartMargins(*chart_); }
  PrintMargins Boxes() const {
    return {w_->SELeftMa->value(), w_->SETopMa->value(), w_->SERightMa->value(), w_->SEBotMa->value()};
  }

  // A left-button drag on the page from `from` to `to`.
  void Drag(QPoint from, QPoint to) {
    TKivPreviewPage* page = w_->PreviewPage;
    QTest::mouseMove(page, from);
    QTest::mousePress(page, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(page, to);
    QTest::mouseRelease(page, Qt::LeftButton, Qt::NoModifier, to);
  }

 private slots:
  void cleanup() {
    w_.reset();
    chart_.reset();
  }

  void OpensLandscapeWithTheChartsMarginsAndItsDefinition() {
    Open();
    QVERIFY(w_->windowTitle().endsWith("Print Preview"));
    QVERIFY(!w_->Initialising());
    QVERIFY(!w_->CBProp->isChecked());
    QVERIFY(!chart_->PrintProportional);
    QCOMPARE(Show(Boxes()), QString("15,15,15,15"));
    QCOMPARE(Show(w_->SavedMargins()), QString("15,15,15,15"));
    QVERIFY(w_->Landscape->isChecked());
    QCOMPARE(printer_->pageLayout().orientation(), QPageLayout::Landscape);
    QVERIFY(!w_->BReset->isEnabled());
    QVERIFY(w_->ShowMargins->isChecked());
    QCOMPARE(w_->Resolution->minimum(), -100);
    QCOMPARE(w_->Resolution->maximum(), 0);
    QCOMPARE(w_->Resolution->value(), 0);
    QCOMPARE(w_->Printers->currentText(), QString(dw::chart::kPdfPrinterName));
    QVERIFY(w_->BClose->isDefault());
    struct Caption {
      QAbstractButton* control;
      const char* text;
    };
    for (const Caption& c : {Caption{w_->BSetupPrinter, "Printer &Setup..."}, Caption{w_->BPrint, "&Print"},
                             Caption{w_->BClose, "Close"}, Caption{w_->Portrait, "P&ortrait"},
                             Caption{w_->Landscape, "&Landscape"}, Caption{w_->BReset, "Reset &Margins"},
                             Caption{w_->ShowMargins, "&View Margins"}, Caption{w_->CBProp, "Proportional"}})
      QCOMPARE(c.control->text(), QString(c.text));
    QCOMPARE(w_->Label1->text(), QString("P&rinter:"));
    QCOMPARE(w_->Label1->buddy(), static_cast<QWidget*>(w_->Printers));
    QCOMPARE(w_->Orientation->title(), QString("Paper Orientation:"));
    QCOMPARE(w_->GBMargins->title(), QString("Margins (%)"));
    // The landscape paper is wider than high and the image sits inside it.
    const Rect paper = w_->PreviewPage->PaperRect(), image = w_->PreviewPage->ImageRect();
    QVERIFY(paper.Width() > paper.Height());
    QVERIFY(paper.left < image.left && image.right < paper.right);
    // Escape closes with the Close button's result.
    QTest::keyClick(w_.get(), Qt::Key_Escape);
    QCOMPARE(w_->result(), 1);
  }

  void ProportionalFollowsThePage() {
    Open();
    QTest::mouseClick(w_->CBProp, Qt::LeftButton);
    QVERIFY(chart_->PrintProportional);
    // 689 × 449 on 3300 × 2550: (2550 − 0.6 × 3300 × 449 / 689) / 2550 = 49.4 % → 24 each.
    QCOMPARE(Show(Margins()), QString("15,24,15,24"));
    QCOMPARE(Show(Boxes()), QString("15,24,15,24"));
    QCOMPARE(Show(w_->SavedMargins()), QString("15,24,15,24"));
    QVERIFY(!w_->BReset->isEnabled());
    // Portrait: (3300 − 0.6 × 2550 × 449 / 689) / 3300 = 69.8 % → 35 each.
    QTest::mouseClick(w_->Portrait, Qt::LeftButton);
    QCOMPARE(printer_->pageLayout().orientation(), QPageLayout::Portrait);
    QCOMPARE(Show(Boxes()), QString("15,35,15,35"));
    w_->PreviewPage->repaint();
    const Rect paper = w_->PreviewPage->PaperRect();
    QVERIFY(paper.Height() > paper.Width());
    // Unchecking keeps the margins where they are.
    QTest::mouseClick(w_->CBProp, Qt::LeftButton);
    QVERIFY(!chart_->PrintProportional);
    QCOMPARE(Show(Margins()), QString("15,35,15,35"));
  }

  void AMarginMeetingItsOppositeIsRefused() {
    Open();
    w_->SEBotMa->setValue(40);
    QCOMPARE(chart_->PrintMarginPercents[3], 40);
    QVERIFY(w_->BReset->isEnabled());
    // Typed and confirmed: 60 + 40 reaches 100, so the old value comes back.
    w_->SETopMa->setFocus();
    w_->SETopMa->selectAll();
    QTest::keyClicks(w_->SETopMa, "60");
    QTest::keyClick(w_->SETopMa, Qt::Key_Return);
    QCOMPARE(w_->SETopMa->value(), 15);
    QCOMPARE(chart_->PrintMarginPercents[1], 15);
    // One less fits.
    w_->SETopMa->selectAll();
    QTest::keyClicks(w_->SETopMa, "59");
    QTest::keyClick(w_->SETopMa, Qt::Key_Return);
    QCOMPARE(chart_->PrintMarginPercents[1], 59);
    // The rule holds across, too: left + right.
    w_->SERightMa->setValue(85);
    QCOMPARE(w_->SERightMa->value(), 15);
    QCOMPARE(Show(Margins()), QString("15,59,15,40"));
    QTest::mouseClick(w_->BReset, Qt::LeftButton);
    QCOMPARE(Show(Margins()), QString("15,15,15,15"));
    QCOMPARE(Show(Boxes()), QString("15,15,15,15"));
    QVERIFY(!w_->BReset->isEnabled());
  }

  void DraggingTheLeftEdgeToThePaperAndResetting() {
    Open();
    QTest::mouseClick(w_->CBProp, Qt::LeftButton);  // proportional: 15, 24, 15, 24
    TKivPreviewPage* page = w_->PreviewPage;
    page->repaint();
    const Rect paper = page->PaperRect(), image = page->ImageRect();
    const int y = (image.top + image.bottom) / 2;
    // The pointer over the edge, within the 4-pixel tolerance, shows the resize cursor.
    QTest::mouseMove(page, At(image.left + 3, y));
    QCOMPARE(page->cursor().shape(), Qt::SizeHorCursor);
    QTest::mouseMove(page, At(image.left + 20, y));
    QCOMPARE(page->cursor().shape(), Qt::OpenHandCursor);
    Drag(At(image.left + 2, y), At(paper.left, y));
    QCOMPARE(page->DragZone(), TPreviewZone::None);
    QCOMPARE(chart_->PrintMarginPercents[0], 0);
    QCOMPARE(w_->SELeftMa->value(), 0);
    QVERIFY(!w_->CBProp->isChecked());
    QVERIFY(!chart_->PrintProportional);
    QVERIFY(w_->BReset->isEnabled());
    QCOMPARE(page->ImageRect().left, paper.left);
    // The other edges did not move.
    QCOMPARE(Show(Margins()), QString("0,24,15,24"));
    QTest::mouseClick(w_->BReset, Qt::LeftButton);
    QCOMPARE(Show(Margins()), QString("15,24,15,24"));
    QCOMPARE(Show(Boxes()), QString("15,24,15,24"));
    QVERIFY(!w_->BReset->isEnabled());
    page->repaint();
    QCOMPARE(Show(page->ImageRect()), Show(image));

    // Without proportional, reset goes back to the margins the window opened with.
    Open();
    page = w_->PreviewPage;
    const Rect image2 = page->ImageRect();
    Drag(At(image2.left, image2.top + 30), At(page->PaperRect().left, image2.top + 30));
    QCOMPARE(chart_->PrintMarginPercents[0], 0);
    QVERIFY(w_->BReset->isEnabled());
    QTest::mouseClick(w_->BReset, Qt::LeftButton);
    QCOMPARE(Show(Margins()), QString("15,15,15,15"));
  }

  void EdgesStayOnThePaperAndOnTheirSide() {
    Open();
    TKivPreviewPage* page = w_->PreviewPage;
    const Rect paper = page->PaperRect(), image = page->ImageRect();
    const int x = (image.left + image.right) / 2;
    // The bottom edge dragged above the top edge stays put; then to the paper's edge.
    Drag(At(x, image.bottom), At(x, image.top - 10));
    QCOMPARE(Show(page->ImageRect()), Show(image));
    QCOMPARE(Show(Margins()), QString("15,15,15,15"));
    Drag(At(x, image.bottom), At(x, paper.bottom - 1));
    QCOMPARE(page->ImageRect().bottom, paper.bottom - 1);
    QCOMPARE(chart_->PrintMarginPercents[3], 0);
    // The top-left corner moves both edges.
    Drag(At(image.left + 1, image.top - 1), At(image.left + 30, image.top + 20));
    QCOMPARE(page->ImageRect().left, image.left + 30);
    QCOMPARE(page->ImageRect().top, image.top + 20);
  }

  void MovingTheImageKeepsItsSize() {
    Open();
    TKivPreviewPage* page = w_->PreviewPage;
    const Rect image = page->ImageRect();
    const QPoint centre((image.left + image.right) / 2, (image.top + image.bottom) / 2);
    Drag(centre, centre + QPoint(25, -12));
    const Rect moved = page->ImageRect();
    QCOMPARE(Show(moved), Show(Rect{image.left + 25, image.top - 12, image.right + 25, image.bottom - 12}));
    const PrintMargins m = Margins();
    QVERIFY(m.left > 15 && m.right < 15 && m.top < 15 && m.bottom > 15);
    QVERIFY(w_->BReset->isEnabled());
    // Far to the left, the image stops at the paper's edge, whole.
    const QPoint c2((moved.left + moved.right) / 2, (moved.top + moved.bottom) / 2);
    Drag(c2, At(page->PaperRect().left + 1, c2.y()));
    QCOMPARE(page->ImageRect().left, page->PaperRect().left);
    QCOMPARE(page->ImageRect().Width(), image.Width());
  }

  void DetailAndMarginLinesRedrawThePage() {
    Open();
    TKivPreviewPage* page = w_->PreviewPage;
    const Rect paper = page->PaperRect(), image = page->ImageRect();
    // The dotted margin line left of the image is silver on the white paper.
    auto silverInColumn = [&](int x) {
      int n = 0;
      for (int y = paper.top + 1; y < image.top - 2; ++y) n += page->Bitmap().pixel(x, y) == qRgb(192, 192, 192);
      return n;
    };
    QVERIFY(silverInColumn(image.left - 1) > 0);
    QCOMPARE(silverInColumn(image.left + 3), 0);
    QTest::mouseClick(w_->ShowMargins, Qt::LeftButton);
    QVERIFY(!page->ShowMargins);
    page->repaint();
    QCOMPARE(silverInColumn(image.left - 1), 0);
    // Drawing the lines twice leaves the page as it was.
    const QImage before = page->Bitmap().copy();
    page->DrawMarginLines();
    QVERIFY(page->Bitmap() != before);
    page->DrawMarginLines();
    QVERIFY(page->Bitmap() == before);

    const QImage normal = page->Bitmap().copy();
    w_->Resolution->setValue(-100);
    QCOMPARE(chart_->PrintDetail, -100);
    page->repaint();
    QVERIFY(page->Bitmap() != normal);  // the same chart laid out on twice the area
    // Twice across and down in surface, in the shape of the area it prints
    // on, so that text is scaled alike both ways.
    const Rect panel = chart_->PanelRect, shown = page->ImageRect();
    QVERIFY(std::abs(1.0 * panel.Width() * panel.Height() / (4.0 * 689 * 449) - 1) < 0.01);
    QVERIFY(std::abs(1.0 * panel.Width() / panel.Height() - 1.0 * shown.Width() / shown.Height()) < 0.02);
  }

  void HiddenMarginLinesShowOnlyAtTheDraggedEdge() {
    Open();
    QTest::mouseClick(w_->ShowMargins, Qt::LeftButton);
    TKivPreviewPage* page = w_->PreviewPage;
    page->repaint();
    const Rect paper = page->PaperRect(), image = page->ImageRect();
    auto silverAt = [&](int x) {
      int n = 0;
      for (int y = paper.top + 1; y < image.top - 2; ++y) n += page->Bitmap().pixel(x, y) == qRgb(192, 192, 192);
      return n;
    };
    const int y = (image.top + image.bottom) / 2;
    QTest::mousePress(page, Qt::LeftButton, Qt::NoModifier, At(image.left, y));
    QTest::mouseMove(page, At(image.left - 10, y));
    QTest::mouseMove(page, At(image.left - 20, y));
    QCOMPARE(page->ImageRect().left, image.left - 20);
    QVERIFY(silverAt(image.left - 21) > 0);
    QCOMPARE(silverAt(image.left - 11), 0);
    QCOMPARE(silverAt(image.left - 1), 0);
    QTest::mouseRelease(page, Qt::LeftButton, Qt::NoModifier, At(image.left - 20, y));
    page->repaint();
    QCOMPARE(silverAt(page->ImageRect().left - 1), 0);
  }

  void PrintsOnePdfPageOrNothingWhenNoFileIsChosen() {
    Open();
    const QString file = dir_.filePath("preview.pdf");
    w_->ChoosePdfFile = [](QWidget*) { return QString(); };
    QTest::mouseClick(w_->BPrint, Qt::LeftButton);
    QVERIFY(!QFile::exists(file));
    w_->ChoosePdfFile = [file](QWidget*) { return file; };
    QTest::mouseClick(w_->BPrint, Qt::LeftButton);
    QVERIFY(QFile::exists(file));
    QFile pdf(file);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    QVERIFY(bytes.startsWith("%PDF"));
    QCOMPARE(bytes.count("/Type /Page\n"), 1);
    QVERIFY(!chart_->PrintingInProgress);
    QVERIFY(QApplication::overrideCursor() == nullptr);  // the hourglass is gone
  }

  // A real printer, where a PDF queue of the print system is installed (CUPS
  // with cups-pdf): the preview lists the installed printers and the page
  // goes to the chosen queue as one job, without asking for a file. Queues
  // that reach paper are left alone.
  void PrintsToAnInstalledPdfQueue() {
    const QStringList installed = QPrinterInfo::availablePrinterNames();
    QString queue;
    for (const QString& name : installed) {
      const QString device = Output("lpstat -v '" + name + "'");
      if (device.contains("cups-pdf:") || device.contains(" file:")) queue = name;
    }
    if (queue.isEmpty()) QSKIP("no PDF queue of the print system is installed");
    w_.reset();
    chart_ = std::make_unique<dw::chart::TChart>();
    dw::chart::ConfigureResultsChart(*chart_);
    FillHistogram(*chart_);
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    w_ = std::make_unique<TChartPreview>(nullptr, *chart_, printer_.get());
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    QStringList listed;
    for (int i = 0; i < w_->Printers->count(); ++i) listed << w_->Printers->itemText(i);
    QCOMPARE(listed, installed);  // the process's printer is a queue here: no PDF entry
    w_->Printers->setCurrentIndex(w_->Printers->findText(queue));
    w_->PrintersChange();
    QCOMPARE(printer_->printerName(), queue);
    QVERIFY(!dw::chart::PrintsToPdf(*printer_));
    QVERIFY(w_->Landscape->isChecked());
    bool asked = false;
    w_->ChoosePdfFile = [&](QWidget*) {
      asked = true;
      return QString();
    };
    const int before = JobsOf(queue);
    QTest::mouseClick(w_->BPrint, Qt::LeftButton);
    QVERIFY(!asked);
    QVERIFY(!chart_->PrintingInProgress);
    QTRY_VERIFY_WITH_TIMEOUT(JobsOf(queue) == before + 1, 20000);
  }

  void SetupDialogResultIsShown() {
    Open();
    // The setup dialog turns the paper; the window follows the printer.
    w_->RunPrinterSetup = [](QPrinter& p, QWidget*) {
      p.setPageOrientation(QPageLayout::Portrait);
      return true;
    };
    QTest::mouseClick(w_->BSetupPrinter, Qt::LeftButton);
    QVERIFY(w_->Portrait->isChecked());
    QCOMPARE(w_->Printers->currentText(), QString(dw::chart::kPdfPrinterName));

    // The PDF entry's own setup dialog: A4 in portrait.
    Open();
    bool seen = false;
    QTimer::singleShot(50, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (!dialog || dialog->objectName() != "PrinterSetupDialog1") return;
      seen = true;
      auto* paper = dialog->findChild<QComboBox*>("Paper");
      paper->setCurrentIndex(paper->findText("A4"));
      for (QRadioButton* b : dialog->findChildren<QRadioButton*>())
        if (b->text() == "P&ortrait") b->setChecked(true);
      static_cast<QDialog*>(dialog)->accept();
    });
    QTest::mouseClick(w_->BSetupPrinter, Qt::LeftButton);
    QVERIFY(seen);
    QCOMPARE(printer_->pageLayout().pageSize().id(), QPageSize::A4);
    QVERIFY(w_->Portrait->isChecked());
    w_->PreviewPage->repaint();
    const Rect paper = w_->PreviewPage->PaperRect();
    // A4 is 210 × 297 mm.
    QVERIFY(std::abs(paper.Width() - paper.Height() * 210 / 297) <= 1);
  }

  void PrintButtonOfTheMainWindowOpensThePreview() {
    dw::ui::TTestneutre main(120);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QString seen;
    bool sawProportional = true;
    QTimer::singleShot(50, [&] {
      if (auto* preview = qobject_cast<TChartPreview*>(QApplication::activeModalWidget())) {
        seen = preview->windowTitle();
        sawProportional = preview->CBProp->isChecked();
        preview->BClose->click();
      }
    });
    // Before a run there is nothing to print; a run enables the button.
    QVERIFY(!main.Button2->isEnabled());
    main.Button2->setEnabled(true);
    QTest::mouseClick(main.Button2, Qt::LeftButton);
    QVERIFY(seen.endsWith("Print Preview"));
    QVERIFY(!sawProportional);
    QVERIFY(main.findChildren<TChartPreview*>().isEmpty());  // freed with the window
    QVERIFY(main.Chart1->Chart().Dirty());
  }

  void PagesOfAPrintableOfManyAreShownOneByOne() {
    ThreePages pages;
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    MakePdfPrinter(*printer_);
    TChartPreview w(nullptr, pages, printer_.get());
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    TKivPreviewPage* page = w.PreviewPage;
    // The colour at the middle of the page's image, as painted.
    auto shown = [&] {
      page->repaint();
      const Rect& r = page->ImageRect();
      const qreal ratio = page->Bitmap().devicePixelRatio();
      return page->Bitmap().pixel(int((r.left + r.right) / 2 * ratio), int((r.top + r.bottom) / 2 * ratio)) & 0xFFFFFF;
    };
    auto expect = [&](int k, bool previous, bool next, QRgb colour) {
      QCOMPARE(w.PageLabel->text(), QString("Page %1 of 3").arg(k));
      QCOMPARE(page->PageIndex(), k - 1);
      QCOMPARE(w.BPrevPage->isEnabled(), previous);
      QCOMPARE(w.BNextPage->isEnabled(), next);
      QCOMPARE(shown(), colour);
      QCOMPARE(pages.drawn.back(), k - 1);
    };
    QVERIFY(w.PageGroup->isVisible());
    // Page Up and Down turn the pages even from the printer list, which has the focus.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.Printers));
    expect(1, false, true, 0xFF0000);
    QTest::mouseClick(w.BNextPage, Qt::LeftButton);
    expect(2, true, true, 0x00FF00);
    QTest::keyClick(w.Printers, Qt::Key_PageDown);
    expect(3, true, false, 0x0000FF);
    QTest::keyClick(w.Printers, Qt::Key_PageDown);  // at the end: stays
    expect(3, true, false, 0x0000FF);
    QTest::keyClick(w.Printers, Qt::Key_PageUp);
    expect(2, true, true, 0x00FF00);
    QTest::mouseClick(w.BPrevPage, Qt::LeftButton);
    expect(1, false, true, 0xFF0000);

    // A wide, low window still shows the whole landscape page.
    w.resize(1400, 420);
    QTRY_COMPARE(page->height(), 420 - 38);
    page->repaint();
    QVERIFY(page->PaperRect().top >= 0);
    QVERIFY(page->PaperRect().bottom <= page->height());
    QVERIFY(page->PaperRect().Width() < page->width());

    // A chart has one page: no page controls.
    Open();
    QVERIFY(w_->PageGroup->isHidden());
  }

  // ---- the page's geometry ----

  void PaperAndImageRects() {
    struct Case {
      int pw, ph, cw, ch;
      Rect paper;
    };
    // Landscape: 446 = 496 − 50 wide, 446 × 2550 / 3300 = 344.6 → 345 high.
    // Portrait: 350 = 389 − 39 high, 350 × 2550 / 3300 = 270.5 → 270 wide.
    // Too low for the landscape page: 450 = 500 − 50 high, 450 × 3300 / 2550
    // = 582.4 → 582 wide. Too narrow for the portrait page: 270 = 300 − 30
    // wide, 270 × 3300 / 2550 = 349.4 → 349 high.
    for (const Case& c : {Case{3300, 2550, 496, 389, {25, 22, 471, 367}},
                          Case{2550, 3300, 496, 389, {113, 19, 383, 369}},
                          Case{3300, 2550, 1488, 500, {453, 25, 1035, 475}},
                          Case{2550, 3300, 300, 900, {15, 275, 285, 624}},
                          Case{0, 0, 200, 100, {10, 0, 190, 100}}})
      QCOMPARE(Show(dw::ui::PaperRectFor(c.pw, c.ph, c.cw, c.ch)), Show(c.paper));
    const Rect paper{25, 22, 471, 367};
    QCOMPARE(Show(dw::ui::ImageRectFor(paper, {15, 15, 15, 15})), QString("92,74,404,315"));
    // Pixels back to percent give the margins again on any paper of 100 pixels or more.
    for (const PrintMargins& m : {PrintMargins{15, 15, 15, 15}, PrintMargins{0, 24, 15, 24},
                                  PrintMargins{33, 1, 66, 98}, PrintMargins{49, 49, 50, 50}})
      QCOMPARE(Show(dw::ui::MarginsOf(dw::ui::ImageRectFor(paper, m), paper)), Show(m));
  }

  void ZonesByPrecedenceWithinFourPixels() {
    const Rect r{100, 100, 300, 200};
    struct Case {
      int x, y;
      TPreviewZone zone;
    };
    for (const Case& c : {Case{100, 100, TPreviewZone::TopLeft}, Case{96, 204, TPreviewZone::BottomLeft},
                          Case{304, 96, TPreviewZone::TopRight}, Case{300, 200, TPreviewZone::BottomRight},
                          Case{104, 150, TPreviewZone::Left}, Case{95, 150, TPreviewZone::None},
                          Case{296, 150, TPreviewZone::Right}, Case{200, 204, TPreviewZone::Bottom},
                          Case{200, 97, TPreviewZone::Top}, Case{200, 150, TPreviewZone::Move},
                          Case{200, 90, TPreviewZone::None},
                          // An edge counts along its whole line, even beyond the image.
                          Case{102, 20, TPreviewZone::Left}})
      QCOMPARE(int(dw::ui::ZoneAt(r, {c.x, c.y}, true, true)), int(c.zone));
    QCOMPARE(int(dw::ui::ZoneAt(r, {200, 150}, false, true)), int(TPreviewZone::None));
    QCOMPARE(int(dw::ui::ZoneAt(r, {100, 150}, true, false)), int(TPreviewZone::None));
    QCOMPARE(int(dw::ui::ZoneAt(r, {200, 150}, true, false)), int(TPreviewZone::Move));
  }
};

QTEST_MAIN(ChartPreviewTest)
#include "chartpreview_test.moc"
