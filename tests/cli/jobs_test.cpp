#include "cli/jobs.h"

#include <gtest/gtest.h>

#include <sstream>

#include "runtime/random.h"
#include "tests/cli/program.h"

namespace dw::cli {
namespace {

TEST(JobStartState, IsTheBaseSteppedForwardKTimesTheShare) {
  struct Case {
    uint32_t base;
    uint64_t job, jobs;
  };
  for (Case c : {Case{0, 0, 1}, Case{12345, 0, 100}, Case{7, 7, 1000}, Case{0xFFFFFFFFu, 2, 999},
                 Case{5, 5, uint64_t{1} << 32}, Case{99, 3, 65536}}) {
    Random rng;
    rng.RandomSeed = c.base;
    const uint64_t steps = c.job * (kStreamLength / c.jobs);
    for (uint64_t i = 0; i < steps; ++i) rng.NextUniform();
    EXPECT_EQ(JobStartState(c.base, JobSlot{c.job, c.jobs}), rng.RandomSeed)
        << c.base << " " << c.job << "/" << c.jobs;
  }
  EXPECT_EQ(JobShare(1), kStreamLength);
  EXPECT_EQ(JobShare(3), 1431655765u);
  EXPECT_EQ(JobShare(kStreamLength), 1u);
}

TEST(RunDraws, FoundingGenerationsAndSample) {
  using M = MigrationModel;
  struct Case {
    RunSize run;
    uint64_t low, high;
  };
  // Per simulation: 2PN founding, T·2PN gene copies, P·k sample draws.
  const Case cases[] = {
      {{M::FiniteIsland, 0.1, 3, 10, 4, 2, 2}, 864, 864},  // 2·(60 + 2·60·3 + 12)
      {{M::FiniteIsland, 1.0, 3, 10, 7, 2, 2}, 2 * (60 + 360 + 9), 2 * (60 + 360 + 9)},  // k = 3
      {{M::InfiniteIsland, 0.0, 3, 10, 4, 2, 1}, 432, 432},
      {{M::InfiniteIsland, 1.0, 3, 10, 4, 2, 1}, 60 + 240 + 12, 60 + 240 + 12},
      {{M::InfiniteIsland, 0.1, 3, 10, 4, 2, 1}, 60 + 240 + 12, 432},
      {{M::SteppingStone, 0.0, 3, 10, 4, 2, 1}, 432, 432},
      {{M::SteppingStone, 0.5, 3, 10, 4, 2, 1}, 432, 60 + 480 + 12},
      {{M::SteppingStone, 1.0, 3, 10, 4, 2, 1}, 60 + 480 + 12, 60 + 480 + 12},
      // the window's defaults: about 6·10^8 draws
      {{M::InfiniteIsland, 0.1, 10, 100, 50, 100, 1000}, 402500000, 602500000},
      {{M::SteppingStone, 0.1, 65535, 65535, 1, 65535, 65535}, UINT64_MAX, UINT64_MAX},
  };
  for (const Case& c : cases) {
    const DrawBounds b = RunDraws(c.run);
    EXPECT_EQ(b.low, c.low) << c.run.P << " " << c.run.m;
    EXPECT_EQ(b.high, c.high) << c.run.P << " " << c.run.m;
  }
}

TEST(ConsumedDraws, TheOneCountWithinTheBounds) {
  const uint32_t start = 77;
  auto after = [&](uint64_t draws) { return AdvanceState(start, draws); };
  EXPECT_EQ(ConsumedDraws(start, after(864), {864, 864}), 864u);
  EXPECT_EQ(ConsumedDraws(start, after(500), {400, 600}), 500u);
  // beyond one period the distance wraps; the bounds still single it out
  const uint64_t many = 5800000000;
  EXPECT_EQ(ConsumedDraws(start, after(many), {4025000000, 6025000000}), many);
  EXPECT_EQ(ConsumedDraws(start, after(700), {400, 600}), std::nullopt);
  EXPECT_EQ(ConsumedDraws(start, after(500), {0, kStreamLength}), std::nullopt);
}

TEST(ReadJobSlot, BothOrNeitherAndKBelowJ) {
  struct Case {
    std::optional<std::string> job, jobs;
    bool ok;
    std::optional<uint64_t> k;
  };
  using S = std::optional<std::string>;
  const Case cases[] = {
      {std::nullopt, std::nullopt, true, std::nullopt},
      {S("0"), S("1"), true, 0},
      {S("99"), S("100"), true, 99},
      {S("4294967295"), S("4294967296"), true, 4294967295u},
      {S("100"), S("100"), false, std::nullopt},
      {S("0"), S("0"), false, std::nullopt},
      {S("0"), S("4294967297"), false, std::nullopt},
      {S("-1"), S("10"), false, std::nullopt},
      {S("1x"), S("10"), false, std::nullopt},
      {S("3"), std::nullopt, false, std::nullopt},
      {std::nullopt, S("3"), false, std::nullopt},
  };
  for (const Case& c : cases) {
    std::optional<JobSlot> slot;
    std::ostringstream err;
    EXPECT_EQ(ReadJobSlot(c.job, c.jobs, slot, err), c.ok) << c.job.value_or("-");
    EXPECT_EQ(err.str().empty(), c.ok) << err.str();
    EXPECT_EQ(slot.has_value(), c.k.has_value());
    if (slot && c.k) {
      EXPECT_EQ(slot->job, *c.k);
    }
  }
}

// A number field of the JSON document, by name (the first one).
uint64_t JsonCount(const std::string& json, const std::string& name) {
  const std::size_t at = json.find("\"" + name + "\": ");
  EXPECT_NE(at, std::string::npos) << name;
  return std::stoull(json.substr(at + name.size() + 4));
}

const std::string kFinite =
    "run --model finite -P 3 -N 10 -n 4 -T 2 -I 2 -A 3 -i three.txt -o out.txt ";

TEST(RunJobs, TheJobStartsFromItsStateAndReportsItsDraws) {
  test::Program p;
  ASSERT_EQ(p.Run(kFinite + "--seed 5 --job 7 --jobs 1000 --json -"), 0) << p.err;
  EXPECT_EQ(p.err, "");
  const uint32_t state = JobStartState(5, JobSlot{7, 1000});
  EXPECT_EQ(JsonCount(p.out, "seed"), 5u);
  EXPECT_EQ(JsonCount(p.out, "start_state"), state);
  EXPECT_EQ(JsonCount(p.out, "share"), 4294967u);
  // the exact count the finite island model takes, measured on the stream
  EXPECT_EQ(JsonCount(p.out, "draws"), 864u);
  EXPECT_EQ(JsonCount(p.out, "end_state"), AdvanceState(state, 864));
  const std::string jobResult = p.File("out.txt");
  ASSERT_EQ(p.Run(kFinite + "--seed " + std::to_string(state)), 0) << p.err;
  EXPECT_EQ(p.File("out.txt"), jobResult);
  // --job alone starts from base 0
  ASSERT_EQ(p.Run(kFinite + "--job 1 --jobs 2 --json -"), 0) << p.err;
  EXPECT_EQ(JsonCount(p.out, "start_state"), AdvanceState(0, uint64_t{1} << 31));
}

// On a cluster node a one-CPU task must not start a thread per core of the
// machine: the default follows the CPUs the process may use.
TEST(RunJobs, TheDefaultThreadsAreTheCpusTheProcessMayUse) {
  test::Program p;
  ASSERT_EQ(p.Shell("taskset -c 0 '" + std::string(DW_PROGRAM) + "' " + kFinite +
                    "--seed 5 --json - >stdout.txt 2>stderr.txt"),
            0)
      << p.err;
  EXPECT_EQ(JsonCount(p.out, "threads"), 1u);
  ASSERT_EQ(p.Run(kFinite + "--seed 5 --threads 3 --json -"), 0) << p.err;
  EXPECT_EQ(JsonCount(p.out, "threads"), 3u);
}

TEST(RunJobs, DrawsOfTheOtherModelsLieWithinTheirBounds) {
  for (const std::string model : {"infinite", "stepping"}) {
    test::Program p;
    ASSERT_EQ(p.Run("run --model " + model +
                    " -m 0.3 -P 3 -N 20 -n 10 -T 10 -I 20 -A 3 -i three.txt -o out.txt "
                    "--seed 9 --json -"),
              0)
        << p.err;
    const uint64_t draws = JsonCount(p.out, "draws");
    EXPECT_GE(draws, JsonCount(p.out, "draws_at_least")) << model;
    EXPECT_LE(draws, JsonCount(p.out, "draws_at_most")) << model;
    EXPECT_EQ(AdvanceState(9, draws), JsonCount(p.out, "end_state")) << model;
  }
}

TEST(RunJobs, WarnsExactlyWhenTheDrawsExceedTheShare) {
  // The finite run takes 864 draws: ⌊2^32 / 4971026⌋ = 864, ⌊2^32 / 4971027⌋ = 863.
  test::Program p;
  ASSERT_EQ(p.Run(kFinite + "--job 4971025 --jobs 4971026"), 0) << p.err;
  EXPECT_EQ(p.err, "");
  ASSERT_EQ(p.Run(kFinite + "--job 4971025 --jobs 4971027"), 0) << p.err;
  EXPECT_EQ(p.err,
            "Warning: job 4971025 of 4971027 will draw 864 random numbers, more than its share "
            "of 863: its stream overlaps another job's. Use fewer simulations per job or fewer "
            "jobs.\n");
  EXPECT_EQ(p.out.rfind("Finished : 2 simulations\n", 0), 0u);  // it still runs
  // Where the count depends on the draws, the warning goes by the upper bound.
  ASSERT_EQ(p.Run("run -m 0.1 -P 3 -N 10 -n 4 -T 2 -I 2 -A 3 -i three.txt -o out.txt "
                  "--job 0 --jobs 4971027"),
            0)
      << p.err;
  EXPECT_EQ(p.err.rfind("Warning: job 0 of 4971027 may draw up to 864 random numbers (at least "
                        "624), more than its share of 863",
                        0),
            0u)
      << p.err;
}

// The counts engine draws nothing of the 32-bit stream: its summary says 0
// draws and the generator ends where it started, so no job exceeds even a
// share of 1; the job's start state keys its simulations' own streams, so
// jobs differ, and a job is the run from its start state.
TEST(RunJobs, UnderTheCountsEngineAJobTakesNoDrawsOfTheStream) {
  test::Program p;
  const std::string counts = kFinite + "--engine counts ";
  ASSERT_EQ(p.Run(counts + "--seed 5 --job 4294967295 --jobs 4294967296 --json -"), 0) << p.err;
  EXPECT_EQ(p.err, "");
  const uint32_t state = JobStartState(5, JobSlot{4294967295u, uint64_t{1} << 32});
  EXPECT_EQ(JsonCount(p.out, "start_state"), state);
  EXPECT_EQ(JsonCount(p.out, "end_state"), state);
  EXPECT_EQ(JsonCount(p.out, "draws"), 0u);
  EXPECT_EQ(JsonCount(p.out, "draws_at_most"), 0u);
  EXPECT_NE(p.out.find("\"engine\": \"counts\""), std::string::npos) << p.out;
  const std::string last = p.File("out.txt");
  ASSERT_EQ(p.Run(counts + "--seed " + std::to_string(state)), 0) << p.err;
  EXPECT_EQ(p.File("out.txt"), last);
  ASSERT_EQ(p.Run(counts + "--seed 5 --job 0 --jobs 4294967296"), 0) << p.err;
  EXPECT_NE(p.File("out.txt"), last);
  ASSERT_EQ(p.Run(kFinite + "--seed 5 --json -"), 0) << p.err;
  EXPECT_NE(p.out.find("\"engine\": \"individuals\""), std::string::npos) << p.out;
  EXPECT_EQ(p.Run(kFinite + "--engine cells"), 64);
}

TEST(RunJobs, UsageErrors) {
  for (const std::string arguments : {"--job 3", "--jobs 3", "--job 3 --jobs 3", "--job 0 --jobs 0",
                                      "--json - --histogram-table -"}) {
    test::Program p;
    EXPECT_EQ(p.Run(kFinite + arguments), 64) << arguments;
    EXPECT_NE(p.err, "") << arguments;
    EXPECT_FALSE(std::filesystem::exists(p.dir.File("out.txt"))) << arguments;
  }
}

}  // namespace
}  // namespace dw::cli
