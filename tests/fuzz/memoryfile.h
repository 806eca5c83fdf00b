#pragma once
// One read-only file in memory behind OsFiles, for the fuzz programs: the
// reader sees the fuzzer's bytes as a file, and the k-th read can fail.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/osfiles.h"
#include "runtime/textfile.h"

namespace dw::fuzz {

// A stop the fuzzer reports as a finding, with the broken property.
#define DW_FUZZ_CHECK(condition)                                                   \
  do {                                                                             \
    if (!(condition)) {                                                            \
      std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                \
    }                                                                              \
  } while (0)

class MemoryFile : public OsFiles {
 public:
  MemoryFile(const uint8_t* data, std::size_t size, int failingRead = 0, int code = 1117)
      : data_(data), size_(size), failingRead_(failingRead), code_(code) {}

  int OpenForReading(const std::string&, int& handle) override {
    handle = 3;
    open_ = true;
    return 0;
  }
  int OpenForWriting(const std::string&, int&) override { return 5; }
  int Read(int, unsigned char* data, std::size_t size, std::size_t& got) override {
    got = 0;
    if (++reads_ == failingRead_) return code_;
    got = std::min(size, size_ - at_);
    if (got > 0) std::memcpy(data, data_ + at_, got);
    at_ += got;
    return 0;
  }
  int Write(int, const unsigned char*, std::size_t) override { return 5; }
  int Close(int) override {
    open_ = false;
    return 0;
  }
  Kind KindOf(int) override { return Kind::Disk; }

  std::size_t Delivered() const { return at_; }  // bytes handed to the reader so far
  bool IsOpen() const { return open_; }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  int reads_ = 0;
  int failingRead_;
  int code_;
  bool open_ = false;
};

// Opens `file` for reading on `files`, which must outlive the reading.
inline void OpenInMemory(MemoryFile& files, TextFile& file) {
  SetOsFiles(&files);
  Assign(file, "fuzz-input");
  OpenRead(file);
  SetOsFiles(nullptr);  // the open file keeps the interface it was opened on
}

}  // namespace dw::fuzz
