#include "scan/scanprogress.h"

#include <algorithm>
#include <cmath>

namespace dw::scan {

namespace {

// Before this share is done, or this long, a rate says little about the rest.
constexpr double kLeastFractionForEstimate = 0.01;
constexpr double kLeastSecondsForEstimate = 1.0;

}  // namespace

void ScanProgress::FitPassStarted(int pass, ScanCounts) { pass_ = pass; }

void ScanProgress::TestRoundStarted(uint64_t outstanding, ScanCounts at) {
  if (!testing_) testStart_ = at;
  testing_ = true;
  // A later round can only add to what the test runs.
  testEstimate_ = std::max(testEstimate_, at.simulations - testStart_.simulations + outstanding);
}

double ScanProgress::Fraction(ScanCounts now) const {
  uint64_t done = now.simulations, total = 0;
  if (!testing_) {
    // The fit may take more passes than usual; the test as first planned.
    const uint64_t passes = static_cast<uint64_t>(std::max(plan_.fitPasses, pass_));
    total = passes * plan_.fitLoci * static_cast<uint64_t>(std::max(plan_.fitSimulations, 0)) +
            plan_.testSimulations;
  } else {
    // What the fit took, then the test as its rounds foresee it.
    const uint64_t tested = now.simulations - testStart_.simulations;
    total = testStart_.simulations + std::max(tested, testEstimate_);
  }
  if (total == 0) return 0;
  return std::min(1.0, static_cast<double>(std::min(done, total)) / static_cast<double>(total));
}

std::string ScanProgress::StageText(ScanCounts now) const {
  if (testing_) {
    const std::size_t loci = std::min(now.loci - testStart_.loci, plan_.testLoci);
    return "Testing: " + std::to_string(loci) + " of " + std::to_string(plan_.testLoci) +
           (plan_.sequential ? " loci resolved" : " loci done");
  }
  if (pass_ == 0) return "Starting the scan";
  if (pass_ > plan_.fitPasses)
    return "Fitting the null: pass " + std::to_string(pass_) + " (more than the usual " +
           std::to_string(plan_.fitPasses) + ")";
  return "Fitting the null: pass " + std::to_string(pass_) + " of " +
         std::to_string(plan_.fitPasses);
}

ProgressShown ScanProgress::Show(ScanCounts now, double elapsedSeconds) {
  shown_ = std::max(shown_, Fraction(now));
  ProgressShown shown{shown_, StageText(now), DurationText(elapsedSeconds) + " elapsed"};
  if (shown_ < kLeastFractionForEstimate || elapsedSeconds < kLeastSecondsForEstimate) return shown;
  // Under a second left is what a stalled bar says while the last loci's
  // rounds grow: better nothing than "0 s".
  const double left = elapsedSeconds * (1.0 - shown_) / shown_;
  if (left >= 0.5) shown.time += ", about " + DurationText(left) + " left";
  return shown;
}

std::string DurationText(double seconds) {
  const long long s = std::llround(std::max(0.0, seconds));
  if (s < 60) return std::to_string(s) + " s";
  if (s < 3600) return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
  return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
}

}  // namespace dw::scan
