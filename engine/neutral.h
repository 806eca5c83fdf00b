#pragma once
// Reproduction when every genotype fitness is 1, the only case the program
// runs. Each population's cumulative fitness then reads 1, 2, …, N, and every
// draw of the general path reduces to exact integer arithmetic on the
// generator's state u·2^32: the same genes from the same draws, in the same
// order, leaving the generator where the general path leaves it.
#include <array>
#include <cstdint>
#include <vector>

#include "engine/state.h"
#include "runtime/random.h"

namespace dw {

// Whether every genotype fitness is 1 whatever the heterozygote rule: every
// weight of alleles 1..A is 1 (1·1, a homozygote's 1, the larger of two 1s).
bool IsNeutral(const std::vector<float>& fitnessTable, uint8_t A);

// The allele DrawAllele picks from frequencies[1..A] (a population's row or
// the migrant pool), by the state of the draw.
// Each subtraction of DrawAllele rounds monotonically, so the allele never
// falls as the draw grows: the first state giving an allele above k, for
// k = 1..A−1, describes the whole draw. A table over the top bits of the
// state answers at once every draw whose bucket holds no such threshold.
class AlleleLookup {
 public:
  // Describes frequencies[1..A]; nothing to do when they are those described last.
  void Describe(const float* frequencies, uint8_t A);
  uint8_t AlleleOf(uint32_t state) const {
    const uint8_t allele = bucket_[state >> kShift];
    return allele != 0 ? allele : AlleleFromThresholds(state);
  }

 private:
  static constexpr int kBucketBits = 12;
  static constexpr int kShift = 32 - kBucketBits;
  uint8_t AlleleFromThresholds(uint32_t state) const;

  uint8_t A_ = 0;
  std::array<float, 256> frequencies_{};
  std::array<uint64_t, 256> threshold_{};  // [k]: first state above allele k; 2^32 if none
  std::array<uint8_t, 1u << kBucketBits> bucket_{};  // 0 where a threshold falls inside
};

// FoundPopulations when every genotype fitness is 1: the same two draws per
// individual in index order; rows[c] describes row c of WorkingFrequencies
// (c = 1..P), and CumulativeFitness reads 1..N in every population.
void FoundNeutralPopulations(const SimulationParameters& params, const AlleleFrequencyTable& working,
                             const AlleleLookup* rows, Random& rng,
                             std::vector<GenotypeRecord>& parents, std::vector<float>& cumulative,
                             std::vector<float>& migrantPool);

// ReproducePopulation for a neutral generation: every parent's fitness is 1,
// so CumulativeFitness is not read. Fills offspring lo(p)..hi(p), their
// fitness (1) and advances `rng` by exactly the draws the general path makes.
// `pool` describes MigrantPool (read under the infinite island only).
void ReproduceNeutralPopulation(const SimulationParameters& params, uint32_t p,
                                bool steppingStone, const std::vector<GenotypeRecord>& parents,
                                const AlleleLookup& pool, Random& rng,
                                std::vector<GenotypeRecord>& offspring,
                                std::vector<float>& individualFitness);

// PromoteOffspring when every IndividualFitness is 1: the records are copied
// and each population's cumulative fitness reads 1..N, the sums of ones being
// exact at f32.
void PromoteNeutralOffspring(const std::vector<GenotypeRecord>& offspring, uint32_t N, uint32_t P,
                             std::vector<GenotypeRecord>& parents,
                             std::vector<float>& cumulative);

}  // namespace dw
