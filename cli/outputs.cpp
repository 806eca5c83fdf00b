#include "cli/outputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <ostream>

#include "cli/command_line.h"
#include "runtime/errors.h"
#include "runtime/messages.h"
#include "runtime/osfiles.h"
#include "runtime/wholefile.h"

namespace dw::cli {

DescriptorBuffer::DescriptorBuffer(int fd, bool closed) : fd_(fd), error_(closed ? EBADF : 0) {
  setp(buffer_, buffer_ + sizeof buffer_);
}

DescriptorBuffer::~DescriptorBuffer() { Drain(); }

bool DescriptorBuffer::Drain() {
  const char* at = pbase();
  std::size_t left = static_cast<std::size_t>(pptr() - pbase());
  setp(buffer_, buffer_ + sizeof buffer_);
  if (error_ != 0) return false;  // what follows a lost write would mislead
  while (left > 0) {
    const ssize_t n = ::write(fd_, at, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? errno : EIO;
      return false;
    }
    at += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type c) {
  if (!Drain()) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

std::streamsize DescriptorBuffer::xsputn(const char* s, std::streamsize n) {
  std::streamsize done = 0;
  while (done < n) {
    if (pptr() == epptr() && !Drain()) return done;
    const std::streamsize room = epptr() - pptr();
    const std::streamsize take = std::min(room, n - done);
    traits_type::copy(pptr(), s + done, static_cast<std::size_t>(take));
    pbump(static_cast<int>(take));
    done += take;
  }
  return done;
}

int DescriptorBuffer::sync() { return Drain() ? 0 : -1; }

namespace {

// The system's error behind a stream's failure, EIO when it cannot be told.
int StreamError(std::ostream& stream) {
  const auto* buffer = dynamic_cast<const DescriptorBuffer*>(stream.rdbuf());
  return buffer != nullptr && buffer->Error() != 0 ? buffer->Error() : EIO;
}

std::string LostText(const char* what, int error) {
  return CommandLineErrorText(EInOutError(MapErrno(error), error, what));
}

}  // namespace

int CheckStandardStreams(std::ostream& out, std::ostream& err, int status) {
  out.flush();
  err.flush();
  const bool outLost = !out, errLost = !err;
  if (outLost) {
    err.clear();
    err << LostText("standard output", StreamError(out)) << "\n" << std::flush;
  }
  if ((outLost || errLost) && status == kExitDone) return kExitRuntimeError;
  return status;
}

void WriteReportFile(const std::string& name, const std::string& bytes, std::ostream& out) {
  if (name == "-") {
    out << bytes << std::flush;
    return;
  }
  out.flush();  // the name may stand for standard output: what came first stays first
  if (const int code = WriteFileWhole(name, bytes)) throw EInOutError(code, LastSystemError(), name);
}

void RemoveStaleReport(const std::string& name) {
  if (name == "-") return;
  if (const int code = RemoveRegularFile(name)) throw EInOutError(code, LastSystemError(), name);
}

std::optional<std::string> FileIdentity(const std::string& name) {
  if (name.empty() || name == "-") return std::nullopt;
  struct stat info;
  if (::stat(name.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) return std::nullopt;
    return "file " + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  }
  // Not made yet: its path, with the folders that exist resolved.
  std::error_code code;
  const auto path = std::filesystem::weakly_canonical(std::filesystem::absolute(name, code), code);
  if (code) return "path " + std::filesystem::path(name).lexically_normal().string();
  return "path " + path.string();
}

namespace {

// The system's error that writing `name` would meet, as far as it can be
// told beforehand; 0 when none.
int OutputPathError(const std::string& name, bool whole) {
  if (OwnDescriptorOf(name)) return 0;
  const std::string target = LinkTarget(name);
  struct stat info;
  if (::stat(target.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return EISDIR;
    if (!S_ISREG(info.st_mode)) return ::access(target.c_str(), W_OK) == 0 ? 0 : errno;
    if (HeldByAnotherWriter(target)) return EWOULDBLOCK;
    if (!whole) return ::access(target.c_str(), W_OK) == 0 ? 0 : errno;
  } else if (errno != ENOENT) {
    return errno;
  }
  // Made (or, for a report, replaced) by a new entry in its folder.
  const std::string folder = std::filesystem::path(target).parent_path().string();
  const std::string where = folder.empty() ? "." : folder;
  if (::stat(where.c_str(), &info) != 0) return errno;
  if (!S_ISDIR(info.st_mode)) return ENOTDIR;
  return ::access(where.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

}  // namespace

std::optional<std::string> CheckOutputPaths(const std::vector<FileRole>& roles) {
  for (const FileRole& role : roles) {
    if (role.input || role.name.empty() || role.name == "-") continue;
    const int error = OutputPathError(role.name, role.whole);
    if (error == 0) continue;
    // EWOULDBLOCK is the lock of another writer, the sharing violation.
    const int code = error == EWOULDBLOCK ? 32 : MapErrno(error);
    return CommandLineErrorText(EInOutError(code, error, role.name));
  }
  return std::nullopt;
}

std::optional<std::string> SameFileInTwoRoles(const std::vector<FileRole>& roles) {
  std::vector<std::optional<std::string>> identities;
  identities.reserve(roles.size());
  for (const FileRole& role : roles) identities.push_back(FileIdentity(role.name));
  for (std::size_t i = 0; i < roles.size(); ++i) {
    if (!identities[i]) continue;
    for (std::size_t j = 0; j < i; ++j) {
      if (identities[j] != identities[i] || (roles[i].input && roles[j].input)) continue;
      const FileRole &a = roles[j], &b = roles[i];
      if (a.name == b.name)
        return a.option + " and " + b.option + " name the same file '" + a.name +
               "': give each its own";
      return a.option + " '" + a.name + "' and " + b.option + " '" + b.name +
             "' are the same file: give each its own";
    }
  }
  return std::nullopt;
}

}  // namespace dw::cli
