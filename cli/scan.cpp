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

#include "chart/qt/export.h"
#include "cli/command_line.h"
#include "cli/interrupts.h"
#include "cli/observe.h"
#include "cli/outputs.h"
#include "cli/plot.h"
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
  std::string m, model;
  bool observedStart = false;
  uint32_t seed = 0;
  unsigned threads = 1;
  double fdr = 0.1;
  std::filesystem::path dir;
};

// A locus as the scan sees it: the data's counts and estimate, and the run.
struct LocusJob {
  std::size_t index = 0;  // 0-based locus of the file
  std::string name;
  data::LocusCounts counts;
  data::LocusEstimate estimate;
  int32_t P = 0, A = 0, n = 0;
  uint32_t seed = 0;
  // Filled by the run.
  bool ran = false;
  std::string failure;
  int failureStatus = 0;  // kExitRefused or kExitRuntimeError
  uint64_t simulations = 0, lower = 0, higher = 0;
  double low = 0, median = 0, high = 0;
};

bool Tested(const LocusJob& job) { return job.estimate.status == data::LocusStatus::Polymorphic; }

class LocusForm : public RunForm {
 public:
  LocusForm(const ScanSettings& s, const LocusJob& job, std::string input, std::string output)
      : s_(s), job_(job), input_(std::move(input)), output_(std::move(output)) {}
  int32_t Populations() override { return job_.P; }
  int32_t PopulationSize() override { return s_.N; }
  int32_t Generations() override { return s_.T; }
  int32_t Alleles() override { return job_.A; }
  int32_t SampleSize() override { return job_.n; }
  int32_t Simulations() override { return s_.I; }
  std::string MigrationRateText() override { return s_.m; }
  // The counts are taken from the Delta values themselves; this text only
  // places the observed class of the engine's histogram.
  std::string ObservedDeltaText() override { return Fixed(job_.estimate.delta, 18); }
  bool InfiniteIslandSelected() override { return s_.model == "infinite"; }
  bool SteppingStoneSelected() override { return s_.model == "stepping"; }
  std::string InputFileName() override { return input_; }
  std::string ResultFileName() override { return output_; }

 private:
  const ScanSettings& s_;
  const LocusJob& job_;
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

std::string FileStem(const LocusJob& job) {
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

// One locus's test on this thread's engine state.
void RunLocus(const ScanSettings& s, LocusJob& job, EngineState& state) {
  const std::string stem = (s.dir / FileStem(job)).string();
  const std::string input = stem + "-freq.txt", output = stem + "-fst.txt";
  try {
    if (!WriteWholeFile(input, FrequencyFileText(job.counts, s.observedStart))) CheckIO();
    LocusForm form(s, job, input, output);
    KeptMessage message;
    RecordedHistogram histogram;
    FixedSeed seed(job.seed);
    InterruptWatch interrupts;  // a signal stops the locus at its next simulation
    RunServices services{message, histogram, seed, kMarks, &interrupts};
    services.threads = 1;  // the scan spreads its loci over the cores itself
    Random rng;
    if (RunNeutralityTest(form, services, state, rng) != RunOutcome::Finished) {
      job.failure = message.last;
      job.failureStatus = kExitRefused;
      return;
    }
  } catch (const RuntimeError& e) {
    SetPendingIOResult(0);
    job.failure = CommandLineErrorText(e);
    job.failureStatus = kExitRuntimeError;
    return;
  } catch (const std::exception& e) {  // out of memory: this locus fails, the others go on
    job.failure = e.what();
    job.failureStatus = kExitRuntimeError;
    return;
  }
  const double observed = static_cast<double>(job.estimate.delta);
  std::vector<double> values(state.DeltaSeries.begin() + 1, state.DeltaSeries.end());
  job.simulations = values.size();
  job.higher = static_cast<uint64_t>(
      std::count_if(values.begin(), values.end(), [&](double d) { return d > observed; }));
  job.lower = job.simulations - job.higher;  // values equal to the observed count as lower
  std::sort(values.begin(), values.end());
  job.low = Quantile(values, 0.025);
  job.median = Quantile(values, 0.5);
  job.high = Quantile(values, 0.975);
  job.ran = true;
}

// Loci done out of all, on standard error when it is a terminal.
class ScanProgress {
 public:
  ScanProgress(std::ostream& err, std::size_t total)
      : err_(err), total_(total), shown_(isatty(STDERR_FILENO) != 0 && total > 0) {}
  void LocusDone() {
    if (!shown_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    const std::size_t filled = done_ * 40 / total_;
    err_ << "\r[" << std::string(filled, '#') << std::string(40 - filled, ' ') << "] " << done_
         << "/" << total_ << " loci" << std::flush;
    if (done_ == total_) err_ << "\r" << std::string(64, ' ') << "\r" << std::flush;
  }

 private:
  std::ostream& err_;
  std::size_t total_, done_ = 0;
  bool shown_;
  std::mutex mutex_;
};

// Each thread takes the next locus in file order; results land in the
// locus's own slot, so the order of finishing plays no part.
void RunAll(const ScanSettings& s, std::vector<LocusJob>& jobs, std::ostream& err) {
  std::vector<LocusJob*> tested;
  for (LocusJob& job : jobs)
    if (Tested(job)) tested.push_back(&job);
  ScanProgress progress(err, tested.size());
  std::atomic<std::size_t> next{0};
  const auto worker = [&] {
    // The x87 control word belongs to the thread.
    EstablishFloatErrorMode();
    std::unique_ptr<EngineState> state;
    for (std::size_t k = next++; k < tested.size() && InterruptSignal() == 0; k = next++) {
      try {
        if (!state) state = std::make_unique<EngineState>();
        RunLocus(s, *tested[k], *state);
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
  s.m = o.m;
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
  try {
    s.fdr = StoreF64(ParseReal(o.fdr, kMarks));
    if (!(s.fdr >= 0.0 && s.fdr <= 1.0)) {
      err << "--fdr: '" << o.fdr << "' must be between 0 and 1\n";
      return kExitUsage;
    }
    const double m = StoreF64(ParseReal(o.m, kMarks));
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
int PlanLoci(const data::GenepopData& data, const ScanSettings& s, std::vector<LocusJob>& jobs,
             std::ostream& err) {
  for (std::size_t locus = 0; locus < data.loci.size(); ++locus) {
    LocusJob job;
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

std::string ScanTable(const std::vector<LocusJob>& jobs, const std::vector<double>& q, double fdr) {
  std::string table =
      "locus\tP\tA\tn\tWC\tRH\tDelta_obs\tsimulations\tlower\thigher\tp_higher\tp_lower\t"
      "p_two_sided\tq_value\tflag\tseed\n";
  std::size_t k = 0;
  for (const LocusJob& job : jobs) {
    table += job.name + "\t" + std::to_string(job.P) + "\t" + std::to_string(job.A) + "\t";
    const bool estimated = Tested(job) || job.estimate.status == data::LocusStatus::Biallelic;
    if (!estimated) {
      table += std::string("NA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\t") +
               data::StatusText(job.estimate.status) + "\tNA\n";
      continue;
    }
    table += std::to_string(job.n) + "\t" + Fixed(job.estimate.wc, 7) + "\t" +
             Fixed(job.estimate.rh, 7) + "\t" + Fixed(job.estimate.delta, 7) + "\t";
    if (!Tested(job)) {
      table += std::string("NA\tNA\tNA\tNA\tNA\tNA\tNA\t") + data::StatusText(job.estimate.status) +
               "\tNA\n";
      continue;
    }
    if (!job.ran) {
      table += "NA\tNA\tNA\tNA\tNA\tNA\tNA\terror\t" + std::to_string(job.seed) + "\n";
      continue;
    }
    const TailProbabilities p = TailsOf(job.simulations, job.lower, job.higher);
    const double qValue = q[k++];
    table += std::to_string(job.simulations) + "\t" + std::to_string(job.lower) + "\t" +
             std::to_string(job.higher) + "\t" + Fixed(p.higher, 6) + "\t" + Fixed(p.lower, 6) +
             "\t" + Fixed(p.twoSided, 6) + "\t" + Fixed(qValue, 6) + "\t" +
             (qValue <= fdr ? "yes" : "no") + "\t" + std::to_string(job.seed) + "\n";
  }
  return table;
}

ScanPlot PlotOf(const std::vector<LocusJob>& jobs, const std::vector<double>& q, double fdr,
                const ScanOptions& o) {
  ScanPlot plot;
  const std::string model = o.model == "infinite" ? "infinite island"
                            : o.model == "finite" ? "finite island"
                                                  : "stepping-stone";
  plot.title = "Simulated Delta (median, 2.5-97.5 %) and observed Delta per locus; red: q <= " +
               Fixed(fdr, 2) + "; N=" + o.N + ", m=" + o.m + ", T=" + o.T + ", " + model;
  std::size_t k = 0;
  for (const LocusJob& job : jobs) {
    if (!job.ran) continue;
    plot.loci.push_back(PlotLocus{job.name, job.low, job.median, job.high,
                                  static_cast<double>(job.estimate.delta), q[k++] <= fdr});
  }
  return plot;
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
  scan.add_option("-m,--migration", o.m, "Migration rate (m), 0 to 1")
      ->capture_default_str()
      ->type_name("REAL");
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
  for (CLI::Option* option : scan.get_options())
    if (option->get_name() != "file") option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

int ScanCommand(const ScanOptions& options, std::ostream& out, std::ostream& err) {
  ScanSettings settings;
  if (const int status = ReadSettings(options, settings, err)) return status;
  std::vector<FileRole> roles{{"FILE", options.file, true}};
  if (options.tsv) roles.push_back({"--tsv", *options.tsv});
  if (options.plot) roles.push_back({"--plot", *options.plot});
  if (const auto problem = SameFileInTwoRoles(roles)) {
    err << *problem << "\n";
    return kExitUsage;
  }
  data::GenepopData data;
  if (const int status = LoadGenepop(options.file, data, err)) return status;
  std::vector<LocusJob> jobs;
  if (const int status = PlanLoci(data, settings, jobs, err)) return status;
  if (!MakeDirectory(options, settings, err)) return kExitRuntimeError;
  RunAll(settings, jobs, err);
  if (!options.resultsDir) {
    std::error_code ignored;
    std::filesystem::remove_all(settings.dir, ignored);
  }
  if (InterruptSignal() != 0) {
    err << InterruptedText() << ": no table written"
        << (options.resultsDir ? "; the loci's files so far are in " + *options.resultsDir : "")
        << "\n";
    return InterruptExitStatus();
  }
  int status = kExitDone;
  std::vector<double> pValues;
  for (const LocusJob& job : jobs) {
    if (job.ran)
      pValues.push_back(TailsOf(job.simulations, job.lower, job.higher).twoSided);
    else if (Tested(job)) {
      err << "locus " << job.name << ": " << job.failure << "\n";
      status = std::max(status, job.failureStatus);
    }
  }
  const std::vector<double> q = BenjaminiHochberg(pValues);
  const std::string table = ScanTable(jobs, q, settings.fdr);
  try {
    if (options.tsv && *options.tsv != "-")
      WriteOutputFile(*options.tsv, table, out);
    else
      out << table;
  } catch (const RuntimeError& e) {
    err << CommandLineErrorText(e) << "\n";
    return kExitRuntimeError;
  }
  out.flush();
  if (options.plot) {
    std::string error;
    if (!WriteScanPlot(*options.plot, PlotOf(jobs, q, settings.fdr, options), error)) {
      err << error << "\n";
      return kExitRuntimeError;
    }
  }
  return status;
}

}  // namespace dw::cli
