#include "data/observed.h"

#include <algorithm>

namespace dw::data {

LocusCounts CountLocus(const GenepopData& data, std::size_t locus) {
  LocusCounts counts;
  counts.haploid = locus < data.ploidy.size() && data.ploidy[locus] == 1;
  for (const Sample& sample : data.samples)
    for (const Individual& individual : sample.individuals) {
      const Genotype g = individual.genotypes[locus];
      if (!g.Typed()) continue;
      counts.alleles.push_back(g.first);
      counts.alleles.push_back(g.second);
    }
  std::sort(counts.alleles.begin(), counts.alleles.end());
  counts.alleles.erase(std::unique(counts.alleles.begin(), counts.alleles.end()),
                       counts.alleles.end());
  const auto indexOf = [&](uint16_t code) {
    return static_cast<std::size_t>(
        std::lower_bound(counts.alleles.begin(), counts.alleles.end(), code) -
        counts.alleles.begin());
  };
  const std::size_t A = counts.alleles.size();
  for (std::size_t s = 0; s < data.samples.size(); ++s) {
    std::vector<uint32_t> copies(A, 0), hets(A, 0);
    uint32_t typed = 0;
    for (const Individual& individual : data.samples[s].individuals) {
      const Genotype g = individual.genotypes[locus];
      if (!g.Typed()) continue;
      ++typed;
      const std::size_t a1 = indexOf(g.first), a2 = indexOf(g.second);
      ++copies[a1];
      ++copies[a2];
      if (a1 != a2) ++hets[a1], ++hets[a2];
    }
    if (typed == 0) continue;
    counts.sampleNumbers.push_back(static_cast<uint32_t>(s + 1));
    counts.typed.push_back(typed);
    counts.copies.push_back(std::move(copies));
    counts.hets.push_back(std::move(hets));
  }
  return counts;
}

const char* StatusText(LocusStatus status) {
  switch (status) {
    case LocusStatus::Polymorphic:
      return "";
    case LocusStatus::Monomorphic:
      return "monomorphic";
    case LocusStatus::TooFewSamples:
      return "fewer than two samples typed";
    case LocusStatus::TooFewIndividuals:
      return "one individual or fewer typed per sample";
    case LocusStatus::Biallelic:
      return "two alleles: Delta is 0 by construction";
    case LocusStatus::Haploid:
      return "haploid locus: not tested (the model is diploid)";
    case LocusStatus::NoGenotype:
      return "no genotype typed";
    case LocusStatus::MixedPloidy:
      return "haploid and diploid calls: not tested";
    case LocusStatus::Polyploid:
      return "a call of more than two alleles: not tested (the model is diploid)";
  }
  return "";
}

namespace {

// Weir & Cockerham (1984), general sample sizes: the variance components of
// one allele.
struct Components {
  long double a, b, c, meanFrequency;
};

Components AlleleComponents(const LocusCounts& counts, std::size_t allele, long double nBar,
                            long double nC) {
  const std::size_t r = counts.typed.size();
  const long double rn = r * nBar;  // Σ n_i
  long double pBar = 0, hBar = 0;
  for (std::size_t i = 0; i < r; ++i) {
    pBar += counts.copies[i][allele] / 2.0L;  // n_i·p_i
    hBar += counts.hets[i][allele];           // n_i·h_i
  }
  pBar /= rn;
  hBar /= rn;
  long double s2 = 0;
  for (std::size_t i = 0; i < r; ++i) {
    const long double n = counts.typed[i];
    const long double d = counts.copies[i][allele] / (2.0L * n) - pBar;
    s2 += n * d * d;
  }
  s2 /= (r - 1.0L) * nBar;
  const long double pq = pBar * (1.0L - pBar);
  const long double within = pq - (r - 1.0L) * s2 / r;
  const long double a = nBar / nC * (s2 - (within - hBar / 4.0L) / (nBar - 1.0L));
  const long double b =
      nBar / (nBar - 1.0L) * (within - (2.0L * nBar - 1.0L) * hBar / (4.0L * nBar));
  return Components{a, b, hBar / 2.0L, pBar};
}

}  // namespace

LocusEstimate EstimateLocus(const LocusCounts& counts) {
  LocusEstimate estimate;
  if (counts.mixedPloidy || counts.polyploid) {
    estimate.status = counts.polyploid ? LocusStatus::Polyploid : LocusStatus::MixedPloidy;
    return estimate;
  }
  if (counts.typed.empty()) {
    estimate.status = LocusStatus::NoGenotype;
    return estimate;
  }
  if (counts.haploid) {
    estimate.status = LocusStatus::Haploid;
    return estimate;
  }
  const std::size_t r = counts.typed.size();
  if (counts.alleles.size() < 2) return estimate;  // monomorphic
  if (r < 2) {
    estimate.status = LocusStatus::TooFewSamples;
    return estimate;
  }
  long double sumN = 0, sumN2 = 0;
  for (uint32_t n : counts.typed) sumN += n, sumN2 += static_cast<long double>(n) * n;
  const long double nBar = sumN / r;
  if (nBar <= 1.0L) {
    estimate.status = LocusStatus::TooFewIndividuals;
    return estimate;
  }
  // Every kept sample has n_i ≥ 1 and r ≥ 2, so n_c > 0.
  const long double nC = (sumN - sumN2 / sumN) / (r - 1.0L);
  long double numerator = 0, total = 0, rhSum = 0;
  for (std::size_t allele = 0; allele < counts.alleles.size(); ++allele) {
    const Components k = AlleleComponents(counts, allele, nBar, nC);
    const long double abc = k.a + k.b + k.c;
    numerator += k.a;
    total += abc;
    if (abc == 0.0L) continue;
    ++estimate.informative;
    rhSum += (1.0L - k.meanFrequency) * k.a / abc;
  }
  if (estimate.informative < 2 || total == 0.0L) return estimate;  // monomorphic
  estimate.status = estimate.informative == 2 ? LocusStatus::Biallelic : LocusStatus::Polymorphic;
  estimate.wc = numerator / total;
  estimate.rh = rhSum / (estimate.informative - 1.0L);
  // With two alleles RH is WC term for term; computed apart they differ by
  // rounding alone, which would show as a Delta of 1e-19.
  if (estimate.status == LocusStatus::Biallelic) estimate.rh = estimate.wc;
  estimate.delta = estimate.wc - estimate.rh;
  return estimate;
}

LocusSummary SummariseLocus(const LocusCounts& counts) {
  LocusSummary s;
  s.samples = static_cast<uint32_t>(counts.typed.size());
  s.alleles = static_cast<uint32_t>(counts.alleles.size());
  if (counts.typed.empty()) return s;
  s.minTyped = *std::min_element(counts.typed.begin(), counts.typed.end());
  s.maxTyped = *std::max_element(counts.typed.begin(), counts.typed.end());
  long double individuals = 0, heterozygous = 0;
  std::vector<long double> pooled(counts.alleles.size(), 0.0L);
  for (std::size_t i = 0; i < counts.typed.size(); ++i) {
    individuals += counts.typed[i];
    long double hetCopies = 0;  // each heterozygote carries two different alleles
    for (std::size_t a = 0; a < pooled.size(); ++a) {
      pooled[a] += counts.copies[i][a];
      hetCopies += counts.hets[i][a];
    }
    heterozygous += hetCopies / 2.0L;
  }
  s.meanTyped = individuals / s.samples;
  s.observedHeterozygosity = heterozygous / individuals;
  long double homozygosity = 0;
  for (long double copies : pooled) {
    const long double p = copies / (2.0L * individuals);
    homozygosity += p * p;
  }
  s.expectedHeterozygosity = 1.0L - homozygosity;
  return s;
}

}  // namespace dw::data
