#include "ui/scanplots.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

#include "chart/qt/qpainter_canvas.h"
#include "ui/explain.h"

namespace dw::ui {

namespace {

QString P(double p) { return QString::fromStdString(PValueText(p)); }

// The mark in widget pixels, for a drawing `shrink` times the widget's size.
scan::PlotMark OnWidget(const scan::PlotMark& m, double shrink) {
  const auto px = [shrink](int v) { return static_cast<int>(std::lround(v / shrink)); };
  return {{px(m.box.left), px(m.box.top), px(m.box.right), px(m.box.bottom)}, m.item};
}

}  // namespace

QString LocusTip(const scan::ScannedLocus& l) {
  QString tip = QString::fromStdString(l.name);
  if (!l.chrom.empty()) tip += " (" + QString::fromStdString(l.chrom) + ":" + QString::number(l.pos) + ")";
  if (!l.ran) return tip + ": not tested";
  if (l.deltaTested)
    tip += "\nDelta = " + QString::number(static_cast<double>(l.estimate.delta), 'g', 4) +
           ": p_higher = " + P(l.p.higher) + ", p_lower = " + P(l.p.lower) + ", q = " + P(l.q);
  return tip + "\nWC = " + QString::number(static_cast<double>(l.estimate.wc), 'g', 4) +
         ": p_higher = " + P(l.pWc.higher) + ", q = " + P(l.qWc);
}

TScanPictureView::TScanPictureView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);  // the hand over a locus
}

void TScanPictureView::SetPictures(const scan::ScanSummary* scan,
                                   const scan::ScanPictures* pictures, scan::PictureKind kind) {
  scan_ = scan;
  pictures_ = pictures;
  kind_ = kind;
  marks_.clear();
  update();
}

void TScanPictureView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  marks_.clear();
  if (!pictures_ || !scan_) {
    painter.fillRect(rect(), palette().window());
    return;
  }
  painter.setRenderHint(QPainter::Antialiasing);
  chart::QPainterCanvas canvas(painter, 96);
  // Narrower than its title, the picture is drawn wider and shrunk to fit,
  // so the title shows whole.
  canvas.SetFont(chart::FontSpec{});
  int needed = 0;
  for (const QString& line : QString::fromStdString(scan::PictureTitle(*pictures_, kind_)).split('\n'))
    needed = std::max(needed, canvas.TextWidth(line.toStdString()) + 24);
  shrink_ = 1;
  int w = width(), h = height();
  if (needed > width()) {
    shrink_ = static_cast<double>(needed) / std::max(1, width());
    w = needed;
    h = static_cast<int>(std::lround(height() * shrink_));
    painter.setWindow(0, 0, w, h);
  }
  marks_ = scan::DrawPicture(*pictures_, kind_, canvas, {0, 0, w, h});
}

std::vector<scan::PlotMark> TScanPictureView::Marks() const {
  std::vector<scan::PlotMark> marks;
  for (const scan::PlotMark& m : marks_) marks.push_back(OnWidget(m, shrink_));
  return marks;
}

std::optional<std::size_t> TScanPictureView::LocusAt(QPoint at) const {
  if (!pictures_) return std::nullopt;
  const chart::Point p{static_cast<int>(std::lround(at.x() * shrink_)),
                       static_cast<int>(std::lround(at.y() * shrink_))};
  const auto item = scan::ItemAt(marks_, p);
  if (!item) return std::nullopt;
  return scan::LocusOfItem(*pictures_, kind_, *item);
}

bool TScanPictureView::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  auto* help = static_cast<QHelpEvent*>(event);
  const auto locus = LocusAt(help->pos());
  if (!locus || !scan_ || *locus >= scan_->loci.size()) return QWidget::event(event);  // the hint
  QToolTip::showText(help->globalPos(), LocusTip(scan_->loci[*locus]), this);
  return true;
}

void TScanPictureView::mouseMoveEvent(QMouseEvent* event) {
  setCursor(LocusAt(event->position().toPoint()) ? Qt::PointingHandCursor : Qt::ArrowCursor);
  QWidget::mouseMoveEvent(event);
}

void TScanPictureView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    if (const auto locus = LocusAt(event->position().toPoint())) {
      emit LocusClicked(*locus);
      return;
    }
  QWidget::mousePressEvent(event);
}

TScanPictures::TScanPictures(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  Choice = new QComboBox(this);
  Choice->setObjectName("PlotChoice");
  Choice->setToolTip("The picture of the scan shown, printed and exported");
  Choice->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  layout->addWidget(Choice, 0, Qt::AlignLeft);
  View = new TScanPictureView(this);
  View->setObjectName("PlotView");
  View->setToolTip("Hold the pointer over a locus for its values; click it to select its row");
  layout->addWidget(View, 1);
  connect(Choice, &QComboBox::currentIndexChanged, this, [this] { Show(); });
  connect(View, &TScanPictureView::LocusClicked, this, &TScanPictures::LocusClicked);
}

void TScanPictures::SetScan(const scan::ScanSummary* scan) {
  const scan::PictureKind kept = Kind();
  scan_ = scan;
  pictures_ = scan ? scan::PicturesOf(*scan) : scan::ScanPictures{};
  offered_ = scan ? scan::PicturesOffered(pictures_) : std::vector<scan::PictureKind>{};
  {
    const QSignalBlocker quiet(Choice);
    Choice->clear();
    for (scan::PictureKind kind : offered_) Choice->addItem(scan::PictureName(kind));
    // A scan of two-allele loci has no Delta picture: WC against He shows its test.
    const scan::PictureKind wanted =
        kept == scan::PictureKind::Delta && pictures_.delta.loci.empty() ? scan::PictureKind::WcHe : kept;
    const auto at = std::find(offered_.begin(), offered_.end(), wanted);
    Choice->setCurrentIndex(at == offered_.end() ? 0 : static_cast<int>(at - offered_.begin()));
  }
  Show();
}

scan::PictureKind TScanPictures::Kind() const {
  const int at = Choice->currentIndex();
  return at >= 0 && at < static_cast<int>(offered_.size()) ? offered_[static_cast<std::size_t>(at)]
                                                             : scan::PictureKind::Delta;
}

QString TScanPictures::FileSuffix() const {
  switch (Kind()) {
    case scan::PictureKind::Delta: return "-scan";
    case scan::PictureKind::WcHe: return "-wc-he";
    case scan::PictureKind::Q: return "-q";
  }
  return "-scan";
}

void TScanPictures::Show() {
  View->SetPictures(scan_, scan_ ? &pictures_ : nullptr, Kind());
}

void SelectSourceRow(QTableView& table, const QSortFilterProxyModel& sorted, int sourceRow) {
  const QModelIndex source = sorted.sourceModel()->index(sourceRow, 0);
  const int row = sorted.mapFromSource(source).row();
  if (row < 0) return;
  table.selectRow(row);
  // The first column shown: the locus column itself is hidden.
  int column = 0;
  while (column < sorted.columnCount() && table.isColumnHidden(column)) ++column;
  table.scrollTo(sorted.index(row, std::min(column, sorted.columnCount() - 1)),
                 QAbstractItemView::PositionAtCenter);
}

TPlotSizeDialog::TPlotSizeDialog(QWidget* parent, scan::PlotSize proposed,
                                 chart::ChartFileFormat format)
    : QDialog(parent) {
  setObjectName("PlotSizeDialog");
  setWindowTitle("Size of the exported picture");
  auto* form = new QFormLayout(this);
  const auto box = [&](const char* name, int value, int low, int high, const QString& suffix) {
    auto* b = new QSpinBox(this);
    b->setObjectName(name);
    b->setRange(low, high);
    b->setValue(std::clamp(value, low, high));
    b->setSuffix(suffix);
    return b;
  };
  WidthBox = box("PlotWidth", proposed.width, 160, 20000, " px");
  HeightBox = box("PlotHeight", proposed.height, 120, 20000, " px");
  DpiBox = box("PlotDpi", 96, 48, 1200, " per inch");
  form->addRow("Width (at 96 per inch):", WidthBox);
  form->addRow("Height (at 96 per inch):", HeightBox);
  form->addRow("PNG resolution:", DpiBox);
  auto* note = new QLabel(this);
  form->addRow(note);
  // The PNG's pixels follow the resolution; SVG and PDF are drawings whose
  // page the width and height give.
  DpiBox->setEnabled(format == chart::ChartFileFormat::Png);
  const auto explain = [=, this] {
    const scan::FileSize s = Size();
    note->setText(format == chart::ChartFileFormat::Png
                      ? QString("%1 × %2 pixels").arg(chart::PixelsAt(s.width, s.pixelsPerInch))
                            .arg(chart::PixelsAt(s.height, s.pixelsPerInch))
                      : QString("A page of %1 × %2 inches").arg(s.width / 96.0, 0, 'f', 2)
                            .arg(s.height / 96.0, 0, 'f', 2));
  };
  for (QSpinBox* b : {WidthBox, HeightBox, DpiBox})
    connect(b, &QSpinBox::valueChanged, this, explain);
  explain();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
}

scan::FileSize TPlotSizeDialog::Size() const {
  return {WidthBox->value(), HeightBox->value(), DpiBox->isEnabled() ? DpiBox->value() : 96};
}

std::optional<scan::FileSize> AskFileSize(QWidget* parent, scan::PlotSize proposed,
                                          chart::ChartFileFormat format) {
  TPlotSizeDialog dialog(parent, proposed, format);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Size();
}

}  // namespace dw::ui
