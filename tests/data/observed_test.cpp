// The observed statistics: hand-worked cases (equal and unequal sample
// sizes), the loci that cannot be tested, and agreement with the engine's
// estimator when every sample has the same size.
#include "data/observed.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/estimators.h"
#include "runtime/textfile.h"
#include "tests/support/files.h"

namespace dw::data {
namespace {

// One locus; each sample a list of 4-digit genotypes.
GenepopData OneLocus(const std::vector<std::vector<std::string>>& samples) {
  std::string text = "title\nL\n";
  int id = 0;
  for (const auto& sample : samples) {
    text += "Pop\n";
    for (const std::string& g : sample) {
      text += 'i';
      text += std::to_string(++id);
      text += ", " + g + "\n";
    }
  }
  GenepopData data;
  const auto error = ParseGenepop(text, data);
  EXPECT_FALSE(error) << text;
  return data;
}

LocusEstimate Estimate(const std::vector<std::vector<std::string>>& samples) {
  return EstimateLocus(CountLocus(OneLocus(samples), 0));
}

TEST(EstimateLocus, HandWorkedCases) {
  // AA AA | AB AB | BB BB: a = 1/4, b = −1/12, c = 1/6 for each allele.
  // Two alleles have equal terms, so WC = RH: the locus is not for the Delta test.
  const LocusEstimate even = Estimate({{"0101", "0101"}, {"0102", "0102"}, {"0202", "0202"}});
  ASSERT_EQ(even.status, LocusStatus::Biallelic);
  EXPECT_NEAR(static_cast<double>(even.wc), 0.75, 1e-18);
  EXPECT_NEAR(static_cast<double>(even.rh), 0.75, 1e-18);
  EXPECT_NEAR(static_cast<double>(even.delta), 0.0, 1e-18);
  EXPECT_EQ(even.informative, 2u);
  // Sizes 3, 2 and 4, three alleles; the exact rationals of the same formulas.
  const LocusEstimate uneven =
      Estimate({{"0101", "0102", "0103"}, {"0202", "0203"}, {"0102", "0303", "0303", "0202"}});
  ASSERT_EQ(uneven.status, LocusStatus::Polymorphic);
  EXPECT_NEAR(static_cast<double>(uneven.wc), 144.0 / 1379.0, 1e-17);
  EXPECT_NEAR(static_cast<double>(uneven.rh), 14396464.0 / 129056815.0, 1e-17);
  EXPECT_EQ(uneven.informative, 3u);
}

TEST(EstimateLocus, UntypedIndividualsAndSamplesPlayNoPart) {
  const LocusEstimate plain =
      Estimate({{"0101", "0102", "0103"}, {"0202", "0203"}, {"0102", "0303", "0303", "0202"}});
  const LocusEstimate gaps = Estimate({{"0101", "0000", "0102", "0103"},
                                       {"0200", "0000"},
                                       {"0202", "0203", "0001"},
                                       {"0102", "0303", "0303", "0202"}});
  ASSERT_EQ(gaps.status, LocusStatus::Polymorphic);
  EXPECT_EQ(gaps.wc, plain.wc);
  EXPECT_EQ(gaps.rh, plain.rh);
  const LocusCounts counts = CountLocus(OneLocus({{"0101", "0000"}, {"0000"}, {"0202"}}), 0);
  EXPECT_EQ(counts.sampleNumbers, (std::vector<uint32_t>{1, 3}));
  EXPECT_EQ(counts.typed, (std::vector<uint32_t>{1, 1}));
}

TEST(EstimateLocus, LociThatCannotBeTested) {
  struct Case {
    std::vector<std::vector<std::string>> samples;
    LocusStatus status;
  };
  const Case cases[] = {
      {{{"0101", "0101"}, {"0101", "0101"}}, LocusStatus::Monomorphic},
      {{{"0000", "0000"}, {"0000"}}, LocusStatus::NoGenotype},
      {{{"0101", "0102"}, {"0000", "0000"}}, LocusStatus::TooFewSamples},
      {{{"0101"}, {"0202"}}, LocusStatus::TooFewIndividuals},
      // However polymorphic, a haploid locus is not tested.
      {{{"01", "02", "03"}, {"02", "03", "03"}, {"01", "01", "02"}}, LocusStatus::Haploid},
  };
  for (const Case& c : cases) EXPECT_EQ(Estimate(c.samples).status, c.status);
  EXPECT_EQ(std::string(StatusText(LocusStatus::Haploid)),
            "haploid locus: not tested (the model is diploid)");
}

// The engine's estimator on samples of equal size n: every individual of
// populations of size n is sampled.
struct EngineResult {
  double wc, rh, delta;
};

EngineResult EngineEstimate(const std::vector<std::vector<GenotypeRecord>>& samples, uint8_t A) {
  SimulationParameters params;
  params.P = static_cast<uint16_t>(samples.size());
  params.n = params.N = static_cast<uint16_t>(samples[0].size());
  params.A = A;
  std::vector<GenotypeRecord> genotypes(1);
  for (const auto& sample : samples)
    genotypes.insert(genotypes.end(), sample.begin(), sample.end());
  const std::vector<uint8_t> mask(genotypes.size(), 0);  // complement 1: all sampled
  AlleleFrequencyTable frequencies;
  frequencies.Reserve(params.P + 1u, A);
  std::vector<double> series(2, 0.0);
  uint16_t above = 0;
  double min = 0, max = 0;
  test::ScratchDir dir;
  TextFile result;
  Assign(result, dir.File("fst.txt"));
  OpenWrite(result);
  CheckIO();
  EstimateFst(params, genotypes, mask, 1, 1, frequencies, result,
              DeltaTallies{series, above, min, max});
  CloseFile(result);
  CheckIO();
  const std::string line = test::ReadBytes(dir.File("fst.txt"));
  return EngineResult{std::strtod(line.c_str() + line.find("WC=") + 3, nullptr),
                      std::strtod(line.c_str() + line.find("RH=") + 3, nullptr), series[1]};
}

TEST(EstimateLocus, AgreesWithTheEngineOnEqualSampleSizes) {
  struct Case {
    int P, n, A;
    uint32_t seed;
  };
  const Case cases[] = {{2, 2, 2, 1},  {3, 5, 3, 2},  {5, 10, 4, 3},
                        {4, 30, 6, 4}, {10, 8, 2, 5}, {6, 50, 10, 6}};
  for (const Case& c : cases) {
    uint32_t state = c.seed;
    const auto draw = [&] {
      state = state * 1664525u + 1013904223u;
      return static_cast<uint8_t>(1 + (state >> 16) % c.A);
    };
    std::vector<std::vector<GenotypeRecord>> records(c.P);
    std::vector<std::vector<std::string>> texts(c.P);
    for (int p = 0; p < c.P; ++p)
      for (int i = 0; i < c.n; ++i) {
        // Skewed per population so the samples differ.
        const uint8_t a1 = draw(), a2 = (i % (p + 2) == 0) ? a1 : draw();
        records[p].push_back(GenotypeRecord{static_cast<uint16_t>(p + 1), a1, a2});
        char text[8];
        std::snprintf(text, sizeof text, "%02d%02d", a1, a2);
        texts[p].push_back(text);
      }
    const LocusCounts counts = CountLocus(OneLocus(texts), 0);
    ASSERT_EQ(counts.alleles.size(), static_cast<std::size_t>(c.A)) << c.seed;
    const LocusEstimate ours = EstimateLocus(counts);
    ASSERT_EQ(ours.status, c.A == 2 ? LocusStatus::Biallelic : LocusStatus::Polymorphic);
    const EngineResult engine = EngineEstimate(records, static_cast<uint8_t>(c.A));
    // The engine stores each allele's terms at 32 bits and writes seven decimals.
    EXPECT_NEAR(static_cast<double>(ours.wc), engine.wc, 2e-7) << c.seed;
    EXPECT_NEAR(static_cast<double>(ours.rh), engine.rh, 2e-7) << c.seed;
    EXPECT_NEAR(static_cast<double>(ours.delta), engine.delta, 2e-7) << c.seed;
  }
}

}  // namespace
}  // namespace dw::data
