// Runs whose files fail under them: every open, read, write and close of a
// run is made to fail in turn, and the result file must then hold exactly the
// header and the simulations finished before the failure, followed by the
// line end that marks an unfinished run where the disk takes it; the error
// must be the one the system reported, and no handle may stay open.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/frequencyfile.h"
#include "engine/rundriver.h"
#include "runtime/errors.h"
#include "runtime/osfiles.h"
#include "tests/engine/faultyfiles.h"
#include "tests/engine/run_form.h"
#include "tests/support/files.h"

namespace dw {
namespace {

using test::FaultyFiles;

struct Form : test::TestForm {
  Form() {
    P = 3;
    N = 20;
    T = 10;
    A = 3;
    n = 10;
    I = 12;
  }
};
using Messages = test::RecordedMessages;

struct Progress : RunProgress {
  FaultyFiles& files;
  int cancelAfter = 0;  // 0: never
  explicit Progress(FaultyFiles& f) : files(f) {}
  void SimulationFinished(uint32_t s, uint32_t) override {
    files.finishedSimulations = static_cast<int>(s);
  }
  bool CancelRequested() override {
    return cancelAfter != 0 && files.finishedSimulations >= cancelAfter;
  }
};

// Longer than one 128-byte buffer, so the reader needs three system reads.
const char kFrequencies[] =
    "0.2000000000 0.3000000000 0.5000000000\r\n0.6000000000 0.2000000000 0.2000000000\r\n"
    "0.3000000000 0.3000000000 0.4000000000\r\n0.4000000000 0.4000000000 0.2000000000\r\n";

// What one run did: "Finished", "Cancelled", "Refused: <message>", "<code>
// <message>" of the EInOutError it raised or the message of another error.
struct Outcome {
  std::string what;
  std::vector<std::string> messages;
  bool histogramFilled = false;
};

Outcome RunWith(FaultyFiles& files, Form form = Form{}, const char* frequencies = kFrequencies,
                int cancelAfter = 0) {
  files.disk["in"] = frequencies;
  SetOsFiles(&files);
  Messages messages;
  RecordedHistogram histogram;
  FixedSeed seed{20240607};
  Progress progress(files);
  progress.cancelAfter = cancelAfter;
  RunServices services{messages, histogram, seed, NumberMarks{}, &progress};
  EngineState state;
  Random rng;
  Outcome outcome;
  try {
    const RunOutcome r = RunNeutralityTest(form, services, state, rng);
    outcome.what = r == RunOutcome::Finished    ? "Finished"
                   : r == RunOutcome::Cancelled ? "Cancelled"
                                                : "Refused: " + messages.shown.at(0);
  } catch (const EInOutError& e) {
    outcome.what = std::to_string(e.IOErrorCode()) + " " + e.Message();
  } catch (const RuntimeError& e) {
    outcome.what = e.Message();
  }
  SetOsFiles(nullptr);
  outcome.messages = messages.shown;
  outcome.histogramFilled = !histogram.points.empty();
  EXPECT_EQ(files.OpenHandles(), 0) << outcome.what;
  EXPECT_EQ(files.opened, files.closed) << outcome.what;
  EXPECT_EQ(PendingIOResult(), 0) << outcome.what;
  return outcome;
}

// The fault-free run, cut into its header and one block per simulation.
struct Reference {
  FaultyFiles files;
  std::string text;
  std::vector<std::size_t> blockStart;  // [s] for s = 1..I: where "\r\nWC=" of s begins
  int I = Form{}.I;

  Reference() {
    EXPECT_EQ(RunWith(files).what, "Finished");
    text = files.disk["out"];
    blockStart.push_back(0);
    for (std::size_t at = text.find("\r\nWC="); at != std::string::npos;
         at = text.find("\r\nWC=", at + 1))
      blockStart.push_back(at);
    EXPECT_EQ(static_cast<int>(blockStart.size()), I + 1);
  }
  std::size_t HeaderSize() const { return blockStart[1]; }
  // The file as a run of f simulations leaves it: header, then f lines.
  std::string Finished(int f) const {
    return f == I ? text : text.substr(0, blockStart[static_cast<std::size_t>(f) + 1]);
  }
  // The file of a run that stopped after f simulations.
  std::string Unfinished(int f) const { return Finished(f) + "\r\n"; }
  // The simulation whose bytes include offset `at` (0 for the header).
  int SimulationAt(std::size_t at) const {
    return static_cast<int>(std::upper_bound(blockStart.begin() + 1, blockStart.end(), at) -
                            blockStart.begin() - 1);
  }
};

class RunFaults : public ::testing::Test {
 protected:
  void TearDown() override {
    SetOsFiles(nullptr);
    SetPendingIOResult(0);
  }
  Reference ref;
};

TEST_F(RunFaults, AFailedWriteKeepsExactlyTheFinishedSimulations) {
  const auto& calls = ref.files.writeCalls;
  ASSERT_GE(calls.size(), 8u);
  // One system write per 128 bytes, plus the rest at close.
  for (std::size_t k = 0; k + 1 < calls.size(); ++k) EXPECT_EQ(calls[k].size, 128u);
  for (int k = 1; k <= static_cast<int>(calls.size()); ++k) {
    SCOPED_TRACE("write " + std::to_string(k));
    const FaultyFiles::WriteCall& call = calls[static_cast<std::size_t>(k) - 1];
    const std::size_t last = call.offset + call.size - 1;  // the byte that filled the buffer
    FaultyFiles files;
    files.faults.push_back({FaultyFiles::kWrite, k, 28});
    const Outcome outcome = RunWith(files);
    EXPECT_EQ(outcome.what, "28 Erreur E/S 28");
    EXPECT_TRUE(outcome.messages.empty());  // no summary
    EXPECT_FALSE(outcome.histogramFilled);
    if (last < ref.HeaderSize()) {
      EXPECT_EQ(files.disk["out"], "\r\n");  // not even the header was whole: the mark alone
      continue;
    }
    if (k < static_cast<int>(calls.size())) {
      // The write came in the middle of simulation s: 1 … s−1 are kept.
      EXPECT_EQ(call.finished, ref.SimulationAt(last) - 1);
    } else {
      EXPECT_EQ(call.finished, ref.I);  // the write-out at close
    }
    EXPECT_EQ(files.disk["out"], ref.Unfinished(call.finished));
  }
}

TEST_F(RunFaults, APersistentWriteFailureCutsBackToTheLastWholeLineOnDisk) {
  const auto& calls = ref.files.writeCalls;
  for (int k = 1; k <= static_cast<int>(calls.size()); ++k) {
    SCOPED_TRACE("writes fail from " + std::to_string(k));
    FaultyFiles files;
    files.faults.push_back({FaultyFiles::kWrite, k, 1117, true});
    EXPECT_EQ(RunWith(files).what, "1117 Erreur E/S 1117");
    // On disk: the first k − 1 buffers, cut back to the last whole record.
    const std::size_t onDisk = calls[static_cast<std::size_t>(k) - 1].offset;
    std::size_t keep = 0;
    for (int f = 0; f <= ref.I; ++f)
      if (ref.Finished(f).size() <= onDisk) keep = ref.Finished(f).size();
    if (ref.HeaderSize() > onDisk) keep = 0;
    EXPECT_EQ(files.disk["out"], ref.text.substr(0, keep));
  }
}

TEST_F(RunFaults, AnUnfinishedRunIsToldFromAShorterFinishedOne) {
  // Allele 1 fixed everywhere: the first simulation's estimators are 0/0.
  const char fixed[] = "1 0 0\r\n1 0 0\r\n1 0 0\r\n1 0 0\r\n";
  struct Case {
    const char* what;
    const char* frequencies;
    int cancelAfter;
    std::string outcome, file;
  };
  const Case cases[] = {
      {"float error in simulation 1", fixed, 0, "Opération en virgule flottante incorrecte",
       ref.Finished(0) + "\r\n"},
      {"cancelled after 5", kFrequencies, 5, "Cancelled", ref.Finished(5) + "\r\n"},
      {"cancelled after the last", kFrequencies, ref.I, "Cancelled", ref.text + "\r\n"},
      {"finished", kFrequencies, 0, "Finished", ref.text},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FaultyFiles files;
    EXPECT_EQ(RunWith(files, Form{}, c.frequencies, c.cancelAfter).what, c.outcome);
    EXPECT_EQ(files.disk["out"], c.file);
  }
}

TEST_F(RunFaults, FailedOpensCarryTheirMessages) {
  struct Case {
    int call, code;
    const char* what;
    bool resultCreated;
  };
  for (Case c : {Case{1, 2, "2 Fichier introuvable", false},
                 {1, 3, "3 Nom de fichier incorrect", false},
                 {1, 5, "5 Accès au fichier refusé", false},
                 {1, 32, "32 Erreur E/S 32", false},
                 {2, 5, "5 Accès au fichier refusé", false},
                 {2, 28, "28 Erreur E/S 28", false}}) {
    FaultyFiles files;
    files.faults.push_back({FaultyFiles::kOpen, c.call, c.code});
    EXPECT_EQ(RunWith(files).what, c.what);
    EXPECT_EQ(files.disk.count("out") != 0, c.resultCreated);
  }
}

TEST_F(RunFaults, FailedClosesAreReported) {
  // Close 1 is the frequency file's, after reading; close 2 the result file's.
  FaultyFiles input;
  input.faults.push_back({FaultyFiles::kClose, 1, 1117});
  EXPECT_EQ(RunWith(input).what, "1117 Erreur E/S 1117");
  EXPECT_EQ(input.disk["out"], ref.Unfinished(0));

  FaultyFiles result;
  result.faults.push_back({FaultyFiles::kClose, 2, 5});
  const Outcome outcome = RunWith(result);
  EXPECT_EQ(outcome.what, "5 Accès au fichier refusé");
  EXPECT_TRUE(outcome.messages.empty());
  EXPECT_EQ(result.disk["out"], ref.text);  // everything was written before the close failed

  // The frequency file refused, then its close fails: the close is reported.
  Form refused;
  refused.P = 4;  // five rows expected, four given
  FaultyFiles both;
  both.faults.push_back({FaultyFiles::kClose, 1, 32});
  const Outcome r = RunWith(both, refused);
  EXPECT_EQ(r.what, "32 Erreur E/S 32");
  EXPECT_EQ(r.messages, std::vector<std::string>{kPopulationCountMessage});
}

TEST_F(RunFaults, AFailedReadInTheFrequencyFileGivesItsMessage) {
  const int reads = ref.files.calls[FaultyFiles::kRead];
  ASSERT_EQ(reads, 3);  // 128 bytes, 32 bytes, the end of the data
  for (int k = 1; k <= reads; ++k) {
    SCOPED_TRACE("read " + std::to_string(k));
    FaultyFiles files;
    files.faults.push_back({FaultyFiles::kRead, k, 1117});
    const Outcome outcome = RunWith(files);
    // A failure inside a row is the reader's; the one at the end test is not
    // caught by it and ends the run with the system's code.
    EXPECT_EQ(outcome.what, k < reads ? std::string("Refused: ") + kNotRealsMessage
                                      : std::string("1117 Erreur E/S 1117"));
    // The header alone; after the failed end test, the mark too.
    EXPECT_EQ(files.disk["out"], k < reads ? ref.Finished(0) : ref.Unfinished(0));
  }
}

TEST_F(RunFaults, AFailedCutStillReportsTheWriteError) {
  // Writes fail from the one during simulation 5 on, and the cut back to the
  // last whole line is refused too: the file keeps what reached the disk, the
  // error reported is the write's, and nothing stays open.
  const auto& calls = ref.files.writeCalls;
  std::size_t k = 0;
  while (k < calls.size() && calls[k].finished < 4) ++k;
  ASSERT_LT(k + 1, calls.size());
  FaultyFiles files;
  files.faults.push_back({FaultyFiles::kWrite, static_cast<int>(k) + 1, 28, true});
  files.faults.push_back({FaultyFiles::kTruncate, 1, 5});
  EXPECT_EQ(RunWith(files).what, "28 Erreur E/S 28");
  EXPECT_EQ(files.calls[FaultyFiles::kTruncate], 1);
  EXPECT_EQ(files.disk["out"], ref.text.substr(0, calls[k].offset));
}

// Descriptors of this process, from the kernel's own list.
int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (const dirent* entry = ::readdir(dir)) count += entry->d_name[0] != '.';
    ::closedir(dir);
  }
  return count - 1;  // the directory stream itself
}

TEST(RunFaultsOnDisk, NoDescriptorOutlivesAFailedRun) {
  test::ScratchDir dir;
  const std::string input = dir.File("freqini.txt");
  test::WriteBytes(input, kFrequencies);
  struct Case {
    const char* what;
    std::string input, result;
    std::string m = "0.1";
    int32_t N = 20, n = 10, T = 10, I = 12;
  };
  const std::vector<Case> cases = {
      {"missing input", dir.File("absent.txt"), dir.File("a.txt")},
      {"input is a folder", dir.Path().string(), dir.File("b.txt")},
      {"result in a missing folder", input, dir.File("none/c.txt")},
      {"result is a full device", input, "/dev/full"},
      {"result is a folder", input, dir.Path().string()},
      // Without migration two individuals soon carry one allele: float error.
      {"float error", input, dir.File("d.txt"), "0", 2, 2, 200, 200},
      {"finished", input, dir.File("e.txt")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int before = OpenDescriptors();
    Form form;
    form.input = c.input;
    form.result = c.result;
    form.m = c.m;
    form.N = c.N;
    form.n = c.n;
    form.T = c.T;
    form.I = c.I;
    Messages messages;
    RecordedHistogram histogram;
    FixedSeed seed{99};
    RunServices services{messages, histogram, seed, NumberMarks{}, nullptr};
    EngineState state;
    Random rng;
    bool raised = false;
    try {
      RunNeutralityTest(form, services, state, rng);
    } catch (const RuntimeError&) {
      raised = true;
    }
    EXPECT_EQ(raised, std::string(c.what) != "finished");
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(state.InputFile.mode, TextFile::Mode::Closed);
    EXPECT_EQ(state.ResultFile.mode, TextFile::Mode::Closed);
    if (std::string(c.what) == "float error") {
      // Whole lines, then the failing simulation's opening line end.
      const std::string text = test::ReadBytes(c.result);
      ASSERT_GE(text.size(), 57u);
      EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
      const std::size_t lastLine = text.rfind("\r\n", text.size() - 3) + 2;
      EXPECT_EQ(text.size() - 2 - lastLine, 53u);
      EXPECT_EQ(text.compare(lastLine, 3, "WC="), 0);
    }
  }
}

}  // namespace
}  // namespace dw
