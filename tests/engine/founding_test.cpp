#include "engine/founding.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/fitness.h"
#include "runtime/errors.h"

namespace dw {
namespace {

// Sets rows 1.. of a table from a list of rows.
void SetRows(AlleleFrequencyTable& table, std::initializer_list<std::initializer_list<float>> rows) {
  uint32_t r = 1;
  for (const auto& row : rows) {
    uint32_t c = 1;
    for (float v : row) table.At(r, c++) = v;
    ++r;
  }
}

struct Founding {
  EngineState state;
  Random rng;
  explicit Founding(uint16_t P, uint16_t N, uint8_t A) {
    state.params.P = P;
    state.params.N = N;
    state.params.A = A;
    BuildFitnessTable(A, 0, 0, 0, 0, 0.0, state.FitnessTable);
  }
  void Run() {
    FoundPopulations(state.params, state.WorkingFrequencies, state.FitnessTable, rng,
                     state.ParentGeneration, state.CumulativeFitness, state.MigrantPool);
  }
};

TEST(FoundPopulations, WorkedExampleFromStateZero) {
  Founding f(2, 2, 3);
  SetRows(f.state.WorkingFrequencies, {{0.2f, 0.3f, 0.5f}, {0.5f, 0.25f, 0.25f}, {0.1f, 0.1f, 0.8f}});
  f.Run();
  struct Expected {
    uint16_t population;
    uint8_t first, second;
    float cumulative;
  };
  const Expected expected[] = {{1, 1, 1, 1.0f}, {1, 3, 2, 2.0f}, {2, 1, 2, 1.0f}, {2, 1, 1, 2.0f}};
  for (uint32_t j = 1; j <= 4; ++j) {
    const GenotypeRecord& r = f.state.ParentGeneration[j];
    EXPECT_EQ(r.population, expected[j - 1].population) << j;
    EXPECT_EQ(r.first, expected[j - 1].first) << j;
    EXPECT_EQ(r.second, expected[j - 1].second) << j;
    EXPECT_EQ(f.state.CumulativeFitness[j], expected[j - 1].cumulative) << j;
  }
  EXPECT_EQ(f.state.MigrantPool[1], 0.1f);
  EXPECT_EQ(f.state.MigrantPool[2], 0.1f);
  EXPECT_EQ(f.state.MigrantPool[3], 0.8f);
  Random eightDraws;
  for (int i = 0; i < 8; ++i) eightDraws.NextUniform();
  EXPECT_EQ(f.rng.RandomSeed, eightDraws.RandomSeed);  // exactly 2·P·N draws
}

TEST(DrawAllele, StrictComparisonAndTheLastAlleleTakesTheRest) {
  const float quarters[] = {0, 0.25f, 0.25f, 0.5f};
  const float noThird[] = {0, 0.5f, 0.5f, 0.0f};
  const float short_[] = {0, 0.25f, 0.25f, 0.499995f};
  const long double below = 0.25L - 0x1p-32L;  // draws are multiples of 2^-32
  struct Case {
    const float* row;
    long double draw;
    uint8_t allele;
  };
  for (Case c : {Case{quarters, 0.25L, 2}, {quarters, below, 1}, {quarters, 0.5L, 3},
                 {quarters, 0.5L - 0x1p-32L, 2}, {quarters, 0.0L, 1},
                 {noThird, 0.999999L, 2}, {noThird, 1.0L - 0x1p-32L, 2}, {short_, 0.999999L, 3}})
    EXPECT_EQ(DrawAllele(c.draw, c.row, 3), c.allele) << static_cast<double>(c.draw);
}

TEST(FoundPopulations, PopulationsAndCumulativeFitnessLaidOutByIndex) {
  Founding f(3, 5, 1);
  SetRows(f.state.WorkingFrequencies, {{1.0f}, {1.0f}, {1.0f}, {1.0f}});
  f.Run();
  for (uint32_t j = 1; j <= 15; ++j) {
    EXPECT_EQ(f.state.ParentGeneration[j].population, (j - 1) / 5 + 1) << j;
    EXPECT_EQ(f.state.ParentGeneration[j].first, 1);
    EXPECT_EQ(f.state.CumulativeFitness[j], static_cast<float>((j - 1) % 5 + 1)) << j;
  }
  Random thirtyDraws;  // A = 1 still draws twice per individual
  for (int i = 0; i < 30; ++i) thirtyDraws.NextUniform();
  EXPECT_EQ(f.rng.RandomSeed, thirtyDraws.RandomSeed);
}

TEST(RestoreFrequencies, CopiesOnlyTheRowsAndColumnsOfTheRun) {
  AlleleFrequencyTable initial, working;
  for (uint32_t r = 1; r <= 4; ++r)
    for (uint32_t c = 1; c <= 4; ++c) {
      initial.At(r, c) = static_cast<float>(r * 10 + c);
      working.At(r, c) = -1.0f;
    }
  RestoreFrequencies(initial, 3, 2, working);
  for (uint32_t r = 1; r <= 4; ++r)
    for (uint32_t c = 1; c <= 4; ++c)
      EXPECT_EQ(working.At(r, c), r <= 3 && c <= 2 ? initial.At(r, c) : -1.0f) << r << "," << c;
}

TEST(FitnessTable, WeightsAndGenotypeFitness) {
  std::vector<float> table(51, 7.0f);
  BuildFitnessTable(5, 2, 3, 5, 5, 0.1, table);
  const float w = 1.1f;  // 1.10000002384185791015625
  EXPECT_EQ(table[1], 1.0f);
  EXPECT_EQ(table[2], w);
  EXPECT_EQ(table[3], w);
  EXPECT_EQ(table[4], 1.0f);
  EXPECT_EQ(table[5], w);
  EXPECT_EQ(table[6], 7.0f);  // beyond count: unchanged
  BuildFitnessTable(5, 4, 3, 0, 9, 0.5, table);  // both ranges skipped
  for (int k = 1; k <= 5; ++k) EXPECT_EQ(table[k], 1.0f);

  BuildFitnessTable(5, 2, 3, 0, 0, 0.1, table);
  EXPECT_EQ(GenotypeFitness(table, 0, 2, 3), static_cast<float>(static_cast<long double>(w) * w));
  EXPECT_EQ(GenotypeFitness(table, 1, 2, 2), 1.0f);
  EXPECT_EQ(GenotypeFitness(table, 1, 2, 1), w);
  EXPECT_EQ(GenotypeFitness(table, 1, 1, 3), w);
}

TEST(SelectMigrantPool, NeutralLeavesThePoolAndSelectionMovesIt) {
  std::vector<float> table(51, 0.0f);
  BuildFitnessTable(3, 1, 1, 0, 0, 0.5, table);
  std::vector<float> pool = {0, 0.2f, 0.3f, 0.5f};
  const std::vector<float> before = pool;
  SelectMigrantPool(3, table, 0, 0.0, pool);
  EXPECT_EQ(pool, before);

  SelectMigrantPool(3, table, 0, 0.5, pool);
  // p'[i] = p[i]·w[i] / Σ p·w with w[1] = 1.5·(1.5·0.2 + 0.8), w[2] = w[3] = 1.5·0.2 + 0.8.
  const double w1 = 1.5 * (1.5 * 0.2 + 0.8), w2 = 1.5 * 0.2 + 0.8;
  const double total = 0.2 * w1 + 0.8 * w2;
  EXPECT_NEAR(pool[1], 0.2 * w1 / total, 1e-6);
  EXPECT_NEAR(pool[2], 0.3 * w2 / total, 1e-6);
  EXPECT_NEAR(pool[1] + pool[2] + pool[3], 1.0, 1e-6);
}

TEST(SelectMigrantPool, ZeroTotalIsAnInvalidOperation) {
  std::vector<float> table(51, 0.0f);
  BuildFitnessTable(2, 1, 2, 0, 0, -1.0, table);  // every weight 0
  std::vector<float> pool = {0, 0.5f, 0.5f};
  EXPECT_THROW(SelectMigrantPool(2, table, 0, -1.0, pool), EInvalidOp);
}

}  // namespace
}  // namespace dw
