#include "cli/command_line.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>

#include "chart/chart.h"
#include "chart/qt/export.h"
#include "cli/digest.h"
#include "cli/interrupts.h"
#include "cli/jobs.h"
#include "cli/merge.h"
#include "cli/observe.h"
#include "cli/outputs.h"
#include "cli/scan.h"
#include "cli/testsummary.h"
#include "engine/rundriver.h"
#include "engine/simulations.h"
#include "runtime/errors.h"
#include "runtime/inttext.h"
#include "runtime/messages.h"
#include "runtime/osfiles.h"
#include "runtime/textfile.h"

namespace dw::cli {

namespace {

// The window's fields, with the window's defaults, as text until the run
// reads them.
struct RunOptions {
  std::string P = "10", N = "100", m = "0.1", A = "5", T = "100", n = "50", I = "1000";
  std::string observedDelta = "0.005";
  std::string model = "infinite";
  std::string input = "freqini.txt";
  std::string output = "fst.txt";
  std::optional<std::string> seed;
  ReportOptions report;
  std::optional<std::string> job, jobs;
  std::optional<std::string> threads;
  bool skipUndefined = false;
  std::string engine = "individuals";
};

// The counts as the boxes would hand them over: 32-bit integers as typed.
struct Counts {
  int32_t P, N, T, A, n, I;
};

class CommandLineForm : public RunForm {
 public:
  CommandLineForm(const RunOptions& options, const Counts& counts)
      : options_(options), counts_(counts) {}
  int32_t Populations() override { return counts_.P; }
  int32_t PopulationSize() override { return counts_.N; }
  int32_t Generations() override { return counts_.T; }
  int32_t Alleles() override { return counts_.A; }
  int32_t SampleSize() override { return counts_.n; }
  int32_t Simulations() override { return counts_.I; }
  std::string MigrationRateText() override { return options_.m; }
  std::string ObservedDeltaText() override { return options_.observedDelta; }
  bool InfiniteIslandSelected() override { return options_.model == "infinite"; }
  bool SteppingStoneSelected() override { return options_.model == "stepping"; }
  std::string InputFileName() override { return options_.input; }
  std::string ResultFileName() override { return options_.output; }

 private:
  const RunOptions& options_;
  Counts counts_;
};

// Keeps the run's messages: the last one is the summary when the run
// finishes, or the reason when it is refused.
class KeptMessages : public MessageSink {
 public:
  void ShowInfoMessage(const std::string& text) override { last = text; }
  std::string last;
};

// A progress bar on standard error, only when it is a terminal; a signal
// stops the run at its next finished simulation.
class TerminalProgress : public InterruptWatch {
 public:
  TerminalProgress(std::ostream& err, bool shown) : err_(err), shown_bar_(shown) {}
  void SimulationFinished(uint32_t s, uint32_t I) override {
    InterruptWatch::SimulationFinished(s, I);
    if (!shown_bar_) return;
    const uint32_t percent = static_cast<uint32_t>(uint64_t{s} * 100 / I);
    if (percent == shown_ && s != I) return;
    shown_ = percent;
    const uint32_t filled = percent * 40 / 100;
    err_ << "\r[" << std::string(filled, '#') << std::string(40 - filled, ' ') << "] " << s << "/"
         << I << std::flush;
    if (s == I) err_ << "\r" << std::string(60, ' ') << "\r" << std::flush;
  }

 private:
  std::ostream& err_;
  bool shown_bar_;
  uint32_t shown_ = 101;
};

// The progress of a run whose earlier summary goes once the run starts
// (its result file is about to be written), not when it is refused.
class RunStartWatch : public TerminalProgress {
 public:
  RunStartWatch(std::ostream& err, bool shown, const std::optional<std::string>& json)
      : TerminalProgress(err, shown), json_(json) {}
  void ResultFileOpening() override {
    if (json_) RemoveStaleReport(*json_);
  }

 private:
  const std::optional<std::string>& json_;
};

std::optional<Counts> ReadCounts(const RunOptions& o, std::ostream& err) {
  struct Field {
    const char* option;
    const std::string& text;
    int32_t Counts::*count;
  };
  const Field fields[] = {{"--populations", o.P, &Counts::P}, {"--size", o.N, &Counts::N},
                          {"--generations", o.T, &Counts::T}, {"--alleles", o.A, &Counts::A},
                          {"--sample", o.n, &Counts::n},      {"--simulations", o.I, &Counts::I}};
  Counts counts{};
  for (const Field& f : fields) {
    const auto value = ParseOptionInteger(f.text);
    if (!value) {
      err << f.option << ": '" << f.text << "' is not a whole number\n";
      return std::nullopt;
    }
    counts.*f.count = *value;
  }
  return counts;
}

EngineKind EngineOf(const RunOptions& options) {
  return options.engine == "counts" ? EngineKind::Counts : EngineKind::Individuals;
}

void AddRunOptions(CLI::App& run, RunOptions& o) {
  run.add_option("-P,--populations", o.P, "Number of populations (P)")->capture_default_str()
      ->type_name("INT");
  run.add_option("-N,--size", o.N, "Effective population size (N)")->capture_default_str()
      ->type_name("INT");
  run.add_option("-m,--migration", o.m, "Migration rate (m), 0 to 1")->capture_default_str()
      ->type_name("REAL");
  run.add_option("-A,--alleles", o.A, "Number of alleles (A)")->capture_default_str()
      ->type_name("INT");
  run.add_option("-T,--generations", o.T, "Number of generations (T)")->capture_default_str()
      ->type_name("INT");
  run.add_option("-n,--sample", o.n, "Sampling size per population (n)")->capture_default_str()
      ->type_name("INT");
  run.add_option("-I,--simulations", o.I, "Number of simulations (I)")->capture_default_str()
      ->type_name("INT");
  run.add_option("-d,--observed-delta", o.observedDelta, "Observed Delta = WC - RH")
      ->capture_default_str()
      ->type_name("REAL");
  run.add_option("--model", o.model, "Migration model")
      ->check(CLI::IsMember({"infinite", "finite", "stepping"}))
      ->capture_default_str()
      ->type_name("MODEL");
  run.add_option("-i,--input", o.input, "Input file of initial frequencies (P+1 rows, A columns)")
      ->capture_default_str()
      ->type_name("FILE");
  run.add_option("-o,--output", o.output, "Result file (WC, RH and Delta per simulation)")
      ->capture_default_str()
      ->type_name("FILE");
  run.add_option("--seed", o.seed,
                 "Generator state to start from (0 to 4294967295) instead of the clock")
      ->type_name("STATE");
  AddReportOptions(run, o.report);
  run.add_option("--job", o.job, "This run is job K (0 to J-1) of a job array of J jobs")
      ->type_name("K");
  run.add_option("--jobs", o.jobs,
                 "Number of jobs J: job K starts K*floor(2^32/J) draws after --seed (default 0)")
      ->type_name("J");
  run.add_option("--threads", o.threads,
                 "Threads for the simulations (1 to 256; default: one per CPU this process may "
                 "use: its affinity mask and its control group's quota), under "
                 "every model; the results are the same for any count")
      ->type_name("K");
  run.add_flag("--skip-undefined", o.skipUndefined,
               "Leave out, and count, the simulations whose sample is fixed for one allele "
               "(their estimators are undefined) instead of ending with the floating-point "
               "error; the counts are then over the defined ones, as in 'scan'");
  run.add_option("--engine", o.engine,
                 "Simulator of the null: 'individuals' (every individual, the window's) or "
                 "'counts' (allele counts: the same distribution, other draws; its cost grows "
                 "with the alleles instead of the individuals)")
      ->check(CLI::IsMember({"individuals", "counts"}))
      ->capture_default_str()
      ->type_name("ENGINE");
  // A repeated option takes its last value, so scripts can override defaults.
  for (CLI::Option* option : run.get_options())
    option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

// The results chart of the run, the size of the results tab's chart,
// written whole; false, with the reason on `err`, when it cannot be drawn.
bool WriteChart(const std::string& fileName, chart::ChartFileFormat format,
                const RecordedHistogram& histogram, std::ostream& err) {
  chart::TChart results;
  chart::TBarSeries& series = chart::ConfigureResultsChart(results);
  results.Separators = NumberMarks{'.', ','};
  results.Title.Text.Clear();
  for (const std::string& line : histogram.title) results.Title.Text.Add(line);
  series.RemoveAllPoints();
  for (const auto& point : histogram.points) series.AppendPoint(point.y, point.label, point.color);
  const std::string bytes = chart::RenderChart(results, format, 689, 449);
  if (bytes.empty()) {
    err << "Cannot draw the chart for '" << fileName << "'\n";
    return false;
  }
  WriteReportFile(fileName, bytes, err);
  return true;
}

// A path as the run's summary records it: relative to the summary's folder
// when it was given relative, so that merge finds it from the summary and
// the two can be moved together. Absolute paths, and any path when the
// summary goes to standard output, stay as given.
std::string RelativeToSummary(const std::string& path, const std::optional<std::string>& json) {
  namespace fs = std::filesystem;
  if (!json || *json == "-" || path.empty() || fs::path(path).is_absolute()) return path;
  std::error_code code;
  const fs::path folder = fs::path(*json).parent_path();
  const fs::path base = fs::absolute(folder.empty() ? fs::path(".") : folder, code);
  const fs::path full = fs::absolute(path, code);
  if (code) return path;
  const fs::path relative = full.lexically_normal().lexically_relative(base.lexically_normal());
  return relative.empty() ? path : relative.string();
}

// What pins the run's result file to its summary; none when it went to a
// device, a pipe or standard output, where nothing can be read back.
std::optional<FileDigest> ResultFileDigest(const std::string& output) {
  OsFiles& os = CurrentOsFiles();
  if (os.DescriptorOfName(output) || os.KindOfName(output) != OsFiles::Kind::Disk)
    return std::nullopt;
  FileDigest digest;
  if (const int code = DigestFile(output, digest))
    throw EInOutError(code, LastSystemError(), output);
  return digest;
}

// The files a run names, for the check that no file has two roles.
std::vector<FileRole> RolesOf(const std::string& input, const std::string& output,
                              const ReportOptions& report) {
  std::vector<FileRole> roles{{"-i", input, true}, {"-o", output}};
  AddReportRoles(report, roles);
  return roles;
}

int RunCommand(const RunOptions& options, std::ostream& out, std::ostream& err) {
  const auto counts = ReadCounts(options, err);
  if (!counts) return kExitUsage;
  const ReportOptions& report = options.report;
  if (const auto problem = report.ChartNameProblem()) {
    err << *problem << "\n";
    return kExitUsage;
  }
  std::optional<uint32_t> seed;
  if (options.seed) {
    seed = ParseSeed(*options.seed);
    if (!seed) {
      err << "--seed: '" << *options.seed << "' is not a whole number from 0 to 4294967295\n";
      return kExitUsage;
    }
  }
  if (const auto problem = report.StandardOutputProblem()) {
    err << *problem << "\n";
    return kExitUsage;
  }
  // Told here, not left to the engine, so the summary can say how many.
  uint32_t threads = DefaultThreadCount();
  if (options.threads) {
    const auto count = ParseOptionInteger(*options.threads);
    if (!count || *count < 1 || *count > 256) {
      err << "--threads: '" << *options.threads << "' is not a whole number from 1 to 256\n";
      return kExitUsage;
    }
    threads = static_cast<uint32_t>(*count);
  }
  std::optional<JobSlot> job;
  if (!ReadJobSlot(options.job, options.jobs, job, err)) return kExitUsage;
  // Before the first simulation, not after the last.
  if (const int status = CheckFileRoles(RolesOf(options.input, options.output, report), err))
    return status;
  if (counts->A == 2) err << kTwoAllelesNote << "\n";
  const uint32_t base = seed.value_or(0);
  if (job) {
    seed = JobStartState(base, *job);
    if (auto size = RunSizeOf(options.model, options.m, counts->P, counts->N, counts->n,
                              counts->T, counts->I)) {
      size->engine = EngineOf(options);
      if (const auto warning = OverShareWarning(*job, RunDraws(*size))) err << *warning << "\n";
    }
  }

  CommandLineForm form(options, *counts);
  KeptMessages messages;
  RecordedHistogram histogram;
  ClockSeed clock;
  FixedSeed fixed(seed.value_or(0));
  RunStartWatch progress(err, isatty(STDERR_FILENO) != 0, report.json);
  RecordingSeed recorded(seed ? static_cast<SeedSource&>(fixed) : clock);
  RunServices services{messages, histogram, recorded, NumberMarks{'.', ','}, &progress, threads,
                       options.skipUndefined, EngineOf(options)};
  static EngineState state;  // the engine's tables live for the process
  Random rng;
  try {
    // A summary from an earlier run never sits beside a new, unfinished
    // result file: `progress` removes it as the run starts.
    const RunOutcome outcome = RunNeutralityTest(form, services, state, rng);
    // A signal while the input was read ends that read as if it failed.
    if (outcome == RunOutcome::Refused && InterruptSignal() == 0) {
      err << messages.last << "\n";
      return kExitRefused;
    }
    if (outcome == RunOutcome::Cancelled || InterruptSignal() != 0) {
      err << InterruptedText() << ": " << progress.finished << " of " << state.params.I
          << " simulations finished; "
          << (outcome == RunOutcome::Cancelled
                  ? options.output + " holds their lines and ends with a line end, the mark of "
                                     "a run that did not finish"
                  : "no report written")
          << "\n";
      return InterruptExitStatus();
    }
    const auto json = [&] {
      const std::optional<FileDigest> digest = ResultFileDigest(options.output);
      const RunRecord record{options.model,
                             RelativeToSummary(options.input, report.json),
                             RelativeToSummary(options.output, report.json),
                             digest,
                             !seed,         seed ? base : recorded.state, job,
                             recorded.state, rng.RandomSeed, options.engine, threads};
      return SummaryJson(RunTestSummary(state, histogram, record));
    };
    if (const int status = WriteReport(report, messages.last, histogram, json, out, err))
      return status;
  } catch (const RuntimeError& e) {
    out.flush();
    if (InterruptSignal() != 0) {
      err << InterruptedText() << ": no report written\n";
      return InterruptExitStatus();
    }
    err << CommandLineErrorText(e) << "\n";
    return kExitRuntimeError;
  }
  out.flush();
  return kExitDone;
}

// The sub-command's status, before standard output is checked.
int Dispatch(int argc, char** argv, std::ostream& out, std::ostream& err);

// Whether a descriptor is open; one that is not is taken by /dev/null, so
// that no file the program opens lands on it and receives its output.
bool OccupyIfClosed(int fd) {
  if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) return false;
  const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
  if (null >= 0 && null != fd) {
    ::dup2(null, fd);
    ::close(null);
  }
  return true;
}

}  // namespace

void AddReportRoles(const ReportOptions& report, std::vector<FileRole>& roles) {
  if (report.histogramTable)
    roles.push_back({"--histogram-table", *report.histogramTable, false, true});
  if (report.chart) roles.push_back({"--chart", *report.chart, false, true});
  if (report.json) roles.push_back({"--json", *report.json, false, true});
}

std::optional<std::string> ReportOptions::ChartNameProblem() const {
  if (!chart || IsChartFileName(*chart)) return std::nullopt;
  return "--chart: '" + *chart + "' must end in .png, .svg or .pdf";
}

std::optional<std::string> ReportOptions::StandardOutputProblem() const {
  if (!JsonToOutput() || !histogramTable || *histogramTable != "-") return std::nullopt;
  return std::string("--json - and --histogram-table - cannot both write to standard output");
}

int CheckFileRoles(const std::vector<FileRole>& roles, std::ostream& err) {
  if (const auto problem = SameFileInTwoRoles(roles)) {
    err << *problem << "\n";
    return kExitUsage;
  }
  if (const auto problem = CheckOutputPaths(roles)) {
    err << *problem << "\n";
    return kExitRuntimeError;
  }
  return kExitDone;
}

bool IsChartFileName(const std::string& name) {
  return chart::ChartFormatFromFileName(name).has_value();
}

void AddReportOptions(CLI::App& command, ReportOptions& o) {
  command.add_option("--histogram-table", o.histogramTable,
                     "Write the histogram's title and classes to FILE (- for standard output)")
      ->type_name("FILE");
  command.add_option("--chart", o.chart,
                     "Write the histogram chart to FILE (.png, .svg or .pdf), as the results tab "
                     "draws it")
      ->type_name("FILE");
  command.add_option("--json", o.json,
                     "Write the summary as JSON to FILE (- for standard output, instead of the "
                     "summary)")
      ->type_name("FILE");
}

int WriteReport(const ReportOptions& options, const std::string& summary,
                const RecordedHistogram& histogram, const std::function<std::string()>& json,
                std::ostream& out, std::ostream& err) {
  if (!options.JsonToOutput()) out << WithUnixLineEnds(summary) << "\n";
  if (options.histogramTable)
    WriteReportFile(*options.histogramTable, HistogramTable(histogram), out);
  if (options.json) WriteReportFile(*options.json, json(), out);
  out.flush();
  if (options.chart &&
      !WriteChart(*options.chart, *chart::ChartFormatFromFileName(*options.chart), histogram, err))
    return kExitRuntimeError;
  return kExitDone;
}

std::string WithUnixLineEnds(const std::string& text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    result += text[i];
  }
  return result;
}

std::string HistogramTable(const RecordedHistogram& histogram) {
  std::string table;
  for (const std::string& line : histogram.title) table += line + "\n";
  for (const auto& point : histogram.points) {
    table += point.label + "\t" + FormatInteger(static_cast<int32_t>(point.y));
    if (point.color == clRed) table += "\t*";
    table += "\n";
  }
  return table;
}

// The window's purpose, for `driftwise --help`: what the program is before
// what its sub-commands take.
constexpr const char* kProgramPurpose =
    "Run without arguments on a desktop, driftwise opens its window. There you\n"
    "describe P populations of N diploid individuals, a migration rate and model\n"
    "(infinite island, finite island or stepping-stone), a file of initial allele\n"
    "frequencies and the Delta observed in real data. Driftwise simulates drift and\n"
    "migration for T generations, I times over, samples n individuals per population\n"
    "and compares two estimators of Fst, Weir and Cockerham's (WC) and Robertson and\n"
    "Hill's (RH): it writes WC, RH and Delta = WC - RH to a result file, counts the\n"
    "simulated Delta values above the observed one and shows them as a histogram.\n"
    "The sub-commands below do the same without the window, and more: they pool\n"
    "the result files of many runs and read real data; each has --help.\n";

int Main(int argc, char** argv, std::ostream& out, std::ostream& err) {
  return CheckStandardStreams(out, err, Dispatch(argc, argv, out, err));
}

int ProgramMain(int argc, char** argv) {
  OccupyIfClosed(0);
  const bool outClosed = OccupyIfClosed(1), errClosed = OccupyIfClosed(2);
  InstallInterruptHandlers();
  DescriptorBuffer outBuffer(1, outClosed), errBuffer(2, errClosed);
  std::ostream out(&outBuffer), err(&errBuffer);
  err.setf(std::ios::unitbuf);  // messages and the progress go out at once
  return Main(argc, argv, out, err);
}

namespace {

int Dispatch(int argc, char** argv, std::ostream& out, std::ostream& err) {
  const std::string title = ApplicationTitle(argc > 0 ? argv[0] : "driftwise");
  CLI::App app{title + ": a single-locus, multi-allelic test of neutrality\n\n" + kProgramPurpose,
               "driftwise"};
  app.set_version_flag("--version", std::string("driftwise ") + DW_VERSION,
                       "Print the program's name and version and exit");
  app.require_subcommand(1);
  RunOptions options;
  CLI::App* run = app.add_subcommand("run", "Run one neutrality test headless");
  AddRunOptions(*run, options);
  MergeOptions mergeOptions;
  CLI::App* merge =
      app.add_subcommand("merge", "Pool the result files of several runs and report as one run");
  AddMergeOptions(*merge, mergeOptions);
  ObserveOptions observeOptions;
  CLI::App* observe = app.add_subcommand(
      "observe", "Observed WC, RH and Delta of every locus of a data file (Genepop, VCF, BCF)");
  AddObserveOptions(*observe, observeOptions);
  ScanOptions scanOptions;
  CLI::App* scan = app.add_subcommand(
      "scan", "Test every polymorphic locus of a data file (Genepop, VCF, BCF), with q-values over the loci");
  AddScanOptions(*scan, scanOptions);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForVersion& e) {
    out << e.what() << "\n";
    return kExitDone;
  } catch (const CLI::CallForHelp&) {
    out << app.help("", CLI::AppFormatMode::Normal);
    return kExitDone;
  } catch (const CLI::ParseError& e) {
    err << e.what() << "\n";
    err << "Run 'driftwise --help', 'driftwise run --help', 'driftwise merge --help', 'driftwise "
           "observe --help' or 'driftwise scan --help' for the options.\n";
    return kExitUsage;
  }
  if (run->parsed()) return RunCommand(options, out, err);
  if (merge->parsed()) return MergeCommand(mergeOptions, out, err);
  if (observe->parsed()) return ObserveCommand(observeOptions, out, err);
  if (scan->parsed()) return ScanCommand(scanOptions, out, err);
  return kExitUsage;
}

}  // namespace

}  // namespace dw::cli
