#include "ui/form.h"

#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>

#include "chart/chart.h"
#include "ui/spinedit.h"

namespace dw::ui {

namespace {

// The file dialogs open at least this large (design pixels), so their name,
// size, type and date columns show side by side.
constexpr int kFileDialogWidth = 760, kFileDialogHeight = 500;

// Once the dialog shows, its detail view's size, type and date columns take
// the width of their contents and the name the rest: the dialog's own
// widths elide them ("275...tes"). Its widgets exist only then, and the
// contents arrive as the folder is read, so the columns keep following them.
class TReadableColumns : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show)
      for (QTreeView* view : watched->findChildren<QTreeView*>()) {
        QHeaderView* header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
      }
    return false;
  }
};

}  // namespace

int TFormScale::Scaled(int designPixels) const {
  return textHeight_ == designTextHeight_ ? designPixels
                                          : chart::MulDiv(designPixels, textHeight_, designTextHeight_);
}

void TFormScale::Place(QWidget* widget, int l, int t, int w, int h) const {
  widget->setGeometry(Scaled(l), Scaled(t), Scaled(w), Scaled(h));
}

void TFormScale::PlaceCaption(QWidget* widget, int l, int t, int w, int h) const {
  Place(widget, l, t, w, h);
  const QSize needed = widget->sizeHint();
  QRect box = widget->geometry();
  if (needed.width() > box.width()) box.setWidth(needed.width());
  if (needed.height() > box.height()) {
    box.setTop(box.top() - (needed.height() - box.height()) / 2);
    box.setHeight(needed.height());
  }
  widget->setGeometry(box);
}

void SetHint(QWidget* widget, const char* hint) {
  widget->setToolTip(hint);
  widget->setStatusTip(hint);
  widget->setToolTipDuration(2500);
}

void FitCountBox(TSpinEdit* box) {
  const int missing = box->WidestValueWidth() - box->TextRect().width();
  if (missing <= 0) return;
  box->setGeometry(box->geometry().adjusted(-missing / 2, 0, missing - missing / 2, 0));
}

QString AskFileName(QWidget* owner, const TFormScale& form, const FileQuestion& q,
                    QString* chosenFilter) {
  QFileDialog dialog(owner);
  dialog.setObjectName(q.name);
  if (!q.title.isEmpty()) dialog.setWindowTitle(q.title);
  dialog.setAcceptMode(q.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(q.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(q.filters);
  dialog.setDefaultSuffix(q.suffix);
  if (q.save)
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
      const int star = filter.indexOf("*.");
      if (star >= 0) dialog.setDefaultSuffix(filter.mid(star + 2).section(')', 0, 0).section(' ', 0, 0));
    });
  dialog.setSizeGripEnabled(true);
  QSize size(form.Scaled(kFileDialogWidth), form.Scaled(kFileDialogHeight));
  if (const QScreen* display = (owner ? owner : &dialog)->screen())
    size = size.boundedTo(display->availableGeometry().size());
  dialog.resize(size.expandedTo(dialog.sizeHint()));
  dialog.installEventFilter(new TReadableColumns(&dialog));
  if (!q.current.isEmpty()) {
    const QFileInfo file(q.current);
    dialog.setDirectory(file.absolutePath());
    dialog.selectFile(file.fileName());
  } else if (!q.folder.isEmpty()) {
    dialog.setDirectory(q.folder);
  }
  const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  if (chosenFilter) *chosenFilter = dialog.selectedNameFilter();
  return accepted ? dialog.selectedFiles().first() : QString();
}

}  // namespace dw::ui
