// `driftwise scan`: the shipped example end to end (the planted locus is the
// one flagged, the bytes do not depend on the threads, a locus reruns with
// `driftwise run` from its kept files), the calibrated null on neutral data
// from a Wright–Fisher generator of the test's own, a strong outlier among
// fifty loci flagged by the sequential p-values, shared nulls, loci whose
// simulations include undefined ones, the initial frequencies it writes, and
// outputs and kept files checked before the work.
#include "cli/scan.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "tests/cli/program.h"

namespace dw {
namespace {

// A light workload: the smallest two-sided p is 2/201, so seven tested loci
// still reach q ≈ 0.07 when one locus lies beyond every simulation.
const std::string kScan = "scan example.gen -I 200 -T 50 --seed 7";

struct Row {
  std::map<std::string, std::string> field;
};

std::vector<Row> Rows(const std::string& table) {
  std::istringstream in(table);
  std::string line, cell;
  std::getline(in, line);
  std::vector<std::string> names;
  for (std::istringstream header(line); std::getline(header, cell, '\t');) names.push_back(cell);
  std::vector<Row> rows;
  while (std::getline(in, line)) {
    Row row;
    std::istringstream cells(line);
    for (const std::string& name : names) {
      std::getline(cells, cell, '\t');
      row.field[name] = cell;
    }
    rows.push_back(row);
  }
  return rows;
}

// The value of a JSON member "name": its text as written.
std::string JsonValue(const std::string& json, const std::string& name) {
  std::smatch match;
  const std::regex member("\"" + name + "\": \"?([^\",\n]*)");
  return std::regex_search(json, match, member) ? match[1].str() : "";
}

void CopyExample(const test::Program& p) {
  p.Write("example.gen",
          test::ReadBytes(std::string(DW_SOURCE_DIR) + "/examples/five-samples.gen"));
}

TEST(Scan, FlagsThePlantedLocusAloneWhateverTheThreads) {
  test::Program p;
  CopyExample(p);
  // The defaults: the count engine, its p-values resolved sequentially.
  const std::string kScan = "scan example.gen -T 50 --seed 7";
  // The null is fitted first (no -m): the fit too is the same on any thread count.
  ASSERT_EQ(p.Run(kScan + " --threads 1 --json one.json"), 0) << p.err;
  const std::string single = p.out, report = p.err, json = p.File("one.json");
  EXPECT_EQ(report.rfind("Null fitted to the loci: m = ", 0), 0u) << report;
  ASSERT_EQ(p.Run(kScan + " --threads 2 --tsv two.tsv --json -"), 0) << p.err;
  EXPECT_EQ(p.File("two.tsv"), single);
  EXPECT_EQ(p.out, json);
  EXPECT_EQ(p.err, report);
  ASSERT_EQ(p.Run(kScan + " --threads 3"), 0) << p.err;
  EXPECT_EQ(p.out, single);
  EXPECT_EQ(JsonValue(json, "format"), "driftwise-scan");
  EXPECT_EQ(JsonValue(json, "calibration"), "m");

  const std::map<std::string, std::string> expected = {
      {"Est2", "no"},         {"Mdh1", "no"},
      {"Pgm", "no"},          {"Got1", "two alleles: Delta is 0 by construction"},
      {"Lap", "yes"},         {"Idh", "no"},
      {"Sod", "monomorphic"}, {"Ck", "no"},
      {"Adh", "no"}};
  const std::vector<Row> rows = Rows(single);
  ASSERT_EQ(rows.size(), expected.size());
  std::set<std::string> seeds;
  for (const Row& row : rows) {
    const std::string& locus = row.field.at("locus");
    EXPECT_EQ(row.field.at("flag"), expected.at(locus)) << locus;
    if (row.field.at("P") == "NA" || row.field.at("simulations") == "NA") continue;
    EXPECT_EQ(row.field.at("P"), "5");
    const int simulations = std::stoi(row.field.at("simulations"));
    EXPECT_GE(simulations, 10);
    EXPECT_EQ(std::stoi(row.field.at("wc_lower")) + std::stoi(row.field.at("wc_higher")),
              simulations);
    EXPECT_EQ(row.field.at("undefined"), "0");
    // Lap is the WC outlier too: its common allele is pushed apart.
    EXPECT_EQ(row.field.at("flag_wc"), locus == "Lap" ? "yes" : "no") << locus;
    seeds.insert(row.field.at("seed"));
  }
  EXPECT_EQ(seeds.size(), 8u);  // one null per tested locus, Got1 by WC alone
}

TEST(Scan, KeptFilesRerunWithRunToTheSameBytes) {
  test::Program p;
  CopyExample(p);
  ASSERT_EQ(p.Run(kScan + " --engine individuals --results-dir kept --json scan.json"), 0) << p.err;
  const std::vector<Row> rows = Rows(p.out);
  const Row& lap = rows[4];
  ASSERT_EQ(lap.field.at("locus"), "Lap");
  // The fitted m as the runs took it, and the options the report gives.
  const std::string json = p.File("scan.json");
  const std::string m = JsonValue(json, "migration_text");
  ASSERT_FALSE(m.empty());
  EXPECT_EQ(JsonValue(json, "rerun"),
            "driftwise run --skip-undefined --model infinite -N 100 -m " + m + " -T 50 -I 200");
  EXPECT_NE(p.err.find("-m " + m + " -T 50 -I 200"), std::string::npos) << p.err;
  const std::string run = "run --skip-undefined --model infinite -N 100 -m " + m +
                          " -T 50 -I 200 --seed " + lap.field.at("seed") + " -P 5 -A 8 -n " +
                          lap.field.at("n") + " -i kept/locus005-Lap-freq.txt -o again.txt";
  ASSERT_EQ(p.Run(run), 0) << p.err;
  const std::string kept = p.File("kept/locus005-Lap-fst.txt");
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(p.File("again.txt"), kept);
  // Only the test's files are kept, not the fit's.
  EXPECT_FALSE(std::filesystem::exists(p.dir.File("kept/locus005-Lap-calibration-fst.txt")));
  // Every simulated Delta of the planted locus lies below the observed one.
  EXPECT_EQ(lap.field.at("higher"), "0");
  EXPECT_EQ(lap.field.at("p_two_sided"), "0.009950");
}

TEST(Scan, OutputsAndKeptFilesAreCheckedBeforeTheWork) {
  test::Program p;
  CopyExample(p);
  p.Write("locus001-Est2-freq.txt", p.File("example.gen"));
  std::filesystem::create_directories(p.dir.File("kept"));
  struct Case {
    std::string options;
    int status;
    std::string message;
  };
  const Case cases[] = {
      // Refused before the fit: its report never shows.
      {"example.gen --tsv missing/t.tsv", 2, "missing/t.tsv: Fichier introuvable."},
      {"example.gen --json kept", 2, "kept"},
      // The scan would write its first locus's frequency file over its input.
      {"locus001-Est2-freq.txt --results-dir .", 64,
       "FILE 'locus001-Est2-freq.txt' and --results-dir './locus001-Est2-freq.txt' are the same "
       "file"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(p.Run("scan " + c.options + " --seed 1 -T 20"), c.status) << c.options << p.err;
    EXPECT_NE(p.err.find(c.message), std::string::npos) << c.options << "\n" << p.err;
    EXPECT_EQ(p.err.find("Null fitted"), std::string::npos) << c.options;
  }
  // A results folder whose every frequency file is blocked (a folder in its
  // place): the scan's failure to write, named, not "No null fits the loci".
  for (const char* stem : {"locus001-Est2", "locus002-Mdh1", "locus003-Pgm", "locus004-Got1",
                           "locus005-Lap", "locus006-Idh", "locus008-Ck", "locus009-Adh"})
    std::filesystem::create_directories(p.dir.File(std::string("blocked/") + stem + "-freq.txt"));
  EXPECT_EQ(p.Run("scan example.gen --engine individuals -I 20 -T 20 --seed 1 --results-dir blocked"),
            2);
  EXPECT_NE(p.err.find("-freq.txt: "), std::string::npos) << p.err;
  EXPECT_EQ(p.err.find("No null fits"), std::string::npos) << p.err;
}

TEST(Scan, AResultsFolderIsOneScansAtATime) {
  test::Program first, second;
  CopyExample(first);
  first.Start("scan example.gen --engine individuals -N 2000 -I 65535 --seed 1 --results-dir "
              "kept --tsv first.tsv");
  const std::string lock = first.dir.File("kept/.driftwise-scan.lock");
  for (int i = 0; i < 200 && !std::filesystem::exists(lock); ++i) usleep(50000);
  ASSERT_TRUE(std::filesystem::exists(lock));
  second.Write("example.gen", first.File("example.gen"));
  EXPECT_EQ(second.Run("scan example.gen --seed 2 --results-dir " + first.dir.File("kept")), 2);
  EXPECT_NE(second.err.find("another scan is writing into it"), std::string::npos) << second.err;
  first.Signal(SIGTERM);
  first.Wait();
}

TEST(Scan, AFileWithNoTestableLocusIsSaidSo) {
  test::Program p;
  p.Write("mono.gen", "t\nA\nB\nPop\na, 0101 0101\nb, 0101 0101\nPop\nc, 0101 0101\nd, 0101 0101\n");
  ASSERT_EQ(p.Run("scan mono.gen --seed 1 --json m.json"), 0) << p.err;
  EXPECT_EQ(p.err.rfind("no locus of mono.gen can be tested: every one is monomorphic", 0), 0u)
      << p.err;
  EXPECT_EQ(JsonValue(p.File("m.json"), "note"), "no locus of the file can be tested");
  EXPECT_EQ(JsonValue(p.File("m.json"), "tested_loci"), "0");
}

TEST(Scan, ALocusOfTheCountEngineRerunsWithRun) {
  test::Program p;
  CopyExample(p);
  ASSERT_EQ(p.Run("scan example.gen -m 0.05 -T 50 --seed 7 --results-dir kept --json s.json"), 0)
      << p.err;
  const Row lap = Rows(p.out)[4];
  ASSERT_EQ(lap.field.at("locus"), "Lap");
  const std::string json = p.File("s.json");
  EXPECT_EQ(JsonValue(json, "rerun"),
            "driftwise run --engine counts --skip-undefined --model infinite -N 100 -m 0.05 -T 50");
  // The observed Delta as the scan compares it: its JSON value, to 17 digits.
  const std::size_t at = json.find("\"locus\": \"Lap\"");
  ASSERT_NE(at, std::string::npos);
  const std::string delta = JsonValue(json.substr(at), "delta");
  const int taken = std::stoi(lap.field.at("simulations")) + std::stoi(lap.field.at("undefined"));
  ASSERT_EQ(p.Run("run --engine counts --skip-undefined --model infinite -N 100 -m 0.05 -T 50 "
                  "--seed " + lap.field.at("seed") + " -P 5 -A 8 -n " + lap.field.at("n") +
                  " -I " + std::to_string(taken) + " -d " + delta +
                  " -i kept/locus005-Lap-freq.txt -o again.txt"),
            0)
      << p.err;
  EXPECT_NE(p.out.find("\n" + lap.field.at("higher") + " values higher than Delta obs"),
            std::string::npos)
      << p.out << lap.field.at("higher");
  EXPECT_NE(p.out.find("\n" + lap.field.at("lower") + " values lower than Delta obs"),
            std::string::npos)
      << p.out;
  // Only frequency files are kept: the count engine writes no result file.
  EXPECT_FALSE(std::filesystem::exists(p.dir.File("kept/locus005-Lap-fst.txt")));
}

// Island populations of N diploids exchanging genes with a fixed pool, in
// the simplest terms and apart from the engine: each gene copy of the next
// generation is, with probability m, drawn from the pool, else a copy of a
// gene of its own population picked at random; after G generations, n
// individuals per population are sampled. Alleles 4 to 8 per locus, the
// pool's frequencies random.
std::string NeutralIslandGenepop(uint64_t seed, int P, int N, double m, int G, int n, int L) {
  std::mt19937_64 engine(seed);
  const auto uniform = [&] { return static_cast<double>(engine() >> 11) * 0x1.0p-53; };
  const auto below = [&](int k) { return static_cast<int>(uniform() * k); };
  std::vector<std::vector<std::vector<int>>> sampled(L);  // [locus][population][2n copies]
  for (int l = 0; l < L; ++l) {
    const int A = 4 + below(5);
    std::vector<double> cumulative;
    double total = 0;
    for (int a = 0; a < A; ++a) cumulative.push_back(total += -std::log(1.0 - uniform()));
    const auto fromPool = [&] {
      const double u = uniform() * total;
      int a = 0;
      while (a + 1 < A && u >= cumulative[a]) ++a;
      return a + 1;
    };
    std::vector<std::vector<int>> genes(P, std::vector<int>(2 * N)), next = genes;
    for (auto& population : genes)
      for (int& gene : population) gene = fromPool();
    for (int g = 0; g < G; ++g) {
      for (int p = 0; p < P; ++p)
        for (int& gene : next[p]) gene = uniform() < m ? fromPool() : genes[p][below(2 * N)];
      std::swap(genes, next);
    }
    for (auto& population : genes) {
      for (int c = 0; c < 2 * n; ++c) std::swap(population[c], population[c + below(2 * N - c)]);
      population.resize(2 * n);
    }
    sampled[l] = genes;
  }
  std::string text = "neutral island data\n";
  char name[32];
  for (int l = 0; l < L; ++l) {
    std::snprintf(name, sizeof name, "L%d\n", l + 1);
    text += name;
  }
  char genotype[8];
  for (int p = 0; p < P; ++p) {
    text += "Pop\n";
    for (int i = 0; i < n; ++i) {
      std::snprintf(name, sizeof name, "p%d-%d ,", p + 1, i + 1);
      text += name;
      for (int l = 0; l < L; ++l) {
        std::snprintf(genotype, sizeof genotype, " %02d%02d", sampled[l][p][2 * i],
                      sampled[l][p][2 * i + 1]);
        text += genotype;
      }
      text += "\n";
    }
  }
  return text;
}

TEST(Scan, CalibratedNullFlagsNoNeutralLocusWhereTheFixedOneFlagsMany) {
  // Fst about 0.1: at N = 50, m = 0.04 the equilibrium Fst is 0.105.
  test::Program p;
  const double m = 0.04;
  p.Write("neutral.gen", NeutralIslandGenepop(2026, 6, 50, m, 200, 20, 24));
  // The README's example is this very data set.
  EXPECT_EQ(p.File("neutral.gen"),
            test::ReadBytes(std::string(DW_SOURCE_DIR) + "/examples/neutral-island.gen"));
  ASSERT_EQ(p.Run("scan neutral.gen -N 50 -T 50 -I 200 --seed 11 --json fit.json"), 0) << p.err;
  const std::vector<Row> fitted = Rows(p.out);
  const std::string json = p.File("fit.json");
  const double structure = std::stod(JsonValue(json, "data_trimmed_mean_wc"));
  EXPECT_GT(structure, 0.07);
  EXPECT_LT(structure, 0.14);
  const double fittedM = std::stod(JsonValue(json, "migration"));
  EXPECT_GT(fittedM, m / 1.5) << p.err;
  EXPECT_LT(fittedM, m * 1.5) << p.err;
  std::size_t tested = 0;
  for (const Row& row : fitted) {
    if (row.field.at("flag") != "yes" && row.field.at("flag") != "no") continue;
    ++tested;
    EXPECT_EQ(row.field.at("flag"), "no") << row.field.at("locus");
    EXPECT_EQ(row.field.at("flag_wc"), "no") << row.field.at("locus");
  }
  EXPECT_GE(tested, 20u);

  // The fixed null of N = 100, m = 0.1 (Fst about 0.02) against the same loci.
  ASSERT_EQ(p.Run("scan neutral.gen --calibrate none -I 200 --seed 11"), 0) << p.err;
  EXPECT_EQ(p.err.rfind("warning: the null does not fit the loci: m = 0.1 given\n", 0), 0u)
      << p.err;
  std::size_t flagged = 0, flaggedWc = 0;
  for (const Row& row : Rows(p.out)) {
    flagged += row.field.at("flag") == "yes";
    flaggedWc += row.field.at("flag_wc") == "yes";
  }
  EXPECT_GE(flagged, tested / 4);
  EXPECT_GE(flaggedWc, tested / 2);
}

// `text` (a Genepop file of one name per line) with one more locus, last:
// `genotype(p, i)` of individual i (0-based) of population p.
std::string WithLocus(const std::string& text, const std::string& name,
                      const std::function<std::string(int, int)>& genotype) {
  std::istringstream in(text);
  std::string line, out;
  int population = -1, individual = 0;
  bool named = false;
  while (std::getline(in, line)) {
    if (line == "Pop") {
      if (!named) out += name + "\n";
      named = true;
      ++population;
      individual = 0;
      out += line + "\n";
    } else if (population >= 0) {
      out += line + " " + genotype(population, individual++) + "\n";
    } else {
      out += line + "\n";
    }
  }
  return out;
}

// 52 neutral loci at Fst about 0.1, then one locus whose first three
// populations carry only alleles 1 and 2 and the other three only 3 and 4:
// WC near 1, beyond every simulation of the null.
std::string PlantedOutlier() {
  return WithLocus(NeutralIslandGenepop(52, 6, 50, 0.04, 200, 20, 52), "Planted",
                   [](int p, int i) { return p < 3 ? (i % 2 ? "0101" : "0102") : (i % 2 ? "0303" : "0304"); });
}

TEST(Scan, FlagsAStrongOutlierAmongFiftyLociAtTheDefaults) {
  test::Program p;
  p.Write("planted.gen", PlantedOutlier());
  // The sequential p-values take it as far as the false discovery rate needs.
  ASSERT_EQ(p.Run("scan planted.gen -N 50 -T 50 --seed 5 --json s.json"), 0) << p.err;
  const std::vector<Row> rows = Rows(p.out);
  ASSERT_EQ(rows.size(), 53u);
  const Row& planted = rows.back();
  EXPECT_EQ(planted.field.at("flag_wc"), "yes") << p.err;
  EXPECT_EQ(planted.field.at("stop"), "flagged");
  EXPECT_EQ(planted.field.at("wc_higher"), "0");
  // Among 53 loci a lone outlier needs 2·53/0.1 − 1 simulations.
  EXPECT_GE(std::stoi(planted.field.at("simulations")), 1059);
  std::size_t flagged = 0, resolved = 0;
  for (const Row& row : rows) {
    flagged += row.field.at("flag_wc") == "yes";
    resolved += row.field.at("stop") == "resolved";
  }
  EXPECT_LE(flagged, 3u);
  EXPECT_GE(resolved, 40u);  // most neutral loci stop within a first round
  EXPECT_NE(p.err.find("flagged at q <= 0.10: by Delta "), std::string::npos) << p.err;
  EXPECT_EQ(JsonValue(p.File("s.json"), "ceiling_reaches_fdr"), "true");

  // A fixed count too small for a lone outlier among 53 loci is said; so is
  // a cap of the user's below what the false discovery rate needs. The
  // planted locus then stops at the floor 2/(I + 1), flagged only if other
  // loci happen to come near it.
  struct Case {
    const char* options;
    const char* warning;
  };
  for (const Case c : {Case{"-I 1000", "warning: with 1000 simulations a locus's"},
                       {"--max-simulations 600", "warning: with at most 600 simulations"}}) {
    ASSERT_EQ(p.Run(std::string("scan planted.gen -N 50 -T 50 --seed 5 --json s.json ") + c.options), 0)
        << p.err;
    EXPECT_NE(p.err.find(c.warning), std::string::npos) << p.err;
    EXPECT_EQ(Rows(p.out).back().field.at("wc_higher"), "0") << c.options;
    const std::string json = p.File("s.json");
    EXPECT_EQ(JsonValue(json, "ceiling_reaches_fdr"), "false") << c.options;
    EXPECT_NE(json.find("\"warning\": \"" + std::string(c.warning)), std::string::npos);
  }
}

TEST(Scan, ALocusValuesDependOnItsNullAloneNotOnThreadsOrOtherLoci) {
  // Two copies of one locus share their null; a two-allele locus is tested by WC.
  const std::string base = NeutralIslandGenepop(9, 4, 50, 0.05, 100, 15, 6);
  const auto snp = [](int p, int i) { return (p + i) % 3 ? "0101" : "0102"; };
  const std::string file = WithLocus(WithLocus(base, "Snp", snp), "SnpAgain", snp);
  test::Program p;
  p.Write("all.gen", file);
  const std::string scan = " -N 50 -T 50 -m 0.05 --seed 3";
  ASSERT_EQ(p.Run("scan all.gen --threads 1" + scan), 0) << p.err;
  const std::string one = p.out;
  ASSERT_EQ(p.Run("scan all.gen --threads 2" + scan), 0) << p.err;
  EXPECT_EQ(p.out, one);
  const std::vector<Row> rows = Rows(one);
  ASSERT_EQ(rows.size(), 8u);
  const Row &snpRow = rows[6], &again = rows[7];
  EXPECT_EQ(snpRow.field.at("Delta_obs"), "0");
  for (const char* na : {"lower", "higher", "p_higher", "p_lower", "p_two_sided", "q_value"})
    EXPECT_EQ(snpRow.field.at(na), "NA") << na;
  EXPECT_EQ(snpRow.field.at("flag"), "two alleles: Delta is 0 by construction");
  EXPECT_NE(snpRow.field.at("p_wc_higher"), "NA");
  for (const char* same : {"seed", "null", "simulations", "wc_lower", "wc_higher", "stop"})
    EXPECT_EQ(snpRow.field.at(same), again.field.at(same)) << same;
  // The same loci scanned with others left out: the same values, q apart
  // (at a fixed count: how far the sequential values go depends on the other
  // loci's p-values through the false discovery rate, as it should).
  p.Write("few.gen", WithLocus(NeutralIslandGenepop(9, 4, 50, 0.05, 100, 15, 6), "Snp", snp));
  ASSERT_EQ(p.Run("scan all.gen -I 300" + scan), 0) << p.err;
  const std::vector<Row> all = Rows(p.out);
  ASSERT_EQ(p.Run("scan few.gen -I 300" + scan), 0) << p.err;
  const std::vector<Row> few = Rows(p.out);
  ASSERT_EQ(few.size(), 7u);
  for (std::size_t i = 0; i < few.size(); ++i)
    for (const char* same : {"seed", "simulations", "lower", "higher", "wc_lower", "wc_higher"})
      EXPECT_EQ(few[i].field.at(same), all[i].field.at(same)) << i << " " << same;
}

TEST(Scan, KeepsItsFileNamesShortAndApartForLongLocusNames) {
  // Two names of 300 bytes that differ only at their end: once they made one
  // file, or a name the system refuses.
  const std::string a(300, 'a'), b = std::string(299, 'a') + "b";
  test::Program p;
  p.Write("long.gen", "t\n" + a + "\n" + b + "\nPop\n"
          "x1, 0101 0102\nx2, 0102 0203\nx3, 0303 0101\nPop\n"
          "y1, 0202 0303\ny2, 0103 0102\ny3, 0203 0202\n");
  ASSERT_EQ(p.Run("scan long.gen --engine individuals --seed 1 -I 20 -N 20 --results-dir kept"), 0) << p.err;
  std::vector<std::string> kept;
  for (const auto& entry : std::filesystem::directory_iterator(p.dir.File("kept")))
    kept.push_back(entry.path().filename().string());
  std::sort(kept.begin(), kept.end());
  const std::string stem(40, 'a');
  EXPECT_EQ(kept, (std::vector<std::string>{"locus001-" + stem + "-freq.txt",
                                            "locus001-" + stem + "-fst.txt",
                                            "locus002-" + stem + "-freq.txt",
                                            "locus002-" + stem + "-fst.txt"}));
}

TEST(Scan, WritesTheInitialFrequenciesOfEachStart) {
  // Three alleles over 2 + 2 individuals: pooled 3/8, 2/8, 3/8.
  const std::string data = "t\nL\nPop\na, 0101\nb, 0102\nPop\nc, 0303\nd, 0203\n";
  const std::string pooled = "0.375000000 0.250000000 0.375000000\r\n";
  struct Case {
    const char* start;
    std::string file;
  };
  const Case cases[] = {
      {"pooled", pooled + pooled + pooled},
      {"observed",
       "0.750000000 0.250000000 0.000000000\r\n0.000000000 0.250000000 0.750000000\r\n" + pooled},
  };
  for (const Case& c : cases) {
    test::Program p;
    p.Write("d.gen", data);
    EXPECT_EQ(p.Run(std::string("scan d.gen -I 5 -T 2 -N 10 -m 0.1 --seed 3 --results-dir k --start ") +
                    c.start),
              0)
        << p.err;
    EXPECT_EQ(p.File("k/locus001-L-freq.txt"), c.file) << c.start;
  }
}

TEST(Scan, TestsALocusWhoseSimulationsIncludeUndefinedOnes) {
  // Two individuals per sample in populations of 10: within a thousand
  // simulations some samples come out fixed for one allele. The scan leaves
  // them out and counts them; `run --skip-undefined` does the same.
  test::Program p;
  p.Write("d.gen", "t\nL\nPop\na, 0101\nb, 0102\nPop\nc, 0303\nd, 0203\n");
  ASSERT_EQ(p.Run("scan d.gen --engine individuals -I 1000 -T 20 -N 10 -m 0.1 --seed 3 --results-dir kept"), 0)
      << p.err;
  const std::vector<Row> rows = Rows(p.out);
  ASSERT_EQ(rows.size(), 1u);
  const Row& row = rows[0];
  const int undefined = std::stoi(row.field.at("undefined"));
  const int simulations = std::stoi(row.field.at("simulations"));
  EXPECT_GT(undefined, 0);
  EXPECT_EQ(simulations + undefined, 1000);
  EXPECT_EQ(std::stoi(row.field.at("lower")) + std::stoi(row.field.at("higher")), simulations);
  EXPECT_TRUE(row.field.at("flag") == "yes" || row.field.at("flag") == "no");
  EXPECT_EQ(row.field.at("Delta_obs"), "0.1750000000");
  const std::string kept = p.File("kept/locus001-L-fst.txt");
  // The header, the empty line and one line per defined simulation.
  EXPECT_EQ(std::count(kept.begin(), kept.end(), '\n'), 5 + simulations);

  const std::string run = "run --seed " + row.field.at("seed") +
                          " -P 2 -A 3 -n 2 -N 10 -m 0.1 -T 20 -I 1000 -i "
                          "kept/locus001-L-freq.txt -o again.txt";
  ASSERT_EQ(p.Run(run + " --skip-undefined --json run.json"), 0) << p.err;
  EXPECT_EQ(p.File("again.txt"), kept);
  EXPECT_NE(p.out.find("Finished : " + std::to_string(simulations) + " simulations\n"),
            std::string::npos)
      << p.out;
  EXPECT_NE(p.out.find(std::to_string(undefined) +
                       " simulations left out: every sampled gene copy was the same allele"),
            std::string::npos)
      << p.out;
  EXPECT_EQ(JsonValue(p.File("run.json"), "undefined"), std::to_string(undefined));
  EXPECT_EQ(JsonValue(p.File("run.json"), "simulations"), std::to_string(simulations));
  // Without the option, run keeps the estimators' floating-point error.
  EXPECT_EQ(p.Run(run), 2);
  EXPECT_EQ(p.err, "Opération en virgule flottante incorrecte.\n");
}

TEST(Scan, RefusesWhereNoNullFits) {
  // Three samples, each fixed for an allele of its own: WC = 1, which drift
  // alone reaches in no number of generations.
  test::Program p;
  p.Write("fixed.gen", "t\nL\nPop\na, 0101\nb, 0101\nPop\nc, 0202\nd, 0202\nPop\ne, 0303\nf, 0303\n");
  EXPECT_EQ(p.Run("scan fixed.gen -N 10 -T 10 --seed 1"), 1);
  EXPECT_EQ(p.err.rfind("No null fits the loci: their 10 % trimmed mean WC is 1.0000, and even "
                        "with no migration (m = 0) the null's reaches only ",
                        0),
            0u)
      << p.err;
  EXPECT_NE(p.err.find("The nearest null is m = 0 with T = 65535"), std::string::npos) << p.err;
  EXPECT_EQ(p.out, "");
}

TEST(Scan, RefusesBadParametersBeforeRunning) {
  struct Case {
    std::string arguments;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {"scan example.gen -N 20", 1,
       "locus Est2: Sampling size cannot be higher than population size (n = 29, N = 20)\n"},
      {"scan example.gen -m 1.5", 1, "The migration rate must be between 0 and 1\n"},
      // Counts the loci share are refused once, not once a locus.
      {"scan example.gen -I 70000", 1,
       "Number of simulations (I) must be between 1 and 65535\n"},
      {"scan example.gen -T 0", 1, "Number of generations (T) must be between 1 and 65535\n"},
      {"scan example.gen -n 1", 1, "Sampling size per pop. (n) must be between 2 and 65535\n"},
      {"scan example.gen --threads 0", 64, "--threads: '0' is not a whole number from 1 to 1024\n"},
      {"scan example.gen --plot p.gif", 64, "--plot: 'p.gif' must end in .png, .svg or .pdf\n"},
      {"scan example.gen --fdr 2", 64, "--fdr: '2' must be between 0 and 1\n"},
      {"scan example.gen --calibrate m -m 0.1", 64,
       "--calibrate m fits the migration rate: it cannot be given with -m\n"},
      {"scan example.gen --json - --tsv -", 64,
       "--json - and --tsv - cannot both write to standard output\n"},
      {"scan missing.gen", 2, "missing.gen: Fichier introuvable. (No such file or directory)\n"},
  };
  for (const Case& c : cases) {
    test::Program p;
    CopyExample(p);
    EXPECT_EQ(p.Run(c.arguments), c.status) << c.arguments;
    EXPECT_EQ(p.err, c.err) << c.arguments;
    EXPECT_EQ(p.out, "") << c.arguments;
  }
}

}  // namespace
}  // namespace dw
