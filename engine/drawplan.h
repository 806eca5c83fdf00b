#pragma once
// The individual engine's draw plan: how many draws of the run's generator
// each step of a simulation takes. The general path (engine/reproduction.cpp,
// engine/founding.cpp, engine/sampling.cpp) draws them; the neutral kernels
// (engine/neutral.cpp) jump over them; the start finder
// (engine/simulationstarts.cpp) and the closed form for a fixed count
// (FixedDrawsPerSimulation) count them. All four read the numbers here, so a
// change to how a copy draws is made once; a mismatch would show only as
// different bytes in the results.
//
// The counts engine (engine/countsim.*) has no draw plan: it draws from
// 64-bit streams of its own, keyed by simulation, and how many draws a
// binomial takes varies with its arguments.
#include <cmath>
#include <cstdint>
#include <optional>

#include "engine/state.h"

namespace dw {

// A gene copy that stays in its population: the migration draw, a parent
// position and the allele choice.
inline constexpr uint32_t kStayingDraws = 3;
// A copy that migrates, after the same migration draw: an allele from the
// pool (infinite island); a direction, a position and a choice
// (stepping-stone); a point on the other populations and a choice (finite island).
inline constexpr uint32_t kMigrantPoolDraws = 2;
inline constexpr uint32_t kSteppingStoneDraws = 4;
inline constexpr uint32_t kFiniteIslandDraws = 3;
// Founding draws two alleles per individual.
inline constexpr uint32_t kFoundingDrawsPerIndividual = 2;

constexpr uint32_t MigratingDraws(bool infiniteIsland, bool steppingStone) {
  return infiniteIsland ? kMigrantPoolDraws : steppingStone ? kSteppingStoneDraws
                                                            : kFiniteIslandDraws;
}

// The general test u ≥ m for staying, on whole states (u = state·2^-32):
// state ≥ ⌈m·2^32⌉, exact, a scaling by a power of two. 0: every copy stays;
// 2^32 (m = 1, or a rate so close to 1 that no draw falls below it): none.
inline uint64_t StayThreshold(double m) { return static_cast<uint64_t>(std::ceil(m * 0x1p32)); }

// The k of the sample: n individuals per population, or the N − n left out
// when that is fewer (the sample is then drawn as its complement). One draw each.
inline uint32_t SampleDrawsPerPopulation(uint32_t n, uint32_t N) {
  return static_cast<long double>(N) / 2.0L >= n ? n : N - n;
}

struct DrawPlan {
  uint64_t stayThreshold = 0;  // a copy stays when its first state reaches it
  uint32_t stayingDraws = kStayingDraws;
  uint32_t migratingDraws = 0;
  uint64_t copiesPerGeneration = 0;  // 2·P·N
  uint32_t generations = 0;          // T
  uint64_t foundingDraws = 0;        // 2·P·N
  uint64_t sampleDraws = 0;          // P·k

  // The draws of a copy whose first state is `state`.
  uint32_t DrawsOfCopy(uint32_t state) const {
    return state >= stayThreshold ? stayingDraws : migratingDraws;
  }
  // The draws of every simulation when that number does not depend on the
  // draws: when a copy takes as many draws staying as migrating, or when no
  // copy migrates or every one does. Empty when the count varies.
  std::optional<uint64_t> FixedDrawsPerSimulation() const {
    uint64_t perCopy;
    if (stayThreshold == 0 || stayingDraws == migratingDraws)
      perCopy = stayingDraws;
    else if (stayThreshold == uint64_t{1} << 32)
      perCopy = migratingDraws;
    else
      return std::nullopt;
    return foundingDraws + generations * copiesPerGeneration * perCopy + sampleDraws;
  }
};

// The plan of a run; `steppingStone` is the choice the run was started with.
inline DrawPlan DrawPlanOf(const SimulationParameters& params, bool steppingStone) {
  DrawPlan plan;
  plan.stayThreshold = StayThreshold(params.m);
  plan.migratingDraws = MigratingDraws(params.InfiniteIslandFlag != 0, steppingStone);
  plan.copiesPerGeneration = 2 * uint64_t{params.P} * params.N;
  plan.generations = params.T;
  plan.foundingDraws = uint64_t{kFoundingDrawsPerIndividual} * params.P * params.N;
  plan.sampleDraws = uint64_t{params.P} * SampleDrawsPerPopulation(params.n, params.N);
  return plan;
}

}  // namespace dw
