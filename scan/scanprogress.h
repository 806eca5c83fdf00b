#pragma once
// One progress for a whole scan: the fit's passes and the test's rounds on
// one bar, weighted by their simulations, with the stage named and the time
// elapsed and left. The arithmetic alone: the window feeds it the scan's
// events and its counts, and shows what it gives.
#include <cstddef>
#include <cstdint>
#include <string>

#include "scan/scan.h"

namespace dw::scan {

// Counts since the scan began.
struct ScanCounts {
  uint64_t simulations = 0;
  std::size_t loci = 0;  // ScanObserver::LocusDone calls
};

struct ProgressShown {
  double fraction = 0;  // of the whole scan, 0 to 1; never less than shown before
  std::string stage;    // "Fitting the null: pass 2 of 5", "Testing: 812 of 1000 loci resolved"
  std::string time;     // "1 min 12 s elapsed, about 40 s left"; "left" once it can be told
};

class ScanProgress {
 public:
  void Planned(const ScanPlan& plan) { plan_ = plan; }
  // The events as ScanObserver hears them, with the counts at that moment.
  void FitPassStarted(int pass, ScanCounts at);
  void TestRoundStarted(uint64_t outstanding, ScanCounts at);
  ProgressShown Show(ScanCounts now, double elapsedSeconds);

 private:
  double Fraction(ScanCounts now) const;
  std::string StageText(ScanCounts now) const;

  ScanPlan plan_;
  int pass_ = 0;
  bool testing_ = false;
  ScanCounts testStart_;
  uint64_t testEstimate_ = 0;  // the test's simulations as the last round foresaw them
  double shown_ = 0;
};

// "40 s", "1 min 12 s", "2 h 5 min": to the nearest second, the largest two units.
std::string DurationText(double seconds);

}  // namespace dw::scan
