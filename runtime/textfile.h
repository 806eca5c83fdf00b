#pragma once
// Buffered text files with their own reading and writing of numbers. The
// operations never throw: a failure stores a code in the thread's pending I/O
// result, and only CheckIO turns it into EInOutError.
//
// Codes: the operating system's (errno mapped: ENOENT 2, ENOTDIR 3, EMFILE 4,
// EACCES and EPERM 5, another writer's lock 32, others as described in
// osfiles.h), 102 never assigned, 103 not open, 104 not open for reading, 105
// not open for writing (or a handle of unknown kind), 106 not a number. The
// pending code keeps the file's name and the system's error number with it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dw {

class OsFiles;

class TextFile {
 public:
  static constexpr std::size_t kBufferSize = 128;
  enum class Mode { Closed, Input, Output };
  enum class Device { Disk, CharDevice, Pipe };

  TextFile() = default;
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;
  // A file still open is released without writing its buffer.
  ~TextFile();

  Mode mode = Mode::Closed;
  bool assigned = false;
  bool standardHandle = false;  // stdin or stdout: not closed at the OS level
  int handle = -1;
  Device device = Device::Disk;
  std::size_t bufferPosition = 0;  // input: next unread byte; output: bytes waiting
  std::size_t bufferEnd = 0;       // input: valid bytes
  std::string name;  // whole: the operating system refuses what is too long
  OsFiles* os = nullptr;  // the interface the open handle belongs to
  // Output: bytes the operating system has taken since the open; the end of
  // the last complete record (MarkComplete), and the last such end that was
  // already on disk, so an error path can cut the file back to whole records.
  static constexpr std::uint64_t kNoMark = ~std::uint64_t{0};
  std::uint64_t written = 0;
  std::uint64_t completeEnd = kNoMark;
  std::uint64_t durableEnd = kNoMark;
  unsigned char buffer[kBufferSize + 1] = {};  // + 1 for the end mark after a full buffer
};

void Assign(TextFile& file, std::string_view name);
void OpenRead(TextFile& file);
void OpenWrite(TextFile& file);
void CloseFile(TextFile& file);

// Reads the next blank-separated token as a real (point as the only decimal
// separator); false when the data ended before any token (the value is then
// 0 and no code is stored). A bad token stores 106; the value is then
// unusable.
bool ReadReal(TextFile& file, long double& value);
// Skips past the next line end: CR, CR LF or LF.
void SkipLine(TextFile& file);
// True at the physical end of the data or at a Ctrl-Z byte.
[[nodiscard]] bool AtEnd(TextFile& file);
// AtEnd once the blanks (spaces, tabs, line ends) before it are skipped:
// trailing blank lines end the data too.
[[nodiscard]] bool AtEndAfterBlanks(TextFile& file);
// Before anything is read: steps over a UTF-8 byte-order mark (EF BB BF),
// which spreadsheets and some editors put at the start; true when there was one.
bool SkipByteOrderMark(TextFile& file);

void WriteText(TextFile& file, std::string_view text);
void WriteInteger(TextFile& file, int32_t value);
// Fixed notation right-justified in `width` (never cut), `decimals` decimals,
// half away from zero; see textfile.cpp for the exponent forms.
void WriteReal(TextFile& file, long double value, int32_t width, int32_t decimals);
// CR LF, then EndStatement.
void EndLine(TextFile& file);
// Ends a write statement: writes the buffer out for a character device.
void EndStatement(TextFile& file);

// Raises EInOutError for the pending code and resets it; returns when none.
void CheckIO();
[[nodiscard]] int PendingIOResult();
void SetPendingIOResult(int code);

// Everything written to a file open for output so far forms complete records
// (lines of finished work). No operating-system call: it only notes the place.
void MarkComplete(TextFile& file);

// Closes a file on an error path without raising and without disturbing the
// pending code; the handle is released in any case. An unmarked file writes
// out its buffer when it can. A marked disk file keeps exactly its complete
// records: the buffered part of them is written out (a failed write is tried
// once more here), the rest of the buffer is dropped, and whatever reached
// the disk beyond the last complete record that is there is cut off. Then
// `marker` is written right after the records kept, where the disk takes it
// (a device or pipe takes it only when nothing beyond them went out), so a
// file left by a failure is told from one that was finished.
void ReleaseFile(TextFile& file, std::string_view marker = {}) noexcept;

// The text WriteReal writes, for callers that need it without a file.
std::string RealText(long double value, int32_t width, int32_t decimals);

}  // namespace dw
