#pragma once
// A scan of every locus run off the GUI thread, so the window keeps
// repainting: the scan's own thread plans the passes and its workers run the
// loci, while the GUI thread waits in an event loop and shows the progress
// in a dialog whose Cancel stops the scan after the loci in progress. The
// window takes no input meanwhile, except the window system's request to
// close it, which the window answers by offering to cancel.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/cancel.h"
#include "scan/scan.h"
#include "scan/scanprogress.h"

namespace dw::ui {

class TInputBlock;

class TScanJob : public QObject, public scan::ScanObserver {
 public:
  // The dialog shows once the scan has lasted `showAfterMs`.
  TScanJob(QWidget* owner, int showAfterMs);
  ~TScanJob() override;

  // Runs the scan to its end or its cancel and returns what it gave; an
  // exception of the scan's thread is raised again here.
  scan::ScanResult Run(const scan::ScanSettings& settings, std::vector<scan::ScannedLocus> loci,
                       const std::string& file);
  // Stops the scan after the loci in progress, as Cancel does.
  void RequestCancel() { cancel_.Request(); }
  bool CancelRequested() const { return cancel_.Requested(); }
  // "Fitting the null: pass 2 of 5", "Testing: 812 of 1000 loci resolved".
  QString StageText() const;
  QProgressDialog* Dialog() const { return dialog_; }
  qint64 ElapsedMs() const { return sinceStart_.elapsed(); }

  // ScanObserver: the plan and the stages on the scan's thread, while no
  // locus runs; the counts on its workers.
  void ScanPlanned(const scan::ScanPlan& plan) override;
  void FitPassStarted(int pass) override;
  void TestRoundStarted(uint64_t outstanding) override;
  void SimulationDone() override { simulationsDone_.fetch_add(1, std::memory_order_relaxed); }
  void LocusDone() override { lociDone_.fetch_add(1, std::memory_order_relaxed); }

 private:
  void Poll();
  scan::ScanCounts Counts() const;
  scan::ProgressShown Shown();

  QWidget* owner_;
  int showAfterMs_;
  CancelRequest cancel_;
  std::atomic<std::size_t> lociDone_{0};
  std::atomic<uint64_t> simulationsDone_{0};
  mutable std::mutex mutex_;  // guards progress_: stages on the scan's thread, Poll on the GUI's
  scan::ScanProgress progress_;
  QElapsedTimer sinceStart_;
  QTimer poll_;
  QPointer<QProgressDialog> dialog_;
  std::unique_ptr<TInputBlock> inputBlock_;
};

}  // namespace dw::ui
