#include "cli/jobs.h"

#include <algorithm>
#include <limits>
#include <ostream>

#include "engine/drawplan.h"
#include "engine/model.h"
#include "runtime/errors.h"
#include "runtime/floatmode.h"
#include "runtime/numtext.h"
#include "runtime/random.h"

namespace dw::cli {

namespace {

constexpr uint64_t kSaturated = std::numeric_limits<uint64_t>::max();

uint64_t Times(uint64_t a, uint64_t b) {
  uint64_t product;
  return __builtin_mul_overflow(a, b, &product) ? kSaturated : product;
}

uint64_t Plus(uint64_t a, uint64_t b) {
  uint64_t sum;
  return __builtin_add_overflow(a, b, &sum) ? kSaturated : sum;
}

// Draws per gene copy of the offspring, from the individual engine's draw
// plan (engine/drawplan.h; the counts engine has none and takes nothing from
// the 32-bit stream). A draw is never 1 or more, so m = 1 always migrates and
// m = 0 never does; in between a run lies between the two counts.
DrawBounds DrawsPerGeneCopy(MigrationModel model, double m) {
  constexpr uint64_t own = kStayingDraws;
  const uint64_t migrant = MigratingDraws(model == MigrationModel::InfiniteIsland,
                                          model == MigrationModel::SteppingStone);
  if (m <= 0.0) return {own, own};
  if (m >= 1.0) return {migrant, migrant};
  return {std::min(own, migrant), std::max(own, migrant)};
}

// Decimal digits only, up to `max`.
std::optional<uint64_t> WholeNumber(const std::string& text, uint64_t max) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (digit > max || value > (max - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace

bool ReadJobSlot(const std::optional<std::string>& job, const std::optional<std::string>& jobs,
                 std::optional<JobSlot>& slot, std::ostream& err) {
  slot.reset();
  if (!job && !jobs) return true;
  if (!job || !jobs) {
    err << "--job and --jobs go together: job K of J jobs\n";
    return false;
  }
  const auto J = WholeNumber(*jobs, kStreamLength);
  if (!J || *J == 0) {
    err << "--jobs: '" << *jobs << "' is not a whole number from 1 to 4294967296\n";
    return false;
  }
  const auto K = WholeNumber(*job, *J - 1);
  if (!K) {
    err << "--job: '" << *job << "' is not a whole number from 0 to " << *J - 1 << "\n";
    return false;
  }
  slot = JobSlot{*K, *J};
  return true;
}

uint64_t JobShare(uint64_t jobs) { return kStreamLength / jobs; }

uint32_t JobStartState(uint32_t base, const JobSlot& slot) {
  return AdvanceState(base, slot.job * JobShare(slot.jobs));
}

DrawBounds RunDraws(const RunSize& run) {
  if (run.engine == EngineKind::Counts) return {0, 0};
  // Founding draws both genes of every individual; the sample draws k per
  // population, k = n, or N − n when n is more than half of N.
  const uint64_t copies = Times(2, Times(run.P, run.N));
  static_assert(kFoundingDrawsPerIndividual == 2, "founding draws one per gene copy");
  const uint64_t k = run.n > run.N ? 0  // refused before it draws
                                   : SampleDrawsPerPopulation(run.n, run.N);
  const uint64_t fixed = Plus(copies, Times(run.P, k));
  const DrawBounds perCopy = DrawsPerGeneCopy(run.model, run.m);
  auto total = [&](uint64_t perGeneCopy) {
    return Times(run.I, Plus(fixed, Times(Times(copies, run.T), perGeneCopy)));
  };
  return {total(perCopy.low), total(perCopy.high)};
}

std::optional<RunSize> RunSizeOf(const std::string& model, const std::string& migrationText,
                                 int32_t P, int32_t N, int32_t n, int32_t T, int32_t I) {
  for (int32_t count : {P, N, n, T, I})
    if (count < 1 || count > 65535) return std::nullopt;
  if (n > N) return std::nullopt;
  RunSize run;
  try {
    run.m = StoreF64(ParseReal(migrationText, NumberMarks{'.', ','}));
  } catch (const RuntimeError&) {
    return std::nullopt;
  }
  if (!(run.m >= 0.0 && run.m <= 1.0)) return std::nullopt;
  run.model = ModelOfWord(model).value_or(MigrationModel::InfiniteIsland);
  run.P = static_cast<uint32_t>(P);
  run.N = static_cast<uint32_t>(N);
  run.n = static_cast<uint32_t>(n);
  run.T = static_cast<uint32_t>(T);
  run.I = static_cast<uint32_t>(I);
  return run;
}

std::optional<uint64_t> ConsumedDraws(uint32_t startState, uint32_t endState,
                                      const DrawBounds& bounds) {
  if (bounds.high < bounds.low || bounds.high - bounds.low >= kStreamLength) return std::nullopt;
  const uint32_t distance = DrawsBetween(startState, endState);
  // The one count from `low` on that is congruent to the distance.
  const uint32_t past = distance - static_cast<uint32_t>(bounds.low);
  if (bounds.low > kSaturated - past) return std::nullopt;
  const uint64_t draws = bounds.low + past;
  if (draws > bounds.high) return std::nullopt;
  return draws;
}

std::optional<std::string> OverShareWarning(const JobSlot& slot, const DrawBounds& bounds) {
  const uint64_t share = JobShare(slot.jobs);
  if (bounds.high <= share) return std::nullopt;
  const std::string job = "job " + std::to_string(slot.job) + " of " + std::to_string(slot.jobs);
  const std::string limit = std::to_string(share);
  if (bounds.low == bounds.high)
    return "Warning: " + job + " will draw " + std::to_string(bounds.high) +
           " random numbers, more than its share of " + limit +
           ": its stream overlaps another job's. Use fewer simulations per job or fewer jobs.";
  return "Warning: " + job + " may draw up to " + std::to_string(bounds.high) +
         " random numbers (at least " + std::to_string(bounds.low) +
         "), more than its share of " + limit +
         ": its stream may overlap another job's. Use fewer simulations per job or fewer jobs.";
}

}  // namespace dw::cli
