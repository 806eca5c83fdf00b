#pragma once
// Seeds for job arrays: job K of J starts K·⌊2^32 / J⌋ draws along the one
// generator stream from a base state, so the jobs' streams stay apart while
// each job draws at most its share. Also how many draws a run takes.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "engine/rundriver.h"
#include "engine/state.h"

namespace dw::cli {

inline constexpr uint64_t kStreamLength = uint64_t{1} << 32;  // the generator's period

struct JobSlot {
  uint64_t job = 0;   // K, 0 … jobs − 1
  uint64_t jobs = 1;  // J, 1 … 2^32
};

// The slot from the texts of --job K and --jobs J (both or neither; K < J,
// 1 ≤ J ≤ 2^32). False, with the reason on `err`, for a usage error.
bool ReadJobSlot(const std::optional<std::string>& job, const std::optional<std::string>& jobs,
                 std::optional<JobSlot>& slot, std::ostream& err);

// ⌊2^32 / J⌋ draws per job.
uint64_t JobShare(uint64_t jobs);
// The state job K starts from: `base` advanced by K·⌊2^32 / J⌋ draws.
uint32_t JobStartState(uint32_t base, const JobSlot& slot);

// The draws a whole run takes: exactly `low` when low == high, else between
// the two (a gene copy takes 3 draws from its own population, 2 from the
// migrant pool, 4 from a stepping-stone neighbour, 3 from a finite island).
// Saturates at UINT64_MAX.
struct DrawBounds {
  uint64_t low = 0, high = 0;
};
struct RunSize {
  MigrationModel model = MigrationModel::InfiniteIsland;
  double m = 0.0;
  uint32_t P = 0, N = 0, n = 0, T = 0, I = 0;
  // The counts engine takes no draws of the 32-bit stream (its simulations
  // draw from 64-bit streams keyed by the run's start state): 0 and 0.
  EngineKind engine = EngineKind::Individuals;
};
DrawBounds RunDraws(const RunSize& run);
// The size of a run from the command line's texts and counts; empty when the
// run will refuse them or fail on them before it draws.
std::optional<RunSize> RunSizeOf(const std::string& model, const std::string& migrationText,
                                 int32_t P, int32_t N, int32_t n, int32_t T, int32_t I);

// The draws a run consumed, from the stream distance between its start and
// end states (known modulo 2^32) and its bounds; empty when the bounds admit
// more than one count, or none.
std::optional<uint64_t> ConsumedDraws(uint32_t startState, uint32_t endState,
                                      const DrawBounds& bounds);

// The warning for a job whose run will (or, by the upper bound, may) draw
// more than its share; empty when it stays within.
std::optional<std::string> OverShareWarning(const JobSlot& slot, const DrawBounds& bounds);

// A seed source that keeps the state the run was seeded with.
class RecordingSeed : public SeedSource {
 public:
  explicit RecordingSeed(SeedSource& inner) : inner_(inner) {}
  void Seed(Random& rng) override {
    inner_.Seed(rng);
    state = rng.RandomSeed;
    seeded = true;
  }
  uint32_t state = 0;
  bool seeded = false;

 private:
  SeedSource& inner_;
};

}  // namespace dw::cli
