#include "ui/scanjob.h"

#include <QEventLoop>
#include <exception>
#include <thread>

#include "runtime/floatmode.h"
#include "runtime/numtext.h"
#include "ui/messages.h"
#include "ui/progress.h"

namespace dw::ui {

namespace {

constexpr int kPollMs = 50;  // often enough for a smooth bar, rare enough to cost nothing

QString Count(uint64_t value) {
  return QString::fromStdString(FormatInteger(static_cast<int32_t>(std::min<uint64_t>(value, 0x7FFFFFFF))));
}

}  // namespace

TScanJob::TScanJob(QWidget* owner, int showAfterMs) : owner_(owner), showAfterMs_(showAfterMs) {
  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, &TScanJob::Poll);
}

TScanJob::~TScanJob() { delete dialog_; }

void TScanJob::StageStarted(int pass, std::size_t loci, int32_t simulations) {
  // The counts first: the GUI reads the pass last.
  lociDone_ = 0;
  simulationsDone_ = 0;
  loci_ = loci;
  simulations_ = static_cast<uint64_t>(loci) * static_cast<uint64_t>(std::max(simulations, 0));
  pass_ = pass;
}

QString TScanJob::StageText() const {
  const QString loci = Count(lociDone_) + " of " + Count(loci_) + " loci done";
  const int pass = pass_;
  if (pass > 0) return "Fitting the null to the loci, pass " + QString::number(pass) + ": " + loci;
  return "Testing the loci: " + loci;
}

void TScanJob::Poll() {
  if (!dialog_) {
    if (sinceStart_.elapsed() < showAfterMs_) return;
    dialog_ = NewProgressDialog(owner_, "ScanProgress");
    dialog_->setMinimumWidth(360);
    connect(dialog_, &QProgressDialog::canceled, this, [this] { cancel_.Request(); });
    dialog_->show();
    dialog_->activateWindow();
  }
  const uint64_t total = std::max<uint64_t>(simulations_, 1);
  // The bar in thousandths: a scan can hold more simulations than an int.
  dialog_->setRange(0, 1000);
  dialog_->setValue(static_cast<int>(std::min<uint64_t>(simulationsDone_, total) * 1000 / total));
  dialog_->setLabelText(cancel_.Requested() ? "Cancelling after the loci in progress..."
                                            : StageText());
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
