#include "engine/countsim.h"

#include <algorithm>
#include <cmath>

#include "runtime/floatmode.h"

namespace dw {

namespace {

constexpr uint64_t kGolden = 0x9e3779b97f4a7c15u;

uint64_t Finalise(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
  return z ^ (z >> 31);
}

uint64_t SplitMix(uint64_t& counter) { return Finalise(counter += kGolden); }

// Below this mean of the rarer outcome inversion walks few steps; above it
// BTPE's set-up pays for itself.
constexpr double kInversionMean = 30.0;

// The largest N whose 2N + 1 transition laws are kept as tables: at most
// 513 tables of 513 columns, about 3 MB.
constexpr uint32_t kMaxTabledSize = 256;

// The inversion walk gives up past this value and starts again: with a mean
// of at most kInversionMean it lies over 14 standard deviations out, where
// only rounding (a uniform the summed pmf never reaches) can take the walk.
constexpr uint32_t kInversionLimit = 110;

// 1/x for the steps of the walk: a multiplication where a division would
// cost several times as much.
struct Reciprocals {
  double of[kInversionLimit + 1];
  Reciprocals() {
    of[0] = 0.0;
    for (uint32_t x = 1; x <= kInversionLimit; ++x) of[x] = 1.0 / x;
  }
};
const Reciprocals kReciprocals;

// Inversion from 0 for trials·p ≤ kInversionMean, p ≤ 1/2: one power, then
// a product and a subtraction per step.
uint32_t BinomialByInversion(uint32_t trials, double p, CountStream& stream) {
  const double q0 = std::exp(trials * std::log1p(-p));
  const uint32_t limit = std::min(trials, kInversionLimit);
  const double ratio = p / (1.0 - p);
  for (;;) {
    double u = stream.NextUniform(), px = q0;
    uint32_t x = 0;
    while (u > px && x < limit) {
      u -= px;
      ++x;
      px *= ratio * static_cast<double>(trials - x + 1) * kReciprocals.of[x];
    }
    // Otherwise rounding left u above the summed pmf: drawn again, which
    // changes the law by less than the rounding does.
    if (u <= px) return x;
  }
}

// Stirling's series correction used by BTPE's final acceptance test.
double StirlingTail(double x) {
  const double x2 = x * x;
  return (13860.0 - (462.0 - (132.0 - (99.0 - 140.0 / x2) / x2) / x2) / x2) / x / 166320.0;
}

// f(y)/f(m) of binomial(n, r), s = r/q, by the recursion of successive pmf
// ratios f(i)/f(i − 1) = s·(n + 1 − i)/i. Numerators and denominators are
// multiplied apart and divided once: a division per step was most of the
// sampler's time. Both are scaled down together while large; a ratio so
// extreme that one of them then leaves the range decides the test either way.
double PmfRatio(double n, double s, double m, double y) {
  const bool up = m < y;
  const double from = (up ? m : y) + 1.0, to = up ? y : m;
  double above = 1.0, below = 1.0;
  for (double i = from; i <= to; i += 1.0) {
    above *= s * (n + 1.0 - i);
    below *= i;
    if (above > 1e100 || below > 1e100) {
      above *= 1e-100;
      below *= 1e-100;
    }
  }
  return up ? above / below : below / above;
}

// BTPE for p ≤ 1/2 and trials·p > kInversionMean: a triangle, two
// parallelograms and two exponential tails over the pmf, with squeezes.
uint32_t BinomialByBtpe(uint32_t trials, double p, CountStream& stream) {
  const double n = trials, r = p, q = 1.0 - p;
  const double fm = n * r + r;
  const double m = std::floor(fm);
  const double nrq = n * r * q;
  const double p1 = std::floor(2.195 * std::sqrt(nrq) - 4.6 * q) + 0.5;
  const double xm = m + 0.5, xl = xm - p1, xr = xm + p1;
  const double c = 0.134 + 20.5 / (15.3 + m);
  double a = (fm - xl) / (fm - xl * r);
  const double laml = a * (1.0 + a / 2.0);
  a = (xr - fm) / (xr * q);
  const double lamr = a * (1.0 + a / 2.0);
  const double p2 = p1 * (1.0 + 2.0 * c), p3 = p2 + c / laml, p4 = p3 + c / lamr;
  for (;;) {
    const double u = stream.NextUniform() * p4;
    double v = stream.NextUniform();
    double y;
    if (u <= p1) {  // the triangle: accepted at once
      y = std::floor(xm - p1 * v + u);
      return static_cast<uint32_t>(y);
    }
    if (u <= p2) {  // the parallelograms
      const double x = xl + (u - p1) / c;
      v = v * c + 1.0 - std::fabs(m - x + 0.5) / p1;
      if (v > 1.0) continue;
      y = std::floor(x);
    } else if (u <= p3) {  // left tail
      y = std::floor(xl + std::log(v) / laml);
      if (y < 0.0 || v == 0.0) continue;
      v = v * (u - p2) * laml;
    } else {  // right tail
      y = std::floor(xr - std::log(v) / lamr);
      if (y > n || v == 0.0) continue;
      v = v * (u - p3) * lamr;
    }
    const double k = std::fabs(y - m);
    if (k <= 20.0 || k >= nrq / 2.0 - 1.0) {
      if (v <= PmfRatio(n, r / q, m, y)) return static_cast<uint32_t>(y);
      continue;
    }
    // Squeeze on log f(y)/f(m), then the test with Stirling's formula.
    const double rho = (k / nrq) * ((k * (k / 3.0 + 0.625) + 0.1666666666666) / nrq + 0.5);
    const double t = -k * k / (2.0 * nrq);
    const double logv = std::log(v);
    if (logv < t - rho) return static_cast<uint32_t>(y);
    if (logv > t + rho) continue;
    const double x1 = y + 1.0, f1 = m + 1.0, z = n + 1.0 - m, w = n - y + 1.0;
    const double bound = xm * std::log(f1 / x1) + (n - m + 0.5) * std::log(z / w) +
                         (y - m) * std::log(w * r / (x1 * q)) + StirlingTail(f1) +
                         StirlingTail(z) + StirlingTail(x1) + StirlingTail(w);
    if (logv <= bound) return static_cast<uint32_t>(y);
  }
}

}  // namespace

CountStream::CountStream(uint32_t seed, uint64_t index) {
  uint64_t counter = Finalise(seed) + 4 * index * kGolden;
  for (uint64_t& word : s_) word = SplitMix(counter);
}

uint32_t DrawBinomial(uint32_t trials, double p, CountStream& stream) {
  if (trials == 0 || !(p > 0.0)) return 0;
  if (!(p < 1.0)) return trials;
  // Drawn for the rarer outcome: both methods assume p ≤ 1/2.
  const bool flipped = p > 0.5;
  const double rare = flipped ? 1.0 - p : p;
  const uint32_t x = trials * rare <= kInversionMean ? BinomialByInversion(trials, rare, stream)
                                                     : BinomialByBtpe(trials, rare, stream);
  return flipped ? trials - x : x;
}

void DrawMultinomial(uint32_t size, const double* q, uint32_t A, uint32_t* counts,
                     CountStream& stream) {
  // What alleles k..A hold, summed from the top: at the last allele with any
  // probability the share is exactly 1, so nothing is left to the alleles
  // after it whatever the rounding of the sums.
  double rest[257];
  rest[A + 1] = 0.0;
  for (uint32_t k = A; k >= 1; --k) rest[k] = q[k] + rest[k + 1];
  uint32_t left = size;
  for (uint32_t k = 1; k <= A; ++k) {
    if (left == 0 || k == A) {
      counts[k] = left;
      left = 0;
      continue;
    }
    counts[k] = rest[k] > 0.0 ? DrawBinomial(left, q[k] / rest[k], stream) : left;
    left -= counts[k];
  }
}

void AlleleDrawProbabilities(const float* f, uint32_t A, double* q) {
  // DrawAllele subtracts the frequencies from the draw in f64: allele k is
  // drawn below the k-th cumulative sum, clamped to 1; A takes the rest.
  double below = 0.0, cumulative = 0.0;
  for (uint32_t k = 1; k <= A; ++k) {
    cumulative += static_cast<double>(f[k]);
    const double upTo = k == A ? 1.0 : std::min(cumulative, 1.0);
    q[k] = std::max(0.0, upTo - below);
    below = std::max(below, upTo);
  }
}

BinomialTable::BinomialTable(uint32_t trials, double p)
    : keep_(trials + 1), alias_(trials + 1), last_(trials) {
  const uint32_t K = trials + 1;
  std::vector<double> pmf(K, 0.0);
  if (!(p > 0.0)) {
    pmf[0] = 1.0;
  } else if (!(p < 1.0)) {
    pmf[trials] = 1.0;
  } else {
    // From the mode outwards by the ratios of successive terms, then
    // normalised: no factorials, and the tails simply fade to 0.
    const uint32_t mode = std::min(trials, static_cast<uint32_t>((trials + 1.0) * p));
    const double odds = p / (1.0 - p);
    pmf[mode] = 1.0;
    for (uint32_t k = mode; k < trials; ++k)
      pmf[k + 1] = pmf[k] * odds * static_cast<double>(trials - k) / static_cast<double>(k + 1);
    for (uint32_t k = mode; k > 0; --k)
      pmf[k - 1] = pmf[k] / odds * static_cast<double>(k) / static_cast<double>(trials - k + 1);
  }
  double total = 0.0;
  for (double f : pmf) total += f;
  // Vose: columns scaled to a mean of 1, each small one topped up from a
  // large one, which keeps what is left of it.
  std::vector<uint32_t> small, large;
  for (uint32_t k = 0; k < K; ++k) {
    keep_[k] = pmf[k] / total * K;
    alias_[k] = k;
    (keep_[k] < 1.0 ? small : large).push_back(k);
  }
  while (!small.empty() && !large.empty()) {
    const uint32_t s = small.back(), l = large.back();
    small.pop_back();
    alias_[s] = l;
    keep_[l] -= 1.0 - keep_[s];
    if (keep_[l] < 1.0) {
      large.pop_back();
      small.push_back(l);
    }
  }
  // What rounding leaves on either list is a full column.
  for (uint32_t k : small) keep_[k] = 1.0;
  for (uint32_t k : large) keep_[k] = 1.0;
}

SimulatedFst FstOfSums(const FstSums& sums) {
  SimulatedFst fst;
  if (!sums.defined) {
    fst.defined = false;
    return fst;
  }
  const long double wc = Divide(sums.wcNumerator, sums.wcDenominator);
  fst.wc = StoreF64(wc);
  fst.rh = sums.rh;
  fst.delta = StoreF64(wc - static_cast<long double>(sums.rh));
  return fst;
}

CountSimulator::CountSimulator(const CountNull& null)
    : null_(null),
      stride_(null.A + 1),
      founders_(static_cast<std::size_t>(null.P) * stride_),
      source_(stride_),
      counts_(static_cast<std::size_t>(null.P) * stride_),
      next_(counts_.size()),
      totals_(stride_),
      pool_(stride_),
      sampleAlleles_(counts_.size()),
      sampleHeterozygotes_(counts_.size()),
      firstCopies_(stride_),
      pairs_(stride_) {
  const uint32_t A = null.A;
  std::vector<float> row(stride_);
  for (uint32_t r = 1; r <= null.P + 1; ++r) {
    std::copy_n(null.start.begin() + static_cast<std::size_t>(r - 1) * A, A, row.begin() + 1);
    double* q = r <= null.P ? &founders_[static_cast<std::size_t>(r - 1) * stride_] : source_.data();
    AlleleDrawProbabilities(row.data(), A, q);
  }
  frequencies_.Reserve(null.P + 1, A);
  if (null.model == MigrationModel::InfiniteIsland && A == 2 && null.N <= kMaxTabledSize)
    transitions_.resize(2 * null.N + 1);
}

uint32_t CountSimulator::NextCountByTable(uint32_t c, CountStream& stream) {
  std::unique_ptr<BinomialTable>& row = transitions_[c];
  if (!row) {
    // Allele 1's share of the pool exactly as FormPool and DrawMultinomial
    // form it.
    const double copies = 2.0 * null_.N, m = null_.m;
    const double first = (1.0 - m) * (c / copies) + m * source_[1];
    const double second = (1.0 - m) * ((2 * null_.N - c) / copies) + m * source_[2];
    const double rest = first + second;
    row = std::make_unique<BinomialTable>(2 * null_.N, rest > 0.0 ? first / rest : 1.0);
  }
  return row->Draw(stream);
}

void CountSimulator::Found(CountStream& stream) {
  for (uint32_t p = 1; p <= null_.P; ++p)
    DrawMultinomial(2 * null_.N, &founders_[static_cast<std::size_t>(p - 1) * stride_], null_.A,
                    CountsOf(p), stream);
}

void CountSimulator::FormPool(uint32_t p) {
  const uint32_t A = null_.A, P = null_.P;
  const double copies = 2.0 * null_.N, m = null_.m;
  const uint32_t* own = CountsOf(p);
  switch (null_.model) {
    case MigrationModel::InfiniteIsland:
      for (uint32_t a = 1; a <= A; ++a) pool_[a] = (1.0 - m) * (own[a] / copies) + m * source_[a];
      break;
    case MigrationModel::FiniteIsland: {
      // A migrant's parent is uniform over the other populations' individuals.
      const double others = copies * (P - 1);
      for (uint32_t a = 1; a <= A; ++a)
        pool_[a] = (1.0 - m) * (own[a] / copies) + m * ((totals_[a] - own[a]) / others);
      break;
    }
    case MigrationModel::SteppingStone: {
      // Either neighbour on the ring with probability 1/2 (for P = 2 both
      // are the other population).
      const uint32_t* up = CountsOf(p == P ? 1 : p + 1);
      const uint32_t* down = CountsOf(p == 1 ? P : p - 1);
      for (uint32_t a = 1; a <= A; ++a)
        pool_[a] = (1.0 - m) * (own[a] / copies) + m * 0.5 * ((up[a] + down[a]) / copies);
      break;
    }
  }
}

void CountSimulator::SumTotals() {
  if (null_.model != MigrationModel::FiniteIsland) return;
  std::fill(totals_.begin(), totals_.end(), 0);
  for (uint32_t p = 1; p <= null_.P; ++p)
    for (uint32_t a = 1; a <= null_.A; ++a) totals_[a] += CountsOf(p)[a];
}

void CountSimulator::Reproduce(CountStream& stream) {
  const uint32_t A = null_.A, P = null_.P;
  SumTotals();
  if (UsesTransitionTables()) {
    for (uint32_t p = 1; p <= P; ++p) {
      uint32_t* next = &next_[static_cast<std::size_t>(p - 1) * stride_];
      next[1] = NextCountByTable(CountsOf(p)[1], stream);
      next[2] = 2 * null_.N - next[1];
    }
    counts_.swap(next_);
    return;
  }
  // Every population draws from the same parents: the generations do not overlap.
  for (uint32_t p = 1; p <= P; ++p) {
    FormPool(p);
    DrawMultinomial(2 * null_.N, pool_.data(), A, &next_[static_cast<std::size_t>(p - 1) * stride_],
                    stream);
  }
  counts_.swap(next_);
}

void CountSimulator::SamplePopulation(uint32_t p, CountStream& stream) {
  const uint32_t A = null_.A;
  uint32_t* alleles = &sampleAlleles_[static_cast<std::size_t>(p - 1) * stride_];
  uint32_t* heterozygotes = &sampleHeterozygotes_[static_cast<std::size_t>(p - 1) * stride_];
  std::fill_n(alleles + 1, A, 0u);
  std::fill_n(heterozygotes + 1, A, 0u);
  // Each individual's first copy, then, for those whose first copy is a,
  // their second: two independent copies from the pool per individual.
  DrawMultinomial(null_.n, pool_.data(), A, firstCopies_.data(), stream);
  for (uint32_t a = 1; a <= A; ++a) {
    if (firstCopies_[a] == 0) continue;
    DrawMultinomial(firstCopies_[a], pool_.data(), A, pairs_.data(), stream);
    for (uint32_t b = 1; b <= A; ++b) {
      const uint32_t x = pairs_[b];
      if (x == 0) continue;
      alleles[a] += x;
      alleles[b] += x;
      if (a != b) {
        heterozygotes[a] += x;
        heterozygotes[b] += x;
      }
    }
  }
}

FstSums CountSimulator::SimulateSums(uint32_t seed, uint64_t index, bool skipUndefined) {
  CountStream stream(seed, index);
  Found(stream);
  // Generations 1 … T − 1 as counts; generation T only as its sample.
  for (uint32_t g = 1; g < null_.T; ++g) Reproduce(stream);
  SumTotals();
  for (uint32_t p = 1; p <= null_.P; ++p) {
    FormPool(p);
    SamplePopulation(p, stream);
  }
  const auto countPopulation = [this](uint32_t r, uint32_t* alleles, uint32_t* heterozygotes) {
    const std::size_t at = static_cast<std::size_t>(r - 1) * stride_;
    std::copy_n(&sampleAlleles_[at], stride_, alleles);
    std::copy_n(&sampleHeterozygotes_[at], stride_, heterozygotes);
  };
  return SumFstTermsOfCounts(null_.P, null_.n, static_cast<uint8_t>(null_.A), skipUndefined,
                             countPopulation, frequencies_);
}

SimulatedFst CountSimulator::Simulate(uint32_t seed, uint64_t index, bool skipUndefined) {
  return FstOfSums(SimulateSums(seed, index, skipUndefined));
}

}  // namespace dw
