#pragma once
// One complete neutrality test, written once for both callers: the window's
// "&Go" handler and `driftwise run`. The driver reads the form at the moments
// a run reads it and reports through the services it is given.
#include <cstdint>
#include <optional>
#include <string>

#include "engine/histogram.h"
#include "engine/messages.h"
#include "engine/state.h"
#include "runtime/numtext.h"
#include "runtime/random.h"

namespace dw {

// What a run reads from the form. Counts are the boxes' 32-bit values as
// typed; the stepping-stone choice is read at every use.
class RunForm {
 public:
  virtual ~RunForm() = default;
  virtual int32_t Populations() = 0;       // P
  virtual int32_t PopulationSize() = 0;    // N
  virtual int32_t Generations() = 0;       // T
  virtual int32_t Alleles() = 0;           // A
  virtual int32_t SampleSize() = 0;        // n
  virtual int32_t Simulations() = 0;       // I (read again for the summary)
  virtual std::string MigrationRateText() = 0;
  virtual std::string ObservedDeltaText() = 0;
  virtual bool InfiniteIslandSelected() = 0;
  virtual bool SteppingStoneSelected() = 0;
  virtual std::string InputFileName() = 0;
  virtual std::string ResultFileName() = 0;
};

// Where the run's seed comes from: the clock, as in the window, or a given state.
class SeedSource {
 public:
  virtual ~SeedSource() = default;
  virtual void Seed(Random& rng) = 0;
};

class ClockSeed : public SeedSource {
 public:
  void Seed(Random& rng) override { rng.SeedFromClock(); }
};

class FixedSeed : public SeedSource {
 public:
  explicit FixedSeed(uint32_t state) : state_(state) {}
  void Seed(Random& rng) override { rng.RandomSeed = state_; }

 private:
  uint32_t state_;
};

// Told after each finished simulation (s of I); for progress displays.
class RunProgress {
 public:
  virtual ~RunProgress() = default;
  virtual void SimulationFinished(uint32_t s, uint32_t I) = 0;
  // Asked after each finished simulation; true ends the run there.
  virtual bool CancelRequested() { return false; }
  // Told once the inputs are accepted, just before the result file is
  // opened (emptied): the run starts; a raised error ends it there.
  virtual void ResultFileOpening() {}
};

// Which simulator draws the null: the individuals themselves, or their
// allele counts (engine/countsim.h: the same distribution, other draws).
enum class EngineKind { Individuals, Counts };

struct RunServices {
  MessageSink& messages;
  HistogramTarget& histogram;
  SeedSource& seed;
  NumberMarks marks;                // for ParseReal and the histogram's texts
  RunProgress* progress = nullptr;
  // Threads for the simulations, under every model; 0: one per core. The
  // result is the same for every count.
  uint32_t threads = 0;
  // Leave out (and count) the simulations whose sample is fixed for one
  // allele instead of ending the run in the estimators' floating-point error;
  // the window never asks for it.
  bool skipUndefined = false;
  EngineKind engine = EngineKind::Individuals;
};

enum class RunOutcome {
  Finished,  // the summary has been shown
  Refused,   // an input check failed; its message has been shown
  Cancelled, // stopped on request: the finished simulations' lines are in the
             // result file, no histogram, no summary
};

// Runs the test. Runtime errors (EConvertError, EInOutError, the float
// errors) propagate to the caller, with both files closed so the lines of
// the finished simulations are on disk.
RunOutcome RunNeutralityTest(RunForm& form, RunServices& services, EngineState& state,
                             Random& rng);

// The counts as typed, before their low-order bits are kept.
struct TypedCounts {
  int32_t P, N, T, A, n, I;
};
// The message refusing counts that would only run another test than the one
// typed (a value that does not fit its field) or end every simulation in a
// floating-point error (0, P = 1, A = 1, n = 1); none when they are fine.
std::optional<std::string> CountProblem(const TypedCounts& typed);

// The summary shown at the end ("Finished : …"), lines ended by CR LF.
std::string SummaryMessage(uint16_t I, int32_t repetitions, uint16_t above);
// The line added to the summary when `undefined` simulations were left out.
std::string UndefinedLine(uint32_t undefined);
inline constexpr const char* kAllUndefinedMessage =
    "Every simulated sample was fixed for one allele: no Delta is defined";
// The same message for pooled runs: `simulations` values, `above` of them
// strictly above the observed Delta.
std::string PooledSummaryMessage(uint64_t simulations, uint64_t above);

inline constexpr const char* kMigrationRateMessage = "The migration rate must be between 0 and 1";
inline constexpr const char* kSampleSizeMessage =
    "Sampling size cannot be higher than population size";

}  // namespace dw
