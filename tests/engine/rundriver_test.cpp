#include "engine/rundriver.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/frequencyfile.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "tests/engine/run_form.h"
#include "tests/support/files.h"

namespace dw {
namespace {

using Form = test::TestForm;
using Messages = test::RecordedMessages;

const char kFrequencies3x3[] = "0.2 0.3 0.5\n0.6 0.2 0.2\n0.3 0.3 0.4\n0.4 0.4 0.2\n";

struct Driver {
  test::ScratchDir dir;
  Form form;
  Messages messages;
  RecordedHistogram histogram;
  FixedSeed seed{1};
  EngineState state;
  Random rng;
  uint32_t threads = 0;  // one per core
  Driver() {
    form.input = dir.File("freqini.txt");
    form.result = dir.File("fst.txt");
    form.P = 3;
    form.N = 20;
    form.T = 10;
    form.n = 10;
    form.A = 3;
    form.I = 20;
    test::WriteBytes(form.input, kFrequencies3x3);
  }
  RunOutcome Run() {
    RunServices services{messages, histogram, seed, NumberMarks{}, nullptr, threads};
    return RunNeutralityTest(form, services, state, rng);
  }
  std::string Result() const { return test::ReadBytes(form.result); }
  bool ResultExists() const { return std::filesystem::exists(form.result); }
};

TEST(SummaryMessage, FourLinesWithTheTrailingBlank) {
  EXPECT_EQ(SummaryMessage(1000, 1000, 37),
            "Finished : 1000 simulations\r\n963 values lower than Delta obs, \r\n"
            "37 values higher than Delta obs\r\nPlease see tab Results and graphs for the histogram");
}

TEST(RunNeutralityTest, FinishesWithTheFileTheTalliesAndTheSummary) {
  Driver d;
  ASSERT_EQ(d.Run(), RunOutcome::Finished);
  const std::string text = d.Result();
  EXPECT_EQ(text.rfind("Output file : values of Fst", 0), 0u);
  EXPECT_NE(text.find("\r\nInfinite island model\r\n3 islands of effective size 20, 10 "
                      "individuals sampled per island.\r\nMigration rate 0.1000, number of "
                      "generations : 10\r\nNumber of alleles 3\r\n\r\nWC="),
            std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5 + 20);  // last line without an end
  EXPECT_NE(text.back(), '\n');
  ASSERT_EQ(d.state.DeltaSeries.size(), 21u);
  EXPECT_EQ(d.state.DeltaSeries[0], 0.0);
  uint16_t above = 0;
  for (int s = 1; s <= 20; ++s) above += d.state.DeltaSeries[s] > 0.005;
  EXPECT_EQ(d.state.DeltaAboveCount, above);
  ASSERT_EQ(d.messages.shown.size(), 1u);
  EXPECT_EQ(d.messages.shown[0], SummaryMessage(20, 20, above));
  EXPECT_EQ(d.histogram.points.size(), 10u);
  EXPECT_EQ(d.histogram.title.size(), 3u);

  // The same seed gives the same bytes; a shorter second run shrinks the series.
  const std::string first = d.Result();
  d.form.I = 5;
  ASSERT_EQ(d.Run(), RunOutcome::Finished);
  EXPECT_EQ(d.state.DeltaSeries.size(), 6u);
  EXPECT_EQ(d.Result(), first.substr(0, d.Result().size()));
}

// On one thread; threads cannot read the form, so a threaded run reads it
// once, for the header, and its simulations run with that choice.
TEST(RunNeutralityTest, SteppingStoneChoiceIsReadAtEveryUse) {
  Driver d;
  d.threads = 1;
  d.form.model = "stepping";
  ASSERT_EQ(d.Run(), RunOutcome::Finished);
  EXPECT_NE(d.Result().find("\r\nStepping-stone\r\n"), std::string::npos);
  EXPECT_EQ(d.form.steppingReads, 1 + 20 * 10 * 3);  // the header, then each reproduction
  const std::string serial = d.Result();
  d.threads = 2;
  d.form.steppingReads = 0;
  ASSERT_EQ(d.Run(), RunOutcome::Finished);
  EXPECT_EQ(d.form.steppingReads, 1);
  EXPECT_EQ(d.Result(), serial);
  d.form.model = "finite";
  ASSERT_EQ(d.Run(), RunOutcome::Finished);
  EXPECT_NE(d.Result().find("\r\nFinite island model\r\n"), std::string::npos);
}

TEST(RunNeutralityTest, InputChecksInTheirOrderBeforeAnyFile) {
  struct Case {
    std::string m;
    int32_t n;
    std::string message;
  };
  for (const Case& c : {Case{"1.0001", 10, kMigrationRateMessage},
                        {"-0.5", 10, kMigrationRateMessage},
                        {"-0.5", 21, kMigrationRateMessage},  // only the migration message
                        {"0.1", 21, kSampleSizeMessage}}) {
    Driver d;
    d.form.m = c.m;
    d.form.n = c.n;
    EXPECT_EQ(d.Run(), RunOutcome::Refused);
    EXPECT_EQ(d.messages.shown, std::vector<std::string>{c.message});
    EXPECT_FALSE(d.ResultExists());
  }
  for (const std::string m : {"0", "1", "0.0000"}) {
    Driver d;
    d.form.m = m;
    EXPECT_EQ(d.Run(), RunOutcome::Finished) << m;
  }
  Driver equal;
  equal.form.n = 20;  // n = N is accepted
  EXPECT_EQ(equal.Run(), RunOutcome::Finished);
}

TEST(RunNeutralityTest, ConversionErrorsEndTheRunBeforeAnyFile) {
  Driver d;
  d.form.delta = "0,005";
  try {
    d.Run();
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'0,005' n'est pas une valeur en virgule flottante correcte");
  }
  EXPECT_FALSE(d.ResultExists());
  d.form.m = "1e500";  // beyond the 64-bit range: overflow when stored
  try {
    d.Run();
    FAIL();
  } catch (const EOverflow& e) {
    EXPECT_EQ(e.Message(), "Débordement en virgule flottante");
  }
  EXPECT_FALSE(d.ResultExists());
}

TEST(RunNeutralityTest, CountsThatCannotRunAreRefusedBeforeAnyFile) {
  struct Case {
    int32_t Form::*count;
    int32_t value;
  };
  for (Case c : {Case{&Form::P, 1}, {&Form::P, 0}, {&Form::P, 65538}, {&Form::P, -3},
                 {&Form::N, 65556}, {&Form::T, 0}, {&Form::A, 1}, {&Form::A, 256},
                 {&Form::A, 0}, {&Form::n, 1}, {&Form::n, 0}, {&Form::I, 0},
                 {&Form::I, 65537}}) {
    Driver d;
    d.form.*c.count = c.value;
    EXPECT_EQ(d.Run(), RunOutcome::Refused) << c.value;
    ASSERT_EQ(d.messages.shown.size(), 1u);
    EXPECT_NE(d.messages.shown[0].find("must be between"), std::string::npos);
    EXPECT_FALSE(d.ResultExists());
  }
}

TEST(RunNeutralityTest, ACountBeyondItsFieldIsNamedNotComparedByItsLowBits) {
  // N = 65536 keeps 0 in 16 bits, which once read as "n > N".
  struct Case {
    int32_t N, n;
    const char* message;
  };
  for (Case c : {Case{65536, 10, "Effective population size (N) must be between 1 and 65535"},
                 {100, 65537, "Sampling size per pop. (n) must be between 2 and 65535"},
                 {20, 21, kSampleSizeMessage}}) {
    Driver d;
    d.form.N = c.N;
    d.form.n = c.n;
    EXPECT_EQ(d.Run(), RunOutcome::Refused);
    EXPECT_EQ(d.messages.shown, std::vector<std::string>{c.message});
    EXPECT_FALSE(d.ResultExists());
  }
}

TEST(RunNeutralityTest, TablesLargerThanTheMachineAreRefusedBeforeAllocating) {
  // 65535 populations of 65535 individuals pass the count checks and need
  // about 73 GB; with overcommit the system would grant it and kill the run.
  const uint64_t needed = TableBytes(65535, 65535, 3);
  EXPECT_GT(needed, uint64_t{73000000000});
  if (needed <= UsableMemoryBytes()) GTEST_SKIP() << "this machine has the memory";
  Driver d;
  d.form.P = 65535;
  d.form.N = 65535;
  d.form.n = 10;
  EXPECT_EQ(d.Run(), RunOutcome::Refused);
  EXPECT_EQ(d.messages.shown,
            std::vector<std::string>{"Not enough memory for 65535 populations of 65535 individuals"});
  EXPECT_FALSE(d.ResultExists());
  EXPECT_LT(d.state.ParentGeneration.size(), std::size_t{1} << 20);  // nothing was grown
}

TEST(RunNeutralityTest, MissingInputLeavesTheResultFileUntouched) {
  Driver d;
  test::WriteBytes(d.form.result, "earlier results");
  d.form.input = d.dir.File("absent.txt");
  try {
    d.Run();
    FAIL();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.IOErrorCode(), 2);
    EXPECT_EQ(e.Message(), "Fichier introuvable");
  }
  EXPECT_EQ(d.Result(), "earlier results");
}

TEST(RunNeutralityTest, RefusedFrequenciesLeaveTheHeaderAlone) {
  Driver d;
  test::WriteBytes(d.form.input, "0.2 0.3 0.5\n0.6 0.2 0.2\n");
  EXPECT_EQ(d.Run(), RunOutcome::Refused);
  EXPECT_EQ(d.messages.shown, std::vector<std::string>{kPopulationCountMessage});
  const std::string text = d.Result();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
  EXPECT_EQ(text.substr(text.size() - 21), "Number of alleles 3\r\n");
  EXPECT_TRUE(d.histogram.points.empty());
}

TEST(RunNeutralityTest, ResultFileErrorsAreReportedAndFilesReleased) {
  Driver d;
  d.form.result = d.dir.File("no-such-folder/fst.txt");
  EXPECT_THROW(d.Run(), EInOutError);
  EXPECT_EQ(d.state.InputFile.mode, TextFile::Mode::Closed);

  Driver full;
  full.form.result = "/dev/full";
  try {
    full.Run();
    FAIL();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "Erreur E/S 28");
  }
  EXPECT_EQ(full.state.ResultFile.mode, TextFile::Mode::Closed);
  EXPECT_EQ(full.state.InputFile.mode, TextFile::Mode::Closed);
  EXPECT_EQ(PendingIOResult(), 0);
}

TEST(RunNeutralityTest, AFloatingPointErrorKeepsTheFinishedLines) {
  // Without migration small populations fix one allele quickly; the
  // simulation whose sample holds a single allele ends the run.
  Driver d;
  d.form.m = "0";
  d.form.N = 2;
  d.form.n = 2;
  d.form.T = 200;
  d.form.I = 200;
  EXPECT_THROW(d.Run(), EMathError);
  // Every finished simulation's line is on disk, complete; the failing one
  // has written at most its opening line end.
  std::vector<std::string> lines;
  const std::string text = d.Result();
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(lines[5], "");
  EXPECT_EQ(lines.back(), "");  // the failing simulation's opening line end
  for (std::size_t i = 6; i + 1 < lines.size(); ++i) {
    EXPECT_EQ(lines[i].size(), 53u) << lines[i];
    EXPECT_EQ(lines[i].rfind("WC=", 0), 0u) << lines[i];
  }
  EXPECT_LT(lines.size(), 6u + 200u);
  EXPECT_EQ(d.state.ResultFile.mode, TextFile::Mode::Closed);
  EXPECT_TRUE(d.messages.shown.empty());
}

}  // namespace
}  // namespace dw
