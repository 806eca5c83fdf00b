#pragma once
// The scan's pictures on the Loci tab: a chooser ("Delta by locus", "WC
// against He", and for data with positions "-log10 q along the
// chromosomes") over the picture drawn at the widget's size. A pointer held
// over a locus shows its values; a click on it says which locus, so the tab
// can select its row. Also the size asked before a picture is exported.
#include <QComboBox>
#include <QDialog>
#include <QWidget>
#include <optional>
#include <vector>

#include "chart/qt/export.h"
#include "scan/pictures.h"
#include "scan/qt/plotfile.h"

class QSpinBox;
class QTableView;
class QSortFilterProxyModel;

namespace dw::ui {

// "Lap: Delta = 0.0123, p_higher = 0.00100, q = 0.0420 …": a locus's values
// as the pointer shows them, one line per test.
QString LocusTip(const scan::ScannedLocus& l);

// The picture chosen, drawn at the widget's size (wider and shrunk where its
// title needs it).
class TScanPictureView : public QWidget {
  Q_OBJECT
 public:
  explicit TScanPictureView(QWidget* parent = nullptr);
  // Not owned; null: nothing.
  void SetPictures(const scan::ScanSummary* scan, const scan::ScanPictures* pictures,
                   scan::PictureKind kind);
  QSize sizeHint() const override { return {720, 300}; }
  // The locus (index into the scan's loci) under a point of the widget.
  std::optional<std::size_t> LocusAt(QPoint at) const;
  // Where the last paint put each locus, in the widget's pixels.
  std::vector<scan::PlotMark> Marks() const;

 signals:
  void LocusClicked(std::size_t locus);

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  const scan::ScanSummary* scan_ = nullptr;
  const scan::ScanPictures* pictures_ = nullptr;
  scan::PictureKind kind_ = scan::PictureKind::Delta;
  std::vector<scan::PlotMark> marks_;  // in the drawing's units
  double shrink_ = 1;                  // drawing units per widget pixel
};

class TScanPictures : public QWidget {
  Q_OBJECT
 public:
  explicit TScanPictures(QWidget* parent = nullptr);
  // Makes the scan's pictures (not owned; null: none) and offers them; the
  // choice made stays where the new scan offers it.
  void SetScan(const scan::ScanSummary* scan);
  scan::PictureKind Kind() const;
  const scan::ScanPictures& Pictures() const { return pictures_; }
  // The chosen picture's default file name ending: "-scan", "-wc-he", "-q".
  QString FileSuffix() const;

  QComboBox* Choice;
  TScanPictureView* View;

 signals:
  void LocusClicked(std::size_t locus);

 private:
  void Show();
  const scan::ScanSummary* scan_ = nullptr;
  scan::ScanPictures pictures_;
  std::vector<scan::PictureKind> offered_;
};

// Selects the table's row of a source row and scrolls it into view.
void SelectSourceRow(QTableView& table, const QSortFilterProxyModel& sorted, int sourceRow);

// Asks the size of an exported picture: width and height (96 per inch, the
// page of an SVG or PDF), and for a PNG the pixels per inch. Proposes
// `proposed`; none when cancelled.
class TPlotSizeDialog : public QDialog {
  Q_OBJECT
 public:
  TPlotSizeDialog(QWidget* parent, scan::PlotSize proposed, chart::ChartFileFormat format);
  scan::FileSize Size() const;
  QSpinBox* WidthBox;
  QSpinBox* HeightBox;
  QSpinBox* DpiBox;
};
std::optional<scan::FileSize> AskFileSize(QWidget* parent, scan::PlotSize proposed,
                                          chart::ChartFileFormat format);

}  // namespace dw::ui
