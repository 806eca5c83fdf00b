#pragma once
// The observed statistics of one locus of a data set: Weir & Cockerham's
// (1984) estimator of Fst for samples of any sizes (WC), Robertson & Hill's
// (RH, the per-allele ratios weighted by one minus the allele's mean
// frequency) and Delta = WC − RH, in extended precision. With equal sample
// sizes they are the engine's two estimators.
#include <cstdint>
#include <string>
#include <vector>

#include "data/genepop.h"

namespace dw::data {

// The typed genotypes of one locus, per sample that has any.
struct LocusCounts {
  bool haploid = false;                       // one allele per individual (counted twice)
  // Calls a diploid count cannot hold (VCF only): the counts are then empty.
  bool mixedPloidy = false;  // haploid and diploid calls at one site
  bool polyploid = false;    // a call of more than two alleles
  std::vector<uint16_t> alleles;              // the codes seen, ascending
  std::vector<uint32_t> sampleNumbers;        // 1-based numbers of the samples kept
  std::vector<uint32_t> typed;                // n_i: individuals typed, per kept sample
  std::vector<std::vector<uint32_t>> copies;  // [sample][allele]: gene copies
  std::vector<std::vector<uint32_t>> hets;    // [sample][allele]: heterozygotes carrying it
};

// Samples with no individual typed at the locus are left out.
LocusCounts CountLocus(const GenepopData& data, std::size_t locus);

enum class LocusStatus {
  Polymorphic,
  Monomorphic,        // fewer than two alleles typed, or fewer than two informative
  TooFewSamples,      // fewer than two samples typed
  TooFewIndividuals,  // the mean number typed per sample is 1 or less
  // Two informative alleles: their terms are equal, so WC = RH and Delta is 0
  // whatever the data; the estimates are set, the Delta test has nothing to test.
  Biallelic,
  Haploid,  // read and summarised, never estimated: the model is diploid
  NoGenotype,   // no individual typed at all: nothing to summarise
  MixedPloidy,  // haploid and diploid calls at one site: not counted, not tested
  Polyploid,    // a call of more than two alleles: not counted, not tested
};

// "monomorphic", "fewer than two samples typed", "haploid locus: not tested
// (the model is diploid)", …; empty when polymorphic.
const char* StatusText(LocusStatus status);

struct LocusEstimate {
  LocusStatus status = LocusStatus::Monomorphic;
  long double wc = 0, rh = 0, delta = 0;  // set when polymorphic or biallelic
  uint32_t informative = 0;               // A′: alleles with a + b + c ≠ 0
};

LocusEstimate EstimateLocus(const LocusCounts& counts);

// What `driftwise observe` shows of a locus besides the estimators.
struct LocusSummary {
  uint32_t samples = 0, alleles = 0;
  uint32_t minTyped = 0, maxTyped = 0;
  long double meanTyped = 0;
  long double observedHeterozygosity = 0;  // share of typed individuals that are heterozygous
  long double expectedHeterozygosity = 0;  // 1 − Σ p², p the pooled allele frequencies
};

LocusSummary SummariseLocus(const LocusCounts& counts);

}  // namespace dw::data
