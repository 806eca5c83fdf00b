#pragma once
// One generation from the previous one: drift within each population and
// migration under the run's model. Generations do not overlap: offspring are
// drawn only from ParentGeneration, which is read-only until PromoteOffspring.
#include <cstdint>
#include <vector>

#include "engine/state.h"
#include "runtime/random.h"

namespace dw {

// What the gene drawers read during a generation.
struct ParentTables {
  const std::vector<GenotypeRecord>& parents;
  const std::vector<float>& cumulative;   // CumulativeFitness of the parents
  const std::vector<float>& migrantPool;
  const std::vector<float>& fitnessTable;
};

// The index in population k (1-based) of the first parent whose cumulative
// fitness reaches x (ties to the lower individual; the last one when x
// exceeds the total). Starts from the guess that is exact for equal fitness.
// Requires 0 ≤ x; a population of total 0 raises EInvalidOp.
uint32_t ChooseParent(const std::vector<float>& cumulative, uint32_t k, double x, uint32_t N);

// Fills offspring lo(p)..hi(p) and their fitness. Each gene copy draws
// u ≥ m to stay (parent position, allele choice) or migrates under the model:
// infinite island (allele from the pool), stepping-stone (direction, position,
// choice), finite island (point on the other populations, choice).
void ReproducePopulation(const SimulationParameters& params, uint32_t p, double totalFitness,
                         bool steppingStone, const ParentTables& in, Random& rng,
                         std::vector<GenotypeRecord>& offspring,
                         std::vector<float>& individualFitness);

// Copies the offspring over the parents and rebuilds CumulativeFitness from
// IndividualFitness, each partial sum stored at f32.
void PromoteOffspring(const std::vector<GenotypeRecord>& offspring,
                      const std::vector<float>& individualFitness, uint32_t N, uint32_t P,
                      std::vector<GenotypeRecord>& parents, std::vector<float>& cumulative);

}  // namespace dw
