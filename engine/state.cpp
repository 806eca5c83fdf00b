#include "engine/state.h"

#include <algorithm>
#include <new>

#include "runtime/memory.h"

namespace dw {

void AlleleFrequencyTable::Reserve(uint32_t rows, uint32_t columns) {
  if (rows <= rows_ && columns < stride_) return;
  const uint32_t newRows = std::max(rows, rows_);
  const uint32_t newStride = std::max(columns + 1, stride_);
  std::vector<float> cells((static_cast<std::size_t>(newRows) + 1) * newStride, 0.0f);
  for (uint32_t r = 0; r <= rows_; ++r)
    for (uint32_t c = 0; c < stride_; ++c) cells[r * newStride + c] = cells_[r * stride_ + c];
  cells_ = std::move(cells);
  rows_ = newRows;
  stride_ = newStride;
}

namespace {
template <typename T>
void GrowTo(std::vector<T>& table, std::size_t size) {
  if (table.size() < size) table.resize(size);
}
}  // namespace

uint64_t TableBytes(uint32_t P, uint32_t N, uint32_t A) {
  const uint64_t individuals = std::max<uint64_t>(uint64_t{P} * N, MaxIndividuals) + 1;
  const uint64_t alleles = std::max<uint32_t>(A, MaxAlleles) + 1;
  const uint64_t rows = std::max(P + 1, MaxFrequencyRows) + 1;
  const uint64_t perIndividual =
      2 * sizeof(GenotypeRecord) + 2 * sizeof(float) + sizeof(uint8_t);
  return individuals * perIndividual + 2 * rows * alleles * sizeof(float) +
         2 * alleles * sizeof(float);
}

void EngineState::SizeTables(uint32_t P, uint32_t N, uint32_t A) {
  // With the usual overcommit a table larger than the machine is granted,
  // and the system kills the process once the run touches it: refuse first.
  if (TableBytes(P, N, A) > UsableMemoryBytes()) throw std::bad_alloc();
  const std::size_t individuals =
      std::max<std::size_t>(static_cast<std::size_t>(P) * N, MaxIndividuals) + 1;
  const std::size_t alleles = std::max<uint32_t>(A, MaxAlleles) + 1;
  InitialFrequencies.Reserve(std::max(P + 1, MaxFrequencyRows), std::max(A, MaxAlleles));
  WorkingFrequencies.Reserve(std::max(P + 1, MaxFrequencyRows), std::max(A, MaxAlleles));
  GrowTo(ParentGeneration, individuals);
  GrowTo(OffspringGeneration, individuals);
  GrowTo(IndividualFitness, individuals);
  GrowTo(CumulativeFitness, individuals);
  GrowTo(SampleMask, individuals);
  GrowTo(FitnessTable, alleles);
  GrowTo(MigrantPool, alleles);
}

}  // namespace dw
