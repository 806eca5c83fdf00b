#pragma once
// The simulations of a run, one after another or on several threads. Each
// simulation starts at a known place in the stream: (s − 1) times the draws
// per simulation when that number is fixed (found by jump-ahead), or, where
// it varies, where the walks of engine/simulationstarts.h find it. The lines,
// tallies and progress are taken in simulation order on the calling thread,
// so the run is the one a single thread makes.
#include <cstdint>

#include "engine/rundriver.h"
#include "engine/simulationstarts.h"
#include "engine/state.h"
#include "runtime/random.h"

namespace dw {

// One thread per CPU the process may use (runtime/cpus.h): its affinity
// mask and its control group's quota, not the machine's cores.
uint32_t DefaultThreadCount();

// The most threads whose tables, one set each beside the run's own, fit into
// `memoryBytes` (at least 1).
uint32_t ThreadsTheMemoryHolds(const SimulationParameters& params, uint64_t memoryBytes);

enum class SimulationsEnd { Finished, Cancelled };

// Runs simulations 1..I of a run whose frequencies are read, fitness table
// built and header written: each line goes to ResultFile (marked complete),
// then the tallies, then `progress` is told and asked whether to stop.
// `steppingStone` is the choice the header was written with. On more than one
// of `threads` (0: DefaultThreadCount) the simulations run with that choice,
// since the threads cannot read the form, and the generator is left where a
// single thread would leave it; on one thread the choice is read from the form
// at every reproduction. Errors of a simulation (float faults, file errors)
// surface as one thread raises them: the lines before it are written, none after.
SimulationsEnd RunAllSimulations(RunForm& form, bool steppingStone, RunProgress* progress,
                                 uint32_t threads, EngineState& state, Random& rng);

// The counts engine's simulations 1..I of such a run: simulation s is
// CountSimulator::Simulate(seed, s), so the generator is not advanced and
// every thread count gives the same lines. The lines, tallies and progress
// are taken in order on the calling thread, as above; `threads` as above.
SimulationsEnd RunCountSimulations(RunProgress* progress, uint32_t threads, uint32_t seed,
                                   bool steppingStone, EngineState& state);

}  // namespace dw
