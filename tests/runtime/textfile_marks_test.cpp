// What an error path keeps of a file written in whole records, and the text
// of a real at the extreme widths and decimal counts a caller can pass.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "runtime/osfiles.h"
#include "runtime/textfile.h"
#include "tests/engine/faultyfiles.h"

namespace dw {
namespace {

using test::FaultyFiles;

class Marks : public ::testing::Test {
 protected:
  void SetUp() override {
    SetOsFiles(&files);
    SetPendingIOResult(0);
  }
  void TearDown() override {
    SetOsFiles(nullptr);
    SetPendingIOResult(0);
  }
  void Open(TextFile& file) {
    Assign(file, "out");
    OpenWrite(file);
    ASSERT_EQ(PendingIOResult(), 0);
  }
  FaultyFiles files;
};

TEST_F(Marks, ReleaseKeepsWholeRecordsAndDropsTheRest) {
  struct Case {
    const char* what;
    std::size_t before, after;  // bytes written before and after the mark
    int failingWrite;           // 0: none
    bool persistent;
    std::size_t kept;
    int truncates;
  };
  // 100 bytes, mark, 50 more: the buffer filled at 128 and went out, past
  // the mark. 200 bytes, mark, 100 more: 128 reached the disk before the
  // mark, 256 after.
  for (Case c : {Case{"the full buffer went out past the mark", 100, 50, 0, false, 100, 1},
                 {"mark in the buffer, its write failed once", 100, 50, 1, false, 100, 0},
                 {"bytes past the mark on disk", 200, 100, 0, false, 200, 1},
                 {"every write fails after the first", 200, 100, 2, true, 0, 1},
                 {"nothing writable", 100, 50, 1, true, 0, 1}}) {
    SCOPED_TRACE(c.what);
    files = FaultyFiles{};
    SetPendingIOResult(0);
    if (c.failingWrite != 0) files.faults.push_back({FaultyFiles::kWrite, c.failingWrite, 28, c.persistent});
    TextFile file;
    Open(file);
    MarkComplete(file);  // the empty file is whole
    WriteText(file, std::string(c.before, 'a'));
    MarkComplete(file);
    WriteText(file, std::string(c.after, 'b'));
    SetPendingIOResult(7);
    ReleaseFile(file);
    EXPECT_EQ(PendingIOResult(), 7);  // left as it was
    EXPECT_EQ(file.mode, TextFile::Mode::Closed);
    EXPECT_EQ(files.OpenHandles(), 0);
    EXPECT_EQ(files.disk["out"], std::string(c.kept, 'a'));
    EXPECT_EQ(files.calls[FaultyFiles::kTruncate], c.truncates);
  }
}

TEST_F(Marks, TheMarkerFollowsTheRecordsKeptWhereTheDiskTakesIt) {
  struct Case {
    const char* what;
    OsFiles::Kind kind;
    std::size_t before, after;  // bytes written before and after the mark
    int failingWrite;           // 0: none
    bool persistent;
    std::string kept;
  };
  const std::string a200(200, 'a'), a100(100, 'a');
  for (const Case& c : {
           Case{"nothing failed", OsFiles::Kind::Disk, 100, 50, 0, false, a100 + "|"},
           {"past the mark on disk, cut first", OsFiles::Kind::Disk, 200, 100, 0, false, a200 + "|"},
           {"a write failed once", OsFiles::Kind::Disk, 100, 50, 1, false, a100 + "|"},
           {"the disk refuses every write", OsFiles::Kind::Disk, 200, 100, 2, true, ""},
           {"a pipe at the mark", OsFiles::Kind::Pipe, 100, 20, 0, false, a100 + "|"},
           {"a pipe past the mark", OsFiles::Kind::Pipe, 100, 50, 0, false,
            a100 + std::string(28, 'b')},
       }) {
    SCOPED_TRACE(c.what);
    files = FaultyFiles{};
    files.kind = c.kind;
    SetPendingIOResult(0);
    if (c.failingWrite != 0)
      files.faults.push_back({FaultyFiles::kWrite, c.failingWrite, 28, c.persistent});
    TextFile file;
    Open(file);
    MarkComplete(file);
    WriteText(file, std::string(c.before, 'a'));
    MarkComplete(file);
    WriteText(file, std::string(c.after, 'b'));
    ReleaseFile(file, "|");
    EXPECT_EQ(files.OpenHandles(), 0);
    EXPECT_EQ(files.disk["out"], c.kept);
  }
}

TEST_F(Marks, UnmarkedFilesAndDevicesAreNeverCut) {
  TextFile plain;
  Open(plain);
  WriteText(plain, std::string(150, 'x'));
  ReleaseFile(plain);
  EXPECT_EQ(files.disk["out"], std::string(150, 'x'));  // everything written out

  files = FaultyFiles{};
  files.kind = OsFiles::Kind::Pipe;
  TextFile pipe;
  Open(pipe);
  WriteText(pipe, std::string(200, 'y'));
  MarkComplete(pipe);
  WriteText(pipe, std::string(100, 'z'));
  ReleaseFile(pipe);
  EXPECT_EQ(files.calls[FaultyFiles::kTruncate], 0);
  EXPECT_EQ(files.disk["out"], std::string(200, 'y') + std::string(56, 'z'));
}

TEST_F(Marks, ANormalCloseIgnoresTheMarks) {
  TextFile file;
  Open(file);
  WriteText(file, "whole");
  MarkComplete(file);
  WriteText(file, " and more");
  CloseFile(file);
  EXPECT_EQ(PendingIOResult(), 0);
  EXPECT_EQ(files.disk["out"], "whole and more");
  EXPECT_EQ(files.calls[FaultyFiles::kWrite], 1);
}

TEST(RealText, ExtremeWidthsAndDecimalsStayInRange) {
  // Width INT32_MIN once overflowed computing the exponent form's digits.
  long double denormal = 0.0L;
  const unsigned char bits[10] = {0x00, 0xe0, 0xac, 0x03, 0x40, 0xf1, 0x00, 0x00, 0x00, 0x80};
  std::memcpy(&denormal, bits, sizeof bits);
  for (long double v : {1.5L, -0.0L, denormal, 1e300L, -1e4000L}) {
    SCOPED_TRACE(static_cast<double>(v));
    for (int32_t d : {-1, 7, INT32_MIN, INT32_MAX}) {
      EXPECT_EQ(RealText(v, INT32_MIN, d), RealText(v, 0, d));
      EXPECT_EQ(RealText(v, -9, d), RealText(v, 0, d));
      EXPECT_EQ(RealText(v, INT32_MAX, d), RealText(v, 255, d));
    }
    EXPECT_EQ(RealText(v, 11, INT32_MIN), RealText(v, 11, -1));
  }
  EXPECT_EQ(RealText(1.5L, 0, -1), " 1.5E+0000");
  EXPECT_EQ(RealText(1.5L, INT32_MIN, INT32_MAX), "1.5" + std::string(215, '0'));
}

}  // namespace
}  // namespace dw
