// Runs on several threads against the same runs on one: the result file byte
// for byte, the summary, the histogram, the Delta tallies and the generator's
// final state; a simulation that fails, a file that fails and a cancelled
// run end the same way with the same lines on disk.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "engine/rundriver.h"
#include "engine/simulations.h"
#include "runtime/errors.h"
#include "runtime/osfiles.h"
#include "runtime/textfile.h"
#include "tests/engine/faultyfiles.h"
#include "tests/engine/run_form.h"

namespace dw {
namespace {

using test::FaultyFiles;

struct Form : test::TestForm {
  std::string frequencies = "0.1 0.2 0.3 0.4\n0.25 0.25 0.25 0.25\n0.4 0.3 0.2 0.1\n"
                            "0.7 0.1 0.1 0.1\n0.05 0.15 0.3 0.5\n";
  Form() {
    P = 4;
    N = 30;
    T = 15;
    A = 4;
    n = 20;
    I = 25;
    m = "0.2";
    model = "finite";
  }
};
using Messages = test::RecordedMessages;

// Cancels after `after` simulations (0: never); keeps what it was told.
struct Progress : RunProgress {
  uint32_t after = 0;
  std::vector<uint32_t> told;
  void SimulationFinished(uint32_t s, uint32_t) override { told.push_back(s); }
  bool CancelRequested() override { return after != 0 && told.back() >= after; }
};

// Everything a run leaves that a user or a caller can see, as text.
struct Outcome {
  std::string what, file, messages, histogram, tallies;
  std::vector<uint32_t> progress;
  uint32_t endState = 0;
};

void ExpectSame(const Outcome& one, const Outcome& many, const std::string& trace) {
  SCOPED_TRACE(trace);
  EXPECT_EQ(many.what, one.what);
  EXPECT_EQ(many.file, one.file);
  EXPECT_EQ(many.messages, one.messages);
  EXPECT_EQ(many.histogram, one.histogram);
  EXPECT_EQ(many.tallies, one.tallies);
  EXPECT_EQ(many.progress, one.progress);
  EXPECT_EQ(many.endState, one.endState);
}

Outcome RunWith(Form form, uint32_t threads, uint32_t seed, FaultyFiles& files,
                uint32_t cancelAfter = 0, EngineKind engine = EngineKind::Individuals) {
  files.disk["in"] = form.frequencies;
  SetOsFiles(&files);
  Messages messages;
  RecordedHistogram histogram;
  FixedSeed fixed(seed);
  Progress progress;
  progress.after = cancelAfter;
  RunServices services{messages, histogram, fixed, NumberMarks{}, &progress, threads};
  services.engine = engine;
  EngineState state;
  Random rng;
  Outcome outcome;
  try {
    const RunOutcome r = RunNeutralityTest(form, services, state, rng);
    outcome.what = r == RunOutcome::Finished ? "Finished"
                   : r == RunOutcome::Cancelled ? "Cancelled"
                                                : "Refused";
  } catch (const EInOutError& e) {
    outcome.what = "EInOutError " + std::to_string(e.IOErrorCode()) + " " + e.Message();
  } catch (const EMathError& e) {
    outcome.what = "EMathError " + e.Message();
  }
  SetOsFiles(nullptr);
  SetPendingIOResult(0);
  EXPECT_EQ(files.OpenHandles(), 0) << outcome.what;
  outcome.file = files.disk["out"];
  for (const std::string& m : messages.shown) outcome.messages += m + "|";
  std::ostringstream h, t;
  for (const std::string& line : histogram.title) h << line << "\n";
  for (const auto& p : histogram.points) h << p.label << " " << p.y << " " << p.color << "\n";
  t.precision(17);
  t << state.DeltaAboveCount << " " << state.DeltaMin << " " << state.DeltaMax;
  for (double d : state.DeltaSeries) t << " " << d;
  outcome.histogram = h.str();
  outcome.tallies = t.str();
  outcome.progress = progress.told;
  outcome.endState = rng.RandomSeed;
  return outcome;
}

Outcome RunWith(const Form& form, uint32_t threads, uint32_t seed, uint32_t cancelAfter = 0,
                EngineKind engine = EngineKind::Individuals) {
  FaultyFiles files;
  return RunWith(form, threads, seed, files, cancelAfter, engine);
}

// Every model at the rates m = 0.01, 0.1 and 0.5, in runs of more simulations
// than two groups of starts found together (the infinite island's and the
// stepping-stone's draws per simulation vary, the finite island's do not);
// and the odd cases: a complement sample (n > N/2), every copy migrating,
// none, a rate so near 1 that no draw stays, a single simulation, more
// threads than simulations.
TEST(ThreadedRun, GivesTheSingleThreadedRunForAnyThreadCount) {
  struct Case {
    const char* model;
    const char* m;
    int32_t N, n, I;
  };
  std::vector<Case> cases;
  for (const char* model : {"infinite", "stepping", "finite"})
    for (const char* m : {"0.01", "0.1", "0.5"}) cases.push_back({model, m, 30, 20, 70});
  for (const Case& c :
       {Case{"finite", "0.2", 31, 12, 7}, {"finite", "1", 30, 15, 9}, {"stepping", "1", 20, 11, 9},
        {"stepping", "0", 20, 10, 9}, {"infinite", "1", 20, 10, 9}, {"infinite", "0", 20, 10, 9},
        {"stepping", "0.9999999999", 20, 10, 9}, {"finite", "0.5", 20, 10, 1},
        {"finite", "0.05", 12, 6, 2}, {"infinite", "0.1", 31, 16, 7},
        {"infinite", "0.9", 20, 10, 2}, {"stepping", "0.3", 31, 16, 7}})
    cases.push_back(c);
  for (const Case& c : cases) {
    Form form;
    form.model = c.model;
    form.m = c.m;
    form.N = c.N;
    form.n = c.n;
    form.I = c.I;
    for (uint32_t seed : {0u, 20240607u, 4294967295u}) {
      const Outcome one = RunWith(form, 1, seed);
      ASSERT_EQ(one.what, "Finished");
      for (uint32_t threads : {2u, 3u, 8u})
        ExpectSame(one, RunWith(form, threads, seed),
                   std::string(c.model) + " m=" + c.m + " I=" + std::to_string(c.I) + " seed " +
                       std::to_string(seed) + ", " + std::to_string(threads) + " threads");
    }
  }
}

// A population fixed for one allele in the whole sample ends the run in a
// floating-point error: for P = 3 at WC = 0/0, after the line end is written
// (on the writing thread), for P = 5 at RH's division by zero, before the
// line (on the thread that ran the simulation). Either way the lines of the
// simulations before it stay and nothing comes after, under every model and
// rate. The migrant pool holds allele 1 alone where it is fixed ("1 0"), so
// that the infinite island's populations fix at high rates too.
TEST(ThreadedRun, AFailingSimulationEndsTheRunWhereOneThreadEndsIt) {
  struct Case {
    int32_t P;
    const char* model;
    const char* m;
    int32_t N, T;
    const char* pool;
    const char* error;
  };
  const char* invalid = "EMathError Opération en virgule flottante incorrecte";
  const char* zeroDivide = "EMathError Division par zéro en virgule flottante";
  for (const Case& c :
       {Case{3, "finite", "0", 5, 40, "0.5 0.5", invalid}, {5, "finite", "0", 5, 40, "0.5 0.5", zeroDivide},
        {3, "infinite", "0.001", 5, 40, "0.5 0.5", invalid},
        {5, "infinite", "0.001", 5, 40, "0.5 0.5", zeroDivide},
        {3, "infinite", "0.01", 6, 10, "1 0", invalid}, {5, "infinite", "0.1", 6, 10, "1 0", zeroDivide},
        {5, "infinite", "0.5", 16, 3, "1 0", zeroDivide}, {5, "stepping", "0.01", 6, 25, "1 0", zeroDivide},
        {3, "stepping", "0.1", 10, 10, "1 0", invalid}, {3, "stepping", "0.5", 6, 10, "1 0", invalid},
        {3, "finite", "0.01", 10, 10, "1 0", invalid}, {3, "finite", "0.1", 6, 10, "1 0", invalid},
        {5, "finite", "0.5", 6, 25, "1 0", zeroDivide}}) {
    Form form;
    form.P = c.P;
    form.N = c.N;
    form.A = 2;
    form.model = c.model;
    form.m = c.m;
    form.T = c.T;
    form.n = 4;
    form.I = 60;
    form.frequencies.clear();
    for (int32_t r = 1; r <= c.P; ++r) form.frequencies += "0.5 0.5\n";
    form.frequencies += std::string(c.pool) + "\n";
    const std::string trace = std::string(c.model) + " m=" + c.m + " P=" + std::to_string(c.P);
    const Outcome one = RunWith(form, 1, 1);
    ASSERT_EQ(one.what.rfind(c.error, 0), 0u) << trace << ": " << one.what;
    // Mid-run: some lines before it, and simulations left after it.
    EXPECT_GE(one.progress.size(), 3u) << trace;
    EXPECT_LT(one.progress.size(), 60u) << trace;
    EXPECT_EQ(one.histogram, "");
    for (uint32_t threads : {2u, 3u, 8u})
      ExpectSame(one, RunWith(form, threads, 1), trace + ", " + std::to_string(threads) + " threads");
  }
}

// The counts engine's simulation s depends on (seed, s) alone: any thread
// count writes the same file, tallies and summary, and leaves the 32-bit
// generator where the seed put it; a simulation fixed for one allele (at
// m = 0 with few individuals) ends the run at the same line, and a cancel
// after the same simulation.
TEST(ThreadedRun, CountsEngineGivesTheSameRunForAnyThreadCount) {
  for (const char* model : {"infinite", "stepping", "finite"}) {
    for (const char* m : {"0.1", "1"}) {
      Form form;
      form.model = model;
      form.m = m;
      form.I = 70;
      for (uint32_t seed : {0u, 4294967295u}) {
        const Outcome one = RunWith(form, 1, seed, 0, EngineKind::Counts);
        ASSERT_EQ(one.what, "Finished");
        EXPECT_EQ(one.endState, seed);
        EXPECT_NE(one.file, RunWith(form, 1, seed).file);  // other draws than the individuals'
        for (uint32_t threads : {2u, 3u, 8u})
          ExpectSame(one, RunWith(form, threads, seed, 0, EngineKind::Counts),
                     std::string(model) + " m=" + m + " seed " + std::to_string(seed) + ", " +
                         std::to_string(threads) + " threads");
      }
    }
    Form fixing;
    fixing.model = model;
    fixing.P = 3;
    fixing.N = 5;
    fixing.A = 2;
    fixing.T = 40;
    fixing.n = 4;
    fixing.I = 60;
    fixing.m = "0";
    fixing.frequencies = "0.5 0.5\n0.5 0.5\n0.5 0.5\n0.5 0.5\n";
    const Outcome failed = RunWith(fixing, 1, 1, 0, EngineKind::Counts);
    ASSERT_EQ(failed.what.rfind("EMathError", 0), 0u) << model << ": " << failed.what;
    EXPECT_LT(failed.progress.size(), 60u) << model;
    for (uint32_t threads : {2u, 8u})
      ExpectSame(failed, RunWith(fixing, threads, 1, 0, EngineKind::Counts),
                 std::string(model) + " failing, " + std::to_string(threads) + " threads");
    Form cancelled;
    cancelled.model = model;
    const Outcome stopped = RunWith(cancelled, 1, 5, 6, EngineKind::Counts);
    ASSERT_EQ(stopped.what, "Cancelled");
    ExpectSame(stopped, RunWith(cancelled, 3, 5, 6, EngineKind::Counts),
               std::string(model) + " cancelled");
  }
}

// Every system write of the run failing in turn, once or from then on.
TEST(ThreadedRun, AFailingWriteLeavesTheSameFileAndError) {
  Form form;
  FaultyFiles reference;
  ASSERT_EQ(RunWith(form, 1, 7, reference).what, "Finished");
  const int writes = static_cast<int>(reference.writeCalls.size());
  ASSERT_GE(writes, 10);
  for (bool persistent : {false, true}) {
    for (int k = 1; k <= writes; ++k) {
      const FaultyFiles::Fault fault{FaultyFiles::kWrite, k, 28, persistent};
      FaultyFiles oneFiles, manyFiles;
      oneFiles.faults.push_back(fault);
      manyFiles.faults.push_back(fault);
      const Outcome one = RunWith(form, 1, 7, oneFiles);
      ASSERT_EQ(one.what, "EInOutError 28 Erreur E/S 28");
      ExpectSame(one, RunWith(form, 3, 7, manyFiles),
                 "write " + std::to_string(k) + (persistent ? " on" : ""));
    }
  }
}

TEST(ThreadedRun, CancelsAfterTheSameSimulation) {
  for (const char* model : {"finite", "infinite", "stepping"}) {
    Form form;
    form.model = model;
    for (uint32_t after : {1u, 6u, 24u}) {
      const Outcome one = RunWith(form, 1, 99, after);
      ASSERT_EQ(one.what, "Cancelled");
      ASSERT_EQ(one.progress.size(), after);
      for (uint32_t threads : {2u, 3u})
        ExpectSame(one, RunWith(form, threads, 99, after),
                   std::string(model) + ", cancel after " + std::to_string(after));
    }
  }
}

// The replayed ends are where a serial run's simulations end: a run of one
// simulation ends where StateAfterSimulation says, under every model and
// rate (the starts the threads use are checked against it).
TEST(StateAfterSimulation, IsWhereOneSimulationLeavesTheGenerator) {
  for (const char* model : {"infinite", "stepping", "finite"}) {
    for (const char* m : {"0", "0.1", "0.5", "0.999", "1"}) {
      for (int32_t n : {10, 21}) {
        Form form;
        form.model = model;
        form.m = m;
        form.n = n;
        form.I = 1;
        const uint32_t seed = 777;
        const Outcome run = RunWith(form, 1, seed);
        ASSERT_EQ(run.what, "Finished");
        SimulationParameters params;
        params.P = static_cast<uint16_t>(form.P);
        params.N = static_cast<uint16_t>(form.N);
        params.n = static_cast<uint16_t>(n);
        params.T = static_cast<uint16_t>(form.T);
        params.m = std::stod(m);
        params.InfiniteIslandFlag = form.model == "infinite";
        EXPECT_EQ(StateAfterSimulation(seed, params, form.model == "stepping"), run.endState)
            << model << " m=" << m << " n=" << n;
      }
    }
  }
}

// The count the threads place simulations by is the one a serial run draws:
// I simulations move the generator I times that count.
TEST(FixedDrawsPerSimulation, IsWhatASerialRunDraws) {
  struct Case {
    const char* model;
    const char* m;
    int32_t N, n;
  };
  for (const Case& c : {Case{"finite", "0.3", 30, 10}, {"finite", "0.3", 31, 16},
                        {"finite", "0", 30, 30}, {"stepping", "1", 25, 5},
                        {"stepping", "0", 25, 20}, {"infinite", "1", 25, 12},
                        {"infinite", "0", 25, 13}, {"infinite", "0.9999999999", 25, 13},
                        {"stepping", "0.9999999999", 25, 14}}) {
    Form form;
    form.model = c.model;
    form.m = c.m;
    form.N = c.N;
    form.n = c.n;
    form.I = 3;
    const uint32_t seed = 12345;
    const Outcome run = RunWith(form, 1, seed);
    ASSERT_EQ(run.what, "Finished");
    SimulationParameters params;
    params.P = static_cast<uint16_t>(form.P);
    params.N = static_cast<uint16_t>(c.N);
    params.n = static_cast<uint16_t>(c.n);
    params.T = static_cast<uint16_t>(form.T);
    params.m = std::stod(c.m);
    params.InfiniteIslandFlag = form.model == "infinite";
    const auto draws = FixedDrawsPerSimulation(params, form.model == "stepping");
    ASSERT_TRUE(draws.has_value()) << c.model << " " << c.m;
    EXPECT_EQ(run.endState, AdvanceState(seed, 3 * *draws)) << c.model << " m=" << c.m;
  }
  // Where migrants draw a different number than residents, the count varies.
  SimulationParameters varying;
  varying.P = 4;
  varying.N = 10;
  varying.n = 5;
  varying.T = 3;
  varying.m = 0.3;
  varying.InfiniteIslandFlag = 1;
  EXPECT_FALSE(FixedDrawsPerSimulation(varying, false).has_value());
  varying.InfiniteIslandFlag = 0;
  EXPECT_FALSE(FixedDrawsPerSimulation(varying, true).has_value());
}

// Threads beyond what the memory holds would be granted under overcommit and
// killed once their tables are touched.
TEST(ThreadsTheMemoryHolds, OneTableSetPerThreadBesidesTheRuns) {
  SimulationParameters params;
  params.P = 65535;
  params.N = 1000;
  params.A = 5;
  const uint64_t set = TableBytes(params.P, params.N, params.A);
  struct Case {
    uint64_t memory;
    uint32_t threads;
  };
  for (Case c : {Case{0, 1}, {set, 1}, {2 * set, 1}, {3 * set - 1, 1}, {3 * set, 2},
                 {9 * set + set / 2, 8}, {UINT64_MAX, UINT32_MAX}})
    EXPECT_EQ(ThreadsTheMemoryHolds(params, c.memory), c.threads) << c.memory;
}

}  // namespace
}  // namespace dw
