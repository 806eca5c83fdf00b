#include "engine/sampling.h"

#include <algorithm>

#include "engine/state.h"

namespace dw {

namespace {
// Marks the unmarked individual at which the count of unmarked ones seen
// first exceeds e·u (exact in extended precision: e < 2^16, u has 32 bits).
void MarkOne(uint32_t first, long double threshold, std::vector<uint8_t>& mask) {
  uint32_t seen = 0;
  for (uint32_t j = first;; ++j) {
    if (mask[j] != 0) continue;
    ++seen;
    if (static_cast<long double>(seen) > threshold) {
      mask[j] = 1;
      return;
    }
  }
}
}  // namespace

void DrawSample(uint32_t P, uint32_t n, uint32_t N, Random& rng, std::vector<uint8_t>& mask,
                uint8_t& complement) {
  uint32_t k;
  if (static_cast<long double>(N) / 2.0L >= n) {
    complement = 0;
    k = n;
  } else {
    complement = 1;
    k = N - n;
  }
  std::fill(mask.begin() + 1, mask.begin() + 1 + static_cast<std::size_t>(P) * N, uint8_t{0});
  for (uint32_t p = 1; p <= P; ++p) {
    uint32_t unmarked = N;
    for (uint32_t draw = 0; draw < k; ++draw) {
      const long double u = rng.NextUniform();
      MarkOne(FirstOf(p, N), static_cast<long double>(unmarked) * u, mask);
      --unmarked;
    }
  }
}

}  // namespace dw
