#include "cli/digest.h"

#include <openssl/evp.h>


#include "runtime/osfiles.h"

namespace dw::cli {

namespace {

std::string Hex(const unsigned char* hash, unsigned int length) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    text += kHex[hash[i] >> 4];
    text += kHex[hash[i] & 15];
  }
  return text;
}

}  // namespace

FileDigest DigestOf(std::string_view bytes) {
  unsigned char hash[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  // One call: the result files fit in memory many times over.
  EVP_Digest(bytes.data(), bytes.size(), hash, &length, EVP_sha256(), nullptr);
  return {bytes.size(), Hex(hash, length)};
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
  // Block by block: a data file the scan pins may be far larger than memory.
  OsFiles& os = CurrentOsFiles();
  int handle = -1;
  if (const int code = os.OpenForReading(name, handle)) return code;
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
  unsigned char block[1 << 16];
  uint64_t size = 0;
  int code = 0;
  for (;;) {
    std::size_t got = 0;
    code = os.Read(handle, block, sizeof block, got);
    if (code != 0 || got == 0) break;
    EVP_DigestUpdate(context, block, got);
    size += got;
  }
  unsigned char hash[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(context, hash, &length);
  EVP_MD_CTX_free(context);
  const int error = LastSystemError();
  (void)os.Close(handle);  // read only: the read's code is the one that counts
  SetLastSystemError(error);
  if (code == 0) digest = {size, Hex(hash, length)};
  return code;
}

}  // namespace dw::cli
