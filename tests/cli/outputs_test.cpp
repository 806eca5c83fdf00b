// The command line never reports success for output it did not write, and
// never destroys a file the user still needs: lost standard output, long
// paths, one file in two roles, a full disk under a report, and junk given
// as input.
#include "cli/outputs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <sstream>

#include "cli/command_line.h"
#include "cli/merge.h"
#include "runtime/osfiles.h"
#include "tests/cli/program.h"
#include "tests/engine/faultyfiles.h"

namespace dw {
namespace {

const std::string kSmall = "run --seed 1 -P 3 -N 20 -T 10 -I 20 -n 10 -A 3 -i three.txt ";

void CopyExample(const test::Program& p, const char* example, const char* name) {
  p.Write(name, test::ReadBytes(std::string(DW_SOURCE_DIR) + "/examples/" + example));
}

TEST(StandardOutput, LostOutputIsAnErrorForEveryCommand) {
  test::Program p;
  CopyExample(p, "five-samples.gen", "data.gen");
  ASSERT_EQ(p.Run(kSmall + "-o r.txt"), 0) << p.err;
  const std::string program = "'" + std::string(DW_PROGRAM) + "' ";
  struct Case {
    std::string arguments;
    std::string redirect;
    std::string err;
  };
  const std::string full = "standard output: Erreur E/S 28. (No space left on device)\n";
  const std::string closed = "standard output: Erreur E/S 9. (Bad file descriptor)\n";
  const Case cases[] = {
      {kSmall + "-o a.txt", ">/dev/full", full},
      {kSmall + "-o a.txt --histogram-table -", ">/dev/full", full},
      {kSmall + "-o a.txt --json -", ">/dev/full", full},
      {"merge -d 0 r.txt", ">/dev/full", std::string(cli::kPlainResultsNote) + "\n" + full},
      {"observe data.gen", ">/dev/full", full},
      {"scan data.gen --seed 1 -I 20", ">/dev/full", full},
      {"scan data.gen --seed 1 -I 20 --tsv -", ">/dev/full", full},
      {kSmall + "-o b.txt", ">&-", closed},
      {"observe data.gen", ">&-", closed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments + " " + c.redirect);
    EXPECT_EQ(p.Shell(program + c.arguments + " " + c.redirect + " 2>stderr.txt </dev/null"), 2);
    // A scan reports its fitted null on standard error before the table.
    const bool scan = c.arguments.rfind("scan", 0) == 0;
    ASSERT_GE(p.err.size(), c.err.size());
    EXPECT_EQ(scan ? p.err.substr(p.err.size() - c.err.size()) : p.err, c.err);
  }
  // With standard output closed, no file the run opens takes its place.
  EXPECT_EQ(p.File("b.txt"), p.File("r.txt"));
}

TEST(StandardOutput, AStreamThatFailsMakesTheStatusAnError) {
  std::ostringstream out, err;
  out.setstate(std::ios::badbit);
  EXPECT_EQ(cli::CheckStandardStreams(out, err, 0), 2);
  EXPECT_EQ(err.str(), "standard output: Erreur E/S 1117. (Input/output error)\n");
  std::ostringstream fine, quiet;
  EXPECT_EQ(cli::CheckStandardStreams(fine, quiet, 0), 0);
  EXPECT_EQ(cli::CheckStandardStreams(fine, quiet, 1), 1);  // a refusal stays one
}

TEST(Paths, AreUsedWholeAndRefusedOnlyBeyondTheSystemsLimit) {
  test::Program p;
  // Four folders of 70 bytes: the result file's path is over 300 bytes.
  std::string deep;
  for (int i = 0; i < 4; ++i) deep += std::string(70, static_cast<char>('a' + i)) + "/";
  std::filesystem::create_directories(p.dir.File(deep));
  const std::string result = deep + "job-result.txt", summary = deep + "job-summary.json";
  ASSERT_GT(result.size(), 290u);
  ASSERT_EQ(p.Run(kSmall + "-o " + result + " --json " + summary), 0) << p.err;
  EXPECT_EQ(p.File(result).rfind("Output file : values of Fst", 0), 0u);
  EXPECT_NE(p.File(summary).find("\"output\": \"job-result.txt\""), std::string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(p.dir.File(deep)),
                          std::filesystem::directory_iterator()),
            2);
  // A file name longer than the system takes is refused, not cut short.
  const std::string tooLong(300, 'x');
  EXPECT_EQ(p.Run(kSmall + "-o " + tooLong), 2);
  EXPECT_EQ(p.err, tooLong + ": Nom de fichier incorrect. (File name too long)\n");
}

TEST(Reports, ThroughALinkReplaceItsTargetAndNameStandardOutputAppendToIt) {
  test::Program p;
  ASSERT_EQ(p.Run(kSmall + "-o r.txt"), 0) << p.err;
  const std::string program = "'" + std::string(DW_PROGRAM) + "' ";
  ASSERT_EQ(::symlink("/proc/self/fd/1", p.dir.File("fd1").c_str()), 0);
  ASSERT_EQ(::symlink("/dev/stdout", p.dir.File("out.svg").c_str()), 0);
  // Standard output opened for append (>>), named as a file in every way.
  for (const std::string arguments :
       {kSmall + "-o a.txt --histogram-table fd1", kSmall + "-o a.txt --histogram-table /dev/stdout",
        kSmall + "-o a.txt --json /dev/fd/1", kSmall + "-o a.txt --chart out.svg",
        std::string("merge -d 0 r.txt --json /dev/stdout")}) {
    SCOPED_TRACE(arguments);
    p.Write("log", "previous\n");
    ASSERT_EQ(p.Shell(program + arguments + " >>log 2>stderr.txt"), 0) << p.err;
    const std::string log = p.File("log");
    EXPECT_EQ(log.rfind("previous\n", 0), 0u);
    EXPECT_GT(log.size(), 200u);  // the summary or the report after it
    EXPECT_TRUE(std::filesystem::is_symlink(p.dir.File("fd1")));
  }
  // A user's link keeps pointing where it did; its target takes the report,
  // one that points at nothing yet makes it. A refused run deletes nothing.
  std::filesystem::create_directory(p.dir.File("runs"));
  p.Write("runs/old.json", "an earlier summary");
  ASSERT_EQ(::symlink("runs/old.json", p.dir.File("latest.json").c_str()), 0);
  ASSERT_EQ(::symlink("runs/new.json", p.dir.File("next.json").c_str()), 0);
  EXPECT_EQ(p.Run(kSmall + "-P 1 -o b.txt --json latest.json"), 1);
  EXPECT_EQ(p.File("runs/old.json"), "an earlier summary");
  ASSERT_EQ(p.Run(kSmall + "-o b.txt --json latest.json --histogram-table next.json"), 0) << p.err;
  EXPECT_TRUE(std::filesystem::is_symlink(p.dir.File("latest.json")));
  EXPECT_TRUE(std::filesystem::is_symlink(p.dir.File("next.json")));
  EXPECT_EQ(p.File("runs/old.json").rfind("{\n  \"format\": \"driftwise-summary\"", 0), 0u);
  EXPECT_EQ(p.File("runs/new.json").rfind("Histogram of simulated values of Delta\n", 0), 0u);
}

TEST(Outputs, ThatCannotBeWrittenAreRefusedBeforeTheWork) {
  test::Program p;
  ASSERT_EQ(p.Run(kSmall + "-o r.txt"), 0) << p.err;
  std::filesystem::create_directory(p.dir.File("folder"));
  p.Write("plain", "a file, not a folder");
  struct Case {
    std::string arguments;
    std::string err;
  };
  const Case cases[] = {
      {kSmall + "-o a.txt --json missing/s.json",
       "missing/s.json: Fichier introuvable. (No such file or directory)"},
      {kSmall + "-o a.txt --histogram-table folder",
       "folder: Accès au fichier refusé. (Is a directory)"},
      {kSmall + "-o plain/a.txt", "plain/a.txt: Nom de fichier incorrect. (Not a directory)"},
      {"merge -d 0 r.txt --chart missing/c.png",
       "missing/c.png: Fichier introuvable. (No such file or directory)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(p.Run(c.arguments), 2);
    EXPECT_EQ(p.err, c.err + "\n");
    EXPECT_EQ(p.out, "");  // no summary: nothing ran
    EXPECT_FALSE(std::filesystem::exists(p.dir.File("a.txt")));
  }
  // The same check for any command: the ones that can be written pass.
  EXPECT_EQ(cli::CheckOutputPaths({{"-o", "ok.txt"}, {"--json", "-", false, true},
                                   {"RESULT", "missing/in.txt", true}}),
            std::nullopt);
}

TEST(FileRoles, OneFileInTwoRolesIsRefusedTouchingNothing) {
  test::Program p;
  ASSERT_EQ(p.Run(kSmall + "-o r.txt"), 0) << p.err;
  CopyExample(p, "five-samples.gen", "data.gen");
  p.Write("t.png", "an earlier chart");
  ASSERT_EQ(::link(p.dir.File("three.txt").c_str(), p.dir.File("also-three.txt").c_str()), 0);
  struct Case {
    std::string arguments;
    std::string err;
  };
  const Case cases[] = {
      {kSmall + "-o three.txt", "-i and -o name the same file 'three.txt': give each its own"},
      {kSmall + "-o ./also-three.txt",
       "-i 'three.txt' and -o './also-three.txt' are the same file: give each its own"},
      {kSmall + "-o new.txt --json new.txt", "-o and --json name the same file 'new.txt': give each its own"},
      {kSmall + "-o t.png --chart t.png", "-o and --chart name the same file 't.png': give each its own"},
      {kSmall + "-o a.txt --histogram-table x/../a.txt",
       "-o 'a.txt' and --histogram-table 'x/../a.txt' are the same file: give each its own"},
      {"merge -d 0 r.txt --json r.txt", "RESULT and --json name the same file 'r.txt': give each its own"},
      {"merge -d 0 r.txt --histogram-table t.png --chart t.png",
       "--histogram-table and --chart name the same file 't.png': give each its own"},
      {"scan data.gen --tsv data.gen", "FILE and --tsv name the same file 'data.gen': give each its own"},
      {"scan data.gen --tsv t.png --plot t.png",
       "--tsv and --plot name the same file 't.png': give each its own"},
  };
  const std::string three = p.File("three.txt"), r = p.File("r.txt"), data = p.File("data.gen");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(p.Run(c.arguments), 64);
    EXPECT_EQ(p.err, c.err + "\n");
    EXPECT_EQ(p.out, "");
    EXPECT_EQ(p.File("three.txt"), three);
    EXPECT_EQ(p.File("r.txt"), r);
    EXPECT_EQ(p.File("data.gen"), data);
    EXPECT_EQ(p.File("t.png"), "an earlier chart");
    for (const char* made : {"new.txt", "a.txt", "fst.txt"})
      EXPECT_FALSE(std::filesystem::exists(p.dir.File(made))) << made;
  }
}

TEST(JunkInput, IsRefusedAtItsFirstLineAfterABoundedRead) {
  // /dev/zero never ends: read whole, it would never be refused.
  test::Program p;
  struct Case {
    std::string arguments;
    std::string err;
  };
  const Case cases[] = {
      {"merge -d 0 /dev/zero",
       "/dev/zero, line 1: longer than 1048576 bytes: neither a result file nor a summary\n"},
      {"observe /dev/zero",
       "/dev/zero, line 1: longer than 16777216 bytes: not a line of a Genepop file\n"},
      {"scan /dev/zero", "/dev/zero, line 1: longer than 16777216 bytes: not a line of a Genepop file\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(p.Shell("timeout 60 '" + std::string(DW_PROGRAM) + "' " + c.arguments +
                      " >stdout.txt 2>stderr.txt"),
              1);
    EXPECT_EQ(p.err, c.err);
  }
  // Binary junk with line ends is refused at its first line too.
  p.Write("junk.bin", std::string("\x7f" "ELF\x02\x01\x01\n") + std::string(1 << 20, 'x') + "\n");
  EXPECT_EQ(p.Run("observe junk.bin"), 1);
  EXPECT_EQ(p.err,
            "junk.bin, line 1: a control character (byte 0x02): not a text file; save it as UTF-8 "
            "or plain text\n");
  EXPECT_EQ(p.Run("merge -d 0 junk.bin"), 1);
  EXPECT_EQ(p.err.rfind("junk.bin, line 1: not a result file", 0), 0u) << p.err;
}

// The earlier report survives a disk that refuses the new one, and no
// empty file is left: the program on files in memory.
TEST(Reports, AFullDiskLeavesTheEarlierReportAsItWas) {
  const std::string result =
      "Output file : values of Fst : Weir&Cockerham, Robertson&Hill, and Delta=WC-RH\r\n"
      "Infinite island model\r\n3 islands of effective size 20, 10 individuals sampled per "
      "island.\r\nMigration rate 0.1000, number of generations : 10\r\nNumber of alleles 3\r\n"
      "\r\nWC=  0.0456789 RH=  0.0412345 Delta=WC-RH=  0.0044444"
      "\r\nWC=  0.0381234 RH=  0.0399876 Delta=WC-RH= -0.0018642";
  struct Case {
    const char* report;
    const char* earlier;
  };
  for (Case c : {Case{"--json", "{\"earlier\": 1}\n"}, {"--histogram-table", "earlier table\n"},
                 {"--chart", "an earlier chart"}}) {
    SCOPED_TRACE(c.report);
    test::FaultyFiles files;
    files.disk["a.txt"] = result;
    const std::string name = std::string(c.report) == "--chart" ? "earlier.svg" : "earlier.out";
    files.disk[name] = c.earlier;
    files.faults.push_back({test::FaultyFiles::kWrite, 1, 28, true, ENOSPC});
    SetOsFiles(&files);
    std::string arguments[] = {"driftwise", "merge", "-d", "0", "a.txt", c.report, name};
    char* argv[7];
    for (int i = 0; i < 7; ++i) argv[i] = arguments[i].data();
    std::ostringstream out, err;
    const int status = cli::Main(7, argv, out, err);
    SetOsFiles(nullptr);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(err.str(), std::string(cli::kPlainResultsNote) + "\n" + name +
                             ": Erreur E/S 28. (No space left on device)\n");
    EXPECT_EQ(files.disk[name], c.earlier);
    EXPECT_EQ(files.disk.size(), 2u) << "a temporary file was left";
  }
}

}  // namespace
}  // namespace dw
