#pragma once
// The numbers a scan derives per locus and over the loci: the loci's seeds,
// the tail probabilities of a simulated null and the false-discovery-rate
// correction over the loci.
#include <cstdint>
#include <vector>

namespace dw::scan {

// The seed of locus `locus` (1-based, in file order) of a scan from `base`:
// a 32-bit mix of the two, so neighbouring loci start far apart on the stream.
uint32_t LocusSeed(uint32_t base, uint32_t locus);

// Benjamini–Hochberg (1995) q-values of p-values, in the order given:
// q_(k) = min over j ≥ k of min(1, p_(j)·m / j), p sorted ascending.
std::vector<double> BenjaminiHochberg(const std::vector<double>& p);

// Two-sided p of a simulated null: min(1, 2·min(higher, lower)), with the
// one-sided values (higher + 1)/(I + 1) and (lower + 1)/(I + 1).
struct TailProbabilities {
  double higher = 0, lower = 0, twoSided = 0;
};
TailProbabilities TailsOf(uint64_t simulations, uint64_t lowerCount, uint64_t higherCount);

// The value at share q (0…1) of sorted values, interpolating between the
// two nearest ranks (position q·(count − 1)).
double Quantile(const std::vector<double>& sorted, double q);

}  // namespace dw::scan
