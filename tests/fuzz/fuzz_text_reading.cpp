// ReadReal, SkipLine and AtEnd on any bytes (Ctrl-Z, long tokens, huge
// exponents, every line end), against a plain model of the same rules that
// reads the bytes from an array: tokens of at most 64 characters above code
// 32, the point as the only separator, Ctrl-Z or the end of the data ending
// everything. Byte 0 seeds the order of the operations; the rest is the file.
// The buffered reader must agree with the model after every operation.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/textfile.h"
#include "tests/fuzz/memoryfile.h"

namespace {

constexpr int kEndMark = 26;

// The rules on a plain array: the data ends at the first Ctrl-Z.
struct Model {
  const uint8_t* data;
  std::size_t limit;
  std::size_t at = 0;

  int Next() { return at < limit ? data[at++] : kEndMark; }
  bool AtEnd() const { return at >= limit; }

  void SkipLine() {
    int c;
    do c = Next();
    while (c != '\r' && c != '\n' && c != kEndMark);
    if (c == '\r' && at < limit && data[at] == '\n') ++at;
  }

  // Returns whether the token was a number; `value` 0 at the end of the data.
  bool ReadReal(long double& value) {
    value = 0.0L;
    while (at < limit && data[at] <= ' ') ++at;
    if (at >= limit) return true;
    std::string token;
    while (at < limit && data[at] > ' ' && token.size() < 64) token += static_cast<char>(data[at++]);
    if (!IsNumber(token)) return false;
    value = std::strtold(token.c_str(), nullptr);  // 0 for ".", "+." or "E5" alike
    return true;
  }

  static bool IsNumber(std::string_view t) {
    auto digits = [&](std::size_t& i) {
      while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    };
    std::size_t i = 0;
    if (t[i] == '+' || t[i] == '-') ++i;
    if (i == t.size()) return false;  // a sign alone
    digits(i);
    if (i < t.size() && t[i] == '.') digits(++i);
    if (i < t.size() && (t[i] == 'E' || t[i] == 'e')) {
      ++i;
      if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
      const std::size_t first = i;
      digits(i);
      if (i == first) return false;
    }
    return i == t.size();
  }
};

// Both conversions accumulate the digits and scale in extended precision
// by different routes; far from the ends of the range they agree closely.
bool CloseEnough(long double got, long double want) {
  if (want == 0.0L) return got == 0.0L;
  if (std::fabs(want) > 1e4900L || std::fabs(want) < 1e-4900L) return true;  // ends of the range
  return std::isfinite(got) && std::fabs(got - want) <= std::fabs(want) * 1e-15L;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace dw;
  if (size < 1) return 0;
  uint32_t order = data[0] * 2654435761u + 1;
  const uint8_t* bytes = data + 1;
  const std::size_t length = size - 1;
  std::size_t limit = 0;
  while (limit < length && bytes[limit] != kEndMark) ++limit;

  fuzz::MemoryFile files(bytes, length);
  TextFile file;
  fuzz::OpenInMemory(files, file);
  Model model{bytes, limit};
  const std::size_t steps = 3 * length + 8;
  for (std::size_t step = 0; step < steps; ++step) {
    order = order * 1103515245u + 12345u;
    SetPendingIOResult(0);
    switch ((order >> 16) % 4) {
      case 0:
      case 1: {
        long double got = -1.0L, want = -1.0L;
        const bool number = model.ReadReal(want);
        ReadReal(file, got);
        DW_FUZZ_CHECK(PendingIOResult() == (number ? 0 : 106));
        if (number) DW_FUZZ_CHECK(CloseEnough(got, want));
        break;
      }
      case 2:
        model.SkipLine();
        SkipLine(file);
        DW_FUZZ_CHECK(PendingIOResult() == 0);
        break;
      case 3:
        DW_FUZZ_CHECK(AtEnd(file) == model.AtEnd());
        DW_FUZZ_CHECK(PendingIOResult() == 0);
        break;
    }
    DW_FUZZ_CHECK(file.bufferPosition <= file.bufferEnd && file.bufferEnd <= TextFile::kBufferSize + 1);
    if (model.AtEnd() && step % 8 == 7) break;
  }
  DW_FUZZ_CHECK(AtEnd(file) == model.AtEnd());
  CloseFile(file);
  SetPendingIOResult(0);
  return 0;
}
