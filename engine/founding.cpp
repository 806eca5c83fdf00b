#include "engine/founding.h"

#include "engine/fitness.h"

namespace dw {

void RestoreFrequencies(const AlleleFrequencyTable& initial, uint32_t rows, uint32_t columns,
                        AlleleFrequencyTable& working) {
  for (uint32_t r = 1; r <= rows; ++r)
    for (uint32_t c = 1; c <= columns; ++c) working.At(r, c) = initial.At(r, c);
}

void FoundPopulations(const SimulationParameters& params, const AlleleFrequencyTable& working,
                      const std::vector<float>& fitnessTable, Random& rng,
                      std::vector<GenotypeRecord>& parents, std::vector<float>& cumulative,
                      std::vector<float>& migrantPool) {
  const uint32_t P = params.P, N = params.N;
  const uint8_t A = params.A;
  for (uint32_t c = 1; c <= P; ++c) {
    const float* row = working.Row(c);
    double sum = 0.0;
    for (uint32_t i = 1; i <= N; ++i) {
      const uint32_t j = N * (c - 1) + i;
      GenotypeRecord& record = parents[j];
      record.population = static_cast<uint16_t>(c);
      record.first = DrawAllele(rng.NextUniform(), row, A);
      record.second = DrawAllele(rng.NextUniform(), row, A);
      const float f = GenotypeFitness(fitnessTable, params.HeterozygoteRule, record.first,
                                      record.second);
      // Each partial sum is stored at f32 before the next fitness is added.
      cumulative[j] = static_cast<float>(static_cast<long double>(sum) + f);
      sum = cumulative[j];
    }
  }
  const float* source = working.Row(static_cast<uint32_t>(P) + 1);
  for (uint32_t k = 1; k <= A; ++k) migrantPool[k] = source[k];
}

}  // namespace dw
