#include "engine/rundriver.h"

#include <new>
#include <optional>

#include "engine/estimators.h"
#include "engine/fitness.h"
#include "engine/frequencyfile.h"
#include "engine/simulations.h"
#include "runtime/floatmode.h"
#include "runtime/textfile.h"

namespace dw {

namespace {

// Leaves the simulation loop on a cancel request by the error path's way out.
struct RunCancelled {};

struct CountRule {
  int32_t TypedCounts::*count;
  int32_t min;
  int32_t max;
  const char* message;
};

constexpr CountRule kSizeRule{&TypedCounts::N, 1, 65535,
                              "Effective population size (N) must be between 1 and 65535"};
constexpr CountRule kSampleRule{&TypedCounts::n, 2, 65535,
                                "Sampling size per pop. (n) must be between 2 and 65535"};

bool CountFits(int32_t value, const CountRule& rule) {
  return value >= rule.min && value <= rule.max;
}


// Opens both files, writes the header, reads the frequencies and runs the
// simulations; false when the frequency file was refused.
bool RunSimulations(RunForm& form, RunServices& services, EngineState& state, Random& rng) {
  SimulationParameters& params = state.params;
  Assign(state.InputFile, form.InputFileName());
  OpenRead(state.InputFile);
  CheckIO();
  Assign(state.ResultFile, form.ResultFileName());
  if (services.progress != nullptr) services.progress->ResultFileOpening();
  OpenWrite(state.ResultFile);
  CheckIO();
  // The marks say which lines are whole, so an error path keeps exactly the
  // header and the finished simulations.
  MarkComplete(state.ResultFile);
  services.seed.Seed(rng);
  BuildFitnessTable(params.A, 0, 0, 0, 0, params.SelectionCoefficient, state.FitnessTable);
  const bool steppingStone = form.SteppingStoneSelected();
  WriteResultHeader(params, steppingStone, state.ResultFile);
  MarkComplete(state.ResultFile);
  if (!ReadInitialFrequencies(state.InputFile, params.P + 1u, params.A, state.InitialFrequencies,
                              services.messages)) {
    CloseFile(state.InputFile);
    CheckIO();
    CloseFile(state.ResultFile);
    CheckIO();
    return false;
  }
  CloseFile(state.InputFile);
  CheckIO();
  const SimulationsEnd end =
      services.engine == EngineKind::Counts
          ? RunCountSimulations(services.progress, services.threads, rng.RandomSeed,
                                steppingStone, state)
          : RunAllSimulations(form, steppingStone, services.progress, services.threads, state,
                              rng);
  if (end == SimulationsEnd::Cancelled) throw RunCancelled{};
  CloseFile(state.ResultFile);
  CheckIO();
  return true;
}

// The message's text, its three numbers already written.
std::string SummaryText(const std::string& simulations, const std::string& lower,
                        const std::string& higher) {
  return "Finished : " + simulations + " simulations\r\n" + lower +
         " values lower than Delta obs, \r\n" + higher + " values higher than Delta obs\r\n" +
         "Please see tab Results and graphs for the histogram";
}

}  // namespace

// Refused before any file is opened.
std::optional<std::string> CountProblem(const TypedCounts& typed) {
  static const CountRule rules[] = {
      {&TypedCounts::P, 2, 65535, "Number of populations (P) must be between 2 and 65535"},
      kSizeRule,
      {&TypedCounts::T, 1, 65535, "Number of generations (T) must be between 1 and 65535"},
      {&TypedCounts::A, 2, 255, "Number of alleles (A) must be between 2 and 255"},
      kSampleRule,
      {&TypedCounts::I, 1, 65535, "Number of simulations (I) must be between 1 and 65535"},
  };
  for (const CountRule& rule : rules) {
    const int32_t value = typed.*rule.count;
    if (value < rule.min || value > rule.max) return std::string(rule.message);
  }
  return std::nullopt;
}

std::string SummaryMessage(uint16_t I, int32_t repetitions, uint16_t above) {
  return SummaryText(FormatInteger(I), FormatInteger(repetitions - above), FormatInteger(above));
}

std::string UndefinedLine(uint32_t undefined) {
  return CountText(undefined) + (undefined == 1 ? " simulation" : " simulations") +
         " left out: every sampled gene copy was the same allele";
}

std::string PooledSummaryMessage(uint64_t simulations, uint64_t above) {
  return SummaryText(CountText(simulations), CountText(simulations - above), CountText(above));
}

RunOutcome RunNeutralityTest(RunForm& form, RunServices& services, EngineState& state,
                             Random& rng) {
  SimulationParameters& params = state.params;
  TypedCounts typed{};
  typed.P = form.Populations();
  typed.N = form.PopulationSize();
  typed.T = form.Generations();
  typed.A = form.Alleles();
  typed.n = form.SampleSize();
  // Each field keeps the low-order bits of its box's value.
  params.P = static_cast<uint16_t>(typed.P);
  params.N = static_cast<uint16_t>(typed.N);
  params.T = static_cast<uint16_t>(typed.T);
  params.A = static_cast<uint8_t>(typed.A);
  params.n = static_cast<uint16_t>(typed.n);
  params.SelectionCoefficient = 0.0;
  params.m = StoreF64(ParseReal(form.MigrationRateText(), services.marks));
  if (params.m < 0.0 || params.m > 1.0) {
    services.messages.ShowInfoMessage(kMigrationRateMessage);
    return RunOutcome::Refused;
  }
  // An N or n that does not fit its field is refused as such below, not
  // compared by the low-order bits it keeps (N = 65536 would keep 0).
  if (params.n > params.N && CountFits(typed.N, kSizeRule) && CountFits(typed.n, kSampleRule)) {
    services.messages.ShowInfoMessage(kSampleSizeMessage);
    return RunOutcome::Refused;
  }
  params.ObservedDelta = StoreF64(ParseReal(form.ObservedDeltaText(), services.marks));
  params.HeterozygoteRule = 0;
  state.DeltaAboveCount = 0;
  typed.I = form.Simulations();
  params.I = static_cast<uint16_t>(typed.I);
  params.InfiniteIslandFlag = form.InfiniteIslandSelected() ? 1 : 0;
  params.SkipUndefined = services.skipUndefined ? 1 : 0;

  if (const auto problem = CountProblem(typed)) {
    services.messages.ShowInfoMessage(*problem);
    return RunOutcome::Refused;
  }
  try {
    state.SizeTables(params.P, params.N, params.A);
  } catch (const std::bad_alloc&) {
    services.messages.ShowInfoMessage("Not enough memory for " + FormatInteger(params.P) +
                                      " populations of " + FormatInteger(params.N) +
                                      " individuals");
    return RunOutcome::Refused;
  }

  state.DeltaSeries.assign(static_cast<std::size_t>(params.I) + 1, 0.0);
  state.WCSeries.assign(static_cast<std::size_t>(params.I) + 1, 0.0);
  state.UndefinedCount = 0;
  state.DeltaMin = params.ObservedDelta;
  state.DeltaMax = params.ObservedDelta;

  bool accepted;
  try {
    accepted = RunSimulations(form, services, state, rng);
  } catch (const RunCancelled&) {
    ReleaseFile(state.InputFile);
    ReleaseFile(state.ResultFile, kUnfinishedRunMark);
    return RunOutcome::Cancelled;
  } catch (...) {
    // Whatever ended the run, the finished simulations' lines reach the
    // disk, and the mark of an unfinished run after them.
    ReleaseFile(state.InputFile);
    ReleaseFile(state.ResultFile, kUnfinishedRunMark);
    throw;
  }
  if (!accepted) return RunOutcome::Refused;

  // Left-out simulations take no place in the series, the histogram or the counts.
  const uint32_t undefined = state.UndefinedCount;
  const uint16_t defined = static_cast<uint16_t>(params.I - undefined);
  if (undefined > 0) {
    if (defined == 0) {
      services.messages.ShowInfoMessage(kAllUndefinedMessage);
      return RunOutcome::Refused;
    }
    state.DeltaSeries.resize(defined + 1u);
    state.WCSeries.resize(defined + 1u);
  }
  const HistogramInput histogram{state.DeltaSeries, defined,        params.N,
                                 params.m,          params.ObservedDelta, state.DeltaMin,
                                 state.DeltaMax,    state.DeltaAboveCount};
  BuildDeltaHistogram(histogram, services.marks, state.DeltaHistogram, services.histogram);
  if (undefined == 0)
    services.messages.ShowInfoMessage(
        SummaryMessage(params.I, form.Simulations(), state.DeltaAboveCount));
  else
    services.messages.ShowInfoMessage(SummaryMessage(defined, defined, state.DeltaAboveCount) +
                                      "\r\n" + UndefinedLine(undefined));
  return RunOutcome::Finished;
}

}  // namespace dw
