#pragma once
// Founding the populations at the start of every simulation.
#include <cstdint>
#include <vector>

#include "engine/state.h"
#include "runtime/random.h"

namespace dw {

// Copies rows 1..rows, columns 1..columns of the initial frequencies.
void RestoreFrequencies(const AlleleFrequencyTable& initial, uint32_t rows, uint32_t columns,
                        AlleleFrequencyTable& working);

// The allele a uniform draw picks from frequencies f[1..A]: successive
// subtractions from the draw (held at f64) until the remainder is negative,
// stopping at allele A whatever its frequency.
inline uint8_t DrawAllele(long double draw, const float* frequencies, uint8_t A) {
  double remainder = static_cast<double>(draw);
  uint32_t k = 0;
  do {
    ++k;
    remainder = static_cast<double>(static_cast<long double>(remainder) -
                                    static_cast<long double>(frequencies[k]));
  } while (!(remainder < 0.0) && k != A);
  return static_cast<uint8_t>(k);
}

// Gives each of the P·N individuals two alleles drawn from its population's
// row of `working` (two draws per individual, in index order), sets their
// cumulative fitness, and loads the migrant pool from row P + 1.
void FoundPopulations(const SimulationParameters& params, const AlleleFrequencyTable& working,
                      const std::vector<float>& fitnessTable, Random& rng,
                      std::vector<GenotypeRecord>& parents, std::vector<float>& cumulative,
                      std::vector<float>& migrantPool);

}  // namespace dw
