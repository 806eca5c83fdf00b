#include "engine/reproduction.h"

#include <gtest/gtest.h>

#include "engine/drawplan.h"
#include "engine/fitness.h"
#include "engine/founding.h"
#include "runtime/errors.h"

namespace dw {
namespace {

// The generator state whose next draw leaves the generator at `target`.
uint32_t StateBefore(uint32_t target) {
  uint32_t inverse = 134775813u;
  for (int i = 0; i < 5; ++i) inverse *= 2u - 134775813u * inverse;
  return (target - 1u) * inverse;
}

// Parents where population k is homozygous for allele k, so an offspring's
// allele tells which population it came from.
struct Generation {
  EngineState state;
  SimulationParameters& params = state.params;
  Generation(uint16_t P, uint16_t N, uint8_t A, double m) {
    params.P = P;
    params.N = N;
    params.A = A;
    params.m = m;
    BuildFitnessTable(A, 0, 0, 0, 0, 0.0, state.FitnessTable);
    for (uint32_t p = 1; p <= P; ++p)
      for (uint32_t j = FirstOf(p, N); j <= LastOf(p, N); ++j) {
        state.ParentGeneration[j] = {static_cast<uint16_t>(p), static_cast<uint8_t>(p),
                                     static_cast<uint8_t>(p)};
        state.CumulativeFitness[j] = static_cast<float>(j - FirstOf(p, N) + 1);
      }
    state.TotalFitness = static_cast<double>(P) * N;
  }
  ParentTables Parents() const {
    return {state.ParentGeneration, state.CumulativeFitness, state.MigrantPool, state.FitnessTable};
  }
  void Reproduce(uint32_t p, Random& rng, bool stepping = false) {
    ReproducePopulation(params, p, state.TotalFitness, stepping, Parents(), rng,
                        state.OffspringGeneration, state.IndividualFitness);
  }
  uint32_t Choose(uint32_t k, double x) const {
    return ChooseParent(state.CumulativeFitness, k, x, params.N);
  }
};

TEST(ChooseParent, NeutralPositionsTiesFallToTheLowerIndividual) {
  Generation g(2, 5, 2, 0.0);
  struct Case {
    double x;
    uint32_t parent;
  };
  for (Case c : {Case{2.5, 8}, {3.0, 8}, {0.0, 6}, {4.9999, 10}, {5.0, 10}, {1.0, 6},
                 {1.0000001, 7}, {0.0000001, 6}})
    EXPECT_EQ(g.Choose(2, c.x), c.parent) << c.x;
}

TEST(ChooseParent, UnequalFitnessSearchesFromTheGuess) {
  Generation g(1, 5, 2, 0.0);
  // Fitness 0.5, 3, 0.5, 0.5, 0.5: cumulative 0.5, 3.5, 4, 4.5, 5.
  const float cumulative[] = {0.5f, 3.5f, 4.0f, 4.5f, 5.0f};
  for (int i = 0; i < 5; ++i) g.state.CumulativeFitness[i + 1] = cumulative[i];
  struct Case {
    double x;
    uint32_t parent;
  };
  for (Case c : {Case{0.0, 1}, {0.5, 1}, {0.6, 2}, {3.5, 2}, {3.6, 3}, {4.2, 4}, {4.9, 5},
                 {5.0, 5}, {5.5, 5}})
    EXPECT_EQ(g.Choose(1, c.x), c.parent) << c.x;
  // A population of total fitness 0 asked for x = 0 divides 0 by 0.
  for (int i = 1; i <= 5; ++i) g.state.CumulativeFitness[i] = 0.0f;
  EXPECT_THROW(g.Choose(1, 0.0), EInvalidOp);
}

TEST(ReproducePopulation, WorkedExampleUnderTheInfiniteIsland) {
  EngineState state;
  SimulationParameters& params = state.params;
  params.P = 2;
  params.N = 2;
  params.A = 3;
  params.m = 0.1;
  params.InfiniteIslandFlag = 1;
  BuildFitnessTable(3, 0, 0, 0, 0, 0.0, state.FitnessTable);
  const float rows[3][3] = {{0.2f, 0.3f, 0.5f}, {0.5f, 0.25f, 0.25f}, {0.1f, 0.1f, 0.8f}};
  for (uint32_t r = 1; r <= 3; ++r)
    for (uint32_t c = 1; c <= 3; ++c) state.WorkingFrequencies.At(r, c) = rows[r - 1][c - 1];
  Random rng;
  FoundPopulations(params, state.WorkingFrequencies, state.FitnessTable, rng,
                   state.ParentGeneration, state.CumulativeFitness, state.MigrantPool);
  state.TotalFitness = 4.0;
  const ParentTables parents{state.ParentGeneration, state.CumulativeFitness, state.MigrantPool,
                             state.FitnessTable};
  ReproducePopulation(params, 1, state.TotalFitness, false, parents, rng,
                      state.OffspringGeneration, state.IndividualFitness);
  const GenotypeRecord& first = state.OffspringGeneration[1];
  const GenotypeRecord& second = state.OffspringGeneration[2];
  EXPECT_EQ(first.population, 1);
  EXPECT_EQ(first.first, 1);
  EXPECT_EQ(first.second, 1);
  EXPECT_EQ(second.population, 1);
  EXPECT_EQ(second.first, 3);
  EXPECT_EQ(second.second, 1);
  EXPECT_EQ(state.IndividualFitness[1], 1.0f);
  EXPECT_EQ(state.IndividualFitness[2], 1.0f);
  Random nineteen;  // population 1 took draws 9 to 19
  for (int i = 0; i < 19; ++i) nineteen.NextUniform();
  EXPECT_EQ(rng.RandomSeed, nineteen.RandomSeed);
}

// Replays the stream of a stepping-stone gene copy: migration, direction,
// position, choice.
uint8_t ExpectedSteppingSource(uint32_t p, uint32_t P, Random& replay) {
  replay.NextUniform();
  const long double w = replay.NextUniform();
  replay.NextUniform();
  replay.NextUniform();
  if (w >= 0.5L) return static_cast<uint8_t>(p == P ? 1 : p + 1);
  return static_cast<uint8_t>(p == 1 ? P : p - 1);
}

TEST(ReproducePopulation, SteppingStoneTakesFromTheNeighboursOnARing) {
  Generation g(5, 20, 5, 1.0);
  for (uint32_t p : {1u, 3u, 5u}) {
    Random rng;
    rng.RandomSeed = 12345u * p;
    Random replay = rng;
    g.Reproduce(p, rng, true);
    for (uint32_t j = FirstOf(p, 20); j <= LastOf(p, 20); ++j) {
      EXPECT_EQ(g.state.OffspringGeneration[j].first, ExpectedSteppingSource(p, 5, replay)) << j;
      EXPECT_EQ(g.state.OffspringGeneration[j].second, ExpectedSteppingSource(p, 5, replay)) << j;
      EXPECT_EQ(g.state.OffspringGeneration[j].population, p);
    }
    EXPECT_EQ(rng.RandomSeed, replay.RandomSeed);  // four draws per copy
  }
}

TEST(ReproducePopulation, SteppingStoneDirectionOfExactlyOneHalfGoesUp) {
  Generation g(5, 1, 5, 1.0);
  Random rng;
  // Migration draw, then a direction draw of exactly 0.5.
  rng.RandomSeed = StateBefore(StateBefore(0x80000000u));
  g.Reproduce(5, rng, true);
  EXPECT_EQ(g.state.OffspringGeneration[5].first, 1);  // population 5 goes up to 1
  rng.RandomSeed = StateBefore(StateBefore(0x80000000u));
  g.Reproduce(1, rng, true);
  EXPECT_EQ(g.state.OffspringGeneration[1].first, 2);
  rng.RandomSeed = StateBefore(StateBefore(0x7FFFFFFFu));  // just below 0.5: down
  g.Reproduce(1, rng, true);
  EXPECT_EQ(g.state.OffspringGeneration[1].first, 5);
}

TEST(ReproducePopulation, FiniteIslandBoundaryBelongsToTheLowerPopulation) {
  Generation g(3, 100, 4, 1.0);
  g.state.ParentGeneration[200] = {2, 4, 4};  // marks population 2's last individual
  Random rng;
  rng.RandomSeed = StateBefore(StateBefore(0x80000000u));  // point draw u = 0.5 exactly
  g.Reproduce(1, rng);
  EXPECT_EQ(g.state.OffspringGeneration[1].first, 4);  // y = 100 = population 2's total

  // From population 2 the candidates are 1 then 3.
  rng.RandomSeed = StateBefore(StateBefore(0x7FFFFFFFu));
  g.Reproduce(2, rng);
  EXPECT_EQ(g.state.OffspringGeneration[101].first, 1);
  rng.RandomSeed = StateBefore(StateBefore(0x80000001u));
  g.Reproduce(2, rng);
  EXPECT_EQ(g.state.OffspringGeneration[101].first, 3);
}

TEST(ReproducePopulation, FiniteIslandNeverTakesFromItsOwnPopulation) {
  Generation g(4, 25, 4, 1.0);
  Random rng;
  rng.RandomSeed = 99u;
  for (uint32_t p = 1; p <= 4; ++p) {
    g.Reproduce(p, rng);
    for (uint32_t j = FirstOf(p, 25); j <= LastOf(p, 25); ++j) {
      EXPECT_NE(g.state.OffspringGeneration[j].first, p);
      EXPECT_NE(g.state.OffspringGeneration[j].second, p);
    }
  }
}

TEST(ReproducePopulation, MigrationDrawEqualToTheRateStays) {
  Generation g(2, 1, 2, 0.5);
  Random rng;
  rng.RandomSeed = StateBefore(0x80000000u);  // first draw exactly 0.5 = m
  g.Reproduce(1, rng);
  EXPECT_EQ(g.state.OffspringGeneration[1].first, 1);  // stayed in population 1
  for (double m : {0.0, 1.0}) {
    Generation h(3, 10, 3, m);
    Random r;
    r.RandomSeed = 7u;
    h.Reproduce(2, r);
    for (uint32_t j = 11; j <= 20; ++j) {
      const bool resident = h.state.OffspringGeneration[j].first == 2;
      EXPECT_EQ(resident, m == 0.0) << j;
    }
  }
}

TEST(ReproducePopulation, AlleleChoiceOfExactlyOneHalfPassesTheFirstAllele) {
  Generation g(2, 1, 2, 0.0);
  g.state.ParentGeneration[1] = {1, 1, 2};
  Random rng;
  // Migration and position draws are free; the third draw is the choice.
  rng.RandomSeed = StateBefore(StateBefore(StateBefore(0x80000000u)));
  g.Reproduce(1, rng);
  EXPECT_EQ(g.state.OffspringGeneration[1].first, 1);
  rng.RandomSeed = StateBefore(StateBefore(StateBefore(0x80000001u)));
  g.Reproduce(1, rng);
  EXPECT_EQ(g.state.OffspringGeneration[1].first, 2);
}

TEST(PromoteOffspring, CopiesAndRebuildsCumulativeFitnessPerPopulation) {
  Generation g(2, 3, 2, 0.0);
  for (uint32_t j = 1; j <= 6; ++j) {
    g.state.OffspringGeneration[j] = {static_cast<uint16_t>((j - 1) / 3 + 1), 2, 1};
    g.state.IndividualFitness[j] = 1.0f;
  }
  PromoteOffspring(g.state.OffspringGeneration, g.state.IndividualFitness, 3, 2,
                   g.state.ParentGeneration, g.state.CumulativeFitness);
  const float expected[] = {1, 2, 3, 1, 2, 3};
  for (uint32_t j = 1; j <= 6; ++j) {
    EXPECT_EQ(g.state.CumulativeFitness[j], expected[j - 1]);
    EXPECT_EQ(g.state.ParentGeneration[j].first, 2);
    EXPECT_EQ(g.state.ParentGeneration[j].second, 1);
  }
}

// The neutral kernels and the start finder skip draws by the plan: the
// general path must take, copy by copy, exactly what the plan says, under
// every model and at rates where copies stay, migrate, or both.
TEST(ReproducePopulation, TakesTheDrawsOfThePlan) {
  struct Case {
    bool infinite, stepping;
    double m;
  };
  for (Case c : {Case{true, false, 0.3}, {false, true, 0.3}, {false, false, 0.3},
                 {true, false, 1.0}, {false, true, 1.0}, {true, false, 0.0}}) {
    Generation g(3, 40, 3, c.m);
    g.params.InfiniteIslandFlag = c.infinite;
    for (uint32_t k = 1; k <= 3; ++k) g.state.MigrantPool[k] = 1.0f / 3.0f;
    const DrawPlan plan = DrawPlanOf(g.params, c.stepping);
    Random rng;
    rng.RandomSeed = 12345;
    uint32_t expected = rng.RandomSeed;
    for (uint32_t copy = 0; copy < 2u * g.params.N; ++copy)
      expected = AdvanceState(expected, plan.DrawsOfCopy(JumpOfSteps(1).From(expected)));
    g.Reproduce(2, rng, c.stepping);
    EXPECT_EQ(rng.RandomSeed, expected) << c.infinite << c.stepping << c.m;
  }
}

}  // namespace
}  // namespace dw
