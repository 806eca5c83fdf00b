// The scan's one progress: a sequence of the scan's events gives a bar that
// never goes back, the stage's text and the time texts.
#include "scan/scanprogress.h"

#include <gtest/gtest.h>

#include <vector>

namespace dw::scan {
namespace {

// A fit of 5 usual passes over 10 loci of 100 simulations (5000), then a
// test of 10 loci planned at 100 each (1000): 6000 in all before the test.
ScanPlan TenLociPlan() {
  return {.fitPasses = 5, .fitLoci = 10, .fitSimulations = 100, .testLoci = 10, .testSimulations = 1000};
}

struct Event {
  enum Kind { Pass, Round, Look } kind;
  int pass = 0;              // Pass
  uint64_t outstanding = 0;  // Round
  ScanCounts counts;         // at the event, or looked at
  double seconds = 0;        // Look
  double fraction = 0;       // Look: expected
  const char* stage = "";    // Look: expected
  const char* time = "";     // Look: expected
};

TEST(ScanProgress, OneBarOverTheFitAndTheRounds) {
  const std::vector<Event> events = {
      {Event::Look, 0, 0, {0, 0}, 0.2, 0.0, "Starting the scan", "0 s elapsed"},
      {Event::Pass, 1, 0, {0, 0}},
      {Event::Look, 0, 0, {600, 6}, 0.4, 0.1, "Fitting the null: pass 1 of 5", "0 s elapsed"},
      {Event::Look, 0, 0, {600, 6}, 2.0, 0.1, "Fitting the null: pass 1 of 5",
       "2 s elapsed, about 18 s left"},
      // A sixth pass: 7000 in all, the bar holds where it was.
      {Event::Pass, 6, 0, {5000, 50}},
      {Event::Look, 0, 0, {5000, 50}, 50, 5000.0 / 7000, "Fitting the null: pass 6 (more than the usual 5)",
       "50 s elapsed, about 20 s left"},
      {Event::Look, 0, 0, {5600, 56}, 56, 5600.0 / 7000, "Fitting the null: pass 6 (more than the usual 5)",
       "56 s elapsed, about 14 s left"},
      // The test: its first round foresees 800 simulations (shared nulls).
      {Event::Round, 0, 800, {6000, 60}},
      {Event::Look, 0, 0, {6400, 63}, 64, 6400.0 / 6800, "Testing: 3 of 10 loci resolved",
       "1 min 4 s elapsed, about 4 s left"},
      // A second round of 2000 more for 2 open loci: the bar does not go back.
      {Event::Round, 0, 2000, {6800, 68}},
      {Event::Look, 0, 0, {6900, 68}, 69, 6400.0 / 6800, "Testing: 8 of 10 loci resolved",
       "1 min 9 s elapsed, about 4 s left"},
      {Event::Look, 0, 0, {8500, 69}, 80, 8500.0 / 8800, "Testing: 9 of 10 loci resolved",
       "1 min 20 s elapsed, about 3 s left"},
      {Event::Look, 0, 0, {8800, 70}, 7300, 1.0, "Testing: 10 of 10 loci resolved", "2 h 1 min elapsed"},
  };
  ScanProgress progress;
  progress.Planned(TenLociPlan());
  double before = 0;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const Event& e = events[i];
    if (e.kind == Event::Pass) progress.FitPassStarted(e.pass, e.counts);
    if (e.kind == Event::Round) progress.TestRoundStarted(e.outstanding, e.counts);
    if (e.kind != Event::Look) continue;
    const ProgressShown shown = progress.Show(e.counts, e.seconds);
    EXPECT_NEAR(shown.fraction, e.fraction, 1e-12) << "event " << i;
    EXPECT_GE(shown.fraction, before) << "event " << i;
    EXPECT_EQ(shown.stage, e.stage) << "event " << i;
    EXPECT_EQ(shown.time, e.time) << "event " << i;
    before = shown.fraction;
  }
}

TEST(ScanProgress, AFixedCountWithoutAFitCountsLociDone) {
  ScanProgress progress;
  progress.Planned({.testLoci = 4, .testSimulations = 4000, .sequential = false});
  progress.TestRoundStarted(4000, {0, 0});
  const ProgressShown shown = progress.Show({1000, 1}, 10);
  EXPECT_DOUBLE_EQ(shown.fraction, 0.25);
  EXPECT_EQ(shown.stage, "Testing: 1 of 4 loci done");
  EXPECT_EQ(shown.time, "10 s elapsed, about 30 s left");
  // Under half a second left is not told.
  EXPECT_EQ(progress.Show({3999, 3}, 100).time, "1 min 40 s elapsed");
}

TEST(ScanProgress, DurationsInTheTwoLargestUnits) {
  struct Case {
    double seconds;
    const char* text;
  };
  for (const Case c : {Case{0, "0 s"}, {59.4, "59 s"}, {59.6, "1 min 0 s"}, {60, "1 min 0 s"}, {72.4, "1 min 12 s"},
                       {3599, "59 min 59 s"}, {3600, "1 h 0 min"}, {7500, "2 h 5 min"}, {-3, "0 s"}})
    EXPECT_EQ(DurationText(c.seconds), c.text) << c.seconds;
}

}  // namespace
}  // namespace dw::scan
