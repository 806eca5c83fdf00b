// The count-level simulator: its binomial sampler against the exact pmf on
// both sides of the inversion/BTPE switch and at the edges, its multinomial,
// the probabilities it founds from (DrawAllele's own), the independence of a
// simulation from every other, and migration at m = 1 from the given source.
// Its agreement in distribution with the individual engine is the slow
// check `make check-engines` (tests/engines).
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "engine/countsim.h"
#include "engine/founding.h"
#include "runtime/errors.h"
#include "runtime/floatmode.h"

namespace dw {
namespace {

// log P(X = k) for X ~ binomial(n, p), 0 < p < 1.
long double LogPmf(uint32_t n, double p, uint32_t k) {
  return std::lgamma(n + 1.0L) - std::lgamma(k + 1.0L) - std::lgamma(n - k + 1.0L) +
         k * std::log(static_cast<long double>(p)) + (n - k) * std::log1p(-static_cast<long double>(p));
}

// The chi-square critical value of `df` degrees of freedom at the upper
// tail z = 6 standard normal (Wilson–Hilferty): a fixed-seed test that never
// fails by chance, yet far below what a wrong tail or mode gives.
double ChiSquareBound(double df) {
  const double h = 2.0 / (9.0 * df), z = 6.0;
  return df * std::pow(1.0 - h + z * std::sqrt(h), 3.0);
}

// Draws `draws` values and compares them with the pmf over bins whose
// expected count is at least 20 (the tails pooled into the end bins).
template <typename Draw>
void ExpectBinomialLaw(uint32_t n, double p, uint32_t draws, uint32_t seed, Draw draw) {
  SCOPED_TRACE("n=" + std::to_string(n) + " p=" + std::to_string(p));
  CountStream stream(seed, 1);
  std::vector<uint64_t> seen(n + 1);
  for (uint32_t i = 0; i < draws; ++i) {
    const uint32_t x = draw(stream);
    ASSERT_LE(x, n);
    ++seen[x];
  }
  std::vector<double> expected(n + 1);
  for (uint32_t k = 0; k <= n; ++k) expected[k] = draws * std::exp(static_cast<double>(LogPmf(n, p, k)));
  // Bins: consecutive values gathered until they expect 20.
  double chi = 0.0, binExpected = 0.0;
  uint64_t binSeen = 0;
  int bins = 0;
  for (uint32_t k = 0; k <= n; ++k) {
    binExpected += expected[k];
    binSeen += seen[k];
    if (binExpected >= 20.0 || k == n) {
      chi += (binSeen - binExpected) * (binSeen - binExpected) / std::max(binExpected, 1e-300);
      ++bins;
      binExpected = 0.0;
      binSeen = 0;
    }
  }
  ASSERT_GE(bins, 2);
  EXPECT_LT(chi, ChiSquareBound(bins - 1));
  // The mean to within six standard errors.
  double sum = 0.0;
  for (uint32_t k = 0; k <= n; ++k) sum += static_cast<double>(k) * seen[k];
  const double mean = sum / draws, sd = std::sqrt(n * p * (1.0 - p) / draws);
  EXPECT_NEAR(mean, n * p, 6.0 * sd + 1e-12);
}

TEST(CountBinomial, MatchesTheExactLawOnBothSidesOfTheSwitch) {
  struct Case {
    uint32_t n;
    double p;
  };
  // Inversion up to a mean of 30 for the rarer outcome, BTPE above; p above
  // one half is drawn as its complement; means of 30 and just over; the
  // parallelogram and tail regions of BTPE at small and large n·p·q.
  for (const Case& c : {Case{1, 0.5}, Case{10, 0.3}, Case{60, 0.5}, Case{61, 0.5},
                        Case{200, 0.5}, Case{200, 0.97}, Case{200, 0.16}, Case{1000, 0.001},
                        Case{2000, 0.0155}, Case{131070, 0.2}, Case{50000, 0.9996},
                        Case{400, 0.35}})
    ExpectBinomialLaw(c.n, c.p, 200000, 17,
                      [&](CountStream& stream) { return DrawBinomial(c.n, c.p, stream); });
}

// The tables the infinite island's two-allele chain is drawn from, at the
// sizes it builds them (2N trials) and at the edges.
TEST(CountBinomial, TablesMatchTheExactLaw) {
  for (const auto& [n, p] : {std::pair<uint32_t, double>{200, 0.5}, {200, 0.03}, {60, 0.9},
                             {512, 0.27}, {1, 0.4}, {400, 0.0011}}) {
    const BinomialTable table(n, p);
    ExpectBinomialLaw(n, p, 200000, 23, [&](CountStream& stream) { return table.Draw(stream); });
  }
  CountStream stream(1, 1);
  const BinomialTable none(40, 0.0), all(40, 1.0);
  for (int i = 0; i < 1000; ++i) {
    EXPECT_EQ(none.Draw(stream), 0u);
    EXPECT_EQ(all.Draw(stream), 40u);
  }
}

TEST(CountBinomial, EdgesGiveTheirOnlyValue) {
  CountStream stream(3, 9);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(DrawBinomial(0, 0.4, stream), 0u);
    EXPECT_EQ(DrawBinomial(50, 0.0, stream), 0u);
    EXPECT_EQ(DrawBinomial(50, 1.0, stream), 50u);
    EXPECT_EQ(DrawBinomial(50, -1e-17, stream), 0u);
    EXPECT_EQ(DrawBinomial(50, 1.0 + 1e-15, stream), 50u);
  }
}

TEST(CountMultinomial, CountsSumToTheSizeAndSkipAllelesWithoutProbability) {
  CountStream stream(5, 2);
  // Index 0 unused, as in every allele table. The second sums to a rounding
  // step below 1, the third leaves its last alleles nothing.
  const std::vector<std::vector<double>> tables = {
      {0, 0.1, 0.2, 0.0, 0.7}, {0, 0.3, 0.3, 0.39999999999}, {0, 0.5, 0.5, 0.0, 0.0}};
  for (const auto& q : tables) {
    const uint32_t A = static_cast<uint32_t>(q.size() - 1);
    std::vector<double> mean(A + 1);
    for (int i = 0; i < 20000; ++i) {
      std::vector<uint32_t> counts(A + 1, 12345);
      DrawMultinomial(400, q.data(), A, counts.data(), stream);
      ASSERT_EQ(std::accumulate(counts.begin() + 1, counts.end(), 0u), 400u);
      for (uint32_t k = 1; k <= A; ++k) {
        if (q[k] == 0.0) {
          ASSERT_EQ(counts[k], 0u) << k;
        }
        mean[k] += counts[k] / 20000.0;
      }
    }
    const double total = std::accumulate(q.begin() + 1, q.end(), 0.0);
    for (uint32_t k = 1; k <= A; ++k) EXPECT_NEAR(mean[k], 400 * q[k] / total, 0.3) << k;
  }
}

// The probabilities are those of DrawAllele over the whole range of draws,
// including rows whose sum is off 1 by the slack a frequency file allows.
TEST(CountFounding, AlleleProbabilitiesAreDrawAllelesOwn) {
  const std::vector<std::vector<float>> rows = {{0, 0.1f, 0.2f, 0.3f, 0.4f},
                                                {0, 0.6f, 0.40001f, 0.0f},
                                                {0, 0.3f, 0.3f, 0.39999f},
                                                {0, 0.0f, 0.0f, 1.0f},
                                                {0, 0.5f, 0.5f, 0.0f, 0.0f}};
  constexpr uint32_t kSteps = 1u << 20;
  for (const auto& f : rows) {
    const uint32_t A = static_cast<uint32_t>(f.size() - 1);
    std::vector<double> q(A + 1), share(A + 1);
    AlleleDrawProbabilities(f.data(), A, q.data());
    for (uint32_t i = 0; i < kSteps; ++i) {
      const long double draw = (i + 0.5L) / kSteps;
      share[DrawAllele(draw, f.data(), static_cast<uint8_t>(A))] += 1.0 / kSteps;
    }
    for (uint32_t k = 1; k <= A; ++k) EXPECT_NEAR(q[k], share[k], 2.0 / kSteps) << "allele " << k;
  }
}

CountNull SmallNull(MigrationModel model) {
  CountNull null;
  null.model = model;
  null.P = 4;
  null.N = 30;
  null.T = 12;
  null.A = 3;
  null.n = 10;
  null.m = 0.1;
  null.start = {0.2f, 0.3f, 0.5f, 0.6f, 0.2f, 0.2f, 0.1f, 0.1f, 0.8f,
                0.3f, 0.3f, 0.4f, 0.4f, 0.4f, 0.2f};
  return null;
}

bool Same(const SimulatedFst& a, const SimulatedFst& b) {
  return a.defined == b.defined && a.wc == b.wc && a.rh == b.rh && a.delta == b.delta;
}

// A simulation depends on (null, seed, index) alone: run after others, in
// another order, in another simulator, it gives the same bits; other
// indices and seeds give other values.
TEST(CountSimulator, ASimulationIsAFunctionOfItsSeedAndIndexAlone) {
  EstablishFloatErrorMode();
  for (MigrationModel model : {MigrationModel::InfiniteIsland, MigrationModel::FiniteIsland,
                               MigrationModel::SteppingStone}) {
    const CountNull null = SmallNull(model);
    CountSimulator forward(null), backward(null);
    std::vector<SimulatedFst> inOrder;
    for (uint64_t s = 1; s <= 8; ++s) inOrder.push_back(forward.Simulate(99, s, true));
    for (uint64_t s = 8; s >= 1; --s)
      EXPECT_TRUE(Same(backward.Simulate(99, s, true), inOrder[s - 1])) << s;
    EXPECT_TRUE(Same(CountSimulator(null).Simulate(99, 5, true), inOrder[4]));
    for (uint64_t s = 2; s <= 8; ++s) EXPECT_NE(inOrder[s - 1].delta, inOrder[s - 2].delta) << s;
    EXPECT_NE(forward.Simulate(100, 1, true).delta, inOrder[0].delta);
    // Delta as WriteFstLine forms it from the extended WC.
    for (const SimulatedFst& f : inOrder) {
      ASSERT_TRUE(f.defined);
      EXPECT_NEAR(f.delta, f.wc - f.rh, 1e-15);
    }
  }
}

// Under the infinite island at m = 1 every gene copy of generation T is
// drawn from the migrant row, whatever the founders: founders fixed for
// allele 1 and a source of allele 2 alone give samples fixed for allele 2
// (undefined; a fault unless skipped); a source of (0.25, 0.75) gives
// sample frequencies averaging 0.75.
TEST(CountSimulator, AtFullMigrationTheSampleComesFromTheSource) {
  EstablishFloatErrorMode();
  CountNull null;
  null.P = 5;
  null.N = 20;
  null.T = 3;
  null.A = 2;
  null.n = 10;
  null.m = 1.0;
  for (uint32_t r = 1; r <= null.P; ++r) null.start.insert(null.start.end(), {1.0f, 0.0f});
  null.start.insert(null.start.end(), {0.0f, 1.0f});
  CountSimulator fixed(null);
  for (uint64_t s = 1; s <= 20; ++s) EXPECT_FALSE(fixed.Simulate(1, s, true).defined);
  EXPECT_THROW(fixed.Simulate(1, 1, false), EMathError);

  null.start[10] = 0.25f;
  null.start[11] = 0.75f;
  CountSimulator mixed(null);
  double share = 0.0;
  constexpr int kSimulations = 2000;
  for (uint64_t s = 1; s <= kSimulations; ++s) {
    ASSERT_TRUE(mixed.Simulate(1, s, true).defined);
    for (uint32_t r = 1; r <= null.P; ++r) share += mixed.SampleFrequencies().At(r, 2);
  }
  // 2·n·P·simulations = 200,000 copies: the standard error is under 0.001.
  EXPECT_NEAR(share / (kSimulations * null.P), 0.75, 0.006);
}

}  // namespace
}  // namespace dw
