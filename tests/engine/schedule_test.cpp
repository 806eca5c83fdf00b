// The parallel run's policy, driven by hand from a table of events: which
// step each thread is given, in what order, and when a failure ends the work.
#include "engine/schedule.h"

#include <gtest/gtest.h>

namespace dw {
namespace {

using Kind = ScheduleStep::Kind;

// What happened before a thread asks, then what it asks and is to be given.
struct Row {
  enum Event { None, Placed, Walked, Ran, Failed } event;
  uint32_t argument;  // the simulation placed or run, or the slot walked
  bool canRun;
  Kind kind;
  uint32_t simulation = 0, slot = 0, count = 0, reference = 0;
};

void Replay(ParallelSchedule& schedule, const std::vector<Row>& rows) {
  int line = 0;
  for (const Row& row : rows) {
    ++line;
    switch (row.event) {
      case Row::Placed: schedule.Placed(row.argument); break;
      case Row::Walked: schedule.Walked(row.argument); break;
      case Row::Ran: schedule.Ran(row.argument, false); break;
      case Row::Failed: schedule.Ran(row.argument, true); break;
      case Row::None: break;
    }
    const ScheduleStep step = schedule.Next(row.canRun);
    ASSERT_EQ(step.kind, row.kind) << "row " << line;
    if (row.kind == Kind::Wait) continue;
    EXPECT_EQ(step.simulation, row.simulation) << "row " << line;
    if (row.kind == Kind::Run) continue;
    EXPECT_EQ(step.slot, row.slot) << "row " << line;
    if (row.kind != Kind::Walk) continue;
    EXPECT_EQ(step.count, row.count) << "row " << line;
    EXPECT_EQ(step.reference, row.reference) << "row " << line;
  }
}

// Five simulations in groups of two, two slots, walks due within two
// simulations of the next run: walks fill the slots first, a run waits for
// its start, placing goes one thread at a time and frees a slot per group,
// and a failed simulation ends everything after it.
TEST(ParallelSchedule, FindsStartsGroupByGroup) {
  ParallelSchedule schedule(5, 2, 2, 2);
  Replay(schedule, {
                       {Row::None, 0, true, Kind::Walk, 1, 0, 2, 1},
                       {Row::None, 0, true, Kind::Walk, 3, 1, 2, 1},
                       {Row::None, 0, true, Kind::Run, 1},  // group 2 is not due yet
                       {Row::None, 0, true, Kind::Wait},    // 2 waits for its start; no slot free
                       {Row::Walked, 0, true, Kind::Place, 1, 0},
                       {Row::None, 0, true, Kind::Wait},  // one placer at a time
                       {Row::Placed, 1, true, Kind::Place, 2, 0},
                       {Row::Placed, 2, true, Kind::Run, 2},  // group 1 is not walked yet
                       {Row::None, 0, true, Kind::Walk, 5, 0, 1, 3},  // due now; slot 0 freed
                       {Row::None, 0, false, Kind::Wait},  // no tables, nothing to walk or place
                       {Row::None, 0, true, Kind::Run, 3},
                       {Row::Ran, 1, true, Kind::Wait},
                       {Row::Failed, 2, true, Kind::Wait},  // 3..5 no longer needed
                   });
  EXPECT_TRUE(schedule.Finished());
  EXPECT_TRUE(schedule.KnowsStateAfter(2));
  EXPECT_FALSE(schedule.KnowsStateAfter(3));
}

// A thread without tables for simulations still walks, even far ahead,
// and never runs; a thread with tables runs before it walks far ahead.
TEST(ParallelSchedule, WalksFarAheadOnlyWhenNothingElseIsToBeDone) {
  ParallelSchedule schedule(8, 2, 3, 0);
  Replay(schedule, {
                       {Row::None, 0, true, Kind::Walk, 1, 0, 2, 1},  // due: the next run's group
                       {Row::None, 0, false, Kind::Walk, 3, 1, 2, 1},  // ahead, nothing else to do
                       {Row::None, 0, true, Kind::Run, 1},
                       {Row::None, 0, true, Kind::Walk, 5, 2, 2, 1},
                       {Row::None, 0, true, Kind::Wait},  // every slot given
                   });
  EXPECT_FALSE(schedule.Finished());
}

TEST(ParallelSchedule, KnownStartsRunInOrder) {
  ParallelSchedule schedule(3);
  EXPECT_TRUE(schedule.KnowsStateAfter(3));
  Replay(schedule, {
                       {Row::None, 0, false, Kind::Wait},  // nothing but runs to do
                       {Row::None, 0, true, Kind::Run, 1},
                       {Row::None, 0, true, Kind::Run, 2},
                       {Row::None, 0, true, Kind::Run, 3},
                       {Row::None, 0, true, Kind::Wait},
                   });
  EXPECT_TRUE(schedule.Finished());
}

}  // namespace
}  // namespace dw
