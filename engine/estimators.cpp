#include "engine/estimators.h"

#include <cmath>

#include "engine/model.h"
#include "engine/sampling.h"
#include "runtime/floatmode.h"

namespace dw {

void WriteResultHeader(const SimulationParameters& params, bool steppingStone, TextFile& result) {
  WriteText(result, "Output file : values of Fst : Weir&Cockerham, Robertson&Hill, and Delta=WC-RH");
  EndLine(result);
  CheckIO();
  WriteText(result, NamesOf(ModelOfRun(params.InfiniteIslandFlag != 0, steppingStone)).headerLine);
  EndLine(result);
  CheckIO();
  WriteInteger(result, params.P);
  WriteText(result, " islands of effective size ");
  WriteInteger(result, params.N);
  WriteText(result, ", ");
  WriteInteger(result, params.n);
  WriteText(result, " individuals sampled per island.");
  EndLine(result);
  CheckIO();
  WriteText(result, "Migration rate ");
  WriteReal(result, params.m, 5, 4);
  WriteText(result, ", number of generations : ");
  WriteInteger(result, params.T);
  EndLine(result);
  CheckIO();
  WriteText(result, "Number of alleles ");
  WriteInteger(result, params.A);
  EndLine(result);
  CheckIO();
}

void AddSampledPopulation(uint32_t r, uint32_t P, uint32_t n, uint8_t A,
                          const uint32_t* alleleCounts, const uint32_t* heterozygoteCounts,
                          AlleleFrequencyTable& frequencies, float* heterozygotes) {
  // P·n and 2n as integers, exact at every size that fits the counts.
  const long double sampledIndividuals = static_cast<long double>(uint64_t{P} * n);
  const long double sampledCopies = static_cast<long double>(uint64_t{2} * n);
  for (uint32_t a = 1; a <= A; ++a) {
    // Counts below 2^24 are exact at f32, as the tallies they replace were.
    const float local = static_cast<float>(heterozygoteCounts[a]);
    const float copies = static_cast<float>(alleleCounts[a]);
    heterozygotes[a] =
        StoreF32(Divide(local, sampledIndividuals) + static_cast<long double>(heterozygotes[a]));
    frequencies.At(r, a) = StoreF32(Divide(copies, sampledCopies));
  }
}

namespace {

// Population r's sampled individuals counted: gene copies per allele, and
// heterozygous individuals per allele they carry.
void CountSampledPopulation(uint32_t r, uint8_t complement, uint32_t N, uint8_t A,
                            const std::vector<GenotypeRecord>& genotypes,
                            const std::vector<uint8_t>& mask, uint32_t* alleles,
                            uint32_t* heterozygotes) {
  for (uint32_t a = 1; a <= A; ++a) alleles[a] = heterozygotes[a] = 0;
  for (uint32_t j = FirstOf(r, N); j <= LastOf(r, N); ++j) {
    if (!IsSampled(mask, complement, j)) continue;
    const GenotypeRecord& g = genotypes[j];
    if (g.first != g.second) {
      ++heterozygotes[g.first];
      ++heterozygotes[g.second];
    }
    ++alleles[g.first];
    ++alleles[g.second];
  }
}

}  // namespace

void CountSampleAlleles(uint8_t complement, uint32_t n, uint32_t N, uint32_t rows, uint8_t A,
                        const std::vector<GenotypeRecord>& genotypes,
                        const std::vector<uint8_t>& mask, AlleleFrequencyTable& frequencies,
                        float* heterozygotes) {
  const uint32_t P = rows - 1;
  for (uint32_t a = 1; a <= A; ++a) heterozygotes[a] = 0.0f;
  uint32_t alleles[256], local[256];
  for (uint32_t r = 1; r <= P; ++r) {
    CountSampledPopulation(r, complement, N, A, genotypes, mask, alleles, local);
    AddSampledPopulation(r, P, n, A, alleles, local, frequencies, heterozygotes);
  }
}

namespace {

struct AlleleTerms {
  float numerator;    // a, the between-population variance component
  float denominator;  // a + b + c
  double meanFrequency;
};

// Per allele: mean frequency over the populations, sum of squared deviations,
// then the variance components for equal sample sizes n.
AlleleTerms ComputeAlleleTerms(const AlleleFrequencyTable& x, uint32_t a, uint32_t P, uint32_t n,
                               float heterozygotes) {
  double mean = 0.0;
  for (uint32_t r = 1; r <= P; ++r)
    mean = StoreF64(Divide(x.At(r, a), P) + static_cast<long double>(mean));
  double ssq = 0.0;
  for (uint32_t r = 1; r <= P; ++r) {
    const long double d = static_cast<long double>(x.At(r, a)) - mean;
    ssq = StoreF64(d * d + static_cast<long double>(ssq));
  }
  // The integer factors are formed exactly, as integers; 64 bits keep them
  // exact for every P and n the counts admit.
  const int64_t nP1 = int64_t{n} * P - 1;
  const int64_t between = int64_t{P} * (int64_t{P} - 1) * (int64_t{n} - 1);
  const int64_t pairs = int64_t{P} * (int64_t{P} - 1);
  const long double p = mean, q = 1.0L - p;
  const long double first = Divide(static_cast<long double>(nP1) * ssq, static_cast<long double>(between));
  const long double second =
      Divide(q * p - static_cast<long double>(heterozygotes) / 4.0L, static_cast<long double>(int64_t{n} - 1));
  AlleleTerms terms;
  terms.numerator = StoreF32(first - second);
  terms.denominator = StoreF32(q * p + Divide(ssq, static_cast<long double>(pairs)));
  terms.meanFrequency = mean;
  return terms;
}

}  // namespace

FstSums SumFstTermsOfFrequencies(uint32_t P, uint32_t n, uint8_t A, bool skipUndefined,
                                 const AlleleFrequencyTable& frequencies,
                                 const float* heterozygotes) {
  float numerator[256], denominator[256];
  double rhSum = 0.0;
  uint16_t informative = A;
  for (uint32_t a = 1; a <= A; ++a) {
    const AlleleTerms t = ComputeAlleleTerms(frequencies, a, P, n, heterozygotes[a]);
    numerator[a] = t.numerator;
    denominator[a] = t.denominator;
    // The test is on the stored value: an allele fixed everywhere whose mean
    // comes out a rounding step from 1 still counts as informative.
    if (denominator[a] != 0.0f) {
      const long double weighted = (1.0L - t.meanFrequency) * numerator[a];
      rhSum = StoreF64(Divide(weighted, denominator[a]) + static_cast<long double>(rhSum));
    } else {
      --informative;
    }
  }
  FstSums sums;
  // Fewer than two informative alleles means every sampled copy is one allele.
  if (skipUndefined && informative < 2) {
    sums.defined = false;
    return sums;
  }
  sums.rh = StoreF64(Divide(rhSum, static_cast<long double>(int32_t{informative} - 1)));
  for (uint32_t a = 1; a <= A; ++a) {
    sums.wcNumerator = StoreF64(static_cast<long double>(sums.wcNumerator) + numerator[a]);
    sums.wcDenominator = StoreF64(static_cast<long double>(sums.wcDenominator) + denominator[a]);
  }
  return sums;
}

FstSums SumFstTerms(const SimulationParameters& params, const std::vector<GenotypeRecord>& genotypes,
                    const std::vector<uint8_t>& mask, uint8_t complement,
                    AlleleFrequencyTable& frequencies) {
  const uint8_t A = params.A;
  const auto countPopulation = [&](uint32_t r, uint32_t* alleles, uint32_t* heterozygotes) {
    CountSampledPopulation(r, complement, params.N, A, genotypes, mask, alleles, heterozygotes);
  };
  return SumFstTermsOfCounts(params.P, params.n, A, params.SkipUndefined != 0, countPopulation,
                             frequencies);
}

void WriteFstLine(const FstSums& sums, double observedDelta, uint32_t s, TextFile& result,
                  DeltaTallies tallies) {
  if (!sums.defined) {
    if (tallies.undefined) ++*tallies.undefined;
    return;
  }
  EndLine(result);
  CheckIO();
  // WC goes to the file in extended precision, never stored at 64 bits.
  const long double wc = Divide(sums.wcNumerator, sums.wcDenominator);
  WriteText(result, "WC=");
  WriteReal(result, wc, 11, 7);
  EndStatement(result);
  CheckIO();
  WriteText(result, " RH=");
  WriteReal(result, sums.rh, 11, 7);
  EndStatement(result);
  CheckIO();
  const double delta = StoreF64(wc - static_cast<long double>(sums.rh));
  WriteText(result, " Delta=WC-RH=");
  WriteReal(result, delta, 11, 7);
  EndStatement(result);
  CheckIO();

  if (delta > observedDelta) ++tallies.aboveCount;
  const uint32_t at = s - (tallies.undefined ? *tallies.undefined : 0);
  tallies.series[at] = delta;
  if (tallies.wcSeries) (*tallies.wcSeries)[at] = StoreF64(wc);
  if (delta < tallies.min) tallies.min = delta;
  if (delta > tallies.max) tallies.max = delta;
}

void EstimateFst(const SimulationParameters& params, const std::vector<GenotypeRecord>& genotypes,
                 const std::vector<uint8_t>& mask, uint8_t complement, uint32_t s,
                 AlleleFrequencyTable& frequencies, TextFile& result, DeltaTallies tallies) {
  const FstSums sums = SumFstTerms(params, genotypes, mask, complement, frequencies);
  WriteFstLine(sums, params.ObservedDelta, s, result, tallies);
}

}  // namespace dw
