#include "engine/simulations.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/countsim.h"
#include "engine/drawplan.h"
#include "engine/estimators.h"
#include "engine/fitness.h"
#include "engine/model.h"
#include "engine/founding.h"
#include "engine/neutral.h"
#include "engine/reproduction.h"
#include "engine/sampling.h"
#include "engine/schedule.h"
#include "runtime/cpus.h"
#include "runtime/floatmode.h"
#include "runtime/memory.h"
#include "runtime/textfile.h"
#include "runtime/threadstart.h"

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
#ifndef NDEBUG
  // Founding and the sample take what the draw plan says, whichever path runs
  // (the start finder jumps over them by the plan).
  const DrawPlan plan = DrawPlanOf(params, false);  // founding and sample: any model
  const uint32_t beforeFounding = rng.RandomSeed;
#endif
  FoundGeneration(state, lookups, rng);
  assert(rng.RandomSeed == AdvanceState(beforeFounding, plan.foundingDraws));
  if (lookups.neutral && params.InfiniteIslandFlag)
    lookups.pool.Describe(state.MigrantPool.data(), params.A);
  for (uint32_t g = 1; g <= params.T; ++g) {
    SumTotalFitness(state);
    if (lookups.neutral)
      ReproduceNeutralGeneration(stepping, state, lookups.pool, rng);
    else
      ReproduceGeneration(stepping, state, rng);
    if (g == params.T) {
#ifndef NDEBUG
      const uint32_t beforeSample = rng.RandomSeed;
#endif
      DrawSample(params.P, params.n, params.N, rng, state.SampleMask, state.SampleIsComplement);
      assert(rng.RandomSeed == AdvanceState(beforeSample, plan.sampleDraws));
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

// The threads that help a parallel run's calling thread.
class HelperThreads {
 public:
  // Up to `count` threads running `body`; fewer if the system has no more to
  // give (the caller then does more itself).
  template <typename Body>
  void Start(uint32_t count, const Body& body) {
    for (uint32_t t = 0; t < count; ++t) {
      try {
        threads_.push_back(StartThread(body));
      } catch (const std::system_error&) {
        break;
      }
    }
  }

  // Sets the run's `stop` under its lock, wakes every waiter, and joins.
  template <typename Flag>
  void StopAndJoin(std::mutex& mutex, Flag& stop, std::condition_variable& changed) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stop = true;
    }
    changed.notify_all();
    for (std::thread& t : threads_)
      if (t.joinable()) t.join();
    threads_.clear();
  }

 private:
  std::vector<std::thread> threads_;
};

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

// The simulations of one run shared among threads: the mechanism around a
// ParallelSchedule (engine/schedule.h), which decides what each thread does.
// A thread asks it under the lock, does the work unlocked and reports it; the
// calling thread writes the sums in order, and works like the others while
// the one it waits for is not done.
class ParallelRun {
 public:
  // `draws`: the fixed draws per simulation, or empty to find the starts.
  ParallelRun(const EngineState& state, bool steppingStone, uint32_t start,
              std::optional<uint64_t> draws, uint32_t threads)
      : source_(state), steppingStone_(steppingStone), I_(state.params.I),
        schedule_(draws ? ParallelSchedule(I_) : FindingSchedule(I_, threads)),
        starts_(I_ + 2u), results_(I_ + 1u), done_(I_ + 1u, 0) {
    // starts_[s]: the state before simulation s; starts_[I + 1], after the last.
    starts_[1] = start;
    if (draws) {
      const StateJump perSimulation = JumpOfSteps(*draws);
      for (uint32_t s = 1; s <= I_; ++s) starts_[s + 1] = perSimulation.From(starts_[s]);
      return;
    }
    finder_.emplace(state.params, steppingStone, SlotsFor(threads), SlotsFor(threads) * kGroup);
  }
  ParallelRun(const ParallelRun&) = delete;
  ParallelRun& operator=(const ParallelRun&) = delete;
  ~ParallelRun() { StopAndJoin(); }

  // Starts up to `threads` threads besides the caller.
  void StartThreads(uint32_t threads) { helpers_.Start(threads, [this] { Help(); }); }

  // Simulation s done (by any thread), the caller working meanwhile; then its
  // result. The caller's tables are `own`.
  const SimulationResult& Await(uint32_t s, SimulationWorker& own) {
    WorkUntil(&own, [&] { return done_[s] != 0; });
    return results_[s];
  }

  // The state past simulation s.
  uint32_t StateAfter(uint32_t s, SimulationWorker& own) {
    WorkUntil(&own, [&] { return schedule_.KnowsStateAfter(s); });
    return starts_[s + 1];
  }

  void StopAndJoin() { helpers_.StopAndJoin(mutex_, stop_, changed_); }

 private:
  static constexpr uint32_t kGroup = StartFinder::kLanes;
  static constexpr uint32_t kMaxSlots = 8;

  // Enough slots for every thread to walk one while the groups before are
  // placed; a group is walked once the simulations are within a few groups
  // of it, so its guesses lie at most `slots` groups past a known start.
  static uint32_t SlotsFor(uint32_t threads) { return std::min<uint32_t>(threads + 1, kMaxSlots); }
  static ParallelSchedule FindingSchedule(uint32_t I, uint32_t threads) {
    return ParallelSchedule(I, kGroup, SlotsFor(threads), threads * kGroup);
  }

  const EngineState& source_;
  const bool steppingStone_;
  const uint32_t I_;
  // Guarded by mutex_ from here on, but for the finder's slots, each used by
  // the one thread the schedule gave it to.
  ParallelSchedule schedule_;
  std::vector<uint32_t> starts_;  // those the schedule knows
  std::vector<SimulationResult> results_;
  std::vector<uint8_t> done_;
  std::optional<StartFinder> finder_;
  std::atomic<bool> stop_{false};  // read by walks without the lock
  std::mutex mutex_;
  std::condition_variable changed_;
  HelperThreads helpers_;

  // Until `ready()`, under the lock: takes whatever step the schedule gives,
  // else waits for a change. `worker` null: no simulations.
  template <typename Ready>
  void WorkUntil(SimulationWorker* worker, Ready ready) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!ready() && !stop_) {
      const ScheduleStep step = schedule_.Next(worker != nullptr);
      if (step.kind == ScheduleStep::Kind::Wait)
        changed_.wait(lock);
      else
        Take(step, lock, worker);
    }
  }

  void Take(const ScheduleStep& step, std::unique_lock<std::mutex>& lock,
            SimulationWorker* worker) {
    const uint32_t s = step.simulation;
    switch (step.kind) {
      case ScheduleStep::Kind::Place: {
        const uint32_t start = starts_[s];
        lock.unlock();
        const uint32_t after = finder_->StateAfter(step.slot, s, start);
        lock.lock();
        starts_[s + 1] = after;
        schedule_.Placed(s);
        break;
      }
      case ScheduleStep::Kind::Walk: {
        const uint32_t referenceState = starts_[step.reference];
        lock.unlock();
        finder_->Walk(step.slot, s, step.count, step.reference, referenceState, &stop_);
        lock.lock();
        schedule_.Walked(step.slot);
        break;
      }
      case ScheduleStep::Kind::Run: {
        const uint32_t start = starts_[s];
        lock.unlock();
        SimulationResult result = worker->Run(start, steppingStone_);
        lock.lock();
        schedule_.Ran(s, result.fault != nullptr);
        results_[s] = std::move(result);
        done_[s] = 1;
        break;
      }
      case ScheduleStep::Kind::Wait:
        return;
    }
    changed_.notify_all();
  }

  void Help() {
    std::optional<SimulationWorker> worker;
    try {
      worker.emplace(source_);
    } catch (const std::bad_alloc&) {
      // No tables for simulations: it still finds starts.
    }
    WorkUntil(worker ? &*worker : nullptr, [this] { return schedule_.Finished(); });
  }
};

// `own` is the calling thread's worker.
SimulationsEnd RunInParallel(RunProgress* progress, uint32_t threads, bool steppingStone,
                             std::optional<uint64_t> draws, SimulationWorker& own,
                             EngineState& state, Random& rng) {
  const SimulationParameters& params = state.params;
  ParallelRun run(state, steppingStone, rng.RandomSeed, draws, threads);
  run.StartThreads(threads - 1);
  for (uint32_t s = 1; s <= params.I; ++s) {
    const SimulationResult& result = run.Await(s, own);
    // Where one thread would have left the generator: past simulation s.
    rng.RandomSeed = run.StateAfter(s, own);
    if (result.fault) std::rethrow_exception(result.fault);
    WriteFstLine(result.sums, params.ObservedDelta, s, state.ResultFile, TalliesOf(state));
    if (!Continue(progress, state, s)) return SimulationsEnd::Cancelled;
  }
  return SimulationsEnd::Finished;
}

CountNull CountNullOf(const EngineState& state, bool steppingStone) {
  const SimulationParameters& params = state.params;
  CountNull null;
  null.model = ModelOfRun(params.InfiniteIslandFlag != 0, steppingStone);
  null.P = params.P;
  null.N = params.N;
  null.T = params.T;
  null.A = params.A;
  null.n = params.n;
  null.m = params.m;
  null.start.reserve(static_cast<std::size_t>(params.P + 1u) * params.A);
  for (uint32_t r = 1; r <= params.P + 1u; ++r)
    for (uint32_t a = 1; a <= params.A; ++a) null.start.push_back(state.InitialFrequencies.At(r, a));
  return null;
}

// One count-level simulation, its fault kept for the writer.
SimulationResult RunCountSimulation(CountSimulator& simulator, uint32_t seed, uint32_t s,
                                    bool skipUndefined) {
  SimulationResult result;
  try {
    result.sums = simulator.SimulateSums(seed, s, skipUndefined);
  } catch (...) {
    result.fault = std::current_exception();
  }
  return result;
}

// The counts engine's simulations shared among threads: each simulation
// depends only on its number, so a thread takes the next number, runs it in
// its own simulator and leaves the sums; the caller writes them in order and
// runs simulations itself while the one it waits for is not done.
class ParallelCountRun {
 public:
  ParallelCountRun(const CountNull& null, uint32_t seed, uint32_t I, bool skipUndefined)
      : null_(null), seed_(seed), skipUndefined_(skipUndefined), results_(I + 1u),
        done_(I + 1u, 0), limit_(I) {}
  ParallelCountRun(const ParallelCountRun&) = delete;
  ParallelCountRun& operator=(const ParallelCountRun&) = delete;
  ~ParallelCountRun() { StopAndJoin(); }

  void StartThreads(uint32_t threads) { helpers_.Start(threads, [this] { Help(); }); }

  const SimulationResult& Await(uint32_t s, CountSimulator& own) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (done_[s] == 0) {
      if (!TryRun(lock, own)) changed_.wait(lock);
    }
    return results_[s];
  }

  void StopAndJoin() { helpers_.StopAndJoin(mutex_, stop_, changed_); }

 private:
  const CountNull& null_;
  const uint32_t seed_;
  const bool skipUndefined_;
  // Guarded by mutex_.
  std::vector<SimulationResult> results_;
  std::vector<uint8_t> done_;
  uint32_t next_ = 1;
  uint32_t limit_;  // no simulation above it is needed
  bool stop_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  HelperThreads helpers_;

  bool TryRun(std::unique_lock<std::mutex>& lock, CountSimulator& simulator) {
    if (stop_ || next_ > limit_) return false;
    const uint32_t s = next_++;
    lock.unlock();
    SimulationResult result = RunCountSimulation(simulator, seed_, s, skipUndefined_);
    lock.lock();
    // The simulations after a failed one are not needed: the run ends there.
    if (result.fault) limit_ = std::min(limit_, s);
    results_[s] = std::move(result);
    done_[s] = 1;
    changed_.notify_all();
    return true;
  }

  void Help() {
    std::optional<CountSimulator> simulator;
    try {
      simulator.emplace(null_);
    } catch (const std::bad_alloc&) {
      return;  // the others do its share
    }
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_ && next_ <= limit_) TryRun(lock, *simulator);
  }
};

}  // namespace

SimulationsEnd RunCountSimulations(RunProgress* progress, uint32_t threads, uint32_t seed,
                                   bool steppingStone, EngineState& state) {
  const SimulationParameters& params = state.params;
  if (threads == 0) threads = DefaultThreadCount();
  threads = std::max<uint32_t>(1, std::min<uint32_t>(threads, params.I));
  // Each thread's simulator holds P rows of counts and probabilities (and up
  // to 3 MB of transition tables): as many threads as half the memory
  // holds, more being granted under overcommit and killed once touched.
  const uint64_t perSimulator =
      uint64_t{params.P} * (params.A + 1u) * (4 * sizeof(uint32_t) + sizeof(double)) + (4u << 20);
  threads = static_cast<uint32_t>(
      std::max<uint64_t>(1, std::min<uint64_t>(threads, UsableMemoryBytes() / perSimulator / 2)));
  const CountNull null = CountNullOf(state, steppingStone);
  CountSimulator own(null);
  const bool skip = params.SkipUndefined != 0;
  std::optional<ParallelCountRun> run;
  if (threads > 1) {
    run.emplace(null, seed, params.I, skip);
    run->StartThreads(threads - 1);
  }
  for (uint32_t s = 1; s <= params.I; ++s) {
    SimulationResult serial;
    const SimulationResult& result =
        run ? run->Await(s, own) : (serial = RunCountSimulation(own, seed, s, skip));
    if (result.fault) std::rethrow_exception(result.fault);
    WriteFstLine(result.sums, params.ObservedDelta, s, state.ResultFile, TalliesOf(state));
    if (!Continue(progress, state, s)) return SimulationsEnd::Cancelled;
  }
  return SimulationsEnd::Finished;
}

uint32_t DefaultThreadCount() { return UsableCpuCount(); }

uint32_t ThreadsTheMemoryHolds(const SimulationParameters& params, uint64_t memoryBytes) {
  // Each thread runs in tables of its own beside the run's: with the usual
  // overcommit too many would be granted and the system would kill the run
  // once they are touched. Fewer threads give the same result.
  const uint64_t perSet = std::max<uint64_t>(1, TableBytes(params.P, params.N, params.A));
  const uint64_t sets = memoryBytes / perSet;
  return sets <= 2 ? 1u : static_cast<uint32_t>(std::min<uint64_t>(sets - 1, UINT32_MAX));
}

SimulationsEnd RunAllSimulations(RunForm& form, bool steppingStone, RunProgress* progress,
                                 uint32_t threads, EngineState& state, Random& rng) {
  if (threads == 0) threads = DefaultThreadCount();
  threads = std::min<uint32_t>(threads, state.params.I);
  threads = std::min(threads, ThreadsTheMemoryHolds(state.params, UsableMemoryBytes()));
  // The model is fixed at the start of a threaded run, so the form is not read again.
  if (threads > 1) {
    const auto draws = FixedDrawsPerSimulation(state.params, steppingStone);
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
