// `driftwise merge` end to end: pooled counts against counting the files'
// Delta values directly, refusals, more values than a 16-bit count holds,
// and the JSON summary read back by an independent parser.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <unistd.h>

#include "cli/merge.h"
#include "engine/histogram.h"
#include "runtime/textfile.h"
#include "tests/cli/program.h"

namespace dw {
namespace {

const std::string kRun = "run -P 3 -N 20 -T 10 -I 20 -n 10 -A 3 -i three.txt ";

// What a merge must report, found by reading the Delta after each
// "Delta=WC-RH=" and counting the way a run counts.
struct DirectCount {
  std::vector<double> deltas;
  double observed;
  double min, max;
  uint64_t above = 0;
  std::array<uint64_t, 10> classes{};
  int observedClass = 0;

  DirectCount(const std::vector<std::string>& texts, double observedDelta)
      : observed(observedDelta), min(observedDelta), max(observedDelta) {
    const std::string key = "Delta=WC-RH=";
    for (const std::string& text : texts)
      for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1))
        deltas.push_back(std::strtod(text.c_str() + at + key.size(), nullptr));
    for (double d : deltas) {
      if (d > observed) ++above;
      min = std::min(min, d);
      max = std::max(max, d);
    }
    for (double d : deltas) ++classes[HistogramClass(d, min, max)];
    observedClass = HistogramClass(observed, min, max) + 1;
  }
  std::string Summary() const {
    return "Finished : " + std::to_string(deltas.size()) + " simulations\n" +
           std::to_string(deltas.size() - above) + " values lower than Delta obs, \n" +
           std::to_string(above) + " values higher than Delta obs\n" +
           "Please see tab Results and graphs for the histogram\n";
  }
};

// The counts column of a histogram table and the class marked "*".
std::array<uint64_t, 10> TableCounts(const std::string& table, int& marked) {
  std::array<uint64_t, 10> counts{};
  std::istringstream in(table);
  std::string line;
  for (int i = 0; i < 3; ++i) std::getline(in, line);
  marked = 0;
  for (int i = 0; i < 10 && std::getline(in, line); ++i) {
    const std::size_t tab = line.find('\t');
    counts[i] = std::stoull(line.substr(tab + 1));
    if (line.back() == '*') marked = i + 1;
  }
  return counts;
}

TEST(Merge, PoolsInFileOrderAndCountsAsARun) {
  test::Program p;
  std::vector<std::string> files;
  for (const char* seed : {"1", "2", "3"}) {
    ASSERT_EQ(p.Run(kRun + "--seed " + seed + " -o r" + seed + ".txt"), 0) << p.err;
    files.push_back(p.File(std::string("r") + seed + ".txt"));
  }
  ASSERT_EQ(p.Run("merge -d 0.005 r1.txt r2.txt r3.txt --histogram-table t.tab"), 0) << p.err;
  const DirectCount direct(files, 0.005);
  ASSERT_EQ(direct.deltas.size(), 60u);
  EXPECT_EQ(p.out, direct.Summary());
  EXPECT_EQ(p.err, std::string(cli::kPlainResultsNote) + "\n");  // only summaries pin a run's end
  int marked = 0;
  EXPECT_EQ(TableCounts(p.File("t.tab"), marked), direct.classes);
  EXPECT_EQ(marked, direct.observedClass);
  EXPECT_EQ(p.File("t.tab").rfind("Histogram of simulated values of Delta\n"
                                  "N=20, m=0.1000, Delta obs=0.0050\n"
                                  "Amongst 60 simulations, " +
                                      std::to_string(60 - direct.above) + " lower values, " +
                                      std::to_string(direct.above) + " higher values\n",
                                  0),
            0u);

  // One file merged alone reports what its run reported (the values here
  // sit away from the class boundaries the seven decimals could move).
  ASSERT_EQ(p.Run(kRun + "--seed 1 -o r1.txt -d -0.01"), 0);
  const std::string runSummary = p.out;
  ASSERT_EQ(p.Run("merge r1.txt -d -0.01"), 0) << p.err;
  EXPECT_EQ(p.out, runSummary);
}

TEST(Merge, DrawsTheChartOfThePooledHistogram) {
  test::Program p;
  ASSERT_EQ(p.Run(kRun + "--seed 1 -o a.txt"), 0) << p.err;
  ASSERT_EQ(p.Run(kRun + "--seed 2 -o b.txt"), 0) << p.err;
  ASSERT_EQ(p.Run("merge -d 0.005 a.txt b.txt --chart pooled.svg"), 0) << p.err;
  const std::string svg = p.File("pooled.svg");
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find("Amongst 40 simulations"), std::string::npos);
}

TEST(Merge, RefusesOtherTestsAndMalformedFiles) {
  test::Program p;
  ASSERT_EQ(p.Run(kRun + "--seed 1 -o a.txt"), 0) << p.err;
  ASSERT_EQ(p.Run(kRun + "--seed 2 -o b.txt -N 21"), 0) << p.err;
  ASSERT_EQ(p.Run(kRun + "--seed 3 -o c.txt --model stepping"), 0) << p.err;
  std::string cut = p.File("a.txt");
  cut.resize(cut.size() - 20);  // as a run killed mid-line leaves it
  p.Write("cut.txt", cut);
  struct Case {
    std::string arguments;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {"merge -d 0 a.txt b.txt", 1,
       "Cannot merge runs of different tests: N = 21 in b.txt, N = 20 in a.txt\n"},
      {"merge -d 0 a.txt c.txt", 1,
       "Cannot merge runs of different tests: model = \"Stepping-stone\" in c.txt, model = "
       "\"Infinite island model\" in a.txt\n"},
      {"merge -d 0 a.txt cut.txt", 1,
       "cut.txt, line 26: not a value line (WC=, RH= and Delta=WC-RH= with seven decimals "
       "each): \"" +
           cut.substr(cut.rfind('\n') + 1) +
           "\"; a run that was killed leaves such a last line\n"},
      {"merge -d 0 a.txt three.txt", 1,
       "three.txt, line 1: not a result file: the first line should read \"Output file : values "
       "of Fst : Weir&Cockerham, Robertson&Hill, and Delta=WC-RH\"\n"},
      {"merge -d 0 a.txt missing.txt", 2,
       "missing.txt: Fichier introuvable. (No such file or directory)\n"},
      {"merge -d abc a.txt", 2, "'abc' n'est pas une valeur en virgule flottante correcte.\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(p.Run(c.arguments), c.status) << c.arguments;
    EXPECT_EQ(p.err, c.err) << c.arguments;
    EXPECT_EQ(p.out, "") << c.arguments;
  }
  for (const std::string arguments : {"merge a.txt", "merge -d 0", "merge -d 0 a.txt --chart x.gif",
                                      "merge -d 0 a.txt --json - --histogram-table -"}) {
    EXPECT_EQ(p.Run(arguments), 64) << arguments;
    EXPECT_NE(p.err, "") << arguments;
  }
}

TEST(Merge, RefusesTheFilesOfRunsThatDidNotFinishAndFilesGivenTwice) {
  test::Program p;
  ASSERT_EQ(p.Run(kRun + "--seed 1 -o a.txt"), 0) << p.err;
  const std::string a = p.File("a.txt");
  // A write failure leaves whole lines and the mark; a failure in the first
  // simulation, the header and the mark.
  p.Write("failed.txt", a.substr(0, a.rfind("\r\n")) + "\r\n");
  p.Write("first.txt", a.substr(0, a.find("\r\n\r\n") + 2) + "\r\n");
  ASSERT_EQ(::link(p.dir.File("a.txt").c_str(), p.dir.File("hard.txt").c_str()), 0);
  const std::string unfinished =
      "the file ends with a line end after its last whole line: the run that wrote it did not "
      "finish (it ended in an error, or was cancelled or interrupted)\n";
  struct Case {
    std::string arguments;
    std::string err;
  };
  const Case cases[] = {
      {"merge -d 0 a.txt failed.txt", "failed.txt, line 26: " + unfinished},
      {"merge -d 0 first.txt", "first.txt, line 7: " + unfinished},
      {"merge -d 0 a.txt a.txt", "the same file is given twice: 'a.txt' and 'a.txt'\n"},
      {"merge -d 0 a.txt ./a.txt", "the same file is given twice: 'a.txt' and './a.txt'\n"},
      {"merge -d 0 hard.txt a.txt", "the same file is given twice: 'hard.txt' and 'a.txt'\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(p.Run(c.arguments), 1) << c.arguments;
    EXPECT_EQ(p.err, c.err) << c.arguments;
    EXPECT_EQ(p.out, "") << c.arguments;
  }
}

// A job array of three jobs, each with its result file and its summary, in
// a folder of their own.
struct JobArray {
  test::Program p;
  JobArray() {
    std::filesystem::create_directory(p.dir.File("jobs"));
    for (const char* k : {"0", "1", "2"})
      EXPECT_EQ(p.Run(kRun + "--seed 2026 --jobs 3 --job " + k + " -o jobs/job" + k +
                      ".txt --json jobs/job" + k + ".json"),
                0)
          << p.err;
  }
};

TEST(Merge, OnSummariesPoolsACompleteJobArrayAsItsResultFiles) {
  JobArray array;
  test::Program& p = array.p;
  ASSERT_EQ(p.Run("merge -d 0.005 jobs/job0.txt jobs/job1.txt jobs/job2.txt --histogram-table -"),
            0)
      << p.err;
  const std::string fromResults = p.out;
  // The summaries name their result files relative to their own folder.
  EXPECT_NE(p.File("jobs/job1.json").find("\"output\": \"job1.txt\""), std::string::npos);
  ASSERT_EQ(p.Run("merge -d 0.005 jobs/job0.json jobs/job1.json jobs/job2.json --histogram-table -"),
            0)
      << p.err;
  EXPECT_EQ(p.out, fromResults);
  EXPECT_EQ(p.err, "");
  // Any order, and mixed with a result file of another run of the same test.
  ASSERT_EQ(p.Run(kRun + "--seed 9 -o other.txt"), 0) << p.err;
  EXPECT_EQ(p.Run("merge -d 0.005 jobs/job2.json other.txt jobs/job0.json jobs/job1.json"), 0)
      << p.err;
  EXPECT_EQ(p.out.rfind("Finished : 80 simulations\n", 0), 0u) << p.out;
}

// Summaries say which engine drew their values: runs of one engine pool,
// runs of the two are refused, whichever comes first; the pooled summary
// names the engine.
TEST(Merge, OnSummariesRefusesRunsOfDifferentEngines) {
  test::Program p;
  ASSERT_EQ(p.Run(kRun + "--seed 1 -o a.txt --json a.json --engine counts"), 0) << p.err;
  ASSERT_EQ(p.Run(kRun + "--seed 2 -o b.txt --json b.json --engine counts"), 0) << p.err;
  ASSERT_EQ(p.Run(kRun + "--seed 3 -o c.txt --json c.json"), 0) << p.err;
  ASSERT_EQ(p.Run("merge -d 0 a.json b.json --json -"), 0) << p.err;
  EXPECT_NE(p.out.find("\"engine\": \"counts\""), std::string::npos) << p.out;
  EXPECT_NE(p.out.find("\"simulations\": 40"), std::string::npos) << p.out;
  EXPECT_EQ(p.Run("merge -d 0 a.json b.json c.json"), 1);
  EXPECT_EQ(p.err, "Cannot merge runs of different engines: engine = \"individuals\" in c.json, "
                   "engine = \"counts\" in a.json\n");
  EXPECT_EQ(p.out, "");
  EXPECT_EQ(p.Run("merge -d 0 c.json b.json"), 1);
  EXPECT_EQ(p.err, "Cannot merge runs of different engines: engine = \"counts\" in b.json, "
                   "engine = \"individuals\" in c.json\n");
}

TEST(Merge, OnSummariesRefusesAnIncompleteOrInconsistentJobArray) {
  JobArray array;
  test::Program& p = array.p;
  // Job 1 once more, into files of its own: the same job twice.
  ASSERT_EQ(p.Run(kRun + "--seed 2026 --jobs 3 --job 1 -o again.txt --json again.json"), 0);
  const std::string job2 = p.File("jobs/job2.txt");
  const std::string lastLine = job2.substr(job2.rfind("\r\n"));
  // Killed after a whole line: it looks finished, only its summary tells.
  p.Write("short.txt", job2.substr(0, job2.rfind("\r\n")));
  p.Write("long.txt", job2 + lastLine);
  const auto pointedAt = [&](const std::string& file) {
    std::string summary = p.File("jobs/job2.json");
    const std::string output = "\"output\": \"job2.txt\"";
    return summary.replace(summary.find(output), output.size(), "\"output\": \"" + file + "\"");
  };
  p.Write("short.json", pointedAt("short.txt"));
  p.Write("long.json", pointedAt("long.txt"));
  p.Write("merged.json", "{\"format\": \"driftwise-summary\", \"command\": \"merge\"}\n");
  p.Write("broken.json", "{\"format\": \"driftwise-summary\",\n");
  struct Case {
    std::string arguments;
    std::string err;
  };
  const Case cases[] = {
      {"jobs/job0.json jobs/job2.json", "job 1 of 3 is missing (no summary)\n"},
      {"jobs/job0.json", "job 1 of 3 is missing (no summary)\njob 2 of 3 is missing (no summary)\n"},
      {"jobs/job0.json jobs/job1.json jobs/job2.json again.json",
       "job 1 of 3 is given twice (jobs/job1.json and again.json)\n"},
      {"jobs/job0.json jobs/job1.json short.json",
       "short.txt holds 19 simulations, its summary says 20 (its run was cut short)\n"},
      {"jobs/job0.json jobs/job1.json long.json", "long.txt holds 21 simulations, its summary says 20\n"},
      {"jobs/job0.json jobs/job0.txt",
       "the same file is given twice: 'jobs/job0.txt' (the result file of jobs/job0.json) and "
       "'jobs/job0.txt'\n"},
      {"merged.json", "merged.json: the summary of a merge, not of a run: give the runs' own summaries\n"},
      {"broken.json", "broken.json: not a JSON summary (a member's name expected at byte 32)\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(p.Run("merge -d 0.005 " + c.arguments), 1) << c.arguments;
    EXPECT_EQ(p.err, c.err) << c.arguments;
    EXPECT_EQ(p.out, "") << c.arguments;
  }
  // A summary whose result file is gone: the file and the system's reason.
  std::filesystem::remove(p.dir.File("jobs/job1.txt"));
  EXPECT_EQ(p.Run("merge -d 0.005 jobs/job0.json jobs/job1.json jobs/job2.json"), 2);
  EXPECT_EQ(p.err, "jobs/job1.txt: Fichier introuvable. (No such file or directory)\n");
}

// The summary with the value of "key" replaced by `value` (JSON text).
std::string Edited(std::string summary, const std::string& key, const std::string& value) {
  const std::size_t at = summary.find("\"" + key + "\": ") + key.size() + 4;
  return summary.replace(at, summary.find_first_of(",\n", at) - at, value);
}

TEST(Merge, OnSummariesTakesOnlyTheFilesTheirRunsWrote) {
  JobArray array;
  test::Program& p = array.p;
  ASSERT_EQ(p.Run("merge -d 0.005 jobs/job0.json jobs/job1.json jobs/job2.json"), 0) << p.err;
  const std::string pooled = p.out;
  const std::string job1 = p.File("jobs/job1.json");
  p.Write("jobs/copy2.txt", p.File("jobs/job2.txt"));  // job 2's values under job 1's summary
  ASSERT_EQ(p.Run(kRun + "--seed 99 --jobs 3 --job 1 -o jobs/other.txt"), 0);
  p.Write("jobs/copied.json", Edited(job1, "output", "\"copy2.txt\""));
  p.Write("jobs/other.json", Edited(job1, "output", "\"other.txt\""));
  p.Write("jobs/mig.json", Edited(job1, "migration", "0.3"));
  p.Write("jobs/ver.json", Edited(job1, "version", "2"));
  p.Write("jobs/nul.json", Edited(job1, "output", "\"job1.txt\\u0000.bak\""));
  p.Write("jobs/esc.json", Edited(job1, "command", "\"\\u001b[2Jmerge\""));
  p.Write("jobs/dup.json", job1);
  p.Write("blank.txt", "\n" + p.File("jobs/job1.txt"));
  const std::string notWritten =
      " is not the file its run wrote: its SHA-256 is not the one its summary pins (a copy of "
      "another run's file, or one written again)\n";
  struct Case {
    std::string arguments;
    std::string err;
  };
  const Case refused[] = {
      {"jobs/job0.json jobs/copied.json jobs/job2.json", "jobs/copy2.txt" + notWritten},
      {"jobs/job0.json jobs/other.json jobs/job2.json", "jobs/other.txt" + notWritten},
      {"jobs/job0.json jobs/mig.json jobs/job2.json",
       "jobs/mig.json says migration = 0.3, its result file jobs/job1.txt was written with 0.1000\n"},
      {"jobs/job0.json jobs/ver.json jobs/job2.json",
       "jobs/ver.json: its \"version\" is not 1, the version of the summaries this program "
       "writes\n"},
      {"jobs/nul.json", "jobs/nul.json: its \"output\" is missing or not a file name\n"},
      {"jobs/job1.json jobs/dup.json",
       "the same file is given twice: 'jobs/job1.txt' (the result file of jobs/job1.json) and "
       "'jobs/job1.txt' (the result file of jobs/dup.json)\n"},
      {"jobs/esc.json",
       "jobs/esc.json: the summary of a \\x1b[2Jmerge, not of a run: give the runs' own "
       "summaries\n"},
      {"blank.txt",
       "blank.txt, line 1: a blank line: a result file starts with its title line, a summary "
       "with '{'\n"},
  };
  for (const Case& c : refused) {
    EXPECT_EQ(p.Run("merge -d 0.005 " + c.arguments), 1) << c.arguments;
    EXPECT_EQ(p.err, c.err) << c.arguments;
  }
  // Through a link from another folder, after a byte-order mark or a blank
  // line, a summary is the same summary.
  std::filesystem::create_directory(p.dir.File("elsewhere"));
  std::filesystem::create_symlink("../jobs/job1.json", p.dir.File("elsewhere/link.json"));
  p.Write("jobs/bom.json", "\xEF\xBB\xBF" + job1);
  p.Write("jobs/blank.json", "\n" + job1);
  for (const char* summary : {"elsewhere/link.json", "jobs/bom.json", "jobs/blank.json"}) {
    EXPECT_EQ(p.Run(std::string("merge -d 0.005 jobs/job0.json jobs/job2.json ") + summary), 0)
        << summary << ": " << p.err;
    EXPECT_EQ(p.out, pooled) << summary;
  }
}

TEST(Merge, RefusesJobsWhoseStreamsOverlapNamingThem) {
  test::Program p;
  // A share of 2147 draws, far less than one of these runs takes.
  for (const char* k : {"0", "1"})
    ASSERT_EQ(p.Run(kRun + "--seed 7 --jobs 2000000 --job " + k + " -o ov" + k + ".txt --json ov" +
                    k + ".json"),
              0);
  EXPECT_NE(p.err.find("more than its share of 2147"), std::string::npos) << p.err;  // each warns
  EXPECT_EQ(p.Run("merge -d 0 ov0.json ov1.json"), 1);
  EXPECT_EQ(p.err.rfind("job 0 of 2000000 (ov0.json) drew ", 0), 0u) << p.err;
  EXPECT_NE(p.err.find(" random numbers, more than its share of 2147: its simulations overlap "
                       "those of jobs 1, 2, 3 …\njob 1 of 2000000 (ov1.json) drew "),
            std::string::npos)
      << p.err;
  EXPECT_EQ(p.out, "");
}

// A result file of the given Delta values, written as a run writes them.
std::string ResultFileOf(const std::vector<double>& deltas) {
  std::string text =
      "Output file : values of Fst : Weir&Cockerham, Robertson&Hill, and Delta=WC-RH\r\n"
      "Infinite island model\r\n"
      "10 islands of effective size 100, 50 individuals sampled per island.\r\n"
      "Migration rate 0.1000, number of generations : 100\r\n"
      "Number of alleles 5\r\n";
  for (double d : deltas)
    text += "\r\nWC=" + RealText(0.05, 11, 7) + " RH=" + RealText(0.05 - d, 11, 7) +
            " Delta=WC-RH=" + RealText(d, 11, 7);
  return text;
}

TEST(Merge, PoolsMoreValuesThanASixteenBitCountHolds) {
  // 70000 values, 69990 of them in class 6.
  std::vector<double> first, second;
  for (int i = 0; i < 35000; ++i) first.push_back(i < 5 ? -0.05 + 0.01 * i : 0.0012345);
  for (int i = 0; i < 35000; ++i) second.push_back(i < 5 ? 0.01 + 0.01 * i : 0.0023456);
  test::Program p;
  p.Write("a.txt", ResultFileOf(first));
  p.Write("b.txt", ResultFileOf(second));
  ASSERT_EQ(p.Run("merge -d 0.005 a.txt b.txt --histogram-table -"), 0) << p.err;
  const DirectCount direct({ResultFileOf(first), ResultFileOf(second)}, 0.005);
  ASSERT_EQ(direct.deltas.size(), 70000u);
  EXPECT_EQ(p.out.rfind(direct.Summary(), 0), 0u) << p.out.substr(0, 200);
  int marked = 0;
  const auto counts = TableCounts(p.out.substr(direct.Summary().size()), marked);
  EXPECT_EQ(counts, direct.classes);
  EXPECT_GT(counts[5], 65535u);  // positions 0.512345 and 0.523456 of the range
  EXPECT_NE(p.out.find("Amongst 70000 simulations, 69995 lower values, 5 higher values\n"),
            std::string::npos);
}

// Reads the JSON with Python's parser and prints the fields to compare.
std::string ReadWithPython(const test::Program& p, const std::string& json) {
  const std::string script =
      "import json,sys; d=json.load(open(sys.argv[1])); "
      "print(d['simulations'], d['lower'], d['higher'], repr(d['p_value']), "
      "repr(d['p_value_plus_one']), d['observed_class'], "
      "' '.join(str(c['count']) for c in d['classes']), repr(d['delta_min']), "
      "repr(d['delta_max']), repr(d['classes'][0]['low']), repr(d['classes'][9]['high']), "
      "d['parameters']['size'], repr(d['parameters']['migration']), "
      "repr(d['parameters']['observed_delta']), d['command'], len(d.get('files', [])))";
  const std::string command = "cd '" + p.dir.Path().string() + "' && python3 -c \"" + script +
                              "\" " + json + " >py.txt 2>py.err";
  EXPECT_EQ(std::system(command.c_str()), 0) << p.File("py.err");
  return p.File("py.txt");
}

TEST(Merge, JsonParsesAndMatchesTheSummary) {
  test::Program p;
  std::vector<std::string> files;
  for (const char* seed : {"4", "5"}) {
    ASSERT_EQ(p.Run(kRun + "--seed " + seed + " -o r" + seed + ".txt"), 0) << p.err;
    files.push_back(p.File(std::string("r") + seed + ".txt"));
  }
  ASSERT_EQ(p.Run("merge -d 0.003 r4.txt r5.txt --json s.json --histogram-table t.tab"), 0)
      << p.err;
  const DirectCount direct(files, 0.003);
  EXPECT_EQ(p.out, direct.Summary());
  std::istringstream py(ReadWithPython(p, "s.json"));
  uint64_t simulations, lower, higher;
  std::string pValue, pPlusOne, min, max, low, high, m, observed, command;
  int observedClass;
  py >> simulations >> lower >> higher >> pValue >> pPlusOne >> observedClass;
  std::array<uint64_t, 10> counts{};
  for (uint64_t& c : counts) py >> c;
  uint32_t N;
  std::size_t fileCount;
  py >> min >> max >> low >> high >> N >> m >> observed >> command >> fileCount;
  ASSERT_FALSE(py.fail()) << py.str();
  EXPECT_EQ(simulations, 40u);
  EXPECT_EQ(higher, direct.above);
  EXPECT_EQ(lower, 40 - direct.above);
  EXPECT_EQ(std::strtod(pValue.c_str(), nullptr), static_cast<double>(higher) / 40.0);
  EXPECT_EQ(std::strtod(pPlusOne.c_str(), nullptr), static_cast<double>(higher + 1) / 41.0);
  EXPECT_EQ(observedClass, direct.observedClass);
  EXPECT_EQ(counts, direct.classes);
  int marked = 0;
  EXPECT_EQ(TableCounts(p.File("t.tab"), marked), counts);
  EXPECT_EQ(std::strtod(min.c_str(), nullptr), direct.min);
  EXPECT_EQ(std::strtod(max.c_str(), nullptr), direct.max);
  EXPECT_EQ(std::strtod(low.c_str(), nullptr), direct.min);
  EXPECT_EQ(std::strtod(high.c_str(), nullptr), direct.max);
  EXPECT_EQ(N, 20u);
  EXPECT_EQ(std::strtod(m.c_str(), nullptr), 0.1);
  EXPECT_EQ(std::strtod(observed.c_str(), nullptr), 0.003);
  EXPECT_EQ(command, "merge");
  EXPECT_EQ(fileCount, 2u);

  // --json - puts the document alone on standard output.
  ASSERT_EQ(p.Run("merge -d 0.003 r4.txt r5.txt --json -"), 0) << p.err;
  EXPECT_EQ(p.out, p.File("s.json"));
}

TEST(RunJson, ParsesAndMatchesTheSummary) {
  test::Program p;
  ASSERT_EQ(p.Run(kRun + "--seed 6 -o r.txt --json r.json --histogram-table t.tab"), 0) << p.err;
  const DirectCount fromFile({p.File("r.txt")}, 0.005);
  std::istringstream py(ReadWithPython(p, "r.json"));
  uint64_t simulations, lower, higher;
  py >> simulations >> lower >> higher;
  EXPECT_EQ(p.out, "Finished : 20 simulations\n" + std::to_string(lower) +
                       " values lower than Delta obs, \n" + std::to_string(higher) +
                       " values higher than Delta obs\n"
                       "Please see tab Results and graphs for the histogram\n");
  EXPECT_EQ(simulations, 20u);
  EXPECT_EQ(higher, fromFile.above);  // the observed 0.005 is no boundary of the file's rounding
}

}  // namespace
}  // namespace dw
