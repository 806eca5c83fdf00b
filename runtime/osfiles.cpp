#include "runtime/osfiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

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

thread_local int lastSystemError = 0;

// The code of a failed call, its errno kept for the messages.
int Failed(int error) {
  lastSystemError = error;
  return MapErrno(error);
}

// The file a name stands for: a symbolic link's target when it has one, so
// that a file written whole replaces the target and keeps the link.
std::string Target(const std::string& name) {
  std::error_code code;
  if (!std::filesystem::is_symlink(name, code)) return name;
  const auto target = std::filesystem::canonical(name, code);
  return code ? name : target.string();
}

class PosixOsFiles final : public OsFiles {
 public:
  int OpenForReading(const std::string& name, int& handle) override {
    int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Failed(errno);
    // open() accepts a directory for reading; the files here are data files.
    struct stat info;
    if (::fstat(fd, &info) != 0) {
      const int code = Failed(errno);
      ::close(fd);
      return code;
    }
    if (S_ISDIR(info.st_mode)) {
      ::close(fd);
      return Failed(EISDIR);
    }
    handle = fd;
    return 0;
  }

  int OpenForWriting(const std::string& name, int& handle) override {
    // Emptied only once the lock is held, so a second writer destroys nothing.
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return Failed(errno);
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
      if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        lastSystemError = EWOULDBLOCK;
        return 32;  // the sharing violation: another writer has it
      }
      // Other lock failures (a file system without locks) leave it unlocked.
      while (::ftruncate(fd, 0) != 0) {
        if (errno == EINTR) continue;
        const int code = Failed(errno);
        ::close(fd);
        return code;
      }
    }
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
      return Failed(errno);
    }
  }

  int Write(int handle, const unsigned char* data, std::size_t size) override {
    while (size > 0) {
      ssize_t n = ::write(handle, data, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        return Failed(errno);
      }
      if (n == 0) return Failed(EIO);  // no progress: would loop for ever
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return 0;
  }

  int Close(int handle) override {
    // After EINTR the descriptor is already released on Linux: not an error.
    if (::close(handle) != 0 && errno != EINTR) return Failed(errno);
    return 0;
  }

  int Truncate(int handle, std::uint64_t size) override {
    while (::ftruncate(handle, static_cast<off_t>(size)) != 0)
      if (errno != EINTR) return Failed(errno);
    if (::lseek(handle, static_cast<off_t>(size), SEEK_SET) < 0) return Failed(errno);
    return 0;
  }

  Kind KindOf(int handle) override {
    struct stat info;
    if (::fstat(handle, &info) != 0) return Kind::Unknown;
    return KindOfMode(info.st_mode);
  }

  int CreateBeside(const std::string& name, int& handle, std::string& temporary) override {
    const std::filesystem::path target(Target(name));
    const std::filesystem::path folder = target.parent_path();
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
      // A short name of its own, so a long report name still leaves room.
      const auto ticks = static_cast<unsigned long long>(
          std::chrono::steady_clock::now().time_since_epoch().count());
      char unique[40];
      std::snprintf(unique, sizeof unique, ".driftwise-%05x%06llx.tmp",
                    static_cast<unsigned>(::getpid()) & 0xFFFFFu,
                    (ticks ^ (counter++ * 0x9E3779B9ull)) & 0xFFFFFFull);
      const std::string candidate = (folder / unique).string();
      // 0666 less the umask, as for any file the program creates.
      const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0) {
        handle = fd;
        temporary = candidate;
        return 0;
      }
      if (errno != EEXIST) return Failed(errno);
    }
    return Failed(EEXIST);
  }

  int Sync(int handle) override {
    // Devices and some file systems cannot sync: nothing to wait for then.
    if (::fsync(handle) != 0 && errno != EINVAL && errno != EROFS) return Failed(errno);
    return 0;
  }

  int Replace(const std::string& temporary, const std::string& name) override {
    if (::rename(temporary.c_str(), Target(name).c_str()) != 0) return Failed(errno);
    return 0;
  }

  int Remove(const std::string& name) override {
    if (::unlink(name.c_str()) != 0) return Failed(errno);
    return 0;
  }

  std::optional<Kind> KindOfName(const std::string& name) override {
    struct stat info;
    if (::stat(name.c_str(), &info) != 0) {
      if (errno == ENOENT) return std::nullopt;
      return Kind::Unknown;
    }
    // A block device is no file to replace.
    return S_ISBLK(info.st_mode) ? Kind::Unknown : KindOfMode(info.st_mode);
  }

 private:
  static Kind KindOfMode(mode_t mode) {
    if (S_ISCHR(mode)) return Kind::CharDevice;
    if (S_ISFIFO(mode) || S_ISSOCK(mode)) return Kind::Pipe;
    if (S_ISREG(mode) || S_ISBLK(mode)) return Kind::Disk;
    return Kind::Unknown;
  }
};

OsFiles* replacement = nullptr;

}  // namespace

int LastSystemError() { return lastSystemError; }

void SetLastSystemError(int error) { lastSystemError = error; }

std::string SystemErrorText(int error) {
  // The lock of another writer is the one EWOULDBLOCK these calls give.
  if (error == EWOULDBLOCK) return "the file is being written by another process";
  char buffer[256];
  // The GNU strerror_r returns the text, possibly not in `buffer`.
  const char* text = ::strerror_r(error, buffer, sizeof buffer);
  return text;
}

OsFiles& PosixFiles() {
  static PosixOsFiles files;
  return files;
}

OsFiles& CurrentOsFiles() { return replacement != nullptr ? *replacement : PosixFiles(); }

void SetOsFiles(OsFiles* files) { replacement = files; }

}  // namespace dw
