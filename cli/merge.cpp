#include "cli/merge.h"

#include "cli/scan.h"
#include "scan/nullfile.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>

#include "cli/command_line.h"
#include "cli/digest.h"
#include "cli/interrupts.h"
#include "runtime/json.h"
#include "cli/outputs.h"
#include "cli/resultfile.h"
#include "cli/testsummary.h"
#include "engine/histogram.h"
#include "runtime/errors.h"
#include "runtime/floatmode.h"
#include "runtime/linereader.h"
#include "runtime/messages.h"
#include "runtime/numtext.h"
#include "runtime/osfiles.h"
#include "runtime/textfile.h"

namespace dw::cli {

namespace {

// A summary is read whole; none of ours comes near this.
constexpr std::size_t kMaxSummaryBytes = 1 << 20;

struct PooledResults {
  ResultHeader header;
  std::vector<double> deltas;  // every file's, in the order of the files
  std::vector<SourceFile> files;
  // The engine every summary names, when every input was a summary; empty
  // when a bare result file (which does not say) was pooled.
  std::string engine;
};

// Job K of a job array of J from one base seed, as its summary says.
struct JobEntry {
  uint32_t seed = 0;
  uint64_t jobs = 0, job = 0;
  std::string summary;
  uint64_t draws = 0;  // the run's draws, or the least it can have taken
};

// A result file a summary pins, by its content.
struct PinnedFile {
  std::string sha256, summary;
};

constexpr uint64_t kMaxPinnedBytes = uint64_t{64} << 20;

// The version of the summaries this program writes and reads.
constexpr uint64_t kSummaryVersion = 1;

// A text from a file, fit to be shown on a terminal: control characters
// (an escape sequence, a line break) as \xHH.
std::string Shown(const std::string& text) {
  std::string shown;
  for (unsigned char c : text) {
    if (c >= 0x20 && c != 0x7F) {
      shown += static_cast<char>(c);
      continue;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    shown += "\\x";
    shown += kHex[c >> 4];
    shown += kHex[c & 15];
  }
  return shown;
}

bool IsBlank(const std::string& line) {
  return line.find_first_not_of(" \t\r") == std::string::npos;
}

// Why merging stops: the exit status and the message.
struct Stop {
  int status;
  std::string message;
};

class Merger {
 public:
  explicit Merger(const ReportOptions& report) : report_(report) {}

  std::optional<Stop> Read(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      // A signal ends a read as if it failed: it is the signal that counts.
      if (auto stop = ReadArgument(name)) return InterruptSignal() != 0 ? Interrupted() : stop;
      if (InterruptSignal() != 0) return Interrupted();
    }
    // Overlapping streams first: an array that overlaps is too large to
    // be whole, and running it again is the answer either way.
    if (auto stop = CheckJobStreams()) return stop;
    if (auto stop = CheckJobArrays()) return stop;
    if (auto stop = CheckPinnedFilesDiffer()) return stop;
    // The result files the summaries named are inputs too.
    std::vector<FileRole> roles = inputs_;
    AddReportRoles(report_, roles);
    if (auto problem = SameFileInTwoRoles(roles)) return Stop{kExitUsage, *problem};
    return std::nullopt;
  }

  const PooledResults& Pooled() const { return pooled_; }
  // Whether a result file was given itself, not through its summary.
  bool PlainResultsGiven() const { return plainResults_; }

 private:
  const ReportOptions& report_;
  PooledResults pooled_;
  std::vector<JobEntry> jobs_;
  std::vector<FileRole> inputs_;
  std::map<std::string, std::string> seen_;  // file identity → how it was given
  std::string engineSummary_;  // the first summary read, whose engine the others must match
  std::string engine_;
  bool bareResults_ = false;   // a result file given without its summary
  std::vector<PinnedFile> pinned_;
  bool plainResults_ = false;

  static Stop Interrupted() { return Stop{InterruptExitStatus(), InterruptedText() + ": nothing written"}; }

  static Stop ReadFailure(const std::string& name, const LineReader& reader, int code) {
    return Stop{kExitRuntimeError,
                CommandLineErrorText(EInOutError(code, code == reader.Code() ? reader.SystemError()
                                                                             : LastSystemError(),
                                                 name))};
  }

  // The same file given twice, whichever way.
  std::optional<Stop> Note(const std::string& name, const std::string& given) {
    const auto identity = FileIdentity(name);
    if (!identity) return std::nullopt;
    const auto [at, added] = seen_.emplace(*identity, given);
    if (added) return std::nullopt;
    return Stop{kExitRefused, "the same file is given twice: " + at->second + " and " + given};
  }

  std::optional<Stop> ReadArgument(const std::string& name) {
    if (auto stop = Note(name, "'" + name + "'")) return stop;
    inputs_.push_back({"RESULT", name, true});
    LineReader reader(LineReader::Ends::LineFeed, kMaxSummaryBytes);
    if (const int code = reader.Open(name)) return ReadFailure(name, reader, code);
    std::string line;
    bool ended = false;
    switch (reader.Next(line, ended)) {
      case LineReader::Result::Failed: return ReadFailure(name, reader, reader.Code());
      case LineReader::Result::TooLong:
        return Stop{kExitRefused, name + ", line 1: longer than " + std::to_string(kMaxSummaryBytes) +
                                      " bytes: neither a result file nor a summary"};
      default: break;
    }
    // An editor may put a byte-order mark or blank lines before a summary;
    // a run never writes either into a result file.
    std::string start = line.starts_with("\xEF\xBB\xBF") ? line.substr(3) : line;
    std::string blanks;
    while (IsBlank(start) && ended) {
      blanks += start + '\n';
      const LineReader::Result next = reader.Next(start, ended);
      if (next == LineReader::Result::Failed) return ReadFailure(name, reader, reader.Code());
      if (next == LineReader::Result::TooLong)
        return Stop{kExitRefused, name + ", line " + std::to_string(reader.LineNumber()) +
                                      ": longer than " + std::to_string(kMaxSummaryBytes) +
                                      " bytes: neither a result file nor a summary"};
      if (next == LineReader::Result::End) break;
    }
    const std::size_t brace = start.find_first_not_of(" \t");
    if (brace != std::string::npos && start[brace] == '{')
      return ReadSummary(name, reader, blanks + start);
    if (!blanks.empty())
      return Stop{kExitRefused, name + ", line 1: a blank line: a result file starts with its "
                                       "title line, a summary with '{'"};
    plainResults_ = true;
    bareResults_ = true;
    pooled_.engine.clear();
    return ReadResults(name, reader, line, ended, std::nullopt);
  }

  // A result file whose first line has been read; `expected`: the count
  // its summary reports.
  std::optional<Stop> ReadResults(const std::string& name, LineReader& reader, std::string line,
                                  bool ended, std::optional<uint64_t> expected) {
    ResultHeader header;
    const std::size_t before = pooled_.deltas.size();
    ResultReader results(header, pooled_.deltas);
    const auto refused = [&](std::size_t number, const std::string& what) {
      return Stop{kExitRefused, name + ", line " + std::to_string(number) + ": " + what};
    };
    bool any = !line.empty() || ended;
    for (;;) {
      if (any) {
        if (line.size() > kMaxResultLine)
          return refused(reader.LineNumber(), "longer than " + std::to_string(kMaxResultLine) +
                                                  " bytes: not a line of a result file");
        if (auto problem = results.Line(line, ended)) return refused(problem->line, problem->what);
      }
      if (InterruptSignal() != 0) return Interrupted();
      const LineReader::Result next = reader.Next(line, ended);
      if (next == LineReader::Result::End) break;
      if (next == LineReader::Result::Failed) return ReadFailure(name, reader, reader.Code());
      if (next == LineReader::Result::TooLong)
        return refused(reader.LineNumber(), "longer than " + std::to_string(kMaxResultLine) +
                                                " bytes: not a line of a result file");
      any = true;
    }
    if (auto problem = results.Finish()) return refused(problem->line, problem->what);
    return Pool(name, header, before, expected);
  }

  // The values of `name` from `before` on, its header read: counted against
  // its summary's count, and their run against the first file's.
  std::optional<Stop> Pool(const std::string& name, const ResultHeader& header, std::size_t before,
                           std::optional<uint64_t> expected) {
    const uint64_t count = pooled_.deltas.size() - before;
    if (expected && *expected != count)
      return Stop{kExitRefused, name + " holds " + std::to_string(count) +
                                    " simulations, its summary says " + std::to_string(*expected) +
                                    (count < *expected ? " (its run was cut short)" : "")};
    if (pooled_.files.empty()) {
      pooled_.header = header;
    } else if (const auto difference =
                   HeaderDifference(pooled_.header, pooled_.files.front().name, header, name)) {
      return Stop{kExitRefused, "Cannot merge runs of different tests: " + *difference};
    }
    pooled_.files.push_back(SourceFile{name, count});
    return std::nullopt;
  }

  std::optional<Stop> ReadSummary(const std::string& name, LineReader& reader, std::string text) {
    std::string line;
    bool ended = false;
    text += '\n';
    for (;;) {
      const LineReader::Result next = reader.Next(line, ended);
      if (next == LineReader::Result::End) break;
      if (next == LineReader::Result::Failed) return ReadFailure(name, reader, reader.Code());
      if (next == LineReader::Result::TooLong || text.size() + line.size() > kMaxSummaryBytes)
        return Stop{kExitRefused, name + ": larger than " + std::to_string(kMaxSummaryBytes) +
                                      " bytes: not a summary of driftwise run"};
      text += line + '\n';
    }
    std::string error;
    const auto document = ParseJson(text, error);
    if (!document) return Stop{kExitRefused, name + ": not a JSON summary (" + error + ")"};
    return UseSummary(name, *document);
  }

  static std::optional<Stop> Field(const std::string& name, const char* field, const char* what) {
    return Stop{kExitRefused,
                name + ": its \"" + field + "\" is missing or not " + what};
  }

  std::optional<Stop> UseSummary(const std::string& name, const JsonValue& summary) {
    const JsonValue* format = summary.Member("format");
    const JsonValue* command = summary.Member("command");
    if (format == nullptr || format->text != "driftwise-summary" || command == nullptr ||
        command->kind != JsonValue::Kind::String)
      return Stop{kExitRefused, name + ": not a summary written by driftwise (its \"format\" "
                                       "should be \"driftwise-summary\")"};
    if (command->text != "run")
      return Stop{kExitRefused, name + ": the summary of a " + Shown(command->text) +
                                    ", not of a run: give the runs' own summaries"};
    const JsonValue* version = summary.Member("version");
    if (version == nullptr || version->Unsigned() != kSummaryVersion)
      return Stop{kExitRefused, name + ": its \"version\" is not " +
                                    std::to_string(kSummaryVersion) +
                                    ", the version of the summaries this program writes"};
    const JsonValue* output = summary.Member("output");
    // A NUL would cut the name short (another file would be read), and
    // the name is shown in messages: no control characters.
    if (output == nullptr || output->kind != JsonValue::Kind::String || output->text.empty() ||
        std::any_of(output->text.begin(), output->text.end(),
                    [](unsigned char c) { return c < 0x20 || c == 0x7F; }))
      return Field(name, "output", "a file name");
    const JsonValue* simulations = summary.Member("simulations");
    if (simulations == nullptr || !simulations->Unsigned())
      return Field(name, "simulations", "a whole number");
    const JsonValue* size = summary.Member("output_size");
    if (size == nullptr || !size->Unsigned()) return Field(name, "output_size", "a whole number");
    const JsonValue* sha256 = summary.Member("output_sha256");
    if (sha256 == nullptr || sha256->kind != JsonValue::Kind::String ||
        sha256->text.size() != 64 ||
        sha256->text.find_first_not_of("0123456789abcdef") != std::string::npos)
      return Field(name, "output_sha256", "a SHA-256 (64 lower-case hexadecimal digits)");
    std::optional<JobEntry> job;
    if (auto stop = ReadJob(name, summary, job)) return stop;
    // The result file is named relative to the summary's own folder, the
    // folder of the file a link to it leads to.
    std::filesystem::path result(output->text);
    if (result.is_relative()) result = std::filesystem::path(LinkTarget(name)).parent_path() / result;
    const std::string resultName = result.lexically_normal().string();
    if (auto stop = Note(resultName, "'" + resultName + "' (the result file of " + name + ")"))
      return stop;
    inputs_.push_back({"the result file of " + name, resultName, true});
    if (auto stop = ReadPinnedResults(resultName, *simulations->Unsigned(),
                                      FileDigest{*size->Unsigned(), sha256->text}))
      return stop;
    if (auto stop = MatchParameters(name, summary, resultName)) return stop;
    if (auto stop = MatchEngine(name, summary)) return stop;
    pinned_.push_back(PinnedFile{sha256->text, name});
    if (job) jobs_.push_back(*job);
    return std::nullopt;
  }

  // A result file read whole, so the bytes counted are the bytes pinned.
  std::optional<Stop> ReadPinnedResults(const std::string& name, uint64_t simulations,
                                        const FileDigest& pinned) {
    // Room past the pinned size for the lines of a longer file to be
    // counted; no run writes 64 MiB (65535 lines of 55 bytes), so an edited
    // size never makes a device (/dev/zero) be read on and on.
    const uint64_t limit = std::min(pinned.size, kMaxPinnedBytes) + (uint64_t{1} << 20);
    std::string bytes;
    if (const int code = ReadFileBounded(name, limit, bytes))
      return Stop{kExitRuntimeError,
                  CommandLineErrorText(EInOutError(code, LastSystemError(), name))};
    if (bytes.size() <= limit) {
      ResultHeader header;
      const std::size_t before = pooled_.deltas.size();
      if (auto problem = ParseResultText(bytes, header, pooled_.deltas))
        return Stop{kExitRefused,
                    name + ", line " + std::to_string(problem->line) + ": " + problem->what};
      if (auto stop = Pool(name, header, before, simulations)) return stop;
    }
    const FileDigest digest = DigestOf(bytes);
    if (digest.size != pinned.size)
      return Stop{kExitRefused, name + " holds " + (bytes.size() > limit ? "more than " : "") +
                                    std::to_string(digest.size) + " bytes, its summary says " +
                                    std::to_string(pinned.size) +
                                    ": not the file its run wrote"};
    if (digest.sha256 != pinned.sha256)
      return Stop{kExitRefused, name + " is not the file its run wrote: its SHA-256 is not the "
                                       "one its summary pins (a copy of another run's file, or "
                                       "one written again)"};
    return std::nullopt;
  }

  std::optional<Stop> ReadJob(const std::string& name, const JsonValue& summary,
                              std::optional<JobEntry>& job) {
    const JsonValue* generator = summary.Member("generator");
    if (generator == nullptr || generator->kind != JsonValue::Kind::Object)
      return Field(name, "generator", "an object");
    const JsonValue* k = generator->Member("job");
    const JsonValue* J = generator->Member("jobs");
    if (k == nullptr || k->kind == JsonValue::Kind::Null) return std::nullopt;
    const JsonValue* seed = generator->Member("seed");
    if (!k->Unsigned() || J == nullptr || !J->Unsigned() || *J->Unsigned() == 0 ||
        *k->Unsigned() >= *J->Unsigned() || seed == nullptr || !seed->Unsigned() ||
        *seed->Unsigned() > 0xFFFFFFFFull)
      return Field(name, "generator", "a job of a job array (job, jobs and seed)");
    // The exact count when the summary has it, else the least the run took.
    const JsonValue* draws = generator->Member("draws");
    const JsonValue* least = generator->Member("draws_at_least");
    const JsonValue* counted = draws != nullptr && draws->Unsigned() ? draws : least;
    if (counted == nullptr || !counted->Unsigned())
      return Field(name, "generator", "a job of a job array with its draws");
    job = JobEntry{static_cast<uint32_t>(*seed->Unsigned()), *J->Unsigned(), *k->Unsigned(), name,
                   *counted->Unsigned()};
    return std::nullopt;
  }

  // The run the summary describes is the one its result file's header states.
  std::optional<Stop> MatchParameters(const std::string& name, const JsonValue& summary,
                                      const std::string& resultName) const {
    const JsonValue* parameters = summary.Member("parameters");
    if (parameters == nullptr) return Field(name, "parameters", "an object");
    const ResultHeader& header = pooled_.header;  // the file just read agrees with it
    const std::pair<const char*, uint32_t> counts[] = {{"populations", header.P}, {"size", header.N},
                                                       {"sample", header.n}, {"generations", header.T},
                                                       {"alleles", header.A}};
    for (const auto& [field, value] : counts) {
      const JsonValue* v = parameters->Member(field);
      if (v == nullptr || !v->Unsigned()) return Field(name, field, "a whole number");
      if (*v->Unsigned() != value)
        return Stop{kExitRefused, name + " says " + field + " = " + v->text + ", its result file " +
                                      resultName + " was written with " + std::to_string(value)};
    }
    const JsonValue* model = parameters->Member("model");
    if (model == nullptr || model->text != ModelWord(header.model))
      return Stop{kExitRefused, name + ": its model is not the one of its result file " + resultName};
    // The header keeps four decimals of the rate, as the run wrote them.
    const JsonValue* migration = parameters->Member("migration");
    if (migration == nullptr || migration->kind != JsonValue::Kind::Number)
      return Field(name, "migration", "a number");
    double m = 0.0;
    const char* end = migration->text.data() + migration->text.size();
    if (std::from_chars(migration->text.data(), end, m).ptr != end)
      return Field(name, "migration", "a number");
    const std::string written = RealText(m, 5, 4);
    if (written.substr(written.find_first_not_of(' ')) != header.migrationText)
      return Stop{kExitRefused, name + " says migration = " + Shown(migration->text) +
                                    ", its result file " + resultName + " was written with " +
                                    header.migrationText};
    return std::nullopt;
  }

  // No job drew past its share into the next job's stream: the simulations
  // there would be the next job's own, counted twice.
  std::optional<Stop> CheckJobStreams() const {
    std::string overlaps;
    for (const JobEntry& entry : jobs_) {
      const uint64_t share = JobShare(entry.jobs);
      if (entry.draws <= share) continue;
      const uint64_t reached = std::min<uint64_t>((entry.draws - 1) / share, entry.jobs - 1);
      std::string whose;
      for (uint64_t j = 1; j <= reached && j <= 3; ++j)
        whose += (j > 1 ? ", " : "") + std::to_string((entry.job + j) % entry.jobs);
      if (reached > 3) whose += " …";
      overlaps += (overlaps.empty() ? "" : "\n") + std::string("job ") +
                  std::to_string(entry.job) + " of " + std::to_string(entry.jobs) + " (" +
                  entry.summary + ") drew " + std::to_string(entry.draws) +
                  " random numbers, more than its share of " + std::to_string(share) +
                  ": its simulations overlap those of job" + (reached > 1 ? "s " : " ") + whose;
    }
    if (overlaps.empty()) return std::nullopt;
    return Stop{kExitRefused, overlaps + "\nRun the array again with fewer simulations per job "
                                         "or fewer jobs"};
  }

  // Two summaries never pin the same values (a result file copied under
  // another job's name).
  std::optional<Stop> CheckPinnedFilesDiffer() const {
    std::map<std::string, std::string> first;
    for (const PinnedFile& file : pinned_) {
      const auto [at, added] = first.emplace(file.sha256, file.summary);
      if (!added)
        return Stop{kExitRefused, at->second + " and " + file.summary +
                                      " pin result files of the same content: one run's values "
                                      "would count twice"};
    }
    return std::nullopt;
  }

  // Values of two simulators pool only when they are of one null in
  // distribution, which is checked, not assumed: a summary names its engine
  // (none: written before there was a choice, by the individual engine).
  std::optional<Stop> MatchEngine(const std::string& name, const JsonValue& summary) {
    const JsonValue* parameters = summary.Member("parameters");
    const JsonValue* engine = parameters->Member("engine");
    if (engine != nullptr && (engine->kind != JsonValue::Kind::String ||
                              (engine->text != "individuals" && engine->text != "counts")))
      return Field(name, "engine", "\"individuals\" or \"counts\"");
    const std::string word = engine == nullptr ? "individuals" : engine->text;
    if (engineSummary_.empty()) {
      engineSummary_ = name;
      engine_ = word;
    } else if (word != engine_) {
      return Stop{kExitRefused, "Cannot merge runs of different engines: engine = \"" + word +
                                    "\" in " + name + ", engine = \"" + engine_ + "\" in " +
                                    engineSummary_};
    }
    if (!bareResults_) pooled_.engine = engine_;
    return std::nullopt;
  }

  // Every job 0 … J − 1 of each array (one base seed and J) exactly once.
  std::optional<Stop> CheckJobArrays() const {
    std::map<std::pair<uint32_t, uint64_t>, std::map<uint64_t, std::string>> arrays;
    for (const JobEntry& entry : jobs_) {
      auto& array = arrays[{entry.seed, entry.jobs}];
      const auto [at, added] = array.emplace(entry.job, entry.summary);
      if (!added)
        return Stop{kExitRefused, "job " + std::to_string(entry.job) + " of " +
                                      std::to_string(entry.jobs) + " is given twice (" +
                                      at->second + " and " + entry.summary + ")"};
    }
    std::string missing;
    for (const auto& [key, array] : arrays) {
      const std::string seed =
          arrays.size() > 1 ? " (base seed " + std::to_string(key.first) + ")" : "";
      uint64_t listed = 0, absent = key.second - array.size();
      for (uint64_t k = 0; k < key.second && listed < absent && listed < 10; ++k) {
        if (array.count(k) != 0) continue;
        missing += (missing.empty() ? "" : "\n") + std::string("job ") + std::to_string(k) +
                   " of " + std::to_string(key.second) + seed + " is missing (no summary)";
        ++listed;
      }
      if (absent > listed)
        missing += "\n… and " + std::to_string(absent - listed) + " more jobs of " +
                   std::to_string(key.second) + seed + " are missing";
    }
    if (!missing.empty()) return Stop{kExitRefused, missing};
    return std::nullopt;
  }
};

// The tallies a run keeps, over the pooled values: the extremes start at the
// observed Delta, and every comparison is strict.
PooledHistogramInput PooledTallies(const PooledResults& pooled, double observed) {
  PooledHistogramInput in;
  in.values = pooled.deltas;
  in.N = static_cast<uint16_t>(pooled.header.N);
  in.m = pooled.header.m;
  in.observedDelta = observed;
  in.deltaMin = in.deltaMax = observed;
  for (double delta : pooled.deltas) {
    if (delta > observed) ++in.deltaAboveCount;
    if (delta < in.deltaMin) in.deltaMin = delta;
    if (delta > in.deltaMax) in.deltaMax = delta;
  }
  return in;
}

TestSummary MergeSummary(const PooledResults& pooled, const PooledHistogramInput& in,
                         const RecordedHistogram& histogram) {
  TestSummary s;
  s.command = "merge";
  s.model = ModelWord(pooled.header.model);
  s.engine = pooled.engine;
  s.P = pooled.header.P;
  s.N = pooled.header.N;
  s.n = pooled.header.n;
  s.T = pooled.header.T;
  s.A = pooled.header.A;
  s.m = pooled.header.m;
  s.observedDelta = in.observedDelta;
  s.files = pooled.files;
  s.simulations = pooled.deltas.size();
  s.higher = in.deltaAboveCount;
  SummariseHistogram(histogram, in.deltaMin, in.deltaMax, s);
  return s;
}

}  // namespace

void AddMergeOptions(CLI::App& merge, MergeOptions& o) {
  merge
      .add_option("results", o.results,
                  "Result files written by 'driftwise run' or the window, or the JSON summaries "
                  "of runs (--json), whose result files are checked to be whole and, for a job "
                  "array, every job to be there once")
      ->required()
      ->type_name("RESULT|SUMMARY");
  merge.add_option("-d,--observed-delta", o.observedDelta,
                   "Observed Delta = WC - RH (for result files and run summaries)")
      ->type_name("REAL");
  AddReportOptions(merge, o.report);
  merge.add_option("--tsv", o.tsv, "Scan parts: write the table to FILE (- for standard output)")
      ->type_name("FILE");
  merge.add_option("--plot", o.plot, "Scan parts: draw the loci's Delta to FILE (.png, .svg or .pdf)")
      ->type_name("FILE");
  for (CLI::Option* option : merge.get_options())
    if (option->get_name() != "results")
      option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

namespace {

// Whether the first file given is a scan's part: its first bytes say so.
bool ScanPartsGiven(const MergeOptions& options) {
  std::string start;
  if (ReadFileBounded(options.results.front(), 256, start) != 0) return false;
  return scan::IsScanPart(start);
}

int MergeParts(const MergeOptions& options, std::ostream& out, std::ostream& err) {
  const ReportOptions& report = options.report;
  if (report.histogramTable || report.chart || !options.observedDelta.empty()) {
    err << "Scan parts are merged into a scan's table, JSON and plot (--tsv, --json, --plot): "
           "-d, --histogram-table and --chart are for runs\n";
    return kExitUsage;
  }
  if (options.plot && !IsChartFileName(*options.plot)) {
    err << "--plot: '" << *options.plot << "' must end in .png, .svg or .pdf\n";
    return kExitUsage;
  }
  if (report.JsonToOutput() && options.tsv && *options.tsv == "-") {
    err << "--json - and --tsv - cannot both write to standard output\n";
    return kExitUsage;
  }
  std::vector<FileRole> roles;
  for (const std::string& name : options.results) roles.push_back({"PART", name, true});
  if (options.tsv) roles.push_back({"--tsv", *options.tsv});
  if (options.plot) roles.push_back({"--plot", *options.plot});
  if (report.json) roles.push_back({"--json", *report.json});
  if (const int status = CheckFileRoles(roles, err)) return status;
  return MergeScanParts(options.results, options.tsv, report.json, options.plot, out, err);
}

}  // namespace

int MergeCommand(const MergeOptions& options, std::ostream& out, std::ostream& err) {
  const ReportOptions& report = options.report;
  if (!options.results.empty() && ScanPartsGiven(options)) return MergeParts(options, out, err);
  if (options.tsv || options.plot) {
    err << "--tsv and --plot are for scan parts; runs are reported with --histogram-table and "
           "--chart\n";
    return kExitUsage;
  }
  if (options.observedDelta.empty()) {
    err << "--observed-delta is required\nRun with --help for more information.\n";
    return kExitUsage;
  }
  // Each command keeps its own order, so a line with both problems names the same one.
  for (const auto& problem : {report.StandardOutputProblem(), report.ChartNameProblem()})
    if (problem) {
      err << *problem << "\n";
      return kExitUsage;
    }
  // Before anything is read; the result files that summaries name are
  // checked once they are known, before anything is written.
  std::vector<FileRole> roles;
  for (const std::string& name : options.results) roles.push_back({"RESULT", name, true});
  AddReportRoles(report, roles);
  // Before anything is read, not after all of it.
  if (const int status = CheckFileRoles(roles, err)) return status;
  const NumberMarks marks{'.', ','};
  try {
    const double observed = StoreF64(ParseReal(options.observedDelta, marks));
    Merger merger(report);
    if (const auto stop = merger.Read(options.results)) {
      err << stop->message << "\n";
      return stop->status;
    }
    const PooledResults& pooled = merger.Pooled();
    if (merger.PlainResultsGiven()) err << kPlainResultsNote << "\n";
    if (pooled.header.A == 2) err << kTwoAllelesNote << "\n";
    const PooledHistogramInput in = PooledTallies(pooled, observed);
    std::array<uint64_t, 10> counts{};
    RecordedHistogram histogram;
    BuildDeltaHistogram(in, marks, counts, histogram);
    const std::string summary = PooledSummaryMessage(pooled.deltas.size(), in.deltaAboveCount);
    const auto json = [&] { return SummaryJson(MergeSummary(pooled, in, histogram)); };
    if (const int status = WriteReport(report, summary, histogram, json, out, err)) return status;
  } catch (const RuntimeError& e) {
    out.flush();
    err << CommandLineErrorText(e) << "\n";
    return kExitRuntimeError;
  }
  out.flush();
  return kExitDone;
}

}  // namespace dw::cli
