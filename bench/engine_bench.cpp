// Speed of the engine, under each migration model: the default workload
// (P = 10, N = 100, A = 5, T = 100, n = 50, m = 0.1) per gene copy on one
// thread; the default run of 1000 simulations on one thread, two and every
// core; populations of 5000; finding where simulations start, by replay and
// by coalescing walks, per gene copy; and the generator per draw.
// Times only; asserts nothing.
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/rundriver.h"
#include "engine/simulations.h"

namespace {

enum class Model { Infinite, Finite, Stepping };

struct Workload {
  Model model = Model::Infinite;
  int32_t N = 100, n = 50, T = 100, I = 10;
  uint32_t threads = 1;  // 0: one per core
};

struct BenchForm : dw::RunForm {
  Workload w;
  int32_t Populations() override { return 10; }
  int32_t PopulationSize() override { return w.N; }
  int32_t Generations() override { return w.T; }
  int32_t Alleles() override { return 5; }
  int32_t SampleSize() override { return w.n; }
  int32_t Simulations() override { return w.I; }
  std::string MigrationRateText() override { return "0.1"; }
  std::string ObservedDeltaText() override { return "0.005"; }
  bool InfiniteIslandSelected() override { return w.model == Model::Infinite; }
  bool SteppingStoneSelected() override { return w.model == Model::Stepping; }
  std::string InputFileName() override { return DW_SOURCE_DIR "/examples/freqini.txt"; }
  std::string ResultFileName() override { return "/dev/null"; }
};

struct Quiet : dw::MessageSink {
  void ShowInfoMessage(const std::string&) override {}
};

// Whole runs through the driver, as `driftwise run` makes them; a gene copy
// is one of the 2·P·N drawn per generation.
void RunWorkload(benchmark::State& bench, Workload w) {
  BenchForm form;
  form.w = w;
  Quiet quiet;
  dw::RecordedHistogram histogram;
  dw::FixedSeed seed(12345);
  dw::RunServices services{quiet, histogram, seed, dw::NumberMarks{}, nullptr, w.threads};
  static dw::EngineState state;
  dw::Random rng;
  for (auto _ : bench) dw::RunNeutralityTest(form, services, state, rng);
  const double copies = 2.0 * 10 * w.N * w.T * w.I * static_cast<double>(bench.iterations());
  bench.SetItemsProcessed(static_cast<int64_t>(copies));
  bench.counters["ns_per_gene_copy"] =  // seconds per copy, shown with its prefix (ns)
      benchmark::Counter(copies, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  bench.counters["simulations"] = benchmark::Counter(
      static_cast<double>(bench.iterations()) * w.I, benchmark::Counter::kIsRate);
}

void BM_DefaultWorkloadInfiniteIsland(benchmark::State& s) { RunWorkload(s, {Model::Infinite}); }
void BM_DefaultWorkloadFiniteIsland(benchmark::State& s) { RunWorkload(s, {Model::Finite}); }
void BM_DefaultWorkloadSteppingStone(benchmark::State& s) { RunWorkload(s, {Model::Stepping}); }
BENCHMARK(BM_DefaultWorkloadInfiniteIsland)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DefaultWorkloadFiniteIsland)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DefaultWorkloadSteppingStone)->Unit(benchmark::kMillisecond);

// The default run whole, 1000 simulations (2·10^8 gene copies), under each
// model on one thread, two, and one per core (argument 0); the result is the
// same for every count.
void BM_DefaultRun(benchmark::State& s, Model model) {
  RunWorkload(s, {model, 100, 50, 100, 1000, static_cast<uint32_t>(s.range(0))});
}
BENCHMARK_CAPTURE(BM_DefaultRun, InfiniteIsland, Model::Infinite)
    ->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(BM_DefaultRun, FiniteIsland, Model::Finite)
    ->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(BM_DefaultRun, SteppingStone, Model::Stepping)
    ->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Populations of 5000 (n = 2500, the most sampling draws), 10 generations.
void BM_LargePopulationInfiniteIsland(benchmark::State& s) {
  RunWorkload(s, {Model::Infinite, 5000, 2500, 10, 2});
}
void BM_LargePopulationFiniteIsland(benchmark::State& s) {
  RunWorkload(s, {Model::Finite, 5000, 2500, 10, 2});
}
void BM_LargePopulationSteppingStone(benchmark::State& s) {
  RunWorkload(s, {Model::Stepping, 5000, 2500, 10, 2});
}
BENCHMARK(BM_LargePopulationInfiniteIsland)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargePopulationFiniteIsland)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargePopulationSteppingStone)->Unit(benchmark::kMillisecond);

// Finding where simulations start, per gene copy of the default workload, to
// set against a simulated copy (the finite island needs no finding: its
// simulations all take the same number of draws).
dw::SimulationParameters DefaultParameters(Model model) {
  dw::SimulationParameters params;
  params.P = 10;
  params.N = 100;
  params.T = 100;
  params.n = 50;
  params.m = 0.1;
  params.InfiniteIslandFlag = model == Model::Infinite;
  return params;
}
constexpr double kCopiesPerSimulation = 2.0 * 10 * 100 * 100;

void ReportPerCopy(benchmark::State& bench, double simulations) {
  const double copies = kCopiesPerSimulation * simulations;
  bench.counters["ns_per_gene_copy"] =
      benchmark::Counter(copies, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// One simulation after another, each from the end of the one before, the
// way a single walk must: its latency is the cost.
void BM_StartsByReplay(benchmark::State& bench, Model model) {
  const dw::SimulationParameters params = DefaultParameters(model);
  uint32_t state = 12345;
  for (auto _ : bench) {
    state = dw::StateAfterSimulation(state, params, model == Model::Stepping);
    benchmark::DoNotOptimize(state);
  }
  ReportPerCopy(bench, static_cast<double>(bench.iterations()));
}
BENCHMARK_CAPTURE(BM_StartsByReplay, InfiniteIsland, Model::Infinite)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StartsByReplay, SteppingStone, Model::Stepping)
    ->Unit(benchmark::kMicrosecond);

// The starts of 256 simulations on one thread by the coalescing walks: the
// guessed walks, stepped together, and the placing of each simulation.
void BM_StartsByCoalescence(benchmark::State& bench, Model model) {
  const dw::SimulationParameters params = DefaultParameters(model);
  std::vector<uint32_t> starts;
  uint32_t state = 12345;
  for (auto _ : bench) {
    dw::FindSimulationStarts(state, params, model == Model::Stepping, 256, starts);
    state = starts.back();
  }
  ReportPerCopy(bench, 256.0 * static_cast<double>(bench.iterations()));
}
BENCHMARK_CAPTURE(BM_StartsByCoalescence, InfiniteIsland, Model::Infinite)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StartsByCoalescence, SteppingStone, Model::Stepping)
    ->Unit(benchmark::kMillisecond);

// Of that, the part no second thread can share: placing each simulation of
// a walked group from the true start of the one before.
void BM_StartsPlacing(benchmark::State& bench, Model model) {
  const dw::SimulationParameters params = DefaultParameters(model);
  const bool stepping = model == Model::Stepping;
  constexpr uint32_t kGroup = dw::StartFinder::kLanes;
  std::vector<uint32_t> starts;
  dw::FindSimulationStarts(12345, params, stepping, kGroup, starts);
  dw::StartFinder finder(params, stepping, 1, kGroup);
  finder.Walk(0, 1, kGroup, 1, starts[0]);
  for (auto _ : bench)
    for (uint32_t s = 1; s <= kGroup; ++s)
      benchmark::DoNotOptimize(finder.StateAfter(0, s, starts[s - 1]));
  ReportPerCopy(bench, double{kGroup} * static_cast<double>(bench.iterations()));
}
BENCHMARK_CAPTURE(BM_StartsPlacing, InfiniteIsland, Model::Infinite)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StartsPlacing, SteppingStone, Model::Stepping)
    ->Unit(benchmark::kMicrosecond);

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
