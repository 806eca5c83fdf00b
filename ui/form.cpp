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

void PrepareFileDialog(QFileDialog& dialog, const TFormScale& form, const QString& current) {
  dialog.setDefaultSuffix("txt");
  dialog.setSizeGripEnabled(true);
  QSize size(form.Scaled(kFileDialogWidth), form.Scaled(kFileDialogHeight));
  const QWidget* owner = dialog.parentWidget() ? dialog.parentWidget() : &dialog;
  if (const QScreen* display = owner->screen())
    size = size.boundedTo(display->availableGeometry().size());
  dialog.resize(size.expandedTo(dialog.sizeHint()));
  dialog.installEventFilter(new TReadableColumns(&dialog));
  if (current.isEmpty()) return;
  const QFileInfo file(current);
  dialog.setDirectory(file.absolutePath());
  dialog.selectFile(file.fileName());
}

}  // namespace dw::ui
