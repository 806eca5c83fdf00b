#include "ui/scanjob.h"

#include <QEventLoop>
#include <exception>
#include <thread>

#include "runtime/floatmode.h"
#include "ui/messages.h"
#include "ui/progress.h"

namespace dw::ui {

namespace {

constexpr int kPollMs = 50;  // often enough for a smooth bar, rare enough to cost nothing
constexpr int kBarSteps = 1000;  // the bar in thousandths: a scan can hold more simulations than an int

}  // namespace

TScanJob::TScanJob(QWidget* owner, int showAfterMs) : owner_(owner), showAfterMs_(showAfterMs) {
  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, &TScanJob::Poll);
}

TScanJob::~TScanJob() { delete dialog_; }

scan::ScanCounts TScanJob::Counts() const {
  return {simulationsDone_.load(std::memory_order_relaxed), lociDone_.load(std::memory_order_relaxed)};
}

void TScanJob::ScanPlanned(const scan::ScanPlan& plan) {
  std::lock_guard<std::mutex> lock(mutex_);
  progress_.Planned(plan);
}

void TScanJob::FitPassStarted(int pass) {
  std::lock_guard<std::mutex> lock(mutex_);
  progress_.FitPassStarted(pass, Counts());
}

void TScanJob::TestRoundStarted(uint64_t outstanding) {
  std::lock_guard<std::mutex> lock(mutex_);
  progress_.TestRoundStarted(outstanding, Counts());
}

scan::ProgressShown TScanJob::Shown() {
  std::lock_guard<std::mutex> lock(mutex_);
  return progress_.Show(Counts(), static_cast<double>(sinceStart_.elapsed()) / 1000.0);
}

QString TScanJob::StageText() const {
  std::lock_guard<std::mutex> lock(mutex_);
  // A copy: the question asked meanwhile must not move the bar's high mark.
  scan::ScanProgress progress = progress_;
  return QString::fromStdString(progress.Show(Counts(), 0).stage);
}

void TScanJob::Poll() {
  if (!dialog_) {
    if (sinceStart_.elapsed() < showAfterMs_) return;
    dialog_ = NewProgressDialog(owner_, "ScanProgress");
    dialog_->setMinimumWidth(360);
    dialog_->setRange(0, kBarSteps);
    connect(dialog_, &QProgressDialog::canceled, this, [this] { cancel_.Request(); });
    dialog_->show();
    dialog_->activateWindow();
  }
  const scan::ProgressShown shown = Shown();
  dialog_->setValue(static_cast<int>(shown.fraction * kBarSteps));
  dialog_->setLabelText(cancel_.Requested()
                            ? "Cancelling after the loci in progress..."
                            : QString::fromStdString(shown.stage + "\n" + shown.time));
}

scan::ScanResult TScanJob::Run(const scan::ScanSettings& settings,
                               std::vector<scan::ScannedLocus> loci, const std::string& file) {
  sinceStart_.start();
  if (owner_) inputBlock_ = std::make_unique<TInputBlock>(owner_->window());
  scan::ScanResult result;
  std::exception_ptr failure;
  QEventLoop loop;
  std::thread worker([&] {
    // The x87 control word and the float mode belong to the thread.
    EstablishFloatErrorMode();
    try {
      result = scan::RunScan(settings, std::move(loci), file, *this, cancel_);
    } catch (...) {
      failure = std::current_exception();
    }
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  poll_.start();
  loop.exec();
  worker.join();
  poll_.stop();
  inputBlock_.reset();
  // Gone at once: a message shown next must not take the dialog as its owner.
  delete dialog_;
  if (owner_) owner_->activateWindow();
  if (failure) std::rethrow_exception(failure);
  return result;
}

}  // namespace dw::ui
