#include "scan/calibration.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "runtime/numtext.h"
#include "scan/statistics.h"

namespace dw::scan {

double TrimmedMean(std::vector<double> values, double share) {
  const std::size_t count = values.size();
  if (count == 0) return 0.0;
  if (count == 1) return values[0];
  const double cut = share * static_cast<double>(count);
  const std::size_t whole = static_cast<std::size_t>(std::floor(cut));
  const double part = cut - static_cast<double>(whole);
  // The two edge values by selection, then the ones between them: linear in
  // the count, which the bootstrap repeats many times.
  const auto low = values.begin() + static_cast<std::ptrdiff_t>(whole);
  std::nth_element(values.begin(), low, values.end());
  const auto high = values.begin() + static_cast<std::ptrdiff_t>(count - 1 - whole);
  std::nth_element(low + 1, high, values.end());
  const double middle = std::accumulate(low + 1, high, 0.0);
  return (middle + (1.0 - part) * (*low + *high)) / (static_cast<double>(count) - 2.0 * cut);
}

namespace {

double Median(std::vector<double>& values) {
  const std::size_t half = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(half),
                   values.end());
  const double upper = values[half];
  if (values.size() % 2 == 1) return upper;
  const double lower =
      *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(half));
  return (lower + upper) / 2.0;
}

// The values of data set j over the chosen loci (all when `loci` is empty).
void DataSet(const LocusSimulations& wc, const std::vector<std::size_t>& loci, std::size_t j,
             std::vector<double>& values) {
  values.clear();
  if (loci.empty()) {
    for (const std::vector<double>& locus : wc)
      if (j < locus.size()) values.push_back(locus[j]);
    return;
  }
  for (std::size_t l : loci)
    if (j < wc[l].size()) values.push_back(wc[l][j]);
}

std::size_t DataSets(const LocusSimulations& wc) {
  std::size_t most = 0;
  for (const std::vector<double>& locus : wc) most = std::max(most, locus.size());
  return most;
}

}  // namespace

double MedianAbsoluteDeviation(std::vector<double> values) {
  if (values.size() < 2) return 0.0;
  const double median = Median(values);
  for (double& v : values) v = std::abs(v - median);
  return 1.4826 * Median(values);
}

std::vector<double> NullTrimmedMeans(const LocusSimulations& wc, double share) {
  std::vector<double> means, values;
  for (std::size_t j = 0, sets = DataSets(wc); j < sets; ++j) {
    DataSet(wc, {}, j, values);
    if (!values.empty()) means.push_back(TrimmedMean(values, share));
  }
  return means;
}

double NullTrimmedMean(const LocusSimulations& wc, double share,
                       const std::vector<std::size_t>& loci) {
  double sum = 0.0;
  std::size_t sets = 0;
  std::vector<double> values;
  for (std::size_t j = 0, all = DataSets(wc); j < all; ++j) {
    DataSet(wc, loci, j, values);
    if (values.empty()) continue;
    sum += TrimmedMean(values, share);
    ++sets;
  }
  return sets ? sum / static_cast<double>(sets) : 0.0;
}

double NullSpread(const LocusSimulations& wc) {
  double sum = 0.0;
  std::size_t sets = 0;
  std::vector<double> values;
  for (std::size_t j = 0, all = DataSets(wc); j < all; ++j) {
    DataSet(wc, {}, j, values);
    if (values.empty()) continue;
    sum += MedianAbsoluteDeviation(values);
    ++sets;
  }
  return sets ? sum / static_cast<double>(sets) : 0.0;
}

double NormalQuantile(double u) {
  // Acklam's rational approximations for the central region and the tails.
  static const double a[] = {-3.969683028665376e+01, 2.209460984245205e+02,
                             -2.759285104469687e+02, 1.383577518672690e+02,
                             -3.066479806614716e+01, 2.506628277459239e+00};
  static const double b[] = {-5.447609879822406e+01, 1.615858368580409e+02,
                             -1.556989798598866e+02, 6.680131188771972e+01,
                             -1.328068155288572e+01};
  static const double c[] = {-7.784894002430293e-03, -3.223964580411365e-01,
                             -2.400758277161838e+00, -2.549732539343734e+00,
                             4.374664141464968e+00,  2.938163982698783e+00};
  static const double d[] = {7.784695709041462e-03, 3.224671290700398e-01,
                             2.445134137142996e+00, 3.754408661907416e+00};
  const double low = 0.02425;
  double x;
  if (u < low || u > 1.0 - low) {
    const double q = std::sqrt(-2.0 * std::log(u < low ? u : 1.0 - u));
    x = (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
        ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1.0);
    if (u > 1.0 - low) x = -x;
  } else {
    const double q = u - 0.5, r = q * q;
    x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
        (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1.0);
  }
  // One Halley step on the exact distribution function.
  const double e = 0.5 * std::erfc(-x / std::sqrt(2.0)) - u;
  const double step = e * std::sqrt(2.0 * M_PI) * std::exp(x * x / 2.0);
  return x - step / (1.0 + x * step / 2.0);
}

double InflationFactor(const std::vector<double>& p) {
  if (p.empty()) return 0.0;
  constexpr double kChiSquareMedian = 0.454936423119572694;
  std::vector<double> chi;
  for (double value : p) {
    const double z = value >= 1.0 ? 0.0 : NormalQuantile(value / 2.0);
    chi.push_back(z * z);
  }
  return Median(chi) / kChiSquareMedian;
}

double IslandFst(double m, int32_t N, int32_t T) {
  const double kept = (1.0 - m) * (1.0 - m), lambda = kept * (1.0 - 1.0 / (2.0 * N));
  if (kept == 0.0) return 0.0;
  return kept / (2.0 * N) / (1.0 - lambda) * (1.0 - std::pow(lambda, T));
}

double EquilibriumMigration(double F, int32_t N, int32_t T) {
  if (F >= IslandFst(0.0, N, T)) return 0.0;
  if (F <= 0.0) return 1.0;
  double low = std::log(1e-12), high = 0.0;  // on log m; the Fst falls as m rises
  for (int i = 0; i < 200; ++i) {
    const double mid = (low + high) / 2.0;
    (IslandFst(std::exp(mid), N, T) > F ? low : high) = mid;
  }
  return std::exp((low + high) / 2.0);
}

std::string MigrationText(double m) {
  if (m <= 0.0) return "0";
  if (m >= 1.0) return "1.000";
  // The decade of m once rounded to four digits (0.099996 rounds to 0.1000).
  int decade = static_cast<int>(std::floor(std::log10(m)));
  if (std::round(m / std::pow(10.0, decade - 3)) >= 10000) ++decade;
  return FixedPoint(m, std::min(12, 3 - decade));
}

double RetainedStart(double m, int32_t N, int32_t T) {
  return std::pow((1.0 - m) * (1.0 - m) * (1.0 - 1.0 / (2.0 * N)), T);
}

namespace {

constexpr int32_t kMostGenerations = 65535;

// splitmix64: the bootstrap's own stream, the same on every platform.
struct BootstrapStream {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::size_t Below(std::size_t count) {
    return static_cast<std::size_t>((Next() >> 32) * count >> 32);
  }
};

// The searches' curve: the simulated trimmed mean against the log of the
// fitted value, made to fall (T's curve rises, so it is negated).
struct CurvePoint {
  double x, y;
  std::size_t point;  // index into the calibration's points
};

std::vector<CurvePoint> Curve(const Calibration& c) {
  const bool generations = c.kind == CalibrationKind::Generations;
  std::vector<CurvePoint> curve;
  for (std::size_t k = 0; k < c.points.size(); ++k) {
    const NullSetting& s = c.points[k].setting;
    if (generations != (s.m == 0.0)) continue;
    curve.push_back({std::log(generations ? static_cast<double>(s.T) : s.m),
                     generations ? -c.points[k].nullMean : c.points[k].nullMean, k});
  }
  std::sort(curve.begin(), curve.end(),
            [](const CurvePoint& a, const CurvePoint& b) { return a.x < b.x; });
  return curve;
}

// Where the falling curve (x, y) crosses `target`: the first segment that
// holds it, else the end segment extended, at most a factor 3 beyond.
double Crossing(const std::vector<CurvePoint>& curve, const std::vector<double>& y,
                double target) {
  const std::size_t count = curve.size();
  if (count == 1) return curve[0].x;
  const auto on = [&](std::size_t k) {
    const double rise = y[k] - y[k + 1];
    if (rise == 0.0) return (curve[k].x + curve[k + 1].x) / 2.0;
    return curve[k].x + (y[k] - target) / rise * (curve[k + 1].x - curve[k].x);
  };
  double x;
  std::size_t k = 0;
  while (k + 1 < count && !(y[k] >= target && target >= y[k + 1])) ++k;
  if (k + 1 < count)
    x = on(k);
  else if (target > y[0])
    x = on(0);
  else
    x = on(count - 2);
  const double reach = std::log(3.0);
  return std::clamp(x, curve.front().x - reach, curve.back().x + reach);
}

// The 95 % interval of the fitted value over loci drawn with replacement:
// each replicate's target and curve from the same simulations.
void Bootstrap(const std::vector<double>& observedWc, const CalibrationSetup& setup,
               Calibration& c) {
  const std::vector<CurvePoint> curve = Curve(c);
  const bool generations = c.kind == CalibrationKind::Generations;
  const auto value = [&](double x) {
    const double v = std::exp(x);
    return generations ? std::clamp(std::round(v), 1.0, double{kMostGenerations})
                       : std::min(v, 1.0);
  };
  if (curve.empty() || setup.bootstrap < 1) {
    c.low = c.high = generations ? c.fitted.T : c.fitted.m;
    return;
  }
  const std::size_t L = observedWc.size();
  BootstrapStream stream{setup.bootstrapSeed};
  std::vector<double> fitted, y(curve.size()), observed(L);
  std::vector<std::size_t> loci(L);
  for (int b = 0; b < setup.bootstrap; ++b) {
    for (std::size_t i = 0; i < L; ++i) {
      loci[i] = stream.Below(L);
      observed[i] = observedWc[loci[i]];
    }
    const double target = TrimmedMean(observed, setup.share);
    for (std::size_t k = 0; k < curve.size(); ++k) {
      const double mean = NullTrimmedMean(c.points[curve[k].point].wc, setup.share, loci);
      y[k] = generations ? -mean : mean;
    }
    fitted.push_back(value(Crossing(curve, y, generations ? -target : target)));
  }
  std::sort(fitted.begin(), fitted.end());
  c.low = Quantile(fitted, 0.025);
  c.high = Quantile(fitted, 0.975);
}

class Search {
 public:
  Search(const std::vector<double>& observedWc, const CalibrationSetup& setup,
         const SimulatePass& simulate, Calibration& c)
      : setup_(setup), simulate_(simulate), c_(c) {
    c_.target = TrimmedMean(observedWc, setup.share);
    std::vector<double> sorted = observedWc;
    std::sort(sorted.begin(), sorted.end());
    c_.median = sorted.empty() ? 0.0 : Quantile(sorted, 0.5);
  }

  // Empty when fitted, else why no null fits.
  std::string FitMigration();

 private:
  const CalibrationSetup& setup_;
  const SimulatePass& simulate_;
  Calibration& c_;

  double Run(double m, int32_t T) {
    CalibrationPoint point;
    point.setting = {m, T};
    point.wc = simulate_(point.setting);
    point.nullMean = NullTrimmedMean(point.wc, setup_.share);
    c_.points.push_back(std::move(point));
    return c_.points.back().nullMean;
  }

  std::string FitGenerations();
  std::string NoFit(double reached, int32_t reachedAt, double needed) const;
};

// Linear in log x between the bracket's ends, where the target falls between
// their simulated means.
double Interpolate(double low, double yLow, double high, double yHigh, double target) {
  if (yLow == yHigh) return std::sqrt(low * high);
  const double share = std::clamp((yLow - target) / (yLow - yHigh), 0.0, 1.0);
  return std::exp(std::log(low) + share * (std::log(high) - std::log(low)));
}

std::string Search::FitMigration() {
  const int32_t N = setup_.N, T = setup_.T;
  const double target = c_.target;
  // Below this, migration changes nothing within T generations or 4N.
  const double least = 0.01 / std::max(4.0 * N, static_cast<double>(T));
  const double start = std::clamp(EquilibriumMigration(c_.median, N, T), least, 1.0);
  double low = std::max(least, start / 3.0), high = std::min(1.0, start * 3.0);
  double yLow = Run(low, T), yHigh = Run(high, T);
  while (yLow < target) {
    if (low <= least) return FitGenerations();
    high = low, yHigh = yLow;
    low = std::max(least, low / 3.0);
    yLow = Run(low, T);
  }
  while (yHigh > target) {
    if (high >= 1.0) {
      c_.kind = CalibrationKind::MigrationAtOne;
      c_.fitted = {1.0, T};
      return {};
    }
    low = high, yLow = yHigh;
    high = std::min(1.0, high * 3.0);
    yHigh = Run(high, T);
  }
  for (int step = 0; step < setup_.bisections; ++step) {
    const double mid = std::sqrt(low * high);
    const double y = Run(mid, T);
    if (y >= target)
      low = mid, yLow = y;
    else
      high = mid, yHigh = y;
  }
  c_.kind = CalibrationKind::Migration;
  c_.fitted = {Interpolate(low, yLow, high, yHigh, target), T};
  return {};
}

std::string Search::NoFit(double reached, int32_t reachedAt, double needed) const {
  const NumberMarks marks{'.', ','};
  std::string text = "No null fits the loci: their " + FormatFixed(100 * setup_.share, 18, 0, marks) +
                     " % trimmed mean WC is " + FormatFixed(c_.target, 18, 4, marks) +
                     ", and even with no migration (m = 0) the null's reaches only " +
                     FormatFixed(reached, 18, 4, marks) + " in T = " + std::to_string(reachedAt) +
                     " generations at N = " + std::to_string(setup_.N) + "; ";
  text += needed > 0 ? "about " + FormatFixed(needed, 18, 0, marks) +
                           " generations would be needed, more than the 65535 a run can take"
                     : "no number of generations up to 65535 reaches it";
  return text + ". The nearest null is m = 0 with T = 65535; a smaller -N drifts apart in fewer "
                "generations";
}

std::string Search::FitGenerations() {
  const int32_t T = setup_.T;
  const double target = c_.target;
  double yLow = Run(0.0, T);
  c_.kind = CalibrationKind::Generations;
  if (yLow >= target) {
    c_.fitted = {0.0, T};
    return {};
  }
  if (!(target < 1.0)) return NoFit(yLow, T, 0);
  // Pure drift: 1 − F falls by a constant factor per generation, (1 − 1/2N)
  // from a common start; scaled from what the null reached in T when it can be.
  double needed = std::log(1.0 - target) / std::log(1.0 - 1.0 / (2.0 * setup_.N));
  if (yLow > 0.0 && yLow < 1.0) needed = T * std::log(1.0 - target) / std::log(1.0 - yLow);
  if (needed > kMostGenerations) return NoFit(yLow, T, needed);
  int32_t low = T;
  int32_t high = static_cast<int32_t>(
      std::clamp(std::ceil(needed * 1.5), static_cast<double>(T) + 1.0, double{kMostGenerations}));
  double yHigh = Run(0.0, high);
  while (yHigh < target) {
    if (high >= kMostGenerations) return NoFit(yHigh, high, 0);
    low = high, yLow = yHigh;
    high = std::min(kMostGenerations, 2 * high);
    yHigh = Run(0.0, high);
  }
  for (int step = 0; step < setup_.bisections; ++step) {
    const int32_t mid =
        static_cast<int32_t>(std::lround(std::sqrt(static_cast<double>(low) * high)));
    if (mid <= low || mid >= high) break;
    const double y = Run(0.0, mid);
    if (y < target)
      low = mid, yLow = y;
    else
      high = mid, yHigh = y;
  }
  // The curve rises with T: interpolate it negated.
  const double t = Interpolate(low, -yLow, high, -yHigh, -target);
  c_.fitted = {0.0, static_cast<int32_t>(std::clamp(std::lround(t), long{low}, long{high}))};
  return {};
}

}  // namespace

std::variant<Calibration, std::string> Calibrate(const std::vector<double>& observedWc,
                                                 const CalibrationSetup& setup,
                                                 const SimulatePass& simulate) {
  Calibration c;
  Search search(observedWc, setup, simulate, c);
  if (std::string problem = search.FitMigration(); !problem.empty()) return problem;
  Bootstrap(observedWc, setup, c);
  return c;
}

}  // namespace dw::scan
