#include "engine/sampling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/state.h"

namespace dw {
namespace {

struct Sample {
  std::vector<uint8_t> mask = std::vector<uint8_t>(MaxIndividuals + 1, 7);
  uint8_t complement = 9;
  Random rng;
  void Draw(uint32_t P, uint32_t n, uint32_t N) { DrawSample(P, n, N, rng, mask, complement); }
  uint32_t Marked(uint32_t p, uint32_t N) const {
    uint32_t count = 0;
    for (uint32_t j = FirstOf(p, N); j <= LastOf(p, N); ++j) count += mask[j];
    return count;
  }
};

TEST(DrawSample, ComplementWhenMoreThanHalfIsWanted) {
  struct Case {
    uint32_t N, n;
    uint8_t complement;
    uint32_t marked;
  };
  for (Case c : {Case{100, 50, 0, 50}, {101, 51, 1, 50}, {100, 51, 1, 49}, {100, 100, 1, 0},
                 {101, 50, 0, 50}, {5, 2, 0, 2}, {5, 3, 1, 2}}) {
    Sample s;
    s.Draw(3, c.n, c.N);
    EXPECT_EQ(s.complement, c.complement) << c.N << "/" << c.n;
    Random expected;
    for (uint32_t i = 0; i < 3 * c.marked; ++i) expected.NextUniform();
    EXPECT_EQ(s.rng.RandomSeed, expected.RandomSeed) << "P·k draws";
    uint32_t sampled = 0;
    for (uint32_t p = 1; p <= 3; ++p) {
      EXPECT_EQ(s.Marked(p, c.N), c.marked) << c.N << "/" << c.n << " population " << p;
      for (uint32_t j = FirstOf(p, c.N); j <= LastOf(p, c.N); ++j) {
        EXPECT_LE(s.mask[j], 1);
        sampled += IsSampled(s.mask, s.complement, j);
      }
    }
    EXPECT_EQ(sampled, 3 * c.n);
    EXPECT_EQ(s.mask[3 * c.N + 1], 7) << "nothing beyond P·N is touched";
  }
}

TEST(DrawSample, OneDrawPicksTheRankFromTheDraw) {
  struct Case {
    uint32_t state;  // the generator's state after the draw
    uint32_t picked;
  };
  const uint32_t N = 10;
  // u in [0, 1/N) picks the first individual, u in [(N-1)/N, 1) the last.
  for (Case c : {Case{1u, 1}, {429496729u, 1}, {429496730u, 2}, {0xFFFFFFFFu, 10},
                 {3865470566u, 9}, {3865470567u, 10}}) {
    uint32_t inverse = 134775813u;
    for (int i = 0; i < 5; ++i) inverse *= 2u - 134775813u * inverse;
    Sample s;
    s.rng.RandomSeed = (c.state - 1u) * inverse;
    s.Draw(1, 1, N);
    for (uint32_t j = 1; j <= N; ++j) EXPECT_EQ(s.mask[j], j == c.picked ? 1 : 0) << c.state;
  }
}

TEST(DrawSample, SameStreamSameMarks) {
  Sample a, b;
  a.rng.RandomSeed = b.rng.RandomSeed = 4242u;
  a.Draw(4, 30, 77);
  b.Draw(4, 30, 77);
  EXPECT_TRUE(std::equal(a.mask.begin() + 1, a.mask.begin() + 1 + 4 * 77, b.mask.begin() + 1));
  EXPECT_EQ(a.complement, b.complement);
}

// The scan as it reads: count the unmarked ones from the population's first
// individual and mark the first at which the count exceeds e·u, in extended
// precision.
void ScanSample(uint32_t P, uint32_t n, uint32_t N, Random& rng, std::vector<uint8_t>& mask,
                uint8_t& complement) {
  const bool half = static_cast<long double>(N) / 2.0L >= n;
  complement = half ? 0 : 1;
  const uint32_t k = half ? n : N - n;
  for (uint32_t j = 1; j <= P * N; ++j) mask[j] = 0;
  for (uint32_t p = 1; p <= P; ++p)
    for (uint32_t e = N; e > N - k; --e) {
      const long double threshold = static_cast<long double>(e) * rng.NextUniform();
      uint32_t seen = 0;
      for (uint32_t j = FirstOf(p, N);; ++j)
        if (mask[j] == 0 && static_cast<long double>(++seen) > threshold) {
          mask[j] = 1;
          break;
        }
    }
}

TEST(DrawSample, MarksWhatTheScanMarksOverRandomSizes) {
  std::mt19937 random(99);
  for (int trial = 0; trial < 300; ++trial) {
    const uint32_t P = 1 + random() % 6;
    const uint32_t N = 1 + random() % (trial % 10 == 0 ? 3000 : 70);
    const uint32_t n = random() % (N + 1);
    Sample fast, scan;
    fast.rng.RandomSeed = scan.rng.RandomSeed = static_cast<uint32_t>(random());
    fast.Draw(P, n, N);
    ScanSample(P, n, N, scan.rng, scan.mask, scan.complement);
    ASSERT_EQ(fast.complement, scan.complement) << trial;
    ASSERT_EQ(fast.rng.RandomSeed, scan.rng.RandomSeed) << trial;
    ASSERT_TRUE(std::equal(fast.mask.begin(), fast.mask.end(), scan.mask.begin()))
        << "P " << P << " N " << N << " n " << n;
  }
}

}  // namespace
}  // namespace dw
