#include "scan/sequential.h"

#include <algorithm>
#include <cmath>

namespace dw::scan {

namespace {

// P(X ≥ g) for X Poisson with mean λ.
double PoissonUpperTail(uint64_t g, double lambda) {
  if (g == 0) return 1.0;
  double term = std::exp(-lambda), below = 0.0;
  for (uint64_t k = 0; k < g; ++k) {
    below += term;
    term *= lambda / static_cast<double>(k + 1);
  }
  return std::max(0.0, 1.0 - below);
}

uint64_t Consumed(const ScannedLocus& l) { return l.simulations + l.undefined; }

// The smaller tail count of one test (Delta's or WC's).
double Tail(const ScannedLocus& l, bool delta) {
  return static_cast<double>(delta ? std::min(l.lower, l.higher) : std::min(l.wcLower, l.wcHigher));
}

double CurrentP(const ScannedLocus& l, bool delta) {
  return delta ? TailsOf(l.simulations, l.lower, l.higher).twoSided
               : TailsOf(l.simulations, l.wcLower, l.wcHigher).twoSided;
}

// With no further value in the tail, the ceiling's floor; with g values in s,
// no lower than the Poisson bound allows.
double OptimisticP(const ScannedLocus& l, bool delta, int32_t hits, uint64_t ceiling) {
  const double g = Tail(l, delta);
  if (l.stop != StopReason::Open || g >= hits) return CurrentP(l, delta);
  const double floor = 2.0 / (static_cast<double>(ceiling) + 1.0);
  if (g == 0 || l.simulations == 0) return floor;
  const double bound = 2.0 * PoissonLowerBound(static_cast<uint64_t>(g), kStopLevel) /
                       static_cast<double>(l.simulations);
  return std::max(floor, bound);
}

// The Benjamini–Hochberg cut-off k·fdr/L of the largest k with p_(k) ≤ k·fdr/L; 0 for none.
double Cutoff(std::vector<double> p, double fdr) {
  std::sort(p.begin(), p.end());
  const double L = static_cast<double>(p.size());
  double cut = 0.0;
  for (std::size_t k = 1; k <= p.size(); ++k) {
    const double level = static_cast<double>(k) * fdr / L;
    if (p[k - 1] <= level) cut = level;
  }
  return cut;
}

struct TestDecision {
  double flagCut = 0, openCut = 0;
};

TestDecision Decide(const std::vector<ScannedLocus*>& loci, bool delta, double fdr, int32_t hits,
                    uint64_t ceiling) {
  std::vector<double> current, optimistic;
  for (const ScannedLocus* l : loci) {
    if (delta && !DeltaTested(*l)) continue;
    current.push_back(CurrentP(*l, delta));
    optimistic.push_back(OptimisticP(*l, delta, hits, ceiling));
  }
  return {Cutoff(current, fdr), Cutoff(optimistic, fdr)};
}

// The next budget: straight to what the cut-off needs, which no locus can do
// with less, and at least a quarter further, so a locus that creeps up on its
// cut-off as the other loci settle overshoots it by little; never past the
// ceiling.
uint64_t GrownBudget(double need, uint64_t taken, uint64_t ceiling) {
  const double grown = std::max(need, 1.25 * static_cast<double>(taken));
  return std::min<uint64_t>(ceiling, static_cast<uint64_t>(std::min(grown, 1e18)));
}

}  // namespace

double PoissonLowerBound(uint64_t g, double level) {
  if (g == 0) return 0.0;
  double low = 0.0, high = static_cast<double>(g);
  for (int i = 0; i < 200; ++i) {
    const double mid = (low + high) / 2.0;
    (PoissonUpperTail(g, mid) < level ? low : high) = mid;
  }
  return (low + high) / 2.0;
}

uint64_t DefaultCeiling(std::size_t loci, double fdr) {
  return std::max<uint64_t>(kFirstRound, 4 * LoneOutlierSimulations(loci, fdr));
}

uint64_t SmallestTail(const ScannedLocus& l) {
  uint64_t g = std::min(l.wcLower, l.wcHigher);
  if (DeltaTested(l)) g = std::min(g, std::min(l.lower, l.higher));
  return g;
}

bool Resolved(const ScannedLocus& l, int32_t hits) {
  return SmallestTail(l) >= static_cast<uint64_t>(hits);
}

std::size_t NextRound(const std::vector<ScannedLocus*>& loci, double fdr, int32_t hits,
                      uint64_t ceiling) {
  const TestDecision wc = Decide(loci, false, fdr, hits, ceiling);
  const TestDecision delta = Decide(loci, true, fdr, hits, ceiling);
  std::size_t open = 0;
  for (ScannedLocus* l : loci) {
    if (l->stop != StopReason::Open) continue;
    bool anyOpen = false, anyFlagged = false;
    double need = 0.0;
    for (const bool isDelta : {false, true}) {
      if (isDelta && !DeltaTested(*l)) continue;
      const TestDecision& d = isDelta ? delta : wc;
      const double g = Tail(*l, isDelta);
      const bool flagged = CurrentP(*l, isDelta) <= d.flagCut;
      anyFlagged = anyFlagged || flagged;
      if (g >= hits || flagged || OptimisticP(*l, isDelta, hits, ceiling) > d.openCut) continue;
      anyOpen = true;
      // With no further value in the tail, the count at which its p reaches the cut-off.
      need = std::max(need, std::ceil(2.0 * (g + 1.0) / d.openCut - 1.0));
    }
    const uint64_t taken = Consumed(*l);
    if (Resolved(*l, hits))
      l->stop = StopReason::Resolved;
    else if (!anyOpen)
      l->stop = anyFlagged ? StopReason::Flagged : StopReason::CannotFlag;
    else if (taken >= ceiling)
      l->stop = StopReason::Ceiling;
    if (l->stop != StopReason::Open) continue;
    l->budget = GrownBudget(need, taken, ceiling);
    ++open;
  }
  return open;
}

std::size_t NextRoundAlone(const std::vector<ScannedLocus*>& open, std::size_t loci, double fdr,
                           int32_t hits, uint64_t ceiling) {
  const double cut = fdr / static_cast<double>(std::max<std::size_t>(loci, 1));
  std::size_t still = 0;
  for (ScannedLocus* l : open) {
    if (l->stop != StopReason::Open) continue;
    bool done = true, flagged = false;
    double need = 0.0;
    for (const bool isDelta : {false, true}) {
      if (isDelta && !DeltaTested(*l)) continue;
      const double g = Tail(*l, isDelta);
      if (g >= hits) continue;
      if (CurrentP(*l, isDelta) <= cut) {
        flagged = true;
        continue;
      }
      done = false;
      need = std::max(need, std::ceil(2.0 * (g + 1.0) / cut - 1.0));
    }
    const uint64_t taken = Consumed(*l);
    if (Resolved(*l, hits))
      l->stop = StopReason::Resolved;
    else if (done)
      l->stop = flagged ? StopReason::Flagged : StopReason::Resolved;
    else if (taken >= ceiling)
      l->stop = StopReason::Ceiling;
    if (l->stop != StopReason::Open) continue;
    l->budget = GrownBudget(need, taken, ceiling);
    ++still;
  }
  return still;
}

}  // namespace dw::scan
