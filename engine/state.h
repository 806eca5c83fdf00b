#pragma once
// The state of a run: parameters, frequency tables, two generations of
// genotypes, fitness values and their running sums, allele weights, migrant
// pool, sample mask, the Delta series and its tallies. A run's own instance
// belongs to its caller (the window's, `run`'s, one per scan thread); each
// engine worker thread has one more for its simulations. A run sizes the
// tables from P, N and A (growing only), so every count that fits its field
// can run. All numbering is 1-based: element 0 of
// every per-individual and per-allele array is unused.
#include <array>
#include <cstdint>
#include <vector>

#include "runtime/textfile.h"

namespace dw {

// The capacities the tables never go below (those the first version of the
// program had fixed); larger runs grow them.
inline constexpr uint32_t MaxFrequencyRows = 22;
inline constexpr uint32_t MaxAlleles = 50;
inline constexpr uint32_t MaxIndividuals = 22000;

enum class MigrationModel { InfiniteIsland, SteppingStone, FiniteIsland };

struct SimulationParameters {
  uint16_t P = 0;  // populations
  uint16_t N = 0;  // individuals per population
  uint16_t T = 0;  // generations per simulation
  uint8_t A = 0;   // alleles
  uint16_t I = 0;  // simulations
  uint16_t n = 0;  // individuals sampled per population, n ≤ N
  double m = 0.0;  // migration rate, 0 ≤ m ≤ 1
  double ObservedDelta = 0.0;
  double SelectionCoefficient = 0.0;
  uint8_t HeterozygoteRule = 0;    // 0: product of the weights; else the larger
  uint8_t InfiniteIslandFlag = 0;  // stored at run start; stepping-stone is read live
  // Set by a caller that asks for it (never by the window): a simulation whose
  // sample is fixed for one allele is counted and left out instead of ending
  // the run in the estimators' floating-point error.
  uint8_t SkipUndefined = 0;
};

// Rows 1..P+1 (row P+1: the migrant source) of columns 1..A, f32, row-major.
class AlleleFrequencyTable {
 public:
  AlleleFrequencyTable() { Reserve(MaxFrequencyRows, MaxAlleles); }
  // Makes rows 1..rows and columns 1..columns addressable.
  void Reserve(uint32_t rows, uint32_t columns);
  float& At(uint32_t row, uint32_t column) { return cells_[row * stride_ + column]; }
  float At(uint32_t row, uint32_t column) const { return cells_[row * stride_ + column]; }
  const float* Row(uint32_t row) const { return &cells_[row * stride_]; }  // Row(r)[c]

 private:
  uint32_t rows_ = 0;
  uint32_t stride_ = 0;
  std::vector<float> cells_;
};

// Three fields per individual: its population and its two gene copies, in
// order (which copy a parent passes on is drawn).
struct GenotypeRecord {
  uint16_t population = 0;
  uint8_t first = 0;
  uint8_t second = 0;
};

struct EngineState {
  SimulationParameters params;
  double TotalFitness = 0.0;

  AlleleFrequencyTable InitialFrequencies;
  AlleleFrequencyTable WorkingFrequencies;

  std::vector<GenotypeRecord> ParentGeneration;
  std::vector<GenotypeRecord> OffspringGeneration;
  std::vector<float> IndividualFitness;   // of OffspringGeneration
  std::vector<float> CumulativeFitness;   // of ParentGeneration, restarting per population
  std::vector<float> FitnessTable;        // weight of each allele
  std::vector<float> MigrantPool;         // allele frequencies of the migrant source
  std::vector<uint8_t> SampleMask;
  uint8_t SampleIsComplement = 0;

  std::vector<double> DeltaSeries;  // entries 1..I; entry 0 stays 0
  std::vector<double> WCSeries;     // WC of the same simulations, stored at f64
  // Simulations left out under SkipUndefined; the series then hold the
  // defined ones at 1..I − UndefinedCount, in simulation order.
  uint32_t UndefinedCount = 0;
  uint16_t DeltaAboveCount = 0;
  double DeltaMin = 0.0;
  double DeltaMax = 0.0;
  std::array<uint16_t, 10> DeltaHistogram{};

  TextFile InputFile;
  TextFile ResultFile;

  EngineState() { SizeTables(1, MaxIndividuals, MaxAlleles); }
  // Grows every table to hold P populations of N individuals and A alleles.
  // Throws std::bad_alloc, before anything of the run is touched, when they
  // would not fit into the memory the machine has (UsableMemoryBytes) or
  // cannot be allocated.
  void SizeTables(uint32_t P, uint32_t N, uint32_t A);
};

// The bytes the tables take for P populations of N individuals and A alleles.
uint64_t TableBytes(uint32_t P, uint32_t N, uint32_t A);

// Index of the first and last individual of population p (1-based).
inline uint32_t FirstOf(uint32_t p, uint32_t N) { return N * (p - 1) + 1; }
inline uint32_t LastOf(uint32_t p, uint32_t N) { return N * p; }

}  // namespace dw
