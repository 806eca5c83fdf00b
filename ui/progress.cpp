#include "ui/progress.h"

#include <QCoreApplication>
#include <QEvent>

#include "runtime/numtext.h"
#include "ui/messages.h"

namespace dw::ui {

namespace {
constexpr int kEventsEveryMs = 40;  // keeps repainting without slowing the run

QString DoneText(uint32_t s, uint32_t I) {
  return QString::fromStdString(FormatInteger(static_cast<int32_t>(s)) + " of " +
                                FormatInteger(static_cast<int32_t>(I)) + " simulations done");
}

}  // namespace

TInputBlock::TInputBlock(QWidget* window) : window_(window) {
  QCoreApplication::instance()->installEventFilter(this);
}

bool TInputBlock::eventFilter(QObject* receiver, QEvent* event) {
  switch (event->type()) {
    case QEvent::ShortcutOverride:  // accepted: no shortcut or accelerator fires
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
      break;
    default:
      return false;
  }
  auto* widget = qobject_cast<QWidget*>(receiver);
  if (!widget || widget->window() != window_) return false;
  event->accept();
  return true;
}

TRunProgress::TRunProgress(QWidget* owner, int showAfterMs)
    : owner_(owner), showAfterMs_(showAfterMs) {
  sinceStart_.start();
}

QProgressDialog* NewProgressDialog(QWidget* owner, const char* objectName) {
  auto* dialog = new QProgressDialog(owner);
  dialog->setObjectName(objectName);
  dialog->setWindowTitle(CurrentApplicationTitle());
  dialog->setWindowModality(Qt::NonModal);
  dialog->setCancelButtonText("Cancel");
  dialog->setAutoClose(false);
  dialog->setAutoReset(false);
  dialog->setMinimumDuration(0);
  return dialog;
}

TRunProgress::~TRunProgress() { Close(); }

void TRunProgress::SimulationFinished(uint32_t s, uint32_t I) {
  completed_ = s;
  total_ = I;
  if (closed_) return;
  if (!dialog_) {
    if (sinceStart_.elapsed() < showAfterMs_) return;
    if (owner_) inputBlock_ = std::make_unique<TInputBlock>(owner_->window());
    dialog_ = NewProgressDialog(owner_, "RunProgress");
    dialog_->setRange(0, static_cast<int>(I));
    dialog_->setLabelText(DoneText(s, I));
    dialog_->setValue(static_cast<int>(s));
    dialog_->show();
    dialog_->activateWindow();
    QCoreApplication::processEvents();
    sinceEvents_.start();
    return;
  }
  if (sinceEvents_.elapsed() < kEventsEveryMs && s != I) return;
  dialog_->setLabelText(DoneText(s, I));
  dialog_->setValue(static_cast<int>(s));
  QCoreApplication::processEvents();
  sinceEvents_.start();
}

bool TRunProgress::CancelRequested() {
  return cancelRequested_ || (dialog_ && dialog_->wasCanceled());
}

void TRunProgress::Close() {
  closed_ = true;
  inputBlock_.reset();  // removes itself from the application's filters
  // Deleted now, not later: a hidden dialog can still be the active window
  // and so own the closing message, which a deferred delete, run inside that
  // message's own event loop, would take with it.
  delete dialog_;
  dialog_ = nullptr;
}

}  // namespace dw::ui
