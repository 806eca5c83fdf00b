#include "ui/progress.h"

#include <QCoreApplication>

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

TRunProgress::TRunProgress(QWidget* owner, int showAfterMs)
    : owner_(owner), showAfterMs_(showAfterMs) {
  sinceStart_.start();
}

TRunProgress::~TRunProgress() { Close(); }

void TRunProgress::SimulationFinished(uint32_t s, uint32_t I) {
  completed_ = s;
  if (closed_) return;
  if (!dialog_) {
    if (sinceStart_.elapsed() < showAfterMs_) return;
    dialog_ = new QProgressDialog(owner_);
    dialog_->setObjectName("RunProgress");
    dialog_->setWindowTitle(CurrentApplicationTitle());
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setCancelButtonText("Cancel");
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(0);
    dialog_->setRange(0, static_cast<int>(I));
    dialog_->setLabelText(DoneText(s, I));
    dialog_->setValue(static_cast<int>(s));
    dialog_->show();
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

bool TRunProgress::CancelRequested() { return dialog_ && dialog_->wasCanceled(); }

void TRunProgress::Close() {
  closed_ = true;
  if (dialog_) {
    dialog_->hide();
    dialog_->deleteLater();
    dialog_ = nullptr;
  }
}

}  // namespace dw::ui
