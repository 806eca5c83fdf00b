#pragma once
// The null of the test simulated at the level of allele counts: the same
// distribution of WC, RH and Delta as the individual engine, not the same
// draws, for a fraction of the cost.
//
// In the individual engine every gene copy of an offspring is drawn on its
// own: from its own population with probability 1 − m (a uniform parent,
// then one of its two copies: a uniform copy of the population), otherwise
// from the model's source. With neutral fitness the copies are independent
// given the parents, so a population's next allele counts are
// multinomial(2N, (1 − m)·p_own + m·p_source), where the source is the
// migrant row (infinite island), the mean of the other populations (finite
// island) or half of each neighbour on the ring (stepping-stone). Founders
// are 2N independent draws from their row. The sample of n out of the N
// individuals of generation T is, the individuals being exchangeable, n
// independent genotypes drawn from the gamete pool of generation T − 1.
//
// Draws: each simulation has a stream of its own, xoshiro256** (Blackman &
// Vigna), whose four state words are the outputs of the splitmix64 stream
// started at splitmix64-finalise(seed) + 4·index·γ (γ = 0x9e3779b97f4a7c15):
// words i = 0..3 come from counters 4·index + i + 1. A simulation is thus a
// pure function of (null, seed, index), whichever thread runs it and in any
// order, and no stream of the 64-bit generator's period of 2^256 comes near
// another within any run.
//
// Float faults (a sample fixed for one allele) raise as in the individual
// engine, from the float mode of the calling thread: a thread that
// simulates calls EstablishFloatErrorMode first, as the engine's threads do.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/estimators.h"
#include "engine/state.h"

namespace dw {

// What a count-level simulation depends on.
struct CountNull {
  MigrationModel model = MigrationModel::InfiniteIsland;
  uint32_t P = 0, N = 0, T = 0, A = 0, n = 0;
  double m = 0;
  // (P + 1) rows of A frequencies, row-major, as a run holds them after reading a
  // frequency file (the f32 values); row P + 1 is the migrant source.
  std::vector<float> start;
};

// One simulation's estimators; `defined` false when the sample is fixed for one
// allele and undefined simulations are skipped (nothing divided).
struct SimulatedFst {
  bool defined = true;
  double wc = 0, rh = 0, delta = 0;  // wc stored at f64 from the extended value; delta = StoreF64(wc_extended - rh), exactly as WriteFstLine forms them
};

// The uniform stream of one simulation (see the header comment).
class CountStream {
 public:
  CountStream(uint32_t seed, uint64_t index);
  uint64_t Next() {
    const uint64_t result = Rotate(s_[1] * 5, 7) * 9;
    const uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = Rotate(s_[3], 45);
    return result;
  }
  // Uniform on [0, 1) in steps of 2^-53.
  double NextUniform() { return static_cast<double>(Next() >> 11) * 0x1p-53; }

 private:
  static uint64_t Rotate(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  uint64_t s_[4];
};

// Binomial(trials, p): inversion from 0 while the mean of the rarer outcome is
// small (its set-up is one power), BTPE (Kachitvichyanukul & Schmeiser 1988)
// above, whose set-up is a few roots and divisions. p outside (0, 1) is taken
// as 0 or 1.
uint32_t DrawBinomial(uint32_t trials, double p, CountStream& stream);

// Multinomial(size, q[1..A]) into counts[1..A], as conditional binomials in
// allele order; q need not sum to 1 exactly (each allele's share is taken of
// what the alleles from it on hold). Every count is written; they sum to size.
void DrawMultinomial(uint32_t size, const double* q, uint32_t A, uint32_t* counts,
                     CountStream& stream);

// The probabilities with which DrawAllele picks each of A alleles from f32
// frequencies f[1..A] (cumulative sums clamped to 1, allele A taking what is
// left), into q[1..A].
void AlleleDrawProbabilities(const float* f, uint32_t A, double* q);

// Binomial(trials, p) by an alias table (Walker; Vose's construction) of its
// pmf: one uniform per draw once built, in O(trials) time and memory. For
// laws drawn from again and again.
class BinomialTable {
 public:
  BinomialTable(uint32_t trials, double p);
  uint32_t Draw(CountStream& stream) const {
    const double u = stream.NextUniform() * static_cast<double>(keep_.size());
    // The product can round up to the size itself for the largest uniforms.
    const uint32_t column = std::min(static_cast<uint32_t>(u), last_);
    return u - column < keep_[column] ? column : alias_[column];
  }

 private:
  std::vector<double> keep_;     // [k]: the share of column k that draws k
  std::vector<uint32_t> alias_;  // [k]: what the rest of column k draws
  uint32_t last_;
};

class CountSimulator {
 public:
  explicit CountSimulator(const CountNull& null);  // allocates its scratch once
  // Simulation `index` (1-based) of the stream `seed`: a pure function of
  // (null, seed, index), independent of every other index, so any range of
  // indices can run on any thread in any order and give the same values.
  // Float faults as the engine raises them unless skipUndefined.
  SimulatedFst Simulate(uint32_t seed, uint64_t index, bool skipUndefined);

  // The same simulation up to the sums a result line is written from
  // (WriteFstLine keeps WC in extended precision for the file).
  FstSums SimulateSums(uint32_t seed, uint64_t index, bool skipUndefined);

  // Rows 1..P: the allele frequencies of the last simulation's sample.
  const AlleleFrequencyTable& SampleFrequencies() const { return frequencies_; }

 private:
  void Found(CountStream& stream);
  // The allele totals over every population, which the finite island's
  // sources are formed from (nothing under the other models).
  void SumTotals();
  // The gamete pool of population p (1-based) from the current counts, into pool_.
  void FormPool(uint32_t p);
  void Reproduce(CountStream& stream);
  // n genotypes of population p from pool_: its sample's allele and
  // heterozygote counts.
  void SamplePopulation(uint32_t p, CountStream& stream);
  uint32_t* CountsOf(uint32_t p) { return &counts_[static_cast<std::size_t>(p - 1) * stride_]; }

  // Under the infinite island with two alleles a population's next count
  // depends on its count c alone (the source is fixed): binomial(2N, p(c)).
  // Those 2N + 1 laws are the same for every simulation, so each is built
  // into a table the first time it is needed, for populations small enough
  // to keep them all. Empty otherwise.
  bool UsesTransitionTables() const { return !transitions_.empty(); }
  uint32_t NextCountByTable(uint32_t c, CountStream& stream);

  CountNull null_;
  std::vector<std::unique_ptr<BinomialTable>> transitions_;
  uint32_t stride_;               // A + 1: index 0 of every row unused
  std::vector<double> founders_;  // P rows of DrawAllele's probabilities
  std::vector<double> source_;    // the migrant row's
  std::vector<uint32_t> counts_, next_;  // P rows of allele counts (2N each)
  std::vector<uint64_t> totals_;  // per allele, over every population (finite island)
  std::vector<double> pool_;
  std::vector<uint32_t> sampleAlleles_, sampleHeterozygotes_;  // P rows
  std::vector<uint32_t> firstCopies_, pairs_;
  AlleleFrequencyTable frequencies_;
};

// WC, RH and Delta from a simulation's sums, formed as WriteFstLine forms
// them; WC = 0/0 raises EInvalidOp.
SimulatedFst FstOfSums(const FstSums& sums);

}  // namespace dw
