#include "runtime/osfiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace dw {

int MapErrno(int error) {
  switch (error) {
    case ENOENT: return 2;
    case ENOTDIR:
    case ENAMETOOLONG: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return 5;
    case ETXTBSY:
    case EBUSY: return 32;
    case EIO: return 1117;
    default: return error;
  }
}

namespace {

class PosixOsFiles final : public OsFiles {
 public:
  int OpenForReading(const std::string& name, int& handle) override {
    int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return MapErrno(errno);
    // open() accepts a directory for reading; the files here are data files.
    struct stat info;
    if (::fstat(fd, &info) != 0) {
      int code = MapErrno(errno);
      ::close(fd);
      return code;
    }
    if (S_ISDIR(info.st_mode)) {
      ::close(fd);
      return 5;
    }
    handle = fd;
    return 0;
  }

  int OpenForWriting(const std::string& name, int& handle) override {
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return MapErrno(errno);
    handle = fd;
    return 0;
  }

  int Read(int handle, unsigned char* data, std::size_t size, std::size_t& got) override {
    got = 0;
    for (;;) {
      ssize_t n = ::read(handle, data, size);
      if (n >= 0) {
        got = static_cast<std::size_t>(n);
        return 0;
      }
      if (errno == EINTR) continue;
      if (errno == EPIPE) return 0;  // the writer went away: end of the data
      return MapErrno(errno);
    }
  }

  int Write(int handle, const unsigned char* data, std::size_t size) override {
    while (size > 0) {
      ssize_t n = ::write(handle, data, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        return MapErrno(errno);
      }
      if (n == 0) return MapErrno(EIO);  // no progress: would loop for ever
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return 0;
  }

  int Close(int handle) override {
    // After EINTR the descriptor is already released on Linux: not an error.
    if (::close(handle) != 0 && errno != EINTR) return MapErrno(errno);
    return 0;
  }

  int Truncate(int handle, std::uint64_t size) override {
    while (::ftruncate(handle, static_cast<off_t>(size)) != 0)
      if (errno != EINTR) return MapErrno(errno);
    return 0;
  }

  Kind KindOf(int handle) override {
    struct stat info;
    if (::fstat(handle, &info) != 0) return Kind::Unknown;
    if (S_ISCHR(info.st_mode)) return Kind::CharDevice;
    if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return Kind::Pipe;
    if (S_ISREG(info.st_mode) || S_ISBLK(info.st_mode)) return Kind::Disk;
    return Kind::Unknown;
  }
};

OsFiles* replacement = nullptr;

}  // namespace

OsFiles& PosixFiles() {
  static PosixOsFiles files;
  return files;
}

OsFiles& CurrentOsFiles() { return replacement != nullptr ? *replacement : PosixFiles(); }

void SetOsFiles(OsFiles* files) { replacement = files; }

}  // namespace dw
