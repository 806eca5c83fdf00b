// The sequential p-values' decisions between rounds: which loci stop and why,
// and how far the open ones go next, on hand-made tallies.
#include "scan/sequential.h"

#include <gtest/gtest.h>

#include <cmath>

namespace dw::scan {
namespace {

TEST(PoissonLowerBound, KnownQuantiles) {
  struct Case {
    uint64_t g;
    double level, lambda;
  };
  // P(X ≥ 1) = 1 − e^−λ; P(X ≥ 5 | 1.9701) = 0.05 (tables of the Poisson
  // confidence limits); none below for g = 0.
  for (const Case c : {Case{0, 1e-4, 0.0}, {1, 1e-4, -std::log1p(-1e-4)}, {1, 0.05, 0.051293},
                       {5, 0.05, 1.970150}, {10, 0.025, 4.795389}})
    EXPECT_NEAR(PoissonLowerBound(c.g, c.level), c.lambda, 1e-5) << c.g << " " << c.level;
}

// A two-allele locus (WC test only) that took `sims` simulations, `low` and
// `high` of them not above and above its observed WC.
ScannedLocus Locus(uint64_t low, uint64_t high) {
  ScannedLocus l;
  l.estimate.status = data::LocusStatus::Biallelic;
  l.simulations = low + high;
  l.wcLower = low;
  l.wcHigher = high;
  l.ran = true;
  return l;
}

struct Outcome {
  StopReason stop;
  uint64_t budget;
};

// `neutral` resolved loci beside one locus under decision.
Outcome Decide(ScannedLocus locus, std::size_t neutral, uint64_t ceiling) {
  std::vector<ScannedLocus> loci(neutral, Locus(40, 60));
  for (ScannedLocus& l : loci) l.stop = StopReason::Resolved;
  loci.push_back(locus);
  std::vector<ScannedLocus*> all;
  for (ScannedLocus& l : loci) all.push_back(&l);
  NextRound(all, 0.1, 10, ceiling);
  return {loci.back().stop, loci.back().stop == StopReason::Open ? loci.back().budget : 0};
}

TEST(NextRound, StopsWhereMoreSimulationsCannotChangeTheVerdict) {
  struct Case {
    const char* what;
    ScannedLocus locus;
    uint64_t ceiling;
    Outcome expected;
  };
  // Among 51 loci a lone outlier needs 2·51/0.1 − 1 = 1019 simulations.
  const Case cases[] = {
      {"both tails full", Locus(30, 10), 4080, {StopReason::Resolved, 0}},
      {"beyond all 100: on to 1019", Locus(100, 0), 4080, {StopReason::Open, 1019}},
      {"beyond all 1100: flagged", Locus(1100, 0), 4080, {StopReason::Flagged, 0}},
      {"beyond all, a ceiling too low to flag", Locus(500, 0), 500, {StopReason::CannotFlag, 0}},
      // 2·3/3001 is just above 0.1/51; more might have flagged it.
      {"two of 3000 at the ceiling", Locus(2998, 2), 3000, {StopReason::Ceiling, 0}},
      // Five values in 100 put its p far above 0.1/51 at any length.
      {"five of 100 in the tail", Locus(95, 5), 4080, {StopReason::CannotFlag, 0}},
      // One in 100 might still be a 1e-6 event: on to where 2·2/(I + 1) reaches 0.1/51.
      {"one of 100 in the tail", Locus(99, 1), 4080, {StopReason::Open, 2039}},
  };
  for (const Case& c : cases) {
    const Outcome got = Decide(c.locus, 50, c.ceiling);
    EXPECT_EQ(got.stop, c.expected.stop) << c.what;
    EXPECT_EQ(got.budget, c.expected.budget) << c.what;
  }
}

TEST(NextRound, SeveralOutliersShareTheFalseDiscoveryBudget) {
  // Ten loci beyond every simulation among 100: each needs p ≤ 10·0.1/100,
  // so 2/(I + 1) ≤ 0.01 at I = 199, not the 1999 a lone one needs.
  std::vector<ScannedLocus> loci(90, Locus(40, 60));
  for (ScannedLocus& l : loci) l.stop = StopReason::Resolved;
  loci.resize(100, Locus(100, 0));
  std::vector<ScannedLocus*> all;
  for (ScannedLocus& l : loci) all.push_back(&l);
  EXPECT_EQ(NextRound(all, 0.1, 10, DefaultCeiling(100, 0.1)), 10u);
  EXPECT_EQ(loci.back().budget, 199u);
  for (std::size_t i = 90; i < 100; ++i) loci[i] = Locus(200, 0);
  EXPECT_EQ(NextRound(all, 0.1, 10, DefaultCeiling(100, 0.1)), 0u);
  EXPECT_EQ(loci.back().stop, StopReason::Flagged);
}

TEST(Ceiling, WarnsWhenALoneOutlierCannotBeFlagged) {
  EXPECT_EQ(LoneOutlierSimulations(52, 0.1), 1039u);
  EXPECT_EQ(DefaultCeiling(52, 0.1), 4156u);
  EXPECT_EQ(CeilingWarning(1039, false, 52, 0.1), "");
  EXPECT_EQ(CeilingWarning(1000, true, 52, 0.1),
            "warning: with 1000 simulations a locus's two-sided p-value cannot fall below "
            "2/(I + 1) = 0.00200, so among 52 loci a lone outlier cannot be flagged at q <= 0.10 "
            "(it needs at least 1039 simulations); without -I the scan takes as many as the false "
            "discovery rate needs");
}

}  // namespace
}  // namespace dw::scan
