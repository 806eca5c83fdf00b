#pragma once
// Sequential Monte Carlo p-values (Besag & Clifford 1991), resolved as far
// as the false-discovery-rate decision needs. A locus's simulations go on
// until each tail its tests use holds h simulated values at or beyond the
// observed one; a locus still in a tail goes on only while more simulations
// could change whether Benjamini–Hochberg flags it. Decisions are taken
// between rounds from the tallies alone, so they do not depend on threads.
#include <cstdint>
#include <vector>

#include "scan/report.h"

namespace dw::scan {

inline constexpr int32_t kDefaultTailHits = 10;
// Every locus starts with this many simulations: most neutral loci resolve in it.
inline constexpr uint64_t kFirstRound = 100;
// A locus whose tail holds g values in s simulations is taken to be unable to
// reach a p-value below the Poisson lower bound of g at this level, over s.
inline constexpr double kStopLevel = 1e-3;

// The Poisson mean λ at which g or more events have probability `level`
// (0 for g = 0): the one-sided lower confidence bound of a Poisson count.
double PoissonLowerBound(uint64_t g, double level);

// The default ceiling: four times what a lone outlier needs among `loci` at
// `fdr`, at least kFirstRound.
uint64_t DefaultCeiling(std::size_t loci, double fdr);

// The smallest tail count of the locus's tests: min(lower, higher) of WC, and
// of Delta when it is tested.
uint64_t SmallestTail(const ScannedLocus& l);

// Whether every tail of the locus's tests holds `hits` values.
bool Resolved(const ScannedLocus& l, int32_t hits);

// After every open locus has taken its budget: settles the loci whose verdict
// more simulations cannot change (their `stop`), and gives the others their
// next budget. `loci` are the tested loci that run. Returns how many are open.
std::size_t NextRound(const std::vector<ScannedLocus*>& loci, double fdr, int32_t hits,
                      uint64_t ceiling);

// The same when each locus must decide alone, knowing only that it is one of
// `loci` tested ones (a scan in parts): a locus goes on until its tails are
// resolved, or until its p-values reach fdr/loci, where Benjamini–Hochberg
// flags it whatever the other loci, or to the ceiling.
std::size_t NextRoundAlone(const std::vector<ScannedLocus*>& open, std::size_t loci, double fdr,
                           int32_t hits, uint64_t ceiling);

}  // namespace dw::scan
