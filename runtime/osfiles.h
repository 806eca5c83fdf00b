#pragma once
// The narrow operating-system interface under TextFile, replaceable in tests
// (fault injection). Every call returns 0 or an error code already mapped to
// the codes the messages use; the system's own error number behind a code
// is kept per thread (LastSystemError), for the command line's messages.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace dw {

class OsFiles {
 public:
  enum class Kind { Disk, CharDevice, Pipe, Unknown };
  virtual ~OsFiles() = default;
  // Opens an existing file for reading (a directory is refused with 5).
  [[nodiscard]] virtual int OpenForReading(const std::string& name, int& handle) = 0;
  // Creates the file, or empties an existing one, for writing. A regular
  // file is locked against other writers for as long as the handle is open:
  // one that another writer holds is refused with 32 and left untouched.
  [[nodiscard]] virtual int OpenForWriting(const std::string& name, int& handle) = 0;
  // Up to `size` bytes; got = 0 at the end of the data.
  [[nodiscard]] virtual int Read(int handle, unsigned char* data, std::size_t size,
                                 std::size_t& got) = 0;
  // All `size` bytes, or an error.
  [[nodiscard]] virtual int Write(int handle, const unsigned char* data, std::size_t size) = 0;
  [[nodiscard]] virtual int Close(int handle) = 0;
  virtual Kind KindOf(int handle) = 0;
  // Cuts a file open for writing back to its first `size` bytes; later
  // writes continue from there. Used only on an error path, so an interface
  // without it just says so (50, unsupported).
  [[nodiscard]] virtual int Truncate(int /*handle*/, std::uint64_t /*size*/) { return 50; }

  // For files written whole (reports): a new, empty file open for writing
  // in the folder of `name` (of the file a symbolic link `name` points to),
  // its name in `temporary`; `Sync` puts its bytes on the disk; `Replace`
  // renames it over `name` in one step.
  [[nodiscard]] virtual int CreateBeside(const std::string& /*name*/, int& /*handle*/,
                           std::string& /*temporary*/) {
    return 50;
  }
  [[nodiscard]] virtual int Sync(int /*handle*/) { return 0; }
  [[nodiscard]] virtual int Replace(const std::string& /*temporary*/, const std::string& /*name*/) { return 50; }
  [[nodiscard]] virtual int Remove(const std::string& /*name*/) { return 50; }
  // What the name is, following links: Disk for a regular file only;
  // empty when nothing has that name.
  virtual std::optional<Kind> KindOfName(const std::string& /*name*/) { return std::nullopt; }
  // The descriptor of this process a name stands for (/dev/stdout, or a link
  // to /proc/self/fd/3): written as it is open, never replaced.
  virtual std::optional<int> DescriptorOfName(const std::string& /*name*/) { return std::nullopt; }
};

// errno → code: ENOENT 2, ENOTDIR and ENAMETOOLONG 3, EMFILE and ENFILE 4,
// EACCES, EPERM, EROFS and EISDIR 5, ETXTBSY and EBUSY 32 (in use), EIO 1117;
// any other errno is passed on as it is (ENOSPC 28 shows "Erreur E/S 28").
int MapErrno(int error);

// The system's error number behind the last code an OsFiles call of this
// thread returned (0 when the code has none, as the fakes of the tests).
int LastSystemError();
void SetLastSystemError(int error);
// The system's English text of an error number ("No space left on device").
std::string SystemErrorText(int error);

// The path a name stands for once its symbolic links are followed one after
// the other, a link to nothing included (the path it would make); the name
// itself when it is no link.
std::string LinkTarget(const std::string& name);
// The descriptor of this process that `name` (or the link chain from it)
// opens again: /dev/stdout, /dev/fd/N, /proc/self/fd/N, /proc/PID/fd/N.
std::optional<int> OwnDescriptorOf(const std::string& name);
// Whether another writer holds the lock a result file is written under on
// the regular file `name` (after its links).
bool HeldByAnotherWriter(const std::string& name);

// Once `request` is set, opens and reads through PosixFiles give up with
// the code of EINTR instead of waiting or reading on: the command line's
// signal handler sets it, so that input that never ends (/dev/zero) or never
// comes (a FIFO nobody writes to) cannot hold a signal back. nullptr: never.
class CancelRequest;
void SetReadInterruption(const CancelRequest* request);

// The POSIX implementation, and the one TextFile uses now.
OsFiles& PosixFiles();
OsFiles& CurrentOsFiles();
// Replaces the interface (nullptr restores POSIX). Tests only.
void SetOsFiles(OsFiles* files);

}  // namespace dw
