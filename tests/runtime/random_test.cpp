#include "runtime/random.h"

#include <gtest/gtest.h>

#include <cmath>

#include "runtime/errors.h"

namespace dw {
namespace {

TEST(Random, FirstDrawsFromStateZero) {
  struct Step {
    long double value;
    uint32_t state;
  };
  const Step steps[] = {{2.3283064365386963e-10L, 1u},
                        {0.031379939522594213L, 134775814u},
                        {0.8610484672244638L, 3698175007u},
                        {0.20258096512407064L, 870078620u},
                        {0.2729212671983987L, 1172187917u}};
  Random rng;
  for (const Step& step : steps) {
    const long double u = rng.NextUniform();
    EXPECT_EQ(rng.RandomSeed, step.state);
    EXPECT_EQ(u, static_cast<long double>(step.state) / 4294967296.0L);  // exact
    EXPECT_NEAR(static_cast<double>(u), static_cast<double>(step.value), 1e-16);
  }
  EXPECT_EQ(Random{}.NextUniform(), 0x1p-32L);  // the smallest non-zero draw
}

TEST(Random, NextBelowFromStateZero) {
  Random rng;
  EXPECT_EQ(rng.NextBelow(10), 0u);
  EXPECT_EQ(rng.NextBelow(10), 0u);
  EXPECT_EQ(rng.NextBelow(10), 8u);
  EXPECT_EQ(rng.RandomSeed, 3698175007u);  // one step per call, as NextUniform
  EXPECT_EQ(rng.NextBelow(0), 0u);
}

TEST(Random, LargestDrawIsJustBelowOne) {
  // The state that precedes 0xFFFFFFFF, through the multiplier's inverse mod
  // 2^32 (Newton's iteration doubles the correct low bits each step).
  uint32_t inverse = 134775813u;
  for (int i = 0; i < 5; ++i) inverse *= 2u - 134775813u * inverse;
  ASSERT_EQ(inverse * 134775813u, 1u);
  Random rng;
  rng.RandomSeed = (0xFFFFFFFFu - 1u) * inverse;
  EXPECT_EQ(rng.NextUniform(), 1.0L - 0x1p-32L);
}

TEST(Random, SeedIsMillisecondsSinceMidnight) {
  Random rng;
  rng.SeedFromTimeOfDay(12, 34, 56, 789);
  EXPECT_EQ(rng.RandomSeed, 45296789u);
  rng.SeedFromTimeOfDay(23, 59, 59, 999);
  EXPECT_EQ(rng.RandomSeed, 86399999u);
  rng.SeedFromClock();
  EXPECT_LT(rng.RandomSeed, 86400000u);
}

TEST(Random, JumpAheadAndDistanceAgreeWithStepping) {
  for (uint32_t seed : {0u, 1u, 45296789u, 0xFFFFFFFFu}) {
    Random rng;
    rng.RandomSeed = seed;
    for (uint64_t k = 0; k <= 3000; ++k) {
      if (k % 97 == 0 || k < 5) {
        EXPECT_EQ(AdvanceState(seed, k), rng.RandomSeed) << seed << " +" << k;
        EXPECT_EQ(DrawsBetween(seed, rng.RandomSeed), k) << seed << " +" << k;
      }
      rng.NextUniform();
    }
  }
  // The period is 2^32: a full turn comes back, and distances wrap.
  EXPECT_EQ(AdvanceState(12345u, uint64_t{1} << 32), 12345u);
  EXPECT_EQ(AdvanceState(12345u, (uint64_t{1} << 32) + 7), AdvanceState(12345u, 7));
  EXPECT_EQ(DrawsBetween(AdvanceState(99u, 4000000000u), 99u), 294967296u);
}

TEST(Conversions, TruncTowardZeroRoundTiesToEven) {
  struct Case {
    long double x;
    int64_t trunc, round;
  };
  for (Case c : {Case{2.9L, 2, 3}, {-2.9L, -2, -3}, {0.5L, 0, 0}, {1.5L, 1, 2}, {2.5L, 2, 2},
                 {4.9999L, 4, 5}, {0.5000000002328306L, 0, 1}, {-0.5L, 0, 0}, {0.0L, 0, 0}}) {
    EXPECT_EQ(TruncToInt(c.x), c.trunc) << static_cast<double>(c.x);
    EXPECT_EQ(RoundToInt(c.x), c.round) << static_cast<double>(c.x);
  }
}

TEST(Conversions, OutOfRangeIsAnInvalidOperation) {
  for (long double x : {static_cast<long double>(NAN), HUGE_VALL, 0x1p63L, -0x1p64L, 1e30L}) {
    EXPECT_THROW(TruncToInt(x), EInvalidOp) << static_cast<double>(x);
    EXPECT_THROW(RoundToInt(x), EInvalidOp) << static_cast<double>(x);
  }
  EXPECT_EQ(TruncToInt(-0x1p63L), INT64_MIN);
}

}  // namespace
}  // namespace dw
