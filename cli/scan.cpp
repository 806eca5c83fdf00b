#include "cli/scan.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <variant>

#include "chart/qt/export.h"
#include "cli/command_line.h"
#include "cli/interrupts.h"
#include "cli/observe.h"
#include "cli/outputs.h"
#include "cli/plot.h"
#include "cli/scanreport.h"
#include "data/observed.h"
#include "engine/rundriver.h"
#include "runtime/errors.h"
#include "runtime/floatmode.h"
#include "runtime/inttext.h"
#include "runtime/messages.h"
#include "runtime/numtext.h"
#include "runtime/textfile.h"

namespace dw::cli {

uint32_t LocusSeed(uint32_t base, uint32_t locus) {
  // The finaliser of MurmurHash3 over base + golden-ratio multiple of the locus.
  uint32_t x = base + 0x9E3779B9u * locus;
  x ^= x >> 16;
  x *= 0x85EBCA6Bu;
  x ^= x >> 13;
  x *= 0xC2B2AE35u;
  x ^= x >> 16;
  return x;
}

std::vector<double> BenjaminiHochberg(const std::vector<double>& p) {
  const std::size_t m = p.size();
  std::vector<std::size_t> order(m);
  for (std::size_t i = 0; i < m; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return p[a] < p[b]; });
  std::vector<double> q(m);
  double running = 1.0;
  for (std::size_t k = m; k-- > 0;) {
    const std::size_t i = order[k];
    running = std::min(running, p[i] * static_cast<double>(m) / static_cast<double>(k + 1));
    q[i] = running;
  }
  return q;
}

TailProbabilities TailsOf(uint64_t simulations, uint64_t lowerCount, uint64_t higherCount) {
  TailProbabilities t;
  const double total = static_cast<double>(simulations) + 1.0;
  t.higher = (static_cast<double>(higherCount) + 1.0) / total;
  t.lower = (static_cast<double>(lowerCount) + 1.0) / total;
  t.twoSided = std::min(1.0, 2.0 * std::min(t.higher, t.lower));
  return t;
}

double Quantile(const std::vector<double>& sorted, double q) {
  if (sorted.empty()) return 0.0;
  const double position = q * static_cast<double>(sorted.size() - 1);
  const std::size_t below = static_cast<std::size_t>(std::floor(position));
  if (below + 1 >= sorted.size()) return sorted.back();
  const double share = position - static_cast<double>(below);
  return sorted[below] + share * (sorted[below + 1] - sorted[below]);
}

namespace {

const NumberMarks kMarks{'.', ','};

std::string Fixed(long double value, int decimals) {
  return FormatFixed(value, 18, decimals, kMarks);
}

// The parameters every locus shares, checked once.
struct ScanSettings {
  int32_t N = 0, T = 0, I = 0;
  std::optional<int32_t> n;
  std::string m, model;  // m: as the final runs take it
  bool calibrate = true;
  bool observedStart = false;
  uint32_t seed = 0;
  bool seededFromClock = false;
  unsigned threads = 1;
  double fdr = 0.1;
  std::filesystem::path dir;
};

// The null one pass of runs takes.
struct NullRun {
  std::string m;
  int32_t T = 0, I = 0;
};

// Simulations per locus in each pass of the calibration: enough for the
// trimmed mean over loci to move smoothly with m, few next to the test's I.
constexpr int32_t kCalibrationSimulations = 100;

class LocusForm : public RunForm {
 public:
  LocusForm(const ScanSettings& s, const NullRun& null, const ScannedLocus& job, std::string input,
            std::string output)
      : s_(s), null_(null), job_(job), input_(std::move(input)), output_(std::move(output)) {}
  int32_t Populations() override { return job_.P; }
  int32_t PopulationSize() override { return s_.N; }
  int32_t Generations() override { return null_.T; }
  int32_t Alleles() override { return job_.A; }
  int32_t SampleSize() override { return job_.n; }
  int32_t Simulations() override { return null_.I; }
  std::string MigrationRateText() override { return null_.m; }
  // The counts are taken from the Delta values themselves; this text only
  // places the observed class of the engine's histogram.
  std::string ObservedDeltaText() override { return Fixed(job_.estimate.delta, 18); }
  bool InfiniteIslandSelected() override { return s_.model == "infinite"; }
  bool SteppingStoneSelected() override { return s_.model == "stepping"; }
  std::string InputFileName() override { return input_; }
  std::string ResultFileName() override { return output_; }

 private:
  const ScanSettings& s_;
  const NullRun& null_;
  const ScannedLocus& job_;
  std::string input_, output_;
};

class KeptMessage : public MessageSink {
 public:
  void ShowInfoMessage(const std::string& text) override { last = text; }
  std::string last;
};

// P + 1 rows of the locus's A alleles: each population at the pooled sample
// frequencies, or at its own; the migrant source at the pooled ones. CR LF
// ends every row; nine decimals keep each row's sum within 10^-5 of 1.
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

std::string FileStem(const ScannedLocus& job) {
  // The number keeps the names apart; the name part only helps the eye, so a
  // long locus name is shortened rather than make a name the system refuses.
  constexpr std::size_t kNamePart = 40;
  std::string safe;
  for (char c : job.name.substr(0, kNamePart))
    safe += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.') ? c : '_';
  char number[16];
  std::snprintf(number, sizeof number, "locus%03zu-", job.index + 1);
  return number + safe;
}

bool WriteWholeFile(const std::string& name, const std::string& text) {
  TextFile file;
  Assign(file, name);
  OpenWrite(file);
  if (PendingIOResult() != 0) return false;
  WriteText(file, text);
  CloseFile(file);
  return PendingIOResult() == 0;
}

// Why a locus's run did not finish; empty when it did.
struct LocusFailure {
  std::string message;
  int status = 0;  // kExitRefused or kExitRuntimeError
};

// One locus's run on this thread's engine state, from `seed` into the
// result file `output` (in the scan's directory); its series are then in
// `state`.
LocusFailure RunLocus(const ScanSettings& s, const NullRun& null, const ScannedLocus& job,
                      uint32_t seed, const std::string& output, EngineState& state) {
  const std::string input = (s.dir / FileStem(job)).string() + "-freq.txt";
  try {
    if (!WriteWholeFile(input, FrequencyFileText(job.counts, s.observedStart))) CheckIO();
    LocusForm form(s, null, job, input, (s.dir / output).string());
    KeptMessage message;
    RecordedHistogram histogram;
    FixedSeed fixed(seed);
    InterruptWatch interrupts;  // a signal stops the locus at its next simulation
    RunServices services{message, histogram, fixed, kMarks, &interrupts};
    services.threads = 1;  // the scan spreads its loci over the cores itself
    // A simulated sample fixed for one allele is left out, not fatal: the
    // test is conditional on a polymorphic sample, as the observed one is.
    services.skipUndefined = true;
    Random rng;
    if (RunNeutralityTest(form, services, state, rng) != RunOutcome::Finished)
      return {message.last, kExitRefused};
  } catch (const RuntimeError& e) {
    SetPendingIOResult(0);
    return {CommandLineErrorText(e), kExitRuntimeError};
  } catch (const std::exception& e) {  // out of memory: this locus fails, the others go on
    return {e.what(), kExitRuntimeError};
  }
  return {};
}

// The test's counts from the run just made.
void TakeResults(const EngineState& state, ScannedLocus& job) {
  const double observed = static_cast<double>(job.estimate.delta);
  const double observedWc = static_cast<double>(job.estimate.wc);
  std::vector<double> values(state.DeltaSeries.begin() + 1, state.DeltaSeries.end());
  job.simulatedWc.assign(state.WCSeries.begin() + 1, state.WCSeries.end());
  job.simulations = values.size();
  job.undefined = state.UndefinedCount;
  job.higher = static_cast<uint64_t>(
      std::count_if(values.begin(), values.end(), [&](double d) { return d > observed; }));
  job.lower = job.simulations - job.higher;  // values equal to the observed count as lower
  job.wcHigher = static_cast<uint64_t>(std::count_if(
      job.simulatedWc.begin(), job.simulatedWc.end(), [&](double wc) { return wc > observedWc; }));
  job.wcLower = job.simulations - job.wcHigher;
  std::sort(values.begin(), values.end());
  job.low = Quantile(values, 0.025);
  job.median = Quantile(values, 0.5);
  job.high = Quantile(values, 0.975);
  job.ran = true;
}

// Loci done out of all, on standard error when it is a terminal.
class ScanProgress {
 public:
  ScanProgress(std::ostream& err, std::size_t total, std::string label)
      : err_(err), total_(total), label_(std::move(label)),
        shown_(isatty(STDERR_FILENO) != 0 && total > 0) {}
  void LocusDone() {
    if (!shown_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    const std::size_t filled = done_ * 40 / total_;
    err_ << "\r[" << std::string(filled, '#') << std::string(40 - filled, ' ') << "] " << done_
         << "/" << total_ << " loci" << label_ << std::flush;
    if (done_ == total_) err_ << "\r" << std::string(64 + label_.size(), ' ') << "\r" << std::flush;
  }

 private:
  std::ostream& err_;
  std::size_t total_, done_ = 0;
  std::string label_;
  bool shown_;
  std::mutex mutex_;
};

// Runs `work(k, locus, state)` for every tested locus k (0-based among
// them). Each thread takes the next locus in file order; results land in the
// locus's own slot, so the order of finishing plays no part.
template <typename Work>
void ForEachTested(const ScanSettings& s, std::vector<ScannedLocus>& jobs, ScanProgress& progress,
                   Work work) {
  std::vector<ScannedLocus*> tested;
  for (ScannedLocus& job : jobs)
    if (Tested(job)) tested.push_back(&job);
  std::atomic<std::size_t> next{0};
  const auto worker = [&] {
    // The x87 control word belongs to the thread.
    EstablishFloatErrorMode();
    std::unique_ptr<EngineState> state;
    for (std::size_t k = next++; k < tested.size() && InterruptSignal() == 0; k = next++) {
      try {
        if (!state) state = std::make_unique<EngineState>();
        work(k, *tested[k], *state);
      } catch (const std::bad_alloc&) {
        tested[k]->failure = "not enough memory for the engine's tables";
        tested[k]->failureStatus = kExitRuntimeError;
      }
      progress.LocusDone();
    }
  };
  const std::size_t count =
      std::max<std::size_t>(1, std::min<std::size_t>(s.threads, tested.size()));
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < count; ++t) threads.emplace_back(worker);
  for (std::thread& t : threads) t.join();
}

std::size_t TestedCount(const std::vector<ScannedLocus>& jobs) {
  return static_cast<std::size_t>(std::count_if(jobs.begin(), jobs.end(), Tested));
}

void RunAll(const ScanSettings& s, std::vector<ScannedLocus>& jobs, std::ostream& err) {
  ScanProgress progress(err, TestedCount(jobs), "");
  const NullRun null{s.m, s.T, s.I};
  ForEachTested(s, jobs, progress, [&](std::size_t, ScannedLocus& job, EngineState& state) {
    const LocusFailure failure =
        RunLocus(s, null, job, job.seed, FileStem(job) + "-fst.txt", state);
    if (failure.status != 0) {
      job.failure = failure.message;
      job.failureStatus = failure.status;
      return;
    }
    TakeResults(state, job);
  });
}

// The calibration's seeds: its own stream per locus, the same at every pass
// (common random numbers) and apart from the test's.
uint32_t CalibrationSeed(const ScanSettings& s, const ScannedLocus& job) {
  return LocusSeed(LocusSeed(s.seed, 0), static_cast<uint32_t>(job.index + 1));
}

// One pass of the calibration: WC of kCalibrationSimulations simulations of
// every tested locus under `setting`. A locus whose run fails gives none
// (the test's own run reports it).
LocusSimulations CalibrationPass(const ScanSettings& s, std::vector<ScannedLocus>& jobs,
                                 const NullSetting& setting, int pass, std::ostream& err) {
  ScanProgress progress(err, TestedCount(jobs), ", fitting the null, pass " + std::to_string(pass));
  const NullRun null{FormatFixed(setting.m, 18, 12, kMarks), setting.T, kCalibrationSimulations};
  LocusSimulations wc(TestedCount(jobs));
  ForEachTested(s, jobs, progress, [&](std::size_t k, ScannedLocus& job, EngineState& state) {
    const std::string output = FileStem(job) + "-calibration-fst.txt";
    if (RunLocus(s, null, job, CalibrationSeed(s, job), output, state).status == 0)
      wc[k].assign(state.WCSeries.begin() + 1, state.WCSeries.end());
    std::error_code ignored;
    std::filesystem::remove(s.dir / output, ignored);
  });
  return wc;
}

// Fits m (or T at m = 0) and sets the runs' null from it; the reason when
// no null fits.
std::variant<Calibration, std::string> CalibrateNull(ScanSettings& s,
                                                     std::vector<ScannedLocus>& jobs,
                                                     std::ostream& err) {
  std::vector<double> observed;
  for (const ScannedLocus& job : jobs)
    if (Tested(job)) observed.push_back(static_cast<double>(job.estimate.wc));
  CalibrationSetup setup;
  setup.N = s.N;
  setup.T = s.T;
  setup.bootstrapSeed = (uint64_t{s.seed} << 32) ^ 0xB0075u;
  int pass = 0;
  auto result = Calibrate(observed, setup, [&](const NullSetting& setting) {
    return CalibrationPass(s, jobs, setting, ++pass, err);
  });
  if (const Calibration* c = std::get_if<Calibration>(&result)) {
    s.m = c->kind == CalibrationKind::Generations ? "0" : MigrationText(c->fitted.m);
    s.T = c->fitted.T;
  }
  return result;
}

std::optional<int32_t> ReadCount(const std::string& option, const std::string& text,
                                 std::ostream& err) {
  const auto value = ParseInteger(text);
  if (!value) err << option << ": '" << text << "' is not a whole number\n";
  return value;
}

// 0, or the exit status after the message.
int ReadSettings(const ScanOptions& o, ScanSettings& s, std::ostream& err) {
  const auto N = ReadCount("--size", o.N, err), T = ReadCount("--generations", o.T, err),
             I = ReadCount("--simulations", o.I, err);
  if (!N || !T || !I) return kExitUsage;
  s.N = *N, s.T = *T, s.I = *I;
  if (o.n && !(s.n = ReadCount("--sample", *o.n, err))) return kExitUsage;
  // The counts every locus shares are refused once, before any locus runs;
  // P and A (and n when not given) are each locus's own, checked as it runs.
  if (const auto problem = CountProblem({2, s.N, s.T, 2, s.n.value_or(2), s.I})) {
    err << *problem << "\n";
    return kExitRefused;
  }
  if (o.calibrate && *o.calibrate == "m" && o.m) {
    err << "--calibrate m fits the migration rate: it cannot be given with -m\n";
    return kExitUsage;
  }
  s.calibrate = o.calibrate ? *o.calibrate == "m" : !o.m;
  s.m = o.m.value_or("0.1");
  s.model = o.model;
  s.observedStart = o.start == "observed";
  if (o.seed) {
    uint64_t value = 0;
    bool ok = !o.seed->empty() && o.seed->size() <= 10;
    for (char c : *o.seed) {
      ok = ok && c >= '0' && c <= '9';
      value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (!ok || value > 0xFFFFFFFFull) {
      err << "--seed: '" << *o.seed << "' is not a whole number from 0 to 4294967295\n";
      return kExitUsage;
    }
    s.seed = static_cast<uint32_t>(value);
  } else {
    Random clock;
    clock.SeedFromClock();
    s.seed = clock.RandomSeed;
    s.seededFromClock = true;
  }
  s.threads = std::max(1u, std::thread::hardware_concurrency());
  if (o.threads) {
    const auto threads = ParseInteger(*o.threads);
    if (!threads || *threads < 1 || *threads > 1024) {
      err << "--threads: '" << *o.threads << "' is not a whole number from 1 to 1024\n";
      return kExitUsage;
    }
    s.threads = static_cast<unsigned>(*threads);
  }
  if (o.plot && !chart::ChartFormatFromFileName(*o.plot)) {
    err << "--plot: '" << *o.plot << "' must end in .png, .svg or .pdf\n";
    return kExitUsage;
  }
  if (o.json && *o.json == "-" && o.tsv && *o.tsv == "-") {
    err << "--json - and --tsv - cannot both write to standard output\n";
    return kExitUsage;
  }
  try {
    s.fdr = StoreF64(ParseReal(o.fdr, kMarks));
    if (!(s.fdr >= 0.0 && s.fdr <= 1.0)) {
      err << "--fdr: '" << o.fdr << "' must be between 0 and 1\n";
      return kExitUsage;
    }
    const double m = StoreF64(ParseReal(s.m, kMarks));
    if (m < 0.0 || m > 1.0) {
      err << kMigrationRateMessage << "\n";
      return kExitRefused;
    }
  } catch (const RuntimeError& e) {
    err << ErrorBoxText(e.Message()) << "\n";
    return kExitRuntimeError;
  }
  return 0;
}

// The loci in file order with their data and their run's parameters.
int PlanLoci(const data::GenepopData& data, const ScanSettings& s,
             std::vector<ScannedLocus>& jobs, std::ostream& err) {
  for (std::size_t locus = 0; locus < data.loci.size(); ++locus) {
    ScannedLocus job;
    job.index = locus;
    job.name = data.loci[locus];
    job.counts = data::CountLocus(data, locus);
    job.estimate = data::EstimateLocus(job.counts);
    job.P = static_cast<int32_t>(job.counts.typed.size());
    job.A = static_cast<int32_t>(job.counts.alleles.size());
    long double sum = 0;
    for (uint32_t typed : job.counts.typed) sum += typed;
    job.n = s.n ? *s.n : (job.P ? static_cast<int32_t>(RoundToInt(sum / job.P)) : 0);
    job.seed = LocusSeed(s.seed, static_cast<uint32_t>(locus + 1));
    if (Tested(job) && job.n > s.N) {
      err << "locus " << job.name << ": " << kSampleSizeMessage << " (n = " << job.n
          << ", N = " << s.N << ")\n";
      return kExitRefused;
    }
    jobs.push_back(std::move(job));
  }
  return 0;
}

// Where the per-locus files go: --results-dir, or a directory of our own
// that is removed afterwards.
bool MakeDirectory(const ScanOptions& o, ScanSettings& s, std::ostream& err) {
  std::error_code code;
  if (o.resultsDir) {
    s.dir = *o.resultsDir;
    std::filesystem::create_directories(s.dir, code);
    if (code)
      err << "--results-dir: cannot create '" << *o.resultsDir << "': " << code.message() << "\n";
    return !code;
  }
  std::string pattern =
      (std::filesystem::temp_directory_path(code) / "driftwise-scan-XXXXXX").string();
  if (code || mkdtemp(pattern.data()) == nullptr) {
    err << "cannot create a temporary directory for the loci's files\n";
    return false;
  }
  s.dir = pattern;
  return true;
}

}  // namespace

void AddScanOptions(CLI::App& scan, ScanOptions& o) {
  scan.add_option("file", o.file, "Genepop file (diploid, 2- or 3-digit alleles)")
      ->required()
      ->type_name("FILE");
  scan.add_option("-N,--size", o.N, "Effective population size (N)")
      ->capture_default_str()
      ->type_name("INT");
  scan.add_option("-m,--migration", o.m,
                  "Migration rate (m), 0 to 1: the null at this m, not fitted. Default: fitted "
                  "to the loci (--calibrate m)")
      ->type_name("REAL");
  scan.add_option("--calibrate", o.calibrate,
                  "'m': fit m so that the null's 10 % trimmed mean WC over the loci matches the "
                  "data's (the default without -m); 'none': the null at -m (0.1 by default)")
      ->check(CLI::IsMember({"none", "m"}))
      ->type_name("WHAT");
  scan.add_option("-T,--generations", o.T, "Number of generations (T)")
      ->capture_default_str()
      ->type_name("INT");
  scan.add_option("-I,--simulations", o.I, "Number of simulations (I) per locus")
      ->capture_default_str()
      ->type_name("INT");
  scan.add_option("-n,--sample", o.n,
                  "Sampling size per population (n); default: the locus's mean, rounded")
      ->type_name("INT");
  scan.add_option("--model", o.model, "Migration model")
      ->check(CLI::IsMember({"infinite", "finite", "stepping"}))
      ->capture_default_str()
      ->type_name("MODEL");
  scan.add_option("--start", o.start,
                  "Initial frequencies: 'pooled' (every population and the migrant source at the "
                  "pooled sample frequencies) or 'observed' (each population at its own)")
      ->check(CLI::IsMember({"pooled", "observed"}))
      ->capture_default_str()
      ->type_name("START");
  scan.add_option("--seed", o.seed,
                  "Base generator state (0 to 4294967295); each locus's seed is derived from it "
                  "and its number. Default: the clock")
      ->type_name("STATE");
  scan.add_option("--threads", o.threads, "Loci run at the same time (default: the cores)")
      ->type_name("INT");
  scan.add_option("--fdr", o.fdr, "Flag loci whose q-value is at most this false discovery rate")
      ->capture_default_str()
      ->type_name("REAL");
  scan.add_option("--tsv", o.tsv, "Write the table to FILE (- for standard output)")
      ->type_name("FILE");
  scan.add_option("--results-dir", o.resultsDir,
                  "Keep each locus's frequency file and result file in DIR")
      ->type_name("DIR");
  scan.add_option("--plot", o.plot, "Draw the loci's Delta to FILE (.png, .svg or .pdf)")
      ->type_name("FILE");
  scan.add_option("--json", o.json,
                  "Write the scan as JSON to FILE (- for standard output, instead of the table)")
      ->type_name("FILE");
  for (CLI::Option* option : scan.get_options())
    if (option->get_name() != "file") option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

int ScanCommand(const ScanOptions& options, std::ostream& out, std::ostream& err) {
  ScanSettings settings;
  if (const int status = ReadSettings(options, settings, err)) return status;
  std::vector<FileRole> roles{{"FILE", options.file, true}};
  if (options.tsv) roles.push_back({"--tsv", *options.tsv});
  if (options.plot) roles.push_back({"--plot", *options.plot});
  if (options.json) roles.push_back({"--json", *options.json});
  if (const auto problem = SameFileInTwoRoles(roles)) {
    err << *problem << "\n";
    return kExitUsage;
  }
  data::GenepopData data;
  if (const int status = LoadGenepop(options.file, data, err)) return status;
  std::vector<ScannedLocus> jobs;
  if (const int status = PlanLoci(data, settings, jobs, err)) return status;
  if (!MakeDirectory(options, settings, err)) return kExitRuntimeError;
  const auto removeDirectory = [&] {
    if (options.resultsDir) return;
    std::error_code ignored;
    std::filesystem::remove_all(settings.dir, ignored);
  };
  ScanSummary summary;
  summary.null.model = settings.model;
  summary.null.observedStart = settings.observedStart;
  summary.null.N = settings.N;
  summary.null.I = settings.I;
  summary.null.perPass = kCalibrationSimulations;
  if (settings.calibrate && TestedCount(jobs) > 0) {
    auto fit = CalibrateNull(settings, jobs, err);
    // An interrupted fit is reported as the interrupt, not as a refusal.
    if (const std::string* problem = std::get_if<std::string>(&fit)) {
      if (InterruptSignal() == 0) {
        removeDirectory();
        err << *problem << "\n";
        return kExitRefused;
      }
    } else {
      summary.null.fit = std::get<Calibration>(std::move(fit));
    }
  }
  if (InterruptSignal() == 0) RunAll(settings, jobs, err);
  removeDirectory();
  if (InterruptSignal() != 0) {
    err << InterruptedText() << ": no table written"
        << (options.resultsDir ? "; the loci's files so far are in " + *options.resultsDir : "")
        << "\n";
    return InterruptExitStatus();
  }
  int status = kExitDone;
  for (const ScannedLocus& job : jobs)
    if (Tested(job) && !job.ran) {
      err << "locus " << job.name << ": " << job.failure << "\n";
      status = std::max(status, job.failureStatus);
    }
  summary.file = options.file;
  summary.n = settings.n;
  summary.fdr = settings.fdr;
  summary.seed = settings.seed;
  summary.seededFromClock = settings.seededFromClock;
  summary.null.T = settings.T;
  summary.null.m = settings.m;
  summary.null.mValue = StoreF64(ParseReal(settings.m, kMarks));
  summary.loci = std::move(jobs);
  SummariseScan(summary);
  err << NullReport(summary);
  try {
    const std::string table = ScanTable(summary);
    if (options.tsv && *options.tsv != "-")
      WriteOutputFile(*options.tsv, table, out);
    else if (!(options.json && *options.json == "-"))
      out << table;
    if (options.json) WriteOutputFile(*options.json, ScanJson(summary), out);
  } catch (const RuntimeError& e) {
    err << CommandLineErrorText(e) << "\n";
    return kExitRuntimeError;
  }
  out.flush();
  if (options.plot) {
    std::string error;
    if (!WriteScanPlot(*options.plot, PlotOf(summary), error)) {
      err << error << "\n";
      return kExitRuntimeError;
    }
  }
  return status;
}

}  // namespace dw::cli
