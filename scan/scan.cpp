#include "scan/scan.h"

#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <memory>
#include <new>
#include <thread>
#include <variant>

#include "engine/rundriver.h"
#include "runtime/errors.h"
#include "runtime/floatmode.h"
#include "runtime/memory.h"
#include "runtime/threadstart.h"
#include "runtime/messages.h"
#include "runtime/numtext.h"
#include "runtime/textfile.h"
#include "scan/calibration.h"
#include "scan/countscan.h"
#include "scan/sequential.h"

namespace dw::scan {

namespace {

const NumberMarks kMarks{'.', ','};

// The null one pass of runs takes.
struct NullRun {
  std::string m;
  int32_t T = 0, I = 0;
};

class LocusForm : public RunForm {
 public:
  LocusForm(const ScanSettings& s, const NullRun& null, const ScannedLocus& locus, std::string input,
            std::string output)
      : s_(s), null_(null), locus_(locus), input_(std::move(input)), output_(std::move(output)) {}
  int32_t Populations() override { return locus_.P; }
  int32_t PopulationSize() override { return s_.N; }
  int32_t Generations() override { return null_.T; }
  int32_t Alleles() override { return locus_.A; }
  int32_t SampleSize() override { return locus_.n; }
  int32_t Simulations() override { return null_.I; }
  std::string MigrationRateText() override { return null_.m; }
  // The counts are taken from the Delta values themselves; this text only
  // places the observed class of the engine's histogram.
  std::string ObservedDeltaText() override { return FixedPoint(locus_.estimate.delta, 18); }
  bool InfiniteIslandSelected() override { return s_.model == "infinite"; }
  bool SteppingStoneSelected() override { return s_.model == "stepping"; }
  std::string InputFileName() override { return input_; }
  std::string ResultFileName() override { return output_; }

 private:
  const ScanSettings& s_;
  const NullRun& null_;
  const ScannedLocus& locus_;
  std::string input_, output_;
};

class KeptMessage : public MessageSink {
 public:
  void ShowInfoMessage(const std::string& text) override { last = text; }
  std::string last;
};

// Counts each finished simulation and stops the run at the next one once a
// cancel is requested.
class CancelWatch : public RunProgress {
 public:
  CancelWatch(ScanObserver& observer, const CancelRequest& cancel)
      : observer_(observer), cancel_(cancel) {}
  void SimulationFinished(uint32_t, uint32_t) override { observer_.SimulationDone(); }
  bool CancelRequested() override { return cancel_.Requested(); }

 private:
  ScanObserver& observer_;
  const CancelRequest& cancel_;
};

bool WriteWholeFile(const std::string& name, const std::string& text) {
  TextFile file;
  Assign(file, name);
  OpenWrite(file);
  if (PendingIOResult() != 0) return false;
  WriteText(file, text);
  CloseFile(file);
  return PendingIOResult() == 0;
}

// Every run of a pass of the fit ended in a runtime error, the first one's.
struct PassFailed {
  std::string message;
};

// Why a locus's run did not finish; empty when it did.
struct LocusFailure {
  std::string message;
  int status = 0;  // kLocusRefused or kLocusRuntimeError
};

// What every run of a scan is given.
struct Services {
  ScanObserver& observer;
  const CancelRequest& cancel;
};

// One locus's run on this thread's engine state, from `seed` into the
// result file `output` (in the scan's directory); its series are then in
// `state`.
LocusFailure RunLocus(const ScanSettings& s, const NullRun& null, const ScannedLocus& locus,
                      uint32_t seed, const std::string& output, EngineState& state,
                      const Services& services) {
  const std::string input = (s.dir / FileStem(locus)).string() + "-freq.txt";
  try {
    if (!WriteWholeFile(input, FrequencyFileText(locus.counts, s.observedStart))) CheckIO();
    LocusForm form(s, null, locus, input, (s.dir / output).string());
    KeptMessage message;
    RecordedHistogram histogram;
    FixedSeed fixed(seed);
    CancelWatch watch(services.observer, services.cancel);
    RunServices run{message, histogram, fixed, kMarks, &watch};
    run.threads = 1;  // the scan spreads its loci over the cores itself
    // A simulated sample fixed for one allele is left out, not fatal: the
    // test is conditional on a polymorphic sample, as the observed one is.
    run.skipUndefined = true;
    Random rng;
    if (RunNeutralityTest(form, run, state, rng) != RunOutcome::Finished)
      return {message.last, kLocusRefused};
  } catch (const RuntimeError& e) {
    SetPendingIOResult(0);
    return {CommandLineErrorText(e), kLocusRuntimeError};
  } catch (const std::exception& e) {  // out of memory: this locus fails, the others go on
    return {e.what(), kLocusRuntimeError};
  }
  return {};
}

// The test's counts from the run just made.
void TakeResults(const EngineState& state, ScannedLocus& locus) {
  const double observed = static_cast<double>(locus.estimate.delta);
  const double observedWc = static_cast<double>(locus.estimate.wc);
  std::vector<double> values(state.DeltaSeries.begin() + 1, state.DeltaSeries.end());
  locus.simulatedWc.assign(state.WCSeries.begin() + 1, state.WCSeries.end());
  locus.simulations = values.size();
  locus.undefined = state.UndefinedCount;
  locus.higher = static_cast<uint64_t>(
      std::count_if(values.begin(), values.end(), [&](double d) { return d > observed; }));
  locus.lower = locus.simulations - locus.higher;  // values equal to the observed count as lower
  locus.wcHigher = static_cast<uint64_t>(std::count_if(
      locus.simulatedWc.begin(), locus.simulatedWc.end(), [&](double wc) { return wc > observedWc; }));
  locus.wcLower = locus.simulations - locus.wcHigher;
  locus.deltaTested = DeltaTested(locus);
  locus.stop = StopReason::Fixed;
  std::sort(values.begin(), values.end());
  locus.low = Quantile(values, 0.025);
  locus.median = Quantile(values, 0.5);
  locus.high = Quantile(values, 0.975);
  locus.ran = true;
}

// Runs `work(k, locus, state)` for every tested locus k (0-based among
// them). Each thread takes the next locus in file order; results land in the
// locus's own slot, so the order of finishing plays no part.
template <typename Work>
void ForEachTested(const ScanSettings& s, std::vector<ScannedLocus>& loci,
                   const Services& services, Work work) {
  std::vector<ScannedLocus*> tested;
  for (ScannedLocus& locus : loci)
    if (Tested(locus)) tested.push_back(&locus);
  std::atomic<std::size_t> next{0};
  const auto worker = [&] {
    std::unique_ptr<EngineState> state;
    for (std::size_t k = next++; k < tested.size() && !services.cancel.Requested(); k = next++) {
      try {
        if (!state) state = std::make_unique<EngineState>();
        work(k, *tested[k], *state);
      } catch (const std::bad_alloc&) {
        tested[k]->failure = "not enough memory for the engine's tables";
        tested[k]->failureStatus = kLocusRuntimeError;
      }
      services.observer.LocusDone();
    }
  };
  // One set of engine tables per thread: no more threads than memory holds
  // for the largest locus, as a run takes.
  uint64_t largest = 1;
  for (const ScannedLocus* locus : tested)
    largest = std::max(largest, TableBytes(static_cast<uint32_t>(locus->P), static_cast<uint32_t>(s.N),
                                           static_cast<uint32_t>(locus->A)));
  const uint64_t held = std::max<uint64_t>(1, UsableMemoryBytes() / largest);
  const std::size_t count = std::max<std::size_t>(
      1, std::min<std::size_t>({s.threads, tested.size(), static_cast<std::size_t>(held)}));
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < count; ++t) threads.push_back(StartThread(worker));
  for (std::thread& t : threads) t.join();
}

void RunAll(const ScanSettings& s, std::vector<ScannedLocus>& loci, const Services& services) {
  services.observer.TestRoundStarted(static_cast<uint64_t>(TestedCount(loci)) *
                                     static_cast<uint64_t>(s.I));
  const NullRun null{s.m, s.T, s.I};
  ForEachTested(s, loci, services, [&](std::size_t, ScannedLocus& locus, EngineState& state) {
    const LocusFailure failure =
        RunLocus(s, null, locus, locus.seed, FileStem(locus) + "-fst.txt", state, services);
    if (failure.status != 0) {
      locus.failure = failure.message;
      locus.failureStatus = failure.status;
      return;
    }
    TakeResults(state, locus);
  });
}

// The calibration's seeds: its own stream per locus, the same at every pass
// (common random numbers) and apart from the test's.
uint32_t CalibrationSeed(const ScanSettings& s, const ScannedLocus& locus) {
  return LocusSeed(LocusSeed(s.seed, 0), static_cast<uint32_t>(locus.index + 1));
}

// One pass of the calibration: WC of kCalibrationSimulations simulations of
// every tested locus under `setting`. A locus whose run fails gives none
// (the test's own run reports it).
LocusSimulations CalibrationPass(const ScanSettings& s, std::vector<ScannedLocus>& loci,
                                 const NullSetting& setting, int pass, const Services& services) {
  services.observer.FitPassStarted(pass);
  const NullRun null{FixedPoint(setting.m, 12), setting.T, kCalibrationSimulations};
  LocusSimulations wc(TestedCount(loci));
  std::vector<LocusFailure> failures(wc.size());
  ForEachTested(s, loci, services, [&](std::size_t k, ScannedLocus& locus, EngineState& state) {
    const std::string output = FileStem(locus) + "-calibration-fst.txt";
    failures[k] = RunLocus(s, null, locus, CalibrationSeed(s, locus), output, state, services);
    if (failures[k].status == 0) wc[k].assign(state.WCSeries.begin() + 1, state.WCSeries.end());
    std::error_code ignored;
    std::filesystem::remove(s.dir / output, ignored);
  });
  // When no locus could run at all (a full disk, a folder that cannot be
  // written), that is the scan's failure, not a finding about the data.
  const bool noneRan = std::none_of(failures.begin(), failures.end(),
                                    [](const LocusFailure& f) { return f.status == 0; });
  if (noneRan && !failures.empty() && failures.front().status == kLocusRuntimeError &&
      !services.cancel.Requested())
    throw PassFailed{failures.front().message};
  return wc;
}

// Fits m (or T at m = 0) and sets the runs' null from it; the reason when
// no null fits.
std::variant<Calibration, std::string> CalibrateNull(ScanSettings& s,
                                                     std::vector<ScannedLocus>& loci,
                                                     const Services& services,
                                                     std::size_t& fitLoci) {
  std::vector<ScannedLocus*> tested;
  for (ScannedLocus& locus : loci)
    if (Tested(locus)) tested.push_back(&locus);
  // The count engine fits on a seeded sample, so the fit's cost does not grow
  // with the loci; the individual engine keeps fitting on every locus.
  std::vector<ScannedLocus*> sample;
  if (s.engine == ScanEngine::Counts)
    for (std::size_t k : FitSample(tested.size(), s.seed)) sample.push_back(tested[k]);
  else
    sample = tested;
  fitLoci = sample.size();
  std::vector<double> observed;
  for (const ScannedLocus* locus : sample) observed.push_back(static_cast<double>(locus->estimate.wc));
  CalibrationSetup setup;
  setup.N = s.N;
  setup.T = s.T;
  setup.bootstrapSeed = (uint64_t{s.seed} << 32) ^ 0xB0075u;
  int pass = 0;
  auto result = Calibrate(observed, setup, [&](const NullSetting& setting) {
    ++pass;
    if (s.engine == ScanEngine::Individuals)
      return CalibrationPass(s, loci, setting, pass, services);
    services.observer.FitPassStarted(pass);
    return CountCalibrationPass(s, sample, setting, kCalibrationSimulations, services.observer,
                                services.cancel);
  });
  if (const Calibration* c = std::get_if<Calibration>(&result)) {
    s.m = c->kind == CalibrationKind::Generations ? "0" : MigrationText(c->fitted.m);
    s.T = c->fitted.T;
  }
  return result;
}

}  // namespace

std::optional<std::string> SharedCountProblem(const ScanSettings& s) {
  return CountProblem({2, s.N, s.T, 2, s.n.value_or(2), s.I});
}

std::optional<std::string> PlanLoci(data::LociData data, const ScanSettings& s,
                                    std::vector<ScannedLocus>& loci) {
  loci.reserve(loci.size() + data.loci.size());
  for (std::size_t i = 0; i < data.loci.size(); ++i) {
    ScannedLocus locus;
    locus.index = i;
    locus.name = std::move(data.loci[i].name);
    locus.chrom = std::move(data.loci[i].chrom);
    locus.pos = data.loci[i].pos;
    locus.counts = std::move(data.loci[i].counts);
    locus.estimate = data::EstimateLocus(locus.counts);
    locus.P = static_cast<int32_t>(locus.counts.typed.size());
    locus.A = static_cast<int32_t>(locus.counts.alleles.size());
    long double sum = 0;
    for (uint32_t typed : locus.counts.typed) sum += typed;
    locus.n = s.n ? *s.n : (locus.P ? static_cast<int32_t>(RoundToInt(sum / locus.P)) : 0);
    locus.seed = LocusSeed(s.seed, static_cast<uint32_t>(i + 1));
    if (Tested(locus) && locus.n > s.N)
      return "locus " + locus.name + ": " + kSampleSizeMessage + " (n = " + std::to_string(locus.n) +
             ", N = " + std::to_string(s.N) + ")";
    loci.push_back(std::move(locus));
  }
  return std::nullopt;
}

std::size_t TestedCount(const std::vector<ScannedLocus>& loci) {
  return static_cast<std::size_t>(
      std::count_if(loci.begin(), loci.end(), [](const ScannedLocus& l) { return Tested(l); }));
}

// Nine decimals keep each row's sum within 10^-5 of 1.
std::string FrequencyFileText(const data::LocusCounts& counts, bool observedStart) {
  const std::size_t A = counts.alleles.size();
  std::vector<long double> pooled(A, 0.0L);
  long double copies = 0;
  for (std::size_t i = 0; i < counts.typed.size(); ++i) {
    copies += 2.0L * counts.typed[i];
    for (std::size_t a = 0; a < A; ++a) pooled[a] += counts.copies[i][a];
  }
  const auto row = [&](const std::vector<long double>& values, long double total) {
    std::string text;
    for (std::size_t a = 0; a < A; ++a) text += (a ? " " : "") + RealText(values[a] / total, 0, 9);
    return text + "\r\n";
  };
  std::string text;
  for (std::size_t i = 0; i < counts.typed.size(); ++i) {
    if (!observedStart) {
      text += row(pooled, copies);
      continue;
    }
    std::vector<long double> own(counts.copies[i].begin(), counts.copies[i].end());
    text += row(own, 2.0L * counts.typed[i]);
  }
  return text + row(pooled, copies);
}

std::string FileStem(const ScannedLocus& locus) {
  // The number keeps the names apart; the name part only helps the eye, so a
  // long locus name is shortened rather than make a name the system refuses.
  constexpr std::size_t kNamePart = 40;
  std::string safe;
  for (char c : locus.name.substr(0, kNamePart))
    safe += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.') ? c : '_';
  char number[16];
  std::snprintf(number, sizeof number, "locus%03zu-", locus.index + 1);
  return number + safe;
}

TemporaryFolder::~TemporaryFolder() { Remove(); }

bool TemporaryFolder::Make() {
  Remove();
  std::error_code code;
  std::string pattern =
      (std::filesystem::temp_directory_path(code) / "driftwise-scan-XXXXXX").string();
  if (code || mkdtemp(pattern.data()) == nullptr) return false;
  path_ = pattern;
  return true;
}

void TemporaryFolder::Remove() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
  path_.clear();
}

bool WriteFrequencyFiles(const std::vector<ScannedLocus>& loci, bool observedStart,
                         const std::filesystem::path& dir, std::string& failed) {
  for (const ScannedLocus& l : loci) {
    if (!Tested(l)) continue;
    const std::string name = (dir / FileStem(l)).string() + "-freq.txt";
    if (!WriteWholeFile(name, FrequencyFileText(l.counts, observedStart))) {
      SetPendingIOResult(0);
      failed = name;
      return false;
    }
  }
  return true;
}

namespace {

// The settings every count of the p-values follows, as the scan takes them.
void SettleCounts(ScanSettings& s, std::size_t tested) {
  if (s.engine != ScanEngine::Counts) s.sequential = false;
  if (s.sequential && !s.userCeiling) s.ceiling = DefaultCeiling(tested, s.fdr);
  if (!s.sequential) s.ceiling = static_cast<uint64_t>(s.I);
}

// The parts of the summary the settings make, before the fit.
void StartSummary(const ScanSettings& s, ScanSummary& summary) {
  const bool counts = s.engine == ScanEngine::Counts;
  summary.null.model = s.model;
  summary.null.observedStart = s.observedStart;
  summary.null.N = s.N;
  summary.null.I = s.sequential ? 0 : s.I;
  summary.null.engine = counts ? "counts" : "individuals";
  summary.null.perPass = kCalibrationSimulations;
  summary.pvalues.engine = summary.null.engine;
  summary.pvalues.sequential = s.sequential;
  summary.pvalues.tailHits = s.tailHits;
  summary.pvalues.ceiling = s.ceiling;
  summary.pvalues.userCeiling = s.userCeiling;
  summary.pvalues.alone = s.alone && s.sequential;
}

// The rest, once the loci ran (or, with fitOnly, once the null is fitted).
void EndSummary(const ScanSettings& s, std::vector<ScannedLocus> loci, const std::string& file,
                ScanSummary& summary) {
  summary.file = file;
  summary.n = s.n;
  summary.fdr = s.fdr;
  summary.seed = s.seed;
  summary.seededFromClock = s.seededFromClock;
  summary.null.T = s.T;
  summary.null.m = s.m;
  summary.null.mValue = StoreF64(ParseReal(s.m, kMarks));
  summary.loci = std::move(loci);
  if (s.fitOnly) return;
  summary.hasPositions = std::any_of(summary.loci.begin(), summary.loci.end(),
                                     [](const ScannedLocus& l) { return !l.chrom.empty(); });
  SummariseScan(summary);
}

// What RunScan will run, as far as it is known before the fit.
ScanPlan PlanOf(const ScanSettings& s, const std::vector<ScannedLocus>& loci) {
  ScanPlan plan;
  plan.sequential = s.sequential;
  const std::size_t tested = TestedCount(loci);
  if (!s.givenFit && s.calibrate && tested > 0) {
    // The bracket's two ends, then the bisections.
    plan.fitPasses = 2 + CalibrationSetup{}.bisections;
    plan.fitLoci = s.engine == ScanEngine::Counts ? std::min(tested, kFitLoci) : tested;
    plan.fitSimulations = kCalibrationSimulations;
  }
  if (s.fitOnly) return plan;
  for (const ScannedLocus& l : loci)
    plan.testLoci += Tested(l) && (!s.share || (l.index >= s.share->first && l.index < s.share->second));
  const uint64_t each = s.sequential ? std::min<uint64_t>(kFirstRound, s.ceiling) : static_cast<uint64_t>(s.I);
  plan.testSimulations = plan.testLoci * each;
  return plan;
}

}  // namespace

namespace {

// A word as a POSIX shell reads it back: in single quotes, each ' as '\''.
std::string ShellQuoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ShortestText(double value) {
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return error == std::errc() ? std::string(text, end) : std::string("0");
}

}  // namespace

std::string ScanCommandLine(const ScanSettings& s, const std::string& file,
                            const std::string& popmap) {
  const ScanSettings defaults;
  std::string line = "driftwise scan " + ShellQuoted(file);
  if (!popmap.empty()) line += " --popmap " + ShellQuoted(popmap);
  line += " -N " + std::to_string(s.N) + " -T " + std::to_string(s.T) + " --model " + s.model +
          " --start " + (s.observedStart ? "observed" : "pooled") + " --seed " +
          std::to_string(s.seed);
  if (s.engine == ScanEngine::Individuals) line += " --engine individuals";
  // The individual engine always runs a fixed count; the count engine only under -I.
  if (!s.sequential || s.engine == ScanEngine::Individuals) line += " -I " + std::to_string(s.I);
  if (s.sequential && s.tailHits != defaults.tailHits)
    line += " --tail-hits " + std::to_string(s.tailHits);
  if (s.sequential && s.userCeiling) line += " --max-simulations " + std::to_string(s.ceiling);
  if (s.n) line += " -n " + std::to_string(*s.n);
  if (!s.calibrate) line += " -m " + s.m;
  if (s.fdr != defaults.fdr) line += " --fdr " + ShortestText(s.fdr);
  return line;
}

ScanSummary SummaryOfParts(ScanSettings s, std::vector<ScannedLocus> loci, const std::string& file,
                           std::size_t nulls) {
  ScanSummary summary;
  SettleCounts(s, TestedCount(loci));
  StartSummary(s, summary);
  summary.null.fit = s.givenFit;
  summary.pvalues.fitLoci = s.givenFitLoci;
  summary.pvalues.nulls = nulls;
  EndSummary(s, std::move(loci), file, summary);
  return summary;
}

ScanResult RunScan(ScanSettings s, std::vector<ScannedLocus> loci, const std::string& file,
                   ScanObserver& observer, const CancelRequest& cancel) {
  const Services services{observer, cancel};
  ScanResult result;
  ScanSummary& summary = result.summary;
  const std::size_t tested = TestedCount(loci);
  SettleCounts(s, tested);
  StartSummary(s, summary);
  observer.ScanPlanned(PlanOf(s, loci));
  if (s.givenFit) {
    summary.null.fit = s.givenFit;
    summary.pvalues.fitLoci = s.givenFitLoci;
  } else if (s.calibrate && tested > 0) {
    std::variant<Calibration, std::string> fit;
    try {
      fit = CalibrateNull(s, loci, services, summary.pvalues.fitLoci);
    } catch (const PassFailed& failed) {
      result.outcome = ScanOutcome::Failed;
      result.problem = failed.message;
      return result;
    }
    // A cancelled fit is reported as the cancel, not as a refusal.
    if (const std::string* problem = std::get_if<std::string>(&fit)) {
      if (!cancel.Requested()) {
        result.outcome = ScanOutcome::NoFit;
        result.problem = *problem;
        return result;
      }
    } else {
      summary.null.fit = std::get<Calibration>(std::move(fit));
    }
  }
  if (!cancel.Requested() && !s.fitOnly) {
    if (s.engine == ScanEngine::Counts)
      summary.pvalues.nulls = RunCountTests(s, loci, observer, cancel);
    else
      RunAll(s, loci, services);
  }
  if (cancel.Requested()) {
    result.outcome = ScanOutcome::Cancelled;
    return result;
  }
  EndSummary(s, std::move(loci), file, summary);
  return result;
}

}  // namespace dw::scan
