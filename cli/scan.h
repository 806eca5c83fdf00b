#pragma once
// `driftwise scan FILE`: the neutrality test of every polymorphic locus of a
// Genepop file. Each locus runs the same run driver as `driftwise run`, with
// P, A and n taken from its data, its initial frequencies written from the
// sample frequencies and its own seed; loci run in parallel and are reported
// in file order, so the output does not depend on the number of threads.
// Unless -m is given, the migration rate is first fitted to the loci (see
// cli/calibration.h). A simulation whose sample is fixed for one allele is
// left out and counted, as `run --skip-undefined` does.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace dw::cli {

struct ScanOptions {
  std::string file;
  std::string N = "100", T = "100", I = "1000";
  std::optional<std::string> m;          // given: the null at this m, not fitted
  std::optional<std::string> calibrate;  // "none" or "m"; default: "m" without -m
  std::optional<std::string> n;  // default: the locus's mean n_i, rounded
  std::string model = "infinite";
  std::string start = "pooled";  // or "observed"
  std::optional<std::string> seed, threads, tsv, resultsDir, plot, json;
  std::string fdr = "0.1";
};

void AddScanOptions(CLI::App& scan, ScanOptions& options);

// Returns the exit status: 0 when every locus was tested or skipped as
// untestable; 1 for a refused file or parameters, 2 for a runtime error (a
// locus whose run failed is reported in its line and on `err`); 64 usage.
int ScanCommand(const ScanOptions& options, std::ostream& out, std::ostream& err);

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

}  // namespace dw::cli
