#pragma once
// The result file and the statistics of the test: the Weir & Cockerham (1984)
// and Robertson & Hill estimators of Fst over the end-of-run sample, and
// their difference Delta.
#include <cstdint>
#include <vector>

#include "engine/state.h"
#include "runtime/textfile.h"

namespace dw {

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

// The tallies a simulation updates once its line is written.
struct DeltaTallies {
  std::vector<double>& series;  // entry s receives the simulation's Delta
  uint16_t& aboveCount;         // Delta strictly above the observed one
  double& min;
  double& max;
};

// Counts the sample, computes WC, RH and Delta = WC − RH, writes the line
// (CR LF first, then the three values at width 11 with 7 decimals) and then
// updates the tallies of simulation s. Floating-point faults (n = 1, a sample
// fixed for one allele) raise from the float mode.
void EstimateFst(const SimulationParameters& params, const std::vector<GenotypeRecord>& genotypes,
                 const std::vector<uint8_t>& mask, uint8_t complement, uint32_t s,
                 AlleleFrequencyTable& frequencies, TextFile& result, DeltaTallies tallies);

}  // namespace dw
