#pragma once
// Fitting the scan's null to the data. The simulated WC of a locus falls as
// the migration rate m rises; the fit finds the m (for the given N, T and
// model) at which the loci's simulated WC, taken like the observed WC, has
// the same trimmed mean over the loci: simulation j of every locus is one
// simulated data set, its trimmed mean over the loci is taken, and those are
// averaged over j. Where even m = 0 stays below the data, T is fitted at
// m = 0 instead. The statistics that check a fit (a bootstrap over loci, the
// genomic inflation factor, the spread of WC across loci) live here too.
#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace dw::scan {

// The share of loci trimmed at each end of the target and of every
// simulated data set.
inline constexpr double kTrimmedShare = 0.1;

// The mean after trimming `share` of the values at each end; where
// share × count is not whole, the value at each edge counts in part (so the
// mean moves smoothly with the count). The mean of every value for fewer
// than two; 0 for none.
double TrimmedMean(std::vector<double> values, double share);

// The median absolute deviation from the median, times 1.4826 (the standard
// deviation for normal values); 0 for fewer than two values.
double MedianAbsoluteDeviation(std::vector<double> values);

// WC of the defined simulations of each tested locus, in simulation order:
// wc[l][j]. A locus has fewer than the others where simulations were left
// out as undefined; data set j then goes without it.
using LocusSimulations = std::vector<std::vector<double>>;

// The mean over the simulated data sets j of their trimmed mean over the
// loci. `loci` picks the loci (with repeats, for the bootstrap); all when empty.
double NullTrimmedMean(const LocusSimulations& wc, double share,
                       const std::vector<std::size_t>& loci = {});
// The trimmed means of the data sets, in order of j.
std::vector<double> NullTrimmedMeans(const LocusSimulations& wc, double share);
// The mean over the data sets of their median absolute deviation.
double NullSpread(const LocusSimulations& wc);

// The standard normal quantile of u, 0 < u < 1 (Acklam's approximation with
// one Halley step on erfc, about 1e-15 relative).
double NormalQuantile(double u);

// The genomic inflation factor of two-sided p-values: the median of their
// one-degree chi-square quantiles, z² with z the normal quantile of p/2,
// over the chi-square median 0.4549; 1 when the p-values are uniform.
double InflationFactor(const std::vector<double>& p);

// The null the simulations run under.
struct NullSetting {
  double m = 0;
  int32_t T = 0;
};

// One pass: a fixed number of simulations of every tested locus under the
// null, each locus from the same seed at every pass (common random numbers).
using SimulatePass = std::function<LocusSimulations(const NullSetting&)>;

struct CalibrationPoint {
  NullSetting setting;
  double nullMean = 0;  // NullTrimmedMean of its simulations
  LocusSimulations wc;
};

enum class CalibrationKind {
  Migration,       // m fitted at the given T
  MigrationAtOne,  // the data are less structured than m = 1 gives: m = 1
  Generations,     // m = 0 cannot reach the data: T fitted at m = 0
};

struct CalibrationSetup {
  int32_t N = 100, T = 100;
  double share = kTrimmedShare;
  int bisections = 3;
  int bootstrap = 1000;           // replicates over loci
  uint64_t bootstrapSeed = 0;
};

struct Calibration {
  CalibrationKind kind = CalibrationKind::Migration;
  NullSetting fitted;            // before rounding for the runs
  double target = 0;             // the data's trimmed mean WC
  double median = 0;             // the data's median WC, where the search starts
  std::vector<CalibrationPoint> points;  // in the order run
  double low = 0, high = 0;      // bootstrap 95 % interval of m (of T for Generations)
};

// The infinite island's expected Fst after T generations from a common
// start: F_eq·(1 − λ^T), with λ = (1 − m)²(1 − 1/2N) and
// F_eq = (1 − m)²/(2N)/(1 − λ); 1 − (1 − 1/2N)^T at m = 0.
double IslandFst(double m, int32_t N, int32_t T);

// The first m tried: where IslandFst equals F; 0 when F is beyond what m = 0
// gives, 1 when F ≤ 0.
double EquilibriumMigration(double F, int32_t N, int32_t T);

// Fits the null to the observed WC of the tested loci, running `simulate`
// a few times: bracket the target by ×/÷ 3 from EquilibriumMigration at the
// median WC, bisect on log m, interpolate inside the last bracket. Returns
// the calibration, or the reason no null fits (with the nearest value).
std::variant<Calibration, std::string> Calibrate(const std::vector<double>& observedWc,
                                                 const CalibrationSetup& setup,
                                                 const SimulatePass& simulate);

// m as the runs take it: four significant digits, in fixed notation.
std::string MigrationText(double m);

// The share of the starting differentiation the null still holds after T
// generations, ((1 − m)²(1 − 1/2N))^T: what `--start observed` keeps of each
// locus's own differentiation.
double RetainedStart(double m, int32_t N, int32_t T);

}  // namespace dw::scan
