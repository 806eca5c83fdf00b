#include "cli/digest.h"

#include <openssl/evp.h>

#include <limits>

#include "runtime/osfiles.h"

namespace dw::cli {

FileDigest DigestOf(std::string_view bytes) {
  unsigned char hash[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  // One call: the result files fit in memory many times over.
  EVP_Digest(bytes.data(), bytes.size(), hash, &length, EVP_sha256(), nullptr);
  static constexpr char kHex[] = "0123456789abcdef";
  FileDigest digest;
  digest.size = bytes.size();
  for (unsigned int i = 0; i < length; ++i) {
    digest.sha256 += kHex[hash[i] >> 4];
    digest.sha256 += kHex[hash[i] & 15];
  }
  return digest;
}

int ReadFileBounded(const std::string& name, uint64_t limit, std::string& bytes) {
  bytes.clear();
  OsFiles& os = CurrentOsFiles();
  int handle = -1;
  if (const int code = os.OpenForReading(name, handle)) return code;
  unsigned char block[1 << 16];
  int code = 0;
  for (;;) {
    std::size_t got = 0;
    code = os.Read(handle, block, sizeof block, got);
    if (code != 0 || got == 0) break;
    bytes.append(reinterpret_cast<const char*>(block), got);
    if (bytes.size() > limit) {
      bytes.resize(limit + 1);
      break;
    }
  }
  const int error = LastSystemError();
  (void)os.Close(handle);  // read only: the read's code is the one that counts
  SetLastSystemError(error);
  return code;
}

int DigestFile(const std::string& name, FileDigest& digest) {
  std::string bytes;
  const uint64_t limit = std::numeric_limits<uint64_t>::max() - 1;
  if (const int code = ReadFileBounded(name, limit, bytes)) return code;
  digest = DigestOf(bytes);
  return 0;
}

}  // namespace dw::cli
