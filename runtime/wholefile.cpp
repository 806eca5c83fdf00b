#include "runtime/wholefile.h"

#include "runtime/osfiles.h"

namespace dw {

namespace {

// The first failure's code, its system error number kept through the calls
// that clean up after it.
struct FirstFailure {
  int code = 0;
  int systemError = 0;
  void Note(int result) {
    if (code != 0 || result == 0) return;
    code = result;
    systemError = LastSystemError();
  }
  int Result() const {
    SetLastSystemError(systemError);
    return code;
  }
};

int WriteDirectly(OsFiles& os, const std::string& name, std::string_view bytes) {
  int handle = -1;
  FirstFailure failure;
  failure.Note(os.OpenForWriting(name, handle));
  if (failure.code != 0) return failure.Result();
  failure.Note(os.Write(handle, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
  failure.Note(os.Close(handle));
  return failure.Result();
}

// A descriptor the process already has (a redirected standard output):
// written at its own position, appending when it was opened for that, and
// left open.
int WriteToDescriptor(OsFiles& os, int fd, std::string_view bytes) {
  return os.Write(fd, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

}  // namespace

int WriteFileWhole(const std::string& name, std::string_view bytes) {
  OsFiles& os = CurrentOsFiles();
  if (const auto fd = os.DescriptorOfName(name)) return WriteToDescriptor(os, *fd, bytes);
  const auto kind = os.KindOfName(name);
  if (kind && *kind != OsFiles::Kind::Disk) return WriteDirectly(os, name, bytes);
  int handle = -1;
  std::string temporary;
  FirstFailure failure;
  failure.Note(os.CreateBeside(name, handle, temporary));
  if (failure.code != 0) return failure.Result();
  failure.Note(os.Write(handle, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
  // On the disk before it takes the name, so a crash leaves the old or the new.
  if (failure.code == 0) failure.Note(os.Sync(handle));
  failure.Note(os.Close(handle));
  if (failure.code == 0) failure.Note(os.Replace(temporary, name));
  if (failure.code != 0) os.Remove(temporary);
  return failure.Result();
}

int RemoveRegularFile(const std::string& name) {
  OsFiles& os = CurrentOsFiles();
  if (os.DescriptorOfName(name)) return 0;
  const auto kind = os.KindOfName(name);
  if (!kind || *kind != OsFiles::Kind::Disk) return 0;
  return os.Remove(name);
}

}  // namespace dw
