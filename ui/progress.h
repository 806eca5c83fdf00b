#pragma once
// The progress of a long run: a modal dialog with the simulations done and a
// Cancel button. Until it shows, the run keeps the window to itself as a
// synchronous run does; once it shows, the window repaints but takes no input.
#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QWidget>
#include <cstdint>

#include "engine/rundriver.h"

namespace dw::ui {

class TRunProgress : public RunProgress {
 public:
  // The dialog shows once the run has lasted `showAfterMs`.
  TRunProgress(QWidget* owner, int showAfterMs);
  ~TRunProgress() override;

  void SimulationFinished(uint32_t s, uint32_t I) override;
  bool CancelRequested() override;
  uint32_t Completed() const { return completed_; }
  // Takes the dialog down (before the run's closing message).
  void Close();
  QProgressDialog* Dialog() const { return dialog_; }

 private:
  QWidget* owner_;
  int showAfterMs_;
  uint32_t completed_ = 0;
  bool closed_ = false;
  QElapsedTimer sinceStart_;
  QElapsedTimer sinceEvents_;
  QPointer<QProgressDialog> dialog_;
};

}  // namespace dw::ui
