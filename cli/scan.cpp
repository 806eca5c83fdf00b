#include "cli/scan.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <limits>
#include <mutex>
#include <thread>

#include "chart/qt/export.h"
#include "cli/command_line.h"
#include "cli/interrupts.h"
#include "cli/observe.h"
#include "cli/outputs.h"
#include "cli/scanparts.h"
#include "engine/rundriver.h"
#include "runtime/cpus.h"
#include "runtime/errors.h"
#include "runtime/floatmode.h"
#include "runtime/inttext.h"
#include "runtime/messages.h"
#include "runtime/numtext.h"
#include "runtime/osfiles.h"
#include "scan/qt/plotfile.h"

namespace dw::cli {

using namespace dw::scan;  // the scan's core, by the names the command uses

static_assert(kLocusRefused == kExitRefused && kLocusRuntimeError == kExitRuntimeError);

namespace {

// The plots' size from --plot-size and --plot-dpi (each optional); none when
// either is not valid.
std::optional<FileSize> PlotSizeOf(const ScanOptions& o) {
  FileSize size;
  if (o.plotSize) {
    const auto given = ParsePlotSize(*o.plotSize);
    if (!given) return std::nullopt;
    size = *given;
  }
  if (o.plotDpi) {
    const auto dpi = ParseOptionInteger(*o.plotDpi);
    if (!dpi || *dpi < 48 || *dpi > 1200) return std::nullopt;
    size.pixelsPerInch = static_cast<int>(*dpi);
  }
  return size;
}

const NumberMarks kMarks{'.', ','};

// Loci done out of all, on standard error when it is a terminal.
class TerminalScanProgress : public ScanObserver {
 public:
  explicit TerminalScanProgress(std::ostream& err) : err_(err), terminal_(isatty(STDERR_FILENO) != 0) {}
  void ScanPlanned(const ScanPlan& plan) override { plan_ = plan; }
  void FitPassStarted(int pass) override {
    Restart(plan_.fitLoci, ", fitting the null, pass " + std::to_string(pass));
  }
  void TestRoundStarted(uint64_t) override {
    // The loci resolved count on over the rounds.
    if (!testing_) Restart(plan_.testLoci, "");
    testing_ = true;
  }
  void LocusDone() override {
    if (!terminal_ || total_ == 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    const std::size_t filled = done_ * 40 / total_;
    err_ << "\r[" << std::string(filled, '#') << std::string(40 - filled, ' ') << "] " << done_
         << "/" << total_ << " loci" << label_ << std::flush;
    if (done_ == total_) err_ << "\r" << std::string(64 + label_.size(), ' ') << "\r" << std::flush;
  }

 private:
  void Restart(std::size_t loci, std::string label) {
    std::lock_guard<std::mutex> lock(mutex_);
    total_ = loci;
    done_ = 0;
    label_ = std::move(label);
  }

  std::ostream& err_;
  bool terminal_;
  ScanPlan plan_;
  bool testing_ = false;
  std::size_t total_ = 0, done_ = 0;
  std::string label_;
  std::mutex mutex_;
};

std::optional<int32_t> ReadCount(const std::string& option, const std::string& text,
                                 std::ostream& err) {
  const auto value = ParseInteger(text);
  if (!value) err << option << ": '" << text << "' is not a whole number\n";
  return value;
}

// 0, or the exit status after the message.
int ReadSettings(const ScanOptions& o, ScanSettings& s, std::ostream& err) {
  const auto N = ReadCount("--size", o.N, err), T = ReadCount("--generations", o.T, err),
             I = ReadCount("--simulations", o.I.value_or("1000"), err),
             hits = ReadCount("--tail-hits", o.tailHits, err);
  if (!N || !T || !I || !hits) return kExitUsage;
  s.N = *N, s.T = *T, s.I = *I;
  s.engine = o.engine == "individuals" ? ScanEngine::Individuals : ScanEngine::Counts;
  // The individual engine keeps the fixed count of earlier scans.
  s.sequential = s.engine == ScanEngine::Counts && !o.I;
  if (*hits < 1 || *hits > 1000) {
    err << "--tail-hits: '" << o.tailHits << "' is not a whole number from 1 to 1000\n";
    return kExitUsage;
  }
  s.tailHits = *hits;
  if (o.maxSimulations) {
    const auto most = ParseInteger(*o.maxSimulations);
    if (!s.sequential) {
      err << "--max-simulations caps the sequential p-values: it cannot be given with -I or "
             "--engine individuals\n";
      return kExitUsage;
    }
    if (!most || *most < 1) {
      err << "--max-simulations: '" << *o.maxSimulations << "' is not a whole number from 1 to "
          << std::numeric_limits<int32_t>::max() << "\n";
      return kExitUsage;
    }
    s.ceiling = static_cast<uint64_t>(*most);
    s.userCeiling = true;
  }
  if (o.n && !(s.n = ReadCount("--sample", *o.n, err))) return kExitUsage;
  // The counts every locus shares are refused once, before any locus runs;
  // P and A (and n when not given) are each locus's own, checked as it runs.
  if (const auto problem = SharedCountProblem(s)) {
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
    const std::optional<uint32_t> seed = ParseSeed(*o.seed);
    if (!seed) {
      err << "--seed: '" << *o.seed << "' is not a whole number from 0 to 4294967295\n";
      return kExitUsage;
    }
    s.seed = *seed;
  } else {
    Random clock;
    clock.SeedFromClock();
    s.seed = clock.RandomSeed;
    s.seededFromClock = true;
  }
  s.threads = UsableCpuCount();
  if (o.threads) {
    const auto threads = ParseInteger(*o.threads);
    if (!threads || *threads < 1 || *threads > 1024) {
      err << "--threads: '" << *o.threads << "' is not a whole number from 1 to 1024\n";
      return kExitUsage;
    }
    s.threads = static_cast<unsigned>(*threads);
  }
  if (o.plotWcHe && !chart::ChartFormatFromFileName(*o.plotWcHe)) {
    err << "--plot-wc-he: '" << *o.plotWcHe << "' must end in .png, .svg or .pdf\n";
    return kExitUsage;
  }
  if (o.plotQ && !chart::ChartFormatFromFileName(*o.plotQ)) {
    err << "--plot-q: '" << *o.plotQ << "' must end in .png, .svg or .pdf\n";
    return kExitUsage;
  }
  if (!PlotSizeOf(o)) {
    err << (o.plotSize && !ParsePlotSize(*o.plotSize)
                ? "--plot-size: '" + *o.plotSize + "' is not WIDTHxHEIGHT in pixels, each 16 to 20000\n"
                : "--plot-dpi: '" + o.plotDpi.value_or("") + "' is not a whole number from 48 to 1200\n");
    return kExitUsage;
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

// Where the per-locus files go: --results-dir, or a folder of our own that
// is removed afterwards.
bool MakeDirectory(const ScanOptions& o, ScanSettings& s, TemporaryFolder& temporary,
                   std::ostream& err) {
  std::error_code code;
  if (!o.resultsDir && s.engine == ScanEngine::Counts) return true;  // nothing is written
  if (o.resultsDir) {
    s.dir = *o.resultsDir;
    std::filesystem::create_directories(s.dir, code);
    if (code)
      err << "--results-dir: cannot create '" << *o.resultsDir << "': " << code.message() << "\n";
    return !code;
  }
  if (!temporary.Make()) {
    err << "cannot create a temporary directory for the loci's files\n";
    return false;
  }
  s.dir = temporary.Path();
  return true;
}

// Holds the lock of a results folder for as long as the scan writes into it,
// so that two scans never mix their files in one folder.
class FolderLock {
 public:
  ~FolderLock() {
    if (handle_ < 0) return;
    CurrentOsFiles().Close(handle_);
    std::error_code ignored;
    std::filesystem::remove(name_, ignored);
  }
  // False, with the message on `err`, when another scan holds the folder.
  bool Take(const std::filesystem::path& folder, std::ostream& err) {
    name_ = (folder / ".driftwise-scan.lock").string();
    const int code = CurrentOsFiles().OpenForWriting(name_, handle_);
    if (code == 0) return true;
    handle_ = -1;
    if (code == 32)
      err << "--results-dir " << folder.string() << ": another scan is writing into it\n";
    else
      err << CommandLineErrorText(EInOutError(code, LastSystemError(), name_)) << "\n";
    return false;
  }

 private:
  std::string name_;
  int handle_ = -1;
};

// The files the scan will write into --results-dir, for the check that none
// of them is one of its inputs.
void AddKeptFiles(const ScanOptions& o, const ScanSettings& s,
                  const std::vector<ScannedLocus>& loci, std::vector<FileRole>& roles) {
  if (!o.resultsDir) return;
  const std::filesystem::path dir(*o.resultsDir);
  for (const ScannedLocus& l : loci) {
    if (!Tested(l)) continue;
    roles.push_back({"--results-dir", (dir / (FileStem(l) + "-freq.txt")).string()});
    if (s.engine == ScanEngine::Individuals)
      roles.push_back({"--results-dir", (dir / (FileStem(l) + "-fst.txt")).string()});
  }
}

}  // namespace

void AddScanOptions(CLI::App& scan, ScanOptions& o) {
  scan.add_option("file", o.file, "Data file: Genepop (diploid, 2- or 3-digit alleles), VCF or BCF")
      ->required()
      ->type_name("FILE");
  scan.add_option("--popmap", o.popmap,
                  "Population of each sample of a VCF or BCF file: lines 'sample<TAB>population'")
      ->type_name("MAP");
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
  scan.add_option("-I,--simulations", o.I,
                  "A fixed number of simulations (I) per locus, as earlier scans took. Default: "
                  "as many as each locus's p-value needs (--engine counts), 1000 (--engine "
                  "individuals)")
      ->type_name("INT");
  scan.add_option("--engine", o.engine,
                  "'counts': the null simulated at the level of allele counts, loci with the same "
                  "null sharing its simulations; 'individuals': every individual simulated, each "
                  "locus on its own, as a single run does")
      ->check(CLI::IsMember({"counts", "individuals"}))
      ->capture_default_str()
      ->type_name("ENGINE");
  scan.add_option("--tail-hits", o.tailHits,
                  "Sequential p-values: a locus stops once every tail of its tests holds this "
                  "many simulated values at or beyond the observed one")
      ->capture_default_str()
      ->type_name("H");
  scan.add_option("--max-simulations", o.maxSimulations,
                  "Sequential p-values: at most this many simulations per locus. Default: as many "
                  "as the false discovery rate needs")
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
                  "Base generator state (0 to 4294967295); each shared null's seed (each locus's "
                  "under --engine individuals) is derived from it. Default: the clock")
      ->type_name("STATE");
  scan.add_option("--threads", o.threads, "Threads (default: the cores)")
      ->type_name("INT");
  scan.add_option("--fdr", o.fdr, "Flag loci whose q-value is at most this false discovery rate")
      ->capture_default_str()
      ->type_name("REAL");
  scan.add_option("--tsv", o.tsv, "Write the table to FILE (- for standard output)")
      ->type_name("FILE");
  scan.add_option("--results-dir", o.resultsDir,
                  "Keep each tested locus's frequency file in DIR (and its result file under "
                  "--engine individuals)")
      ->type_name("DIR");
  scan.add_option("--plot", o.plot, "Draw the loci's Delta to FILE (.png, .svg or .pdf)")
      ->type_name("FILE");
  scan.add_option("--plot-wc-he", o.plotWcHe,
                  "Draw each locus's WC against its He over the null's 95 % and 99 % envelope to "
                  "FILE (.png, .svg or .pdf)")
      ->type_name("FILE");
  scan.add_option("--plot-q", o.plotQ,
                  "Draw -log10 q along the chromosomes to FILE (.png, .svg or .pdf; VCF or BCF "
                  "input)")
      ->type_name("FILE");
  scan.add_option("--plot-size", o.plotSize,
                  "Draw the plots WIDTHxHEIGHT pixels at 96 per inch (the page of an SVG or PDF); "
                  "default: a size for the number of loci")
      ->type_name("WxH");
  scan.add_option("--plot-dpi", o.plotDpi,
                  "Pixels per inch of a PNG plot: 192 doubles its pixels (default 96)")
      ->type_name("INT");
  scan.add_option("--json", o.json,
                  "Write the scan as JSON to FILE (- for standard output, instead of the table)")
      ->type_name("FILE");
  CLI::Option* fitOnly = scan.add_flag(
      "--fit-only", o.fitOnly,
      "Fit the null, write it to --json FILE (with the data file's size and SHA-256) and stop: "
      "the first step of a scan in parts");
  CLI::Option* null = scan.add_option(
      "--null", o.null,
      "Test the loci under the null that --fit-only wrote to FILE (refused for another data "
      "file); each locus then decides alone when to stop, so parts give the same values");
  null->type_name("FILE");
  CLI::Option* job = scan.add_option("--job", o.job, "With --null: test part K (0 to J-1) of the loci")
                         ->type_name("K");
  CLI::Option* jobs = scan.add_option("--jobs", o.jobs,
                                      "With --null: the loci in J parts; each part writes its "
                                      "tallies to --json, and 'driftwise merge part*.json' pools them")
                          ->type_name("J");
  job->needs(jobs)->needs(null);
  jobs->needs(job);
  fitOnly->excludes(null);
  for (const char* fixed : {"--migration", "--calibrate", "--size", "--generations", "--model",
                            "--start", "--engine", "--sample", "--simulations", "--tail-hits",
                            "--max-simulations"})
    null->excludes(scan.get_option(fixed));
  for (CLI::Option* option : scan.get_options())
    if (option->get_name() != "file") option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

namespace {

// --job K --jobs J: the part, checked; 0, or the exit status after the message.
int ReadPart(const ScanOptions& o, uint64_t& job, uint64_t& jobs, std::ostream& err) {
  if (!o.job) return 0;
  const auto k = ParseInteger(*o.job), j = ParseInteger(*o.jobs);
  if (!j || *j < 1 || *j > 100000) {
    err << "--jobs: '" << *o.jobs << "' is not a whole number from 1 to 100000\n";
    return kExitUsage;
  }
  if (!k || *k < 0 || *k >= *j) {
    err << "--job: '" << *o.job << "' is not a whole number from 0 to " << *j - 1 << "\n";
    return kExitUsage;
  }
  job = static_cast<uint64_t>(*k);
  jobs = static_cast<uint64_t>(*j);
  return 0;
}

// What --fit-only and --job write goes to --json, and nowhere else.
int CheckPartOutputs(const ScanOptions& o, std::ostream& err) {
  if (!o.fitOnly && !o.job) return 0;
  const char* what = o.fitOnly ? "--fit-only" : "--job";
  if (!o.json) {
    err << what << " writes its document to --json FILE: give one\n";
    return kExitUsage;
  }
  if (o.tsv || o.plot || o.plotWcHe || o.plotQ || o.resultsDir) {
    err << what << " writes no table, plot or files: 'driftwise merge' of the parts does\n";
    return kExitUsage;
  }
  return 0;
}

}  // namespace

int ScanCommand(const ScanOptions& options, std::ostream& out, std::ostream& err) {
  ScanSettings settings;
  if (const int status = ReadSettings(options, settings, err)) return status;
  uint64_t job = 0, jobs = 0;
  if (const int status = ReadPart(options, job, jobs, err)) return status;
  if (const int status = CheckPartOutputs(options, err)) return status;
  std::vector<FileRole> roles{{"FILE", options.file, true}};
  if (!options.popmap.empty()) roles.push_back({"--popmap", options.popmap, true});
  if (options.null) roles.push_back({"--null", *options.null, true});
  if (options.tsv) roles.push_back({"--tsv", *options.tsv});
  if (options.plot) roles.push_back({"--plot", *options.plot});
  if (options.plotWcHe) roles.push_back({"--plot-wc-he", *options.plotWcHe});
  if (options.plotQ) roles.push_back({"--plot-q", *options.plotQ});
  if (options.json) roles.push_back({"--json", *options.json});
  // Before any locus runs, not after all of them.
  if (const int status = CheckFileRoles(roles, err)) return status;
  DataIdentity identity;
  std::optional<GivenNull> given;
  if (options.fitOnly || options.null)
    if (const int status = IdentifyData(options.file, options.popmap, identity, err)) return status;
  if (options.null) {
    given.emplace();
    if (const int status = ReadGivenNull(*options.null, identity, *given, err)) return status;
    if (options.seed && settings.seed != given->null.seed) {
      err << "--seed " << *options.seed << ": the null of " << *options.null << " was fitted with --seed "
          << given->null.seed << ", which its loci run from\n";
      return kExitUsage;
    }
    if (options.job && given->null.engine != "counts") {
      err << "--job: a scan in parts runs the count engine; " << *options.null
          << " holds a null of the individual engine\n";
      return kExitUsage;
    }
    ApplyNull(given->null, settings);
  }
  data::LociData data;
  if (const int status = LoadData(options.file, options.popmap, data, err)) return status;
  if (options.plotQ && !data.hasPositions) {
    err << "--plot-q: " << options.file << " has no positions: the q picture needs VCF or BCF input\n";
    return kExitUsage;
  }
  std::vector<ScannedLocus> loci;
  if (const auto problem = PlanLoci(std::move(data), settings, loci)) {
    err << *problem << "\n";
    return kExitRefused;
  }
  if (TestedCount(loci) == 0) {
    err << "no locus of " << options.file
        << " can be tested: every one is monomorphic, haploid or typed in fewer than two "
           "samples (see the note column)\n";
  }
  AddKeptFiles(options, settings, loci, roles);
  if (const auto problem = SameFileInTwoRoles(roles)) {
    err << *problem << "\n";
    return kExitUsage;
  }
  settings.fitOnly = options.fitOnly;
  if (options.job) {
    const Share share = ShareOf(loci.size(), job, jobs);
    settings.share = std::make_pair(share.first, share.end);
  }
  TemporaryFolder temporary;
  if (!MakeDirectory(options, settings, temporary, err)) return kExitRuntimeError;
  FolderLock lock;
  if (options.resultsDir && !lock.Take(settings.dir, err)) return kExitRuntimeError;
  if (options.resultsDir && settings.engine == ScanEngine::Counts) {
    std::string failed;
    if (!WriteFrequencyFiles(loci, settings.observedStart, settings.dir, failed)) {
      err << failed << ": cannot be written (" << SystemErrorText(LastSystemError()) << ")\n";
      return kExitRuntimeError;
    }
  }
  TerminalScanProgress progress(err);
  ScanResult result = RunScan(settings, std::move(loci), given ? given->null.data.name : options.file,
                              progress, InterruptRequest());
  temporary.Remove();
  if (result.outcome == ScanOutcome::Failed) {
    err << result.problem << "\n";
    return kExitRuntimeError;
  }
  if (result.outcome == ScanOutcome::NoFit) {
    err << result.problem << "\n";
    return kExitRefused;
  }
  if (result.outcome == ScanOutcome::Cancelled) {
    err << InterruptedText() << ": no table written"
        << (options.resultsDir ? "; the loci's files so far are in " + *options.resultsDir : "")
        << "\n";
    return InterruptExitStatus();
  }
  if (options.fitOnly) return WriteNullDocument(*options.json, identity, result.summary, out, err);
  if (options.job)
    return WritePartDocument(*options.json, *given, job, jobs, result.summary, out, err);
  return WriteScanResults(result.summary, options.tsv, options.json, options.plot, out, err,
                          options.plotWcHe, options.plotQ, *PlotSizeOf(options));
}

int WriteScanResults(const ScanSummary& summary, const std::optional<std::string>& tsv,
                     const std::optional<std::string>& json, const std::optional<std::string>& plot,
                     std::ostream& out, std::ostream& err,
                     const std::optional<std::string>& plotWcHe,
                     const std::optional<std::string>& plotQ, const FileSize& plotSize) {
  int status = kExitDone;
  for (const ScannedLocus& locus : summary.loci)
    if (Tested(locus) && !locus.ran) {
      err << "locus " << locus.name << ": " << locus.failure << "\n";
      status = std::max(status, locus.failureStatus);
    }
  err << NullReport(summary) << PValueReport(summary);
  try {
    const std::string table = ScanTable(summary);
    if (tsv && *tsv != "-")
      WriteReportFile(*tsv, table, out);
    else if (!(json && *json == "-"))
      out << table;
    if (json) WriteReportFile(*json, ScanJson(summary), out);
  } catch (const RuntimeError& e) {
    err << CommandLineErrorText(e) << "\n";
    return kExitRuntimeError;
  }
  out.flush();
  if (plot) {
    std::string error;
    if (!WriteScanPlot(*plot, PlotOf(summary), error, plotSize)) {
      err << error << "\n";
      return kExitRuntimeError;
    }
  }
  if (plotWcHe) {
    std::string error;
    if (!WriteWcHePlot(*plotWcHe, WcHePlotOf(summary), error, plotSize)) {
      err << error << "\n";
      return kExitRuntimeError;
    }
  }
  if (plotQ) {
    std::string error;
    if (!WriteQPlot(*plotQ, QPlotOf(summary), error, plotSize)) {
      err << error << "\n";
      return kExitRuntimeError;
    }
  }
  return status;
}

}  // namespace dw::cli
