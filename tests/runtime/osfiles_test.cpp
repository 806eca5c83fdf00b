// What the command line tells the user of a failed file, the lock that keeps
// a second writer off a result file, and reports written whole or not at all:
// on the disk where the system's behaviour is the point, through the fake
// files for a full disk.
#include "runtime/osfiles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "runtime/errors.h"
#include "runtime/messages.h"
#include "runtime/textfile.h"
#include "runtime/wholefile.h"
#include "tests/engine/faultyfiles.h"
#include "tests/support/files.h"

namespace dw {
namespace {

// The command line's text of the error that CheckIO raises now, "none" when none.
std::string CommandLineError() {
  try {
    CheckIO();
  } catch (const RuntimeError& e) {
    return CommandLineErrorText(e);
  }
  return "none";
}

TEST(FileErrors, NameTheFileAndAddTheSystemsText) {
  test::ScratchDir dir;
  struct Case {
    std::string name;
    bool write;
    std::string text;
  };
  const std::string missing = dir.File("missing.txt");
  const std::string deep = dir.File(std::string(300, 'x'));  // one name longer than 255 bytes
  const Case cases[] = {
      {missing, false, missing + ": Fichier introuvable. (No such file or directory)"},
      {dir.File("none/fst.txt"), true,
       dir.File("none/fst.txt") + ": Fichier introuvable. (No such file or directory)"},
      {deep, true, deep + ": Nom de fichier incorrect. (File name too long)"},
      {dir.Path().string(), false, dir.Path().string() + ": Accès au fichier refusé. (Is a directory)"},
      {"/dev/full", true, "/dev/full: Erreur E/S 28. (No space left on device)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextFile file;
    Assign(file, c.name);
    if (c.write) {
      OpenWrite(file);
      if (PendingIOResult() == 0) {  // /dev/full opens; its write fails at the close
        WriteText(file, "x");
        CloseFile(file);
      }
    } else {
      OpenRead(file);
    }
    EXPECT_EQ(CommandLineError(), c.text);
  }
  // Codes of the text file's own carry the file, and no system text.
  TextFile file;
  Assign(file, missing);
  CloseFile(file);
  EXPECT_EQ(CommandLineError(), missing + ": Erreur E/S 103.");
  // Other runtime errors are shown as the error box shows them.
  EXPECT_EQ(CommandLineErrorText(EZeroDivide()), "Division par zéro en virgule flottante.");
}

TEST(ResultFileLock, ASecondWriterIsRefusedAndDestroysNothing) {
  test::ScratchDir dir;
  const std::string name = dir.File("fst.txt");
  TextFile first;
  Assign(first, name);
  OpenWrite(first);
  ASSERT_EQ(PendingIOResult(), 0);
  WriteText(first, "the first run's lines");
  CloseFile(first);
  ASSERT_EQ(PendingIOResult(), 0);
  OpenWrite(first);  // reopened: emptied, and held
  WriteText(first, "the first run's lines");
  EndStatement(first);

  TextFile second;
  Assign(second, name);
  OpenWrite(second);
  EXPECT_EQ(second.mode, TextFile::Mode::Closed);
  try {
    CheckIO();
    FAIL() << "the second writer was let in";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.IOErrorCode(), 32);
    EXPECT_EQ(e.Message(), "Erreur E/S 32");
    EXPECT_EQ(CommandLineErrorText(e),
              name + ": Erreur E/S 32. (the file is being written by another process)");
  }
  CloseFile(first);
  EXPECT_EQ(test::ReadBytes(name), "the first run's lines");
  // Closed, the file is free again.
  OpenWrite(second);
  EXPECT_EQ(PendingIOResult(), 0);
  CloseFile(second);
  EXPECT_EQ(test::ReadBytes(name), "");
}

class WholeFiles : public ::testing::Test {
 protected:
  void TearDown() override { SetOsFiles(nullptr); }
  test::ScratchDir dir;
};

TEST_F(WholeFiles, ReplaceTheEarlierFileOnlyWhenAllIsWritten) {
  struct Case {
    const char* what;
    test::FaultyFiles::Fault fault;
    int code;
  };
  const Case cases[] = {
      {"written", {}, 0},
      {"full disk", {test::FaultyFiles::kWrite, 1, 28, false, ENOSPC}, 28},
      {"cannot create beside it", {test::FaultyFiles::kOpen, 1, 5, false, EACCES}, 5},
      {"sync fails", {test::FaultyFiles::kSync, 1, 1117, false, EIO}, 1117},
      {"rename fails", {test::FaultyFiles::kRename, 1, 18, false, EXDEV}, 18},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::FaultyFiles files;
    files.disk["report.json"] = "{\"earlier\": true}\n";
    files.faults.push_back(c.fault);
    SetOsFiles(&files);
    EXPECT_EQ(WriteFileWhole("report.json", "{\"new\": true}\n"), c.code);
    if (c.code != 0) {
      EXPECT_EQ(LastSystemError(), c.fault.systemError);
    }
    SetOsFiles(nullptr);
    EXPECT_EQ(files.disk.size(), 1u) << "no temporary file left";
    EXPECT_EQ(files.disk["report.json"], c.code == 0 ? "{\"new\": true}\n" : "{\"earlier\": true}\n");
    EXPECT_EQ(files.OpenHandles(), 0);
  }
  // A report that could not be written at all leaves no empty file.
  test::FaultyFiles files;
  files.faults.push_back({test::FaultyFiles::kWrite, 1, 28});
  SetOsFiles(&files);
  EXPECT_EQ(WriteFileWhole("new.txt", "text"), 28);
  SetOsFiles(nullptr);
  EXPECT_TRUE(files.disk.empty());
}

TEST_F(WholeFiles, OnDiskKeepTheLinkAndWriteDevicesDirectly) {
  const std::string target = dir.File("target.txt"), link = dir.File("link.txt");
  test::WriteBytes(target, "old");
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  ASSERT_EQ(WriteFileWhole(link, "new"), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(test::ReadBytes(target), "new");
  // /dev/null is written, never replaced by a file.
  ASSERT_EQ(WriteFileWhole("/dev/null", "nothing"), 0);
  struct stat info;
  ASSERT_EQ(::stat("/dev/null", &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
  EXPECT_EQ(WriteFileWhole("/dev/full", "x"), 28);
  // Only the two files are in the folder: no temporary left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            2);
}

TEST_F(WholeFiles, NeverTakeAFileFromItsWriterNorUnlinkALink) {
  const std::string held = dir.File("held.txt"), link = dir.File("link.txt");
  ASSERT_EQ(::symlink("held.txt", link.c_str()), 0);
  TextFile writer;
  Assign(writer, held);
  OpenWrite(writer);
  WriteText(writer, "the run's lines");
  EndStatement(writer);
  for (const std::string& name : {held, link}) {
    EXPECT_EQ(WriteFileWhole(name, "a report"), 32) << name;
    EXPECT_EQ(RemoveRegularFile(name), 32) << name;
  }
  CloseFile(writer);
  EXPECT_EQ(test::ReadBytes(held), "the run's lines");
  // Free again: the stale report behind the link goes, the link stays.
  EXPECT_EQ(RemoveRegularFile(link), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_FALSE(std::filesystem::exists(held));

  // A descriptor named as a file is written where it stands, appending as
  // it was opened, and never removed.
  const std::string log = dir.File("log");
  test::WriteBytes(log, "previous\n");
  const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(fd, 0);
  const std::string byNumber = "/dev/fd/" + std::to_string(fd);
  EXPECT_EQ(WriteFileWhole(byNumber, "new\n"), 0);
  EXPECT_EQ(RemoveRegularFile(byNumber), 0);
  ::close(fd);
  EXPECT_EQ(test::ReadBytes(log), "previous\nnew\n");
}

}  // namespace
}  // namespace dw
