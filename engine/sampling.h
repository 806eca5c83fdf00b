#pragma once
// The end-of-run sample: n of the N individuals of each population, without
// replacement. When more than half is wanted, the individuals left out are
// drawn instead, so a population never takes more than N/2 draws.
#include <cstdint>
#include <vector>

#include "runtime/random.h"

namespace dw {

// Marks k individuals per population in mask[1..P·N] (k = n, complement 0;
// or k = N − n, complement 1, when N/2 < n). P·k draws in population order;
// each picks the (⌊e·u⌋ + 1)-th of the e individuals not yet marked.
void DrawSample(uint32_t P, uint32_t n, uint32_t N, Random& rng, std::vector<uint8_t>& mask,
                uint8_t& complement);

// Whether individual j is in the sample.
inline bool IsSampled(const std::vector<uint8_t>& mask, uint8_t complement, uint32_t j) {
  return complement == 0 ? mask[j] == 1 : mask[j] == 0;
}

}  // namespace dw
