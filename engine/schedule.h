#pragma once
// The policy of a parallel run of the individual engine: which piece of work
// a thread takes next, answered from the run's bookkeeping alone. It holds no
// lock and starts no thread; the run (engine/simulations.cpp) asks it under
// its lock, does the work unlocked and tells it what was done, so every
// decision can be tested from a table of events on one thread.
//
// Simulations are numbered 1..I. Simulation s can run once its start is
// known; starts are known at once when every simulation takes the same draws,
// otherwise they are found a group of simulations at a time: a group's
// guesses are walked into a slot of the start finder (any thread, several at
// once), then its simulations are placed one after another, each from the
// true start of the one before (one thread at a time).
#include <cstdint>
#include <vector>

namespace dw {

struct ScheduleStep {
  enum class Kind { Wait, Place, Walk, Run };
  Kind kind = Kind::Wait;
  uint32_t simulation = 0;  // Place, Run: the simulation; Walk: the group's first
  uint32_t count = 0;       // Walk: the simulations of the group
  uint32_t slot = 0;        // Place, Walk: the start finder's slot
  uint32_t reference = 0;   // Walk: the simulation whose start the guesses are made from
};

class ParallelSchedule {
 public:
  // Every start is known from the outset.
  explicit ParallelSchedule(uint32_t I);
  // Starts found in groups of `group` simulations through `slots` slots; a
  // group is walked early only while its first simulation lies within
  // `lookahead` of the next one to run.
  ParallelSchedule(uint32_t I, uint32_t group, uint32_t slots, uint32_t lookahead);

  // The step to take next, taken: placing first (it frees slots and starts),
  // then a walk that is due, then a run (`canRun`: the thread has tables for
  // one), then any walk a slot is free for; Wait when none.
  ScheduleStep Next(bool canRun);

  // A Place, Walk or Run step done. `failed`: the simulation raised, so none
  // after it is needed.
  void Placed(uint32_t s);
  void Walked(uint32_t slot);
  void Ran(uint32_t s, bool failed);

  // Whether the start of simulation s + 1 (the state after s) is known.
  bool KnowsStateAfter(uint32_t s) const { return known_ > s; }
  // Nothing is left to run or place: a helper thread may end.
  bool Finished() const { return next_ > limit_ && known_ > limit_; }

 private:
  static constexpr uint32_t kFree = UINT32_MAX;

  bool Placeable() const;
  bool WalkDue(bool anyway) const;
  ScheduleStep TakePlace();
  ScheduleStep TakeWalk();
  uint32_t SlotOf(uint32_t group) const;
  void CheckInvariants() const;

  uint32_t I_;
  bool finding_ = false;     // the starts are found, not known
  uint32_t group_ = 1, lookahead_ = 0;
  uint32_t known_ = 1;       // the starts of 1..known_ are known
  uint32_t next_ = 1;        // the next simulation to run
  uint32_t limit_;           // no simulation above it is needed
  uint32_t nextGroup_ = 0;   // group g: simulations g·group + 1 …
  std::vector<uint32_t> slotGroup_;  // the group a slot is given to, or kFree
  std::vector<uint8_t> slotWalked_;  // its walk is done
  bool placing_ = false;             // a thread places simulations
};

}  // namespace dw
