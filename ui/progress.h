#pragma once
// The progress of a long run: a dialog with the simulations done and a
// Cancel button. Until it shows, the run keeps the window to itself as a
// synchronous run does; once it shows, the window repaints but takes no
// input, except the window system's request to close it, which the window
// answers by offering to cancel the run.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "engine/rundriver.h"

namespace dw::ui {

// Drops the keyboard and mouse input meant for one window while it lives. A
// modal dialog would do the same, but the window system's close request of
// a window under a modal dialog never reaches the window.
class TInputBlock : public QObject {
 public:
  explicit TInputBlock(QWidget* window);

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override;

 private:
  QWidget* window_;
};

// A progress dialog of the program's own: titled, not modal (input is held
// off by a TInputBlock instead), a Cancel button, never closing by itself.
QProgressDialog* NewProgressDialog(QWidget* owner, const char* objectName);

class TRunProgress : public RunProgress {
 public:
  // The dialog shows once the run has lasted `showAfterMs`.
  TRunProgress(QWidget* owner, int showAfterMs);
  ~TRunProgress() override;

  void SimulationFinished(uint32_t s, uint32_t I) override;
  bool CancelRequested() override;
  // Ends the run after the simulation in progress, as Cancel does.
  void RequestCancel() { cancelRequested_ = true; }
  uint32_t Completed() const { return completed_; }
  uint32_t Total() const { return total_; }
  // Takes the dialog down (before the run's closing message).
  void Close();
  QProgressDialog* Dialog() const { return dialog_; }

 private:
  QWidget* owner_;
  int showAfterMs_;
  uint32_t completed_ = 0;
  uint32_t total_ = 0;
  bool closed_ = false;
  bool cancelRequested_ = false;
  QElapsedTimer sinceStart_;
  QElapsedTimer sinceEvents_;
  QPointer<QProgressDialog> dialog_;
  std::unique_ptr<TInputBlock> inputBlock_;
};

}  // namespace dw::ui
