// Signals end the work as Cancel does: a run keeps its whole lines and the
// mark of an unfinished run, a scan removes its temporary folder, and the
// exit status tells which signal came, even while input is read. A second run
// (or any report) on a result file that a run is writing is refused and
// spoils nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <string>
#include <vector>

#include "tests/cli/program.h"

namespace dw {
namespace {

// Slow enough (tens of milliseconds a simulation, on one thread) to be caught
// in the middle, with nothing to wait for before the first line.
const std::string kLongRun =
    "run --seed 5 -P 10 -N 2000 -T 200 -n 50 -A 5 -I 65535 --threads 1 -i freqini.txt ";

void WriteFrequencies(const test::Program& p) {
  p.Write("freqini.txt", test::ReadBytes(std::string(DW_SOURCE_DIR) + "/examples/freqini.txt"));
}

std::size_t ValueLines(const std::string& text) {
  std::size_t count = 0;
  for (std::size_t at = text.find("\r\nWC="); at != std::string::npos; at = text.find("\r\nWC=", at + 1))
    ++count;
  return count;
}

TEST(Interrupts, EndARunWithItsWholeLinesAndTheMarkOfAnUnfinishedRun) {
  struct Case {
    int signal;
    int status;
    const char* name;
  };
  for (Case c : {Case{SIGINT, 130, "SIGINT"}, {SIGTERM, 143, "SIGTERM"}, {SIGHUP, 129, "SIGHUP"}}) {
    SCOPED_TRACE(c.name);
    test::Program p;
    WriteFrequencies(p);
    p.Write("fst.json", "a summary of an earlier run");
    p.Start(kLongRun + "-o fst.txt --json fst.json");
    ASSERT_TRUE(test::Program::WaitFor([&] { return ValueLines(p.File("fst.txt")) >= 2; }));
    p.Signal(c.signal);
    EXPECT_EQ(p.Wait(), c.status) << p.err;
    EXPECT_EQ(p.err.rfind(std::string("Interrupted (") + c.name + "): ", 0), 0u) << p.err;
    EXPECT_EQ(p.out, "");
    const std::string text = p.File("fst.txt");
    const std::size_t lines = ValueLines(text);
    EXPECT_GE(lines, 2u);
    // The header, the empty line, whole value lines, and the closing line end.
    const std::size_t header = text.find("\r\n\r\n") + 2;
    EXPECT_EQ(text.size(), header + lines * 55 + 2);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_FALSE(std::filesystem::exists(p.dir.File("fst.json")));  // no stale summary
    EXPECT_NE(p.err.find(std::to_string(lines) + " of 65535 simulations finished"),
              std::string::npos)
        << p.err;
    // What it left is never pooled as a finished run.
    EXPECT_EQ(p.Run("merge -d 0 fst.txt"), 1);
    EXPECT_NE(p.err.find("did not finish"), std::string::npos) << p.err;
  }
}

TEST(Interrupts, EndAScanAndRemoveItsTemporaryFolder) {
  test::Program p;
  p.Write("data.gen", test::ReadBytes(std::string(DW_SOURCE_DIR) + "/examples/five-samples.gen"));
  std::filesystem::create_directory(p.dir.File("tmp"));
  const auto scanFolders = [&] {
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(p.dir.File("tmp")))
      found.push_back(entry.path());
    return found;
  };
  p.Start("scan data.gen --engine individuals --seed 3 -N 400 -I 65535 --threads 2", "TMPDIR=" + p.dir.File("tmp"));
  // Running: its folder holds a locus's result file.
  ASSERT_TRUE(test::Program::WaitFor([&] {
    for (const auto& folder : scanFolders())
      for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().string().find("-fst.txt") != std::string::npos) return true;
    return false;
  }));
  p.Signal(SIGINT);
  EXPECT_EQ(p.Wait(), 130) << p.err;
  EXPECT_EQ(p.err, "Interrupted (SIGINT): no table written\n");
  EXPECT_EQ(p.out, "");
  EXPECT_TRUE(scanFolders().empty());
}

// Whether the process has ended (a zombie, not yet waited for).
bool Exited(pid_t pid) {
  std::string stat = test::ReadBytes("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t state = stat.rfind(") ");
  return state == std::string::npos || stat[state + 2] == 'Z';
}

TEST(Interrupts, AreHeardWhileInputIsRead) {
  // Input that never ends, and a FIFO nobody writes to: each read waits or
  // goes on for ever unless the signal ends it.
  for (const std::string arguments :
       {"run -P 3 -A 3 -i /dev/zero -o z.txt", "run -P 3 -A 3 -i fifo -o f.txt", "merge -d 0 fifo",
        "observe fifo"}) {
    SCOPED_TRACE(arguments);
    test::Program p;
    ASSERT_EQ(::mkfifo(p.dir.File("fifo").c_str(), 0600), 0);
    p.Start(arguments);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // into the read
    p.Signal(SIGTERM);
    // A program deaf to the signal is killed, not waited for.
    const bool ended = test::Program::WaitFor([&] { return Exited(p.child); }, 20);
    if (!ended) p.Signal(SIGKILL);
    EXPECT_TRUE(ended) << "the signal was not heard";
    EXPECT_EQ(p.Wait(), 143);
    EXPECT_EQ(p.err.rfind("Interrupted (SIGTERM)", 0), 0u) << p.err;
    EXPECT_EQ(p.out, "");
  }
}

TEST(ResultFileLock, ASecondRunOnAResultFileBeingWrittenIsRefused) {
  test::Program p;
  WriteFrequencies(p);
  p.Start(kLongRun + "-o shared.txt");
  ASSERT_TRUE(test::Program::WaitFor([&] { return ValueLines(p.File("shared.txt")) >= 1; }));
  // Beside the first run, in the same folder, with output files of its own.
  const int second = std::system(("cd '" + p.dir.Path().string() + "' && '" + DW_PROGRAM +
                                  "' run --seed 1 -P 3 -N 20 -T 10 -I 20 -n 10 -A 3 -i three.txt "
                                  "-o ./shared.txt >second.out 2>second.err")
                                     .c_str());
  EXPECT_EQ(WEXITSTATUS(second), 2);
  EXPECT_EQ(p.File("second.err"),
            "./shared.txt: Erreur E/S 32. (the file is being written by another process)\n");
  EXPECT_EQ(p.File("second.out"), "");
  // Nor does any report of any command replace it or delete it.
  const std::string small = "run --seed 1 -P 3 -N 20 -T 10 -I 20 -n 10 -A 3 -i three.txt ";
  ASSERT_EQ(std::system(("cd '" + p.dir.Path().string() + "' && '" + DW_PROGRAM + "' " + small +
                         "-o r.txt >/dev/null").c_str()), 0);
  for (const std::string report :
       {small + "-o own.txt --json shared.txt", small + "-o own.txt --histogram-table shared.txt",
        std::string("merge -d 0 r.txt --json shared.txt"),
        std::string("merge -d 0 r.txt --chart link.svg")}) {
    SCOPED_TRACE(report);
    std::filesystem::create_symlink("shared.txt", p.dir.File("link.svg"));
    const int status = std::system(("cd '" + p.dir.Path().string() + "' && '" + DW_PROGRAM +
                                    "' " + report + " >second.out 2>second.err").c_str());
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(p.File("second.err").find("Erreur E/S 32. (the file is being written by another "
                                        "process)\n"),
              std::string::npos)
        << p.File("second.err");
    std::filesystem::remove(p.dir.File("link.svg"));
  }
  EXPECT_FALSE(std::filesystem::exists(p.dir.File("own.txt")));  // refused before it ran
  p.Signal(SIGINT);
  EXPECT_EQ(p.Wait(), 130);
  // The first run's lines alone, never the second's.
  const std::string text = p.File("shared.txt");
  EXPECT_NE(text.find("10 islands of effective size 2000"), std::string::npos);
  EXPECT_EQ(text.find("3 islands"), std::string::npos);
  EXPECT_EQ(text.size(), text.find("\r\n\r\n") + 2 + ValueLines(text) * 55 + 2);
}

}  // namespace
}  // namespace dw
