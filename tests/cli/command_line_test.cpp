#include "cli/command_line.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "tests/support/files.h"

namespace dw {
namespace {

// Runs the program in a scratch directory and keeps what it printed.
struct Program {
  test::ScratchDir dir;
  std::string out, err;
  int status = -1;

  Program() {
    test::WriteBytes(dir.File("freqini.txt"),
                     test::ReadBytes(std::string(DW_SOURCE_DIR) + "/examples/freqini.txt"));
    test::WriteBytes(dir.File("three.txt"),
                     test::ReadBytes(std::string(DW_SOURCE_DIR) + "/examples/three-populations.txt"));
  }
  int Run(const std::string& arguments) {
    // Without any display, so that no arguments is the usage error and never
    // the window, whatever the machine running the tests has.
    const std::string command = "cd '" + dir.Path().string() +
                                "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" +
                                DW_PROGRAM + "' " + arguments +
                                " >stdout.txt 2>stderr.txt </dev/null";
    const int raw = std::system(command.c_str());
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    out = test::ReadBytes(dir.File("stdout.txt"));
    err = test::ReadBytes(dir.File("stderr.txt"));
    return status;
  }
  std::string File(const std::string& name) const { return test::ReadBytes(dir.File(name)); }
};

const std::string kSmallCounts = "run --seed 1 -P 3 -N 20 -T 10 -I 20 -n 10 -A 3 ";
const std::string kSmall = kSmallCounts + "-i three.txt ";

TEST(CommandLine, FinishedRunPrintsTheSummaryThenTheTable) {
  Program p;
  ASSERT_EQ(p.Run(kSmall + "-o out.txt --histogram-table -"), cli::kExitDone) << p.err;
  EXPECT_EQ(p.out.rfind("Finished : 20 simulations\n", 0), 0u);
  EXPECT_NE(p.out.find(" values lower than Delta obs, \n"), std::string::npos);
  const std::size_t table = p.out.find("Please see tab Results and graphs for the histogram\n"
                                       "Histogram of simulated values of Delta\nN=20, m=0.1000, "
                                       "Delta obs=0.0050\nAmongst 20 simulations, ");
  EXPECT_NE(table, std::string::npos) << p.out;
  EXPECT_EQ(std::count(p.out.begin(), p.out.end(), '\n'), 4 + 3 + 10);
  EXPECT_EQ(std::count(p.out.begin(), p.out.end(), '*'), 1);
  EXPECT_EQ(p.err, "");
  EXPECT_EQ(p.File("out.txt").rfind("Output file : values of Fst", 0), 0u);
}

TEST(CommandLine, SameSeedSameBytes) {
  Program p;
  ASSERT_EQ(p.Run(kSmall + "-o a.txt --histogram-table a.tab"), 0) << p.err;
  const std::string summary = p.out;
  ASSERT_EQ(p.Run(kSmall + "-o b.txt --histogram-table b.tab"), 0) << p.err;
  EXPECT_EQ(p.out, summary);
  EXPECT_EQ(p.File("a.txt"), p.File("b.txt"));
  EXPECT_EQ(p.File("a.tab"), p.File("b.tab"));
  ASSERT_EQ(p.Run("run --seed 2 -P 3 -N 20 -T 10 -I 20 -n 10 -A 3 -i three.txt -o c.txt"), 0);
  EXPECT_NE(p.File("a.txt"), p.File("c.txt"));
}

TEST(CommandLine, ExitStatusesAndMessages) {
  struct Case {
    std::string arguments;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {kSmall + "-m 1.5", 1, "The migration rate must be between 0 and 1\n"},
      {kSmall + "-n 21", 1, "Sampling size cannot be higher than population size\n"},
      {kSmallCounts + "-i missing.txt", 2,
       "missing.txt: Fichier introuvable. (No such file or directory)\n"},
      {kSmall + "-m abc", 2, "'abc' n'est pas une valeur en virgule flottante correcte.\n"},
      {kSmall + "-m 1e500", 2, "Débordement en virgule flottante.\n"},
      {kSmall + "-o /dev/full", 2, "/dev/full: Erreur E/S 28. (No space left on device)\n"},
      {kSmallCounts + "-i freqini.txt", 1, "Sum of frequencies different than 1, or error in number of alleles\n"},
      {kSmall + "-N 65536", 1, "Effective population size (N) must be between 1 and 65535\n"},
  };
  for (const Case& c : cases) {
    Program p;
    EXPECT_EQ(p.Run(c.arguments), c.status) << c.arguments;
    EXPECT_EQ(p.err, c.err) << c.arguments;
    EXPECT_EQ(p.out, "") << c.arguments;
  }
}

TEST(CommandLine, UsageErrors) {
  for (const std::string arguments :
       {"", "run --no-such-option", "run -P ten", "run --seed 4294967296", "run --seed -1",
        "run --model islands", "walk", "run --threads ' 2'", "run --threads '2 '",
        "run -P ' 3'", "run -I '20 '"}) {
    Program p;
    EXPECT_EQ(p.Run(arguments), cli::kExitUsage) << arguments;
    EXPECT_NE(p.err, "") << arguments;
    EXPECT_FALSE(std::filesystem::exists(p.dir.File("fst.txt"))) << arguments;
  }
  Program help;
  EXPECT_EQ(help.Run("run --help"), 0);
  EXPECT_NE(help.out.find("--observed-delta"), std::string::npos);
}

TEST(CommandLine, NegativeNumbersAreValues) {
  Program p;
  EXPECT_EQ(p.Run(kSmall + "-o out.txt -d -0.01"), 0) << p.err;
  EXPECT_EQ(p.Run(kSmall + "-o out.txt -m -0.5"), 1) << p.err;
  EXPECT_EQ(p.err, "The migration rate must be between 0 and 1\n");
}

TEST(CommandLine, TwoAllelesAreSaidOnceToGiveADeltaOfZero) {
  Program p;
  test::WriteBytes(p.dir.File("two.txt"), "0.5 0.5\n0.4 0.6\n0.3 0.7\n0.5 0.5\n");
  ASSERT_EQ(p.Run(kSmallCounts + "-A 2 -i two.txt -o two-out.txt"), 0) << p.err;
  EXPECT_EQ(p.err, std::string(cli::kTwoAllelesNote) + "\n");
  // Every Delta of the file is ±0 to the seven decimals written.
  const std::string text = test::ReadBytes(p.dir.File("two-out.txt"));
  for (std::size_t at = text.find("Delta=WC-RH="); at != std::string::npos;
       at = text.find("Delta=WC-RH=", at + 1))
    EXPECT_EQ(std::abs(std::stod(text.substr(at + 12, 11))), 0.0);
  ASSERT_EQ(p.Run("merge -d 0.001 two-out.txt"), 0) << p.err;
  EXPECT_NE(p.err.find(cli::kTwoAllelesNote), std::string::npos);
  ASSERT_EQ(p.Run(kSmall + "-o three-out.txt"), 0);
  EXPECT_EQ(p.err, "");
}

TEST(HistogramTable, LabelsCountsAndTheObservedMark) {
  RecordedHistogram h;
  h.title = {"Histogram of simulated values of Delta", "N=1", "Amongst"};
  h.points = {{3.0, "0.0010 to 0.0020", clWhite}, {0.0, "0.0020 to 0.0030", clRed}};
  EXPECT_EQ(cli::HistogramTable(h),
            "Histogram of simulated values of Delta\nN=1\nAmongst\n0.0010 to 0.0020\t3\n"
            "0.0020 to 0.0030\t0\t*\n");
  EXPECT_EQ(cli::WithUnixLineEnds("a\r\nb\rc\n"), "a\nb\rc\n");
}

}  // namespace
}  // namespace dw
