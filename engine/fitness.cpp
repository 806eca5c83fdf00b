#include "engine/fitness.h"

#include "runtime/floatmode.h"

namespace dw {

namespace {
void WeightRange(uint16_t low, uint16_t high, double s, std::vector<float>& fitnessTable) {
  if (low < 1 || low > high) return;
  const float weight = StoreF32(1.0L + static_cast<long double>(s));
  for (uint32_t k = low; k <= high; ++k) fitnessTable[k] = weight;
}
}  // namespace

void BuildFitnessTable(uint16_t count, uint16_t firstLow, uint16_t firstHigh,
                       uint16_t secondLow, uint16_t secondHigh, double s,
                       std::vector<float>& fitnessTable) {
  for (uint32_t k = 1; k <= count; ++k) fitnessTable[k] = 1.0f;
  WeightRange(firstLow, firstHigh, s, fitnessTable);
  WeightRange(secondLow, secondHigh, s, fitnessTable);
}

void SelectMigrantPool(uint8_t A, const std::vector<float>& fitnessTable, uint8_t rule,
                       double selectionCoefficient, std::vector<float>& migrantPool) {
  if (selectionCoefficient == 0.0) return;
  float temp[256];
  double total = 0.0;
  for (uint32_t i = 1; i <= A; ++i) {
    double w = 0.0;  // the marginal fitness of allele i, from the pool before this pass
    for (uint32_t j = 1; j <= A; ++j) {
      const long double fit = GenotypeFitness(fitnessTable, rule, static_cast<uint8_t>(i),
                                              static_cast<uint8_t>(j));
      w = StoreF64(w + fit * static_cast<long double>(migrantPool[j]));
    }
    total = StoreF64(total + static_cast<long double>(w) * migrantPool[i]);
    temp[i] = StoreF32(static_cast<long double>(migrantPool[i]) * w);
  }
  for (uint32_t k = 1; k <= A; ++k) migrantPool[k] = StoreF32(Divide(temp[k], total));
}

}  // namespace dw
