#pragma once
// The result file and the statistics of the test: the Weir & Cockerham (1984)
// and Robertson & Hill estimators of Fst over the end-of-run sample, and
// their difference Delta.
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/state.h"
#include "runtime/textfile.h"

namespace dw {

// What a run that did not finish (an error, a cancel) leaves after its last
// whole line: the line end that opens a simulation's line. A finished run
// never ends its file with a line end, so the two are always told apart.
inline constexpr std::string_view kUnfinishedRunMark = "\r\n";

// The five header lines, each one write statement ended by EndLine and
// followed by CheckIO. `steppingStone` is the model choice at this moment.
void WriteResultHeader(const SimulationParameters& params, bool steppingStone, TextFile& result);

// Overwrites rows 1..rows−1 of `frequencies` with the sample's allele
// frequencies (over 2n gene copies) and fills h[1..A] with the share of
// sampled individuals, over all P·n, that are heterozygous and carry allele a.
void CountSampleAlleles(uint8_t complement, uint32_t n, uint32_t N, uint32_t rows, uint8_t A,
                        const std::vector<GenotypeRecord>& genotypes,
                        const std::vector<uint8_t>& mask, AlleleFrequencyTable& frequencies,
                        float* heterozygotes);

// Stores population r's sample into row r of `frequencies` (its allele
// counts over 2n gene copies, at f32) and adds its heterozygote counts,
// over all P·n sampled individuals, to heterozygotes[1..A], each share
// stored at f32 in population order. The one place a sample's counts become
// the estimators' inputs, whichever engine drew them.
void AddSampledPopulation(uint32_t r, uint32_t P, uint32_t n, uint8_t A,
                          const uint32_t* alleleCounts, const uint32_t* heterozygoteCounts,
                          AlleleFrequencyTable& frequencies, float* heterozygotes);

// The tallies a simulation updates once its line is written.
struct DeltaTallies {
  std::vector<double>& series;  // entry s receives the simulation's Delta
  uint16_t& aboveCount;         // Delta strictly above the observed one
  double& min;
  double& max;
  std::vector<double>* wcSeries = nullptr;  // entry s receives WC, if given
  // Simulations left out as undefined so far: the defined ones are stored at
  // s minus this count.
  uint32_t* undefined = nullptr;
};

// What a simulation's line is made of: the sums of the per-allele terms and
// RH. Everything that can fail before the line is begun has been computed.
struct FstSums {
  double wcNumerator = 0.0;
  double wcDenominator = 0.0;
  double rh = 0.0;
  // False when the sample is fixed for one allele and params.SkipUndefined is
  // set: nothing was divided, and the simulation has no line.
  bool defined = true;
};

// The sums from rows 1..P of the sample's frequencies and the heterozygote
// shares that AddSampledPopulation left. Faults as SumFstTerms.
FstSums SumFstTermsOfFrequencies(uint32_t P, uint32_t n, uint8_t A, bool skipUndefined,
                                 const AlleleFrequencyTable& frequencies,
                                 const float* heterozygotes);

// The sums of a sample given as counts: `countPopulation(r, alleles,
// heterozygotes)` fills, for population r = 1..P in order, alleles[1..A]
// (sampled gene copies of each allele) and heterozygotes[1..A] (sampled
// heterozygous individuals carrying each allele). Both engines form their
// sums here, so equal counts give equal bits.
template <typename CountPopulation>
FstSums SumFstTermsOfCounts(uint32_t P, uint32_t n, uint8_t A, bool skipUndefined,
                            CountPopulation countPopulation, AlleleFrequencyTable& frequencies) {
  float heterozygotes[256];
  uint32_t alleles[256], local[256];
  for (uint32_t a = 1; a <= A; ++a) heterozygotes[a] = 0.0f;
  for (uint32_t r = 1; r <= P; ++r) {
    countPopulation(r, alleles, local);
    AddSampledPopulation(r, P, n, A, alleles, local, frequencies, heterozygotes);
  }
  return SumFstTermsOfFrequencies(P, n, A, skipUndefined, frequencies, heterozygotes);
}

// Counts the sample and sums the estimators' terms; writes nothing.
// Floating-point faults (n = 1, a sample fixed for one allele so that RH has
// no informative allele to divide by) raise from the float mode; under
// SkipUndefined a fixed sample is reported as not defined instead.
FstSums SumFstTerms(const SimulationParameters& params, const std::vector<GenotypeRecord>& genotypes,
                    const std::vector<uint8_t>& mask, uint8_t complement,
                    AlleleFrequencyTable& frequencies);

// Writes the line of simulation s (CR LF first, then WC, RH and Delta at
// width 11 with 7 decimals, each statement followed by CheckIO) and then
// updates its tallies. WC = 0/0 raises EInvalidOp after the line end. A
// simulation that is not defined writes nothing and is only counted.
void WriteFstLine(const FstSums& sums, double observedDelta, uint32_t s, TextFile& result,
                  DeltaTallies tallies);

// Counts the sample, computes WC, RH and Delta = WC − RH, writes the line
// (CR LF first, then the three values at width 11 with 7 decimals) and then
// updates the tallies of simulation s. Floating-point faults (n = 1, a sample
// fixed for one allele) raise from the float mode.
void EstimateFst(const SimulationParameters& params, const std::vector<GenotypeRecord>& genotypes,
                 const std::vector<uint8_t>& mask, uint8_t complement, uint32_t s,
                 AlleleFrequencyTable& frequencies, TextFile& result, DeltaTallies tallies);

}  // namespace dw
