#pragma once
// Files in memory behind the OsFiles interface, for runs that must not touch
// the disk: any open, read, write, close, truncate, sync or rename call can
// be made to fail with a chosen code (and system error number), from the
// k-th call on or at the k-th only. Creating a file beside another counts as
// an open.
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "runtime/osfiles.h"

namespace dw::test {

class FaultyFiles : public OsFiles {
 public:
  enum Op { kOpen, kRead, kWrite, kClose, kTruncate, kSync, kRename, kOps };
  struct Fault {
    Op op = kOpen;
    int call = 0;  // 1-based; 0 never
    int code = 0;
    bool persistent = false;  // every call from the k-th on
    int systemError = 0;      // the errno the call reports with its code
  };
  // What each write call was given, and how far the run had got by then.
  struct WriteCall {
    std::size_t offset, size;
    int finished;  // simulations finished when it happened
  };

  std::map<std::string, std::string> disk;
  std::vector<Fault> faults;
  int calls[kOps] = {};
  int opened = 0, closed = 0;
  Kind kind = Kind::Disk;
  int finishedSimulations = 0;  // kept up to date by the test's progress
  std::vector<WriteCall> writeCalls;

  int OpenHandles() const { return static_cast<int>(handles_.size()); }

  int OpenForReading(const std::string& name, int& handle) override {
    if (const int code = Fails(kOpen)) return code;
    if (disk.count(name) == 0) return 2;
    return Open(name, handle);
  }
  int OpenForWriting(const std::string& name, int& handle) override {
    if (const int code = Fails(kOpen)) return code;
    disk[name].clear();
    return Open(name, handle);
  }
  int Read(int handle, unsigned char* data, std::size_t size, std::size_t& got) override {
    got = 0;
    if (const int code = Fails(kRead)) return code;
    Handle& h = handles_.at(handle);
    const std::string& content = disk[h.name];
    got = std::min(size, content.size() - std::min(h.position, content.size()));
    std::memcpy(data, content.data() + h.position, got);
    h.position += got;
    return 0;
  }
  int Write(int handle, const unsigned char* data, std::size_t size) override {
    std::string& content = disk[handles_.at(handle).name];
    writeCalls.push_back({content.size(), size, finishedSimulations});
    if (const int code = Fails(kWrite)) return code;
    content.append(reinterpret_cast<const char*>(data), size);
    return 0;
  }
  int Close(int handle) override {
    handles_.erase(handle);  // released even when the call reports an error
    ++closed;
    return Fails(kClose);
  }
  int Truncate(int handle, std::uint64_t size) override {
    if (const int code = Fails(kTruncate)) return code;
    std::string& content = disk[handles_.at(handle).name];
    if (size < content.size()) content.resize(size);
    return 0;
  }
  Kind KindOf(int) override { return kind; }
  int CreateBeside(const std::string& name, int& handle, std::string& temporary) override {
    if (const int code = Fails(kOpen)) return code;
    temporary = name + ".tmp" + std::to_string(nextHandle_);
    disk[temporary].clear();
    return Open(temporary, handle);
  }
  int Sync(int) override { return Fails(kSync); }
  int Replace(const std::string& temporary, const std::string& name) override {
    if (const int code = Fails(kRename)) return code;
    disk[name] = disk.at(temporary);
    disk.erase(temporary);
    return 0;
  }
  int Remove(const std::string& name) override { return disk.erase(name) != 0 ? 0 : 2; }
  std::optional<Kind> KindOfName(const std::string& name) override {
    if (disk.count(name) == 0) return std::nullopt;
    return kind;
  }

 private:
  struct Handle {
    std::string name;
    std::size_t position = 0;
  };
  std::map<int, Handle> handles_;
  int nextHandle_ = 3;

  // The code of the fault that hits this call, 0 for none.
  int Fails(Op op) {
    const int n = ++calls[op];
    for (const Fault& f : faults)
      if (f.op == op && f.call != 0 && (n == f.call || (f.persistent && n > f.call))) {
        SetLastSystemError(f.systemError);
        return f.code;
      }
    return 0;
  }
  int Open(const std::string& name, int& handle) {
    handle = nextHandle_++;
    handles_[handle] = Handle{name, 0};
    ++opened;
    return 0;
  }
};

}  // namespace dw::test
