#include "engine/schedule.h"

#include <algorithm>
#include <cassert>

namespace dw {

ParallelSchedule::ParallelSchedule(uint32_t I) : I_(I), known_(I + 1), limit_(I) {}

ParallelSchedule::ParallelSchedule(uint32_t I, uint32_t group, uint32_t slots,
                                   uint32_t lookahead)
    : I_(I), finding_(true), group_(group), lookahead_(lookahead), limit_(I),
      slotGroup_(slots, kFree), slotWalked_(slots, 0) {
  assert(group >= 1 && slots >= 1);
}

uint32_t ParallelSchedule::SlotOf(uint32_t group) const {
  return group % static_cast<uint32_t>(slotGroup_.size());
}

// The first simulation not yet placed can be: its group is walked.
bool ParallelSchedule::Placeable() const {
  if (!finding_ || placing_ || known_ > limit_) return false;
  const uint32_t group = (known_ - 1) / group_, slot = SlotOf(group);
  return slotGroup_[slot] == group && slotWalked_[slot] != 0;
}

// The next group can be walked: its slot is free, and its simulations are
// near the next one to run (or, `anyway`, whatever their distance).
bool ParallelSchedule::WalkDue(bool anyway) const {
  if (!finding_) return false;
  const uint32_t first = nextGroup_ * group_ + 1;
  if (first > limit_ || slotGroup_[SlotOf(nextGroup_)] != kFree) return false;
  return anyway || first <= next_ + lookahead_;
}

ScheduleStep ParallelSchedule::Next(bool canRun) {
  CheckInvariants();
  if (Placeable()) return TakePlace();
  if (WalkDue(false)) return TakeWalk();
  if (canRun && next_ <= limit_ && next_ <= known_) {
    ScheduleStep step;
    step.kind = ScheduleStep::Kind::Run;
    step.simulation = next_++;
    return step;
  }
  if (WalkDue(true)) return TakeWalk();
  return ScheduleStep{};
}

ScheduleStep ParallelSchedule::TakePlace() {
  placing_ = true;
  ScheduleStep step;
  step.kind = ScheduleStep::Kind::Place;
  step.simulation = known_;
  step.slot = SlotOf((known_ - 1) / group_);
  return step;
}

ScheduleStep ParallelSchedule::TakeWalk() {
  const uint32_t first = nextGroup_ * group_ + 1, slot = SlotOf(nextGroup_);
  slotGroup_[slot] = nextGroup_++;
  ScheduleStep step;
  step.kind = ScheduleStep::Kind::Walk;
  step.simulation = first;
  step.count = std::min(group_, I_ - first + 1);
  step.slot = slot;
  // Guesses are made from the last known start, which lies before the group:
  // every simulation placed belongs to a group walked earlier.
  step.reference = known_;
  assert(step.reference <= first);
  return step;
}

void ParallelSchedule::Placed(uint32_t s) {
  // s may lie past the limit by now: a failure can lower it while s is placed.
  assert(placing_ && s == known_);
  known_ = s + 1;
  if (s % group_ == 0 || s == I_) {  // the group is used up
    const uint32_t slot = SlotOf((s - 1) / group_);
    slotGroup_[slot] = kFree;
    slotWalked_[slot] = 0;
  }
  placing_ = false;
  CheckInvariants();
}

void ParallelSchedule::Walked(uint32_t slot) {
  assert(slot < slotGroup_.size() && slotGroup_[slot] != kFree && slotWalked_[slot] == 0);
  slotWalked_[slot] = 1;
}

void ParallelSchedule::Ran(uint32_t s, bool failed) {
  assert(s < next_);
  // The simulations after a failed one are not needed: the run ends there.
  if (failed) limit_ = std::min(limit_, s);
  CheckInvariants();
}

void ParallelSchedule::CheckInvariants() const {
#ifndef NDEBUG
  // A simulation runs only from a known start; nothing past I is known or run.
  assert(known_ >= 1 && known_ <= I_ + 1);
  assert(next_ >= 1 && next_ <= known_ + 1 && next_ <= I_ + 1);
  assert(limit_ <= I_);
  if (!finding_) return;
  // Groups are walked in order, each into its own slot: the groups between
  // the one being placed and the next to walk hold the slots, no more of
  // them than there are slots.
  const uint32_t placing = (known_ - 1) / group_;
  assert(nextGroup_ >= placing || known_ > limit_);
  assert(nextGroup_ - std::min(placing, nextGroup_) <= slotGroup_.size());
  for (uint32_t slot = 0; slot < slotGroup_.size(); ++slot) {
    const uint32_t group = slotGroup_[slot];
    if (group == kFree) {
      assert(slotWalked_[slot] == 0);
      continue;
    }
    assert(SlotOf(group) == slot && group < nextGroup_);
  }
#endif
}

}  // namespace dw
