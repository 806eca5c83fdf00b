// Speed of the engine: the default workload (P = 10, N = 100, A = 5, T = 100,
// n = 50, m = 0.1) under each migration model, per simulation and per gene
// copy, and the generator per draw. Times only; asserts nothing.
#include <benchmark/benchmark.h>

#include "engine/rundriver.h"

namespace {

struct BenchForm : dw::RunForm {
  int32_t I = 10;
  bool infinite = true, stepping = false;
  int32_t Populations() override { return 10; }
  int32_t PopulationSize() override { return 100; }
  int32_t Generations() override { return 100; }
  int32_t Alleles() override { return 5; }
  int32_t SampleSize() override { return 50; }
  int32_t Simulations() override { return I; }
  std::string MigrationRateText() override { return "0.1"; }
  std::string ObservedDeltaText() override { return "0.005"; }
  bool InfiniteIslandSelected() override { return infinite; }
  bool SteppingStoneSelected() override { return stepping; }
  std::string InputFileName() override { return DW_SOURCE_DIR "/examples/freqini.txt"; }
  std::string ResultFileName() override { return "/dev/null"; }
};

struct Quiet : dw::MessageSink {
  void ShowInfoMessage(const std::string&) override {}
};

void RunModel(benchmark::State& bench, bool infinite, bool stepping) {
  BenchForm form;
  form.infinite = infinite;
  form.stepping = stepping;
  Quiet quiet;
  dw::RecordedHistogram histogram;
  dw::FixedSeed seed(12345);
  dw::RunServices services{quiet, histogram, seed, dw::NumberMarks{}, nullptr};
  static dw::EngineState state;
  dw::Random rng;
  for (auto _ : bench) dw::RunNeutralityTest(form, services, state, rng);
  const double copies = 2.0 * 10 * 100 * 100;  // per simulation: 2·P·N gene copies × T
  bench.SetItemsProcessed(static_cast<int64_t>(bench.iterations()) * form.I * copies);
  bench.counters["ns_per_gene_copy"] = benchmark::Counter(
      static_cast<double>(bench.iterations()) * form.I * copies,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  bench.counters["simulations"] = benchmark::Counter(
      static_cast<double>(bench.iterations()) * form.I, benchmark::Counter::kIsRate);
}

void BM_DefaultWorkloadInfiniteIsland(benchmark::State& s) { RunModel(s, true, false); }
void BM_DefaultWorkloadFiniteIsland(benchmark::State& s) { RunModel(s, false, false); }
void BM_DefaultWorkloadSteppingStone(benchmark::State& s) { RunModel(s, false, true); }
BENCHMARK(BM_DefaultWorkloadInfiniteIsland)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DefaultWorkloadFiniteIsland)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DefaultWorkloadSteppingStone)->Unit(benchmark::kMillisecond);

void BM_NextUniform(benchmark::State& bench) {
  dw::Random rng;
  long double sum = 0;
  for (auto _ : bench) {
    sum += rng.NextUniform();
    benchmark::DoNotOptimize(sum);
  }
  bench.SetItemsProcessed(static_cast<int64_t>(bench.iterations()));
}
BENCHMARK(BM_NextUniform);

}  // namespace

BENCHMARK_MAIN();
