#pragma once
// The simulations of a run, one after another or on several threads. Each
// simulation starts at a known place in the stream: (s − 1) times the draws
// per simulation when that number is fixed (found by jump-ahead), or, under
// the infinite island model, where a scout finds it from the draws that
// decide how many draws each gene copy takes. The lines, tallies and
// progress are taken in simulation order on the calling thread, so the run
// is the one a single thread makes.
#include <cstdint>
#include <optional>

#include "engine/rundriver.h"
#include "engine/state.h"
#include "runtime/random.h"

namespace dw {

// The draws every simulation of the run takes when that number does not
// depend on the draws: under the finite island model (three per gene copy,
// whether it stays or migrates), and under any model when m = 0 (no copy
// migrates: three) or m = 1 (every copy does: two from the migrant pool,
// four from a stepping-stone neighbour, three from a finite island). Founding
// takes 2·P·N and the sample P·k. Empty when the count varies.
std::optional<uint64_t> FixedDrawsPerSimulation(const SimulationParameters& params,
                                                bool steppingStone);

// The generator state after one simulation started from `start`, found from
// the draws that decide how many draws each gene copy takes (the migration
// draw: three to stay; two, four or three to migrate under the infinite
// island, stepping-stone and finite island models), without simulating.
uint32_t StateAfterSimulation(uint32_t start, const SimulationParameters& params,
                              bool steppingStone);

// One thread per core of the machine (1 when it cannot be told).
uint32_t DefaultThreadCount();

enum class SimulationsEnd { Finished, Cancelled };

// Runs simulations 1..I of a run whose frequencies are read, fitness table
// built and header written: each line goes to ResultFile (marked complete),
// then the tallies, then `progress` is told and asked whether to stop.
// `steppingStone` is the choice the header was written with. `threads`
// (0: DefaultThreadCount) is used under the infinite island model and where
// the draws per simulation are fixed; the choice given is then the one the
// simulations run with, since the threads cannot read the form, and the
// generator is left where a single thread would leave it. Otherwise (the
// stepping-stone model at 0 < m < 1) one thread runs them and the choice is
// read from the form at every reproduction. Errors of a simulation (float faults, file errors) surface
// as one thread raises them: the lines before it are written, none after.
SimulationsEnd RunAllSimulations(RunForm& form, bool steppingStone, RunProgress* progress,
                                 uint32_t threads, EngineState& state, Random& rng);

}  // namespace dw
