// The neutral path against the general one, draw for draw: the same
// founders, offspring, fitness and cumulative fitness, and the generator left
// at the same state, over random parameters of the three models and at the
// draws that sit exactly on a boundary.
#include "engine/neutral.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/fitness.h"
#include "engine/founding.h"
#include "engine/reproduction.h"

namespace dw {
namespace {

enum class Model { Infinite, Stepping, Finite };
const char* Name(Model model) {
  return model == Model::Infinite ? "infinite" : model == Model::Stepping ? "stepping" : "finite";
}

// Rows 1..P+1 of A frequencies: random weights, some zero, some rows summing
// a little under 1 so the last allele takes the rest.
void FillFrequencies(std::mt19937& random, uint32_t P, uint8_t A, AlleleFrequencyTable& table) {
  std::uniform_real_distribution<double> weight(0.0, 1.0);
  for (uint32_t r = 1; r <= P + 1; ++r) {
    double sum = 0.0;
    std::vector<double> w(A + 1);
    for (uint32_t k = 1; k <= A; ++k) sum += w[k] = random() % 4 == 0 ? 0.0 : weight(random);
    if (sum == 0.0) w[A] = sum = 1.0;
    const double scale = random() % 3 == 0 ? 0.99999 : 1.0;
    for (uint32_t k = 1; k <= A; ++k) table.At(r, k) = static_cast<float>(w[k] / sum * scale);
  }
}

// Two engine states fed the same parameters, frequencies and seed; one runs
// the general operations, the other the neutral ones.
struct Twin {
  EngineState general, neutral;
  Random generalRng, neutralRng;
  std::vector<AlleleLookup> rows;
  AlleleLookup pool;
  Model model;

  Twin(Model m, uint16_t P, uint16_t N, uint8_t A, double rate, uint8_t rule, uint32_t seed,
       std::mt19937& random)
      : rows(P + 1u), model(m) {
    for (EngineState* s : {&general, &neutral}) {
      s->SizeTables(P, N, A);
      s->params.P = P;
      s->params.N = N;
      s->params.A = A;
      s->params.m = rate;
      s->params.HeterozygoteRule = rule;
      s->params.InfiniteIslandFlag = m == Model::Infinite ? 1 : 0;
      BuildFitnessTable(A, 0, 0, 0, 0, 0.0, s->FitnessTable);
    }
    FillFrequencies(random, P, A, general.WorkingFrequencies);
    RestoreFrequencies(general.WorkingFrequencies, P + 1u, A, neutral.WorkingFrequencies);
    generalRng.RandomSeed = neutralRng.RandomSeed = seed;
  }
  const SimulationParameters& Params() const { return general.params; }

  void Found() {
    FoundPopulations(general.params, general.WorkingFrequencies, general.FitnessTable, generalRng,
                     general.ParentGeneration, general.CumulativeFitness, general.MigrantPool);
    for (uint32_t c = 1; c <= Params().P; ++c)
      rows[c].Describe(neutral.WorkingFrequencies.Row(c), Params().A);
    FoundNeutralPopulations(neutral.params, neutral.WorkingFrequencies, rows.data(), neutralRng,
                            neutral.ParentGeneration, neutral.CumulativeFitness,
                            neutral.MigrantPool);
    pool.Describe(neutral.MigrantPool.data(), Params().A);
    general.TotalFitness = 0.0;
    for (uint32_t p = 1; p <= Params().P; ++p)
      general.TotalFitness += general.CumulativeFitness[LastOf(p, Params().N)];
  }
  void Reproduce(uint32_t p) {
    const bool stepping = model == Model::Stepping;
    const ParentTables in{general.ParentGeneration, general.CumulativeFitness,
                          general.MigrantPool, general.FitnessTable};
    ReproducePopulation(general.params, p, general.TotalFitness, stepping, in, generalRng,
                        general.OffspringGeneration, general.IndividualFitness);
    ReproduceNeutralPopulation(neutral.params, p, stepping, neutral.ParentGeneration, pool,
                               neutralRng, neutral.OffspringGeneration, neutral.IndividualFitness);
  }
  void Promote() {
    PromoteOffspring(general.OffspringGeneration, general.IndividualFitness, Params().N,
                     Params().P, general.ParentGeneration, general.CumulativeFitness);
    PromoteNeutralOffspring(neutral.OffspringGeneration, Params().N, Params().P,
                            neutral.ParentGeneration, neutral.CumulativeFitness);
  }
};

bool SameRecord(const GenotypeRecord& a, const GenotypeRecord& b) {
  return a.population == b.population && a.first == b.first && a.second == b.second;
}

// Every record and value of individuals lo(first)..hi(last) agree.
void ExpectSameIndividuals(const std::vector<GenotypeRecord>& a,
                           const std::vector<GenotypeRecord>& b, const std::vector<float>& fa,
                           const std::vector<float>& fb, uint32_t from, uint32_t to,
                           const std::string& where) {
  for (uint32_t j = from; j <= to; ++j) {
    ASSERT_TRUE(SameRecord(a[j], b[j])) << where << " individual " << j;
    ASSERT_EQ(fa[j], fb[j]) << where << " individual " << j;
  }
}

TEST(NeutralPath, EqualsTheGeneralPathOverRandomParameters) {
  std::mt19937 random(20261208);
  for (Model model : {Model::Infinite, Model::Stepping, Model::Finite}) {
    for (int trial = 0; trial < 40; ++trial) {
      const uint16_t P = static_cast<uint16_t>(2 + random() % 7);
      const uint16_t N = static_cast<uint16_t>(1 + random() % (trial % 4 == 0 ? 2000 : 60));
      const uint8_t A = static_cast<uint8_t>(1 + random() % (trial % 5 == 0 ? 50 : 6));
      const double rates[] = {0.0, 1.0, 0.5, 0.1, std::uniform_real_distribution<double>()(random)};
      const double m = rates[random() % 5];
      Twin twin(model, P, N, A, m, static_cast<uint8_t>(random() % 2),
                static_cast<uint32_t>(random()), random);
      const std::string where = std::string(Name(model)) + " trial " + std::to_string(trial);
      twin.Found();
      ASSERT_EQ(twin.generalRng.RandomSeed, twin.neutralRng.RandomSeed) << where;
      ExpectSameIndividuals(twin.general.ParentGeneration, twin.neutral.ParentGeneration,
                            twin.general.CumulativeFitness, twin.neutral.CumulativeFitness, 1,
                            P * N, where + " founders");
      for (uint32_t k = 1; k <= A; ++k)
        ASSERT_EQ(twin.general.MigrantPool[k], twin.neutral.MigrantPool[k]) << where;
      for (int generation = 1; generation <= 3; ++generation) {
        for (uint32_t p = 1; p <= P; ++p) {
          twin.Reproduce(p);
          ASSERT_EQ(twin.generalRng.RandomSeed, twin.neutralRng.RandomSeed)
              << where << " generation " << generation << " population " << p;
          ExpectSameIndividuals(twin.general.OffspringGeneration,
                                twin.neutral.OffspringGeneration, twin.general.IndividualFitness,
                                twin.neutral.IndividualFitness, FirstOf(p, N), LastOf(p, N),
                                where + " offspring");
        }
        twin.Promote();
        ExpectSameIndividuals(twin.general.ParentGeneration, twin.neutral.ParentGeneration,
                              twin.general.CumulativeFitness, twin.neutral.CumulativeFitness, 1,
                              P * N, where + " promoted");
      }
    }
  }
}

// The seed whose k-th draw has the given state.
uint32_t SeedDrawingAt(uint32_t state, uint32_t k) {
  return JumpOfSteps((uint64_t{1} << 32) - k).From(state);
}

TEST(NeutralPath, EqualsTheGeneralPathOnBoundaryDraws) {
  // States on the tests the general path makes: the rates m = 1/4 (2^30)
  // and 0.1 (between two states), the allele choice and stepping direction
  // 1/2 (2^31), a position of 0, the finite island's boundaries between
  // populations (multiples of 2^32/(P−1) for P = 3 and 5), the pool's
  // boundaries (0.25 and 0.5), and the extremes.
  const uint32_t states[] = {0u,           1u,           (1u << 30) - 1, 1u << 30,
                             (1u << 30) + 1, (1u << 31) - 1, 1u << 31,     (1u << 31) + 1,
                             0xC0000000u,  0xFFFFFFFFu,  0x40000001u,  0xBFFFFFFFu,
                             429496729u,   429496730u};  // either side of m = 0.1
  std::mt19937 random(7);
  for (Model model : {Model::Infinite, Model::Stepping, Model::Finite})
    for (uint16_t P : {uint16_t{3}, uint16_t{5}})
      for (double m : {0.0, 0.25, 0.1, 1.0})
        for (uint32_t state : states)
          for (uint32_t k = 1; k <= 4; ++k)
            for (uint32_t p : {1u, 2u, static_cast<uint32_t>(P)}) {
              Twin twin(model, P, 4, 3, m, 0, 0, random);
              for (uint32_t r = 1; r <= P + 1u; ++r) {  // boundaries at 1/4 and 1/2
                twin.general.WorkingFrequencies.At(r, 1) = 0.25f;
                twin.general.WorkingFrequencies.At(r, 2) = 0.25f;
                twin.general.WorkingFrequencies.At(r, 3) = 0.5f;
              }
              RestoreFrequencies(twin.general.WorkingFrequencies, P + 1u, 3,
                                 twin.neutral.WorkingFrequencies);
              twin.Found();
              twin.generalRng.RandomSeed = twin.neutralRng.RandomSeed = SeedDrawingAt(state, k);
              twin.Reproduce(p);
              const std::string where = std::string(Name(model)) + " P " + std::to_string(P) +
                                        " m " + std::to_string(m) + " state " +
                                        std::to_string(state) + " draw " + std::to_string(k);
              ASSERT_EQ(twin.generalRng.RandomSeed, twin.neutralRng.RandomSeed) << where;
              ExpectSameIndividuals(twin.general.OffspringGeneration,
                                    twin.neutral.OffspringGeneration,
                                    twin.general.IndividualFitness,
                                    twin.neutral.IndividualFitness, FirstOf(p, 4), LastOf(p, 4),
                                    where);
            }
}

TEST(AlleleLookup, PicksWhatDrawAllelePicks) {
  struct Case {
    std::vector<float> frequencies;  // alleles 1..A
  };
  std::vector<Case> cases = {
      {{1.0f}},
      {{0.25f, 0.25f, 0.5f}},
      {{0.5f, 0.5f, 0.0f}},
      {{0.25f, 0.25f, 0.499995f}},
      {{0.0f, 1.0f}},
      {{1e-30f, 0.3f, 0.0f, 0.7f}},
      {{0.1f, 0.2f, 0.3f, 0.4f}},
  };
  std::mt19937 random(11);
  for (int extra = 0; extra < 20; ++extra) {
    AlleleFrequencyTable table;
    const uint8_t A = static_cast<uint8_t>(1 + random() % 50);
    FillFrequencies(random, 1, A, table);
    cases.push_back({std::vector<float>(table.Row(1) + 1, table.Row(1) + 1 + A)});
  }
  for (const Case& c : cases) {
    const uint8_t A = static_cast<uint8_t>(c.frequencies.size());
    std::vector<float> f(1, 0.0f);
    f.insert(f.end(), c.frequencies.begin(), c.frequencies.end());
    AlleleLookup lookup;
    lookup.Describe(f.data(), A);
    auto expect = [&](uint32_t state) {
      ASSERT_EQ(lookup.AlleleOf(state), DrawAllele(state * 0x1p-32L, f.data(), A))
          << "A " << int(A) << " state " << state;
    };
    for (uint64_t b = 0; b < 4096; ++b) {  // both ends of every bucket
      expect(static_cast<uint32_t>(b << 20));
      expect(static_cast<uint32_t>((b << 20) + (1u << 20) - 1));
    }
    // Around each cumulative sum, where the allele changes.
    double sum = 0.0;
    for (uint32_t k = 1; k <= A; ++k) {
      sum += f[k];
      const uint32_t near = static_cast<uint32_t>(std::min(sum, 1.0 - 0x1p-32) * 0x1p32);
      for (uint32_t d = 0; d < 64; ++d) {
        expect(near - 32 + d);
      }
    }
    for (int i = 0; i < 20000; ++i) expect(static_cast<uint32_t>(random()));
  }
}

TEST(AlleleLookup, DescribesAChangedPoolAfresh) {
  float first[] = {0.0f, 0.5f, 0.5f}, second[] = {0.0f, 0.1f, 0.9f};
  AlleleLookup lookup;
  lookup.Describe(first, 2);
  EXPECT_EQ(lookup.AlleleOf(0x40000000u), 1);  // u = 0.25
  lookup.Describe(second, 2);
  EXPECT_EQ(lookup.AlleleOf(0x40000000u), 2);
  EXPECT_EQ(lookup.AlleleOf(0x10000000u), 1);  // u = 0.0625
}

TEST(IsNeutral, EveryWeightOfTheRunMustBeOne) {
  std::vector<float> table(51, 1.0f);
  EXPECT_TRUE(IsNeutral(table, 50));
  table[7] = 1.1f;
  EXPECT_FALSE(IsNeutral(table, 50));
  EXPECT_TRUE(IsNeutral(table, 6)) << "weights beyond A play no part";
  table[1] = 0.0f;
  EXPECT_FALSE(IsNeutral(table, 6));
}

TEST(JumpOfSteps, LandsWhereSerialDrawsLand) {
  for (uint32_t seed : {0u, 1u, 12345u, 0xFFFFFFFFu}) {
    Random serial;
    serial.RandomSeed = seed;
    for (uint64_t steps = 1; steps <= 300; ++steps) {
      serial.NextUniform();
      ASSERT_EQ(JumpOfSteps(steps).From(seed), serial.RandomSeed) << seed << " " << steps;
    }
    EXPECT_EQ(JumpOfSteps(uint64_t{1} << 32).From(seed), seed) << "full period";
    EXPECT_EQ(JumpOfSteps((uint64_t{1} << 32) - 1).From(JumpOfSteps(1).From(seed)), seed);
  }
}

}  // namespace
}  // namespace dw
