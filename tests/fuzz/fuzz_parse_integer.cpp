// The count boxes' read-back grammar on any text. Whatever it accepts must
// be what the text says: decimal texts give back their canonical digits,
// hexadecimal ones their 32-bit pattern; and a value's own decimal text,
// with leading spaces or a "+", must read back as that value.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/inttext.h"
#include "runtime/numtext.h"
#include "tests/fuzz/memoryfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace dw;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto value = ParseInteger(text);

  std::size_t at = text.find_first_not_of(' ');
  if (at == std::string_view::npos) {
    DW_FUZZ_CHECK(!value);  // empty or blank
  } else if (value) {
    bool negative = false;
    if (text[at] == '+' || text[at] == '-') negative = text[at++] == '-';
    std::string_view body = text.substr(at);
    std::size_t prefix = body.starts_with("0x") || body.starts_with("0X") ? 2
                         : body.starts_with("$") || body.starts_with("x") || body.starts_with("X")
                             ? 1
                             : 0;
    body.remove_prefix(prefix);
    DW_FUZZ_CHECK(!body.empty() && (prefix == 0 || body.size() <= 8));
    if (prefix == 0) {
      std::string_view digits = body.substr(std::min(body.find_first_not_of('0'), body.size() - 1));
      std::string canonical = (negative && digits != "0" ? "-" : "") + std::string(digits);
      DW_FUZZ_CHECK(FormatInteger(*value) == canonical);
    } else {
      uint32_t pattern = 0;
      for (char c : body) {
        const int d = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
        DW_FUZZ_CHECK((c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'));
        pattern = pattern << 4 | static_cast<uint32_t>(d);
      }
      DW_FUZZ_CHECK(static_cast<uint32_t>(*value) == (negative ? 0u - pattern : pattern));
    }
  }

  // Round trip of a value built from the first bytes.
  if (size >= 4) {
    int32_t v;
    std::memcpy(&v, data, sizeof v);
    const std::string digits = FormatInteger(v);
    const std::string spaces(data[0] % 4, ' ');
    DW_FUZZ_CHECK(ParseInteger(spaces + digits) == v);
    if (v >= 0) DW_FUZZ_CHECK(ParseInteger("+" + digits) == v);
    DW_FUZZ_CHECK(!ParseInteger(digits + " "));  // nothing may follow the digits
  }
  return 0;
}
