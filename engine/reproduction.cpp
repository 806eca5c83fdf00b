#include "engine/reproduction.h"

#include <cassert>

#include "engine/drawplan.h"
#include "engine/fitness.h"
#include "engine/founding.h"
#include "runtime/floatmode.h"

namespace dw {

uint32_t ChooseParent(const std::vector<float>& cumulative, uint32_t k, double x, uint32_t N) {
  const uint32_t lo = FirstOf(k, N), hi = LastOf(k, N);
  const float* C = cumulative.data();
  const long double total = C[hi];
  const long double position =
      Divide(static_cast<long double>(N) * static_cast<long double>(x), total) + 1.0L;
  uint32_t g = lo - 1 + static_cast<uint32_t>(TruncToInt(position));
  if (g > hi) g = hi;
  if (g == lo) {
    if (!(x > C[lo])) return lo;
  } else {
    if (!(x > C[g])) {
      if (x > C[g - 1]) return g;
      do --g;  // walk down
      while (g != lo && !(x > C[g - 1]));
      return g;
    }
  }
  while (g != hi) {  // walk up; x beyond the total yields the last individual
    ++g;
    if (x <= C[g]) break;
  }
  return g;
}

namespace {

// The parent's first allele when the choice draw is at most 0.5 (RoundToInt of
// the draw, ties to even), its second otherwise.
inline uint8_t PassOnGene(const GenotypeRecord& parent, Random& rng) {
  return rng.NextUniform() > 0.5L ? parent.second : parent.first;
}

inline uint8_t DrawOwnGene(uint32_t p, double ownTotal, uint32_t N, const ParentTables& in,
                           Random& rng) {
  const double x = static_cast<double>(rng.NextUniform() * static_cast<long double>(ownTotal));
  return PassOnGene(in.parents[ChooseParent(in.cumulative, p, x, N)], rng);
}

inline uint8_t DrawMigrantPoolGene(uint8_t A, const ParentTables& in, Random& rng) {
  return DrawAllele(rng.NextUniform(), in.migrantPool.data(), A);
}

inline uint8_t DrawSteppingStoneGene(uint32_t p, uint32_t P, uint32_t N, const ParentTables& in,
                                     Random& rng) {
  uint32_t k;
  if (rng.NextUniform() >= 0.5L)
    k = p == P ? 1 : p + 1;
  else
    k = p == 1 ? P : p - 1;
  const double x = static_cast<double>(rng.NextUniform() *
                                       static_cast<long double>(in.cumulative[LastOf(k, N)]));
  return PassOnGene(in.parents[ChooseParent(in.cumulative, k, x, N)], rng);
}

// One draw placed on the other populations' cumulative fitness laid end to
// end in population order; a point on a boundary belongs to the lower one.
inline uint8_t DrawFiniteIslandGene(uint32_t p, uint32_t P, uint32_t N, double totalFitness,
                                    double ownTotal, const ParentTables& in, Random& rng) {
  const long double u = rng.NextUniform();
  const long double others = static_cast<long double>(totalFitness) - ownTotal;
  const uint32_t last = p == P ? P - 1 : P;
  uint32_t k = p == 1 ? 2 : 1;
  double passed = 0.0;
  while (k != last) {
    const long double kTotal = in.cumulative[LastOf(k, N)];
    if (!(others * u > static_cast<long double>(passed) + kTotal)) break;
    passed = static_cast<double>(static_cast<long double>(passed) + kTotal);
    ++k;
    if (k == p) ++k;
  }
  const double x = static_cast<double>(others * u - static_cast<long double>(passed));
  return PassOnGene(in.parents[ChooseParent(in.cumulative, k, x, N)], rng);
}

}  // namespace

void ReproducePopulation(const SimulationParameters& params, uint32_t p, double totalFitness,
                         bool steppingStone, const ParentTables& in, Random& rng,
                         std::vector<GenotypeRecord>& offspring,
                         std::vector<float>& individualFitness) {
  const uint32_t N = params.N, P = params.P;
  const long double m = params.m;
  const double ownTotal = in.cumulative[LastOf(p, N)];
  auto drawCopy = [&]() -> uint8_t {
    if (rng.NextUniform() >= m) return DrawOwnGene(p, ownTotal, N, in, rng);
    if (params.InfiniteIslandFlag) return DrawMigrantPoolGene(params.A, in, rng);
    if (steppingStone) return DrawSteppingStoneGene(p, P, N, in, rng);
    return DrawFiniteIslandGene(p, P, N, totalFitness, ownTotal, in, rng);
  };
#ifndef NDEBUG
  // The neutral kernels and the start finder skip draws by the plan instead
  // of drawing them: a copy drawing otherwise would change every later result.
  const DrawPlan plan = DrawPlanOf(params, steppingStone);
  auto drawGene = [&]() -> uint8_t {
    const uint32_t first = JumpOfSteps(1).From(rng.RandomSeed);  // the copy's first state
    const uint32_t before = rng.RandomSeed;
    const uint8_t gene = drawCopy();
    assert(rng.RandomSeed == AdvanceState(before, plan.DrawsOfCopy(first)));
    return gene;
  };
#else
  auto& drawGene = drawCopy;
#endif
  for (uint32_t j = FirstOf(p, N); j <= LastOf(p, N); ++j) {
    GenotypeRecord& child = offspring[j];
    child.population = static_cast<uint16_t>(p);
    child.first = drawGene();
    child.second = drawGene();
    individualFitness[j] =
        GenotypeFitness(in.fitnessTable, params.HeterozygoteRule, child.first, child.second);
  }
}

void PromoteOffspring(const std::vector<GenotypeRecord>& offspring,
                      const std::vector<float>& individualFitness, uint32_t N, uint32_t P,
                      std::vector<GenotypeRecord>& parents, std::vector<float>& cumulative) {
  for (uint32_t p = 1; p <= P; ++p) {
    double sum = 0.0;
    for (uint32_t i = FirstOf(p, N); i <= LastOf(p, N); ++i) {
      parents[i] = offspring[i];
      cumulative[i] = static_cast<float>(static_cast<long double>(sum) + individualFitness[i]);
      sum = cumulative[i];
    }
  }
}

}  // namespace dw
