// The two engines side by side, time per simulation on one thread, through
// the run driver as `driftwise run --engine …` makes them: a SNP-like null
// (P = 10, N = 100, A = 2, n = 30, T = 100, m = 0.1, infinite island) and a
// microsatellite-like one (the same with A = 10). Times only; asserts nothing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/rundriver.h"

namespace {

struct NullForm : dw::RunForm {
  int32_t A = 2, I = 50;
  std::string input;
  int32_t Populations() override { return 10; }
  int32_t PopulationSize() override { return 100; }
  int32_t Generations() override { return 100; }
  int32_t Alleles() override { return A; }
  int32_t SampleSize() override { return 30; }
  int32_t Simulations() override { return I; }
  std::string MigrationRateText() override { return "0.1"; }
  std::string ObservedDeltaText() override { return "0.005"; }
  bool InfiniteIslandSelected() override { return true; }
  bool SteppingStoneSelected() override { return false; }
  std::string InputFileName() override { return input; }
  std::string ResultFileName() override { return "/dev/null"; }
};

struct Quiet : dw::MessageSink {
  void ShowInfoMessage(const std::string&) override {}
};

// Eleven rows of A equal frequencies (the sum is exact for A = 2 and 10).
std::string EqualFrequencies(int32_t A) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("driftwise-bench-a" + std::to_string(A) + ".txt"))
                               .string();
  std::ofstream out(path);
  for (int r = 0; r < 11; ++r) {
    for (int a = 0; a < A; ++a) out << (a ? " " : "") << 1.0 / A;
    out << "\n";
  }
  return path;
}

void RunNull(benchmark::State& bench, dw::EngineKind engine, int32_t A) {
  NullForm form;
  form.A = A;
  form.input = EqualFrequencies(A);
  Quiet quiet;
  dw::RecordedHistogram histogram;
  dw::FixedSeed seed(12345);
  // Undefined simulations skipped, as a scan runs them.
  dw::RunServices services{quiet, histogram, seed, dw::NumberMarks{}, nullptr, 1, true, engine};
  static dw::EngineState state;
  dw::Random rng;
  for (auto _ : bench) dw::RunNeutralityTest(form, services, state, rng);
  // Seconds per simulation, shown with its prefix (u: microseconds).
  bench.counters["per_simulation"] = benchmark::Counter(
      form.I, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_SnpNull(benchmark::State& s, dw::EngineKind engine) { RunNull(s, engine, 2); }
void BM_MicrosatelliteNull(benchmark::State& s, dw::EngineKind engine) { RunNull(s, engine, 10); }

BENCHMARK_CAPTURE(BM_SnpNull, Individuals, dw::EngineKind::Individuals)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SnpNull, Counts, dw::EngineKind::Counts)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MicrosatelliteNull, Individuals, dw::EngineKind::Individuals)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MicrosatelliteNull, Counts, dw::EngineKind::Counts)
    ->Unit(benchmark::kMillisecond);

}  // namespace
