#include "engine/simulations.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/estimators.h"
#include "engine/fitness.h"
#include "engine/founding.h"
#include "engine/neutral.h"
#include "engine/reproduction.h"
#include "engine/sampling.h"
#include "runtime/floatmode.h"
#include "runtime/textfile.h"

namespace dw {

namespace {

void SumTotalFitness(EngineState& state) {
  const SimulationParameters& params = state.params;
  state.TotalFitness = 0.0;
  for (uint32_t i = 1; i <= params.P; ++i)
    state.TotalFitness = static_cast<double>(static_cast<long double>(state.TotalFitness) +
                                             state.CumulativeFitness[LastOf(i, params.N)]);
}

// One generation through the general path: any fitness, any heterozygote
// rule. `stepping()` is the stepping-stone choice at each reproduction.
template <typename SteppingChoice>
void ReproduceGeneration(SteppingChoice& stepping, EngineState& state, Random& rng) {
  const SimulationParameters& params = state.params;
  const ParentTables parents{state.ParentGeneration, state.CumulativeFitness, state.MigrantPool,
                             state.FitnessTable};
  for (uint32_t i = 1; i <= params.P; ++i) {
    if (params.InfiniteIslandFlag)
      SelectMigrantPool(params.A, state.FitnessTable, params.HeterozygoteRule,
                        params.SelectionCoefficient, state.MigrantPool);
    ReproducePopulation(params, i, state.TotalFitness, stepping(), parents, rng,
                        state.OffspringGeneration, state.IndividualFitness);
  }
}

// The same generation when every genotype fitness is 1: the same draws in the
// same order through exact integer arithmetic. The pool moves only under
// selection, which is then described again before each population.
template <typename SteppingChoice>
void ReproduceNeutralGeneration(SteppingChoice& stepping, EngineState& state, AlleleLookup& pool,
                                Random& rng) {
  const SimulationParameters& params = state.params;
  for (uint32_t i = 1; i <= params.P; ++i) {
    if (params.InfiniteIslandFlag && params.SelectionCoefficient != 0.0) {
      SelectMigrantPool(params.A, state.FitnessTable, params.HeterozygoteRule,
                        params.SelectionCoefficient, state.MigrantPool);
      pool.Describe(state.MigrantPool.data(), params.A);
    }
    ReproduceNeutralPopulation(params, i, stepping(), state.ParentGeneration, pool, rng,
                               state.OffspringGeneration, state.IndividualFitness);
  }
}

// What the neutral path keeps from one simulation to the next: a lookup per
// population's frequency row (when there are few enough rows to keep one
// each) and one for the migrant pool. Rows and pool are restored alike at
// every simulation, so each is described once and then found unchanged.
struct NeutralLookups {
  static constexpr uint32_t kMaxRows = 1024;
  std::vector<AlleleLookup> rows;  // rows[1..P], or empty
  AlleleLookup pool;
  bool neutral = false;            // every genotype fitness is 1

  void Prepare(const EngineState& state) {
    const SimulationParameters& params = state.params;
    // The weights are fixed for the run, so is whether every genotype fitness is 1.
    neutral = IsNeutral(state.FitnessTable, params.A);
    if (neutral && params.P <= kMaxRows) rows.resize(params.P + 1u);
  }
};

void FoundGeneration(EngineState& state, NeutralLookups& lookups, Random& rng) {
  const SimulationParameters& params = state.params;
  if (!lookups.neutral || lookups.rows.empty()) {
    FoundPopulations(params, state.WorkingFrequencies, state.FitnessTable, rng,
                     state.ParentGeneration, state.CumulativeFitness, state.MigrantPool);
    return;
  }
  for (uint32_t c = 1; c <= params.P; ++c)
    lookups.rows[c].Describe(state.WorkingFrequencies.Row(c), params.A);
  FoundNeutralPopulations(params, state.WorkingFrequencies, lookups.rows.data(), rng,
                          state.ParentGeneration, state.CumulativeFitness, state.MigrantPool);
}

// One simulation up to its sample: `atSample()` runs at generation T, when
// OffspringGeneration holds the generation just produced and the sample is
// drawn, before the last PromoteOffspring.
template <typename SteppingChoice, typename AtSample>
void RunSimulation(SteppingChoice& stepping, EngineState& state, NeutralLookups& lookups,
                   Random& rng, AtSample atSample) {
  const SimulationParameters& params = state.params;
  RestoreFrequencies(state.InitialFrequencies, params.P + 1u, params.A, state.WorkingFrequencies);
  FoundGeneration(state, lookups, rng);
  if (lookups.neutral && params.InfiniteIslandFlag)
    lookups.pool.Describe(state.MigrantPool.data(), params.A);
  for (uint32_t g = 1; g <= params.T; ++g) {
    SumTotalFitness(state);
    if (lookups.neutral)
      ReproduceNeutralGeneration(stepping, state, lookups.pool, rng);
    else
      ReproduceGeneration(stepping, state, rng);
    if (g == params.T) {
      DrawSample(params.P, params.n, params.N, rng, state.SampleMask, state.SampleIsComplement);
      atSample();
    }
    if (lookups.neutral)
      PromoteNeutralOffspring(state.OffspringGeneration, params.N, params.P,
                              state.ParentGeneration, state.CumulativeFitness);
    else
      PromoteOffspring(state.OffspringGeneration, state.IndividualFitness, params.N, params.P,
                       state.ParentGeneration, state.CumulativeFitness);
  }
}

DeltaTallies TalliesOf(EngineState& state) {
  return DeltaTallies{state.DeltaSeries, state.DeltaAboveCount, state.DeltaMin, state.DeltaMax,
                      &state.WCSeries, &state.UndefinedCount};
}

// After simulation s: its line is whole; false when the run is to stop.
bool Continue(RunProgress* progress, EngineState& state, uint32_t s) {
  MarkComplete(state.ResultFile);
  if (progress == nullptr) return true;
  progress->SimulationFinished(s, state.params.I);
  return !progress->CancelRequested();
}

SimulationsEnd RunSerially(RunForm& form, RunProgress* progress, EngineState& state,
                           Random& rng) {
  const SimulationParameters& params = state.params;
  auto stepping = [&form] { return form.SteppingStoneSelected(); };
  NeutralLookups lookups;
  lookups.Prepare(state);
  for (uint32_t s = 1; s <= params.I; ++s) {
    RunSimulation(stepping, state, lookups, rng, [&] {
      EstimateFst(params, state.OffspringGeneration, state.SampleMask, state.SampleIsComplement,
                  s, state.WorkingFrequencies, state.ResultFile, TalliesOf(state));
    });
    if (!Continue(progress, state, s)) return SimulationsEnd::Cancelled;
  }
  return SimulationsEnd::Finished;
}

// What one simulation hands from the thread that ran it to the writer.
struct SimulationResult {
  FstSums sums;
  std::exception_ptr fault;  // raised before anything of its line was written
};

// A thread's own tables, built from the run's: founding restores the
// working frequencies from the initial ones at every simulation. Built
// before the thread's first simulation, so nothing is allocated in the loop.
class SimulationWorker {
 public:
  explicit SimulationWorker(const EngineState& source) {
    const SimulationParameters& params = source.params;
    state_.params = params;
    state_.SizeTables(params.P, params.N, params.A);
    state_.InitialFrequencies = source.InitialFrequencies;
    state_.FitnessTable = source.FitnessTable;
    lookups_.Prepare(state_);
  }

  // Simulation from generator state `start` up to its sums.
  SimulationResult Run(uint32_t start, bool steppingStone) {
    SimulationResult result;
    Random rng;
    rng.RandomSeed = start;
    auto stepping = [steppingStone] { return steppingStone; };
    try {
      RunSimulation(stepping, state_, lookups_, rng, [&] {
        result.sums = SumFstTerms(state_.params, state_.OffspringGeneration, state_.SampleMask,
                                  state_.SampleIsComplement, state_.WorkingFrequencies);
      });
    } catch (...) {
      result.fault = std::current_exception();
    }
    return result;
  }

 private:
  EngineState state_;
  NeutralLookups lookups_;
};

// The simulations of one run shared among threads. Each thread takes the
// next simulation number, runs it from its place in the stream in tables of
// its own, and leaves the sums; the calling thread writes them in order, and
// runs simulations itself while the one it waits for is not done. The places
// are known at once when every simulation takes the same number of draws;
// otherwise a scout thread finds them one after another, each from the one
// before, by replaying only the draws that decide how many draws follow.
class ParallelRun {
 public:
  // `draws`: the fixed draws per simulation, or empty to scout.
  ParallelRun(const EngineState& state, bool steppingStone, uint32_t start,
              std::optional<uint64_t> draws)
      : source_(state), steppingStone_(steppingStone), I_(state.params.I),
        starts_(I_ + 2u), results_(I_ + 1u), done_(I_ + 1u, 0), limit_(I_) {
    // starts_[s]: the state before simulation s; starts_[I + 1], after the last.
    starts_[1] = start;
    if (draws) {
      const StateJump perSimulation = JumpOfSteps(*draws);
      for (uint32_t s = 1; s <= I_; ++s) starts_[s + 1] = perSimulation.From(starts_[s]);
      known_ = I_ + 1;
    }
  }
  ParallelRun(const ParallelRun&) = delete;
  ParallelRun& operator=(const ParallelRun&) = delete;
  ~ParallelRun() { StopAndJoin(); }

  // Starts up to `threads` threads besides the caller, the scout first when
  // the places are to be found; fewer if the system has no more to give (the
  // caller then scouts itself as it goes).
  void StartThreads(uint32_t threads) {
    // Set before any thread reads it; no thread runs if the scout cannot start.
    scouted_ = known_ <= I_ && threads != 0;
    for (uint32_t t = 0; t < threads; ++t) {
      const bool scout = t == 0 && scouted_;
      try {
        threads_.emplace_back([this, scout] { Help(scout); });
      } catch (const std::system_error&) {
        if (t == 0) scouted_ = false;
        break;
      }
    }
  }

  // Simulation s done (by any thread), the caller running others meanwhile;
  // then its result. The caller's tables are `own`.
  const SimulationResult& Await(uint32_t s, SimulationWorker& own);

  // The state past simulation s.
  uint32_t StateAfter(uint32_t s) {
    AwaitStart(s + 1);
    return starts_[s + 1];
  }

  void StopAndJoin() {
    LowerLimit(0);
    for (std::thread& t : threads_)
      if (t.joinable()) t.join();
    threads_.clear();
  }

 private:
  const EngineState& source_;
  const bool steppingStone_;
  const uint32_t I_;
  std::vector<uint32_t> starts_;  // [1..known_] are known; guarded by mutex_
  std::vector<SimulationResult> results_;
  std::vector<uint8_t> done_;  // guarded by mutex_
  uint32_t known_ = 1;         // guarded by mutex_
  bool scouted_ = false;       // a scout thread runs; set before the threads start
  std::atomic<uint32_t> next_{1};
  std::atomic<uint32_t> limit_;  // no simulation above it is needed any more
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::thread> threads_;

  void LowerLimit(uint32_t s) {
    uint32_t limit = limit_.load();
    while (s < limit && !limit_.compare_exchange_weak(limit, s)) {
    }
    std::lock_guard<std::mutex> lock(mutex_);
    changed_.notify_all();
  }

  // The place of simulation k known (k ≤ I + 1); false when the run stopped
  // short of needing it.
  bool AwaitStart(uint32_t k) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!scouted_) {
      // No scout thread: find the places here, in order.
      while (known_ < k) {
        const uint32_t from = starts_[known_];
        lock.unlock();
        const uint32_t after = StateAfterSimulation(from, source_.params, steppingStone_);
        lock.lock();
        starts_[known_ + 1] = after;
        ++known_;
      }
      return true;
    }
    changed_.wait(lock, [&] { return known_ >= k || k > limit_.load() + 1; });
    return known_ >= k;
  }

  void Scout() {
    for (uint32_t s = 1; s <= I_ && s <= limit_.load(); ++s) {
      uint32_t from;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        from = starts_[s];
      }
      const uint32_t after = StateAfterSimulation(from, source_.params, steppingStone_);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        starts_[s + 1] = after;
        known_ = s + 1;
      }
      changed_.notify_all();
    }
  }

  // Runs the next simulation not yet taken; false when none is left.
  bool RunNext(SimulationWorker& worker) {
    const uint32_t s = next_.fetch_add(1);
    if (s > limit_.load() || !AwaitStart(s)) return false;
    uint32_t start;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      start = starts_[s];
    }
    SimulationResult result = worker.Run(start, steppingStone_);
    // The simulations after a failed one are not needed: the run ends there.
    if (result.fault) LowerLimit(s);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      results_[s] = std::move(result);
      done_[s] = 1;
    }
    changed_.notify_all();
    return true;
  }

  void Help(bool scout) {
    // Each thread has its own float mode (the x87 control word is per thread).
    EstablishFloatErrorMode();
    if (scout) Scout();
    std::optional<SimulationWorker> worker;
    try {
      worker.emplace(source_);
    } catch (const std::bad_alloc&) {
      return;  // the other threads do its share
    }
    while (RunNext(*worker)) {
    }
  }
};

const SimulationResult& ParallelRun::Await(uint32_t s, SimulationWorker& own) {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (done_[s]) return results_[s];
    }
    if (RunNext(own)) continue;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return done_[s] != 0; });
    return results_[s];
  }
}

// `own` is the calling thread's worker.
SimulationsEnd RunInParallel(RunProgress* progress, uint32_t threads, bool steppingStone,
                             std::optional<uint64_t> draws, SimulationWorker& own,
                             EngineState& state, Random& rng) {
  const SimulationParameters& params = state.params;
  ParallelRun run(state, steppingStone, rng.RandomSeed, draws);
  run.StartThreads(threads - 1);
  for (uint32_t s = 1; s <= params.I; ++s) {
    const SimulationResult& result = run.Await(s, own);
    // Where one thread would have left the generator: past simulation s.
    rng.RandomSeed = run.StateAfter(s);
    if (result.fault) std::rethrow_exception(result.fault);
    WriteFstLine(result.sums, params.ObservedDelta, s, state.ResultFile, TalliesOf(state));
    if (!Continue(progress, state, s)) return SimulationsEnd::Cancelled;
  }
  return SimulationsEnd::Finished;
}

}  // namespace

std::optional<uint64_t> FixedDrawsPerSimulation(const SimulationParameters& params,
                                                bool steppingStone) {
  // A draw is never 1 or more, so u ≥ m always holds for m = 0 and never for m = 1.
  uint64_t perCopy;
  if (params.m == 0.0)
    perCopy = 3;
  else if (params.InfiniteIslandFlag)
    perCopy = params.m == 1.0 ? 2 : 0;
  else if (steppingStone)
    perCopy = params.m == 1.0 ? 4 : 0;
  else
    perCopy = 3;
  if (perCopy == 0) return std::nullopt;
  const uint64_t P = params.P, N = params.N, copies = 2 * P * N;
  const uint64_t k = static_cast<long double>(N) / 2.0L >= params.n ? params.n : N - params.n;
  return copies + params.T * copies * perCopy + P * k;
}

namespace {

// a when state ≥ threshold, b otherwise, by a conditional move on the
// comparison's flags: the comparison is a coin weighted by m, which a branch
// would mispredict, and this keeps the chain from state to result short.
inline uint32_t SelectAtLeast(uint32_t state, uint64_t threshold, uint32_t a, uint32_t b) {
#if defined(__x86_64__)
  __asm__("cmp %2, %1\n\tcmovae %3, %0"
          : "+r"(b)
          : "r"(uint64_t{state}), "r"(threshold), "r"(a)
          : "cc");
  return b;
#else
  return state >= threshold ? a : b;
#endif
}

}  // namespace

uint32_t StateAfterSimulation(uint32_t start, const SimulationParameters& params,
                              bool steppingStone) {
  const uint64_t P = params.P, N = params.N, copies = 2 * P * N;
  const uint64_t k = static_cast<long double>(N) / 2.0L >= params.n ? params.n : N - params.n;
  // A copy stays when its first draw u ≥ m, that is state ≥ ⌈m·2^32⌉ (exact);
  // it then takes 3 draws, else M.
  const uint64_t stay = static_cast<uint64_t>(std::ceil(params.m * 0x1p32));
  const uint64_t M = params.InfiniteIslandFlag ? 2 : steppingStone ? 4 : 3;
  const StateJump stays = JumpOfSteps(3), migrates = JumpOfSteps(M);
  const StateJump bothStay = JumpOfSteps(6), oneStays = JumpOfSteps(3 + M),
                  noneStays = JumpOfSteps(2 * M);
  // `draw`: the state of the next copy's first draw. Copies are taken two at
  // a time (their count 2·P·N·T is even), the second copy's first draw and
  // the next pair's formed at once from the first's, so the chain from pair
  // to pair is one multiply-add and three conditional moves.
  uint32_t draw = JumpOfSteps(copies + 1).From(start);  // past founding
  for (uint64_t pairs = copies * params.T / 2; pairs != 0; --pairs) {
    const uint32_t second = SelectAtLeast(draw, stay, stays.From(draw), migrates.From(draw));
    const uint32_t ifOne = oneStays.From(draw);
    const uint32_t ifFirstStays = SelectAtLeast(second, stay, bothStay.From(draw), ifOne);
    const uint32_t ifFirstMigrates = SelectAtLeast(second, stay, ifOne, noneStays.From(draw));
    draw = SelectAtLeast(draw, stay, ifFirstStays, ifFirstMigrates);
  }
  const uint32_t afterCopies = JumpOfSteps((uint64_t{1} << 32) - 1).From(draw);
  return JumpOfSteps(P * k).From(afterCopies);  // the sample
}

uint32_t DefaultThreadCount() { return std::max(1u, std::thread::hardware_concurrency()); }

SimulationsEnd RunAllSimulations(RunForm& form, bool steppingStone, RunProgress* progress,
                                 uint32_t threads, EngineState& state, Random& rng) {
  if (threads == 0) threads = DefaultThreadCount();
  threads = std::min<uint32_t>(threads, state.params.I);
  const auto draws = FixedDrawsPerSimulation(state.params, steppingStone);
  // The infinite island's places are scouted; the model is fixed at the
  // start of the run, so the form is not read again.
  if (threads > 1 && (draws || state.params.InfiniteIslandFlag)) {
    std::optional<SimulationWorker> own;
    try {
      own.emplace(state);
    } catch (const std::bad_alloc&) {
      // No room for a second set of tables: one thread in the run's own.
    }
    if (own) return RunInParallel(progress, threads, steppingStone, draws, *own, state, rng);
  }
  return RunSerially(form, progress, state, rng);
}

}  // namespace dw
