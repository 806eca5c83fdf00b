#include "engine/sampling.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/state.h"

namespace dw {

namespace {
constexpr uint32_t kBlock = 64;

// The index of the rank-th unmarked individual from `first` on, with at
// least `rank` of them before `end`. Eight mask bytes at a time: each is 0 or
// 1, so the top byte of their product with 0x0101…01 counts the marked ones.
uint32_t RankthUnmarked(const uint8_t* mask, uint32_t first, uint32_t end, uint32_t rank) {
  uint32_t j = first;
  for (; j + 8 <= end; j += 8) {
    uint64_t bytes;
    std::memcpy(&bytes, mask + j, sizeof bytes);
    const uint32_t unmarked = 8 - static_cast<uint32_t>((bytes * 0x0101010101010101u) >> 56);
    if (unmarked >= rank) break;
    rank -= unmarked;
  }
  for (;; ++j)
    if (mask[j] == 0 && --rank == 0) return j;
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
  // The unmarked individuals of each block of kBlock, so a draw skips whole
  // blocks before it counts bytes: N < 2^16 needs at most 1024 of them.
  std::array<uint16_t, (65535 + kBlock - 1) / kBlock> left;
  for (uint32_t p = 1; p <= P; ++p) {
    const uint32_t first = FirstOf(p, N), end = LastOf(p, N) + 1;
    for (uint32_t b = 0; b * kBlock < N; ++b)
      left[b] = static_cast<uint16_t>(std::min(kBlock, N - b * kBlock));
    uint32_t unmarked = N;
    for (uint32_t draw = 0; draw < k; ++draw) {
      // The scan stops at the first unmarked one whose count c exceeds e·u,
      // u = state·2^-32: c·2^32 > e·state, so c = ⌊e·state/2^32⌋ + 1 exactly.
      const uint64_t scaled = uint64_t{unmarked} * rng.NextState();
      uint32_t rank = static_cast<uint32_t>(scaled >> 32) + 1;
      uint32_t b = 0;
      for (; left[b] < rank; ++b) rank -= left[b];
      const uint32_t j = RankthUnmarked(mask.data(), first + b * kBlock, end, rank);
      mask[j] = 1;
      --left[b];
      --unmarked;
    }
  }
}

}  // namespace dw
