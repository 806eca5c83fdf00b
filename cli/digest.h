#pragma once
// What pins a run's result file to its summary: the file's size and the
// SHA-256 of its bytes, so that merge takes the very file the run wrote,
// not a copy of another job's or one written again.
#include <cstdint>
#include <string>
#include <string_view>

namespace dw::cli {

struct FileDigest {
  uint64_t size = 0;
  std::string sha256;  // 64 lower-case hexadecimal digits
};

FileDigest DigestOf(std::string_view bytes);

// Reads `name` whole through the current OsFiles, at most `limit` bytes
// (`bytes` then holds limit + 1, the sign that there was more); 0, or the
// code of the failure (its errno in LastSystemError).
int ReadFileBounded(const std::string& name, uint64_t limit, std::string& bytes);

// The digest of the file `name`; 0, or the code of the failure.
int DigestFile(const std::string& name, FileDigest& digest);

}  // namespace dw::cli
