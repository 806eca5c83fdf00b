#include "engine/estimators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "runtime/errors.h"
#include "tests/support/files.h"

namespace dw {
namespace {

// Runs EstimateFst on given genotypes, every individual sampled (n = N).
struct Estimate {
  test::ScratchDir dir;
  EngineState state;
  std::string text;
  double delta = 0.0;

  Estimate(uint16_t P, uint16_t N, uint8_t A, const std::vector<GenotypeRecord>& genotypes,
           double observed = 0.0) {
    state.params.P = P;
    state.params.N = N;
    state.params.n = N;
    state.params.A = A;
    state.params.ObservedDelta = observed;
    for (std::size_t j = 0; j < genotypes.size(); ++j) state.OffspringGeneration[j + 1] = genotypes[j];
    std::fill(state.SampleMask.begin(), state.SampleMask.end(), 0);
    state.DeltaSeries.assign(3, 0.0);
    state.DeltaMin = state.DeltaMax = observed;
  }
  void Run(uint32_t s = 1) {
    Assign(state.ResultFile, dir.File("fst.txt"));
    OpenWrite(state.ResultFile);
    CheckIO();
    try {
      EstimateFst(state.params, state.OffspringGeneration, state.SampleMask, 1, s,
                  state.WorkingFrequencies, state.ResultFile,
                  DeltaTallies{state.DeltaSeries, state.DeltaAboveCount, state.DeltaMin,
                               state.DeltaMax});
    } catch (...) {
      ReleaseFile(state.ResultFile);
      text = test::ReadBytes(dir.File("fst.txt"));
      throw;
    }
    CloseFile(state.ResultFile);
    CheckIO();
    text = test::ReadBytes(dir.File("fst.txt"));
    delta = state.DeltaSeries[s];
  }
};

GenotypeRecord G(uint16_t p, uint8_t a, uint8_t b) { return {p, a, b}; }

TEST(EstimateFst, FixedForDifferentAllelesGivesOneAndOne) {
  Estimate e(2, 2, 2, {G(1, 1, 1), G(1, 1, 1), G(2, 2, 2), G(2, 2, 2)});
  e.Run();
  EXPECT_EQ(e.text, "\r\nWC=  1.0000000 RH=  1.0000000 Delta=WC-RH=  0.0000000");
  EXPECT_EQ(e.delta, 0.0);
  EXPECT_EQ(e.state.WorkingFrequencies.At(1, 1), 1.0f);
  EXPECT_EQ(e.state.WorkingFrequencies.At(2, 1), 0.0f);
  EXPECT_EQ(e.state.WorkingFrequencies.At(2, 2), 1.0f);
}

TEST(EstimateFst, HeterozygousExampleWritesANegativeZeroDelta) {
  Estimate e(2, 2, 2, {G(1, 1, 2), G(1, 1, 1), G(2, 2, 2), G(2, 1, 2)});
  e.Run();
  EXPECT_EQ(e.text, "\r\nWC=  0.2000000 RH=  0.2000000 Delta=WC-RH= -0.0000000");
  // The extended quotient 0.2 minus the 64-bit RH: about -1.1e-17.
  EXPECT_LT(e.delta, 0.0);
  EXPECT_GT(e.delta, -1e-16);
  EXPECT_EQ(e.state.WorkingFrequencies.At(1, 1), 0.75f);
  EXPECT_EQ(e.state.WorkingFrequencies.At(2, 2), 0.75f);
}

TEST(EstimateFst, TalliesAreStrict) {
  // Delta of the first example is 0: equal to the observed Delta, the tallies stay.
  Estimate e(2, 2, 2, {G(1, 1, 1), G(1, 1, 1), G(2, 2, 2), G(2, 2, 2)}, 0.0);
  e.Run(2);
  EXPECT_EQ(e.state.DeltaAboveCount, 0);
  EXPECT_EQ(e.state.DeltaSeries[2], 0.0);
  EXPECT_EQ(e.state.DeltaSeries[1], 0.0);
  EXPECT_EQ(e.state.DeltaMin, 0.0);
  EXPECT_EQ(e.state.DeltaMax, 0.0);
  Estimate below(2, 2, 2, {G(1, 1, 1), G(1, 1, 1), G(2, 2, 2), G(2, 2, 2)}, -0.5);
  below.Run();
  EXPECT_EQ(below.state.DeltaAboveCount, 1);
  EXPECT_EQ(below.state.DeltaMax, 0.0);
  EXPECT_EQ(below.state.DeltaMin, -0.5);
}

TEST(EstimateFst, AnAbsentAlleleAddsNothing) {
  // Allele 3 is absent: the line is the same as with A = 2.
  Estimate two(2, 2, 2, {G(1, 1, 2), G(1, 1, 1), G(2, 2, 2), G(2, 1, 2)});
  Estimate three(2, 2, 3, {G(1, 1, 2), G(1, 1, 1), G(2, 2, 2), G(2, 1, 2)});
  two.Run();
  three.Run();
  EXPECT_EQ(two.text, three.text);
}

TEST(EstimateFst, AllCopiesOneAlleleEndsInAnInvalidOperationAfterTheLineEnd) {
  Estimate e(2, 2, 2, {G(1, 1, 1), G(1, 1, 1), G(2, 1, 1), G(2, 1, 1)});
  EXPECT_THROW(e.Run(), EInvalidOp);
  EXPECT_EQ(e.text, "\r\n");
  EXPECT_EQ(e.state.DeltaAboveCount, 0);
  EXPECT_EQ(e.state.DeltaSeries[1], 0.0);
}

TEST(EstimateFst, UnderSkipUndefinedAFixedSampleIsCountedAndTheNextTakesItsPlace) {
  // Simulation 1's sample is fixed for allele 1, simulation 2's is not: the
  // first writes nothing and is counted, the second is stored as the first.
  test::ScratchDir dir;
  EngineState state;
  SimulationParameters& params = state.params;
  params.P = 2, params.N = 2, params.n = 2, params.A = 2, params.SkipUndefined = 1;
  state.DeltaSeries.assign(3, 0.0);
  state.WCSeries.assign(3, 0.0);
  state.UndefinedCount = 0;
  std::fill(state.SampleMask.begin(), state.SampleMask.end(), 0);
  Assign(state.ResultFile, dir.File("fst.txt"));
  OpenWrite(state.ResultFile);
  CheckIO();
  const std::vector<GenotypeRecord> samples[] = {
      {G(1, 1, 1), G(1, 1, 1), G(2, 1, 1), G(2, 1, 1)},
      {G(1, 1, 1), G(1, 1, 1), G(2, 2, 2), G(2, 2, 2)}};
  for (uint32_t s = 1; s <= 2; ++s) {
    for (std::size_t j = 0; j < 4; ++j) state.OffspringGeneration[j + 1] = samples[s - 1][j];
    EXPECT_NO_THROW(EstimateFst(params, state.OffspringGeneration, state.SampleMask, 1, s,
                                state.WorkingFrequencies, state.ResultFile,
                                DeltaTallies{state.DeltaSeries, state.DeltaAboveCount,
                                             state.DeltaMin, state.DeltaMax, &state.WCSeries,
                                             &state.UndefinedCount}));
  }
  CloseFile(state.ResultFile);
  CheckIO();
  EXPECT_EQ(test::ReadBytes(dir.File("fst.txt")),
            "\r\nWC=  1.0000000 RH=  1.0000000 Delta=WC-RH=  0.0000000");
  EXPECT_EQ(state.UndefinedCount, 1u);
  EXPECT_EQ(state.WCSeries[1], 1.0);
  EXPECT_EQ(state.DeltaSeries[1], 0.0);
}

TEST(EstimateFst, ASampleOfOneDividesByZeroBeforeWriting) {
  Estimate e(2, 1, 2, {G(1, 1, 2), G(2, 2, 2)});
  EXPECT_THROW(e.Run(), EMathError);
  EXPECT_EQ(e.text, "");
}

// The estimators in plain double arithmetic, from the genotypes: Weir &
// Cockerham's a and a + b + c for equal sample sizes, and Robertson & Hill's
// weighted mean of per-allele ratios.
struct Reference {
  double wc, rh;
};
Reference SlowEstimates(uint32_t P, uint32_t n, uint32_t A, const std::vector<GenotypeRecord>& g) {
  std::vector<std::vector<double>> x(P + 1, std::vector<double>(A + 1, 0.0));
  std::vector<double> h(A + 1, 0.0);
  for (uint32_t j = 0; j < g.size(); ++j) {
    const uint32_t r = g[j].population;
    x[r][g[j].first] += 1.0 / (2 * n);
    x[r][g[j].second] += 1.0 / (2 * n);
    if (g[j].first != g[j].second) {
      h[g[j].first] += 1.0 / (P * n);
      h[g[j].second] += 1.0 / (P * n);
    }
  }
  double num = 0, den = 0, rh = 0;
  int informative = 0;
  for (uint32_t a = 1; a <= A; ++a) {
    double mean = 0, ssq = 0;
    for (uint32_t r = 1; r <= P; ++r) mean += x[r][a] / P;
    for (uint32_t r = 1; r <= P; ++r) ssq += (x[r][a] - mean) * (x[r][a] - mean);
    const double s2 = ssq / (P - 1.0);  // variance of the frequencies between populations
    const double aComponent = (n * P - 1.0) / (P * (n - 1.0)) * s2 / 1.0 -
                              (mean * (1 - mean) - h[a] / 4) / (n - 1.0);
    const double total = mean * (1 - mean) + s2 / P;
    num += aComponent;
    den += total;
    if (total != 0) {
      rh += (1 - mean) * aComponent / total;
      ++informative;
    }
  }
  return {num / den, rh / (informative - 1)};
}

TEST(EstimateFst, AgreesWithAPlainComputationOnRandomSamples) {
  std::mt19937 random(2024);
  for (int trial = 0; trial < 40; ++trial) {
    const uint16_t P = static_cast<uint16_t>(2 + random() % 6);
    const uint16_t N = static_cast<uint16_t>(2 + random() % 30);
    const uint8_t A = static_cast<uint8_t>(2 + random() % 6);
    std::vector<GenotypeRecord> g;
    for (uint32_t p = 1; p <= P; ++p)
      for (uint32_t i = 0; i < N; ++i)
        g.push_back(G(static_cast<uint16_t>(p), static_cast<uint8_t>(1 + random() % A),
                      static_cast<uint8_t>(1 + random() % A)));
    Estimate e(P, N, A, g);
    e.Run();
    const Reference ref = SlowEstimates(P, N, A, g);
    const double wc = std::stod(e.text.substr(e.text.find("WC=") + 3, 11));
    const double rh = std::stod(e.text.substr(e.text.find("RH=") + 3, 11));
    EXPECT_NEAR(wc, ref.wc, 2e-7) << "trial " << trial;
    EXPECT_NEAR(rh, ref.rh, 2e-7) << "trial " << trial;
    EXPECT_NEAR(e.delta, ref.wc - ref.rh, 1e-5) << "trial " << trial;
  }
}

TEST(WriteResultHeader, FiveLinesNamingTheModel) {
  test::ScratchDir dir;
  SimulationParameters params;
  params.P = 10;
  params.N = 100;
  params.n = 50;
  params.m = 0.1;
  params.T = 100;
  params.A = 5;
  const std::string body =
      "10 islands of effective size 100, 50 individuals sampled per island.\r\n"
      "Migration rate 0.1000, number of generations : 100\r\n"
      "Number of alleles 5\r\n";
  const std::string first =
      "Output file : values of Fst : Weir&Cockerham, Robertson&Hill, and Delta=WC-RH\r\n";
  struct Case {
    uint8_t infinite;
    bool stepping;
    const char* line;
  };
  for (Case c : {Case{1, true, "Infinite island model"}, {0, true, "Stepping-stone"},
                 {0, false, "Finite island model"}}) {
    params.InfiniteIslandFlag = c.infinite;
    TextFile file;
    Assign(file, dir.File("header.txt"));
    OpenWrite(file);
    WriteResultHeader(params, c.stepping, file);
    CloseFile(file);
    CheckIO();
    EXPECT_EQ(test::ReadBytes(dir.File("header.txt")), first + c.line + "\r\n" + body);
  }
  params.m = 1.0;
  TextFile file;
  Assign(file, dir.File("header.txt"));
  OpenWrite(file);
  WriteResultHeader(params, false, file);
  CloseFile(file);
  CheckIO();
  EXPECT_NE(test::ReadBytes(dir.File("header.txt")).find("Migration rate 1.0000, "),
            std::string::npos);
}

}  // namespace
}  // namespace dw
