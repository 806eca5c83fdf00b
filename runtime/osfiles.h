#pragma once
// The narrow operating-system interface under TextFile, replaceable in tests
// (fault injection). Every call returns 0 or an error code already mapped to
// the codes the messages use.
#include <cstddef>
#include <cstdint>
#include <string>

namespace dw {

class OsFiles {
 public:
  enum class Kind { Disk, CharDevice, Pipe, Unknown };
  virtual ~OsFiles() = default;
  // Opens an existing file for reading (a directory is refused with 5).
  virtual int OpenForReading(const std::string& name, int& handle) = 0;
  // Creates the file, or empties an existing one, for writing.
  virtual int OpenForWriting(const std::string& name, int& handle) = 0;
  // Up to `size` bytes; got = 0 at the end of the data.
  virtual int Read(int handle, unsigned char* data, std::size_t size, std::size_t& got) = 0;
  // All `size` bytes, or an error.
  virtual int Write(int handle, const unsigned char* data, std::size_t size) = 0;
  virtual int Close(int handle) = 0;
  virtual Kind KindOf(int handle) = 0;
  // Cuts a file open for writing back to its first `size` bytes. Used only on
  // an error path, so an interface without it just says so (50, unsupported).
  virtual int Truncate(int /*handle*/, std::uint64_t /*size*/) { return 50; }
};

// errno → code: ENOENT 2, ENOTDIR and ENAMETOOLONG 3, EMFILE and ENFILE 4,
// EACCES, EPERM, EROFS and EISDIR 5, ETXTBSY and EBUSY 32 (in use), EIO 1117;
// any other errno is passed on as it is (ENOSPC 28 shows "Erreur E/S 28").
int MapErrno(int error);

// The POSIX implementation, and the one TextFile uses now.
OsFiles& PosixFiles();
OsFiles& CurrentOsFiles();
// Replaces the interface (nullptr restores POSIX). Tests only.
void SetOsFiles(OsFiles* files);

}  // namespace dw
