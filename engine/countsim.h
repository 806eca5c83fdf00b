#pragma once
// STAND-IN: a simple count-level simulator, replaced by the real one.
#include <cstdint>
#include <vector>

#include "engine/state.h"

namespace dw {

struct CountNull {
  MigrationModel model = MigrationModel::InfiniteIsland;
  uint32_t P = 0, N = 0, T = 0, A = 0, n = 0;
  double m = 0;
  std::vector<float> start;
};

struct SimulatedFst {
  bool defined = true;
  double wc = 0, rh = 0, delta = 0;
};

class CountSimulator {
 public:
  explicit CountSimulator(const CountNull& null);
  SimulatedFst Simulate(uint32_t seed, uint64_t index, bool skipUndefined);

 private:
  CountNull null_;
  std::vector<GenotypeRecord> genotypes_;
  std::vector<uint8_t> mask_;
  AlleleFrequencyTable frequencies_;
};

}  // namespace dw
