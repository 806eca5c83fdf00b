#pragma once
// Allele weights, genotype fitness, and one pass of selection on the migrant
// pool. The runs the program starts are neutral (every weight 1, the pool
// unchanged); the general rules fix the arithmetic the neutral case runs
// through and stay available to the engine.
#include <cstdint>
#include <vector>

namespace dw {

// Weights of alleles 1..count set to 1, then to 1 + s (stored f32) over each
// range lo..hi with 1 ≤ lo ≤ hi; a range with lo = 0 or lo > hi is skipped.
// Entries beyond count keep what they held.
void BuildFitnessTable(uint16_t count, uint16_t firstLow, uint16_t firstHigh,
                       uint16_t secondLow, uint16_t secondHigh, double s,
                       std::vector<float>& fitnessTable);

// rule 0: wx × wy rounded to f32; otherwise 1 for a homozygote and the larger
// weight for a heterozygote. Alleles are 1-based.
inline float GenotypeFitness(const std::vector<float>& fitnessTable, uint8_t rule,
                             uint8_t firstAllele, uint8_t secondAllele) {
  const float wx = fitnessTable[firstAllele];
  const float wy = fitnessTable[secondAllele];
  if (rule == 0)
    return static_cast<float>(static_cast<long double>(wx) * static_cast<long double>(wy));
  if (firstAllele == secondAllele) return 1.0f;
  return wx > wy ? wx : wy;
}

// p'[i] = p[i]·w[i] / Σ p[k]·w[k], w[i] = Σ_j fit(i, j)·p[j], over alleles
// 1..A; returns at once when s is exactly 0. A zero total raises EInvalidOp.
void SelectMigrantPool(uint8_t A, const std::vector<float>& fitnessTable, uint8_t rule,
                       double selectionCoefficient, std::vector<float>& migrantPool);

}  // namespace dw
