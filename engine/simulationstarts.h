#pragma once
// Where each simulation of a run begins in the generator's stream, so that
// simulations can run on several threads and give the run one thread makes.
//
// A gene copy takes the draws engine/drawplan.h gives it, told by its first
// draw alone. The copy after a copy is thus a function of the
// state: the walk "first state of a copy → first state of the next" depends
// on nothing else. Walks of that function started at different states of the
// stream meet within a few steps once they interleave, and from a common
// state on they are one walk (as in Kruskal's count). A simulation's end is
// found from a guessed start: the guessed walk is stepped through the whole
// simulation, many guesses at once, and when the true start is known a short
// walk from it to where it meets the guessed one tells exactly which state of
// the guessed walk ends the simulation.
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/state.h"
#include "runtime/random.h"

namespace dw {

// The draws every simulation of the run takes when that number does not
// depend on the draws (DrawPlan::FixedDrawsPerSimulation, engine/drawplan.h):
// under the finite island model, or where no copy migrates or every one does.
// Empty when the count varies.
std::optional<uint64_t> FixedDrawsPerSimulation(const SimulationParameters& params,
                                                bool steppingStone);

// The generator state after one simulation started from `start`, found from
// the draws that decide how many draws each gene copy takes, one copy after
// another, without simulating.
uint32_t StateAfterSimulation(uint32_t start, const SimulationParameters& params,
                              bool steppingStone);

// How the guessed walks are stepped together: in the widest vector registers
// the processor has, or in those of a given width, or in plain code. Each
// gives the same walks.
enum class LaneStepping { Widest, Vectors16, Vectors8, Plain };
// Whether this processor can step walks that way.
bool CanStepLanes(LaneStepping way);

// The starts of a run whose draws per simulation vary. Simulations are taken
// a group of up to kLanes consecutive ones at a time: Walk steps a guessed
// walk for each (all of them together) into one of the finder's slots, on any
// thread; StateAfter then turns the true start of one of them into the true
// state after it, exactly, whatever the guess was. Different slots may be
// walked on different threads at once; a slot is read only after its walk.
class StartFinder {
 public:
  static constexpr uint32_t kLanes = 32;
  // The draws a copy takes, told by its first state.
  struct Rule {
    uint32_t stay = 0;          // a copy stays (three draws) when its first state ≥ stay
    uint32_t migrantDraws = 0;  // 2 or 4 when it migrates
    StateJump stays, migrates;  // its first state to the next copy's
  };

  // `slots`: groups walked and not yet used up at any time. `farthest`: the
  // most simulations a guess lies beyond its reference (it sizes the slots;
  // guesses farther are found too, only slower).
  StartFinder(const SimulationParameters& params, bool steppingStone, uint32_t slots,
              uint32_t farthest, LaneStepping way = LaneStepping::Widest);

  // Guesses simulations first … first + count − 1 (count ≤ kLanes) from the
  // known start `reference` of simulation `referenceSimulation` ≤ first, and
  // walks them into `slot`. Returns early, the slot unusable, once `stop` is set.
  void Walk(uint32_t slot, uint32_t first, uint32_t count, uint32_t referenceSimulation,
            uint32_t reference, const std::atomic<bool>* stop = nullptr);

  // The generator state after simulation s of the group walked into `slot`,
  // which starts from state `start`.
  uint32_t StateAfter(uint32_t slot, uint32_t s, uint32_t start) const;

 private:
  struct Slot {
    uint32_t first = 0;
    uint32_t heads = 0;       // head checkpoints 0 … heads − 1, at copy k·kSpacing
    uint64_t tailFrom = 0;    // tail checkpoint k at copy tailFrom + k·kSpacing
    uint32_t tails = 0;
    std::vector<uint32_t> start;         // [lane]: the guessed walk's first state
    std::vector<uint32_t> headState;     // [k·kLanes + lane]
    std::vector<uint32_t> headDraws;     // [k·kLanes + lane]: draws from the first state
    std::vector<uint32_t> tailState;     // [k·kLanes + lane]
  };
  static constexpr uint32_t kSpacing = 64;  // copies between checkpoints

  // Copies from the guess that the checkpoints reach, for guesses `distance`
  // simulations past their reference.
  uint64_t Reach(uint32_t distance) const;
  uint32_t AfterCopies(uint32_t state, uint64_t copies) const;

  using StepLanes = void (*)(const Rule&, uint32_t* states, uint32_t* draws, uint64_t steps);
  StepLanes stepPlain_ = nullptr, stepCounting_ = nullptr;  // the draws left alone, or counted
  Rule rule_;
  StateJump founding_;      // a simulation's start to its first copy's first state
  StateJump sample_;        // the state after the copies' last one to the simulation's end
  uint64_t copies_ = 0;          // 2·P·N·T per simulation
  uint64_t foundingDraws_ = 0;   // 2·P·N
  uint64_t sampleDraws_ = 0;     // P·k
  long double expectedDraws_ = 0;  // per simulation
  long double spread_ = 0;         // standard deviation of the draws per simulation
  uint64_t reachRoom_ = 0;         // the farthest reach the slots hold
  std::vector<Slot> slots_;
};

// Starts of simulations 1 … count + 1 of a run from `start` (starts[0] =
// start, starts[s] the state after simulation s), found by a StartFinder on
// the calling thread, a group after another.
void FindSimulationStarts(uint32_t start, const SimulationParameters& params,
                          bool steppingStone, uint32_t count, std::vector<uint32_t>& starts,
                          LaneStepping way = LaneStepping::Widest);

}  // namespace dw
