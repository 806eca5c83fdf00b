#include "engine/countsim.h"

#include <random>

#include "engine/estimators.h"
#include "runtime/floatmode.h"

namespace dw {

CountSimulator::CountSimulator(const CountNull& null) : null_(null) {
  genotypes_.resize(null.P * null.n + 1);
  mask_.assign(null.P * null.n + 1, 1);
  frequencies_.Reserve(null.P + 1, null.A + 1);
}

SimulatedFst CountSimulator::Simulate(uint32_t seed, uint64_t index, bool skipUndefined) {
  std::mt19937_64 g((uint64_t{seed} << 32) ^ (index * 0x9E3779B97F4A7C15ull));
  const uint32_t P = null_.P, A = null_.A;
  std::vector<std::vector<double>> p(P, std::vector<double>(A));
  auto draw = [&](uint32_t size, const std::vector<double>& pool, std::vector<double>& out) {
    double left = 1.0;
    uint32_t rest = size;
    for (uint32_t a = 0; a < A; ++a) {
      uint32_t k = 0;
      if (a + 1 == A) k = rest;
      else if (rest > 0 && left > 0) {
        double q = std::min(1.0, std::max(0.0, pool[a] / left));
        k = std::binomial_distribution<uint32_t>(rest, q)(g);
      }
      out[a] = double(k) / size;
      rest -= k;
      left -= pool[a];
    }
  };
  for (uint32_t r = 0; r < P; ++r) {
    std::vector<double> row(A);
    for (uint32_t a = 0; a < A; ++a) row[a] = null_.start[r * A + a];
    draw(2 * null_.N, row, p[r]);
  }
  auto pools = [&]() {
    std::vector<std::vector<double>> pool(P, std::vector<double>(A));
    for (uint32_t r = 0; r < P; ++r)
      for (uint32_t a = 0; a < A; ++a) {
        double src;
        if (null_.model == MigrationModel::InfiniteIsland) src = null_.start[P * A + a];
        else if (null_.model == MigrationModel::FiniteIsland) {
          src = 0;
          for (uint32_t o = 0; o < P; ++o) if (o != r) src += p[o][a];
          src /= (P - 1);
        } else src = 0.5 * (p[(r + P - 1) % P][a] + p[(r + 1) % P][a]);
        pool[r][a] = (1 - null_.m) * p[r][a] + null_.m * src;
      }
    return pool;
  };
  for (uint32_t t = 1; t < null_.T; ++t) {
    auto pool = pools();
    for (uint32_t r = 0; r < P; ++r) draw(2 * null_.N, pool[r], p[r]);
  }
  auto pool = pools();
  std::uniform_real_distribution<double> u(0, 1);
  uint32_t j = 1;
  for (uint32_t r = 0; r < P; ++r)
    for (uint32_t i = 0; i < null_.n; ++i, ++j) {
      auto pick = [&] {
        double x = u(g), c = 0;
        for (uint32_t a = 0; a < A; ++a) { c += pool[r][a]; if (x < c) return a + 1; }
        return A;
      };
      genotypes_[j] = GenotypeRecord{uint16_t(r + 1), uint8_t(pick()), uint8_t(pick())};
    }
  SimulationParameters params;
  params.P = P; params.N = null_.n; params.n = null_.n; params.A = A;
  params.SkipUndefined = skipUndefined;
  const FstSums sums = SumFstTerms(params, genotypes_, mask_, 0, frequencies_);
  SimulatedFst out;
  if (!sums.defined) { out.defined = false; return out; }
  const long double wc = Divide(sums.wcNumerator, sums.wcDenominator);
  out.wc = StoreF64(wc);
  out.rh = sums.rh;
  out.delta = StoreF64(wc - static_cast<long double>(sums.rh));
  return out;
}

}  // namespace dw
