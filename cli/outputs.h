#pragma once
// What the command line writes, and that it was written: standard output
// checked before the program ends, reports written whole (or not at all),
// and no file given two roles.
#include <iosfwd>
#include <optional>
#include <streambuf>
#include <string>
#include <vector>

namespace dw::cli {

// An output stream buffer on a file descriptor that keeps the system's error
// of its first failed write (and fails every write after it).
class DescriptorBuffer : public std::streambuf {
 public:
  // `closed`: the descriptor was not open when the program started.
  explicit DescriptorBuffer(int fd, bool closed = false);
  ~DescriptorBuffer() override;
  int Error() const { return error_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  bool Drain();
  int fd_;
  int error_ = 0;
  char buffer_[1 << 13];
};

// Flushes both streams. When standard output (or standard error, which
// carries the progress) lost anything, says so on `err` as far as it can
// ("standard output: Erreur E/S 28. (No space left on device)") and turns
// a status of 0 into the runtime-error status.
int CheckStandardStreams(std::ostream& out, std::ostream& err, int status);

// A report: "-" is `out`; a file is written whole, replacing an earlier one
// only once every byte is on the disk (the file a link leads to; standard
// output named as a file is written where it stands, after what `out` holds).
// A failure raises EInOutError naming the file.
void WriteReportFile(const std::string& name, const std::string& bytes, std::ostream& out);

// Removes an earlier report of that name (a regular file only) before the
// work that will write a new one starts; "-" is left alone. A failure raises
// EInOutError naming the file.
void RemoveStaleReport(const std::string& name);

// One file the command names, and the option that names it.
struct FileRole {
  std::string option;  // "-o", "--json", "RESULT", …
  std::string name;
  bool input = false;  // read, not written
  bool whole = false;  // written whole beside the file (a report), not in place
};

// The first output among `roles` that cannot be written, as the message the
// write itself would give ("out/s.json: Fichier introuvable. (No such file
// or directory)"): a folder that is missing, not one or not writable, a
// folder in the file's place, a file that cannot be written, or one another
// process is writing. Asked before the work; the write at the end checks
// again.
std::optional<std::string> CheckOutputPaths(const std::vector<FileRole>& roles);

// The first two roles that name one file (the same regular file, or the same
// path of one not yet made), as the message refusing them; empty when each
// has its own. Two inputs may be one file; "-", the empty name, devices and
// pipes are not compared.
std::optional<std::string> SameFileInTwoRoles(const std::vector<FileRole>& roles);

// What identifies a file for that comparison; empty for what is not compared.
std::optional<std::string> FileIdentity(const std::string& name);

}  // namespace dw::cli
