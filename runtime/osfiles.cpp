#include "runtime/osfiles.h"

#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>

#include "runtime/cancel.h"

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

namespace fs = std::filesystem;

std::atomic<const CancelRequest*> readInterruption{nullptr};

bool ReadsInterrupted() {
  const CancelRequest* request = readInterruption.load();
  return request != nullptr && request->Requested();
}

// Waits up to a quarter of a second for data (or the writer's end), so a
// read that would block for ever still sees an interruption in time.
bool WaitReadable(int fd) {
  pollfd wanted{fd, POLLIN, 0};
  const int ready = ::poll(&wanted, 1, 250);
  // A signal: asked again, after the interruption is checked; another
  // error: the read itself tells.
  return ready > 0 || (ready < 0 && errno != EINTR);
}

// "/proc/PID/fd/N" (or a thread's) of this process: N.
std::optional<int> DescriptorPath(const fs::path& path) {
  const std::string file = path.filename().string();
  if (file.empty() || file.size() > 9 ||
      file.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  std::error_code code;
  const fs::path folder = fs::canonical(path.has_parent_path() ? path.parent_path() : ".", code);
  if (code) return std::nullopt;
  const std::string own = "/proc/" + std::to_string(::getpid()), text = folder.string();
  if (text == own + "/fd" || (text.rfind(own + "/task/", 0) == 0 && text.ends_with("/fd")))
    return std::stoi(file);
  return std::nullopt;
}

// The handles that stand for a descriptor the process already had: its
// owner's file, never emptied or cut.
std::mutex borrowedLock;
std::set<int> borrowed;

void NoteBorrowed(int handle, bool open) {
  const std::lock_guard<std::mutex> hold(borrowedLock);
  if (open)
    borrowed.insert(handle);
  else
    borrowed.erase(handle);
}

bool IsBorrowed(int handle) {
  const std::lock_guard<std::mutex> hold(borrowedLock);
  return borrowed.count(handle) != 0;
}

// Follows the link chain from `name`; `stop` is asked of every path on it.
template <typename Stop>
fs::path FollowLinks(const std::string& name, Stop stop) {
  fs::path path(name);
  for (int hop = 0; hop < 40 && !stop(path); ++hop) {  // 40: the system's own bound
    std::error_code code;
    if (!fs::is_symlink(path, code)) break;
    const fs::path link = fs::read_symlink(path, code);
    if (code) break;
    path = link.is_absolute() ? link : (path.parent_path() / link).lexically_normal();
  }
  return path;
}

// A descriptor on the existing file `target` with the writers' lock taken,
// -1 when there is none (or it cannot be opened to lock it); 32 in `code`
// when another writer holds it.
int LockExisting(const std::string& target, int& code) {
  code = 0;
  int fd = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    ::close(fd);
    lastSystemError = EWOULDBLOCK;
    code = 32;
    return -1;
  }
  return fd;
}

// Renames `temporary` to `target`, which nothing had a moment ago: only while
// it is still free, so a writer that makes it meanwhile is not overwritten.
// EEXIST when one did.
int RenameIntoFree(const std::string& temporary, const std::string& target) {
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
    return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without it: the plain rename.
  return ::rename(temporary.c_str(), target.c_str()) == 0 ? 0 : errno;
}

class PosixOsFiles final : public OsFiles {
 public:
  int OpenForReading(const std::string& name, int& handle) override {
    if (ReadsInterrupted()) return Failed(EINTR);
    // A FIFO's open would wait for its writer, deaf to a signal: it opens at
    // once, and the reads wait (see Read).
    struct stat named;
    const bool fifo = ::stat(name.c_str(), &named) == 0 && S_ISFIFO(named.st_mode);
    int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | (fifo ? O_NONBLOCK : 0));
    if (fd < 0) return Failed(errno);
    if (fifo) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
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
    // -o /dev/stdout: written where standard output stands (appended when
    // it was opened for that), not reopened and emptied.
    if (const auto own = OwnDescriptorOf(name)) {
      const int fd = ::fcntl(*own, F_DUPFD_CLOEXEC, 3);
      if (fd < 0) return Failed(errno);
      NoteBorrowed(fd, true);
      handle = fd;
      return 0;
    }
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
      if (ReadsInterrupted()) return Failed(EINTR);
      if (!WaitReadable(handle)) continue;
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
    NoteBorrowed(handle, false);
    // After EINTR the descriptor is already released on Linux: not an error.
    if (::close(handle) != 0 && errno != EINTR) return Failed(errno);
    return 0;
  }

  int Truncate(int handle, std::uint64_t size) override {
    if (IsBorrowed(handle)) return 50;  // its owner's bytes come before ours
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
    const std::filesystem::path target(LinkTarget(name));
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

  // Under the writers' lock of the file it replaces, so a result file being
  // written is never swapped away under its writer.
  int Replace(const std::string& temporary, const std::string& name) override {
    const std::string target = LinkTarget(name);
    for (int attempt = 0; attempt < 100; ++attempt) {
      int code = 0;
      const int held = LockExisting(target, code);
      if (code != 0) return code;
      if (held >= 0 || ::access(target.c_str(), F_OK) == 0) {
        const int error = ::rename(temporary.c_str(), target.c_str()) == 0 ? 0 : errno;
        if (held >= 0) ::close(held);
        return error == 0 ? 0 : Failed(error);
      }
      const int error = RenameIntoFree(temporary, target);
      if (error == 0) return 0;
      if (error != EEXIST) return Failed(error);
    }
    return Failed(EEXIST);
  }

  // The file a link leads to, never the link; refused while a writer holds it.
  int Remove(const std::string& name) override {
    const std::string target = LinkTarget(name);
    int code = 0;
    const int held = LockExisting(target, code);
    if (code != 0) return code;
    const int error = ::unlink(target.c_str()) == 0 ? 0 : errno;
    if (held >= 0) ::close(held);
    return error == 0 ? 0 : Failed(error);
  }

  std::optional<int> DescriptorOfName(const std::string& name) override {
    return OwnDescriptorOf(name);
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

std::string LinkTarget(const std::string& name) {
  return FollowLinks(name, [](const fs::path&) { return false; }).string();
}

std::optional<int> OwnDescriptorOf(const std::string& name) {
  std::optional<int> fd;
  FollowLinks(name, [&](const fs::path& path) { return (fd = DescriptorPath(path)).has_value(); });
  return fd;
}

bool HeldByAnotherWriter(const std::string& name) {
  struct stat info;
  if (::stat(name.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  int code = 0;
  const int held = LockExisting(LinkTarget(name), code);
  if (held >= 0) ::close(held);
  return code == 32;
}

void SetReadInterruption(const CancelRequest* request) { readInterruption.store(request); }

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
