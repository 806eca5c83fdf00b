#include "scan/statistics.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace dw::scan {

uint32_t LocusSeed(uint32_t base, uint32_t locus) {
  // The finaliser of MurmurHash3 over base + golden-ratio multiple of the locus.
  uint32_t x = base + 0x9E3779B9u * locus;
  x ^= x >> 16;
  x *= 0x85EBCA6Bu;
  x ^= x >> 13;
  x *= 0xC2B2AE35u;
  x ^= x >> 16;
  return x;
}

std::vector<double> BenjaminiHochberg(const std::vector<double>& p) {
  const std::size_t m = p.size();
  std::vector<std::size_t> order(m);
  for (std::size_t i = 0; i < m; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return p[a] < p[b]; });
  std::vector<double> q(m);
  double running = 1.0;
  for (std::size_t k = m; k-- > 0;) {
    const std::size_t i = order[k];
    running = std::min(running, p[i] * static_cast<double>(m) / static_cast<double>(k + 1));
    q[i] = running;
  }
  return q;
}

TailProbabilities TailsOf(uint64_t simulations, uint64_t lowerCount, uint64_t higherCount) {
  TailProbabilities t;
  const double total = static_cast<double>(simulations) + 1.0;
  t.higher = (static_cast<double>(higherCount) + 1.0) / total;
  t.lower = (static_cast<double>(lowerCount) + 1.0) / total;
  t.twoSided = std::min(1.0, 2.0 * std::min(t.higher, t.lower));
  return t;
}

double Quantile(const std::vector<double>& sorted, double q) {
  if (sorted.empty()) return 0.0;
  const double position = q * static_cast<double>(sorted.size() - 1);
  const std::size_t below = static_cast<std::size_t>(std::floor(position));
  if (below + 1 >= sorted.size()) return sorted.back();
  const double share = position - static_cast<double>(below);
  return sorted[below] + share * (sorted[below + 1] - sorted[below]);
}

}  // namespace dw::scan
