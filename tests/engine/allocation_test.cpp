// Nothing is allocated inside the simulation loop: a run of many simulations
// makes exactly the allocations a run of three makes, on one thread or several,
// under every model.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "engine/rundriver.h"
#include "tests/engine/run_form.h"
#include "tests/support/files.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace

// Every allocation of the test program goes through here; only those made
// while `counting` is set are counted, on whichever thread.
void* operator new(std::size_t size) {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace dw {
namespace {

struct Form : test::TestForm {
  Form() {
    P = 3;
    N = 40;
    T = 6;
    A = 3;
    n = 25;
    I = 3;
    m = "0.2";
  }
};

struct Quiet : MessageSink {
  std::string last;
  void ShowInfoMessage(const std::string& text) override { last = text; }
};

long AllocationsOfRun(Form& form, uint32_t threads) {
  Quiet quiet;
  RecordedHistogram histogram;
  FixedSeed seed(31);
  RunServices services{quiet, histogram, seed, NumberMarks{}, nullptr, threads};
  EngineState state;
  Random rng;
  allocations = 0;
  counting = true;
  const RunOutcome outcome = RunNeutralityTest(form, services, state, rng);
  counting = false;
  EXPECT_EQ(outcome, RunOutcome::Finished) << quiet.last;
  return allocations.load();
}

TEST(SimulationLoop, AllocatesNothingPerSimulation) {
  test::ScratchDir dir;
  Form form;
  form.input = dir.File("freqini.txt");
  form.result = dir.File("fst.txt");
  test::WriteBytes(form.input, "0.2 0.3 0.5\n0.6 0.2 0.2\n0.3 0.3 0.4\n0.4 0.4 0.2\n");
  for (const char* model : {"infinite", "stepping", "finite"}) {
    for (uint32_t threads : {1u, 3u}) {
      form.model = model;
      form.I = 3;  // as many simulations as threads: every thread starts
      const long few = AllocationsOfRun(form, threads);
      form.I = 60;
      EXPECT_EQ(AllocationsOfRun(form, threads), few) << model << ", " << threads << " threads";
    }
  }
}

}  // namespace
}  // namespace dw
